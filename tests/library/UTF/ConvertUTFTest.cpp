#include "library/UTF/ConvertUTF.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<UTF8> Bytes(const std::string& s)
{
    return std::vector<UTF8>(s.begin(), s.end());
}

struct Outcome
{
    ConversionResult result;
    std::vector<UTF32> out;
    size_t consumed;
};

Outcome Utf8To32(const std::vector<UTF8>& in, ConversionFlags flags, size_t room = 64)
{
    std::vector<UTF32> out(room);
    const UTF8* s = in.data();
    UTF32* t = out.data();
    const ConversionResult r = ConvertUTF8toUTF32(&s, in.data() + in.size(), &t, out.data() + room, flags);
    out.resize(static_cast<size_t>(t - out.data()));
    return {r, out, static_cast<size_t>(s - in.data())};
}

Outcome Utf8To16(const std::vector<UTF8>& in, ConversionFlags flags, size_t room = 64)
{
    std::vector<UTF16> out(room);
    const UTF8* s = in.data();
    UTF16* t = out.data();
    const ConversionResult r = ConvertUTF8toUTF16(&s, in.data() + in.size(), &t, out.data() + room, flags);
    return {r, std::vector<UTF32>(out.data(), t), static_cast<size_t>(s - in.data())};
}

Outcome Utf16To32(const std::vector<UTF16>& in, ConversionFlags flags, size_t room = 64)
{
    std::vector<UTF32> out(room);
    const UTF16* s = in.data();
    UTF32* t = out.data();
    const ConversionResult r = ConvertUTF16toUTF32(&s, in.data() + in.size(), &t, out.data() + room, flags);
    out.resize(static_cast<size_t>(t - out.data()));
    return {r, out, static_cast<size_t>(s - in.data())};
}

Outcome Utf32To16(const std::vector<UTF32>& in, ConversionFlags flags, size_t room = 64)
{
    std::vector<UTF16> out(room);
    const UTF32* s = in.data();
    UTF16* t = out.data();
    const ConversionResult r = ConvertUTF32toUTF16(&s, in.data() + in.size(), &t, out.data() + room, flags);
    return {r, std::vector<UTF32>(out.data(), t), static_cast<size_t>(s - in.data())};
}

Outcome Utf32To8(const std::vector<UTF32>& in, ConversionFlags flags, size_t room = 64)
{
    std::vector<UTF8> out(room);
    const UTF32* s = in.data();
    UTF8* t = out.data();
    const ConversionResult r = ConvertUTF32toUTF8(&s, in.data() + in.size(), &t, out.data() + room, flags);
    return {r, std::vector<UTF32>(out.data(), t), static_cast<size_t>(s - in.data())};
}
} // namespace

TEST(ConvertUTF, IllFormedUtf8StopsAtTheSequenceInEitherMode)
{
    struct Case
    {
        const char* what;
        std::string in;
        ConversionResult result;
        std::vector<UTF32> before;
        size_t consumed;
    };
    const Case cases[] = {
        {"stray continuation",
         "a\x80"
         "b",
         sourceIllegal,
         {'a'},
         1},
        {"continuation after a complete character", "\xC3\xA9\xA9", sourceIllegal, {0xE9}, 2},
        {"overlong 2-byte C0", "a\xC0\xAF", sourceIllegal, {'a'}, 1},
        {"overlong 2-byte C1", "a\xC1\xBF", sourceIllegal, {'a'}, 1},
        {"overlong 3-byte", "a\xE0\x80\xAF", sourceIllegal, {'a'}, 1},
        {"overlong 4-byte", "a\xF0\x80\x80\xAF", sourceIllegal, {'a'}, 1},
        {"encoded high surrogate", "a\xED\xA0\x80", sourceIllegal, {'a'}, 1},
        {"encoded low surrogate",
         "a\xED\xBF\xBF"
         "b",
         sourceIllegal,
         {'a'},
         1},
        {"above U+10FFFF via F4", "a\xF4\x90\x80\x80", sourceIllegal, {'a'}, 1},
        {"above U+10FFFF via F5", "a\xF5\x80\x80\x80", sourceIllegal, {'a'}, 1},
        {"byte FE", "a\xFE", sourceIllegal, {'a'}, 1},
        {"byte FF",
         "a\xFF"
         "b",
         sourceIllegal,
         {'a'},
         1},
        {"missing continuation mid-text",
         "a\xE3\x81"
         "b",
         sourceIllegal,
         {'a'},
         1},
        {"truncated 2-byte at end", "a\xC3", sourceExhausted, {'a'}, 1},
        {"truncated 3-byte at end", "a\xE3\x81", sourceExhausted, {'a'}, 1},
        {"truncated 4-byte at end", "a\xF0\x9F\x98", sourceExhausted, {'a'}, 1},
        {"truncated but already overlong", "a\xE0\x80", sourceIllegal, {'a'}, 1},
        {"limits are well-formed",
         "\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
         conversionOK,
         {0x80, 0xFFFF, 0x10FFFF},
         9},
    };
    for (const Case& c : cases)
    {
        for (ConversionFlags flags : {strictConversion, lenientConversion})
        {
            SCOPED_TRACE(std::string(c.what) + (flags == strictConversion ? " strict" : " lenient"));
            const Outcome o32 = Utf8To32(Bytes(c.in), flags);
            EXPECT_EQ(o32.result, c.result);
            EXPECT_EQ(o32.out, c.before);
            EXPECT_EQ(o32.consumed, c.consumed);

            const Outcome o16 = Utf8To16(Bytes(c.in), flags);
            EXPECT_EQ(o16.result, c.result);
            EXPECT_EQ(o16.consumed, c.consumed);
            if (c.result != conversionOK)
            {
                EXPECT_EQ(o16.out, c.before);
            }
        }
    }
}

