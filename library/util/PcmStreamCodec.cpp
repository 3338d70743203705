#include "library/util/PcmStreamCodec.h"

#include "library/util/PcmKernelsAvx2.h"
#include "library/util/PcmSamples.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace
{
using VectorForm = CPcmUtil::VectorForm;

unsigned BytesPerSample(unsigned bits)
{
    return (bits + 7) / 8;
}

// Mask of the top `bits` bits of a 32-bit word.
uint32_t WidthMask(unsigned bits)
{
    if (bits == 0)
        return 0;
    if (bits >= 32)
        return 0xFFFFFFFFu;
    return ~((1u << (32 - bits)) - 1);
}

// A left-justified sample rounded half up to `bits` bits, the positive end
// limited, the bits below the width cleared.
uint32_t RoundToWidth(int32_t sample, unsigned bits)
{
    if (bits >= 32)
        return static_cast<uint32_t>(sample);
    int64_t v = static_cast<int64_t>(sample) + (int64_t{1} << (31 - bits));
    if (v > INT32_MAX)
        v = INT32_MAX;
    return static_cast<uint32_t>(static_cast<int32_t>(v)) & WidthMask(bits);
}

inline __m128i LoadU(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

inline void StoreU(void* p, __m128i v)
{
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// ---------------------------------------------------------------------------
// The planar side: a left-justified word stored as an integer or as a float,
// and read back from either.

inline void PutOne(int32_t* d, uint32_t w)
{
    *d = static_cast<int32_t>(w);
}

inline void PutOne(float* d, uint32_t w)
{
    *d = PcmSamples::IntToFloat(static_cast<int32_t>(w));
}

inline void Put4(int32_t* d, __m128i w)
{
    StoreU(d, w);
}

inline void Put4(float* d, __m128i w)
{
    _mm_storeu_ps(d, PcmSamples::IntToFloat4(w));
}

inline int32_t GetOne(const int32_t* s)
{
    return *s;
}

inline int32_t GetOne(const float* s)
{
    return PcmSamples::FloatToInt(*s);
}

inline __m128i Get4(const int32_t* s)
{
    return LoadU(s);
}

inline __m128i Get4(const float* s)
{
    return PcmSamples::FloatToInt4(_mm_loadu_ps(s));
}

// ---------------------------------------------------------------------------
// Generic paths: any width, any channel count, one sample at a time.

template <bool Msb>
uint32_t ReadSample(const unsigned char* p, unsigned bytesPerSample)
{
    uint32_t v = 0;
    for (unsigned k = 0; k < bytesPerSample; ++k)
    {
        const unsigned shift = Msb ? 24 - 8 * k : 32 - 8 * bytesPerSample + 8 * k;
        v |= static_cast<uint32_t>(p[k]) << shift;
    }
    return v;
}

template <bool Msb>
void WriteSample(unsigned char* p, uint32_t v, unsigned bytesPerSample)
{
    for (unsigned k = 0; k < bytesPerSample; ++k)
    {
        const unsigned shift = Msb ? 24 - 8 * k : 32 - 8 * bytesPerSample + 8 * k;
        p[k] = static_cast<unsigned char>(v >> shift);
    }
}

template <bool Msb, typename Sample>
void DecodeGeneric(const unsigned char* bytes, Sample* const* dst, size_t n, unsigned channels, unsigned bits,
                   size_t dstOffset)
{
    const unsigned bps = BytesPerSample(bits);
    const size_t frameBytes = size_t{channels} * bps;
    const uint32_t mask = WidthMask(bits);
    for (unsigned c = 0; c < channels; ++c)
    {
        if (dst[c] == nullptr)
            continue;
        Sample* d = dst[c] + dstOffset;
        const unsigned char* p = bytes + size_t{c} * bps;
        for (size_t i = 0; i < n; ++i, p += frameBytes)
            PutOne(d + i, ReadSample<Msb>(p, bps) & mask);
    }
}

template <bool Msb, typename Sample>
void EncodeGeneric(const Sample* const* src, unsigned char* bytes, size_t n, unsigned channels, unsigned bits,
                   size_t srcOffset)
{
    const unsigned bps = BytesPerSample(bits);
    if (bps == 0)
        return;
    const size_t frameBytes = size_t{channels} * bps;
    for (unsigned c = 0; c < channels; ++c)
    {
        const Sample* s = src[c] != nullptr ? src[c] + srcOffset : nullptr;
        unsigned char* p = bytes + size_t{c} * bps;
        for (size_t i = 0; i < n; ++i, p += frameBytes)
            WriteSample<Msb>(p, RoundToWidth(s != nullptr ? GetOne(s + i) : 0, bits), bps);
    }
}

// ---------------------------------------------------------------------------
// SSE2 paths for 16, 24 and 32 bits, one and two channels.

inline __m128i ByteSwap16(__m128i x)
{
    return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

inline __m128i ByteSwap32(__m128i x)
{
    x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
    x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
    return ByteSwap16(x);
}

inline __m128i ByteSwap64(__m128i x)
{
    x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(0, 1, 2, 3));
    x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(0, 1, 2, 3));
    return ByteSwap16(x);
}

// Four 24-bit samples (12 bytes, stream order) to four left-justified words.
// Reads 14 bytes: two overlapping 8-byte loads, each holding two samples.
template <bool Msb>
inline __m128i Read4x24(const unsigned char* p)
{
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 6));
    const __m128i q = _mm_unpacklo_epi64(lo, hi);
    const __m128i evenMask = _mm_set1_epi64x(0x00000000FFFFFF00LL);
    const __m128i oddMask = _mm_set1_epi64x(static_cast<long long>(0xFFFFFF0000000000ULL));
    if (Msb)
    {
        // Reversed, the first sample's bytes lie in bits 40..63 and the second's in 16..39.
        const __m128i r = ByteSwap64(q);
        return _mm_or_si128(_mm_and_si128(_mm_srli_epi64(r, 32), evenMask),
                            _mm_and_si128(_mm_slli_epi64(r, 24), oddMask));
    }
    return _mm_or_si128(_mm_and_si128(_mm_slli_epi64(q, 8), evenMask),
                        _mm_and_si128(_mm_slli_epi64(q, 16), oddMask));
}

