#include "library/util/CPcmUtil.h"

#include "library/util/CSystemUtil.h"
#include "library/util/PcmKernelsAvx2.h"
#include "library/util/PcmSamples.h"
#include "library/util/PcmStreamCodec.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

// Amplitudes of -60 .. +3.5 dB in 0.5 dB steps: 10^((0.5 i - 60) / 20), rounded to float.
const float CPcmUtil::m_afdBToPeakValueTable[128] = {
    0.00100000005f, 0.0010592537f,  0.00112201844f, 0.00118850218f, 0.00125892542f, 0.00133352145f,
    0.00141253753f, 0.00149623561f, 0.00158489321f, 0.00167880405f, 0.00177827943f, 0.00188364903f,
    0.00199526222f, 0.00211348897f, 0.00223872112f, 0.00237137382f, 0.00251188641f, 0.00266072503f,
    0.00281838304f, 0.00298538269f, 0.00316227763f, 0.00334965438f, 0.00354813389f, 0.00375837414f,
    0.00398107152f, 0.00421696482f, 0.00446683588f, 0.00473151263f, 0.00501187239f, 0.00530884461f,
    0.00562341325f, 0.00595662137f, 0.00630957354f, 0.00668343902f, 0.00707945786f, 0.00749894232f,
    0.0079432819f,  0.00841395184f, 0.00891250931f, 0.00944060832f, 0.00999999978f, 0.010592537f,
    0.0112201842f,  0.0118850218f,  0.0125892544f,  0.013335214f,   0.0141253751f,  0.0149623565f,
    0.0158489328f,  0.0167880394f,  0.0177827943f,  0.0188364908f,  0.0199526232f,  0.0211348906f,
    0.0223872121f,  0.0237137377f,  0.0251188651f,  0.0266072508f,  0.028183829f,   0.0298538264f,
    0.0316227749f,  0.0334965438f,  0.0354813375f,  0.0375837423f,  0.0398107171f,  0.0421696492f,
    0.0446683578f,  0.0473151244f,  0.050118722f,   0.0530884452f,  0.0562341325f,  0.0595662147f,
    0.0630957335f,  0.0668343902f,  0.0707945749f,  0.0749894232f,  0.0794328228f,  0.084139511f,
    0.0891250968f,  0.0944060907f,  0.100000001f,   0.105925374f,   0.112201847f,   0.118850224f,
    0.125892535f,   0.133352146f,   0.141253754f,   0.149623573f,   0.158489317f,   0.167880401f,
    0.177827939f,   0.188364908f,   0.199526235f,   0.211348906f,   0.22387211f,    0.237137377f,
    0.251188636f,   0.266072512f,   0.281838298f,   0.298538268f,   0.316227764f,   0.334965438f,
    0.354813397f,   0.375837415f,   0.398107171f,   0.421696514f,   0.446683586f,   0.473151267f,
    0.501187205f,   0.530884445f,   0.562341332f,   0.595662117f,   0.630957365f,   0.668343902f,
    0.707945764f,   0.749894202f,   0.794328213f,   0.84139514f,    0.891250908f,   0.944060862f,
    1.0f,           1.05925369f,    1.12201846f,    1.18850219f,    1.25892544f,    1.33352149f,
    1.41253757f,    1.49623561f,
};

namespace
{
using VectorForm = CPcmUtil::VectorForm;

unsigned ClampBits(uint16_t bits)
{
    return bits > 32 ? 32u : bits;
}

bool UseAvx2(VectorForm form)
{
    return form == VectorForm::AVX2 && PcmKernelsAvx2::Available();
}

// ---------------------------------------------------------------------------
// Integer and float, one channel. Callers hold a CScopedPreferredMxcsr.

void IntToFloatSSE(const int32_t* s, float* d, size_t n)
{
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_ps(d + i,
                      PcmSamples::IntToFloat4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i))));
    for (; i < n; ++i)
        d[i] = PcmSamples::IntToFloat(s[i]);
}

void IntToFloatChannel(VectorForm form, const int32_t* s, float* d, size_t n)
{
    if (form == VectorForm::Scalar)
    {
        for (size_t i = 0; i < n; ++i)
            d[i] = PcmSamples::IntToFloat(s[i]);
        return;
    }
    const size_t done = UseAvx2(form) ? PcmKernelsAvx2::IntToFloat(s, d, n) : 0;
    IntToFloatSSE(s + done, d + done, n - done);
}

