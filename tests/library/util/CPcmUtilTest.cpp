#include "library/util/CPcmUtil.h"
#include "library/util/PcmKernelsAvx2.h"

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// Planar buffers of `channels` x `frames` samples.
template <typename T>
struct Planar
{
    Planar(unsigned channels, size_t frames, T fill = T()) : data(channels, std::vector<T>(frames, fill))
    {
        for (auto& d : data)
            ptrs.push_back(d.data());
    }
    T** p() { return ptrs.data(); }
    std::vector<std::vector<T>> data;
    std::vector<T*> ptrs;
};

uint32_t Decode(bool msb, const unsigned char* b, int32_t** d, uint32_t n, uint16_t ch, uint16_t bits,
                uint32_t off)
{
    return msb ? CPcmUtil::DecodeStreamMsb1(b, d, n, ch, bits, off)
               : CPcmUtil::DecodeStreamLsb1(b, d, n, ch, bits, off);
}

uint32_t Encode(bool msb, int32_t** s, unsigned char* b, uint32_t n, uint16_t ch, uint16_t bits, uint32_t off)
{
    return msb ? CPcmUtil::EncodeStreamMsb1(s, b, n, ch, bits, off)
               : CPcmUtil::EncodeStreamLsb1(s, b, n, ch, bits, off);
}

Bytes RandomBytes(size_t size, std::mt19937& rng)
{
    Bytes bytes(size);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(rng());
    return bytes;
}

using Form = CPcmUtil::VectorForm;

// The forms this processor runs: each must give the same results to the bit.
std::vector<Form> Forms()
{
    std::vector<Form> forms;
    for (Form form : {Form::Scalar, Form::SSE2, Form::AVX2})
        if (CPcmUtil::HasVectorForm(form))
            forms.push_back(form);
    return forms;
}

const char* FormName(Form form)
{
    return form == Form::Scalar ? "scalar" : form == Form::SSE2 ? "SSE2" : "AVX2";
}

// The stream bytes of one sample as the format defines them, straight from the
// byte-level rule, for checking the vector paths of every width and layout.
uint32_t ReferenceDecode(const unsigned char* p, unsigned bits, bool msb)
{
    const unsigned b = (bits + 7) / 8;
    uint32_t v = 0;
    for (unsigned k = 0; k < b; ++k)
        v |= uint32_t{p[msb ? k : b - 1 - k]} << (24 - 8 * k);
    return bits == 0 ? 0 : bits >= 32 ? v : v & ~((1u << (32 - bits)) - 1);
}

void ReferenceEncode(int32_t s, unsigned char* p, unsigned bits, bool msb)
{
    const unsigned b = (bits + 7) / 8;
    int64_t v = s;
    if (bits < 32)
        v = std::min<int64_t>(v + (int64_t{1} << (31 - bits)), INT32_MAX) &
            ~((int64_t{1} << (32 - bits)) - 1);
    for (unsigned k = 0; k < b; ++k)
        p[msb ? k : b - 1 - k] = static_cast<unsigned char>(static_cast<uint32_t>(v) >> (24 - 8 * k));
}
} // namespace

TEST(CPcmUtil, Every16BitValueRoundTripsInBothByteOrdersMonoAndStereo)
{
    const uint32_t n = 65536;
    for (Form form : Forms())
        for (bool msb : {false, true})
        {
            for (uint16_t channels : {1, 2})
            {
                SCOPED_TRACE(FormName(form));
                Bytes stream(size_t{n} * channels * 2);
                for (uint32_t i = 0; i < n; ++i)
                {
                    for (uint16_t c = 0; c < channels; ++c)
                    {
                        const uint16_t v = static_cast<uint16_t>(c == 0 ? i : 65535 - i);
                        unsigned char* p = &stream[(size_t{i} * channels + c) * 2];
                        p[msb ? 0 : 1] = static_cast<unsigned char>(v >> 8);
                        p[msb ? 1 : 0] = static_cast<unsigned char>(v);
                    }
                }
                Planar<int32_t> pcm(channels, n);
                ASSERT_EQ(n, CPcmUtil::DecodeStream(form, msb, stream.data(), pcm.p(), n, channels, 16, 0));
                for (uint32_t i = 0; i < n; ++i)
                {
                    ASSERT_EQ(static_cast<int32_t>(i << 16), pcm.data[0][i])
                        << "msb " << msb << " frame " << i;
                    if (channels == 2)
                    {
                        ASSERT_EQ(static_cast<int32_t>((65535 - i) << 16), pcm.data[1][i]) << "msb " << msb;
                    }
                }
                Bytes again(stream.size(), 0xAA);
                ASSERT_EQ(n, CPcmUtil::EncodeStream(form, msb, pcm.p(), again.data(), n, channels, 16, 0));
                EXPECT_EQ(stream, again) << "msb " << msb << " channels " << channels;
            }
        }
}

