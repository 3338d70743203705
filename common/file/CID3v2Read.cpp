#include "common/file/CID3v2Read.h"

#include "common/file/CID3v1.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

namespace
{
// Texts are read through a work buffer of this many bytes (one kept for the
// terminator); a longer text is cut. It holds the longest text the ID3v2.3
// builder writes: 511 characters of up to four bytes in UTF-16.
constexpr uint32_t kWorkBufferSize = 2048;
constexpr uint32_t kMaxTextBytes = kWorkBufferSize - 1;

constexpr int kEncodingLatin1 = 0;
constexpr int kEncodingUtf16Bom = 1;
constexpr int kEncodingUtf16BE = 2;
constexpr int kEncodingUtf8 = 3;

bool IsUtf16Encoding(int encoding)
{
    return encoding == kEncodingUtf16Bom || encoding == kEncodingUtf16BE;
}

// Copies text into buf (bufLen characters with the terminator, zero-filled).
uint32_t CopyWide(const wchar_t* text, size_t length, wchar_t* buf, uint32_t bufLen)
{
    if (buf == nullptr || bufLen == 0)
        return 0;
    std::wmemset(buf, L'\0', bufLen);
    const size_t n = std::min<size_t>(length, bufLen - 1);
    std::wmemcpy(buf, text, n);
    return static_cast<uint32_t>(n);
}

uint32_t CopyAsciiToWide(const char* text, wchar_t* buf, uint32_t bufLen)
{
    wchar_t wide[64] = {};
    size_t n = 0;
    for (; text[n] != '\0' && n < 63; ++n)
        wide[n] = static_cast<unsigned char>(text[n]);
    return CopyWide(wide, n, buf, bufLen);
}

// Decodes one terminated text of a frame body (p, n bytes) into dst and
// returns the number of bytes it took, its terminator included (n when it
// has none). In encoding 1 the first text of a frame always begins with a
// byte-order mark; a later text may begin with its own, otherwise it keeps
// the byte order of the one before it.
uint32_t DecodeText(const uint8_t* p, uint32_t n, int encoding, bool firstOfFrame, bool& bigEndian,
                    wchar_t* dst, uint32_t dstLen, uint32_t& length)
{
    length = 0;
    if (dst != nullptr && dstLen > 0)
        std::wmemset(dst, L'\0', dstLen);
    if (encoding == kEncodingLatin1 || encoding == kEncodingUtf8)
    {
        uint32_t end = 0;
        while (end < n && p[end] != 0)
            ++end;
        const uint32_t used = end < n ? end + 1 : n;
        if (encoding == kEncodingUtf8)
        {
            length = CTextUtil::UTF8toWChar(p, end, dst, dstLen);
        }
        else
        {
            char latin1[kWorkBufferSize + 1] = {};
            std::memcpy(latin1, p, std::min(end, kWorkBufferSize));
            length = static_cast<uint32_t>(std::max(0, CTextUtil::Latin1toWChar(latin1, dst, dstLen)));
        }
        return used;
    }
    if (!IsUtf16Encoding(encoding))
        return n;

    uint32_t offset = 0;
    if (encoding == kEncodingUtf16BE)
    {
        bigEndian = true;
    }
    else if (firstOfFrame)
    {
        if (n < 2)
            return n; // a text too short even for its byte-order mark
        bigEndian = p[0] == 0xFE && p[1] == 0xFF;
        offset = 2;
    }
    else if (n >= 2 && ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE)))
    {
        bigEndian = p[0] == 0xFE;
        offset = 2;
    }

    uint16_t units[kWorkBufferSize / 2 + 2];
    uint32_t count = 0;
    bool terminated = false;
    while (offset + 2 <= n && count < kWorkBufferSize / 2 + 1)
    {
        const uint16_t unit = bigEndian ? static_cast<uint16_t>((p[offset] << 8) | p[offset + 1])
                                        : static_cast<uint16_t>(p[offset] | (p[offset + 1] << 8));
        offset += 2;
        if (unit == 0)
        {
            terminated = true;
            break;
        }
        units[count++] = unit;
    }
    length = CTextUtil::UTF16toWChar(units, count, dst, dstLen);
    return terminated ? offset : n;
}
} // namespace

// ---------------------------------------------------------------------------
// CID3v2Read: ID3v2.2

CID3v2Read::CID3v2Read() : CBinaryFile64(false) {}

CID3v2Read::~CID3v2Read() = default;