void FloatToIntSSE(const float* s, int32_t* d, size_t n)
{
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), PcmSamples::FloatToInt4(_mm_loadu_ps(s + i)));
    for (; i < n; ++i)
        d[i] = PcmSamples::FloatToInt(s[i]);
}

void FloatToIntChannel(VectorForm form, const float* s, int32_t* d, size_t n)
{
    if (form == VectorForm::Scalar)
    {
        for (size_t i = 0; i < n; ++i)
            d[i] = PcmSamples::FloatToInt(s[i]);
        return;
    }
    const size_t done = UseAvx2(form) ? PcmKernelsAvx2::FloatToInt(s, d, n) : 0;
    FloatToIntSSE(s + done, d + done, n - done);
}

// ---------------------------------------------------------------------------
// Streams. A null byte pointer or planar array converts nothing.

template <typename Sample>
uint32_t Decode(VectorForm form, bool msb, const unsigned char* bytes, Sample* const* dst, uint32_t n,
                uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    if (n == 0 || channels == 0 || dst == nullptr)
        return n;
    if (bytes == nullptr)
        return 0;
    PcmStreamCodec::Decode(form, msb, bytes, dst, n, channels, ClampBits(bits), dstOffset);
    return n;
}

template <typename Sample>
uint32_t Encode(VectorForm form, bool msb, const Sample* const* src, unsigned char* bytes, uint32_t n,
                uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    if (n == 0 || channels == 0 || bits == 0)
        return n;
    if (src == nullptr || bytes == nullptr)
        return 0;
    PcmStreamCodec::Encode(form, msb, src, bytes, n, channels, ClampBits(bits), srcOffset);
    return n;
}

// ---------------------------------------------------------------------------
// Gains and fades

// An unsigned 32-bit value to float with a single rounding, the same in the
// scalar and the vector form.
inline float UIntToFloat(uint32_t v)
{
    return static_cast<float>(static_cast<int32_t>(v >> 16)) * 65536.0f +
           static_cast<float>(static_cast<int32_t>(v & 0xFFFF));
}

inline __m128 UIntToFloat4(__m128i v)
{
    const __m128 hi = _mm_cvtepi32_ps(_mm_srli_epi32(v, 16));
    const __m128 lo = _mm_cvtepi32_ps(_mm_and_si128(v, _mm_set1_epi32(0xFFFF)));
    return _mm_add_ps(_mm_mul_ps(hi, _mm_set1_ps(65536.0f)), lo);
}

inline float FadeGain(uint32_t numerator, float length, bool squared)
{
    float x = UIntToFloat(numerator) / length;
    x = std::min(std::max(x, 0.0f), 1.0f);
    return squared ? x * x : x;
}

void FadeChannelScalar(const float* in, float* out, size_t n, uint32_t firstNumerator, int32_t step,
                       float length, bool squared)
{
    uint32_t num = firstNumerator;
    for (size_t i = 0; i < n; ++i, num += static_cast<uint32_t>(step))
        out[i] = in[i] * FadeGain(num, length, squared);
}

void FadeChannelSSE(const float* in, float* out, size_t n, uint32_t firstNumerator, int32_t step,
                    float length, bool squared)
{
    const uint32_t ustep = static_cast<uint32_t>(step);
    const __m128 vlength = _mm_set1_ps(length);
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128i vstep4 = _mm_set1_epi32(static_cast<int32_t>(4 * ustep));
    __m128i num = _mm_setr_epi32(
        static_cast<int32_t>(firstNumerator), static_cast<int32_t>(firstNumerator + ustep),
        static_cast<int32_t>(firstNumerator + 2 * ustep), static_cast<int32_t>(firstNumerator + 3 * ustep));
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
    {
        __m128 x = _mm_div_ps(UIntToFloat4(num), vlength);
        x = _mm_min_ps(_mm_max_ps(x, zero), one);
        if (squared)
            x = _mm_mul_ps(x, x);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_loadu_ps(in + i), x));
        num = _mm_add_epi32(num, vstep4);
    }
    FadeChannelScalar(in + i, out + i, n - i, firstNumerator + static_cast<uint32_t>(i) * ustep, step, length,
                      squared);
}

void CopyFloats(const float* in, float* out, size_t n)
{
    if (in != out && n > 0)
        std::memmove(out, in, n * sizeof(float));
}

