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

// Runs of a half-band filter over consecutive windows, each output in a lane
// of its own. For output i, the taps c (taps of them, any count) run over the
// window x + i, oldest sample first, in eight partial sums (HalfBandSumsAvx);
// the centre tap multiplies xc[i] alone. The two stages combine them as
//   kHalfBandDecimate: y[i] = centre xc[i] + the sum (one fused
//     multiply-add), and
//   kHalfBandDouble: y[2i + dense] = the sum, y[2i + 1 - dense] =
//     centre xc[i] (the phase of the sum first when `dense` is 0).
// So every output depends on its own window only, not on n nor on how the
// outputs were grouped, and the AVX2 and the AVX-512 forms give the same
// results bit for bit. Windows past output n - 1 are not read.
enum eHalfBandRun
{
    kHalfBandDecimate,
    kHalfBandDouble,
};

// Outputs i .. i + count - 1 of a half-band run from their sums (in `lanes`).
template <int kRun>
__attribute__((target("avx2,fma"))) inline void HalfBandFinishAvx(__m256 sum, __m256 centre, const float* xc,
                                                                  uint32_t i, __m256i lanes, uint32_t count,
                                                                  uint32_t dense, float* y)
{
    const __m256 side = _mm256_maskload_ps(xc + i, lanes);
    if (kRun == kHalfBandDecimate)
    {
        _mm256_maskstore_ps(y + i, lanes, _mm256_fmadd_ps(centre, side, sum));
        return;
    }
    const __m256 copy = _mm256_mul_ps(centre, side);
    const __m256 first = dense == 0 ? sum : copy;
    const __m256 second = dense == 0 ? copy : sum;
    const __m256 low = _mm256_unpacklo_ps(first, second);  // f0 s0 f1 s1 | f4 s4 f5 s5
    const __m256 high = _mm256_unpackhi_ps(first, second); // f2 s2 f3 s3 | f6 s6 f7 s7
    const __m256i index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i twice = _mm256_set1_epi32(static_cast<int>(2 * count));
    _mm256_maskstore_ps(y + 2 * i, _mm256_cmpgt_epi32(twice, index), _mm256_permute2f128_ps(low, high, 0x20));
    _mm256_maskstore_ps(y + 2 * i + 8,
                        _mm256_cmpgt_epi32(twice, _mm256_add_epi32(index, _mm256_set1_epi32(8))),
                        _mm256_permute2f128_ps(low, high, 0x31));
}

template <int kRun>
__attribute__((target("avx512f"))) inline void
HalfBandFinishAvx512(__m512 sum, __m512 centre, const float* xc, uint32_t i, __mmask16 lanes, uint32_t count,
                     uint32_t dense, float* y)
{
    const __m512 side = _mm512_maskz_loadu_ps(lanes, xc + i);
    if (kRun == kHalfBandDecimate)
    {
        _mm512_mask_storeu_ps(y + i, lanes, _mm512_fmadd_ps(centre, side, sum));
        return;
    }
    const __m512 copy = _mm512_mul_ps(centre, side);
    const __m512 first = dense == 0 ? sum : copy;
    const __m512 second = dense == 0 ? copy : sum;
    // first's lanes (0 to 15) and second's (16 to 31) taken in turns.
    const __m512i low = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i high = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    const uint32_t twice = 2 * count;
    const __mmask16 lowLanes = static_cast<__mmask16>(twice >= 16 ? 0xffffu : (1u << twice) - 1);
    const __mmask16 highLanes = static_cast<__mmask16>(twice <= 16   ? 0u
                                                       : twice >= 32 ? 0xffffu
                                                                     : (1u << (twice - 16)) - 1);
    _mm512_mask_storeu_ps(y + 2 * i, lowLanes, _mm512_permutex2var_ps(first, low, second));
    _mm512_mask_storeu_ps(y + 2 * i + 16, highLanes, _mm512_permutex2var_ps(first, high, second));
}

