#include "common/file/CWavFileRead.h"

#include "library/util/CDataUtil.h"
#include "library/util/CPcmUtil.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace
{
uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(CDataUtil::LittleEndian(p, 4));
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(CDataUtil::LittleEndian(p, 2));
}

void ParseCuePoint(const uint8_t* p, CuePointData* out)
{
    out->identifier = Le32(p);
    out->position = Le32(p + 4);
    std::memcpy(out->chunkID, p + 8, 4);
    out->chunkStart = Le32(p + 12);
    out->blockStart = Le32(p + 16);
    out->sampleOffset = Le32(p + 20);
}

constexpr int64_t kCuePointSize = 24;
} // namespace

CWavFileRead::CWavFileRead() = default;

CWavFileRead::~CWavFileRead()
{
    CloseFile();
}

void CWavFileRead::ResetState()
{
    Initialize();
    m_headerEnd = m_dataStart = m_dataEnd = 0;
    m_windowStart = m_windowEnd = 0;
    m_listBodyStart = m_listEnd = 0;
    m_cueFirst = m_cueEnd = 0;
    m_bufFilled = m_bufPos = 0;
    m_filePos = 0;
    m_bReadError = false;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_scratch.clear();
    m_scratch.shrink_to_fit();
}

void CWavFileRead::CloseFile()
{
    if (IsFileOpen())
        Close();
    ResetState();
    GetMetaDataPtr()->ClearAll();
    GetMarkerPtr()->DeleteAll();
}

int CWavFileRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    if (path == nullptr || Open(path) == -1)
        return kAudioFileCannotOpen;

    uint8_t header[12];
    if (Read(header, sizeof(header)) != static_cast<int>(sizeof(header)) ||
        !CTextUtil::CompID(reinterpret_cast<const char*>(header), "RIFF") ||
        !CTextUtil::CompID(reinterpret_cast<const char*>(header + 8), "WAVE"))
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    std::memcpy(m_riffID, header, 4);
    m_riffSize = Le32(header + 4);
    std::memcpy(m_formType, header + 8, 4);
    m_headerEnd = sizeof(header);

    if (!ReadFormatChunk())
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }

    const int64_t fileSize = CBinaryFile64::GetFileSize();
    Seek(m_headerEnd, SEEK_SET);
    uint8_t chunk[8];
    if (FindChunk8("data", -1) == 0 || Read(chunk, sizeof(chunk)) != static_cast<int>(sizeof(chunk)) ||
        Le32(chunk + 4) == 0)
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    std::memcpy(m_dataID, chunk, 4);
    m_dataStart = Tell();
    // A size that runs past the end of the file ends at the end of the file.
    const int64_t dataSize = std::min<int64_t>(Le32(chunk + 4), fileSize - m_dataStart);
    m_dataSize = static_cast<uint32_t>(dataSize);
    m_dataEnd = m_dataStart + dataSize;
    m_windowStart = m_dataStart;
    m_windowEnd = m_dataEnd;

    Seek(m_headerEnd, SEEK_SET);
    if (const uint32_t length = FindChunk8WithType("LIST", "INFO", -1); length >= 12)
    {
        const int64_t start = Tell();
        m_listBodyStart = start + 12;
        m_listEnd = start + length;
    }

    Seek(m_headerEnd, SEEK_SET);
    if (const uint32_t length = FindChunk8("cue ", -1); length >= 12)
    {
        const int64_t start = Tell();
        m_cueFirst = start + 12;
        m_cueEnd = start + length;
    }

    const uint32_t bufferFrames = std::max<uint32_t>(1, kBufferTarget / GetBlockAlign());
    m_buffer.assign(static_cast<size_t>(bufferFrames) * GetBlockAlign(), 0);
    m_scratch.assign(static_cast<size_t>(kScratchFrames) * CWavFormat::GetNumChannels(), 0);

    SetupMetaData();
    if (GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecDate)->IsEmpty())
        UseFileTimeStampAsRecDate();
    SetupPlayerMarkers();

    SeekToFile(m_windowStart);
    return kAudioFileOpened;
}

bool CWavFileRead::ReadFormatChunk()
{
    Seek(m_headerEnd, SEEK_SET);
    if (FindChunk8("fmt ", -1) < 24)
        return false;
    uint8_t fmt[24];
    if (Read(fmt, sizeof(fmt)) != static_cast<int>(sizeof(fmt)))
        return false;
    std::memcpy(m_fmtID, fmt, 4);
    m_fmtSize = Le32(fmt + 4);
    m_formatTag = Le16(fmt + 8);
    m_channels = Le16(fmt + 10);
    m_sampleRate = Le32(fmt + 12);
    m_avgBytesPerSec = Le32(fmt + 16);
    m_blockAlign = Le16(fmt + 20);
    m_bitsPerSample = Le16(fmt + 22);
    return IsSupportedFormat();
}

