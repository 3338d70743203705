#include "common/file/CPcmFileBase.h"

#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

CPcmFileReadBase::CPcmFileReadBase() = default;
CPcmFileReadBase::~CPcmFileReadBase() = default;

void CPcmFileReadBase::ResetPcmData()
{
    m_layout = PcmSampleLayout();
    m_pcmBlockAlign = 0;
    m_dataStart = m_dataEnd = 0;
    m_windowStart = m_windowEnd = 0;
    m_bufFilled = m_bufPos = 0;
    m_filePos = 0;
    m_bPcmReadError = false;
    std::vector<uint8_t>().swap(m_pcmBuffer);
    std::vector<int32_t>().swap(m_pcmScratch);
}

void CPcmFileReadBase::ClosePcmFile()
{
    if (IsFileOpen())
        Close();
    ResetPcmData();
    GetMetaDataPtr()->ClearAll();
    GetMarkerPtr()->DeleteAll();
}

void CPcmFileReadBase::SetPcmData(int64_t dataStart, int64_t dataEnd, const PcmSampleLayout& layout)
{
    m_layout = layout;
    m_pcmBlockAlign = layout.BlockAlign();
    m_dataStart = m_windowStart = dataStart;
    m_dataEnd = m_windowEnd = std::max(dataStart, dataEnd);
    // The buffers are made at the first read: a song of many files keeps
    // them all open, and most are not read for a long time.
    std::vector<uint8_t>().swap(m_pcmBuffer);
    std::vector<int32_t>().swap(m_pcmScratch);
    SeekToFile(m_windowStart);
}

void CPcmFileReadBase::ResumePcmRead()
{
    Seek(m_filePos, SEEK_SET);
}

int64_t CPcmFileReadBase::GetNumSamples()
{
    if (m_pcmBlockAlign == 0 || m_windowEnd <= m_windowStart)
        return 0;
    return (m_windowEnd - m_windowStart) / m_pcmBlockAlign;
}

int64_t CPcmFileReadBase::GetCurSamplePosition()
{
    if (m_pcmBlockAlign == 0 || !IsFileOpen())
        return 0;
    return (m_filePos - (m_bufFilled - m_bufPos) - m_windowStart) / m_pcmBlockAlign;
}

int64_t CPcmFileReadBase::GetAbsStartSample()
{
    return m_pcmBlockAlign == 0 ? 0 : (m_windowStart - m_dataStart) / m_pcmBlockAlign;
}

void CPcmFileReadBase::SeekToFile(int64_t pos)
{
    Seek(pos, SEEK_SET);
    m_filePos = pos;
    m_bufFilled = m_bufPos = 0;
    m_bPcmReadError = false;
}

void CPcmFileReadBase::SetCurSamplePosition(int64_t frame)
{
    if (!IsFileOpen() || m_pcmBlockAlign == 0)
        return;
    frame = std::clamp<int64_t>(frame, 0, GetNumSamples());
    SeekToFile(m_windowStart + frame * m_pcmBlockAlign);
}

void CPcmFileReadBase::ExtractData(int64_t start, int64_t end)
{
    if (!IsFileOpen() || m_pcmBlockAlign == 0)
        return;
    const int64_t align = m_pcmBlockAlign;
    const int64_t frames = (m_dataEnd - m_dataStart) / align;
    start = std::clamp<int64_t>(start, 0, frames);
    if (end < 0 || end > frames)
        end = frames;
    if (end < start)
        end = start;
    m_windowStart = m_dataStart + start * align;
    // A window to the end keeps the bytes of a partial last frame, so a read
    // to the end is not taken for a short one.
    m_windowEnd = end == frames ? m_dataEnd : m_dataStart + end * align;
    SeekToFile(m_windowStart);
}

bool CPcmFileReadBase::FillPcmBuffer(bool* shortRead)
{
    if (m_pcmBuffer.empty())
    {
        const uint32_t align = std::max<uint32_t>(1, m_pcmBlockAlign);
        const uint32_t bufferFrames = std::max<uint32_t>(1, kBufferTarget / align);
        m_pcmBuffer.assign(static_cast<size_t>(bufferFrames) * align, 0);
    }
    // A partial frame left by a short read stays at the front.
    const uint32_t left = m_bufFilled - m_bufPos;
    if (left > 0 && m_bufPos > 0)
        std::memmove(m_pcmBuffer.data(), m_pcmBuffer.data() + m_bufPos, left);
    m_bufFilled = left;
    m_bufPos = 0;
    if (m_filePos >= m_windowEnd)
        return false;
    const uint32_t want =
        static_cast<uint32_t>(std::min<int64_t>(m_windowEnd - m_filePos, m_pcmBuffer.size() - left));
    const int got = Read(m_pcmBuffer.data() + left, want);
    if (got > 0)
    {
        m_bufFilled += static_cast<uint32_t>(got);
        m_filePos += got;
    }
    if (static_cast<uint32_t>(std::max(got, 0)) < want)
    {
        m_bPcmReadError = true;
        *shortRead = true;
    }
    return got > 0;
}