TEST(CPcmUtil, DecodesByteExamplesInEveryBlockPosition)
{
    struct Case
    {
        uint16_t bits;
        bool msb;
        Bytes bytes;
        uint32_t expected;
    };
    const Case cases[] = {
        {16, false, {0x34, 0x12}, 0x12340000u},
        {16, true, {0x34, 0x12}, 0x34120000u},
        {16, false, {0x00, 0x80}, 0x80000000u},
        {24, false, {0x56, 0x34, 0x12}, 0x12345600u},
        {24, true, {0x56, 0x34, 0x12}, 0x56341200u},
        {24, true, {0xFF, 0xFF, 0xFE}, 0xFFFFFE00u},
        {32, false, {0x78, 0x56, 0x34, 0x12}, 0x12345678u},
        {32, true, {0x78, 0x56, 0x34, 0x12}, 0x78563412u},
        {20, false, {0x5F, 0x34, 0x12}, 0x12345000u}, // three bytes; bits below the width are cleared
        {20, true, {0x12, 0x34, 0x5F}, 0x12345000u},
        {8, false, {0x80}, 0x80000000u},
        {12, true, {0xAB, 0xCD}, 0xABC00000u},
    };
    // 9 frames reach both the vector loops and the remainder; 3 channels the generic path.
    const uint32_t n = 9;
    for (const Case& tc : cases)
    {
        for (uint16_t channels : {1, 2, 3})
        {
            Bytes stream;
            for (uint32_t i = 0; i < n * channels; ++i)
                stream.insert(stream.end(), tc.bytes.begin(), tc.bytes.end());
            Planar<int32_t> pcm(channels, n, 0x55555555);
            ASSERT_EQ(n, Decode(tc.msb, stream.data(), pcm.p(), n, channels, tc.bits, 0));
            for (uint16_t c = 0; c < channels; ++c)
                for (uint32_t i = 0; i < n; ++i)
                    ASSERT_EQ(tc.expected, static_cast<uint32_t>(pcm.data[c][i]))
                        << "bits " << tc.bits << " msb " << tc.msb << " channels " << channels << " frame "
                        << i;
        }
    }
}

TEST(CPcmUtil, EncodeRoundsHalfUpLimitsAndClearsBitsBelowTheWidth)
{
    struct Case
    {
        uint16_t bits;
        uint32_t sample;
        Bytes lsb; // the Msb stream is the same bytes reversed
    };
    const Case cases[] = {
        {16, 0x7FFFFFFFu, {0xFF, 0x7F}}, // rounding would overflow: limited
        {16, 0x12348000u, {0x35, 0x12}}, // half up
        {16, 0x12347FFFu, {0x34, 0x12}},
        {16, 0xFFFFFFFFu, {0x00, 0x00}}, // -1 -> 0
        {16, 0x80000000u, {0x00, 0x80}},
        {24, 0x7FFFFFFFu, {0xFF, 0xFF, 0x7F}},
        {24, 0x12345680u, {0x57, 0x34, 0x12}},
        {24, 0x1234567Fu, {0x56, 0x34, 0x12}},
        {24, 0xFFFFFF80u, {0x00, 0x00, 0x00}},
        {32, 0x12345678u, {0x78, 0x56, 0x34, 0x12}},
        {32, 0x7FFFFFFFu, {0xFF, 0xFF, 0xFF, 0x7F}},
        {20, 0x12345F80u, {0x60, 0x34, 0x12}}, // rounded at bit 11, low 4 bits of the container zero
        {20, 0x7FFFFFFFu, {0xF0, 0xFF, 0x7F}},
        {8, 0x7F800000u, {0x7F}},
        {8, 0x12800000u, {0x13}},
        {4, 0x18000000u, {0x20}},
    };
    const uint32_t n = 9;
    for (const Case& tc : cases)
    {
        for (bool msb : {false, true})
        {
            Bytes expected = tc.lsb;
            if (msb)
                expected.assign(tc.lsb.rbegin(), tc.lsb.rend());
            for (uint16_t channels : {1, 2, 3})
            {
                Planar<int32_t> pcm(channels, n, static_cast<int32_t>(tc.sample));
                Bytes stream(n * channels * expected.size() + 1, 0xAA);
                ASSERT_EQ(n, Encode(msb, pcm.p(), stream.data(), n, channels, tc.bits, 0));
                for (uint32_t s = 0; s < n * channels; ++s)
                    ASSERT_EQ(expected, Bytes(stream.begin() + s * expected.size(),
                                              stream.begin() + (s + 1) * expected.size()))
                        << "bits " << tc.bits << " sample " << std::hex << tc.sample << " msb " << msb
                        << " channels " << std::dec << channels << " at " << s;
                EXPECT_EQ(0xAA, stream.back()) << "wrote past the stream";
            }
        }
    }
}

