#pragma once

#include <cstdint>

// Conversions between interleaved PCM byte streams and planar sample buffers,
// and the sample operations the engine repeats on every block.
//
// Buffers are planar: an array of per-channel pointers, each pointing to one
// contiguous run of samples. A null pointer in a destination array skips that
// channel. Offsets count frames from the start of each channel's run.
//
// Integer samples are 32-bit signed and left-justified: a sample of b bits
// occupies the top b bits of the word. Float samples are the integer value
// times 2^-31, so full scale is -1.0 .. +1.0.
//
// Byte streams are interleaved frame after frame; a sample of b bits takes
// (b + 7) / 8 bytes. "Lsb" streams store the least significant byte first,
// "Msb" streams the most significant byte first. Widths above 32 bits are
// taken as 32.
//
// Every float operation runs with the processor control word set to
// CSystemUtil::GetPreferredMxcsr() (denormals flushed to zero, rounding toward
// zero) and restores the caller's word before returning, so results don't
// depend on the caller's control word.
//
// Unless said otherwise, a function returns the frame count it was given.
class CPcmUtil
{
public:
    // The forms the stream functions and the integer/float conversions come
    // in: sample by sample (Scalar), with SSE2, which every x86-64 processor
    // has, and with AVX2. Every form gives the same results to the bit; the
    // plain functions use AVX2 where the processor has it, else SSE2.
    enum class VectorForm
    {
        Scalar,
        SSE2,
        AVX2,
    };
    // True for Scalar and SSE2; for AVX2 when the processor supports it.
    static bool HasVectorForm(VectorForm form);
    // The form the plain functions use.
    static VectorForm GetPreferredVectorForm();

    // n interleaved frames to planar left-justified integers. The bits below
    // the sample width are zero after decoding; a width of 0 decodes to 0.
    // A null byte pointer decodes nothing and returns 0.
    static uint32_t DecodeStreamLsb1(const unsigned char* bytes, int32_t* const* dst, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t dstOffset);
    static uint32_t DecodeStreamMsb1(const unsigned char* bytes, int32_t* const* dst, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t dstOffset);

    // Planar integers to n interleaved frames, rounded half up to the target
    // width (the positive end limited); the bits below the width are written
    // as zero. A null source channel is written as silence; a null source
    // array or byte pointer writes nothing and returns 0.
    static uint32_t EncodeStreamLsb1(const int32_t* const* src, unsigned char* bytes, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t srcOffset);
    static uint32_t EncodeStreamMsb1(const int32_t* const* src, unsigned char* bytes, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t srcOffset);

    // The same straight to and from float samples, in one pass: decoding
    // gives what decoding and then SignedIntToFloat give, encoding what
    // FloatToSignedInt and then encoding give.
    static uint32_t DecodeStreamLsb1(const unsigned char* bytes, float* const* dst, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t dstOffset);
    static uint32_t DecodeStreamMsb1(const unsigned char* bytes, float* const* dst, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t dstOffset);
    static uint32_t EncodeStreamLsb1(const float* const* src, unsigned char* bytes, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t srcOffset);
    static uint32_t EncodeStreamMsb1(const float* const* src, unsigned char* bytes, uint32_t n,
                                     uint16_t channels, uint16_t bits, uint32_t srcOffset);

    // out = in x 2^-31.
    static uint32_t SignedIntToFloat(const int32_t* const* in, float* const* out, uint32_t n,
                                     uint16_t channels, uint32_t inOffset, uint32_t outOffset);
    // out = in x 2^31 truncated toward zero and limited to -2147483647 ..
    // +2147483647; NaN gives -2147483647.
    static uint32_t FloatToSignedInt(const float* const* in, int32_t* const* out, uint32_t n,
                                     uint16_t channels, uint32_t inOffset, uint32_t outOffset);