CID3v2Read* CID3v2Read::CreateReaderForTag(const wchar_t* path, int64_t tagPosition, int64_t tagLimit)
{
    auto reader = std::make_unique<CID3v2_4Read>();
    if (reader->OpenFile(path, tagPosition, tagLimit) != 0)
        return nullptr;
    const int major = reader->GetID3v2Version() >> 8;
    std::unique_ptr<CID3v2Read> other;
    if (major == 2)
        other = std::make_unique<CID3v2Read>();
    else if (major == 3)
        other = std::make_unique<CID3v2_3Read>();
    else
        return reader.release();
    reader.reset();
    if (other->OpenFile(path, tagPosition, tagLimit) != 0)
        return nullptr;
    return other.release();
}

int64_t CID3v2Read::ReadData(int nBytes)
{
    return ReadDataBigEndian(nBytes);
}

int CID3v2Read::OpenFile(const wchar_t* path, int64_t tagPosition, int64_t tagLimit)
{
    CloseFile();
    if (tagPosition < 0 || Open(path) == -1)
        return 2;
    m_tagPosition = tagPosition;
    m_tagLimit = tagLimit;
    if (!ReadID3v2Header())
    {
        CloseFile();
        return 2;
    }
    return 0;
}

void CID3v2Read::CloseFile()
{
    if (IsFileOpen())
        Close();
    std::memset(m_tagId, 0, sizeof(m_tagId));
    m_version = 0;
    m_flags = 0;
    m_tagSize = 0;
    m_framesStart = 0;
    m_framesEnd = 0;
    m_tagPosition = 0;
    m_tagLimit = -1;
}

uint32_t CID3v2Read::DecodeSize4x7bit(const unsigned char* b)
{
    return (static_cast<uint32_t>(b[0] & 0x7F) << 21) | (static_cast<uint32_t>(b[1] & 0x7F) << 14) |
           (static_cast<uint32_t>(b[2] & 0x7F) << 7) | static_cast<uint32_t>(b[3] & 0x7F);
}

bool CID3v2Read::ReadID3v2Header()
{
    if (!IsFileOpen())
        return false;
    const int64_t fileSize = GetFileSize();
    if (m_tagPosition < 0 || m_tagPosition > fileSize - static_cast<int64_t>(kHeaderSize))
        return false;
    // The tag can use the rest of the file, or less when its enclosing
    // chunk says so.
    int64_t available = fileSize - m_tagPosition;
    if (m_tagLimit >= 0 && m_tagLimit < available)
        available = m_tagLimit;
    if (available < static_cast<int64_t>(kHeaderSize))
        return false;

    uint8_t header[kHeaderSize];
    if (Seek(m_tagPosition, SEEK_SET) != m_tagPosition ||
        Read(header, kHeaderSize) != static_cast<int>(kHeaderSize))
        return false;
    if (std::memcmp(header, "ID3", 3) != 0)
        return false;
    std::memcpy(m_tagId, header, 3);
    m_version = static_cast<uint16_t>((header[3] << 8) | header[4]);
    m_flags = header[5];
    m_tagSize = DecodeSize4x7bit(header + 6);
    m_framesStart = m_tagPosition + kHeaderSize;
    m_framesEnd = m_framesStart + std::min<int64_t>(m_tagSize, available - kHeaderSize);
    return true;
}

bool CID3v2Read::ReadFrameHeader(FrameHeader& header)
{
    const uint32_t headerSize = FrameHeaderSize();
    const int64_t pos = Tell();
    if (pos < m_framesStart || pos + static_cast<int64_t>(headerSize) > m_framesEnd)
        return false;
    uint8_t bytes[10] = {};
    if (Read(bytes, headerSize) != static_cast<int>(headerSize))
        return false;
    const int idLength = IdLength();
    header = FrameHeader();
    std::memcpy(header.id, bytes, static_cast<size_t>(idLength));
    header.size = DecodeFrameSize(bytes + idLength);
    if (idLength == 4)
        header.formatFlags = bytes[9];
    // Zero bytes behind the last frame (padding) end the frames.
    if (header.size == 0 || bytes[0] == 0)
        return false;
    header.start = pos;
    header.bodyStart = pos + headerSize;
    header.bodyEnd = header.bodyStart + std::min<int64_t>(header.size, m_framesEnd - header.bodyStart);
    return true;
}