TEST(ConvertUTF, Utf16SurrogatesStrictStopsLenientReplaces)
{
    struct Case
    {
        const char* what;
        std::vector<UTF16> in;
        ConversionFlags flags;
        ConversionResult result;
        std::vector<UTF32> out;
        size_t consumed;
    };
    const Case cases[] = {
        {"unpaired high", {'A', 0xD800, 'B'}, lenientConversion, conversionOK, {'A', 0xFFFD, 'B'}, 3},
        {"unpaired high", {'A', 0xD800, 'B'}, strictConversion, sourceIllegal, {'A'}, 1},
        {"high before a pair",
         {0xD800, 0xD83D, 0xDE00},
         lenientConversion,
         conversionOK,
         {0xFFFD, 0x1F600},
         3},
        {"unpaired low", {'A', 0xDC00, 'B'}, lenientConversion, conversionOK, {'A', 0xFFFD, 'B'}, 3},
        {"unpaired low", {'A', 0xDC00, 'B'}, strictConversion, sourceIllegal, {'A'}, 1},
        {"high at end", {'A', 0xD83D}, lenientConversion, sourceExhausted, {'A'}, 1},
        {"high at end", {'A', 0xD83D}, strictConversion, sourceExhausted, {'A'}, 1},
        {"valid pair", {0xD83D, 0xDE00, 'x'}, lenientConversion, conversionOK, {0x1F600, 'x'}, 3},
        {"valid pair", {0xDBFF, 0xDFFF}, strictConversion, conversionOK, {0x10FFFF}, 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.what) + (c.flags == strictConversion ? " strict" : " lenient"));
        const Outcome o = Utf16To32(c.in, c.flags);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.consumed, c.consumed);
    }
}

TEST(ConvertUTF, Utf32SurrogatesAndOutOfRangeValues)
{
    const std::vector<UTF32> surrogate = {'A', 0xD800, 'B'};
    const std::vector<UTF32> tooLarge = {'A', 0x110000, 'B'};
    const std::vector<UTF32> negative = {'A', 0xFFFFFFFFu, 'B'};
    const std::vector<UTF32> fffdIn16 = {'A', 0xFFFD, 'B'};
    const std::vector<UTF32> fffdIn8 = {'A', 0xEF, 0xBF, 0xBD, 'B'};

    for (const auto* in : {&surrogate, &tooLarge, &negative})
    {
        SCOPED_TRACE(testing::PrintToString((*in)[1]));
        Outcome o = Utf32To16(*in, strictConversion);
        EXPECT_EQ(o.result, sourceIllegal);
        EXPECT_EQ(o.out, std::vector<UTF32>{'A'});
        EXPECT_EQ(o.consumed, 1u);

        o = Utf32To16(*in, lenientConversion);
        EXPECT_EQ(o.result, conversionOK);
        EXPECT_EQ(o.out, fffdIn16);
        EXPECT_EQ(o.consumed, 3u);
    }

    // Into UTF-8 a surrogate stops a strict conversion and becomes U+FFFD in a
    // lenient one.
    Outcome o = Utf32To8(surrogate, strictConversion);
    EXPECT_EQ(o.result, sourceIllegal);
    EXPECT_EQ(o.out, std::vector<UTF32>{'A'});
    EXPECT_EQ(o.consumed, 1u);
    o = Utf32To8(surrogate, lenientConversion);
    EXPECT_EQ(o.result, conversionOK);
    EXPECT_EQ(o.out, fffdIn8);

    // Values above U+10FFFF are replaced in both modes, and reported.
    for (const auto* in : {&tooLarge, &negative})
    {
        for (ConversionFlags flags : {strictConversion, lenientConversion})
        {
            o = Utf32To8(*in, flags);
            EXPECT_EQ(o.result, sourceIllegal);
            EXPECT_EQ(o.out, fffdIn8);
            EXPECT_EQ(o.consumed, 3u);
        }
    }
}

