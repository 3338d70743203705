#include "library/util/PcmKernelsAvx2.h"

#include <immintrin.h>

#include <atomic>
#include <climits>
#include <type_traits>

// Only these functions use AVX2; the rest of the program keeps to SSE2, and
// CPcmUtil calls them only on processors that have it.
#define PCM_AVX2 __attribute__((target("avx2")))

namespace
{
// The sample width, for choosing a kernel by overload.
template <unsigned Bits>
using Width = std::integral_constant<unsigned, Bits>;

// A byte shuffle for one 128-bit lane; -1 gives a zero byte.
struct LaneShuffle
{
    signed char bytes[16];
};

constexpr LaneShuffle kSwap16 = {{1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14}};
constexpr LaneShuffle kSwap32 = {{3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12}};
// Interleaved 16-bit frames (Msb) to the left-justified words of channel 0 and of channel 1.
constexpr LaneShuffle kMsb16Left = {{-1, -1, 1, 0, -1, -1, 5, 4, -1, -1, 9, 8, -1, -1, 13, 12}};
constexpr LaneShuffle kMsb16Right = {{-1, -1, 3, 2, -1, -1, 7, 6, -1, -1, 11, 10, -1, -1, 15, 14}};
// Four 3-byte samples to four left-justified words, in stream order (mono) or
// as two frames' left samples followed by their right samples (stereo).
constexpr LaneShuffle kLsb24Mono = {{-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11}};
constexpr LaneShuffle kMsb24Mono = {{-1, 2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9}};
constexpr LaneShuffle kLsb24Stereo = {{-1, 0, 1, 2, -1, 6, 7, 8, -1, 3, 4, 5, -1, 9, 10, 11}};
constexpr LaneShuffle kMsb24Stereo = {{-1, 2, 1, 0, -1, 8, 7, 6, -1, 5, 4, 3, -1, 11, 10, 9}};
// Four words to their top three bytes, packed into the lane's first 12 bytes.
constexpr LaneShuffle kLsb24Pack = {{1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, -1, -1, -1, -1}};
constexpr LaneShuffle kMsb24Pack = {{3, 2, 1, 7, 6, 5, 11, 10, 9, 15, 14, 13, -1, -1, -1, -1}};

PCM_AVX2 inline __m128i Load128(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

PCM_AVX2 inline void Store128(void* p, __m128i v)
{
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

PCM_AVX2 inline __m256i Load(const void* p)
{
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

PCM_AVX2 inline void Store(void* p, __m256i v)
{
    _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

// The low lane from lo, the high lane from hi, 16 bytes each.
PCM_AVX2 inline __m256i Load2(const void* lo, const void* hi)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(Load128(lo)), Load128(hi), 1);
}

PCM_AVX2 inline __m256i BothLanes(const LaneShuffle& s)
{
    return _mm256_broadcastsi128_si256(Load128(s.bytes));
}

PCM_AVX2 inline __m256i Shuffle(__m256i x, const LaneShuffle& s)
{
    return _mm256_shuffle_epi8(x, BothLanes(s));
}

// Interleaves two channels' words: frames 0..3 and frames 4..7.
PCM_AVX2 inline void Interleave(__m256i l, __m256i r, __m256i* first, __m256i* second)
{
    const __m256i lo = _mm256_unpacklo_epi32(l, r); // frames 0, 1 | 4, 5
    const __m256i hi = _mm256_unpackhi_epi32(l, r); // frames 2, 3 | 6, 7
    *first = _mm256_permute2x128_si256(lo, hi, 0x20);
    *second = _mm256_permute2x128_si256(lo, hi, 0x31);
}

// The planar side: eight left-justified words stored as integers or as
// floats, and read back from either.
PCM_AVX2 inline void Put8(int32_t* d, __m256i w)
{
    Store(d, w);
}

PCM_AVX2 inline void Put8(float* d, __m256i w)
{
    _mm256_storeu_ps(d, _mm256_mul_ps(_mm256_cvtepi32_ps(w), _mm256_set1_ps(1.0f / 2147483648.0f)));
}

PCM_AVX2 inline __m256i Get8(const int32_t* s)
{
    return Load(s);
}

// Out-of-range lanes and NaN convert to 0x80000000: the positive ones are
// flipped to 0x7FFFFFFF, the others raised to -0x7FFFFFFF.
PCM_AVX2 inline __m256i Get8(const float* s)
{
    const __m256 scale = _mm256_set1_ps(2147483648.0f);
    const __m256 v = _mm256_mul_ps(_mm256_loadu_ps(s), scale);
    const __m256i positiveEnd = _mm256_castps_si256(_mm256_cmp_ps(v, scale, _CMP_GE_OQ));
    const __m256i r = _mm256_xor_si256(_mm256_cvttps_epi32(v), positiveEnd);
    return _mm256_max_epi32(r, _mm256_set1_epi32(-INT_MAX));
}

// Eight samples as words whose top `Bits` bits are the samples rounded half
// up to that width. Each sample is first limited to the largest word that
// rounds to the positive end (0x7FFF0000 for 16 bits, 0x7FFFFF00 for 24), so
// that adding the half step cannot overflow; float samples are limited
// before their conversion, which also keeps 2^31 and above from wrapping.
// Below the positive end nothing changes, so the result is that of rounding
// the sample itself (a float sample being converted as Get8 does: NaN and
// the negative end give 0x80000000 here, 0x80000001 there, the same rounded).
template <unsigned Bits>
constexpr int32_t kRoundingLimit = INT32_MAX & ~((int32_t{1} << (32 - Bits)) - 1);

template <unsigned Bits>
PCM_AVX2 inline __m256i Rounded8(const int32_t* s)
{
    const __m256i limited = _mm256_min_epi32(Load(s), _mm256_set1_epi32(kRoundingLimit<Bits>));
    return _mm256_add_epi32(limited, _mm256_set1_epi32(1 << (31 - Bits)));
}

template <unsigned Bits>
PCM_AVX2 inline __m256i Rounded8(const float* s)
{
    const __m256 v = _mm256_mul_ps(_mm256_loadu_ps(s), _mm256_set1_ps(2147483648.0f));
    // The limit is the first operand: a NaN sample passes through to the conversion.
    const __m256 limited = _mm256_min_ps(_mm256_set1_ps(static_cast<float>(kRoundingLimit<Bits>)), v);
    return _mm256_add_epi32(_mm256_cvttps_epi32(limited), _mm256_set1_epi32(1 << (31 - Bits)));
}

// ---------------------------------------------------------------------------
// Decoding

template <bool Msb, typename Sample>
PCM_AVX2 size_t DecodeMono(Width<16>, const unsigned char* p, Sample* d, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        __m128i x = Load128(p + 2 * i);
        if (Msb)
            x = _mm_shuffle_epi8(x, Load128(kSwap16.bytes));
        Put8(d + i, _mm256_slli_epi32(_mm256_cvtepu16_epi32(x), 16));
    }
    return i;
}

template <bool Msb, typename Sample>
PCM_AVX2 size_t DecodeStereo(Width<16>, const unsigned char* p, Sample* d0, Sample* d1, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        const __m256i x = Load(p + 4 * i); // one frame in each word
        if (Msb)
        {
            Put8(d0 + i, Shuffle(x, kMsb16Left));
            Put8(d1 + i, Shuffle(x, kMsb16Right));
        }
        else
        {
            Put8(d0 + i, _mm256_slli_epi32(x, 16));
            Put8(d1 + i, _mm256_and_si256(x, _mm256_set1_epi32(static_cast<int>(0xFFFF0000u))));
        }
    }
    return i;
}

// Each 16-byte load takes 12 bytes: the last one reads 4 bytes past its samples.
template <bool Msb, typename Sample>
PCM_AVX2 size_t DecodeMono(Width<24>, const unsigned char* p, Sample* d, size_t n)
{
    const LaneShuffle& order = Msb ? kMsb24Mono : kLsb24Mono;
    size_t i = 0;
    for (; 3 * i + 28 <= 3 * n; i += 8)
        Put8(d + i, Shuffle(Load2(p + 3 * i, p + 3 * i + 12), order));
    return i;
}

template <bool Msb, typename Sample>
PCM_AVX2 size_t DecodeStereo(Width<24>, const unsigned char* p, Sample* d0, Sample* d1, size_t n)
{
    const LaneShuffle& order = Msb ? kMsb24Stereo : kLsb24Stereo;
    size_t i = 0;
    for (; 6 * i + 52 <= 6 * n; i += 8)
    {
        const unsigned char* q = p + 6 * i;
        const __m256i a = Shuffle(Load2(q, q + 24), order);      // L0 L1 R0 R1 | L4 L5 R4 R5
        const __m256i b = Shuffle(Load2(q + 12, q + 36), order); // L2 L3 R2 R3 | L6 L7 R6 R7
        Put8(d0 + i, _mm256_unpacklo_epi64(a, b));
        Put8(d1 + i, _mm256_unpackhi_epi64(a, b));
    }
    return i;
}

template <bool Msb, typename Sample>
PCM_AVX2 size_t DecodeMono(Width<32>, const unsigned char* p, Sample* d, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        const __m256i x = Load(p + 4 * i);
        Put8(d + i, Msb ? Shuffle(x, kSwap32) : x);
    }
    return i;
}

