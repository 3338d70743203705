#include "library/UTF/ConvertUTF.h"

static_assert(sizeof(wchar_t) == sizeof(UTF32), "wide text must hold one UTF-32 unit per character");

namespace
{
constexpr UTF32 kReplacement = 0xFFFD;
constexpr UTF32 kMaxCodePoint = 0x10FFFF;

bool IsHighSurrogate(UTF32 c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(UTF32 c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsSurrogate(UTF32 c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

int UTF8Length(UTF32 c)
{
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (c < 0x10000)
        return 3;
    return 4;
}

// Writes c (at most U+10FFFF) as n = UTF8Length(c) bytes.
void EncodeUTF8(UTF32 c, int n, UTF8* out)
{
    static const UTF8 kLeadMark[5] = {0x00, 0x00, 0xC0, 0xE0, 0xF0};
    for (int i = n - 1; i > 0; --i)
    {
        out[i] = static_cast<UTF8>(0x80 | (c & 0x3F));
        c >>= 6;
    }
    out[0] = static_cast<UTF8>(n == 1 ? c : (kLeadMark[n] | c));
}

enum class Decoded
{
    ok,
    truncated,
    illegal
};

// Decodes the well-formed UTF-8 character that begins at p (p < end). On ok it
// sets the code point and the number of bytes used. A sequence whose bytes are
// correct so far but which runs past end is truncated; anything that cannot
// begin a well-formed sequence is illegal.
Decoded DecodeUTF8(const UTF8* p, const UTF8* end, UTF32& codePoint, int& length)
{
    const UTF8 lead = p[0];
    if (lead < 0x80)
    {
        codePoint = lead;
        length = 1;
        return Decoded::ok;
    }

    // The range allowed for the second byte excludes overlong forms, encoded
    // surrogates and values above U+10FFFF.
    UTF8 secondMin = 0x80;
    UTF8 secondMax = 0xBF;
    int n = 0;
    UTF32 c = 0;
    if (lead < 0xC2)
        return Decoded::illegal; // a continuation byte, or an overlong 2-byte lead
    if (lead < 0xE0)
    {
        n = 2;
        c = lead & 0x1F;
    }
    else if (lead < 0xF0)
    {
        n = 3;
        c = lead & 0x0F;
        if (lead == 0xE0)
            secondMin = 0xA0;
        else if (lead == 0xED)
            secondMax = 0x9F;
    }
    else if (lead < 0xF5)
    {
        n = 4;
        c = lead & 0x07;
        if (lead == 0xF0)
            secondMin = 0x90;
        else if (lead == 0xF4)
            secondMax = 0x8F;
    }
    else
        return Decoded::illegal;

    for (int i = 1; i < n; ++i)
    {
        if (end - p <= i)
            return Decoded::truncated;
        const UTF8 b = p[i];
        const UTF8 lo = i == 1 ? secondMin : UTF8(0x80);
        const UTF8 hi = i == 1 ? secondMax : UTF8(0xBF);
        if (b < lo || b > hi)
            return Decoded::illegal;
        c = (c << 6) | (b & 0x3F);
    }
    codePoint = c;
    length = n;
    return Decoded::ok;
}

template <typename Unit32>
ConversionResult FromUTF32ToUTF16(const Unit32** sourceStart, const Unit32* sourceEnd, UTF16** targetStart,
                                  UTF16* targetEnd, ConversionFlags flags)
{
    ConversionResult result = conversionOK;
    const Unit32* s = *sourceStart;
    UTF16* t = *targetStart;
    while (s < sourceEnd)
    {
        UTF32 c = static_cast<UTF32>(*s);
        if (c > kMaxCodePoint || IsSurrogate(c))
        {
            if (flags == strictConversion)
            {
                result = sourceIllegal;
                break;
            }
            c = kReplacement;
        }
        const int n = c > 0xFFFF ? 2 : 1;
        if (targetEnd - t < n)
        {
            result = targetExhausted;
            break;
        }
        if (n == 1)
            *t++ = static_cast<UTF16>(c);
        else
        {
            c -= 0x10000;
            *t++ = static_cast<UTF16>(0xD800 + (c >> 10));
            *t++ = static_cast<UTF16>(0xDC00 + (c & 0x3FF));
        }
        ++s;
    }
    *sourceStart = s;
    *targetStart = t;
    return result;
}

template <typename Unit32>
ConversionResult FromUTF16ToUTF32(const UTF16** sourceStart, const UTF16* sourceEnd, Unit32** targetStart,
                                  Unit32* targetEnd, ConversionFlags flags)
{
    ConversionResult result = conversionOK;
    const UTF16* s = *sourceStart;
    Unit32* t = *targetStart;
    while (s < sourceEnd)
    {
        const UTF16* next = s;
        UTF32 c = *next++;
        if (IsHighSurrogate(c))
        {
            if (next == sourceEnd)
            {
                // The low half may still follow in the caller's next block.
                result = sourceExhausted;
                break;
            }
            if (IsLowSurrogate(*next))
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (*next - 0xDC00u);
                ++next;
            }
            else if (flags == strictConversion)
            {
                result = sourceIllegal;
                break;
            }
            else
                c = kReplacement; // the unit after it is converted on its own
        }
        else if (IsLowSurrogate(c))
        {
            if (flags == strictConversion)
            {
                result = sourceIllegal;
                break;
            }
            c = kReplacement;
        }
        if (t == targetEnd)
        {
            result = targetExhausted;
            break;
        }
        *t++ = static_cast<Unit32>(c);
        s = next;
    }
    *sourceStart = s;
    *targetStart = t;
    return result;
}

template <typename Unit32>
ConversionResult FromUTF32ToUTF8(const Unit32** sourceStart, const Unit32* sourceEnd, UTF8** targetStart,
                                 UTF8* targetEnd, ConversionFlags flags)
{
    ConversionResult result = conversionOK;
    const Unit32* s = *sourceStart;
    UTF8* t = *targetStart;
    while (s < sourceEnd)
    {
        UTF32 c = static_cast<UTF32>(*s);
        if (c > kMaxCodePoint)
        {
            // Replaced in both modes; the result still tells the caller.
            c = kReplacement;
            result = sourceIllegal;
        }
        else if (IsSurrogate(c))
        {
            if (flags == strictConversion)
            {
                result = sourceIllegal;
                break;
            }
            c = kReplacement;
        }
        const int n = UTF8Length(c);
        if (targetEnd - t < n)
        {
            result = targetExhausted;
            break;
        }
        EncodeUTF8(c, n, t);
        t += n;
        ++s;
    }
    *sourceStart = s;
    *targetStart = t;
    return result;
}

template <typename Unit32>
ConversionResult FromUTF8ToUTF32(const UTF8** sourceStart, const UTF8* sourceEnd, Unit32** targetStart,
                                 Unit32* targetEnd)
{
    ConversionResult result = conversionOK;
    const UTF8* s = *sourceStart;
    Unit32* t = *targetStart;
    while (s < sourceEnd)
    {
        UTF32 c = 0;
        int n = 0;
        const Decoded d = DecodeUTF8(s, sourceEnd, c, n);
        if (d != Decoded::ok)
        {
            result = d == Decoded::truncated ? sourceExhausted : sourceIllegal;
            break;
        }
        if (t == targetEnd)
        {
            result = targetExhausted;
            break;
        }
        *t++ = static_cast<Unit32>(c);
        s += n;
    }
    *sourceStart = s;
    *targetStart = t;
    return result;
}

ConversionResult FromUTF8ToUTF16(const UTF8** sourceStart, const UTF8* sourceEnd, UTF16** targetStart,
                                 UTF16* targetEnd)
{
    ConversionResult result = conversionOK;
    const UTF8* s = *sourceStart;
    UTF16* t = *targetStart;
    while (s < sourceEnd)
    {
        UTF32 c = 0;
        int n = 0;
        const Decoded d = DecodeUTF8(s, sourceEnd, c, n);
        if (d != Decoded::ok)
        {
            result = d == Decoded::truncated ? sourceExhausted : sourceIllegal;
            break;
        }
        const int units = c > 0xFFFF ? 2 : 1;
        if (targetEnd - t < units)
        {
            result = targetExhausted;
            break;
        }
        if (units == 1)
            *t++ = static_cast<UTF16>(c);
        else
        {
            c -= 0x10000;
            *t++ = static_cast<UTF16>(0xD800 + (c >> 10));
            *t++ = static_cast<UTF16>(0xDC00 + (c & 0x3FF));
        }
        s += n;
    }
    *sourceStart = s;
    *targetStart = t;
    return result;
}
} // namespace

ConversionResult ConvertUTF32toUTF16(const UTF32** sourceStart, const UTF32* sourceEnd, UTF16** targetStart,
                                     UTF16* targetEnd, ConversionFlags flags)
{
    return FromUTF32ToUTF16(sourceStart, sourceEnd, targetStart, targetEnd, flags);
}

ConversionResult ConvertUTF16toUTF32(const UTF16** sourceStart, const UTF16* sourceEnd, UTF32** targetStart,
                                     UTF32* targetEnd, ConversionFlags flags)
{
    return FromUTF16ToUTF32(sourceStart, sourceEnd, targetStart, targetEnd, flags);
}

ConversionResult ConvertUTF32toUTF8(const UTF32** sourceStart, const UTF32* sourceEnd, UTF8** targetStart,
                                    UTF8* targetEnd, ConversionFlags flags)
{
    return FromUTF32ToUTF8(sourceStart, sourceEnd, targetStart, targetEnd, flags);
}

ConversionResult ConvertUTF8toUTF32(const UTF8** sourceStart, const UTF8* sourceEnd, UTF32** targetStart,
                                    UTF32* targetEnd, ConversionFlags)
{
    return FromUTF8ToUTF32(sourceStart, sourceEnd, targetStart, targetEnd);
}

ConversionResult ConvertUTF8toUTF16(const UTF8** sourceStart, const UTF8* sourceEnd, UTF16** targetStart,
                                    UTF16* targetEnd, ConversionFlags)
{
    return FromUTF8ToUTF16(sourceStart, sourceEnd, targetStart, targetEnd);
}

ConversionResult ConvertUTF32toUTF16(const wchar_t** sourceStart, const wchar_t* sourceEnd,
                                     UTF16** targetStart, UTF16* targetEnd, ConversionFlags flags)
{
    return FromUTF32ToUTF16(sourceStart, sourceEnd, targetStart, targetEnd, flags);
}

ConversionResult ConvertUTF16toUTF32(const UTF16** sourceStart, const UTF16* sourceEnd, wchar_t** targetStart,
                                     wchar_t* targetEnd, ConversionFlags flags)
{
    return FromUTF16ToUTF32(sourceStart, sourceEnd, targetStart, targetEnd, flags);
}

ConversionResult ConvertUTF32toUTF8(const wchar_t** sourceStart, const wchar_t* sourceEnd, UTF8** targetStart,
                                    UTF8* targetEnd, ConversionFlags flags)
{
    return FromUTF32ToUTF8(sourceStart, sourceEnd, targetStart, targetEnd, flags);
}

ConversionResult ConvertUTF8toUTF32(const UTF8** sourceStart, const UTF8* sourceEnd, wchar_t** targetStart,
                                    wchar_t* targetEnd, ConversionFlags)
{
    return FromUTF8ToUTF32(sourceStart, sourceEnd, targetStart, targetEnd);
}
