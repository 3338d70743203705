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

// Dot products of one set of taps c over kWindows windows x[w]: y[w] = the
// sum of c[k] x[w][k] over k < taps (a multiple of 4). Every tap is loaded
// once for all windows, so that a converter whose outputs share a phase
// reads its coefficients once for all of them. Each sum is formed in
// DotAvx's order, so that every result equals DotAvx's over its window bit
// for bit. Only where HasAvx2Fma(); up to 4 windows, which keep their
// partial sums in registers.
template <uint32_t kWindows>
__attribute__((target("avx2,fma"))) inline void DotWindowsAvx(const float* c, const float* const* x,
                                                              uint32_t taps, float* y)
{
    static_assert(kWindows >= 1 && kWindows <= 4, "two partial sums per window must fit the registers");
    __m256 a0[kWindows], a1[kWindows];
#pragma GCC unroll 4
    for (uint32_t w = 0; w < kWindows; ++w)
        a0[w] = a1[w] = _mm256_setzero_ps();
    uint32_t k = 0;
    for (; k + 16 <= taps; k += 16)
    {
        const __m256 c0 = _mm256_loadu_ps(c + k);
        const __m256 c1 = _mm256_loadu_ps(c + k + 8);
#pragma GCC unroll 4
        for (uint32_t w = 0; w < kWindows; ++w)
        {
            a0[w] = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x[w] + k), a0[w]);
            a1[w] = _mm256_fmadd_ps(c1, _mm256_loadu_ps(x[w] + k + 8), a1[w]);
        }
    }
    const bool eight = k + 8 <= taps;
    const __m256 c0 = eight ? _mm256_loadu_ps(c + k) : _mm256_setzero_ps();
    const __m128 c4 = k + (eight ? 8 : 0) < taps ? _mm_loadu_ps(c + k + (eight ? 8 : 0)) : _mm_setzero_ps();
#pragma GCC unroll 4
    for (uint32_t w = 0; w < kWindows; ++w)
    {
        uint32_t at = k;
        if (eight)
        {
            a0[w] = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x[w] + at), a0[w]);
            at += 8;
        }
        const __m256 a = _mm256_add_ps(a0[w], a1[w]);
        __m128 sum = _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1));
        if (at < taps)
            sum = _mm_fmadd_ps(c4, _mm_loadu_ps(x[w] + at), sum);
        y[w] = HorizontalSum(sum);
    }
}

// Whether the processor has AVX-512 F, for the kernel below.
inline bool HasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f");
    return has;
}

// The sums of kTapSets sets of taps c[t] over kWindows windows x[w] with
// AVX-512: y[t kWindows + w] = the sum of c[t][k] x[w][k] over k < taps (a
// multiple of 4), every tap set and every window loaded once for all the sums
// that use it. Each sum runs thirty-two taps at a time in two partial sums
// of sixteen, then sixteen into the first, then the last 4 to 12 taps
// through a masked load into the second; the two added, the upper half
// folded onto the lower down to four lanes, and those added as HorizontalSum
// adds them. So every result depends on its own taps and window only, not on
// how many were computed together. Only where HasAvx512(); up to 8 sums.
// (GCC 12's AVX-512 headers fill unused lanes from a deliberately undefined
// value and warn about it.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
template <uint32_t kTapSets, uint32_t kWindows>
__attribute__((target("avx512f"))) inline void DotGridAvx512(const float* const* c, const float* const* x,
                                                             uint32_t taps, float* y)
{
    constexpr uint32_t kSums = kTapSets * kWindows;
    static_assert(kSums >= 1 && kSums <= 8, "two partial sums per sum must fit the registers");
    __m512 a0[kSums], a1[kSums];
#pragma GCC unroll 8
    for (uint32_t s = 0; s < kSums; ++s)
        a0[s] = a1[s] = _mm512_setzero_ps();
    uint32_t k = 0;
    for (; k + 32 <= taps; k += 32)
    {
#pragma GCC unroll 2
        for (uint32_t t = 0; t < kTapSets; ++t)
        {
            const __m512 c0 = _mm512_loadu_ps(c[t] + k);
            const __m512 c1 = _mm512_loadu_ps(c[t] + k + 16);
#pragma GCC unroll 8
            for (uint32_t w = 0; w < kWindows; ++w)
            {
                const uint32_t s = t * kWindows + w;
                a0[s] = _mm512_fmadd_ps(c0, _mm512_loadu_ps(x[w] + k), a0[s]);
                a1[s] = _mm512_fmadd_ps(c1, _mm512_loadu_ps(x[w] + k + 16), a1[s]);
            }
        }
    }
    if (k + 16 <= taps)
    {
#pragma GCC unroll 2
        for (uint32_t t = 0; t < kTapSets; ++t)
        {
            const __m512 c0 = _mm512_loadu_ps(c[t] + k);
#pragma GCC unroll 8
            for (uint32_t w = 0; w < kWindows; ++w)
                a0[t * kWindows + w] = _mm512_fmadd_ps(c0, _mm512_loadu_ps(x[w] + k), a0[t * kWindows + w]);
        }
        k += 16;
    }
    if (k < taps)
    {
        const __mmask16 m = static_cast<__mmask16>((1u << (taps - k)) - 1);
#pragma GCC unroll 2
        for (uint32_t t = 0; t < kTapSets; ++t)
        {
            const __m512 c1 = _mm512_maskz_loadu_ps(m, c[t] + k);
#pragma GCC unroll 8
            for (uint32_t w = 0; w < kWindows; ++w)
                a1[t * kWindows + w] =
                    _mm512_fmadd_ps(c1, _mm512_maskz_loadu_ps(m, x[w] + k), a1[t * kWindows + w]);
        }
    }
#pragma GCC unroll 8
    for (uint32_t s = 0; s < kSums; ++s)
    {
        const __m512 a = _mm512_add_ps(a0[s], a1[s]);
        const __m256 half = _mm512_castps512_ps256(_mm512_add_ps(a, _mm512_shuffle_f32x4(a, a, 0x4e)));
        y[s] = HorizontalSum(_mm_add_ps(_mm256_castps256_ps128(half), _mm256_extractf128_ps(half, 1)));
    }
}
#pragma GCC diagnostic pop

// One set of taps c over kWindows windows (DotGridAvx512).
template <uint32_t kWindows>
__attribute__((target("avx512f"))) inline void DotWindowsAvx512(const float* c, const float* const* x,
                                                                uint32_t taps, float* y)
{
    DotGridAvx512<1, kWindows>(&c, x, taps, y);
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