template <bool Msb, typename Sample>
PCM_AVX2 size_t DecodeStereo(Width<32>, const unsigned char* p, Sample* d0, Sample* d1, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        const unsigned char* q = p + 8 * i;
        __m256i a = Load2(q, q + 32);      // frames 0, 1 | 4, 5
        __m256i b = Load2(q + 16, q + 48); // frames 2, 3 | 6, 7
        if (Msb)
        {
            a = Shuffle(a, kSwap32);
            b = Shuffle(b, kSwap32);
        }
        const __m256 fa = _mm256_castsi256_ps(a), fb = _mm256_castsi256_ps(b);
        Put8(d0 + i, _mm256_castps_si256(_mm256_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0))));
        Put8(d1 + i, _mm256_castps_si256(_mm256_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1))));
    }
    return i;
}

// ---------------------------------------------------------------------------
// Encoding

template <bool Msb, typename Sample>
PCM_AVX2 size_t EncodeMono(Width<16>, const Sample* s, unsigned char* p, size_t n)
{
    size_t i = 0;
    for (; i + 16 <= n; i += 16)
    {
        const __m256i a = _mm256_srai_epi32(Rounded8<16>(s + i), 16);
        const __m256i b = _mm256_srai_epi32(Rounded8<16>(s + i + 8), 16);
        // The pack works per lane: a0-3 b0-3 | a4-7 b4-7; put the halves in order.
        __m256i x = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0));
        if (Msb)
            x = Shuffle(x, kSwap16);
        Store(p + 2 * i, x);
    }
    return i;
}