// Four consecutive left-justified samples; reads kSlack bytes past them.
template <unsigned Bits, bool Msb>
struct StreamVec;

template <bool Msb>
struct StreamVec<16, Msb>
{
    static constexpr size_t kSlack = 0;
    static __m128i Read4(const unsigned char* p)
    {
        __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        if (Msb)
            x = ByteSwap16(x);
        return _mm_unpacklo_epi16(_mm_setzero_si128(), x);
    }
};

template <bool Msb>
struct StreamVec<24, Msb>
{
    static constexpr size_t kSlack = 2;
    static __m128i Read4(const unsigned char* p) { return Read4x24<Msb>(p); }
};

template <bool Msb>
struct StreamVec<32, Msb>
{
    static constexpr size_t kSlack = 0;
    static __m128i Read4(const unsigned char* p)
    {
        const __m128i x = LoadU(p);
        return Msb ? ByteSwap32(x) : x;
    }
};

template <unsigned Bits, bool Msb, typename Sample>
void DecodeMono(const unsigned char* p, Sample* d, size_t n)
{
    constexpr size_t bps = Bits / 8;
    size_t i = 0;
    if constexpr (Bits == 16)
    {
        for (; i + 8 <= n; i += 8)
        {
            __m128i x = LoadU(p + i * 2);
            if (Msb)
                x = ByteSwap16(x);
            Put4(d + i, _mm_unpacklo_epi16(_mm_setzero_si128(), x));
            Put4(d + i + 4, _mm_unpackhi_epi16(_mm_setzero_si128(), x));
        }
    }
    else
    {
        for (; (i + 4) * bps + StreamVec<Bits, Msb>::kSlack <= n * bps; i += 4)
            Put4(d + i, StreamVec<Bits, Msb>::Read4(p + i * bps));
    }
    for (; i < n; ++i)
        PutOne(d + i, ReadSample<Msb>(p + i * bps, bps));
}

