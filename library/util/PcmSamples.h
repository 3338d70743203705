#pragma once

#include <emmintrin.h>

#include <cstdint>

// One sample between the integer and the float convention, one at a time and
// four at a time (SSE2), for CPcmUtil and its stream code. Both forms give the
// same results under the preferred control word, which callers hold.
namespace PcmSamples
{
constexpr float kIntToFloatScale = 1.0f / 2147483648.0f;
constexpr float kFloatToIntScale = 2147483648.0f;

inline float IntToFloat(int32_t x)
{
    return static_cast<float>(x) * kIntToFloatScale;
}

// x x 2^31 truncated, limited to +-2147483647; NaN gives -2147483647.
inline int32_t FloatToInt(float x)
{
    const float v = x * kFloatToIntScale;
    if (v >= kFloatToIntScale)
        return INT32_MAX;
    if (!(v > -kFloatToIntScale)) // also NaN
        return -INT32_MAX;
    return static_cast<int32_t>(v);
}

inline __m128 IntToFloat4(__m128i x)
{
    return _mm_mul_ps(_mm_cvtepi32_ps(x), _mm_set1_ps(kIntToFloatScale));
}

inline __m128i FloatToInt4(__m128 x)
{
    const __m128 scale = _mm_set1_ps(kFloatToIntScale);
    const __m128 v = _mm_mul_ps(x, scale);
    // Out-of-range lanes and NaN convert to 0x80000000; flip the positive ones
    // to 0x7FFFFFFF and raise the remaining 0x80000000 by one.
    __m128i r = _mm_cvttps_epi32(v);
    r = _mm_xor_si128(r, _mm_castps_si128(_mm_cmpge_ps(v, scale)));
    return _mm_sub_epi32(r, _mm_cmpeq_epi32(r, _mm_set1_epi32(INT32_MIN)));
}
} // namespace PcmSamples