template <bool Msb, typename Sample>
PCM_AVX2 size_t EncodeStereo(Width<16>, const Sample* s0, const Sample* s1, unsigned char* p, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        const __m256i l = Rounded8<16>(s0 + i);
        const __m256i r = Rounded8<16>(s1 + i);
        // Each frame's word: the left sample's top half below the right one's.
        __m256i x = _mm256_blend_epi16(_mm256_srli_epi32(l, 16), r, 0xAA);
        if (Msb)
            x = Shuffle(x, kSwap16);
        Store(p + 4 * i, x);
    }
    return i;
}

// Each store writes 32 bytes for 24: the 8 after them are written over later.
template <bool Msb, typename Sample>
PCM_AVX2 size_t EncodeMono(Width<24>, const Sample* s, unsigned char* p, size_t n)
{
    const LaneShuffle& pack = Msb ? kMsb24Pack : kLsb24Pack;
    const __m256i joinLanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    size_t i = 0;
    for (; 3 * i + 32 <= 3 * n; i += 8)
    {
        const __m256i x = Shuffle(Rounded8<24>(s + i), pack);
        Store(p + 3 * i, _mm256_permutevar8x32_epi32(x, joinLanes));
    }
    return i;
}

// Four 16-byte stores of 12 bytes each, in stream order, each writing over
// the 4 bytes the one before wrote past its samples.
template <bool Msb, typename Sample>
PCM_AVX2 size_t EncodeStereo(Width<24>, const Sample* s0, const Sample* s1, unsigned char* p, size_t n)
{
    const LaneShuffle& pack = Msb ? kMsb24Pack : kLsb24Pack;
    size_t i = 0;
    for (; 6 * i + 52 <= 6 * n; i += 8)
    {
        const __m256i l = Rounded8<24>(s0 + i);
        const __m256i r = Rounded8<24>(s1 + i);
        const __m256i a = Shuffle(_mm256_unpacklo_epi32(l, r), pack); // frames 0, 1 | 4, 5
        const __m256i b = Shuffle(_mm256_unpackhi_epi32(l, r), pack); // frames 2, 3 | 6, 7
        unsigned char* q = p + 6 * i;
        Store128(q, _mm256_castsi256_si128(a));
        Store128(q + 12, _mm256_castsi256_si128(b));
        Store128(q + 24, _mm256_extracti128_si256(a, 1));
        Store128(q + 36, _mm256_extracti128_si256(b, 1));
    }
    return i;
}

