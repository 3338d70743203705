#include "common/file/CCoreAudioFileWriteAac.h"

#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cstdlib>

namespace
{
bool IsAacRate(uint32_t rate)
{
    static constexpr uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}
} // namespace

bool CCoreAudioFileWriteAac::FileOutput::WriteBytes(const uint8_t* data, uint32_t len)
{
    return m_owner.Write(data, len) == static_cast<int>(len) && !m_owner.WriteFailed();
}

int64_t CCoreAudioFileWriteAac::FileOutput::SeekBytes(int64_t offset, int whence)
{
    return m_owner.Seek(offset, whence);
}

int64_t CCoreAudioFileWriteAac::FileOutput::SizeBytes()
{
    return m_owner.CBinaryFile64::GetFileSize();
}

CCoreAudioFileWriteAac::CCoreAudioFileWriteAac() : m_output(*this) {}

// A file not closed with CloseFile is discarded, never committed.
CCoreAudioFileWriteAac::~CCoreAudioFileWriteAac()
{
    if (IsFileOpen())
        RemoveFile();
}

void CCoreAudioFileWriteAac::ResetState()
{
    m_encoder.Close();
    m_rate = 44100;
    m_bits = 16;
    m_channels = 2;
    m_bitRate = 0;
    m_framesWritten = 0;
    m_failed = false;
    std::vector<float>().swap(m_scratch);
}

bool CCoreAudioFileWriteAac::Fail(const std::string& what)
{
    m_failed = true;
    m_lastError = what;
    return false;
}

int CCoreAudioFileWriteAac::OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels,
                                     int quality)
{
    // An output that was not closed is dropped, never committed.
    if (IsFileOpen())
        RemoveFile();
    ResetState();
    m_lastError.clear();

    const int32_t bitRate = QualityToBitRate(quality, channels);
    if (!IsAacRate(rate) || (channels != 1 && channels != 2) || (bits != 16 && bits != 24 && bits != 32) ||
        bitRate <= 0)
    {
        m_lastError = "unsupported format";
        return kAudioFileUnsupportedFormat;
    }
    // The encoder is prepared first: a format it refuses is reported before
    // anything exists on disk.
    if (!m_encoder.Open(rate, channels, bitRate))
    {
        m_lastError = m_encoder.GetLastError();
        ResetState();
        return kAudioFileUnsupportedFormat;
    }
    if (path == nullptr || Open(path) == -1)
    {
        m_lastError = "cannot create the file";
        ResetState();
        return kAudioFileCannotOpen;
    }
    m_rate = rate;
    m_bits = bits;
    m_channels = channels;
    m_bitRate = static_cast<int32_t>(m_encoder.GetBitRate());
    return kAudioFileOpened;
}

bool CCoreAudioFileWriteAac::StartEncoder()
{
    if (!m_encoder.Start(&m_output))
        return Fail(m_encoder.GetLastError());
    return true;
}

uint32_t CCoreAudioFileWriteAac::WriteAudioData(float** bufs, uint32_t n)
{
    if (!IsFileOpen() || m_failed || bufs == nullptr)
        return 0;
    if (n == 0)
        return 0;
    if (!m_encoder.IsStarted() && !StartEncoder())
        return 0;
    if (!m_encoder.Write(bufs, n))
    {
        Fail(m_encoder.GetLastError());
        return 0;
    }
    m_framesWritten += n;
    return n;
}

uint32_t CCoreAudioFileWriteAac::WriteAudioData(int32_t** bufs, uint32_t n)
{
    if (!IsFileOpen() || m_failed || bufs == nullptr)
        return 0;
    if (m_scratch.empty())
        m_scratch.assign(static_cast<size_t>(kScratchFrames) * m_channels, 0.0f);
    uint32_t done = 0;
    while (done < n)
    {
        const uint32_t frames = std::min(n - done, kScratchFrames);
        float* scratch[2] = {nullptr, nullptr};
        for (uint16_t c = 0; c < m_channels; ++c)
        {
            if (bufs[c] == nullptr)
                continue;
            scratch[c] = m_scratch.data() + static_cast<size_t>(c) * kScratchFrames;
            const int32_t* in[1] = {bufs[c]};
            float* out[1] = {scratch[c]};
            CPcmUtil::SignedIntToFloat(in, out, frames, 1, done, 0);
        }
        if (WriteAudioData(scratch, frames) != frames)
            return 0;
        done += frames;
    }
    return done;
}

bool CCoreAudioFileWriteAac::CloseFile()
{
    if (!IsFileOpen())
    {
        ResetState();
        return false;
    }
    bool ok = !m_failed;
    if (ok && !m_encoder.IsStarted())
        ok = StartEncoder();
    if (ok && !m_encoder.Finish())
        ok = Fail(m_encoder.GetLastError());
    if (ok && WriteFailed())
        ok = Fail("write failed");
    if (ok)
    {
        if (Close() != 0)
            ok = Fail("cannot complete the file");
    }
    else
    {
        m_encoder.Close();
        Discard();
    }
    ResetState();
    return ok;
}

void CCoreAudioFileWriteAac::RemoveFile()
{
    m_encoder.Close();
    CPcmFileWriteBase::RemoveFile();
    ResetState();
}

std::vector<uint32_t> CCoreAudioFileWriteAac::GetPossibleSampleRates()
{
    return {44100, 48000};
}

std::vector<uint16_t> CCoreAudioFileWriteAac::GetPossibleBitsPerSamples()
{
    return {24};
}

std::vector<uint16_t> CCoreAudioFileWriteAac::GetPossibleNumChannels()
{
    return {1, 2};
}

std::vector<int> CCoreAudioFileWriteAac::GetPossibleQualityOptions(uint16_t channels)
{
    if (channels == 1)
        return {32000,  40000,  48000,  56000,  64000,  80000, 96000,
                112000, 128000, 160000, 192000, 224000, 256000};
    return {64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000};
}

int32_t CCoreAudioFileWriteAac::QualityToBitRate(int quality, uint16_t channels)
{
    if (quality < 0)
        return -1;
    if (quality == 0)
        return kDefaultBitRate;
    const std::vector<int> rates = GetPossibleQualityOptions(channels);
    int best = rates.front();
    for (const int rate : rates)
        if (std::abs(static_cast<int64_t>(rate) - quality) < std::abs(static_cast<int64_t>(best) - quality))
            best = rate;
    return best;
}