TEST(CPcmUtil, VectorAndGenericStreamPathsMatchTheByteRuleForEveryLayout)
{
    std::mt19937 rng(7);
    for (Form form : Forms())
        for (uint16_t bits : {8, 12, 16, 20, 24, 32})
        {
            for (bool msb : {false, true})
            {
                for (uint16_t channels : {1, 2, 3})
                {
                    for (uint32_t n : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 17u, 33u, 64u, 65u, 100u})
                    {
                        SCOPED_TRACE(FormName(form));
                        const unsigned bps = (bits + 7) / 8;
                        const uint32_t offset = n % 3;
                        const size_t size = size_t{n} * channels * bps;
                        const Bytes stream = RandomBytes(size, rng);
                        Planar<int32_t> pcm(channels, n + offset, 0x55555555);
                        ASSERT_EQ(n, CPcmUtil::DecodeStream(form, msb, stream.data(), pcm.p(), n, channels,
                                                            bits, offset));
                        for (uint16_t c = 0; c < channels; ++c)
                        {
                            for (uint32_t i = 0; i < offset; ++i)
                                ASSERT_EQ(0x55555555, pcm.data[c][i]);
                            for (uint32_t i = 0; i < n; ++i)
                                ASSERT_EQ(
                                    ReferenceDecode(&stream[(size_t{i} * channels + c) * bps], bits, msb),
                                    static_cast<uint32_t>(pcm.data[c][offset + i]))
                                    << "decode bits " << bits << " msb " << msb << " ch " << channels << " n "
                                    << n;
                        }

                        for (auto& d : pcm.data)
                            for (auto& s : d)
                                s = static_cast<int32_t>(rng() | (rng() % 8 == 0 ? 0x7FFFFFF0u : 0u));
                        Bytes expected(size + 1, 0xAA), actual(size + 1, 0xAA);
                        for (uint32_t i = 0; i < n; ++i)
                            for (uint16_t c = 0; c < channels; ++c)
                                ReferenceEncode(pcm.data[c][offset + i],
                                                &expected[(size_t{i} * channels + c) * bps], bits, msb);
                        ASSERT_EQ(n, CPcmUtil::EncodeStream(form, msb, pcm.p(), actual.data(), n, channels,
                                                            bits, offset));
                        ASSERT_EQ(expected, actual)
                            << "encode bits " << bits << " msb " << msb << " ch " << channels << " n " << n;
                    }
                }
            }
        }
}

// Decoding straight to floats gives, to the bit, what decoding and then
// SignedIntToFloat give; encoding straight from floats what FloatToSignedInt
// and then encoding give, out-of-range values and NaN included.
TEST(CPcmUtil, FloatStreamPathsEqualTheIntegerPathAndTheConversion)
{
    std::mt19937 rng(5);
    const float specials[] = {1.0f, -1.0f, 1.5f, -1e30f, std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(), 1e-40f, -0.0f,
                              // half a 16-bit and a 24-bit step above a step: rounds up
                              (0x1234 + 0.5f) / 32768.0f, (0x123456 + 0.5f) / 8388608.0f,
                              // near the positive end, where rounding reaches the limit
                              0.99999994f, 0x7FFF4000 / 2147483648.0f, 0x7FFF7F00 / 2147483648.0f,
                              0x7FFFFF00 / 2147483648.0f, -0.99999994f};
    std::uniform_real_distribution<float> dist(-1.1f, 1.1f);
    for (Form form : Forms())
        for (uint16_t bits : {8, 16, 20, 24, 32})
            for (bool msb : {false, true})
                for (uint16_t channels : {1, 2, 3})
                    for (uint32_t n : {0u, 1u, 7u, 8u, 9u, 16u, 17u, 33u, 64u, 65u, 100u})
                    {
                        SCOPED_TRACE(testing::Message() << FormName(form) << " bits " << bits << " msb "
                                                        << msb << " ch " << channels << " n " << n);
                        const unsigned bps = (bits + 7) / 8;
                        const uint32_t offset = n % 3;
                        const size_t size = size_t{n} * channels * bps;
                        const Bytes stream = RandomBytes(size, rng);
                        Planar<float> direct(channels, n + offset, -7.0f),
                            viaInts(channels, n + offset, -7.0f);
                        Planar<int32_t> ints(channels, n + offset);
                        ASSERT_EQ(n, CPcmUtil::DecodeStream(form, msb, stream.data(), direct.p(), n, channels,
                                                            bits, offset));
                        CPcmUtil::DecodeStream(Form::Scalar, msb, stream.data(), ints.p(), n, channels, bits,
                                               offset);
                        CPcmUtil::SignedIntToFloat(Form::Scalar, ints.p(), viaInts.p(), n, channels, offset,
                                                   offset);
                        for (uint16_t c = 0; c < channels; ++c)
                            for (uint32_t i = 0; i < n + offset; ++i)
                                ASSERT_EQ(Bits(viaInts.data[c][i]), Bits(direct.data[c][i]))
                                    << "decoded sample " << i;

                        for (auto& d : direct.data)
                            for (auto& f : d)
                                f = rng() % 4 == 0 ? specials[rng() % std::size(specials)] : dist(rng);
                        Bytes expected(size + 1, 0xAA), actual(size + 1, 0xAA);
                        CPcmUtil::FloatToSignedInt(Form::Scalar, direct.p(), ints.p(), n, channels, offset,
                                                   offset);
                        CPcmUtil::EncodeStream(Form::Scalar, msb, ints.p(), expected.data(), n, channels,
                                               bits, offset);
                        ASSERT_EQ(n, CPcmUtil::EncodeStream(form, msb, direct.p(), actual.data(), n, channels,
                                                            bits, offset));
                        ASSERT_EQ(expected, actual) << "encoded";
                    }
}