uint32_t CID3v2Read::DecodeFrameSize(const uint8_t* sizeBytes) const
{
    if (IdLength() == 3)
        return (static_cast<uint32_t>(sizeBytes[0]) << 16) | (static_cast<uint32_t>(sizeBytes[1]) << 8) |
               sizeBytes[2];
    return (static_cast<uint32_t>(sizeBytes[0]) << 24) | (static_cast<uint32_t>(sizeBytes[1]) << 16) |
           (static_cast<uint32_t>(sizeBytes[2]) << 8) | sizeBytes[3];
}

bool CID3v2Read::FindFrame(const char* id, bool fromStart)
{
    // Unsynchronised and compressed tags are not read.
    if ((m_flags & 0xC0) != 0)
        return false;
    return WalkToFrame(id, fromStart);
}

bool CID3v2Read::WalkToFrame(const char* id, bool fromStart)
{
    if (!IsFileOpen() || id == nullptr)
        return false;
    const int idLength = IdLength();
    if (std::strlen(id) != static_cast<size_t>(idLength))
        return false;
    if (fromStart)
        Seek(m_framesStart, SEEK_SET);
    FrameHeader header;
    while (ReadFrameHeader(header))
    {
        if (std::memcmp(header.id, id, static_cast<size_t>(idLength)) == 0)
        {
            Seek(header.start, SEEK_SET);
            return true;
        }
        Seek(header.bodyEnd, SEEK_SET);
    }
    return false;
}

uint32_t CID3v2Read::ReadTextWithEncoding(wchar_t* buf, uint32_t bufLen, int64_t frameEnd)
{
    if (buf == nullptr || bufLen == 0)
        return 0;
    std::wmemset(buf, L'\0', bufLen);
    uint8_t encoding = 0;
    if (Tell() >= frameEnd || Read(&encoding, 1) != 1)
        return 0;
    const int64_t remaining = std::max<int64_t>(0, frameEnd - Tell());
    // A mark in front of UTF-16 text does not count against the limit.
    const uint32_t limit = kMaxTextBytes + (encoding == kEncodingUtf16Bom ? 2 : 0);
    uint8_t work[kWorkBufferSize + 2] = {};
    const int got = Read(work, static_cast<uint32_t>(std::min<int64_t>(remaining, limit)));
    bool bigEndian = false;
    uint32_t length = 0;
    DecodeText(work, static_cast<uint32_t>(std::max(0, got)), encoding, true, bigEndian, buf, bufLen, length);
    return length;
}

uint32_t CID3v2Read::ReadStandardTextFrame(wchar_t* buf, uint32_t bufLen, const char* id)
{
    if (buf == nullptr || bufLen == 0)
        return 0;
    std::wmemset(buf, L'\0', bufLen);
    FrameHeader header;
    if (!FindFrame(id, true) || !ReadFrameHeader(header) || header.formatFlags != 0)
        return 0;
    return ReadTextWithEncoding(buf, bufLen, header.bodyEnd);
}

uint32_t CID3v2Read::ReadTextFrameWithDescription(wchar_t* buf, uint32_t bufLen, const char* id,
                                                  const wchar_t* description)
{
    if (buf == nullptr || bufLen == 0)
        return 0;
    std::wmemset(buf, L'\0', bufLen);
    if (description == nullptr)
        return 0;
    bool fromStart = true;
    while (FindFrame(id, fromStart))
    {
        fromStart = false;
        FrameHeader header;
        if (!ReadFrameHeader(header))
            return 0;
        uint8_t encoding = 0;
        if (header.formatFlags == 0 && Read(&encoding, 1) == 1)
        {
            const int64_t remaining = std::max<int64_t>(0, header.bodyEnd - Tell());
            const uint32_t limit = kMaxTextBytes + (encoding == kEncodingUtf16Bom ? 2 : 0);
            uint8_t work[kWorkBufferSize + 2] = {};
            const int got =
                std::max(0, Read(work, static_cast<uint32_t>(std::min<int64_t>(remaining, limit))));
            const uint32_t n = static_cast<uint32_t>(got);
            wchar_t found[kWorkBufferSize + 1];
            bool bigEndian = false;
            uint32_t length = 0;
            const uint32_t used =
                DecodeText(work, n, encoding, true, bigEndian, found, kWorkBufferSize + 1, length);
            if (std::wcscmp(found, description) == 0)
            {
                DecodeText(work + used, n - used, encoding, false, bigEndian, buf, bufLen, length);
                return length;
            }
        }
        Seek(header.bodyEnd, SEEK_SET);
    }
    return 0;
}