template <bool Msb, typename Sample>
PCM_AVX2 size_t EncodeMono(Width<32>, const Sample* s, unsigned char* p, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        const __m256i x = Get8(s + i);
        Store(p + 4 * i, Msb ? Shuffle(x, kSwap32) : x);
    }
    return i;
}

template <bool Msb, typename Sample>
PCM_AVX2 size_t EncodeStereo(Width<32>, const Sample* s0, const Sample* s1, unsigned char* p, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        __m256i first, second;
        Interleave(Get8(s0 + i), Get8(s1 + i), &first, &second);
        if (Msb)
        {
            first = Shuffle(first, kSwap32);
            second = Shuffle(second, kSwap32);
        }
        Store(p + 8 * i, first);
        Store(p + 8 * i + 32, second);
    }
    return i;
}

// ---------------------------------------------------------------------------
// Encoding float stereo with AVX-512 (F and BW), sixteen frames at a time

#define PCM_AVX512 __attribute__((target("avx512f,avx512bw")))

// GCC 12's AVX-512 headers fill unused lanes from a deliberately undefined
// value and warn about it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

bool HasAvx512()
{
    static const bool has = []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0;
    }();
    return has;
}

// Rounded8 for sixteen float samples, with the same operations in the same
// order (the limit first, so that NaN reaches the conversion).
template <unsigned Bits>
PCM_AVX512 inline __m512i Rounded16(const float* s)
{
    const __m512 v = _mm512_mul_ps(_mm512_loadu_ps(s), _mm512_set1_ps(2147483648.0f));
    const __m512 limited = _mm512_min_ps(_mm512_set1_ps(static_cast<float>(kRoundingLimit<Bits>)), v);
    return _mm512_add_epi32(_mm512_cvttps_epi32(limited), _mm512_set1_epi32(1 << (31 - Bits)));
}

PCM_AVX512 inline __m512i Shuffle16(__m512i x, const LaneShuffle& s)
{
    return _mm512_shuffle_epi8(x, _mm512_broadcast_i32x4(Load128(s.bytes)));
}