uint32_t CPcmFileReadBase::ReadAudioData(int32_t** dst, uint32_t n, uint32_t dstOffset)
{
    if (dst == nullptr)
        return 0;
    const uint16_t align = m_pcmBlockAlign;
    if (!IsFileOpen() || align == 0)
    {
        CPcmUtil::FillSilence(dst, n, GetNumChannels(), dstOffset);
        return 0;
    }
    const uint16_t channels = m_layout.channels;
    uint32_t done = 0;
    bool shortRead = false;
    while (done < n)
    {
        const uint32_t unread = m_bufFilled - m_bufPos;
        if (unread >= align)
        {
            const uint32_t frames = std::min(n - done, unread / align);
            const uint8_t* bytes = m_pcmBuffer.data() + m_bufPos;
            if (m_layout.bigEndian)
                CPcmUtil::DecodeStreamMsb1(bytes, dst, frames, channels, m_layout.bits, dstOffset + done);
            else
                CPcmUtil::DecodeStreamLsb1(bytes, dst, frames, channels, m_layout.bits, dstOffset + done);
            m_bufPos += frames * align;
            done += frames;
            continue;
        }
        if (shortRead || !FillPcmBuffer(&shortRead))
            break;
    }
    if (done < n)
        CPcmUtil::FillSilence(dst, n - done, channels, dstOffset + done);
    return done;
}

uint32_t CPcmFileReadBase::ReadAudioData(float** dst, uint32_t n, uint32_t dstOffset)
{
    if (dst == nullptr)
        return 0;
    if (!IsFileOpen() || m_pcmBlockAlign == 0)
    {
        CPcmUtil::FillSilence(dst, n, GetNumChannels(), dstOffset);
        return 0;
    }
    if (m_pcmScratch.empty())
        m_pcmScratch.assign(static_cast<size_t>(kScratchFrames) * std::max<uint16_t>(1, m_layout.channels),
                            0);
    const uint16_t channels = m_layout.channels;
    int32_t* scratch[2] = {m_pcmScratch.data(), m_pcmScratch.data() + (channels > 1 ? kScratchFrames : 0)};
    uint32_t done = 0;
    while (done < n)
    {
        const uint32_t want = std::min(n - done, kScratchFrames);
        const uint32_t got = ReadAudioData(scratch, want, 0);
        for (uint16_t c = 0; c < channels; ++c)
        {
            if (dst[c] == nullptr)
                continue;
            if (m_layout.floatSamples)
            {
                std::memcpy(dst[c] + dstOffset + done, scratch[c], static_cast<size_t>(got) * sizeof(float));
            }
            else
            {
                int32_t* in[1] = {scratch[c]};
                float* out[1] = {dst[c]};
                CPcmUtil::SignedIntToFloat(in, out, got, 1, 0, dstOffset + done);
            }
        }
        done += got;
        if (got < want)
            break;
    }
    if (done < n)
        CPcmUtil::FillSilence(dst, n - done, channels, dstOffset + done);
    return done;
}

// ---------------------------------------------------------------------------

CPcmFileWriteBase::CPcmFileWriteBase(uint64_t maxDataBytes)
    : m_dataBytesCeiling(maxDataBytes), m_maxDataBytes(maxDataBytes)
{
}

CPcmFileWriteBase::~CPcmFileWriteBase() = default;

void CPcmFileWriteBase::ResetPcmData()
{
    m_layout = PcmSampleLayout();
    m_pcmBlockAlign = 0;
    m_dataStart = m_dataEnd = 0;
    m_bufFilled = 0;
    std::vector<uint8_t>().swap(m_pcmBuffer);
    std::vector<int32_t>().swap(m_pcmScratch);
}