// The sums of a half-band run, in blocks of kHalfBandBlock taps: within a
// block, kHalfBandSums partial sums per lane over the taps k = r, r +
// kHalfBandSums, ... (r < kHalfBandSums), each a chain of fused
// multiply-adds from 0, then added in halves (s[r] += s[r + kHalfBandSums /
// 2] for r < kHalfBandSums / 2, and so on down to one); the blocks' sums are
// added in order from 0. Short chains keep the rounding that of the dot
// products' many partial sums. kVectors vectors of outputs at a time, every
// load masked to `lanes` where kMasked.
inline constexpr uint32_t kHalfBandSums = 8;
inline constexpr uint32_t kHalfBandBlock = 48;

template <uint32_t kVectors, bool kMasked>
__attribute__((target("avx2,fma"))) inline void HalfBandSumsAvx(const float* c, uint32_t taps, const float* x,
                                                                __m256i lanes, __m256* sum)
{
    const auto load = [lanes](const float* p) __attribute__((target("avx2,fma")))
    {
        return kMasked ? _mm256_maskload_ps(p, lanes) : _mm256_loadu_ps(p);
    };
#pragma GCC unroll 4
    for (uint32_t v = 0; v < kVectors; ++v)
        sum[v] = _mm256_setzero_ps();
    for (uint32_t block = 0; block < taps; block += kHalfBandBlock)
    {
        const uint32_t end = taps - block < kHalfBandBlock ? taps : block + kHalfBandBlock;
        __m256 a[kVectors][kHalfBandSums];
#pragma GCC unroll 8
        for (uint32_t v = 0; v < kVectors; ++v)
            for (uint32_t r = 0; r < kHalfBandSums; ++r)
                a[v][r] = _mm256_setzero_ps();
        uint32_t k = block;
        for (; k + kHalfBandSums <= end; k += kHalfBandSums)
        {
#pragma GCC unroll 8
            for (uint32_t r = 0; r < kHalfBandSums; ++r)
            {
                const __m256 ck = _mm256_broadcast_ss(c + k + r);
#pragma GCC unroll 4
                for (uint32_t v = 0; v < kVectors; ++v)
                    a[v][r] = _mm256_fmadd_ps(ck, load(x + 8 * v + k + r), a[v][r]);
            }
        }
        for (uint32_t r = 0; k + r < end; ++r)
        {
            const __m256 ck = _mm256_broadcast_ss(c + k + r);
            for (uint32_t v = 0; v < kVectors; ++v)
                a[v][r] = _mm256_fmadd_ps(ck, load(x + 8 * v + k + r), a[v][r]);
        }
#pragma GCC unroll 4
        for (uint32_t v = 0; v < kVectors; ++v)
        {
#pragma GCC unroll 8
            for (uint32_t half = kHalfBandSums / 2; half > 0; half /= 2)
                for (uint32_t r = 0; r < half; ++r)
                    a[v][r] = _mm256_add_ps(a[v][r], a[v][r + half]);
            sum[v] = _mm256_add_ps(sum[v], a[v][0]);
        }
    }
}