bool CID3v2Read::SkipTerminatedText(int encoding, int64_t end)
{
    const uint32_t unit = IsUtf16Encoding(encoding) ? 2 : 1;
    int64_t pos = Tell();
    uint8_t block[256];
    while (pos + unit <= end)
    {
        const uint32_t want =
            static_cast<uint32_t>(std::min<int64_t>(sizeof(block), end - pos)) / unit * unit;
        if (want == 0 || Read(block, want) != static_cast<int>(want))
            return false;
        for (uint32_t i = 0; i < want; i += unit)
        {
            if (block[i] == 0 && (unit == 1 || block[i + 1] == 0))
            {
                Seek(pos + i + unit, SEEK_SET);
                return true;
            }
        }
        pos += want;
    }
    return false;
}

uint32_t CID3v2Read::ReadPictureBytes(unsigned char* buf, uint32_t bufLen, int64_t frameEnd)
{
    const int64_t size = frameEnd - Tell();
    if (size <= 0 || size > static_cast<int64_t>(kMaxPictureSize))
        return 0;
    if (buf == nullptr)
        return static_cast<uint32_t>(size);
    if (size > static_cast<int64_t>(bufLen))
        return 0;
    if (Read(buf, static_cast<uint32_t>(size)) != static_cast<int>(size))
    {
        std::memset(buf, 0, bufLen);
        return 0;
    }
    return static_cast<uint32_t>(size);
}

uint32_t CID3v2Read::ReadAttachedPictureFrame(unsigned char* buf, uint32_t bufLen, eID3v2PictureType type)
{
    if (buf != nullptr && bufLen > 0)
        std::memset(buf, 0, bufLen);
    bool fromStart = true;
    while (FindFrame("PIC", fromStart))
    {
        fromStart = false;
        FrameHeader header;
        if (!ReadFrameHeader(header))
            return 0;
        // Encoding, image format (3 bytes) and picture type.
        uint8_t head[5];
        if (header.bodyEnd - header.bodyStart >= 5 && Read(head, 5) == 5 &&
            (std::memcmp(head + 1, "JPG", 3) == 0 || std::memcmp(head + 1, "PNG", 3) == 0) &&
            (type == kID3v2PictureAny || head[4] == static_cast<uint8_t>(type)) &&
            SkipTerminatedText(head[0], header.bodyEnd))
        {
            const int64_t size = header.bodyEnd - Tell();
            if (size > 0 && size <= static_cast<int64_t>(kMaxPictureSize))
                return ReadPictureBytes(buf, bufLen, header.bodyEnd);
        }
        Seek(header.bodyEnd, SEEK_SET);
    }
    return 0;
}

uint32_t CID3v2Read::ReadImageFrontCover(unsigned char* buf, uint32_t bufLen)
{
    return ReadAttachedPictureFrame(buf, bufLen, kID3v2PictureAny);
}

uint32_t CID3v2Read::TranslateGenreIndex(wchar_t* text, uint32_t bufLen)
{
    if (text == nullptr || bufLen == 0)
        return 0;
    const size_t length = std::wcslen(text);
    if (length < 3 || text[0] != L'(' || text[1] == L'(')
        return static_cast<uint32_t>(length);
    if (text[1] == L'R' && text[2] == L'X')
        return CopyAsciiToWide("Remix", text, bufLen);
    if (text[1] == L'C' && text[2] == L'R')
        return CopyAsciiToWide("Cover", text, bufLen);
    // Only a number selects a genre; "(" followed by anything else (a
    // refinement such as "(Live)") is kept as it stands.
    uint32_t value = 0;
    size_t i = 1;
    for (; i < length && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(text[i] - L'0'), 100000);
    if (i == 1 || value >= static_cast<uint32_t>(CID3v1::kNumGenres))
        return static_cast<uint32_t>(length);
    return CopyAsciiToWide(CID3v1::sm_ID3v1GenreList[value], text, bufLen);
}

uint32_t CID3v2Read::FormatDateFromFrames(wchar_t* buf, uint32_t bufLen)
{
    wchar_t date[] = L"    -  -  ";
    wchar_t part[32];
    const uint32_t year = ReadRecYear(part, 32);
    for (uint32_t i = 0; i < std::min<uint32_t>(year, 4); ++i)
        date[i] = part[i];
    if (ReadRecDate(part, 32) >= 4)
    {
        date[5] = part[2];
        date[6] = part[3];
        date[8] = part[0];
        date[9] = part[1];
    }
    return CopyWide(date, 10, buf, bufLen);
}