void CWavFileRead::SetupMetaData()
{
    CAudioMetaData* meta = GetMetaDataPtr();
    meta->ClearAll();
    if (m_listBodyStart == 0)
        return;
    static const struct
    {
        const char* id;
        int field;
    } kFields[] = {
        {"INAM", CAudioMetaData::kTitle},
        {"IART", CAudioMetaData::kArtist},
        {"IGNR", CAudioMetaData::kGenre},
        {"IARL", CAudioMetaData::kLocation},
        {"ISFT", CAudioMetaData::kEncodingSoftware},
        {"ICRD", CAudioMetaData::kRecDate},
    };
    for (const auto& f : kFields)
    {
        CMultiString* text = meta->GetStringPtr(f.field);
        std::vector<char> buf(text->GetBufSizeChar());
        if (ReadListInfoChunkData(buf.data(), static_cast<uint32_t>(buf.size()), f.id) > 0)
            text->SetString(buf.data(), -1, false);
    }
}

void CWavFileRead::SetupPlayerMarkers()
{
    CMarker* markers = GetMarkerPtr();
    markers->DeleteAll();
    const uint32_t rate = CWavFormat::GetSampleRate();
    const int count = std::min(GetNumCuePoints(), kMaxCuePointsRead);
    if (rate == 0 || count == 0)
        return;
    const int64_t start = GetAbsStartSample();
    const int64_t end = start + GetNumSamples();

    std::vector<uint8_t> raw(static_cast<size_t>(count) * kCuePointSize);
    Seek(m_cueFirst, SEEK_SET);
    const int got = Read(raw.data(), static_cast<uint32_t>(raw.size()));
    Seek(m_filePos, SEEK_SET);

    std::vector<uint32_t> offsets;
    for (int i = 0; i < got / kCuePointSize; ++i)
    {
        CuePointData cue;
        ParseCuePoint(raw.data() + i * kCuePointSize, &cue);
        if (cue.sampleOffset >= start && cue.sampleOffset < end)
            offsets.push_back(cue.sampleOffset);
    }
    // Adding in time order keeps the earliest markers when the limit cuts.
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    for (const uint32_t s : offsets)
    {
        if (markers->GetNumMarkers() >= kMaxMarkers)
            break;
        markers->AddAligned(static_cast<double>(s - start) / rate);
    }
}

int CWavFileRead::GetNumCuePoints() const
{
    if (m_cueEnd <= m_cueFirst)
        return 0;
    return static_cast<int>(std::min<int64_t>((m_cueEnd - m_cueFirst) / kCuePointSize, INT32_MAX));
}

bool CWavFileRead::ReadCuePointData(CuePointData* out, int index)
{
    if (out == nullptr)
        return false;
    std::memset(out, 0, sizeof(*out));
    if (!IsFileOpen() || index < 0 || index >= GetNumCuePoints())
        return false;
    uint8_t raw[kCuePointSize];
    Seek(m_cueFirst + index * kCuePointSize, SEEK_SET);
    const bool ok = Read(raw, sizeof(raw)) == static_cast<int>(sizeof(raw));
    Seek(m_filePos, SEEK_SET);
    if (ok)
        ParseCuePoint(raw, out);
    return ok;
}

uint32_t CWavFileRead::ReadListInfoChunkData(char* buf, uint32_t bufSize, const char* id)
{
    if (buf == nullptr || bufSize == 0)
        return 0;
    std::memset(buf, 0, bufSize);
    if (!IsFileOpen() || id == nullptr || m_listBodyStart == 0 || m_listBodyStart >= m_listEnd)
        return 0;
    uint32_t result = 0;
    Seek(m_listBodyStart, SEEK_SET);
    if (FindChunk8(id, m_listEnd - m_listBodyStart) != 0)
    {
        uint8_t header[8];
        const int64_t chunk = Tell();
        if (Read(header, sizeof(header)) == static_cast<int>(sizeof(header)))
        {
            // The body ends with the sub-chunk or with the LIST chunk,
            // whichever comes first.
            const int64_t body = chunk + 8;
            const int64_t available =
                std::max<int64_t>(0, std::min<int64_t>(Le32(header + 4), m_listEnd - body));
            const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(available, bufSize - 1));
            const int got = Read(buf, want);
            result = got > 0 ? static_cast<uint32_t>(got) : 0;
        }
    }
    Seek(m_filePos, SEEK_SET);
    return result;
}

int64_t CWavFileRead::GetNumSamples()
{
    const uint16_t align = GetBlockAlign();
    if (align == 0 || m_windowEnd <= m_windowStart)
        return 0;
    return (m_windowEnd - m_windowStart) / align;
}