template <unsigned Bits, bool Msb, typename Sample>
void DecodeStereo(const unsigned char* p, Sample* d0, Sample* d1, size_t n)
{
    constexpr size_t bps = Bits / 8;
    constexpr size_t frameBytes = 2 * bps;
    size_t i = 0;
    if constexpr (Bits == 16)
    {
        // Four frames per word pair: channel 0 in the low half of each 32-bit lane.
        const __m128i highHalf = _mm_set1_epi32(static_cast<int>(0xFFFF0000u));
        for (; i + 4 <= n; i += 4)
        {
            __m128i x = LoadU(p + i * frameBytes);
            if (Msb)
                x = ByteSwap16(x);
            Put4(d0 + i, _mm_slli_epi32(x, 16));
            Put4(d1 + i, _mm_and_si128(x, highHalf));
        }
    }
    else
    {
        for (; (i + 4) * frameBytes + StreamVec<Bits, Msb>::kSlack <= n * frameBytes; i += 4)
        {
            const unsigned char* q = p + i * frameBytes;
            const __m128 a = _mm_castsi128_ps(StreamVec<Bits, Msb>::Read4(q));           // 0 1 0 1
            const __m128 b = _mm_castsi128_ps(StreamVec<Bits, Msb>::Read4(q + 4 * bps)); // 0 1 0 1
            Put4(d0 + i, _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))));
            Put4(d1 + i, _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
        }
    }
    for (; i < n; ++i)
    {
        PutOne(d0 + i, ReadSample<Msb>(p + i * frameBytes, bps));
        PutOne(d1 + i, ReadSample<Msb>(p + i * frameBytes + bps, bps));
    }
}

// Rounds four left-justified samples to 16 bits, as 32-bit lanes holding the
// value before the signed pack (which limits 0x8000 to 0x7FFF).
inline __m128i Round16(__m128i s)
{
    const __m128i half = _mm_and_si128(_mm_srli_epi32(s, 15), _mm_set1_epi32(1));
    return _mm_add_epi32(_mm_srai_epi32(s, 16), half);
}

inline __m128i Pack16(__m128i a, __m128i b, bool msb)
{
    const __m128i x = _mm_packs_epi32(Round16(a), Round16(b));
    return msb ? ByteSwap16(x) : x;
}

// Rounds four samples to 24 bits and writes them as 12 stream bytes, with
// two overlapping 8-byte stores: 2 bytes past the 12 are written over.
template <bool Msb>
inline void Write4x24(unsigned char* p, __m128i s)
{
    // Half up at bit 7. A sum past the positive end wraps negative; inverting
    // it gives 0x7FFFFFxx, whose top three bytes are the limit.
    const __m128i t = _mm_add_epi32(s, _mm_set1_epi32(0x80));
    const __m128i v = _mm_xor_si128(t, _mm_cmpgt_epi32(s, t));
    // Each 64-bit half: the three bytes of its two samples side by side.
    const __m128i lowMask = _mm_set1_epi64x(0x0000000000FFFFFFLL);
    const __m128i highMask = _mm_set1_epi64x(0x0000FFFFFF000000LL);
    __m128i q;
    if (Msb)
    {
        const __m128i r = ByteSwap32(v); // top three bytes reversed into bytes 0..2
        q = _mm_or_si128(_mm_and_si128(r, lowMask), _mm_and_si128(_mm_srli_epi64(r, 8), highMask));
    }
    else
    {
        q = _mm_or_si128(_mm_and_si128(_mm_srli_epi64(v, 8), lowMask),
                         _mm_and_si128(_mm_srli_epi64(v, 16), highMask));
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), q);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 6), _mm_unpackhi_epi64(q, q));
}

inline __m128i Prepare32(__m128i s, bool msb)
{
    return msb ? ByteSwap32(s) : s;
}