void FillZeros(float* out, size_t n)
{
    if (n > 0)
        std::memset(out, 0, n * sizeof(float));
}

uint32_t Fade(const float* const* in, float* const* out, uint32_t n, uint16_t channels, uint32_t length,
              int64_t position, int curve, bool rising)
{
    if (n == 0)
        return 0;
    if (in == nullptr || out == nullptr)
        return n;
    const uint32_t fadeLength = length != 0 ? length : n;

    // Frames [0, before) lie before the fade, [before, before + inside) within
    // it and the rest after it; computed without overflow for any position.
    uint32_t before = 0;
    if (position < 0)
        before = position <= -static_cast<int64_t>(n) ? n : static_cast<uint32_t>(-position);
    const int64_t first = position < 0 ? 0 : position; // index in the fade of frame `before`
    uint32_t inside = 0;
    if (before < n && first < fadeLength)
        inside = static_cast<uint32_t>(std::min<int64_t>(n - before, fadeLength - first));
    const uint32_t after = n - before - inside;

    const uint32_t firstNumerator =
        static_cast<uint32_t>(rising ? first : static_cast<int64_t>(fadeLength) - 1 - first);
    const int32_t step = rising ? 1 : -1;
    const float vlength = UIntToFloat(fadeLength);
    const bool squared = curve > 0;

    CScopedPreferredMxcsr mxcsr;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] == nullptr || out[c] == nullptr)
            continue;
        // Before the fade a fade-in is silent and a fade-out passes; after it the reverse.
        if (rising)
            FillZeros(out[c], before);
        else
            CopyFloats(in[c], out[c], before);
        if (inside > 0)
        {
            if (CSystemUtil::HasSSE())
                FadeChannelSSE(in[c] + before, out[c] + before, inside, firstNumerator, step, vlength,
                               squared);
            else
                FadeChannelScalar(in[c] + before, out[c] + before, inside, firstNumerator, step, vlength,
                                  squared);
        }
        if (rising)
            CopyFloats(in[c] + before + inside, out[c] + before + inside, after);
        else
            FillZeros(out[c] + before + inside, after);
    }
    return n;
}

using FadeChannelFunc = void (*)(const float*, float*, size_t, uint32_t, int32_t, float, bool);

// Fades every channel with one channel routine: gain numerators from
// firstNumerator on, moving by step each frame, over length.
uint32_t FadeChannels(FadeChannelFunc fadeChannel, const float* const* in, float* const* out, uint32_t n,
                      uint16_t channels, uint32_t firstNumerator, int32_t step, uint32_t length, int curve)
{
    if (in == nullptr || out == nullptr || length == 0)
        return n;
    CScopedPreferredMxcsr mxcsr;
    const float vlength = UIntToFloat(length);
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] != nullptr && out[c] != nullptr)
            fadeChannel(in[c], out[c], n, firstNumerator, step, vlength, curve > 0);
    }
    return n;
}

float MaxAbsScalar(const float* p, size_t n, float acc)
{
    for (size_t i = 0; i < n; ++i)
    {
        const float a = std::fabs(p[i]);
        acc = a > acc ? a : acc; // NaN compares false and is ignored
    }
    return acc;
}

float MaxAbsSSE(const float* p, size_t n, float acc)
{
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 vacc = _mm_set1_ps(acc);
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        vacc =
            _mm_max_ps(_mm_and_ps(_mm_loadu_ps(p + i), absMask), vacc); // NaN in the first operand is ignored
    vacc = _mm_max_ps(vacc, _mm_movehl_ps(vacc, vacc));
    vacc = _mm_max_ss(vacc, _mm_shuffle_ps(vacc, vacc, _MM_SHUFFLE(1, 1, 1, 1)));
    return MaxAbsScalar(p + i, n - i, _mm_cvtss_f32(vacc));
}
} // namespace

// ---------------------------------------------------------------------------

bool CPcmUtil::HasVectorForm(VectorForm form)
{
    return form != VectorForm::AVX2 || PcmKernelsAvx2::Available();
}

CPcmUtil::VectorForm CPcmUtil::GetPreferredVectorForm()
{
    return PcmKernelsAvx2::Available() ? VectorForm::AVX2 : VectorForm::SSE2;
}