// Encoding float stereo to 16 and 24 bits takes sixteen frames at a time with
// AVX-512 where the processor has it, then the AVX2 form: both give the bytes
// of the scalar path (rounding half up, the limits, NaN as the negative end)
// at lengths around the rounds of either form, and write nothing past the
// frames asked for.
TEST(CPcmUtil, FloatStereoEncodingIsTheSameWithAndWithoutAvx512)
{
    if (!CPcmUtil::HasVectorForm(Form::AVX2))
        GTEST_SKIP() << "no AVX2";
    std::mt19937 rng(11);
    const float specials[] = {1.0f,
                              -1.0f,
                              1.5f,
                              -1.5f,
                              1e30f,
                              -1e30f,
                              std::numeric_limits<float>::quiet_NaN(),
                              -std::numeric_limits<float>::infinity(),
                              0.99999994f,
                              0x7FFF7F00 / 2147483648.0f,
                              0x7FFFFF00 / 2147483648.0f,
                              (0x1234 + 0.5f) / 32768.0f,
                              (0x123456 + 0.5f) / 8388608.0f,
                              -0.0f};
    std::uniform_real_distribution<float> dist(-1.1f, 1.1f);
    std::vector<bool> wideChoices = {false};
    if (PcmKernelsAvx2::HasAvx512Hardware())
        wideChoices.push_back(true);
    for (uint16_t bits : {16, 24})
        for (bool msb : {false, true})
            for (uint32_t n : {15u, 16u, 18u, 19u, 33u, 35u, 48u, 100u, 1001u})
            {
                SCOPED_TRACE(testing::Message() << "bits " << bits << " msb " << msb << " n " << n);
                const uint32_t offset = n % 3;
                Planar<float> samples(2, n + offset);
                for (auto& d : samples.data)
                    for (auto& f : d)
                        f = rng() % 4 == 0 ? specials[rng() % std::size(specials)] : dist(rng);
                const size_t size = size_t{n} * 2 * (bits / 8);
                Bytes expected(size + 32, 0xAA);
                CPcmUtil::EncodeStream(Form::Scalar, msb, samples.p(), expected.data(), n, 2, bits, offset);
                for (bool wide : wideChoices)
                {
                    PcmKernelsAvx2::DisableAvx512ForTests(!wide);
                    Bytes actual(size + 32, 0xAA);
                    ASSERT_EQ(n, CPcmUtil::EncodeStream(Form::AVX2, msb, samples.p(), actual.data(), n, 2,
                                                        bits, offset));
                    EXPECT_EQ(expected, actual) << (wide ? "AVX-512" : "AVX2");
                }
                PcmKernelsAvx2::DisableAvx512ForTests(false);
            }
}

TEST(CPcmUtil, DecodeSkipsNullChannelsAndZeroWidthGivesSilence)
{
    // Three 16-bit channels, the middle one not wanted.
    const Bytes stream = {0x01, 0x10, 0x02, 0x20, 0x03, 0x30, 0x04, 0x40, 0x05, 0x50, 0x06, 0x60};
    for (uint16_t channels : {2, 3})
    {
        Planar<int32_t> pcm(3, 4, 7);
        int32_t* dst[3] = {pcm.data[0].data(), nullptr, pcm.data[2].data()};
        const uint32_t n = static_cast<uint32_t>(stream.size() / (2 * channels));
        EXPECT_EQ(n, CPcmUtil::DecodeStreamLsb1(stream.data(), dst, n, channels, 16, 1));
        EXPECT_EQ(7, pcm.data[0][0]);
        EXPECT_EQ(0x10010000, pcm.data[0][1]);
        EXPECT_EQ(channels == 3 ? 0x40040000 : 0x30030000, pcm.data[0][2]);
        EXPECT_EQ(std::vector<int32_t>(4, 7), pcm.data[1]);
        if (channels == 3)
        {
            EXPECT_EQ(0x60060000, pcm.data[2][2]);
        }
        else
        {
            EXPECT_EQ(0x50050000, pcm.data[0][3]);
        }
    }

    Planar<int32_t> pcm(2, 4, 7);
    EXPECT_EQ(4u, CPcmUtil::DecodeStreamMsb1(stream.data(), pcm.p(), 4, 2, 0, 0));
    EXPECT_EQ(std::vector<int32_t>(4, 0), pcm.data[0]);
    EXPECT_EQ(std::vector<int32_t>(4, 0), pcm.data[1]);
    Bytes untouched(4, 0xAA);
    EXPECT_EQ(4u, CPcmUtil::EncodeStreamLsb1(pcm.p(), untouched.data(), 4, 2, 0, 0));
    EXPECT_EQ(Bytes(4, 0xAA), untouched);
}