int CPcmFileWriteBase::OpenPcmFile(const wchar_t* path, const PcmSampleLayout& layout, int64_t dataStart,
                                   const std::function<bool()>& writeHeader)
{
    ResetPcmData();
    if (path == nullptr || layout.BlockAlign() == 0 || Open(path) == -1)
        return kAudioFileCannotOpen;
    m_layout = layout;
    m_pcmBlockAlign = layout.BlockAlign();
    const uint32_t bufferFrames = std::max<uint32_t>(1, kBufferTarget / m_pcmBlockAlign);
    m_pcmBuffer.assign(static_cast<size_t>(bufferFrames) * m_pcmBlockAlign, 0);
    m_pcmScratch.assign(static_cast<size_t>(kScratchFrames) * layout.channels, 0);
    m_dataStart = m_dataEnd = dataStart;
    if (!writeHeader())
    {
        Discard();
        ResetPcmData();
        return kAudioFileCannotOpen;
    }
    return kAudioFileOpened;
}

bool CPcmFileWriteBase::FlushPcmBuffer()
{
    if (m_bufFilled == 0)
        return !WriteFailed();
    const int written = Write(m_pcmBuffer.data(), m_bufFilled);
    if (written != static_cast<int>(m_bufFilled))
        return false;
    m_dataEnd += m_bufFilled;
    m_bufFilled = 0;
    return true;
}

bool CPcmFileWriteBase::ClosePcmFile(const std::function<bool()>& finish)
{
    if (!IsFileOpen())
    {
        ResetPcmData();
        return false;
    }
    bool ok = FlushPcmBuffer();
    // RIFF and IFF pad a chunk body of odd length to an even one; the sample
    // data's chunk is odd exactly when the samples are.
    if (ok && ((m_dataEnd - m_dataStart) & 1) != 0)
    {
        const uint8_t pad = 0;
        ok = Seek(m_dataEnd, SEEK_SET) == m_dataEnd && Write(&pad, 1) == 1;
    }
    ok = ok && finish();
    if (ok)
        ok = Close() == 0;
    else
        Discard();
    ResetPcmData();
    return ok;
}

int64_t CPcmFileWriteBase::GetCurSamplePosition()
{
    if (!IsFileOpen() || m_pcmBlockAlign == 0)
        return 0;
    return (m_dataEnd - m_dataStart + m_bufFilled) / m_pcmBlockAlign;
}

uint32_t CPcmFileWriteBase::WriteAudioData(int32_t** src, uint32_t n)
{
    const uint16_t align = m_pcmBlockAlign;
    if (!IsFileOpen() || WriteFailed() || src == nullptr || align == 0 || m_pcmBuffer.empty())
        return 0;
    // Take only the frames that keep the sample data within the limit.
    const uint64_t taken = static_cast<uint64_t>(m_dataEnd - m_dataStart) + m_bufFilled;
    const uint64_t room = taken >= m_maxDataBytes ? 0 : (m_maxDataBytes - taken) / align;
    const uint32_t todo = static_cast<uint32_t>(std::min<uint64_t>(n, room));
    const uint32_t capacity = static_cast<uint32_t>(m_pcmBuffer.size());

    uint32_t done = 0;
    while (done < todo)
    {
        const uint32_t frames = std::min(todo - done, (capacity - m_bufFilled) / align);
        uint8_t* bytes = m_pcmBuffer.data() + m_bufFilled;
        if (m_layout.bigEndian)
            CPcmUtil::EncodeStreamMsb1(src, bytes, frames, m_layout.channels, m_layout.bits, done);
        else
            CPcmUtil::EncodeStreamLsb1(src, bytes, frames, m_layout.channels, m_layout.bits, done);
        m_bufFilled += frames * align;
        done += frames;
        if (m_bufFilled == capacity)
        {
            const uint32_t buffered = m_bufFilled / align;
            if (!FlushPcmBuffer())
                return done - std::min(done, buffered);
        }
    }
    return done;
}

uint32_t CPcmFileWriteBase::WriteAudioData(float** src, uint32_t n)
{
    if (!IsFileOpen() || src == nullptr || m_pcmScratch.empty())
        return 0;
    const uint16_t channels = m_layout.channels;
    int32_t* scratch[2] = {m_pcmScratch.data(), m_pcmScratch.data() + (channels > 1 ? kScratchFrames : 0)};
    uint32_t done = 0;
    while (done < n)
    {
        const uint32_t frames = std::min(n - done, kScratchFrames);
        if (m_layout.floatSamples)
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
