#include "library/util/CTextUtil.h"

#include "library/UTF/ConvertUTF.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

const char* const CTextUtil::m_sBlankText = "";

namespace
{
bool IsLatin1Printable(uint32_t c)
{
    return (c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF);
}

bool IsPrintableAscii(uint32_t c)
{
    return c >= 0x20 && c <= 0x7E;
}

size_t WideLength(const wchar_t* s)
{
    return s != nullptr ? std::wcslen(s) : 0;
}
} // namespace

uint32_t CTextUtil::CopyText(char* dst, uint32_t size, const char* src, uint32_t srcLen, bool trim,
                             bool terminate, int fill)
{
    if (dst == nullptr || size == 0)
        return 0;
    std::memset(dst, fill, size);
    if (src == nullptr)
        srcLen = 0;

    const uint32_t room = terminate ? size - 1 : size;
    const uint32_t len = srcLen < room ? srcLen : room;
    uint32_t i = 0;
    for (; i < len && src[i] != '\0'; ++i)
        dst[i] = src[i];
    for (; i < len; ++i)
        dst[i] = '\0';

    if (trim)
    {
        for (uint32_t j = len; j > 0 && (dst[j - 1] == ' ' || dst[j - 1] == '\0'); --j)
            dst[j - 1] = '\0';
    }
    if (terminate)
        dst[size - 1] = '\0';

    uint32_t textLen = 0;
    while (textLen < size && dst[textLen] != '\0')
        ++textLen;
    return textLen;
}

void CTextUtil::SetID(char* dst, const char* src)
{
    std::memcpy(dst, src, 4);
}

bool CTextUtil::CompID(const char* a, const char* b)
{
    return std::memcmp(a, b, 4) == 0;
}

bool CTextUtil::IsNonAsciiIncluded(const char* text)
{
    if (text == nullptr)
        return false;
    for (; *text != '\0'; ++text)
    {
        if (!IsPrintableAscii(static_cast<unsigned char>(*text)))
            return true;
    }
    return false;
}

bool CTextUtil::IsNonAsciiIncluded(const wchar_t* text)
{
    if (text == nullptr)
        return false;
    for (; *text != L'\0'; ++text)
    {
        if (!IsPrintableAscii(static_cast<uint32_t>(*text)))
            return true;
    }
    return false;
}

int CTextUtil::Latin1toWChar(const char* src, wchar_t* dst, uint32_t dstLen)
{
    if (dst == nullptr || dstLen == 0)
        return 0;
    std::wmemset(dst, L'\0', dstLen);
    uint32_t n = 0;
    if (src != nullptr)
    {
        for (; n < dstLen - 1 && src[n] != '\0'; ++n)
        {
            const uint32_t c = static_cast<unsigned char>(src[n]);
            dst[n] = IsLatin1Printable(c) ? static_cast<wchar_t>(c) : L'_';
        }
    }
    return static_cast<int>(n);
}

int CTextUtil::WChartoLatin1(const wchar_t* src, char* dst, uint32_t dstLen)
{
    if (dst == nullptr || dstLen == 0)
        return 0;
    std::memset(dst, 0, dstLen);
    uint32_t n = 0;
    if (src != nullptr)
    {
        for (; n < dstLen - 1 && src[n] != L'\0'; ++n)
        {
            const uint32_t c = static_cast<uint32_t>(src[n]);
            dst[n] = IsLatin1Printable(c) ? static_cast<char>(static_cast<unsigned char>(c)) : '_';
        }
    }
    return static_cast<int>(n);
}

uint32_t CTextUtil::ToLower(const char* src, char* dst)
{
    if (dst == nullptr)
        return 0;
    uint32_t n = 0;
    if (src != nullptr)
    {
        for (; src[n] != '\0'; ++n)
        {
            const char c = src[n];
            dst[n] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    dst[n] = '\0';
    return n;
}

uint32_t CTextUtil::ToLower(const wchar_t* src, wchar_t* dst)
{
    if (dst == nullptr)
        return 0;
    uint32_t n = 0;
    if (src != nullptr)
    {
        for (; src[n] != L'\0'; ++n)
            dst[n] = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(src[n])));
    }
    dst[n] = L'\0';
    return n;
}

void CTextUtil::UTF16ReverseEndian(const uint16_t* src, uint16_t* dst, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
    {
        const uint16_t u = src[i];
        dst[i] = static_cast<uint16_t>((u << 8) | (u >> 8));
    }
}

