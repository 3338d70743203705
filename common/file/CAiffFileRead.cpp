#include "common/file/CAiffFileRead.h"

#include "common/file/CID3v2Read.h"
#include "library/util/CDataUtil.h"
#include "library/util/CPcmUtil.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace
{
uint32_t Be32(const uint8_t* p)
{
    return static_cast<uint32_t>(CDataUtil::BigEndian(p, 4));
}

uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>(CDataUtil::BigEndian(p, 2));
}

bool IsID(const uint8_t* p, const char* id)
{
    return CTextUtil::CompID(reinterpret_cast<const char*>(p), id);
}

// Whether a formatted date or time holds anything beyond its blank template.
bool HasDigit(const wchar_t* text)
{
    for (; *text != 0; ++text)
        if (*text >= L'0' && *text <= L'9')
            return true;
    return false;
}

// COMM body: channels (2), sample frames (4), bits (2), rate (10); AIFC adds
// the compression type (4) and its name.
constexpr uint32_t kCommBody = 18;
constexpr uint32_t kAifcCommBody = 22;
} // namespace

CAiffFileRead::CAiffFileRead() = default;

CAiffFileRead::~CAiffFileRead()
{
    CloseFile();
}

void CAiffFileRead::ResetState()
{
    Initialize();
    m_headerEnd = m_dataStart = m_dataEnd = 0;
    m_windowStart = m_windowEnd = 0;
    m_pictureSize = 0;
    m_bLittleEndianSamples = false;
    m_bufFilled = m_bufPos = 0;
    m_filePos = 0;
    m_bReadError = false;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_scratch.clear();
    m_scratch.shrink_to_fit();
}

void CAiffFileRead::CloseFile()
{
    if (IsFileOpen())
        Close();
    ResetState();
    GetMetaDataPtr()->ClearAll();
    GetMarkerPtr()->DeleteAll();
}

int CAiffFileRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    if (path == nullptr || Open(path) == -1)
        return kAudioFileCannotOpen;

    if (!ReadFormHeader())
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    m_headerEnd = 12;

    if (!ReadCommonChunk())
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }

    // SSND: size, offset and block size, then the samples from offset on.
    const int64_t fileSize = CBinaryFile64::GetFileSize();
    Seek(m_headerEnd, SEEK_SET);
    uint8_t ssnd[16];
    if (FindChunk8("SSND", -1) < sizeof(ssnd))
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    const int64_t chunk = Tell();
    if (Read(ssnd, sizeof(ssnd)) != static_cast<int>(sizeof(ssnd)))
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    std::memcpy(m_ssndID, ssnd, 4);
    m_ssndSize = Be32(ssnd + 4);
    m_ssndOffset = Be32(ssnd + 8);
    m_ssndBlockSize = Be32(ssnd + 12);

    // The samples end with the frames COMM states, the SSND chunk or the
    // file, whichever comes first, in whole frames.
    const int64_t align = GetBlockAlign();
    const int64_t bodyEnd = std::min<int64_t>(chunk + 8 + static_cast<int64_t>(m_ssndSize), fileSize);
    m_dataStart = std::min<int64_t>(chunk + 16 + static_cast<int64_t>(m_ssndOffset), bodyEnd);
    const int64_t available = (bodyEnd - m_dataStart) / align * align;
    const int64_t stated = static_cast<int64_t>(m_sampleFrames) * align;
    m_dataEnd = m_dataStart + std::min(stated, available);
    m_windowStart = m_dataStart;
    m_windowEnd = m_dataEnd;

    const uint32_t bufferFrames = std::max<uint32_t>(1, kBufferTarget / GetBlockAlign());
    m_buffer.assign(static_cast<size_t>(bufferFrames) * GetBlockAlign(), 0);
    m_scratch.assign(static_cast<size_t>(kScratchFrames) * CAiffFormat::GetNumChannels(), 0);

    SetupMetaData();
    if (!GetMetaDataPtr()->IsRecDateAvailable())
        UseFileTimeStampAsRecDate();

    SeekToFile(m_windowStart);
    return kAudioFileOpened;
}

bool CAiffFileRead::ReadFormHeader()
{
    return ReadFormHeaderOfType("AIFF");
}

