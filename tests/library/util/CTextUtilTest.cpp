#include "library/util/CTextUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace
{
constexpr unsigned char kSentinel = 0xAB;

// Runs a conversion into a buffer of `size` units inside a larger buffer filled
// with a sentinel, and returns the result and the raw bytes.
struct Filled
{
    uint32_t result;
    std::vector<unsigned char> bytes;
};

Filled RunInto(size_t unitSize, uint32_t size, const std::function<uint32_t(void*, uint32_t)>& convert)
{
    std::vector<unsigned char> bytes(unitSize * (size + 4), kSentinel);
    const uint32_t r = convert(bytes.data(), size);
    return {r, bytes};
}

bool AllSentinel(const std::vector<unsigned char>& bytes, size_t from)
{
    for (size_t i = from; i < bytes.size(); ++i)
    {
        if (bytes[i] != kSentinel)
            return false;
    }
    return true;
}

bool AllZero(const std::vector<unsigned char>& bytes, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
    {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}
} // namespace

TEST(CTextUtil, EveryConversionHandlesDestinationSizesZeroAndOne)
{
    static const uint16_t utf16[] = {'a', 'b', 0};
    static const uint8_t utf8[] = {'a', 'b', 0};
    struct Case
    {
        const char* what;
        size_t unitSize;
        std::function<uint32_t(void*, uint32_t)> convert;
    };
    const Case cases[] = {
        {"CopyText", 1,
         [](void* d, uint32_t n)
         { return CTextUtil::CopyText(static_cast<char*>(d), n, "ab", 2, false, true, 0); }},
        {"Latin1toWChar", sizeof(wchar_t),
         [](void* d, uint32_t n)
         { return uint32_t(CTextUtil::Latin1toWChar("ab", static_cast<wchar_t*>(d), n)); }},
        {"WChartoLatin1", 1,
         [](void* d, uint32_t n)
         { return uint32_t(CTextUtil::WChartoLatin1(L"ab", static_cast<char*>(d), n)); }},
        {"UTF16toWChar", sizeof(wchar_t),
         [](void* d, uint32_t n) { return CTextUtil::UTF16toWChar(utf16, 2, static_cast<wchar_t*>(d), n); }},
        {"WChartoUTF16", 2,
         [](void* d, uint32_t n) { return CTextUtil::WChartoUTF16(L"ab", static_cast<uint16_t*>(d), n); }},
        {"WChartoUTF8", 1,
         [](void* d, uint32_t n) { return CTextUtil::WChartoUTF8(L"ab", static_cast<uint8_t*>(d), n); }},
        {"WChartoChar", 1,
         [](void* d, uint32_t n) { return CTextUtil::WChartoChar(L"ab", static_cast<char*>(d), n); }},
        {"UTF8toWChar", sizeof(wchar_t),
         [](void* d, uint32_t n) { return CTextUtil::UTF8toWChar(utf8, 2, static_cast<wchar_t*>(d), n); }},
        {"ChartoWChar", sizeof(wchar_t),
         [](void* d, uint32_t n) { return CTextUtil::ChartoWChar("ab", static_cast<wchar_t*>(d), n); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Filled r = RunInto(c.unitSize, 0, c.convert);
        EXPECT_EQ(r.result, 0u);
        EXPECT_TRUE(AllSentinel(r.bytes, 0)) << "size 0 must write nothing";

        r = RunInto(c.unitSize, 1, c.convert);
        EXPECT_EQ(r.result, 0u);
        EXPECT_TRUE(AllZero(r.bytes, 0, c.unitSize)) << "size 1 holds only the terminator";
        EXPECT_TRUE(AllSentinel(r.bytes, c.unitSize)) << "nothing beyond the destination";

        r = RunInto(c.unitSize, 3, c.convert);
        EXPECT_EQ(r.result, 2u);
        EXPECT_TRUE(AllZero(r.bytes, 2 * c.unitSize, 3 * c.unitSize));
        EXPECT_TRUE(AllSentinel(r.bytes, 3 * c.unitSize));
    }
}

TEST(CTextUtil, Utf8DestinationNeverEndsInAPartialCharacter)
{
    // "a日" is 1 + 3 bytes: it needs 5 bytes with the terminator.
    for (uint32_t size : {2u, 3u, 4u})
    {
        std::vector<uint8_t> dst(size, 0xEE);
        EXPECT_EQ(CTextUtil::WChartoUTF8(L"a\u65E5", dst.data(), size), 1u) << size;
        EXPECT_EQ(dst[0], 'a');
        for (uint32_t i = 1; i < size; ++i)
            EXPECT_EQ(dst[i], 0) << "size " << size << " byte " << i;
    }
    uint8_t dst[5];
    EXPECT_EQ(CTextUtil::WChartoUTF8(L"a\u65E5", dst, 5), 4u);
    EXPECT_STREQ(reinterpret_cast<const char*>(dst), "a\xE6\x97\xA5");

    // A pair never goes in half into UTF-16 either.
    uint16_t u16[3] = {9, 9, 9};
    EXPECT_EQ(CTextUtil::WChartoUTF16(L"\U0001F600", u16, 2), 0u);
    EXPECT_EQ(u16[0], 0);
    EXPECT_EQ(u16[1], 0);
    EXPECT_EQ(CTextUtil::WChartoUTF16(L"\U0001F600", u16, 3), 2u);
    EXPECT_EQ(u16[0], 0xD83D);
    EXPECT_EQ(u16[1], 0xDE00);
}

TEST(CTextUtil, ConversionsAreLenient)
{
    wchar_t w[8];

    // An ill-formed UTF-8 sequence ends the text; what came before stays.
    static const uint8_t stray[] = {'a', 'b', 0x80, 'c', 'd'};
    EXPECT_EQ(CTextUtil::UTF8toWChar(stray, 5, w, 8), 2u);
    EXPECT_EQ(std::wstring(w), L"ab");
    EXPECT_EQ(CTextUtil::ChartoWChar("x\xC3\xA9y\xED\xA0\x80z", w, 8), 3u);
    EXPECT_EQ(std::wstring(w), L"x\u00E9y");

    // Unpaired surrogates become U+FFFD, also a high one ending the text.
    static const uint16_t u16[] = {'a', 0xDC00, 'b', 0xD800};
    EXPECT_EQ(CTextUtil::UTF16toWChar(u16, 4, w, 8), 4u);
    EXPECT_EQ(std::wstring(w), L"a\uFFFDb\uFFFD");
    EXPECT_EQ(CTextUtil::UTF16toWChar(u16, 4, w, 4), 3u) << "no room left for the replacement";

    const wchar_t bad[] = {'a', 0xD800, 0x110000, 0};
    uint8_t u8[16];
    EXPECT_EQ(CTextUtil::WChartoUTF8(bad, u8, 16), 7u);
    EXPECT_STREQ(reinterpret_cast<const char*>(u8), "a\xEF\xBF\xBD\xEF\xBF\xBD");
    uint16_t u16out[8];
    EXPECT_EQ(CTextUtil::WChartoUTF16(bad, u16out, 8), 3u);
    EXPECT_EQ(u16out[1], 0xFFFD);
    EXPECT_EQ(u16out[2], 0xFFFD);
}

TEST(CTextUtil, CopyTextFillsFixedFields)
{
    struct Case
    {
        const char* what;
        std::string src;
        uint32_t srcLen;
        uint32_t size;
        bool trim;
        bool terminate;
        int fill;
        std::string expected; // all size bytes
        uint32_t result;
    };
    const Case cases[] = {
        {"trimmed and terminated", "Title   ", 8, 10, true, true, 0, std::string("Title\0\0\0\0\0", 10), 5},
        {"cut to size - 1", "abcdef", 6, 4, false, true, 0, std::string("abc\0", 4), 3},
        {"whole field unterminated", "abcdef", 6, 4, false, false, 0, "abcd", 4},
        {"space-padded field", "ab", 2, 5, false, false, ' ', "ab   ", 5},
        {"terminator inside the source", std::string("ab\0cd", 5), 5, 6, false, false, ' ',
         std::string("ab\0\0\0 ", 6), 2},
        {"trim passes zeros from an early terminator", std::string("ab \0\0", 5), 5, 6, true, false, 0,
         std::string("ab\0\0\0\0", 6), 2},
        {"terminated with a nonzero fill", "ab", 2, 5, false, true, ' ', std::string("ab  \0", 5), 4},
        {"all spaces trimmed", "   ", 3, 4, true, true, 0, std::string("\0\0\0\0", 4), 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<char> dst(c.size + 2, '#');
        EXPECT_EQ(
            CTextUtil::CopyText(dst.data(), c.size, c.src.data(), c.srcLen, c.trim, c.terminate, c.fill),
            c.result);
        EXPECT_EQ(std::string(dst.data(), c.size), c.expected);
        EXPECT_EQ(dst[c.size], '#');
    }
}

TEST(CTextUtil, ChunkIdsAndAsciiChecks)
{
    char id[5] = "xxxx";
    CTextUtil::SetID(id, "RIFF");
    EXPECT_STREQ(id, "RIFF");
    EXPECT_TRUE(CTextUtil::CompID("WAVEfmt ", "WAVE"));
    EXPECT_FALSE(CTextUtil::CompID("WAVE", "WAVf"));
    EXPECT_STREQ(CTextUtil::m_sBlankText, "");

    EXPECT_FALSE(CTextUtil::IsNonAsciiIncluded(""));
    EXPECT_FALSE(CTextUtil::IsNonAsciiIncluded(" ~Az"));
    EXPECT_TRUE(CTextUtil::IsNonAsciiIncluded("a\tb"));
    EXPECT_TRUE(CTextUtil::IsNonAsciiIncluded("caf\xC3\xA9"));
    EXPECT_TRUE(CTextUtil::IsNonAsciiIncluded("\x7F"));
    EXPECT_FALSE(CTextUtil::IsNonAsciiIncluded(L""));
    EXPECT_FALSE(CTextUtil::IsNonAsciiIncluded(L"plain text"));
    EXPECT_TRUE(CTextUtil::IsNonAsciiIncluded(L"caf\u00E9"));
    EXPECT_TRUE(CTextUtil::IsNonAsciiIncluded(L"\n"));
}

TEST(CTextUtil, Latin1ConversionsReplaceControlsWithUnderscore)
{
    wchar_t w[8];
    EXPECT_EQ(CTextUtil::Latin1toWChar("a\x85\xE9\x1F\xA0", w, 8), 5);
    EXPECT_EQ(std::wstring(w), L"a_\u00E9_\u00A0");
    EXPECT_EQ(CTextUtil::Latin1toWChar("abcdef", w, 4), 3);
    EXPECT_EQ(std::wstring(w), L"abc");

    char c[8];
    EXPECT_EQ(CTextUtil::WChartoLatin1(L"a\u00E9\u0100\u65E5\x9F", c, 8), 5);
    EXPECT_STREQ(c, "a\xE9___");
    EXPECT_EQ(CTextUtil::WChartoLatin1(L"abcdef", c, 3), 2);
    EXPECT_STREQ(c, "ab");
}

TEST(CTextUtil, ToLowerKeepsUtf8Intact)
{
    char c[16];
    EXPECT_EQ(CTextUtil::ToLower("WAV \xC3\x89t\xC3\xA9", c), 9u);
    EXPECT_STREQ(c, "wav \xC3\x89t\xC3\xA9");
    char inPlace[] = "AiFc";
    CTextUtil::ToLower(inPlace, inPlace);
    EXPECT_STREQ(inPlace, "aifc");

    wchar_t w[8];
    EXPECT_EQ(CTextUtil::ToLower(L"MP3 Aac", w), 7u);
    EXPECT_EQ(std::wstring(w), L"mp3 aac");
}

TEST(CTextUtil, UTF16ReverseEndianSwapsInPlace)
{
    uint16_t units[] = {0x0041, 0xFEFF, 0x3042};
    CTextUtil::UTF16ReverseEndian(units, units, 3);
    EXPECT_EQ(units[0], 0x4100);
    EXPECT_EQ(units[1], 0xFFFE);
    EXPECT_EQ(units[2], 0x4230);
}

TEST(CTextUtil, WideLetterToNormal)
{
    struct Case
    {
        const wchar_t* src;
        bool keep;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\uFF21\uFF22\uFF23\uFF11\uFF12\uFF13", false, L"ABC123"},
        {L"\uFF21\uFF22\uFF23\uFF11\uFF12\uFF13\u3042", false, L"\uFF21\uFF22\uFF23\uFF11\uFF12\uFF13\u3042"},
        {L"\uFF1F\uFF0F\uFF3C\uFF21", true, L"\uFF1F\uFF0F\\A"},
        {L"\uFF1F\uFF0F\uFF3C\uFF21", false, L"?/\\A"},
        {L"one\u3000two", false, L"one two"},
        {L"one\u3000two", true, L"one two"},
        {L"a\u301Cb\u2019c\uFF5E", false, L"a~b'c~"},
        {L"\uFF02\uFF03\uFF0A\uFF0C\uFF1A\uFF1B\uFF1C\uFF1E\uFF20\uFF3E\uFF5C\uFF01", true,
         L"\uFF02\uFF03\uFF0A\uFF0C\uFF1A\uFF1B\uFF1C\uFF1E\uFF20\uFF3E\uFF5C!"},
        {L"tab\there\uFF21", false, L"tab\there\uFF21"},
        {L"", true, L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.src)));
        wchar_t dst[32];
        std::wmemset(dst, L'#', 32);
        EXPECT_EQ(CTextUtil::WideLetterToNormal(c.src, dst, c.keep), std::wcslen(c.expected));
        EXPECT_EQ(std::wstring(dst), c.expected);
    }
    wchar_t inPlace[] = L"\uFF36\uFF38 1";
    CTextUtil::WideLetterToNormal(inPlace, inPlace, false);
    EXPECT_EQ(std::wstring(inPlace), L"VX 1");
}