uint32_t CID3v2Read::FormatTimeFromFrames(wchar_t* buf, uint32_t bufLen)
{
    wchar_t time[] = L"  :  :  ";
    wchar_t part[32];
    if (ReadRecTime(part, 32) >= 4)
    {
        time[0] = part[0];
        time[1] = part[1];
        time[3] = part[2];
        time[4] = part[3];
        time[6] = L'0';
        time[7] = L'0';
    }
    return CopyWide(time, 8, buf, bufLen);
}

uint32_t CID3v2Read::ReadRecDateFormatted(wchar_t* buf, uint32_t bufLen)
{
    return FormatDateFromFrames(buf, bufLen);
}

uint32_t CID3v2Read::ReadRecTimeFormatted(wchar_t* buf, uint32_t bufLen)
{
    return FormatTimeFromFrames(buf, bufLen);
}

uint32_t CID3v2Read::ReadAlbum(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TAL", "TALB"));
}

uint32_t CID3v2Read::ReadSortAlbum(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TSA", "TSOA"));
}

uint32_t CID3v2Read::ReadAlbumArtist(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TP2", "TPE2"));
}

uint32_t CID3v2Read::ReadSortAlbumArtist(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TS2", "TSO2"));
}

uint32_t CID3v2Read::ReadTitle(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TT2", "TIT2"));
}

uint32_t CID3v2Read::ReadSortTitle(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TST", "TSOT"));
}

uint32_t CID3v2Read::ReadArtist(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TP1", "TPE1"));
}

uint32_t CID3v2Read::ReadSortArtist(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TSP", "TSOP"));
}

uint32_t CID3v2Read::ReadComposer(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TCM", "TCOM"));
}

uint32_t CID3v2Read::ReadSortComposer(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TSC", "TSOC"));
}

uint32_t CID3v2Read::ReadGuitarist(wchar_t* buf, uint32_t bufLen)
{
    return ReadTextFrameWithDescription(buf, bufLen, Id("TXX", "TXXX"), L"guitarist");
}

uint32_t CID3v2Read::ReadSortGuitarist(wchar_t* buf, uint32_t bufLen)
{
    return ReadTextFrameWithDescription(buf, bufLen, Id("TXX", "TXXX"), L"sort guitarist");
}

uint32_t CID3v2Read::ReadEncodingDevice(wchar_t* buf, uint32_t bufLen)
{
    const uint32_t n = ReadStandardTextFrame(buf, bufLen, Id("TSS", "TSSE"));
    return n > 0 ? n : ReadStandardTextFrame(buf, bufLen, Id("TEN", "TENC"));
}

uint32_t CID3v2Read::ReadBPM(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TBP", "TBPM"));
}

uint32_t CID3v2Read::ReadGrouping(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TT1", "TIT1"));
}

uint32_t CID3v2Read::ReadTrackNumber(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TRK", "TRCK"));
}

uint32_t CID3v2Read::ReadDiscNumber(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TPA", "TPOS"));
}

uint32_t CID3v2Read::ReadCompilation(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TCP", "TCMP"));
}

uint32_t CID3v2Read::ReadGenre(wchar_t* buf, uint32_t bufLen)
{
    ReadStandardTextFrame(buf, bufLen, Id("TCO", "TCON"));
    return TranslateGenreIndex(buf, bufLen);
}

uint32_t CID3v2Read::ReadRecYear(wchar_t* buf, uint32_t bufLen)
{
    // Later versions may give the year only in the recording time.
    const uint32_t n = ReadStandardTextFrame(buf, bufLen, Id("TYE", "TYER"));
    return n > 0 || IdLength() == 3 ? n : ReadStandardTextFrame(buf, bufLen, "TDRC");
}

uint32_t CID3v2Read::ReadRecDate(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TDA", "TDAT"));
}

uint32_t CID3v2Read::ReadRecTime(wchar_t* buf, uint32_t bufLen)
{
    return ReadStandardTextFrame(buf, bufLen, Id("TIM", "TIME"));
}

// ---------------------------------------------------------------------------
// CID3v2_3Read

CID3v2_3Read::CID3v2_3Read()
{
    m_frameIdLength = 4;
}

CID3v2_3Read::~CID3v2_3Read() = default;