template <bool Msb>
PCM_AVX512 size_t EncodeStereoWide(Width<16>, const float* s0, const float* s1, unsigned char* p, size_t n)
{
    size_t i = 0;
    for (; i + 16 <= n; i += 16)
    {
        const __m512i l = Rounded16<16>(s0 + i);
        const __m512i r = Rounded16<16>(s1 + i);
        // Each frame's word: the left sample's top half below the right one's.
        __m512i x = _mm512_mask_blend_epi16(0xAAAAAAAA, _mm512_srli_epi32(l, 16), r);
        if (Msb)
            x = Shuffle16(x, kSwap16);
        _mm512_storeu_si512(p + 4 * i, x);
    }
    return i;
}

// Sixteen frames are 96 bytes: two 64-byte stores of 48 bytes each, the
// second writing over the 16 bytes the first wrote past its samples, and
// itself writing 16 past the frames that the next round or the caller's
// form writes over.
template <bool Msb>
PCM_AVX512 size_t EncodeStereoWide(Width<24>, const float* s0, const float* s1, unsigned char* p, size_t n)
{
    const LaneShuffle& pack = Msb ? kMsb24Pack : kLsb24Pack;
    // Lane k of a holds frames 4k and 4k + 1 in its first 12 bytes, of b
    // frames 4k + 2 and 4k + 3: frames 0 .. 7 from lanes 0 and 1, 8 .. 15
    // from lanes 2 and 3.
    const __m512i firstHalf = _mm512_setr_epi32(0, 1, 2, 16, 17, 18, 4, 5, 6, 20, 21, 22, 0, 0, 0, 0);
    const __m512i secondHalf = _mm512_setr_epi32(8, 9, 10, 24, 25, 26, 12, 13, 14, 28, 29, 30, 0, 0, 0, 0);
    size_t i = 0;
    for (; 6 * i + 112 <= 6 * n; i += 16)
    {
        const __m512i l = Rounded16<24>(s0 + i);
        const __m512i r = Rounded16<24>(s1 + i);
        const __m512i a = Shuffle16(_mm512_unpacklo_epi32(l, r), pack);
        const __m512i b = Shuffle16(_mm512_unpackhi_epi32(l, r), pack);
        unsigned char* q = p + 6 * i;
        _mm512_storeu_si512(q, _mm512_permutex2var_epi32(a, firstHalf, b));
        _mm512_storeu_si512(q + 48, _mm512_permutex2var_epi32(a, secondHalf, b));
    }
    return i;
}

#pragma GCC diagnostic pop

// The frames the AVX-512 kernels take (16 and 24 bits), 0 for other widths.
size_t EncodeStereoWideAny(unsigned bits, bool msb, const float* src0, const float* src1,
                           unsigned char* bytes, size_t n)
{
    if (bits == 16)
        return msb ? EncodeStereoWide<true>(Width<16>{}, src0, src1, bytes, n)
                   : EncodeStereoWide<false>(Width<16>{}, src0, src1, bytes, n);
    if (bits == 24)
        return msb ? EncodeStereoWide<true>(Width<24>{}, src0, src1, bytes, n)
                   : EncodeStereoWide<false>(Width<24>{}, src0, src1, bytes, n);
    return 0;
}

// ---------------------------------------------------------------------------
// Choosing a kernel

// Calls op with the width as a type; 0 for a width without kernels.
template <typename Op>
size_t ForWidth(unsigned bits, Op op)
{
    switch (bits)
    {
    case 16:
        return op(Width<16>{});
    case 24:
        return op(Width<24>{});
    case 32:
        return op(Width<32>{});
    default:
        return 0;
    }
}

template <typename Sample>
size_t DecodeMonoAny(unsigned bits, bool msb, const unsigned char* bytes, Sample* dst, size_t n)
{
    return ForWidth(
        bits, [&](auto width)
        { return msb ? DecodeMono<true>(width, bytes, dst, n) : DecodeMono<false>(width, bytes, dst, n); });
}

template <typename Sample>
size_t DecodeStereoAny(unsigned bits, bool msb, const unsigned char* bytes, Sample* dst0, Sample* dst1,
                       size_t n)
{
    return ForWidth(bits,
                    [&](auto width)
                    {
                        return msb ? DecodeStereo<true>(width, bytes, dst0, dst1, n)
                                   : DecodeStereo<false>(width, bytes, dst0, dst1, n);
                    });
}