template <unsigned Bits, bool Msb, typename Sample>
void EncodeMono(const Sample* s, unsigned char* p, size_t n)
{
    constexpr size_t bps = Bits / 8;
    size_t i = 0;
    if constexpr (Bits == 16)
    {
        for (; i + 8 <= n; i += 8)
            StoreU(p + i * 2, Pack16(Get4(s + i), Get4(s + i + 4), Msb));
    }
    else if constexpr (Bits == 24)
    {
        for (; i + 4 < n; i += 4) // one more sample after the block covers the stores' 2 extra bytes
            Write4x24<Msb>(p + i * 3, Get4(s + i));
    }
    else
    {
        for (; i + 4 <= n; i += 4)
            StoreU(p + i * 4, Prepare32(Get4(s + i), Msb));
    }
    for (; i < n; ++i)
        WriteSample<Msb>(p + i * bps, RoundToWidth(GetOne(s + i), Bits), bps);
}

template <unsigned Bits, bool Msb, typename Sample>
void EncodeStereo(const Sample* s0, const Sample* s1, unsigned char* p, size_t n)
{
    constexpr size_t bps = Bits / 8;
    constexpr size_t frameBytes = 2 * bps;
    // 24-bit stores write 2 bytes past the block: keep a frame after it.
    const size_t vectorEnd = Bits == 24 ? n - std::min<size_t>(n, 1) : n;
    size_t i = 0;
    for (; i + 4 <= vectorEnd; i += 4)
    {
        const __m128i l = Get4(s0 + i);
        const __m128i r = Get4(s1 + i);
        const __m128i a = _mm_unpacklo_epi32(l, r); // frames 0, 1
        const __m128i b = _mm_unpackhi_epi32(l, r); // frames 2, 3
        unsigned char* q = p + i * frameBytes;
        if constexpr (Bits == 16)
        {
            StoreU(q, Pack16(a, b, Msb));
        }
        else if constexpr (Bits == 24)
        {
            Write4x24<Msb>(q, a);
            Write4x24<Msb>(q + 12, b);
        }
        else
        {
            StoreU(q, Prepare32(a, Msb));
            StoreU(q + 16, Prepare32(b, Msb));
        }
    }
    for (; i < n; ++i)
    {
        WriteSample<Msb>(p + i * frameBytes, RoundToWidth(GetOne(s0 + i), Bits), bps);
        WriteSample<Msb>(p + i * frameBytes + bps, RoundToWidth(GetOne(s1 + i), Bits), bps);
    }
}

// ---------------------------------------------------------------------------
// Choosing a path: AVX2 takes what it can in whole vectors and SSE2 the rest;
// the generic path serves the other layouts and the scalar form.

bool UseAvx2(VectorForm form)
{
    return form == VectorForm::AVX2 && PcmKernelsAvx2::Available();
}

template <unsigned Bits, bool Msb, typename Sample>
bool DecodeFast(VectorForm form, const unsigned char* bytes, Sample* const* dst, size_t n, unsigned channels,
                size_t dstOffset)
{
    constexpr size_t bps = Bits / 8;
    const bool avx2 = UseAvx2(form);
    if (channels == 1 && dst[0] != nullptr)
    {
        Sample* d = dst[0] + dstOffset;
        const size_t done = avx2 ? PcmKernelsAvx2::DecodeMono(Bits, Msb, bytes, d, n) : 0;
        DecodeMono<Bits, Msb>(bytes + done * bps, d + done, n - done);
        return true;
    }
    if (channels == 2 && dst[0] != nullptr && dst[1] != nullptr)
    {
        Sample* d0 = dst[0] + dstOffset;
        Sample* d1 = dst[1] + dstOffset;
        const size_t done = avx2 ? PcmKernelsAvx2::DecodeStereo(Bits, Msb, bytes, d0, d1, n) : 0;
        DecodeStereo<Bits, Msb>(bytes + done * 2 * bps, d0 + done, d1 + done, n - done);
        return true;
    }
    return false;
}

