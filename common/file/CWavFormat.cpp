#include "common/file/CWavFormat.h"

#include <cstring>

CWavFormat::CWavFormat()
{
    Initialize();
}

CWavFormat::~CWavFormat() = default;

void CWavFormat::Initialize()
{
    std::memcpy(m_riffID, "RIFF", 4);
    m_riffSize = 36;
    std::memcpy(m_formType, "WAVE", 4);
    std::memcpy(m_fmtID, "fmt ", 4);
    m_fmtSize = 16;
    m_formatTag = kTagPcm;
    m_channels = 2;
    m_sampleRate = 44100;
    m_avgBytesPerSec = 176400;
    m_blockAlign = 4;
    m_bitsPerSample = 16;
    std::memcpy(m_dataID, "data", 4);
    m_dataSize = 0;
}

uint16_t CWavFormat::CalcBlockAlign() const
{
    return static_cast<uint16_t>((m_bitsPerSample / 8) * m_channels);
}

uint32_t CWavFormat::CalcAvgBytesPerSec() const
{
    return static_cast<uint32_t>(static_cast<uint64_t>(m_bitsPerSample / 8) * m_sampleRate * m_channels);
}

int64_t CWavFormat::GetNumSamples() const
{
    return m_blockAlign == 0 ? 0 : static_cast<int64_t>(m_dataSize / m_blockAlign);
}

void CWavFormat::SetSampleRate(uint32_t rate)
{
    m_sampleRate = rate;
    m_avgBytesPerSec = CalcAvgBytesPerSec();
}

void CWavFormat::SetBitsPerSample(uint16_t bits)
{
    m_bitsPerSample = bits;
    m_formatTag = bits < 32 ? kTagPcm : kTagFloat;
    m_blockAlign = CalcBlockAlign();
    m_avgBytesPerSec = CalcAvgBytesPerSec();
}

void CWavFormat::SetNumChannels(uint16_t channels)
{
    m_channels = channels;
    m_blockAlign = CalcBlockAlign();
    m_avgBytesPerSec = CalcAvgBytesPerSec();
}

bool CWavFormat::IsSupportedFormat() const
{
    const uint64_t bytesPerSample = m_bitsPerSample / 8;
    if (m_blockAlign != bytesPerSample * m_channels)
        return false;
    if (m_avgBytesPerSec != bytesPerSample * m_sampleRate * m_channels)
        return false;
    switch (m_sampleRate)
    {
    case 44100:
    case 48000:
    case 88200:
    case 96000:
    case 176400:
    case 192000:
        break;
    default:
        return false;
    }
    const bool pcm = (m_bitsPerSample == 16 || m_bitsPerSample == 24) && m_formatTag == kTagPcm;
    const bool flt = m_bitsPerSample == 32 && m_formatTag == kTagFloat;
    if (!pcm && !flt)
        return false;
    return m_channels == 1 || m_channels == 2;
}