uint32_t CTextUtil::UTF16toWChar(const uint16_t* src, uint32_t nUnits, wchar_t* dst, uint32_t dstLen)
{
    if (dst == nullptr || dstLen == 0)
        return 0;
    std::wmemset(dst, L'\0', dstLen);
    if (src == nullptr)
        return 0;
    const UTF16* s = src;
    const UTF16* sEnd = src + nUnits;
    wchar_t* t = dst;
    wchar_t* tEnd = dst + dstLen - 1;
    // The source is a complete text, so a high surrogate at its very end has
    // no partner and is replaced like any other unpaired surrogate.
    if (ConvertUTF16toUTF32(&s, sEnd, &t, tEnd, lenientConversion) == sourceExhausted && t < tEnd)
        *t++ = static_cast<wchar_t>(0xFFFD);
    return static_cast<uint32_t>(t - dst);
}

uint32_t CTextUtil::WChartoUTF16(const wchar_t* src, uint16_t* dst, uint32_t dstLen)
{
    if (dst == nullptr || dstLen == 0)
        return 0;
    std::memset(dst, 0, dstLen * sizeof(uint16_t));
    const wchar_t* s = src;
    UTF16* t = dst;
    ConvertUTF32toUTF16(&s, src + WideLength(src), &t, dst + dstLen - 1, lenientConversion);
    return static_cast<uint32_t>(t - dst);
}

uint32_t CTextUtil::WChartoUTF8(const wchar_t* src, uint8_t* dst, uint32_t dstSize)
{
    if (dst == nullptr || dstSize == 0)
        return 0;
    std::memset(dst, 0, dstSize);
    const wchar_t* s = src;
    UTF8* t = dst;
    // A character that does not fit whole is left out, so the text never ends
    // in a partial sequence.
    ConvertUTF32toUTF8(&s, src + WideLength(src), &t, dst + dstSize - 1, lenientConversion);
    return static_cast<uint32_t>(t - dst);
}

uint32_t CTextUtil::WChartoChar(const wchar_t* src, char* dst, uint32_t dstSize)
{
    return WChartoUTF8(src, reinterpret_cast<uint8_t*>(dst), dstSize);
}

uint32_t CTextUtil::UTF8toWChar(const uint8_t* src, uint32_t nBytes, wchar_t* dst, uint32_t dstLen)
{
    if (dst == nullptr || dstLen == 0)
        return 0;
    std::wmemset(dst, L'\0', dstLen);
    if (src == nullptr)
        return 0;
    const UTF8* s = src;
    wchar_t* t = dst;
    ConvertUTF8toUTF32(&s, src + nBytes, &t, dst + dstLen - 1, lenientConversion);
    return static_cast<uint32_t>(t - dst);
}

uint32_t CTextUtil::ChartoWChar(const char* src, wchar_t* dst, uint32_t dstLen)
{
    const size_t n = src != nullptr ? std::strlen(src) : 0;
    // Longer texts are cut; the destination could not hold them anyway.
    const uint32_t nBytes = n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
    return UTF8toWChar(reinterpret_cast<const uint8_t*>(src), nBytes, dst, dstLen);
}

namespace
{
// The full-width forms of the letters that may not appear in file names, less
// the reverse solidus.
bool IsFullWidthFileNameLetter(uint32_t c)
{
    switch (c)
    {
    case 0xFF02: // quotation mark
    case 0xFF03: // number sign
    case 0xFF0A: // asterisk
    case 0xFF0C: // comma
    case 0xFF0F: // solidus
    case 0xFF1A: // colon
    case 0xFF1B: // semicolon
    case 0xFF1C: // less-than sign
    case 0xFF1E: // greater-than sign
    case 0xFF1F: // question mark
    case 0xFF20: // commercial at
    case 0xFF3E: // circumflex accent
    case 0xFF5C: // vertical line
        return true;
    default:
        return false;
    }
}

bool IsFullWidthForm(uint32_t c)
{
    return c >= 0xFF01 && c <= 0xFF5E;
}

bool IsNormalizable(uint32_t c)
{
    return IsPrintableAscii(c) || c == 0x3000 || c == 0x301C || c == 0x2019 || IsFullWidthForm(c);
}
} // namespace

uint32_t CTextUtil::WideLetterToNormal(const wchar_t* src, wchar_t* dst, bool keepFileNameLetters)
{
    if (dst == nullptr)
        return 0;
    const size_t len = WideLength(src);
    bool allNormalizable = true;
    for (size_t i = 0; i < len && allNormalizable; ++i)
        allNormalizable = IsNormalizable(static_cast<uint32_t>(src[i]));

    for (size_t i = 0; i < len; ++i)
    {
        const uint32_t c = static_cast<uint32_t>(src[i]);
        uint32_t out = c;
        if (allNormalizable)
        {
            if (c == 0x3000)
                out = 0x20;
            else if (c == 0x301C)
                out = 0x7E;
            else if (c == 0x2019)
                out = 0x27;
            else if (IsFullWidthForm(c) && !(keepFileNameLetters && IsFullWidthFileNameLetter(c)))
                out = c - 0xFEE0;
        }
        dst[i] = static_cast<wchar_t>(out);
    }
    dst[len] = L'\0';
    return static_cast<uint32_t>(len);
}