int64_t CWavFileRead::GetCurSamplePosition()
{
    const uint16_t align = GetBlockAlign();
    if (align == 0 || !IsFileOpen())
        return 0;
    return (m_filePos - (m_bufFilled - m_bufPos) - m_windowStart) / align;
}

int64_t CWavFileRead::GetAbsStartSample()
{
    const uint16_t align = GetBlockAlign();
    return align == 0 ? 0 : (m_windowStart - m_dataStart) / align;
}

void CWavFileRead::SeekToFile(int64_t pos)
{
    Seek(pos, SEEK_SET);
    m_filePos = pos;
    m_bufFilled = m_bufPos = 0;
    m_bReadError = false;
}

void CWavFileRead::SetCurSamplePosition(int64_t frame)
{
    if (!IsFileOpen())
        return;
    frame = std::clamp<int64_t>(frame, 0, GetNumSamples());
    SeekToFile(m_windowStart + frame * GetBlockAlign());
}

void CWavFileRead::ExtractData(int64_t start, int64_t end)
{
    if (!IsFileOpen())
        return;
    const int64_t align = GetBlockAlign();
    const int64_t frames = (m_dataEnd - m_dataStart) / align;
    start = std::clamp<int64_t>(start, 0, frames);
    if (end < 0 || end > frames)
        end = frames;
    if (end < start)
        end = start;
    m_windowStart = m_dataStart + start * align;
    m_windowEnd = m_dataStart + end * align;
    if (end == frames)
        m_windowEnd = m_dataEnd;
    SetupPlayerMarkers();
    SeekToFile(m_windowStart);
}

bool CWavFileRead::FillBuffer(bool* shortRead)
{
    // A partial frame left by a short read stays at the front.
    const uint32_t left = m_bufFilled - m_bufPos;
    if (left > 0 && m_bufPos > 0)
        std::memmove(m_buffer.data(), m_buffer.data() + m_bufPos, left);
    m_bufFilled = left;
    m_bufPos = 0;
    if (m_filePos >= m_windowEnd)
        return false;
    const uint32_t want =
        static_cast<uint32_t>(std::min<int64_t>(m_windowEnd - m_filePos, m_buffer.size() - left));
    const int got = Read(m_buffer.data() + left, want);
    if (got > 0)
    {
        m_bufFilled += static_cast<uint32_t>(got);
        m_filePos += got;
    }
    if (static_cast<uint32_t>(std::max(got, 0)) < want)
    {
        m_bReadError = true;
        *shortRead = true;
    }
    return got > 0;
}

uint32_t CWavFileRead::ReadAudioData(int32_t** dst, uint32_t n, uint32_t dstOffset)
{
    const uint16_t channels = CWavFormat::GetNumChannels();
    const uint16_t align = GetBlockAlign();
    if (dst == nullptr)
        return 0;
    if (!IsFileOpen() || align == 0)
    {
        CPcmUtil::FillSilence(dst, n, channels, dstOffset);
        return 0;
    }
    uint32_t done = 0;
    bool shortRead = false;
    while (done < n)
    {
        const uint32_t unread = m_bufFilled - m_bufPos;
        if (unread >= align)
        {
            const uint32_t frames = std::min(n - done, unread / align);
            CPcmUtil::DecodeStreamLsb1(m_buffer.data() + m_bufPos, dst, frames, channels,
                                       CWavFormat::GetBitsPerSample(), dstOffset + done);
            m_bufPos += frames * align;
            done += frames;
            continue;
        }
        if (shortRead || !FillBuffer(&shortRead))
            break;
    }
    if (done < n)
        CPcmUtil::FillSilence(dst, n - done, channels, dstOffset + done);
    return done;
}

uint32_t CWavFileRead::ReadAudioData(float** dst, uint32_t n, uint32_t dstOffset)
{
    const uint16_t channels = CWavFormat::GetNumChannels();
    if (dst == nullptr)
        return 0;
    if (!IsFileOpen() || m_scratch.empty())
    {
        CPcmUtil::FillSilence(dst, n, channels, dstOffset);
        return 0;
    }
    int32_t* scratch[2] = {m_scratch.data(), m_scratch.data() + (channels > 1 ? kScratchFrames : 0)};
    const bool isFloat = IsFloatingPoint();
    uint32_t done = 0;
    while (done < n)
    {
        const uint32_t want = std::min(n - done, kScratchFrames);
        const uint32_t got = ReadAudioData(scratch, want, 0);
        for (uint16_t c = 0; c < channels; ++c)
        {
            if (dst[c] == nullptr)
                continue;
            if (isFloat)
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