    // The functions above in a chosen form (msb selects the byte order); a
    // form the processor lacks runs as SSE2.
    static uint32_t DecodeStream(VectorForm form, bool msb, const unsigned char* bytes, int32_t* const* dst,
                                 uint32_t n, uint16_t channels, uint16_t bits, uint32_t dstOffset);
    static uint32_t EncodeStream(VectorForm form, bool msb, const int32_t* const* src, unsigned char* bytes,
                                 uint32_t n, uint16_t channels, uint16_t bits, uint32_t srcOffset);
    static uint32_t DecodeStream(VectorForm form, bool msb, const unsigned char* bytes, float* const* dst,
                                 uint32_t n, uint16_t channels, uint16_t bits, uint32_t dstOffset);
    static uint32_t EncodeStream(VectorForm form, bool msb, const float* const* src, unsigned char* bytes,
                                 uint32_t n, uint16_t channels, uint16_t bits, uint32_t srcOffset);
    static uint32_t SignedIntToFloat(VectorForm form, const int32_t* const* in, float* const* out, uint32_t n,
                                     uint16_t channels, uint32_t inOffset, uint32_t outOffset);
    static uint32_t FloatToSignedInt(VectorForm form, const float* const* in, int32_t* const* out, uint32_t n,
                                     uint16_t channels, uint32_t inOffset, uint32_t outOffset);

    // Copies n samples per channel; source and destination runs may overlap.
    static uint32_t Copy(const int32_t* const* src, int32_t* const* dst, uint32_t n, uint16_t channels,
                         uint32_t srcOffset, uint32_t dstOffset);
    static uint32_t Copy(const float* const* src, float* const* dst, uint32_t n, uint16_t channels,
                         uint32_t srcOffset, uint32_t dstOffset);

    // n zero samples per channel from offset.
    static uint32_t FillSilence(int32_t* const* bufs, uint32_t n, uint16_t channels, uint32_t offset);
    static uint32_t FillSilence(float* const* bufs, uint32_t n, uint16_t channels, uint32_t offset);

    // out = in x gain; in and out may be the same buffers.
    static uint32_t ChangeAmplitude(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                                    float gain);
    static uint32_t ChangeAmplitudeSSE(const float* const* in, float* const* out, uint32_t n,
                                       uint16_t channels, float gain);
    static uint32_t ChangeAmplitudeScalar(const float* const* in, float* const* out, uint32_t n,
                                          uint16_t channels, float gain);

    // Fades over a fade of `length` frames (0: n). `position` is the index of
    // the block's first frame within the fade and may be negative. The gain of
    // a frame depends only on its index k in the fade: x = k / length for a
    // fade-in, (length - k - 1) / length for a fade-out, limited to 0 .. 1 and
    // squared when curve > 0. Rendering a fade in one block or in several
    // gives the same samples. Returns n.
    static uint32_t FadeIn(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                           uint32_t length, int64_t position, int curve);
    static uint32_t FadeOut(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                            uint32_t length, int64_t position, int curve);

    // The inner loop of the fades: frame i gets the gain x = (firstNumerator +
    // i x step) / length, limited to 0 .. 1 and squared when curve > 0. The
    // numerators must stay within 0 .. length over the n frames; step is +1
    // for a rising fade and -1 for a falling one.
    static uint32_t FadeSSE(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                            uint32_t firstNumerator, int32_t step, uint32_t length, int curve);
    static uint32_t FadeScalar(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                               uint32_t firstNumerator, int32_t step, uint32_t length, int curve);

    // The block's peak in dB, in 0.5 dB steps rounded up: -60.0 for a peak at
    // or below 0.001 (and for an empty block), at most +3.5.
    static float GetPeakLeveldB(const float* samples, uint32_t n);

    // The largest absolute sample value over n samples of every channel; NaN
    // samples are ignored, an empty block gives 0.
    static float GetMaximumAbsValueSSE(const float* const* bufs, uint32_t n, uint16_t channels);
    static float GetMaximumAbsValueScalar(const float* const* bufs, uint32_t n, uint16_t channels);

    // Entry i is the amplitude of (0.5 i - 60) dB: entry 0 is 0.001 (-60 dB),
    // entry 120 is 1.0 (0 dB), entry 127 about 1.4962 (+3.5 dB).
    static const float m_afdBToPeakValueTable[128];
};
