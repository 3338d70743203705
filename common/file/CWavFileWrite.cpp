#include "common/file/CWavFileWrite.h"

#include "common/file/CListInfoChunkCreate.h"
#include "library/util/CDataUtil.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unistd.h>

CWavFileWrite::CWavFileWrite() : CPcmFileWriteBase(kMaxDataBytes) {}

// A file not closed with CloseFile is discarded, never committed.
CWavFileWrite::~CWavFileWrite()
{
    if (IsFileOpen())
        RemoveFile();
}

void CWavFileWrite::ResetState()
{
    Initialize();
    ResetPcmData();
}

int CWavFileWrite::OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels, int)
{
    // An output that was not closed is dropped, never committed.
    if (IsFileOpen())
        RemoveFile();
    const uint64_t byteRate = static_cast<uint64_t>(bits / 8) * rate * channels;
    if ((bits != 16 && bits != 24 && bits != 32) || (channels != 1 && channels != 2) || rate == 0 ||
        byteRate > UINT32_MAX)
        return kAudioFileUnsupportedFormat;

    Initialize();
    SetSampleRate(rate);
    SetBitsPerSample(bits);
    SetNumChannels(channels);
    PcmSampleLayout layout;
    layout.channels = channels;
    layout.bits = bits;
    layout.floatSamples = IsFloatingPoint();
    const int result = OpenPcmFile(path, layout, kHeaderSize, [this] { return WriteHeader(); });
    if (result != kAudioFileOpened)
        ResetState();
    return result;
}

bool CWavFileWrite::WriteHeader()
{
    const int64_t dataBytes = GetPcmDataBytes();
    const int64_t fileSize = std::max<int64_t>(GetFileSize(), kHeaderSize);
    if (fileSize - 8 > static_cast<int64_t>(UINT32_MAX) || dataBytes > static_cast<int64_t>(UINT32_MAX))
        return false;
    m_riffSize = static_cast<uint32_t>(fileSize - 8);
    m_dataSize = static_cast<uint32_t>(dataBytes);
    m_fmtSize = 16;

    uint8_t h[kHeaderSize];
    std::memcpy(h, m_riffID, 4);
    CDataUtil::LittleEndian(h + 4, m_riffSize, 4);
    std::memcpy(h + 8, m_formType, 4);
    std::memcpy(h + 12, m_fmtID, 4);
    CDataUtil::LittleEndian(h + 16, m_fmtSize, 4);
    CDataUtil::LittleEndian(h + 20, m_formatTag, 2);
    CDataUtil::LittleEndian(h + 22, m_channels, 2);
    CDataUtil::LittleEndian(h + 24, m_sampleRate, 4);
    CDataUtil::LittleEndian(h + 28, m_avgBytesPerSec, 4);
    CDataUtil::LittleEndian(h + 32, m_blockAlign, 2);
    CDataUtil::LittleEndian(h + 34, m_bitsPerSample, 2);
    std::memcpy(h + 36, m_dataID, 4);
    CDataUtil::LittleEndian(h + 40, m_dataSize, 4);
    if (Seek(0, SEEK_SET) != 0)
        return false;
    return Write(h, kHeaderSize) == static_cast<int>(kHeaderSize);
}

bool CWavFileWrite::WriteFooter()
{
    if (Seek(0, SEEK_END) < 0)
        return false;

    const CMarker* markers = GetMarkerPtr();
    const int count = std::min(markers->GetNumMarkers(), kMaxCuePoints);
    if (count > 0)
    {
        CBinaryFileWriteBuffer cue;
        cue.Write("cue ", 4);
        cue.WriteDataLittleEndian(4 + 24 * count, 4);
        cue.WriteDataLittleEndian(count, 4);
        const double rate = CWavFormat::GetSampleRate();
        for (int i = 0; i < count; ++i)
        {
            const double frame = markers->GetMarkerTimeSecondAligned(i) * rate;
            uint32_t offset = 0;
            if (frame >= 4294967295.0)
                offset = UINT32_MAX;
            else if (frame > 0.0)
                offset = static_cast<uint32_t>(frame);
            cue.WriteDataLittleEndian(i + 1, 4);
            cue.WriteDataLittleEndian(0, 4);
            cue.WriteDataLittleEndian(0, 4);
            cue.WriteDataLittleEndian(0, 4);
            cue.WriteDataLittleEndian(0, 4);
            cue.WriteDataLittleEndian(offset, 4);
        }
        if (Write(cue.GetBufferPtr(), cue.GetBufFilledSize()) != static_cast<int>(cue.GetBufFilledSize()))
            return false;
    }

    CAudioMetaData* meta = GetMetaDataPtr();
    CListInfoChunkCreate info;
    info.SetTitle(meta->GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrChar());
    info.SetArtist(meta->GetStringPtr(CAudioMetaData::kArtist)->GetReadPtrChar());
    info.SetGenre(meta->GetStringPtr(CAudioMetaData::kGenre)->GetReadPtrChar());
    info.SetArchivalLocation(meta->GetStringPtr(CAudioMetaData::kLocation)->GetReadPtrChar());
    info.SetDateCreated(meta->GetStringPtr(CAudioMetaData::kRecDate)->GetReadPtrChar());
    info.SetSoftware(meta->GetStringPtr(CAudioMetaData::kEncodingSoftware)->GetReadPtrChar());
    const uint32_t infoSize = info.GetBufFilledSize();
    if (infoSize > 0 && Write(info.GetBufferPtr(), infoSize) != static_cast<int>(infoSize))
        return false;
    return true;
}

bool CWavFileWrite::CloseFile()
{
    const bool ok = ClosePcmFile([this] { return WriteFooter() && WriteHeader(); });
    ResetState();
    return ok;
}

void CWavFileWrite::RemoveFile()
{
    CPcmFileWriteBase::RemoveFile();
    ResetState();
}

std::vector<uint16_t> CWavFileWrite::GetPossibleBitsPerSamples()
{
    return {16, 24, 32};
}

std::vector<uint16_t> CWavFileWrite::GetPossibleNumChannels()
{
    return {1, 2};
}

std::vector<uint32_t> CWavFileWrite::GetPossibleSampleRates()
{
    return {44100, 48000, 88200, 96000, 176400, 192000};
}

std::vector<int> CWavFileWrite::GetPossibleQualityOptions()
{
    return {};
}