TEST(CPcmUtil, FloatIntConversionsTruncateLimitAndMapNaN)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        float in;
        int32_t out;
    };
    const Case cases[] = {
        {1.0f, INT32_MAX},
        {-1.0f, -INT32_MAX},
        {0.99999f, static_cast<int32_t>(0.99999f * 2147483648.0f)}, // exact product, below 2^31
        {-0.99999f, -static_cast<int32_t>(0.99999f * 2147483648.0f)},
        {0.5f, 1 << 30},
        {1.0f / (1 << 30), 2},
        {1.5f / 2147483648.0f, 1}, // truncated toward zero
        {-1.5f / 2147483648.0f, -1},
        {nan, -INT32_MAX},
        {1e30f, INT32_MAX},
        {-1e30f, -INT32_MAX},
        {inf, INT32_MAX},
        {-inf, -INT32_MAX},
        {-0.0f, 0},
        {1e-40f, 0},
    };
    const size_t count = std::size(cases);
    // The table three times over, shifted through the offsets, so that every
    // case meets every form's vector and scalar code.
    const size_t total = 3 * count;
    for (Form form : Forms())
    {
        SCOPED_TRACE(FormName(form));
        for (uint32_t offset = 0; offset < 4; ++offset)
        {
            std::vector<float> in(offset + total);
            for (size_t i = 0; i < total; ++i)
                in[offset + i] = cases[i % count].in;
            std::vector<int32_t> out(total + 1, 7);
            const float* inPtr[1] = {in.data()};
            int32_t* outPtr[1] = {out.data()};
            ASSERT_EQ(total, CPcmUtil::FloatToSignedInt(form, inPtr, outPtr, total, 1, offset, 1));
            EXPECT_EQ(7, out[0]);
            for (size_t i = 0; i < total; ++i)
                EXPECT_EQ(cases[i % count].out, out[1 + i])
                    << "input " << cases[i % count].in << " offset " << offset << " at " << i;
        }
    }

    // Integer to float: exact below 25 significant bits, rounded toward zero above.
    const std::vector<int32_t> ints = {INT32_MAX,  INT32_MIN,   1 << 30,   -1,
                                       0x12345600, -0x7FFFFF00, 0x7FFFFF80};
    const std::vector<float> floats = {
        0.99999994f, -1.0f, 0.5f, -1.0f / 2147483648.0f, 0x123456 / 8388608.0f, -0x7FFFFF / 8388608.0f,
        0.99999994f};
    std::vector<int32_t> manyInts;
    std::vector<float> manyFloats;
    for (int k = 0; k < 3; ++k)
    {
        manyInts.insert(manyInts.end(), ints.begin(), ints.end());
        manyFloats.insert(manyFloats.end(), floats.begin(), floats.end());
    }
    for (Form form : Forms())
    {
        std::vector<float> converted(manyInts.size());
        const int32_t* intPtr[1] = {manyInts.data()};
        float* floatPtr[1] = {converted.data()};
        const uint32_t n = static_cast<uint32_t>(manyInts.size());
        EXPECT_EQ(n, CPcmUtil::SignedIntToFloat(form, intPtr, floatPtr, n, 1, 0, 0));
        EXPECT_EQ(manyFloats, converted) << FormName(form);
    }

    // Every 24-bit sample survives int -> float -> int.
    std::vector<int32_t> all(1 << 24), back(1 << 24);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int32_t>(static_cast<uint32_t>(i) << 8);
    std::vector<int32_t> expected = all;
    expected[size_t{1} << 23] = -INT32_MAX; // -1.0 is limited to the symmetric range
    std::vector<float> f(all.size());
    const int32_t* allPtr[1] = {all.data()};
    float* fPtr[1] = {f.data()};
    const float* fConst[1] = {f.data()};
    int32_t* backPtr[1] = {back.data()};
    for (Form form : Forms())
    {
        CPcmUtil::SignedIntToFloat(form, allPtr, fPtr, static_cast<uint32_t>(all.size()), 1, 0, 0);
        CPcmUtil::FloatToSignedInt(form, fConst, backPtr, static_cast<uint32_t>(all.size()), 1, 0, 0);
        EXPECT_EQ(expected, back) << FormName(form);
    }
}

TEST(CPcmUtil, CopyHandlesOverlapAndSilenceSkipsNullChannels)
{
    Planar<int32_t> ints(1, 10);
    Planar<float> floats(1, 10);
    for (int i = 0; i < 10; ++i)
    {
        ints.data[0][i] = i;
        floats.data[0][i] = static_cast<float>(i);
    }
    CPcmUtil::Copy(ints.p(), ints.p(), 6, 1, 0, 2);     // forward overlap
    CPcmUtil::Copy(floats.p(), floats.p(), 6, 1, 3, 1); // backward overlap
    EXPECT_EQ((std::vector<int32_t>{0, 1, 0, 1, 2, 3, 4, 5, 8, 9}), ints.data[0]);
    EXPECT_EQ((std::vector<float>{0, 3, 4, 5, 6, 7, 8, 7, 8, 9}), floats.data[0]);

    Planar<float> bufs(2, 5, 1.0f);
    float* withNull[2] = {bufs.data[0].data(), nullptr};
    EXPECT_EQ(3u, CPcmUtil::FillSilence(withNull, 3, 2, 1));
    EXPECT_EQ((std::vector<float>{1, 0, 0, 0, 1}), bufs.data[0]);
    EXPECT_EQ(std::vector<float>(5, 1.0f), bufs.data[1]);
    Planar<int32_t> ibufs(1, 4, 9);
    CPcmUtil::FillSilence(ibufs.p(), 2, 1, 2);
    EXPECT_EQ((std::vector<int32_t>{9, 9, 0, 0}), ibufs.data[0]);
}