template <uint32_t kVectors, bool kMasked>
__attribute__((target("avx512f"))) inline void
HalfBandSumsAvx512(const float* c, uint32_t taps, const float* x, __mmask16 lanes, __m512* sum)
{
    const auto load = [lanes](const float* p) __attribute__((target("avx512f")))
    {
        return kMasked ? _mm512_maskz_loadu_ps(lanes, p) : _mm512_loadu_ps(p);
    };
#pragma GCC unroll 4
    for (uint32_t v = 0; v < kVectors; ++v)
        sum[v] = _mm512_setzero_ps();
    for (uint32_t block = 0; block < taps; block += kHalfBandBlock)
    {
        const uint32_t end = taps - block < kHalfBandBlock ? taps : block + kHalfBandBlock;
        __m512 a[kVectors][kHalfBandSums];
#pragma GCC unroll 8
        for (uint32_t v = 0; v < kVectors; ++v)
            for (uint32_t r = 0; r < kHalfBandSums; ++r)
                a[v][r] = _mm512_setzero_ps();
        uint32_t k = block;
        for (; k + kHalfBandSums <= end; k += kHalfBandSums)
        {
#pragma GCC unroll 8
            for (uint32_t r = 0; r < kHalfBandSums; ++r)
            {
                const __m512 ck = _mm512_set1_ps(c[k + r]);
#pragma GCC unroll 4
                for (uint32_t v = 0; v < kVectors; ++v)
                    a[v][r] = _mm512_fmadd_ps(ck, load(x + 16 * v + k + r), a[v][r]);
            }
        }
        for (uint32_t r = 0; k + r < end; ++r)
        {
            const __m512 ck = _mm512_set1_ps(c[k + r]);
            for (uint32_t v = 0; v < kVectors; ++v)
                a[v][r] = _mm512_fmadd_ps(ck, load(x + 16 * v + k + r), a[v][r]);
        }
#pragma GCC unroll 4
        for (uint32_t v = 0; v < kVectors; ++v)
        {
#pragma GCC unroll 8
            for (uint32_t half = kHalfBandSums / 2; half > 0; half /= 2)
                for (uint32_t r = 0; r < half; ++r)
                    a[v][r] = _mm512_add_ps(a[v][r], a[v][r + half]);
            sum[v] = _mm512_add_ps(sum[v], a[v][0]);
        }
    }
}

// The AVX2 form; only where HasAvx2Fma().
template <int kRun>
__attribute__((target("avx2,fma"))) inline void HalfBandRunAvx(const float* c, uint32_t taps, const float* x,
                                                               float centre, const float* xc, uint32_t n,
                                                               uint32_t dense, float* y)
{
    const __m256 cc = _mm256_set1_ps(centre);
    const __m256i all = _mm256_set1_epi32(-1);
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        __m256 sum;
        HalfBandSumsAvx<1, false>(c, taps, x + i, all, &sum);
        HalfBandFinishAvx<kRun>(sum, cc, xc, i, all, 8, dense, y);
    }
    if (i < n)
    {
        const uint32_t count = n - i;
        const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(count)),
                                                 _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        __m256 sum;
        HalfBandSumsAvx<1, true>(c, taps, x + i, lanes, &sum);
        HalfBandFinishAvx<kRun>(sum, cc, xc, i, lanes, count, dense, y);
    }
}

// The AVX-512 form; only where HasAvx512().
template <int kRun>
__attribute__((target("avx512f"))) inline void
HalfBandRunAvx512(const float* c, uint32_t taps, const float* x, float centre, const float* xc, uint32_t n,
                  uint32_t dense, float* y)
{
    const __m512 cc = _mm512_set1_ps(centre);
    uint32_t i = 0;
    for (; i + 32 <= n; i += 32)
    {
        __m512 sum[2];
        HalfBandSumsAvx512<2, false>(c, taps, x + i, 0xffff, sum);
        HalfBandFinishAvx512<kRun>(sum[0], cc, xc, i, 0xffff, 16, dense, y);
        HalfBandFinishAvx512<kRun>(sum[1], cc, xc, i + 16, 0xffff, 16, dense, y);
    }
    for (; i < n; i += 16)
    {
        const uint32_t count = n - i < 16 ? n - i : 16;
        const __mmask16 lanes = static_cast<__mmask16>(count == 16 ? 0xffffu : (1u << count) - 1);
        __m512 sum;
        HalfBandSumsAvx512<1, true>(c, taps, x + i, lanes, &sum);
        HalfBandFinishAvx512<kRun>(sum, cc, xc, i, lanes, count, dense, y);
    }
}

// The widest of the two forms the processor has; false, and nothing done,
// where it has neither.
template <int kRun>
inline bool HalfBandRun(const float* c, uint32_t taps, const float* x, float centre, const float* xc,
                        uint32_t n, uint32_t dense, float* y)
{
    if (HasAvx512())
        HalfBandRunAvx512<kRun>(c, taps, x, centre, xc, n, dense, y);
    else if (HasAvx2Fma())
        HalfBandRunAvx<kRun>(c, taps, x, centre, xc, n, dense, y);
    else
        return false;
    return true;
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
