#include "common/file/CWavFileWrite.h"

#include "common/file/CListInfoChunkCreate.h"
#include "library/util/CDataUtil.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unistd.h>

CWavFileWrite::CWavFileWrite() = default;

CWavFileWrite::~CWavFileWrite()
{
    if (IsFileOpen())
        CloseFile();
}

void CWavFileWrite::ResetState()
{
    Initialize();
    m_headerEnd = m_dataStart = m_dataEnd = 0;
    m_bufFilled = 0;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_scratch.clear();
    m_scratch.shrink_to_fit();
}

int CWavFileWrite::OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels, int)
{
    if (IsFileOpen())
        CloseFile();
    const uint64_t byteRate = static_cast<uint64_t>(bits / 8) * rate * channels;
    if ((bits != 16 && bits != 24 && bits != 32) || (channels != 1 && channels != 2) || rate == 0 ||
        byteRate > UINT32_MAX)
        return kAudioFileUnsupportedFormat;

    Initialize();
    SetSampleRate(rate);
    SetBitsPerSample(bits);
    SetNumChannels(channels);
    if (path == nullptr || Open(path) == -1)
    {
        ResetState();
        return kAudioFileCannotOpen;
    }

    const uint32_t bufferFrames = kBufferTarget / GetBlockAlign();
    m_buffer.assign(static_cast<size_t>(bufferFrames) * GetBlockAlign(), 0);
    m_bufFilled = 0;
    m_scratch.assign(static_cast<size_t>(kScratchFrames) * channels, 0);
    m_headerEnd = 12;
    m_dataStart = m_dataEnd = kHeaderSize;
    if (!WriteHeader())
    {
        Discard();
        ResetState();
        return kAudioFileCannotOpen;
    }
    return kAudioFileOpened;
}

bool CWavFileWrite::WriteHeader()
{
    const int64_t dataBytes = m_dataEnd - m_dataStart;
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

bool CWavFileWrite::FlushBuffer()
{
    if (m_bufFilled == 0)
        return !WriteFailed();
    const int written = Write(m_buffer.data(), m_bufFilled);
    if (written != static_cast<int>(m_bufFilled))
        return false;
    m_dataEnd += m_bufFilled;
    m_bufFilled = 0;
    return true;
}

bool CWavFileWrite::CloseFile()
{
    if (!IsFileOpen())
    {
        ResetState();
        return false;
    }
    bool ok = FlushBuffer();
    // RIFF pads an odd-sized chunk body to an even length.
    if (ok && ((m_dataEnd - m_dataStart) & 1) != 0)
    {
        const uint8_t pad = 0;
        ok = Seek(m_dataEnd, SEEK_SET) == m_dataEnd && Write(&pad, 1) == 1;
    }
    ok = ok && WriteFooter() && WriteHeader();
    if (ok)
        ok = Close() == 0;
    else
        Discard();
    ResetState();
    return ok;
}

void CWavFileWrite::RemoveFile()
{
    CPcmFileWriteBase::RemoveFile();
    ResetState();
}

int64_t CWavFileWrite::GetCurSamplePosition()
{
    const uint16_t align = GetBlockAlign();
    if (!IsFileOpen() || align == 0)
        return 0;
    return (m_dataEnd - m_dataStart + m_bufFilled) / align;
}

uint32_t CWavFileWrite::WriteAudioData(int32_t** src, uint32_t n)
{
    const uint16_t align = GetBlockAlign();
    if (!IsFileOpen() || WriteFailed() || src == nullptr || align == 0 || m_buffer.empty())
        return 0;
    // Take only the frames that keep the RIFF size within 32 bits.
    const uint64_t taken = static_cast<uint64_t>(m_dataEnd - m_dataStart) + m_bufFilled;
    const uint64_t room = taken >= m_maxDataBytes ? 0 : (m_maxDataBytes - taken) / align;
    const uint32_t todo = static_cast<uint32_t>(std::min<uint64_t>(n, room));
    const uint16_t channels = CWavFormat::GetNumChannels();
    const uint16_t bits = CWavFormat::GetBitsPerSample();
    const uint32_t capacity = static_cast<uint32_t>(m_buffer.size());

    uint32_t done = 0;
    while (done < todo)
    {
        const uint32_t frames = std::min(todo - done, (capacity - m_bufFilled) / align);
        CPcmUtil::EncodeStreamLsb1(src, m_buffer.data() + m_bufFilled, frames, channels, bits, done);
        m_bufFilled += frames * align;
        done += frames;
        if (m_bufFilled == capacity)
        {
            const uint32_t buffered = m_bufFilled / align;
            if (!FlushBuffer())
                return done - std::min(done, buffered);
        }
    }
    return done;
}

uint32_t CWavFileWrite::WriteAudioData(float** src, uint32_t n)
{
    if (!IsFileOpen() || src == nullptr || m_scratch.empty())
        return 0;
    const uint16_t channels = CWavFormat::GetNumChannels();
    int32_t* scratch[2] = {m_scratch.data(), m_scratch.data() + (channels > 1 ? kScratchFrames : 0)};
    const bool isFloat = IsFloatingPoint();
    uint32_t done = 0;
    while (done < n)
    {
        const uint32_t frames = std::min(n - done, kScratchFrames);
        if (isFloat)
        {
            for (uint16_t c = 0; c < channels; ++c)
                std::memcpy(scratch[c], src[c] + done, static_cast<size_t>(frames) * sizeof(float));
        }
        else
        {
            CPcmUtil::FloatToSignedInt(src, scratch, frames, channels, done, 0);
        }
        const uint32_t written = WriteAudioData(scratch, frames);
        done += written;
        if (written < frames)
            break;
    }
    return done;
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