TEST(CPcmUtil, VectorAndScalarFormsAgreeAtEveryLengthAndAlignment)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> dist(-1.5f, 1.5f);
    for (uint32_t offset = 0; offset < 4; ++offset)
    {
        for (uint32_t n = 0; n <= 9; ++n)
        {
            Planar<float> in(2, offset + n);
            for (auto& ch : in.data)
                for (auto& s : ch)
                    s = dist(rng);
            const float* src[2] = {in.data[0].data() + offset, in.data[1].data() + offset};
            Planar<float> a(2, offset + n + 1, -7.0f), b(2, offset + n + 1, -7.0f);
            float* outA[2] = {a.data[0].data() + offset, a.data[1].data() + offset};
            float* outB[2] = {b.data[0].data() + offset, b.data[1].data() + offset};
            auto same = [&](const char* what)
            {
                for (int c = 0; c < 2; ++c)
                    for (size_t i = 0; i < a.data[c].size(); ++i)
                        ASSERT_EQ(Bits(a.data[c][i]), Bits(b.data[c][i]))
                            << what << " offset " << offset << " n " << n << " sample " << i;
            };

            CPcmUtil::ChangeAmplitudeSSE(src, outA, n, 2, 0.7f);
            CPcmUtil::ChangeAmplitudeScalar(src, outB, n, 2, 0.7f);
            same("ChangeAmplitude");
            EXPECT_EQ(-7.0f, a.data[0][offset + n]) << "wrote past the block";

            for (int curve : {0, 1})
            {
                // Rising from frame 2 of a 13-frame fade; falling to its end.
                CPcmUtil::FadeSSE(src, outA, n, 2, 2, 1, 13, curve);
                CPcmUtil::FadeScalar(src, outB, n, 2, 2, 1, 13, curve);
                same("rising fade");
                CPcmUtil::FadeSSE(src, outA, n, 2, 9, -1, 13, curve);
                CPcmUtil::FadeScalar(src, outB, n, 2, 9, -1, 13, curve);
                same("falling fade");
            }

            if (n > 0)
                in.data[1][offset + n - 1] = std::numeric_limits<float>::quiet_NaN(); // ignored by both
            const float maxA = CPcmUtil::GetMaximumAbsValueSSE(src, n, 2);
            const float maxB = CPcmUtil::GetMaximumAbsValueScalar(src, n, 2);
            EXPECT_EQ(Bits(maxB), Bits(maxA)) << "offset " << offset << " n " << n;
            float expected = 0.0f;
            for (int c = 0; c < 2; ++c)
                for (uint32_t i = 0; i < n; ++i)
                    if (!std::isnan(src[c][i]))
                        expected = std::max(expected, std::fabs(src[c][i]));
            EXPECT_EQ(expected, maxA);
        }
    }
}

TEST(CPcmUtil, FloatOperationsIgnoreAndRestoreTheCallersControlWord)
{
    const unsigned int callerWords[] = {0x1F80u, 0x1F80u | 0x4000u}; // default, and rounding up
    std::vector<std::vector<float>> results;
    for (unsigned int word : callerWords)
    {
        std::vector<float> in = {1.0f / 3.0f, -2.0f / 3.0f, 0.1f, 1e-40f, -0.7f, 0.9f, 1e-30f};
        std::vector<float> out(in.size());
        std::vector<int32_t> ints = {INT32_MAX, 0x12345677, -3};
        const float* src[1] = {in.data()};
        float* dst[1] = {out.data()};
        int32_t* intDst[1] = {ints.data()};
        const int32_t* intSrc[1] = {ints.data()};
        std::vector<float> all;
        auto check = [&](const char* what)
        {
            EXPECT_EQ(word, _mm_getcsr() & ~0x3Fu) << what;
            all.insert(all.end(), out.begin(), out.end());
            _mm_setcsr(word);
        };
        _mm_setcsr(word);
        CPcmUtil::ChangeAmplitude(src, dst, 7, 1, 0.3f);
        check("ChangeAmplitude");
        CPcmUtil::ChangeAmplitudeScalar(src, dst, 7, 1, 0.3f);
        check("ChangeAmplitudeScalar");
        CPcmUtil::FadeIn(src, dst, 7, 1, 9, 1, 0);
        check("FadeIn");
        CPcmUtil::FadeOut(src, dst, 7, 1, 9, 1, 1);
        check("FadeOut");
        CPcmUtil::FadeScalar(src, dst, 7, 1, 1, 1, 9, 1);
        check("FadeScalar");
        CPcmUtil::SignedIntToFloat(intSrc, dst, 3, 1, 0, 0);
        check("SignedIntToFloat");
        CPcmUtil::FloatToSignedInt(src, intDst, 7 - 4, 1, 0, 0);
        check("FloatToSignedInt");
        // The stream functions with float samples, over enough frames for every vector form.
        std::vector<unsigned char> bytes(64);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<unsigned char>(37 * i + 11);
        std::vector<float> wide(16);
        float* wideDst[1] = {wide.data()};
        CPcmUtil::DecodeStreamLsb1(bytes.data(), wideDst, 16, 1, 32, 0);
        out = wide;
        check("DecodeStreamLsb1 to float");
        const float* wideSrc[1] = {wide.data()};
        CPcmUtil::EncodeStreamMsb1(wideSrc, bytes.data(), 16, 1, 24, 0);
        out.assign(bytes.begin(), bytes.end());
        check("EncodeStreamMsb1 from float");
        out.resize(in.size());
        out.assign(1, CPcmUtil::GetMaximumAbsValueSSE(src, 7, 1));
        check("GetMaximumAbsValueSSE");
        out.assign(1, CPcmUtil::GetMaximumAbsValueScalar(src, 7, 1));
        check("GetMaximumAbsValueScalar");
        out.assign(1, CPcmUtil::GetPeakLeveldB(in.data(), 7));
        check("GetPeakLeveldB");
        _mm_setcsr(0x1F80u);
        results.push_back(all);
    }
    ASSERT_EQ(results[0].size(), results[1].size());
    for (size_t i = 0; i < results[0].size(); ++i)
        EXPECT_EQ(Bits(results[0][i]), Bits(results[1][i]))
            << "result " << i << " depends on the caller's word";
}