template <typename Sample>
size_t EncodeMonoAny(unsigned bits, bool msb, const Sample* src, unsigned char* bytes, size_t n)
{
    return ForWidth(
        bits, [&](auto width)
        { return msb ? EncodeMono<true>(width, src, bytes, n) : EncodeMono<false>(width, src, bytes, n); });
}

template <typename Sample>
size_t EncodeStereoAny(unsigned bits, bool msb, const Sample* src0, const Sample* src1, unsigned char* bytes,
                       size_t n)
{
    return ForWidth(bits,
                    [&](auto width)
                    {
                        return msb ? EncodeStereo<true>(width, src0, src1, bytes, n)
                                   : EncodeStereo<false>(width, src0, src1, bytes, n);
                    });
}

PCM_AVX2 size_t IntToFloatAvx2(const int32_t* in, float* out, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        Put8(out + i, Load(in + i));
    return i;
}

PCM_AVX2 size_t FloatToIntAvx2(const float* in, int32_t* out, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        Store(out + i, Get8(in + i));
    return i;
}
} // namespace

namespace PcmKernelsAvx2
{
namespace
{
std::atomic<bool> g_avx512Disabled{false};
} // namespace

bool Available()
{
    static const bool available = []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
}

size_t DecodeMono(unsigned bits, bool msb, const unsigned char* bytes, int32_t* dst, size_t n)
{
    return DecodeMonoAny(bits, msb, bytes, dst, n);
}

size_t DecodeMono(unsigned bits, bool msb, const unsigned char* bytes, float* dst, size_t n)
{
    return DecodeMonoAny(bits, msb, bytes, dst, n);
}

size_t DecodeStereo(unsigned bits, bool msb, const unsigned char* bytes, int32_t* dst0, int32_t* dst1,
                    size_t n)
{
    return DecodeStereoAny(bits, msb, bytes, dst0, dst1, n);
}

size_t DecodeStereo(unsigned bits, bool msb, const unsigned char* bytes, float* dst0, float* dst1, size_t n)
{
    return DecodeStereoAny(bits, msb, bytes, dst0, dst1, n);
}

size_t EncodeMono(unsigned bits, bool msb, const int32_t* src, unsigned char* bytes, size_t n)
{
    return EncodeMonoAny(bits, msb, src, bytes, n);
}

size_t EncodeMono(unsigned bits, bool msb, const float* src, unsigned char* bytes, size_t n)
{
    return EncodeMonoAny(bits, msb, src, bytes, n);
}

size_t EncodeStereo(unsigned bits, bool msb, const int32_t* src0, const int32_t* src1, unsigned char* bytes,
                    size_t n)
{
    return EncodeStereoAny(bits, msb, src0, src1, bytes, n);
}

size_t EncodeStereo(unsigned bits, bool msb, const float* src0, const float* src1, unsigned char* bytes,
                    size_t n)
{
    const size_t wide = UseAvx512() ? EncodeStereoWideAny(bits, msb, src0, src1, bytes, n) : 0;
    const size_t frameBytes = 2 * size_t{bits / 8};
    return wide + EncodeStereoAny(bits, msb, src0 + wide, src1 + wide, bytes + wide * frameBytes, n - wide);
}

bool UseAvx512()
{
    return HasAvx512() && !g_avx512Disabled.load(std::memory_order_relaxed);
}

bool HasAvx512Hardware()
{
    return HasAvx512();
}

void DisableAvx512ForTests(bool disabled)
{
    g_avx512Disabled.store(disabled, std::memory_order_relaxed);
}

size_t IntToFloat(const int32_t* in, float* out, size_t n)
{
    return IntToFloatAvx2(in, out, n);
}

size_t FloatToInt(const float* in, int32_t* out, size_t n)
{
    return FloatToIntAvx2(in, out, n);
}
} // namespace PcmKernelsAvx2