bool CAiffFileRead::ReadFormHeaderOfType(const char* formType)
{
    uint8_t header[12];
    Seek(0, SEEK_SET);
    if (Read(header, sizeof(header)) != static_cast<int>(sizeof(header)) || !IsID(header, "FORM") ||
        !IsID(header + 8, formType))
        return false;
    std::memcpy(m_formID, header, 4);
    m_formSize = Be32(header + 4);
    std::memcpy(m_formType, header + 8, 4);
    return true;
}

bool CAiffFileRead::ReadCommonChunk()
{
    uint8_t body[kCommBody];
    return ReadCommonChunkBody(body, sizeof(body));
}

bool CAiffFileRead::ReadCommonChunkBody(uint8_t* body, uint32_t bodySize)
{
    Seek(m_headerEnd, SEEK_SET);
    if (bodySize < kCommBody || FindChunk8("COMM", -1) < 8 + bodySize)
        return false;
    uint8_t header[8];
    if (Read(header, sizeof(header)) != static_cast<int>(sizeof(header)) ||
        Read(body, bodySize) != static_cast<int>(bodySize))
        return false;
    std::memcpy(m_commID, header, 4);
    m_commSize = Be32(header + 4);
    m_channels = Be16(body);
    m_sampleFrames = Be32(body + 2);
    m_bitsPerSample = Be16(body + 6);
    std::memcpy(m_sampleRate, body + 8, kRateBytes);
    return IsSupportedFormat();
}

CID3v2Read* CAiffFileRead::OpenID3Chunk()
{
    Seek(m_headerEnd, SEEK_SET);
    const uint32_t length = FindChunk8("ID3 ", -1);
    const int64_t body = Tell() + 8;
    Seek(m_filePos, SEEK_SET);
    if (length <= 8)
        return nullptr;
    // The tag is read by a reader of its own on the same file, limited to
    // the chunk's body.
    return CID3v2Read::CreateReaderForTag(GetFileName(), body, length - 8);
}

void CAiffFileRead::SetupMetaData()
{
    ReadID3Chunk();
}

void CAiffFileRead::ReadID3Chunk()
{
    CAudioMetaData* meta = GetMetaDataPtr();
    meta->ClearAll();
    m_pictureSize = 0;

    std::unique_ptr<CID3v2Read> tag(OpenID3Chunk());
    if (!tag)
        return;

    using Reader = uint32_t (CID3v2Read::*)(wchar_t*, uint32_t);
    static const struct
    {
        int field;
        Reader read;
        bool formatted;
    } kFields[] = {
        {CAudioMetaData::kAlbum, &CID3v2Read::ReadAlbum, false},
        {CAudioMetaData::kAlbumArtist, &CID3v2Read::ReadAlbumArtist, false},
        {CAudioMetaData::kArtist, &CID3v2Read::ReadArtist, false},
        {CAudioMetaData::kTitle, &CID3v2Read::ReadTitle, false},
        {CAudioMetaData::kGenre, &CID3v2Read::ReadGenre, false},
        {CAudioMetaData::kRecDate, &CID3v2Read::ReadRecDateFormatted, true},
        {CAudioMetaData::kRecTime, &CID3v2Read::ReadRecTimeFormatted, true},
        {CAudioMetaData::kEncodingSoftware, &CID3v2Read::ReadEncodingDevice, false},
    };
    for (const auto& f : kFields)
    {
        CMultiString* text = meta->GetStringPtr(f.field);
        std::vector<wchar_t> buf(text->GetBufLength(), 0);
        const uint32_t got = ((*tag).*(f.read))(buf.data(), static_cast<uint32_t>(buf.size()));
        // A date or time the tag does not give comes back as its blank
        // template; such a text stays empty.
        if (got > 0 && (!f.formatted || HasDigit(buf.data())))
            text->SetString(buf.data(), -1, false);
    }

    const uint32_t picture = tag->ReadImageFrontCover(nullptr, 0);
    if (picture > 0)
    {
        meta->SetAttachedPicture(GetFileName());
        m_pictureSize = picture;
    }
}