TEST(CPcmUtil, ChangeAmplitudeFlushesDenormalsToZero)
{
    std::vector<float> s = {1e-40f, -1e-40f, 1e-30f, 0.5f, 1e-40f};
    const float* in[1] = {s.data()};
    float* out[1] = {s.data()}; // in place
    CPcmUtil::ChangeAmplitude(in, out, 5, 1, 1e-10f);
    EXPECT_EQ(0u, Bits(s[0]));
    EXPECT_EQ(0u, Bits(s[1]) & 0x7FFFFFFFu);
    EXPECT_EQ(0u, Bits(s[2])) << "a denormal product is flushed";
    EXPECT_EQ(0.5f * 1e-10f, s[3]);
    std::vector<float> d = {1e-40f, 1e-40f, 1e-40f, 1e-40f, 1e-40f};
    const float* din[1] = {d.data()};
    float* dout[1] = {d.data()};
    CPcmUtil::ChangeAmplitude(din, dout, 5, 1, 1.0f);
    EXPECT_EQ(std::vector<float>(5, 0.0f), d);
}

TEST(CPcmUtil, FadesFollowTheirIndexInTheFade)
{
    struct Case
    {
        bool rising;
        int curve;
        uint32_t length;
        int64_t position;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {true, 0, 4, 0, {0.0f, 0.25f, 0.5f, 0.75f}},
        {true, 1, 4, 0, {0.0f, 0.0625f, 0.25f, 0.5625f}},
        {true, 0, 0, 0, {0.0f, 0.25f, 0.5f, 0.75f}}, // length 0 is the block
        {false, 0, 4, 0, {0.75f, 0.5f, 0.25f, 0.0f}},
        {false, 1, 4, 0, {0.5625f, 0.25f, 0.0625f, 0.0f}},
        {true, 0, 4, -2, {0.0f, 0.0f, 0.0f, 0.25f}}, // partly before the fade-in: silent up to its start
        {true, 1, 4, -3, {0.0f, 0.0f, 0.0f, 0.0f}},
        {true, 0, 4, 2, {0.5f, 0.75f, 1.0f, 1.0f}}, // partly after it: passes
        {false, 0, 4, -2, {1.0f, 1.0f, 0.75f, 0.5f}},
        {false, 0, 4, 2, {0.25f, 0.0f, 0.0f, 0.0f}}, // partly past the fade-out: silent from its end
        {false, 1, 4, 3, {0.0f, 0.0f, 0.0f, 0.0f}},
        {true, 0, 4, -10, {0.0f, 0.0f, 0.0f, 0.0f}}, // wholly before: a fade-in is silent
        {false, 0, 4, -10, {1.0f, 1.0f, 1.0f, 1.0f}},
        {true, 1, 4, std::numeric_limits<int64_t>::min(), {0.0f, 0.0f, 0.0f, 0.0f}},
        {false, 1, 4, std::numeric_limits<int64_t>::min(), {1.0f, 1.0f, 1.0f, 1.0f}},
        {true, 0, 4, 4, {1.0f, 1.0f, 1.0f, 1.0f}},
        {false, 0, 4, 4, {0.0f, 0.0f, 0.0f, 0.0f}},
        {true, 0, 4, std::numeric_limits<int64_t>::max(), {1.0f, 1.0f, 1.0f, 1.0f}},
        {false, 0, 4, std::numeric_limits<int64_t>::max(), {0.0f, 0.0f, 0.0f, 0.0f}},
    };
    for (const Case& tc : cases)
    {
        Planar<float> in(2, 4, 1.0f);
        Planar<float> out(2, 4, -5.0f);
        float* dst[2] = {out.data[0].data(), nullptr};
        const uint32_t r = tc.rising ? CPcmUtil::FadeIn(in.p(), dst, 4, 2, tc.length, tc.position, tc.curve)
                                     : CPcmUtil::FadeOut(in.p(), dst, 4, 2, tc.length, tc.position, tc.curve);
        EXPECT_EQ(4u, r);
        EXPECT_EQ(tc.expected, out.data[0]) << (tc.rising ? "in" : "out") << " curve " << tc.curve
                                            << " length " << tc.length << " position " << tc.position;
        EXPECT_EQ(std::vector<float>(4, -5.0f), out.data[1]) << "a null output channel is skipped";

        // The same in place.
        Planar<float> inPlace(1, 4, 1.0f);
        if (tc.rising)
            CPcmUtil::FadeIn(inPlace.p(), inPlace.p(), 4, 1, tc.length, tc.position, tc.curve);
        else
            CPcmUtil::FadeOut(inPlace.p(), inPlace.p(), 4, 1, tc.length, tc.position, tc.curve);
        EXPECT_EQ(tc.expected, inPlace.data[0]);
    }
    Planar<float> empty(1, 1, 1.0f);
    EXPECT_EQ(0u, CPcmUtil::FadeIn(empty.p(), empty.p(), 0, 1, 4, 0, 0));
    EXPECT_EQ(1.0f, empty.data[0][0]);
}