uint32_t CPcmUtil::DecodeStreamLsb1(const unsigned char* bytes, int32_t* const* dst, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    return Decode(GetPreferredVectorForm(), false, bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::DecodeStreamMsb1(const unsigned char* bytes, int32_t* const* dst, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    return Decode(GetPreferredVectorForm(), true, bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::EncodeStreamLsb1(const int32_t* const* src, unsigned char* bytes, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    return Encode(GetPreferredVectorForm(), false, src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::EncodeStreamMsb1(const int32_t* const* src, unsigned char* bytes, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    return Encode(GetPreferredVectorForm(), true, src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::DecodeStreamLsb1(const unsigned char* bytes, float* const* dst, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    return DecodeStream(GetPreferredVectorForm(), false, bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::DecodeStreamMsb1(const unsigned char* bytes, float* const* dst, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    return DecodeStream(GetPreferredVectorForm(), true, bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::EncodeStreamLsb1(const float* const* src, unsigned char* bytes, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    return EncodeStream(GetPreferredVectorForm(), false, src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::EncodeStreamMsb1(const float* const* src, unsigned char* bytes, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    return EncodeStream(GetPreferredVectorForm(), true, src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::DecodeStream(VectorForm form, bool msb, const unsigned char* bytes, int32_t* const* dst,
                                uint32_t n, uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    return Decode(form, msb, bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::EncodeStream(VectorForm form, bool msb, const int32_t* const* src, unsigned char* bytes,
                                uint32_t n, uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    return Encode(form, msb, src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::DecodeStream(VectorForm form, bool msb, const unsigned char* bytes, float* const* dst,
                                uint32_t n, uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    CScopedPreferredMxcsr mxcsr;
    return Decode(form, msb, bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::EncodeStream(VectorForm form, bool msb, const float* const* src, unsigned char* bytes,
                                uint32_t n, uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    CScopedPreferredMxcsr mxcsr;
    return Encode(form, msb, src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::SignedIntToFloat(const int32_t* const* in, float* const* out, uint32_t n,
                                    uint16_t channels, uint32_t inOffset, uint32_t outOffset)
{
    return SignedIntToFloat(GetPreferredVectorForm(), in, out, n, channels, inOffset, outOffset);
}

uint32_t CPcmUtil::SignedIntToFloat(VectorForm form, const int32_t* const* in, float* const* out, uint32_t n,
                                    uint16_t channels, uint32_t inOffset, uint32_t outOffset)
{
    if (in == nullptr || out == nullptr)
        return n;
    CScopedPreferredMxcsr mxcsr;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] != nullptr && out[c] != nullptr)
            IntToFloatChannel(form, in[c] + inOffset, out[c] + outOffset, n);
    }
    return n;
}

uint32_t CPcmUtil::FloatToSignedInt(const float* const* in, int32_t* const* out, uint32_t n,
                                    uint16_t channels, uint32_t inOffset, uint32_t outOffset)
{
    return FloatToSignedInt(GetPreferredVectorForm(), in, out, n, channels, inOffset, outOffset);
}

uint32_t CPcmUtil::FloatToSignedInt(VectorForm form, const float* const* in, int32_t* const* out, uint32_t n,
                                    uint16_t channels, uint32_t inOffset, uint32_t outOffset)
{
    if (in == nullptr || out == nullptr)
        return n;
    CScopedPreferredMxcsr mxcsr;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] != nullptr && out[c] != nullptr)
            FloatToIntChannel(form, in[c] + inOffset, out[c] + outOffset, n);
    }
    return n;
}

uint32_t CPcmUtil::Copy(const int32_t* const* src, int32_t* const* dst, uint32_t n, uint16_t channels,
                        uint32_t srcOffset, uint32_t dstOffset)
{
    if (src == nullptr || dst == nullptr || n == 0)
        return n;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (src[c] == nullptr || dst[c] == nullptr)
            continue;
        const int32_t* s = src[c] + srcOffset;
        int32_t* d = dst[c] + dstOffset;
        if (s != d)
            std::memmove(d, s, size_t{n} * sizeof(int32_t));
    }
    return n;
}

uint32_t CPcmUtil::Copy(const float* const* src, float* const* dst, uint32_t n, uint16_t channels,
                        uint32_t srcOffset, uint32_t dstOffset)
{
    if (src == nullptr || dst == nullptr)
        return n;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (src[c] != nullptr && dst[c] != nullptr)
            CopyFloats(src[c] + srcOffset, dst[c] + dstOffset, n);
    }
    return n;
}

uint32_t CPcmUtil::FillSilence(int32_t* const* bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    if (bufs == nullptr || n == 0)
        return n;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (bufs[c] != nullptr)
            std::memset(bufs[c] + offset, 0, size_t{n} * sizeof(int32_t));
    }
    return n;
}

uint32_t CPcmUtil::FillSilence(float* const* bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    if (bufs == nullptr)
        return n;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (bufs[c] != nullptr)
            FillZeros(bufs[c] + offset, n);
    }
    return n;
}

uint32_t CPcmUtil::ChangeAmplitude(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                                   float gain)
{
    if (CSystemUtil::HasSSE())
        return ChangeAmplitudeSSE(in, out, n, channels, gain);
    return ChangeAmplitudeScalar(in, out, n, channels, gain);
}

uint32_t CPcmUtil::ChangeAmplitudeSSE(const float* const* in, float* const* out, uint32_t n,
                                      uint16_t channels, float gain)
{
    if (in == nullptr || out == nullptr)
        return n;
    CScopedPreferredMxcsr mxcsr;
    const __m128 vgain = _mm_set1_ps(gain);
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] == nullptr || out[c] == nullptr)
            continue;
        const float* s = in[c];
        float* d = out[c];
        size_t i = 0;
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(d + i, _mm_mul_ps(_mm_loadu_ps(s + i), vgain));
        for (; i < n; ++i)
            d[i] = s[i] * gain;
    }
    return n;
}

uint32_t CPcmUtil::ChangeAmplitudeScalar(const float* const* in, float* const* out, uint32_t n,
                                         uint16_t channels, float gain)
{
    if (in == nullptr || out == nullptr)
        return n;
    CScopedPreferredMxcsr mxcsr;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] == nullptr || out[c] == nullptr)
            continue;
        for (size_t i = 0; i < n; ++i)
            out[c][i] = in[c][i] * gain;
    }
    return n;
}

uint32_t CPcmUtil::FadeIn(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                          uint32_t length, int64_t position, int curve)
{
    return Fade(in, out, n, channels, length, position, curve, true);
}

uint32_t CPcmUtil::FadeOut(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                           uint32_t length, int64_t position, int curve)
{
    return Fade(in, out, n, channels, length, position, curve, false);
}

uint32_t CPcmUtil::FadeSSE(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                           uint32_t firstNumerator, int32_t step, uint32_t length, int curve)
{
    return FadeChannels(FadeChannelSSE, in, out, n, channels, firstNumerator, step, length, curve);
}

uint32_t CPcmUtil::FadeScalar(const float* const* in, float* const* out, uint32_t n, uint16_t channels,
                              uint32_t firstNumerator, int32_t step, uint32_t length, int curve)
{
    return FadeChannels(FadeChannelScalar, in, out, n, channels, firstNumerator, step, length, curve);
}

float CPcmUtil::GetPeakLeveldB(const float* samples, uint32_t n)
{
    if (samples == nullptr || n == 0)
        return -60.0f;
    const float peak = GetMaximumAbsValueSSE(&samples, n, 1);
    if (peak <= m_afdBToPeakValueTable[0])
        return -60.0f;
    // The first entry from 1 to 126 at or above the peak; 127 above entry 126.
    const float* entry = std::lower_bound(m_afdBToPeakValueTable + 1, m_afdBToPeakValueTable + 127, peak);
    return 0.5f * static_cast<float>(entry - m_afdBToPeakValueTable) - 60.0f;
}

float CPcmUtil::GetMaximumAbsValueSSE(const float* const* bufs, uint32_t n, uint16_t channels)
{
    if (bufs == nullptr)
        return 0.0f;
    CScopedPreferredMxcsr mxcsr;
    float acc = 0.0f;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (bufs[c] != nullptr)
            acc = MaxAbsSSE(bufs[c], n, acc);
    }
    return acc;
}

float CPcmUtil::GetMaximumAbsValueScalar(const float* const* bufs, uint32_t n, uint16_t channels)
{
    if (bufs == nullptr)
        return 0.0f;
    CScopedPreferredMxcsr mxcsr;
    float acc = 0.0f;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (bufs[c] != nullptr)
            acc = MaxAbsScalar(bufs[c], n, acc);
    }
    return acc;
}
