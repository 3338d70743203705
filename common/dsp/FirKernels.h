#pragma once

#include <immintrin.h>
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

// Whether the processor has AVX2 and FMA, for the wide kernels below.
inline bool HasAvx2Fma()
{
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return has;
}

// The sum of c[k] x[k] over k < taps (a multiple of 4), sixteen taps at a
// time in two partial sums of eight with fused multiply-adds, then eight,
// then four. Only where HasAvx2Fma().
__attribute__((target("avx2,fma"))) inline float DotAvx(const float* c, const float* x, uint32_t taps)
{
    __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps();
    uint32_t k = 0;
    for (; k + 16 <= taps; k += 16)
    {
        a0 = _mm256_fmadd_ps(_mm256_loadu_ps(c + k), _mm256_loadu_ps(x + k), a0);
        a1 = _mm256_fmadd_ps(_mm256_loadu_ps(c + k + 8), _mm256_loadu_ps(x + k + 8), a1);
    }
    if (k + 8 <= taps)
    {
        a0 = _mm256_fmadd_ps(_mm256_loadu_ps(c + k), _mm256_loadu_ps(x + k), a0);
        k += 8;
    }
    const __m256 a = _mm256_add_ps(a0, a1);
    __m128 s = _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
    if (k < taps)
        s = _mm_fmadd_ps(_mm_loadu_ps(c + k), _mm_loadu_ps(x + k), s);
    return HorizontalSum(s);
}

// The same sum for two channels over the same taps, each tap loaded once;
// every channel's result equals DotAvx's bit for bit.
__attribute__((target("avx2,fma"))) inline void DotStereoAvx(const float* c, const float* x0, const float* x1,
                                                             uint32_t taps, float& y0, float& y1)
{
    __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps();
    __m256 b0 = _mm256_setzero_ps(), b1 = _mm256_setzero_ps();
    uint32_t k = 0;
    for (; k + 16 <= taps; k += 16)
    {
        const __m256 c0 = _mm256_loadu_ps(c + k);
        const __m256 c1 = _mm256_loadu_ps(c + k + 8);
        a0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x0 + k), a0);
        b0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x1 + k), b0);
        a1 = _mm256_fmadd_ps(c1, _mm256_loadu_ps(x0 + k + 8), a1);
        b1 = _mm256_fmadd_ps(c1, _mm256_loadu_ps(x1 + k + 8), b1);
    }
    if (k + 8 <= taps)
    {
        const __m256 c0 = _mm256_loadu_ps(c + k);
        a0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x0 + k), a0);
        b0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x1 + k), b0);
        k += 8;
    }
    const __m256 a = _mm256_add_ps(a0, a1);
    const __m256 b = _mm256_add_ps(b0, b1);
    __m128 sa = _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
    __m128 sb = _mm_add_ps(_mm256_castps256_ps128(b), _mm256_extractf128_ps(b, 1));
    if (k < taps)
    {
        const __m128 cc = _mm_loadu_ps(c + k);
        sa = _mm_fmadd_ps(cc, _mm_loadu_ps(x0 + k), sa);
        sb = _mm_fmadd_ps(cc, _mm_loadu_ps(x1 + k), sb);
    }
    y0 = HorizontalSum(sa);
    y1 = HorizontalSum(sb);
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