TEST(CPcmUtil, FadeSplitIntoBlocksMatchesOneBlockBitForBit)
{
    const uint32_t length = 10007;
    const int64_t start = -2000;
    const uint32_t total = 14500;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    Planar<float> in(2, total);
    for (auto& ch : in.data)
        for (auto& s : ch)
            s = dist(rng);

    for (bool rising : {true, false})
    {
        for (int curve : {0, 1})
        {
            auto fade = [&](uint32_t offset, uint32_t n, Planar<float>& out)
            {
                const float* src[2] = {in.data[0].data() + offset, in.data[1].data() + offset};
                float* dst[2] = {out.data[0].data() + offset, out.data[1].data() + offset};
                if (rising)
                    CPcmUtil::FadeIn(src, dst, n, 2, length, start + offset, curve);
                else
                    CPcmUtil::FadeOut(src, dst, n, 2, length, start + offset, curve);
            };
            Planar<float> whole(2, total);
            fade(0, total, whole);

            // Silent before a fade-in and from the first frame of it, whole from frame `length` on;
            // a fade-out passes before it and is silent from its last frame on.
            const std::vector<float>& x = in.data[0];
            const std::vector<float>& y = whole.data[0];
            const uint32_t k0 = static_cast<uint32_t>(-start);
            if (rising)
            {
                EXPECT_EQ(0.0f, y[k0 - 1]);
                EXPECT_EQ(0.0f, y[k0]);
                EXPECT_NE(Bits(x[k0 + length - 1]), Bits(y[k0 + length - 1]));
                EXPECT_EQ(Bits(x[k0 + length]), Bits(y[k0 + length]));
            }
            else
            {
                EXPECT_EQ(Bits(x[k0 - 1]), Bits(y[k0 - 1]));
                EXPECT_NE(Bits(x[k0]), Bits(y[k0]));
                EXPECT_EQ(0.0f, y[k0 + length - 1]);
                EXPECT_EQ(0.0f, y[k0 + length]);
            }

            for (uint32_t blockSize : {1u, 7u, 4096u})
            {
                Planar<float> split(2, total);
                for (uint32_t offset = 0; offset < total; offset += blockSize)
                    fade(offset, std::min(blockSize, total - offset), split);
                for (int c = 0; c < 2; ++c)
                    for (uint32_t i = 0; i < total; ++i)
                        ASSERT_EQ(Bits(whole.data[c][i]), Bits(split.data[c][i]))
                            << (rising ? "in" : "out") << " curve " << curve << " blocks of " << blockSize
                            << " frame " << i;
            }
        }
    }
}

TEST(CPcmUtil, PeakLevelInHalfDecibelSteps)
{
    struct Case
    {
        std::vector<float> samples;
        float dB;
    };
    const Case cases[] = {
        {{0.5f, -1.0f, 0.25f}, 0.0f},
        {{0.0011f}, -59.0f},
        {{-0.0011f, 0.0f, 0.0f, 0.0f, 0.0f}, -59.0f},
        {{2.0f}, 3.5f},
        {{}, -60.0f},
        {{0.001f}, -60.0f},
        {{0.0f, 0.0f}, -60.0f},
        {{1.001f}, 0.5f},
        {{0.999f}, 0.0f},
        {{1.4f}, 3.0f},
    };
    for (const Case& tc : cases)
        EXPECT_EQ(tc.dB,
                  CPcmUtil::GetPeakLeveldB(tc.samples.data(), static_cast<uint32_t>(tc.samples.size())))
            << "first sample " << (tc.samples.empty() ? 0.0f : tc.samples[0]);

    for (int i = 0; i < 128; ++i)
        EXPECT_FLOAT_EQ(static_cast<float>(std::pow(10.0, (0.5 * i - 60.0) / 20.0)),
                        CPcmUtil::m_afdBToPeakValueTable[i])
            << i;
    EXPECT_EQ(1.0f, CPcmUtil::m_afdBToPeakValueTable[120]);
}