bool CID3v2_3Read::ReadID3v2Header()
{
    if (!CID3v2Read::ReadID3v2Header())
        return false;
    if ((m_flags & 0x40) != 0)
    {
        // Extended header: its size (not counting the size field itself),
        // then that many bytes.
        if (m_framesStart + 4 > m_framesEnd)
        {
            m_framesStart = m_framesEnd;
            return true;
        }
        Seek(m_framesStart, SEEK_SET);
        const int64_t size = ReadData(4);
        m_framesStart = std::min(m_framesStart + 4 + size, m_framesEnd);
    }
    return true;
}

bool CID3v2_3Read::FindFrame(const char* id, bool fromStart)
{
    // Only unsynchronised tags are not read (the 0x40 flag announces an
    // extended header here).
    if ((m_flags & 0x80) != 0)
        return false;
    return WalkToFrame(id, fromStart);
}

uint32_t CID3v2_3Read::ReadAttachedPictureFrame(unsigned char* buf, uint32_t bufLen, eID3v2PictureType type)
{
    if (buf != nullptr && bufLen > 0)
        std::memset(buf, 0, bufLen);
    bool fromStart = true;
    while (FindFrame("APIC", fromStart))
    {
        fromStart = false;
        FrameHeader header;
        if (!ReadFrameHeader(header))
            return 0;
        // Encoding, MIME type, picture type, description, picture.
        uint8_t encoding = 0;
        uint8_t pictureType = 0;
        if (header.formatFlags == 0 && Read(&encoding, 1) == 1 && SkipTerminatedText(0, header.bodyEnd) &&
            Tell() < header.bodyEnd && Read(&pictureType, 1) == 1 &&
            (type == kID3v2PictureAny || pictureType == static_cast<uint8_t>(type)) &&
            SkipTerminatedText(encoding, header.bodyEnd))
        {
            const int64_t size = header.bodyEnd - Tell();
            if (size > 0 && size <= static_cast<int64_t>(kMaxPictureSize))
                return ReadPictureBytes(buf, bufLen, header.bodyEnd);
        }
        Seek(header.bodyEnd, SEEK_SET);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// CID3v2_4Read

CID3v2_4Read::CID3v2_4Read() = default;
CID3v2_4Read::~CID3v2_4Read() = default;

bool CID3v2_4Read::ReadID3v2Header()
{
    if (!CID3v2Read::ReadID3v2Header())
        return false;
    // A footer follows the frames and is not counted in the tag size.
    if ((m_flags & 0x40) != 0)
    {
        // Extended header: its whole size, the size field included, as a
        // sync-safe integer.
        uint8_t size[4];
        if (m_framesStart + 4 > m_framesEnd || Seek(m_framesStart, SEEK_SET) != m_framesStart ||
            Read(size, 4) != 4)
        {
            m_framesStart = m_framesEnd;
            return true;
        }
        const int64_t extendedSize = std::max<int64_t>(DecodeSize4x7bit(size), 4);
        m_framesStart = std::min(m_framesStart + extendedSize, m_framesEnd);
    }
    return true;
}

uint32_t CID3v2_4Read::DecodeFrameSize(const uint8_t* sizeBytes) const
{
    // Frame sizes are sync-safe integers.
    return DecodeSize4x7bit(sizeBytes);
}

bool CID3v2_4Read::FindFrame(const char* id, bool fromStart)
{
    return CID3v2_3Read::FindFrame(id, fromStart);
}

uint32_t CID3v2_4Read::ReadRecDateFormatted(wchar_t* buf, uint32_t bufLen)
{
    // TDRC: "YYYY-MM-DDThh:mm:ss" or any leading part of it.
    wchar_t stamp[24];
    const uint32_t length = ReadStandardTextFrame(stamp, 24, "TDRC");
    wchar_t date[] = L"    -  -  ";
    if (length > 3)
        std::wmemcpy(date, stamp, 4);
    if (length > 6)
        std::wmemcpy(date + 5, stamp + 5, 2);
    if (length > 9)
        std::wmemcpy(date + 8, stamp + 8, 2);
    return CopyWide(date, 10, buf, bufLen);
}

uint32_t CID3v2_4Read::ReadRecTimeFormatted(wchar_t* buf, uint32_t bufLen)
{
    wchar_t stamp[24];
    const uint32_t length = ReadStandardTextFrame(stamp, 24, "TDRC");
    wchar_t time[] = L"  :  :  ";
    if (length > 12)
        std::wmemcpy(time, stamp + 11, 2);
    if (length > 15)
        std::wmemcpy(time + 3, stamp + 14, 2);
    if (length > 18)
        std::wmemcpy(time + 6, stamp + 17, 2);
    return CopyWide(time, 8, buf, bufLen);
}
