#include "library/util/CPcmUtil.h"

#include "library/util/CSystemUtil.h"

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
constexpr float kIntToFloatScale = 1.0f / 2147483648.0f;
constexpr float kFloatToIntScale = 2147483648.0f;

unsigned ClampBits(uint16_t bits)
{
    return bits > 32 ? 32u : bits;
}

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

// ---------------------------------------------------------------------------
// Generic stream paths: any width, any channel count.

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

template <bool Msb>
void DecodeGeneric(const unsigned char* bytes, int32_t* const* dst, size_t n, unsigned channels,
                   unsigned bits, size_t dstOffset)
{
    const unsigned bps = BytesPerSample(bits);
    const size_t frameBytes = size_t{channels} * bps;
    const uint32_t mask = WidthMask(bits);
    for (unsigned c = 0; c < channels; ++c)
    {
        if (dst[c] == nullptr)
            continue;
        int32_t* d = dst[c] + dstOffset;
        const unsigned char* p = bytes + size_t{c} * bps;
        for (size_t i = 0; i < n; ++i, p += frameBytes)
            d[i] = static_cast<int32_t>(ReadSample<Msb>(p, bps) & mask);
    }
}

template <bool Msb>
void EncodeGeneric(const int32_t* const* src, unsigned char* bytes, size_t n, unsigned channels,
                   unsigned bits, size_t srcOffset)
{
    const unsigned bps = BytesPerSample(bits);
    if (bps == 0)
        return;
    const size_t frameBytes = size_t{channels} * bps;
    for (unsigned c = 0; c < channels; ++c)
    {
        const int32_t* s = src[c] != nullptr ? src[c] + srcOffset : nullptr;
        unsigned char* p = bytes + size_t{c} * bps;
        for (size_t i = 0; i < n; ++i, p += frameBytes)
            WriteSample<Msb>(p, RoundToWidth(s != nullptr ? s[i] : 0, bits), bps);
    }
}

// ---------------------------------------------------------------------------
// Vector stream paths for 16, 24 and 32 bits, one and two channels (SSE2).

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

inline __m128i LoadU(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

inline void StoreU(void* p, __m128i v)
{
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
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

template <unsigned Bits, bool Msb>
void DecodeMono(const unsigned char* p, int32_t* d, size_t n)
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
            StoreU(d + i, _mm_unpacklo_epi16(_mm_setzero_si128(), x));
            StoreU(d + i + 4, _mm_unpackhi_epi16(_mm_setzero_si128(), x));
        }
    }
    else
    {
        for (; (i + 4) * bps + StreamVec<Bits, Msb>::kSlack <= n * bps; i += 4)
            StoreU(d + i, StreamVec<Bits, Msb>::Read4(p + i * bps));
    }
    for (; i < n; ++i)
        d[i] = static_cast<int32_t>(ReadSample<Msb>(p + i * bps, bps));
}

