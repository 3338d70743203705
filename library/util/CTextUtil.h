#pragma once

#include <cstdint>

// Text helpers used by every layer. `char` text is UTF-8 and `wchar_t` text is
// UTF-32, one unit per character.
//
// The conversions into fixed buffers zero-fill the whole destination, keep its
// last unit for the terminator and convert leniently: unpaired surrogates and
// values above U+10FFFF become U+FFFD, and an ill-formed UTF-8 sequence ends
// the conversion, leaving the terminated text converted before it. A UTF-8
// destination never ends in a partial multi-byte sequence. A destination size
// of 0 writes nothing and gives 0.
class CTextUtil
{
public:
    // An empty text, used as the blank format id.
    static const char* const m_sBlankText;

    // Fills a fixed-width text field: all size bytes of dst become fill, then
    // min(srcLen, size - 1) bytes of src (min(srcLen, size) without terminate)
    // are copied, stopping at a terminator in src and zeroing the rest of that
    // length. trim turns trailing spaces of the copied part into zeros;
    // terminate also makes the last byte of dst a zero. Returns the length of
    // the text in dst up to its first zero byte, at most size.
    static uint32_t CopyText(char* dst, uint32_t size, const char* src, uint32_t srcLen, bool trim,
                             bool terminate, int fill);

    // Copies a 4-character chunk identifier (no terminator).
    static void SetID(char* dst, const char* src);
    // True when the first 4 bytes are equal.
    static bool CompID(const char* a, const char* b);

    // True when some unit lies outside 0x20..0x7E; false for an empty text.
    static bool IsNonAsciiIncluded(const char* text);
    static bool IsNonAsciiIncluded(const wchar_t* text);

    // Latin-1 to wide and back: units in 0x20..0x7E and 0xA0..0xFF are kept,
    // all others become "_". At most dstLen - 1 units are converted, dst is
    // terminated. Returns the length.
    static int Latin1toWChar(const char* src, wchar_t* dst, uint32_t dstLen);
    static int WChartoLatin1(const wchar_t* src, char* dst, uint32_t dstLen);

    // Copies src lower-cased unit by unit (dst may be src); returns the length.
    // In `char` text only ASCII letters change, so UTF-8 sequences stay intact.
    static uint32_t ToLower(const char* src, char* dst);
    static uint32_t ToLower(const wchar_t* src, wchar_t* dst);

    // Swaps the bytes of n UTF-16 units; src and dst may be the same.
    static void UTF16ReverseEndian(const uint16_t* src, uint16_t* dst, uint32_t n);

    // Conversions into fixed buffers (see above). Each returns the number of
    // units written before the terminator. Wide and `char` sources are read to
    // their terminator; the others take an explicit length.
    static uint32_t UTF16toWChar(const uint16_t* src, uint32_t nUnits, wchar_t* dst, uint32_t dstLen);
    static uint32_t WChartoUTF16(const wchar_t* src, uint16_t* dst, uint32_t dstLen);
    static uint32_t WChartoUTF8(const wchar_t* src, uint8_t* dst, uint32_t dstSize);
    static uint32_t WChartoChar(const wchar_t* src, char* dst, uint32_t dstSize);
    static uint32_t UTF8toWChar(const uint8_t* src, uint32_t nBytes, wchar_t* dst, uint32_t dstLen);
    static uint32_t ChartoWChar(const char* src, wchar_t* dst, uint32_t dstLen);

    // Turns full-width Latin letters, digits and signs (and the ideographic
    // space, wave dash and right single quotation mark) into their ASCII
    // forms, but only when the whole text consists of such characters and
    // printable ASCII; otherwise dst is an exact copy. With keepFileNameLetters
    // the full-width forms of the letters not allowed in file names (except
    // the reverse solidus) stay full-width. dst must hold as many characters
    // as src and may be src. Returns the length.
    static uint32_t WideLetterToNormal(const wchar_t* src, wchar_t* dst, bool keepFileNameLetters);
};
