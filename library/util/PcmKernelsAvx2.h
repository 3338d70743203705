#pragma once

#include <cstddef>
#include <cstdint>

// The AVX2 forms of CPcmUtil's stream and integer/float conversions, for
// CPcmUtil alone. Each converts the leading frames it can in whole vectors,
// within the n frames given (it reads and writes nothing beyond them), and
// returns how many; the caller converts the rest with its SSE2 form. Widths
// are 16, 24 or 32 bits. Call them only where Available() is true; the
// float forms expect the caller's preferred control word.
namespace PcmKernelsAvx2
{
// True when the processor and the operating system support AVX2.
bool Available();

// The planar side holds left-justified integers or float samples (the
// integer times 2^-31, converted as IntToFloat and FloatToInt do).
size_t DecodeMono(unsigned bits, bool msb, const unsigned char* bytes, int32_t* dst, size_t n);
size_t DecodeMono(unsigned bits, bool msb, const unsigned char* bytes, float* dst, size_t n);
size_t DecodeStereo(unsigned bits, bool msb, const unsigned char* bytes, int32_t* dst0, int32_t* dst1,
                    size_t n);
size_t DecodeStereo(unsigned bits, bool msb, const unsigned char* bytes, float* dst0, float* dst1, size_t n);
size_t EncodeMono(unsigned bits, bool msb, const int32_t* src, unsigned char* bytes, size_t n);
size_t EncodeMono(unsigned bits, bool msb, const float* src, unsigned char* bytes, size_t n);
size_t EncodeStereo(unsigned bits, bool msb, const int32_t* src0, const int32_t* src1, unsigned char* bytes,
                    size_t n);
size_t EncodeStereo(unsigned bits, bool msb, const float* src0, const float* src1, unsigned char* bytes,
                    size_t n);

// Whether EncodeStereo of float samples to 16 or 24 bits runs its AVX-512
// form (where the processor has AVX-512 F and BW): sixteen frames at a time,
// then the AVX2 form for the rest, the same bytes either way.
bool UseAvx512();
// Whether the processor has AVX-512 F and BW.
bool HasAvx512Hardware();
// Keeps EncodeStereo to its AVX2 form while `disabled`, so that tests can
// compare both forms on a processor that has AVX-512.
void DisableAvx512ForTests(bool disabled);

// out = in x 2^-31.
size_t IntToFloat(const int32_t* in, float* out, size_t n);
// out = in x 2^31 truncated, limited to +-2147483647, NaN to -2147483647.
size_t FloatToInt(const float* in, int32_t* out, size_t n);
} // namespace PcmKernelsAvx2