uint32_t CAiffFileRead::ReadAttachedPicture(uint8_t* buf, uint32_t size)
{
    if (buf != nullptr)
        std::memset(buf, 0, size);
    if (!IsFileOpen() || buf == nullptr)
        return 0;
    std::unique_ptr<CID3v2Read> tag(OpenID3Chunk());
    return tag ? tag->ReadImageFrontCover(buf, size) : 0;
}

int64_t CAiffFileRead::GetNumSamples()
{
    const uint16_t align = GetBlockAlign();
    if (align == 0 || m_windowEnd <= m_windowStart)
        return 0;
    return (m_windowEnd - m_windowStart) / align;
}

int64_t CAiffFileRead::GetCurSamplePosition()
{
    const uint16_t align = GetBlockAlign();
    if (align == 0 || !IsFileOpen())
        return 0;
    return (m_filePos - (m_bufFilled - m_bufPos) - m_windowStart) / align;
}

int64_t CAiffFileRead::GetAbsStartSample()
{
    const uint16_t align = GetBlockAlign();
    return align == 0 ? 0 : (m_windowStart - m_dataStart) / align;
}

void CAiffFileRead::SeekToFile(int64_t pos)
{
    Seek(pos, SEEK_SET);
    m_filePos = pos;
    m_bufFilled = m_bufPos = 0;
    m_bReadError = false;
}

void CAiffFileRead::SetCurSamplePosition(int64_t frame)
{
    if (!IsFileOpen())
        return;
    frame = std::clamp<int64_t>(frame, 0, GetNumSamples());
    SeekToFile(m_windowStart + frame * GetBlockAlign());
}

void CAiffFileRead::ExtractData(int64_t start, int64_t end)
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
    SeekToFile(m_windowStart);
}

bool CAiffFileRead::FillBuffer(bool* shortRead)
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

uint32_t CAiffFileRead::ReadAudioData(int32_t** dst, uint32_t n, uint32_t dstOffset)
{
    const uint16_t channels = CAiffFormat::GetNumChannels();
    const uint16_t bits = CAiffFormat::GetBitsPerSample();
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
            const uint8_t* bytes = m_buffer.data() + m_bufPos;
            if (m_bLittleEndianSamples)
                CPcmUtil::DecodeStreamLsb1(bytes, dst, frames, channels, bits, dstOffset + done);
            else
                CPcmUtil::DecodeStreamMsb1(bytes, dst, frames, channels, bits, dstOffset + done);
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

uint32_t CAiffFileRead::ReadAudioData(float** dst, uint32_t n, uint32_t dstOffset)
{
    const uint16_t channels = CAiffFormat::GetNumChannels();
    if (dst == nullptr)
        return 0;
    if (!IsFileOpen() || m_scratch.empty())
    {
        CPcmUtil::FillSilence(dst, n, channels, dstOffset);
        return 0;
    }
    int32_t* scratch[2] = {m_scratch.data(), m_scratch.data() + (channels > 1 ? kScratchFrames : 0)};
    uint32_t done = 0;
    while (done < n)
    {
        const uint32_t want = std::min(n - done, kScratchFrames);
        const uint32_t got = ReadAudioData(scratch, want, 0);
        for (uint16_t c = 0; c < channels; ++c)
        {
            if (dst[c] == nullptr)
                continue;
            int32_t* in[1] = {scratch[c]};
            float* out[1] = {dst[c]};
            CPcmUtil::SignedIntToFloat(in, out, got, 1, 0, dstOffset + done);
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

CAifcSowtFileRead::CAifcSowtFileRead() = default;
CAifcSowtFileRead::~CAifcSowtFileRead() = default;

bool CAifcSowtFileRead::ReadFormHeader()
{
    return ReadFormHeaderOfType("AIFC");
}

bool CAifcSowtFileRead::ReadCommonChunk()
{
    uint8_t body[kAifcCommBody];
    if (!ReadCommonChunkBody(body, sizeof(body)))
        return false;
    // The compression type follows the rate; its name behind it is not used.
    const uint8_t* compression = body + kCommBody;
    if (IsID(compression, "sowt"))
        SetLittleEndianSamples(true);
    else if (IsID(compression, "NONE"))
        SetLittleEndianSamples(false);
    else
        return false;
    return true;
}
