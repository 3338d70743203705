#pragma once

#include <xmmintrin.h>

#include <cstdint>

// Dot products shared by the filter stages. `x` is a contiguous window of
// history, oldest sample first; `c` holds the taps in the same order.
namespace FirKernels
{
// Adds the four partial sums as (s3 + s1) + (s2 + s0).
inline float HorizontalSum(__m128 a)
{
    const __m128 high = _mm_movehl_ps(a, a);               // s2 s3 . .
    const __m128 pairs = _mm_add_ps(a, high);              // s0+s2 s1+s3 . .
    const __m128 odd = _mm_shuffle_ps(pairs, pairs, 0x55); // s1+s3
    return _mm_cvtss_f32(_mm_add_ss(odd, pairs));
}

// Sum of c[k] x[k] over k < taps, four taps at a time; taps is a multiple of 4.
inline float DotSSE(const float* c, const float* x, uint32_t taps)
{
    __m128 acc = _mm_setzero_ps();
    for (uint32_t k = 0; k < taps; k += 4)
        acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(x + k), _mm_loadu_ps(c + k)));
    return HorizontalSum(acc);
}

// Two dot products over the same window.
inline void Dot2SSE(const float* c0, const float* c1, const float* x, uint32_t taps, float& y0, float& y1)
{
    __m128 acc0 = _mm_setzero_ps();
    __m128 acc1 = _mm_setzero_ps();
    for (uint32_t k = 0; k < taps; k += 4)
    {
        const __m128 v = _mm_loadu_ps(x + k);
        acc0 = _mm_add_ps(acc0, _mm_mul_ps(v, _mm_loadu_ps(c0 + k)));
        acc1 = _mm_add_ps(acc1, _mm_mul_ps(v, _mm_loadu_ps(c1 + k)));
    }
    y0 = HorizontalSum(acc0);
    y1 = HorizontalSum(acc1);
}

// The same sums without vector instructions, in the same order: four
// partial sums over taps k, k + 4, ..., combined as (s3 + s1) + (s2 + s0), so
// that both forms give the same results.
inline float DotScalar(const float* c, const float* x, uint32_t taps)
{
    float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (uint32_t k = 0; k < taps; k += 4)
        for (uint32_t lane = 0; lane < 4; ++lane)
            s[lane] += x[k + lane] * c[k + lane];
    return (s[1] + s[3]) + (s[0] + s[2]);
}
} // namespace FirKernels