TEST(ConvertUTF, MixedTextRoundTripsThroughEveryForm)
{
    // 1-, 2-, 3- and 4-byte characters, the last code point and a NUL.
    const std::vector<UTF32> text = {'A', 0xE9,  0x65E5, 0x1F600, 'z',    0x10FFFF,
                                     0,   0x7FF, 0x800,  0xFFFF,  0x10000};
    const std::vector<UTF8> utf8 =
        Bytes("A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80z\xF4\x8F\xBF\xBF" + std::string(1, '\0') +
              "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80");
    const std::vector<UTF16> utf16 = {'A',    0xE9, 0x65E5, 0xD83D, 0xDE00, 'z',    0xDBFF,
                                      0xDFFF, 0,    0x7FF,  0x800,  0xFFFF, 0xD800, 0xDC00};

    Outcome o = Utf32To8(text, strictConversion);
    ASSERT_EQ(o.result, conversionOK);
    EXPECT_EQ(o.out, std::vector<UTF32>(utf8.begin(), utf8.end()));

    o = Utf8To32(utf8, strictConversion);
    ASSERT_EQ(o.result, conversionOK);
    EXPECT_EQ(o.out, text);

    o = Utf32To16(text, strictConversion);
    ASSERT_EQ(o.result, conversionOK);
    EXPECT_EQ(o.out, std::vector<UTF32>(utf16.begin(), utf16.end()));

    o = Utf16To32(utf16, strictConversion);
    ASSERT_EQ(o.result, conversionOK);
    EXPECT_EQ(o.out, text);

    o = Utf8To16(utf8, strictConversion);
    ASSERT_EQ(o.result, conversionOK);
    EXPECT_EQ(o.out, std::vector<UTF32>(utf16.begin(), utf16.end()));

    // The wide forms behave the same.
    std::wstring wide(text.begin(), text.end());
    std::vector<UTF8> bytes(64);
    const wchar_t* ws = wide.data();
    UTF8* bt = bytes.data();
    ASSERT_EQ(ConvertUTF32toUTF8(&ws, wide.data() + wide.size(), &bt, bytes.data() + bytes.size(),
                                 strictConversion),
              conversionOK);
    bytes.resize(static_cast<size_t>(bt - bytes.data()));
    EXPECT_EQ(bytes, utf8);

    std::wstring back(32, L'\0');
    const UTF8* bs = utf8.data();
    wchar_t* wt = &back[0];
    ASSERT_EQ(
        ConvertUTF8toUTF32(&bs, utf8.data() + utf8.size(), &wt, &back[0] + back.size(), strictConversion),
        conversionOK);
    back.resize(static_cast<size_t>(wt - back.data()));
    EXPECT_EQ(back, wide);
}

TEST(ConvertUTF, TargetExhaustedLeavesSourceOnTheCharacterThatDidNotFit)
{
    // UTF-32 -> UTF-8: "A" fits, the 3-byte character does not fit in 2 bytes.
    Outcome o = Utf32To8({'A', 0x65E5, 'B'}, lenientConversion, 3);
    EXPECT_EQ(o.result, targetExhausted);
    EXPECT_EQ(o.out, std::vector<UTF32>{'A'});
    EXPECT_EQ(o.consumed, 1u);

    // UTF-32 -> UTF-16: a pair never goes in half.
    o = Utf32To16({'A', 0x1F600}, lenientConversion, 2);
    EXPECT_EQ(o.result, targetExhausted);
    EXPECT_EQ(o.out, std::vector<UTF32>{'A'});
    EXPECT_EQ(o.consumed, 1u);

    // UTF-8 -> UTF-16: the same, counted in source bytes.
    o = Utf8To16(Bytes("A\xF0\x9F\x98\x80"), lenientConversion, 2);
    EXPECT_EQ(o.result, targetExhausted);
    EXPECT_EQ(o.out, std::vector<UTF32>{'A'});
    EXPECT_EQ(o.consumed, 1u);

    // UTF-8 -> UTF-32: stops before the second character's first byte.
    o = Utf8To32(Bytes("\xC3\xA9\xC3\xA9"), lenientConversion, 1);
    EXPECT_EQ(o.result, targetExhausted);
    EXPECT_EQ(o.out, std::vector<UTF32>{0xE9});
    EXPECT_EQ(o.consumed, 2u);

    // UTF-16 -> UTF-32: stops before a whole pair.
    o = Utf16To32({'A', 0xD83D, 0xDE00}, lenientConversion, 1);
    EXPECT_EQ(o.result, targetExhausted);
    EXPECT_EQ(o.out, std::vector<UTF32>{'A'});
    EXPECT_EQ(o.consumed, 1u);

    // A replacement needs room like any other character.
    o = Utf32To8({'A', 0xD800}, lenientConversion, 3);
    EXPECT_EQ(o.result, targetExhausted);
    EXPECT_EQ(o.consumed, 1u);
}
