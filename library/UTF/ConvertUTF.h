#pragma once

#include <cstdint>

// Conversions between the three Unicode encoding forms.
//
// Every routine takes a pointer to the source pointer, the end of the source, a
// pointer to the target pointer, the end of the target and the flags. It
// advances both pointers past what it converted, so after an early stop the
// source pointer rests on the first character that was not converted.
//
// Results:
//   conversionOK     everything was converted;
//   sourceExhausted  the source ends inside a multi-unit sequence, which is
//                    left unconverted;
//   targetExhausted  the next character does not fit whole into the target;
//   sourceIllegal    the source holds something that cannot be converted.
//
// In lenient mode unpaired surrogates and values above U+10FFFF become U+FFFD
// in every direction. Strict mode stops on them, except that UTF-32 values
// above U+10FFFF written as UTF-8 always become U+FFFD with the result
// sourceIllegal. Ill-formed UTF-8 (stray continuation bytes, overlong forms,
// encoded surrogates, values above U+10FFFF, the bytes 0xC0, 0xC1 and
// 0xF5..0xFF) stops the conversion in both modes.

typedef uint32_t UTF32;
typedef uint16_t UTF16;
typedef uint8_t UTF8;

enum ConversionResult : int
{
    conversionOK = 0,
    sourceExhausted = 1,
    targetExhausted = 2,
    sourceIllegal = 3
};

enum ConversionFlags : int
{
    strictConversion = 0,
    lenientConversion = 1
};

ConversionResult ConvertUTF32toUTF16(const UTF32** sourceStart, const UTF32* sourceEnd, UTF16** targetStart,
                                     UTF16* targetEnd, ConversionFlags flags);
ConversionResult ConvertUTF16toUTF32(const UTF16** sourceStart, const UTF16* sourceEnd, UTF32** targetStart,
                                     UTF32* targetEnd, ConversionFlags flags);
ConversionResult ConvertUTF32toUTF8(const UTF32** sourceStart, const UTF32* sourceEnd, UTF8** targetStart,
                                    UTF8* targetEnd, ConversionFlags flags);
ConversionResult ConvertUTF8toUTF32(const UTF8** sourceStart, const UTF8* sourceEnd, UTF32** targetStart,
                                    UTF32* targetEnd, ConversionFlags flags);
ConversionResult ConvertUTF8toUTF16(const UTF8** sourceStart, const UTF8* sourceEnd, UTF16** targetStart,
                                    UTF16* targetEnd, ConversionFlags flags);

// The same conversions with wide text (UTF-32 in a 32-bit wchar_t) as the
// UTF-32 side.
ConversionResult ConvertUTF32toUTF16(const wchar_t** sourceStart, const wchar_t* sourceEnd,
                                     UTF16** targetStart, UTF16* targetEnd, ConversionFlags flags);
ConversionResult ConvertUTF16toUTF32(const UTF16** sourceStart, const UTF16* sourceEnd, wchar_t** targetStart,
                                     wchar_t* targetEnd, ConversionFlags flags);
ConversionResult ConvertUTF32toUTF8(const wchar_t** sourceStart, const wchar_t* sourceEnd, UTF8** targetStart,
                                    UTF8* targetEnd, ConversionFlags flags);
ConversionResult ConvertUTF8toUTF32(const UTF8** sourceStart, const UTF8* sourceEnd, wchar_t** targetStart,
                                    wchar_t* targetEnd, ConversionFlags flags);
