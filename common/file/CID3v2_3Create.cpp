#include "common/file/CID3v2_3Create.h"

#include "library/util/CImageUtil.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <string>

namespace
{
constexpr uint32_t kHeaderSize = 10;
constexpr uint32_t kFrameHeaderSize = 10;
// The largest size a sync-safe tag size can state.
constexpr uint64_t kMaxTagBodySize = 0x0FFFFFFF;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool AreDigits(const wchar_t* text, std::initializer_list<int> positions)
{
    for (const int i : positions)
        if (!IsDigit(text[i]))
            return false;
    return true;
}
} // namespace

CID3v2_3Create::CID3v2_3Create()
{
    WriteHeader();
}

CID3v2_3Create::~CID3v2_3Create() = default;

int CID3v2_3Create::WriteData(int64_t value, int nBytes)
{
    return WriteDataBigEndian(value, nBytes);
}

void CID3v2_3Create::Clear()
{
    CBinaryFileWriteBuffer::Clear();
    WriteHeader();
}

void CID3v2_3Create::WriteHeader()
{
    static const uint8_t header[kHeaderSize] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    Write(header, kHeaderSize);
}

uint32_t CID3v2_3Create::GetBufFilledSize() const
{
    const uint32_t size = CBinaryFileWriteBuffer::GetBufFilledSize();
    return size > kHeaderSize ? size : 0;
}

uint32_t CID3v2_3Create::AppendFrame(const char* id, const std::vector<uint8_t>& body)
{
    const uint64_t tagBody = static_cast<uint64_t>(CBinaryFileWriteBuffer::GetBufFilledSize()) - kHeaderSize +
                             kFrameHeaderSize + body.size();
    if (tagBody > kMaxTagBodySize)
        return 0;
    MoveToEnd();
    Write(id, 4);
    WriteData(static_cast<int64_t>(body.size()), 4);
    WriteData(0, 2);
    if (!body.empty())
        Write(body.data(), static_cast<uint32_t>(body.size()));

    // The tag size as a sync-safe integer.
    const uint32_t size = static_cast<uint32_t>(tagBody);
    const uint8_t syncSafe[4] = {static_cast<uint8_t>((size >> 21) & 0x7F),
                                 static_cast<uint8_t>((size >> 14) & 0x7F),
                                 static_cast<uint8_t>((size >> 7) & 0x7F), static_cast<uint8_t>(size & 0x7F)};
    Seek(6);
    Write(syncSafe, 4);
    MoveToEnd();
    return kFrameHeaderSize + static_cast<uint32_t>(body.size());
}

uint32_t CID3v2_3Create::CreateStandardTextFrame(const wchar_t* text, const char* id)
{
    if (text == nullptr || text[0] == L'\0' || id == nullptr || std::strlen(id) != 4)
        return 0;
    const size_t length = std::min<size_t>(std::wcslen(text), kMaxTextLength);
    std::wstring cut(text, length);

    std::vector<uint8_t> body;
    if (!CTextUtil::IsNonAsciiIncluded(cut.c_str()))
    {
        body.reserve(length + 2);
        body.push_back(0);
        for (const wchar_t c : cut)
            body.push_back(static_cast<uint8_t>(c));
        body.push_back(0);
    }
    else
    {
        uint16_t units[2 * kMaxTextLength + 1];
        const uint32_t n = CTextUtil::WChartoUTF16(cut.c_str(), units, 2 * kMaxTextLength + 1);
        body.reserve(2 * n + 5);
        body.push_back(1);
        body.push_back(0xFF);
        body.push_back(0xFE);
        for (uint32_t i = 0; i < n; ++i)
        {
            body.push_back(static_cast<uint8_t>(units[i] & 0xFF));
            body.push_back(static_cast<uint8_t>(units[i] >> 8));
        }
        body.push_back(0);
        body.push_back(0);
    }
    return AppendFrame(id, body);
}

uint32_t CID3v2_3Create::SetAlbum(const wchar_t* text)
{
    return CreateStandardTextFrame(text, "TALB");
}

uint32_t CID3v2_3Create::SetTitle(const wchar_t* text)
{
    return CreateStandardTextFrame(text, "TIT2");
}

uint32_t CID3v2_3Create::SetAlbumArtist(const wchar_t* text)
{
    return CreateStandardTextFrame(text, "TPE2");
}

uint32_t CID3v2_3Create::SetArtist(const wchar_t* text)
{
    return CreateStandardTextFrame(text, "TPE1");
}

uint32_t CID3v2_3Create::SetGenre(const wchar_t* text)
{
    return CreateStandardTextFrame(text, "TCON");
}

uint32_t CID3v2_3Create::SetEncodingDevice(const wchar_t* text)
{
    return CreateStandardTextFrame(text, "TSSE");
}

uint32_t CID3v2_3Create::SetRecDateFormatted(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    // "YYYY-MM-DD"; blanks stand for unknown parts and are not written.
    const size_t length = std::wcslen(text);
    uint32_t added = 0;
    if (length > 3 && AreDigits(text, {0, 1, 2, 3}))
    {
        const wchar_t year[] = {text[0], text[1], text[2], text[3], L'\0'};
        added += CreateStandardTextFrame(year, "TYER");
    }
    if (length > 9 && AreDigits(text, {5, 6, 8, 9}))
    {
        const wchar_t dayMonth[] = {text[8], text[9], text[5], text[6], L'\0'};
        added += CreateStandardTextFrame(dayMonth, "TDAT");
    }
    return added;
}

uint32_t CID3v2_3Create::SetRecTimeFormatted(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    // "hh:mm:ss"; the frame holds hours and minutes.
    if (std::wcslen(text) > 4 && AreDigits(text, {0, 1, 3, 4}))
    {
        const wchar_t hourMinute[] = {text[0], text[1], text[3], text[4], L'\0'};
        return CreateStandardTextFrame(hourMinute, "TIME");
    }
    return 0;
}

uint32_t CID3v2_3Create::SetImageFrontCover(const unsigned char* data, uint32_t size)
{
    return CreateAttachedPictureFrame(data, size, 0);
}

uint32_t CID3v2_3Create::CreateAttachedPictureFrame(const unsigned char* data, uint32_t size,
                                                    uint8_t pictureType)
{
    if (data == nullptr || size == 0 || size > kMaxPictureSize)
        return 0;
    const char* mime = nullptr;
    if (CImageUtil::IsJPEG(data, size))
        mime = "image/jpeg";
    else if (CImageUtil::IsPNG(data, size))
        mime = "image/png";
    else
        return 0;

    // Encoding, MIME type, picture type, empty description, picture.
    std::vector<uint8_t> body;
    const size_t mimeLength = std::strlen(mime);
    body.reserve(1 + mimeLength + 1 + 1 + 1 + size);
    body.push_back(0);
    body.insert(body.end(), mime, mime + mimeLength + 1);
    body.push_back(pictureType);
    body.push_back(0);
    body.insert(body.end(), data, data + size);
    return AppendFrame("APIC", body);
}