template <unsigned Bits, bool Msb, typename Sample>
bool EncodeFast(VectorForm form, const Sample* const* src, unsigned char* bytes, size_t n, unsigned channels,
                size_t srcOffset)
{
    constexpr size_t bps = Bits / 8;
    const bool avx2 = UseAvx2(form);
    if (channels == 1 && src[0] != nullptr)
    {
        const Sample* s = src[0] + srcOffset;
        const size_t done = avx2 ? PcmKernelsAvx2::EncodeMono(Bits, Msb, s, bytes, n) : 0;
        EncodeMono<Bits, Msb>(s + done, bytes + done * bps, n - done);
        return true;
    }
    if (channels == 2 && src[0] != nullptr && src[1] != nullptr)
    {
        const Sample* s0 = src[0] + srcOffset;
        const Sample* s1 = src[1] + srcOffset;
        const size_t done = avx2 ? PcmKernelsAvx2::EncodeStereo(Bits, Msb, s0, s1, bytes, n) : 0;
        EncodeStereo<Bits, Msb>(s0 + done, s1 + done, bytes + done * 2 * bps, n - done);
        return true;
    }
    return false;
}

// Calls op with the width as a type, for the widths with vector paths;
// false for the others.
template <typename Op>
bool ForVectorWidth(unsigned bits, Op op)
{
    switch (bits)
    {
    case 16:
        return op(std::integral_constant<unsigned, 16>{});
    case 24:
        return op(std::integral_constant<unsigned, 24>{});
    case 32:
        return op(std::integral_constant<unsigned, 32>{});
    default:
        return false;
    }
}

template <bool Msb, typename Sample>
void DecodeOrder(VectorForm form, const unsigned char* bytes, Sample* const* dst, size_t n, unsigned channels,
                 unsigned bits, size_t dstOffset)
{
    const auto vector = [&](auto width)
    { return DecodeFast<decltype(width)::value, Msb>(form, bytes, dst, n, channels, dstOffset); };
    if (form == VectorForm::Scalar || !ForVectorWidth(bits, vector))
        DecodeGeneric<Msb>(bytes, dst, n, channels, bits, dstOffset);
}

template <bool Msb, typename Sample>
void EncodeOrder(VectorForm form, const Sample* const* src, unsigned char* bytes, size_t n, unsigned channels,
                 unsigned bits, size_t srcOffset)
{
    const auto vector = [&](auto width)
    { return EncodeFast<decltype(width)::value, Msb>(form, src, bytes, n, channels, srcOffset); };
    if (form == VectorForm::Scalar || !ForVectorWidth(bits, vector))
        EncodeGeneric<Msb>(src, bytes, n, channels, bits, srcOffset);
}
} // namespace

namespace PcmStreamCodec
{
template <typename Sample>
void Decode(VectorForm form, bool msb, const unsigned char* bytes, Sample* const* dst, size_t n,
            unsigned channels, unsigned bits, size_t dstOffset)
{
    if (msb)
        DecodeOrder<true>(form, bytes, dst, n, channels, bits, dstOffset);
    else
        DecodeOrder<false>(form, bytes, dst, n, channels, bits, dstOffset);
}

template <typename Sample>
void Encode(VectorForm form, bool msb, const Sample* const* src, unsigned char* bytes, size_t n,
            unsigned channels, unsigned bits, size_t srcOffset)
{
    if (msb)
        EncodeOrder<true>(form, src, bytes, n, channels, bits, srcOffset);
    else
        EncodeOrder<false>(form, src, bytes, n, channels, bits, srcOffset);
}

template void Decode<int32_t>(VectorForm, bool, const unsigned char*, int32_t* const*, size_t, unsigned,
                              unsigned, size_t);
template void Decode<float>(VectorForm, bool, const unsigned char*, float* const*, size_t, unsigned, unsigned,
                            size_t);
template void Encode<int32_t>(VectorForm, bool, const int32_t* const*, unsigned char*, size_t, unsigned,
                              unsigned, size_t);
template void Encode<float>(VectorForm, bool, const float* const*, unsigned char*, size_t, unsigned, unsigned,
                            size_t);
} // namespace PcmStreamCodec