template <unsigned Bits, bool Msb>
void DecodeStereo(const unsigned char* p, int32_t* d0, int32_t* d1, size_t n)
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
            StoreU(d0 + i, _mm_slli_epi32(x, 16));
            StoreU(d1 + i, _mm_and_si128(x, highHalf));
        }
    }
    else
    {
        for (; (i + 4) * frameBytes + StreamVec<Bits, Msb>::kSlack <= n * frameBytes; i += 4)
        {
            const unsigned char* q = p + i * frameBytes;
            const __m128 a = _mm_castsi128_ps(StreamVec<Bits, Msb>::Read4(q));           // 0 1 0 1
            const __m128 b = _mm_castsi128_ps(StreamVec<Bits, Msb>::Read4(q + 4 * bps)); // 0 1 0 1
            StoreU(d0 + i, _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))));
            StoreU(d1 + i, _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
        }
    }
    for (; i < n; ++i)
    {
        d0[i] = static_cast<int32_t>(ReadSample<Msb>(p + i * frameBytes, bps));
        d1[i] = static_cast<int32_t>(ReadSample<Msb>(p + i * frameBytes + bps, bps));
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

template <unsigned Bits, bool Msb>
void EncodeMono(const int32_t* s, unsigned char* p, size_t n)
{
    constexpr size_t bps = Bits / 8;
    size_t i = 0;
    if constexpr (Bits == 16)
    {
        for (; i + 8 <= n; i += 8)
            StoreU(p + i * 2, Pack16(LoadU(s + i), LoadU(s + i + 4), Msb));
    }
    else if constexpr (Bits == 24)
    {
        for (; i + 4 < n; i += 4) // one more sample after the block covers the stores' 2 extra bytes
            Write4x24<Msb>(p + i * 3, LoadU(s + i));
    }
    else
    {
        for (; i + 4 <= n; i += 4)
            StoreU(p + i * 4, Prepare32(LoadU(s + i), Msb));
    }
    for (; i < n; ++i)
        WriteSample<Msb>(p + i * bps, RoundToWidth(s[i], Bits), bps);
}

template <unsigned Bits, bool Msb>
void EncodeStereo(const int32_t* s0, const int32_t* s1, unsigned char* p, size_t n)
{
    constexpr size_t bps = Bits / 8;
    constexpr size_t frameBytes = 2 * bps;
    // 24-bit stores write 2 bytes past the block: keep a frame after it.
    const size_t vectorEnd = Bits == 24 ? n - std::min<size_t>(n, 1) : n;
    size_t i = 0;
    for (; i + 4 <= vectorEnd; i += 4)
    {
        const __m128i l = LoadU(s0 + i);
        const __m128i r = LoadU(s1 + i);
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
        WriteSample<Msb>(p + i * frameBytes, RoundToWidth(s0[i], Bits), bps);
        WriteSample<Msb>(p + i * frameBytes + bps, RoundToWidth(s1[i], Bits), bps);
    }
}

template <unsigned Bits, bool Msb>
bool DecodeFast(const unsigned char* bytes, int32_t* const* dst, size_t n, unsigned channels,
                size_t dstOffset)
{
    if (channels == 1 && dst[0] != nullptr)
    {
        DecodeMono<Bits, Msb>(bytes, dst[0] + dstOffset, n);
        return true;
    }
    if (channels == 2 && dst[0] != nullptr && dst[1] != nullptr)
    {
        DecodeStereo<Bits, Msb>(bytes, dst[0] + dstOffset, dst[1] + dstOffset, n);
        return true;
    }
    return false;
}

template <unsigned Bits, bool Msb>
bool EncodeFast(const int32_t* const* src, unsigned char* bytes, size_t n, unsigned channels,
                size_t srcOffset)
{
    if (channels == 1 && src[0] != nullptr)
    {
        EncodeMono<Bits, Msb>(src[0] + srcOffset, bytes, n);
        return true;
    }
    if (channels == 2 && src[0] != nullptr && src[1] != nullptr)
    {
        EncodeStereo<Bits, Msb>(src[0] + srcOffset, src[1] + srcOffset, bytes, n);
        return true;
    }
    return false;
}

template <bool Msb>
uint32_t Decode(const unsigned char* bytes, int32_t* const* dst, uint32_t n, uint16_t channels,
                uint16_t bitsIn, uint32_t dstOffset)
{
    if (n == 0 || channels == 0 || dst == nullptr)
        return n;
    if (bytes == nullptr)
        return 0;
    const unsigned bits = ClampBits(bitsIn);
    bool done = false;
    if (bits == 16)
        done = DecodeFast<16, Msb>(bytes, dst, n, channels, dstOffset);
    else if (bits == 24)
        done = DecodeFast<24, Msb>(bytes, dst, n, channels, dstOffset);
    else if (bits == 32)
        done = DecodeFast<32, Msb>(bytes, dst, n, channels, dstOffset);
    if (!done)
        DecodeGeneric<Msb>(bytes, dst, n, channels, bits, dstOffset);
    return n;
}

template <bool Msb>
uint32_t Encode(const int32_t* const* src, unsigned char* bytes, uint32_t n, uint16_t channels,
                uint16_t bitsIn, uint32_t srcOffset)
{
    if (n == 0 || channels == 0 || bitsIn == 0)
        return n;
    if (src == nullptr || bytes == nullptr)
        return 0;
    const unsigned bits = ClampBits(bitsIn);
    bool done = false;
    if (bits == 16)
        done = EncodeFast<16, Msb>(src, bytes, n, channels, srcOffset);
    else if (bits == 24)
        done = EncodeFast<24, Msb>(src, bytes, n, channels, srcOffset);
    else if (bits == 32)
        done = EncodeFast<32, Msb>(src, bytes, n, channels, srcOffset);
    if (!done)
        EncodeGeneric<Msb>(src, bytes, n, channels, bits, srcOffset);
    return n;
}

// ---------------------------------------------------------------------------
// Float helpers. Callers hold a CScopedPreferredMxcsr.

inline int32_t FloatToInt(float x)
{
    const float v = x * kFloatToIntScale;
    if (v >= kFloatToIntScale)
        return INT32_MAX;
    if (!(v > -kFloatToIntScale)) // also NaN
        return -INT32_MAX;
    return static_cast<int32_t>(v);
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

uint32_t CPcmUtil::DecodeStreamLsb1(const unsigned char* bytes, int32_t* const* dst, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    return Decode<false>(bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::DecodeStreamMsb1(const unsigned char* bytes, int32_t* const* dst, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t dstOffset)
{
    return Decode<true>(bytes, dst, n, channels, bits, dstOffset);
}

uint32_t CPcmUtil::EncodeStreamLsb1(const int32_t* const* src, unsigned char* bytes, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    return Encode<false>(src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::EncodeStreamMsb1(const int32_t* const* src, unsigned char* bytes, uint32_t n,
                                    uint16_t channels, uint16_t bits, uint32_t srcOffset)
{
    return Encode<true>(src, bytes, n, channels, bits, srcOffset);
}

uint32_t CPcmUtil::SignedIntToFloat(const int32_t* const* in, float* const* out, uint32_t n,
                                    uint16_t channels, uint32_t inOffset, uint32_t outOffset)
{
    if (in == nullptr || out == nullptr)
        return n;
    CScopedPreferredMxcsr mxcsr;
    const __m128 scale = _mm_set1_ps(kIntToFloatScale);
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] == nullptr || out[c] == nullptr)
            continue;
        const int32_t* s = in[c] + inOffset;
        float* d = out[c] + outOffset;
        size_t i = 0;
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(d + i, _mm_mul_ps(_mm_cvtepi32_ps(LoadU(s + i)), scale));
        for (; i < n; ++i)
            d[i] = static_cast<float>(s[i]) * kIntToFloatScale;
    }
    return n;
}

uint32_t CPcmUtil::FloatToSignedInt(const float* const* in, int32_t* const* out, uint32_t n,
                                    uint16_t channels, uint32_t inOffset, uint32_t outOffset)
{
    if (in == nullptr || out == nullptr)
        return n;
    CScopedPreferredMxcsr mxcsr;
    for (unsigned c = 0; c < channels; ++c)
    {
        if (in[c] == nullptr || out[c] == nullptr)
            continue;
        const float* s = in[c] + inOffset;
        int32_t* d = out[c] + outOffset;
        size_t i = 0;
        for (; i + 4 <= n; i += 4)
            StoreU(d + i, FloatToInt4(_mm_loadu_ps(s + i)));
        for (; i < n; ++i)
            d[i] = FloatToInt(s[i]);
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
