#include "common/dsp/CAudioRecorderOutputProcess.h"
#include "library/util/CPcmUtil.h"

#include "tests/support/SpectrumSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace
{
// A sink that keeps what reaches it. Integer sinks store every sample the way
// a PCM file writer does: float blocks are converted to integers (truncated),
// then rounded half up to the sink's word length; `codes` holds the result in
// steps of that word length, `raw` the integers as they arrived.
class MemorySink : public CAudioRecorderOutput
{
public:
    MemorySink(uint32_t rate, uint16_t bits, uint16_t channels, bool floating = false)
        : codes(channels), raw(channels), floats(channels), m_rate(rate), m_bits(bits), m_channels(channels),
          m_floating(floating)
    {
    }

    void RemoveFile() override {}
    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetNumChannels() override { return m_channels; }
    uint16_t GetBitsPerSample() override { return m_bits; }
    bool IsFloatingPoint() override { return m_floating; }

    uint32_t WriteAudioData(float** bufs, uint32_t n) override
    {
        ++floatWrites;
        lastFloat = bufs;
        n = std::min(n, limit);
        if (m_floating)
        {
            for (uint16_t c = 0; c < m_channels; ++c)
                floats[c].insert(floats[c].end(), bufs[c], bufs[c] + n);
            return n;
        }
        std::vector<std::vector<int32_t>> ints(m_channels, std::vector<int32_t>(n));
        std::vector<int32_t*> p;
        for (auto& c : ints)
            p.push_back(c.data());
        CPcmUtil::FloatToSignedInt(bufs, p.data(), n, m_channels, 0, 0);
        Store(p.data(), n);
        return n;
    }

    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override
    {
        ++intWrites;
        lastInt = bufs;
        n = std::min(n, limit);
        for (uint16_t c = 0; c < m_channels; ++c)
            raw[c].insert(raw[c].end(), bufs[c], bufs[c] + n);
        Store(bufs, n);
        return n;
    }

    uint32_t WriteAudioData(uint8_t** bufs, uint32_t n) override
    {
        ++bitWrites;
        lastBits = bufs;
        return std::min(n, limit);
    }

    int floatWrites = 0, intWrites = 0, bitWrites = 0;
    float** lastFloat = nullptr;
    int32_t** lastInt = nullptr;
    uint8_t** lastBits = nullptr;
    uint32_t limit = std::numeric_limits<uint32_t>::max();
    std::vector<std::vector<int32_t>> codes;
    std::vector<std::vector<int32_t>> raw;
    std::vector<std::vector<float>> floats;

private:
    // Through the byte encoding of a file and back.
    void Store(int32_t* const* bufs, uint32_t n)
    {
        const size_t bytes = (m_bits + 7) / 8;
        std::vector<unsigned char> stream(n * m_channels * bytes);
        CPcmUtil::EncodeStreamLsb1(bufs, stream.data(), n, m_channels, m_bits, 0);
        std::vector<std::vector<int32_t>> back(m_channels, std::vector<int32_t>(n));
        std::vector<int32_t*> p;
        for (auto& c : back)
            p.push_back(c.data());
        CPcmUtil::DecodeStreamLsb1(stream.data(), p.data(), n, m_channels, m_bits, 0);
        for (uint16_t c = 0; c < m_channels; ++c)
            for (int32_t v : back[c])
                codes[c].push_back(v >> (32 - m_bits));
    }

    uint32_t m_rate;
    uint16_t m_bits, m_channels;
    bool m_floating;
};

std::unique_ptr<CAudioRecorderOutputProcessBase> MakeProcess(int type)
{
    switch (type)
    {
    case kOutputProcessTpdfDither:
        return std::make_unique<CAudioRecorderOutputProcessTpdfDither>();
    case kOutputProcessNoiseShapedDither:
        return std::make_unique<CAudioRecorderOutputProcessNoiseShapedDither>();
    default:
        return std::make_unique<CAudioRecorderOutputProcessNone>();
    }
}

// Planar storage with pointer arrays for the write calls.
template <typename T>
struct Block
{
    Block(int channels, size_t frames) : data(static_cast<size_t>(channels), std::vector<T>(frames))
    {
        for (auto& c : data)
            ptrs.push_back(c.data());
    }
    T** Ptrs() { return ptrs.data(); }
    std::vector<std::vector<T>> data;
    std::vector<T*> ptrs;
};

// Without dither the stage hands every block to the sink untouched, and the
// sink's own requantisation is plain rounding to the nearest step.
TEST(OutputProcessNone, PassesEveryFormUntouched)
{
    MemorySink sink(44100, 16, 2);
    CAudioRecorderOutputProcessNone process;
    process.SetAudioRecorderOutput(&sink);

    Block<float> f(2, 4);
    f.data[0] = {0.49f / 32768, 0.51f / 32768, (1000 + 0.49f) / 32768, -(7 + 0.51f) / 32768};
    f.data[1] = {0.0f, 0.25f, -0.25f, 0.5f};
    const auto before = f.data;
    EXPECT_EQ(process.WriteAudioData(f.Ptrs(), 4), 4u);
    EXPECT_EQ(sink.lastFloat, f.Ptrs());
    EXPECT_EQ(f.data, before);
    EXPECT_EQ(sink.codes[0], (std::vector<int32_t>{0, 1, 1000, -8}));
    EXPECT_EQ(sink.codes[1], (std::vector<int32_t>{0, 8192, -8192, 16384}));

    Block<int32_t> i(2, 3);
    i.data[0] = {0x12345678, -5, 0x7FFFFFFF};
    const auto ints = i.data;
    EXPECT_EQ(process.WriteAudioData(i.Ptrs(), 3), 3u);
    EXPECT_EQ(sink.lastInt, i.Ptrs());
    EXPECT_EQ(sink.raw[0], ints[0]);

    uint8_t bits[2][1] = {{0x69}, {0x96}};
    uint8_t* b[2] = {bits[0], bits[1]};
    EXPECT_EQ(process.WriteAudioData(b, 8), 8u);
    EXPECT_EQ(sink.lastBits, b);
}

// Every stage returns what the sink wrote, and nothing without a sink.
TEST(OutputProcess, ReturnsWhatTheSinkWrote)
{
    for (int type : {0, 1, 2})
    {
        SCOPED_TRACE(type);
        auto process = MakeProcess(type);
        Block<float> f(2, 100);
        Block<int32_t> i(2, 100);
        EXPECT_EQ(process->WriteAudioData(f.Ptrs(), 100), 0u);
        EXPECT_EQ(process->WriteAudioData(i.Ptrs(), 100), 0u);

        MemorySink sink(44100, 16, 2);
        sink.limit = 37;
        process->SetAudioRecorderOutput(&sink);
        process->SetInputOriginalBitsPerSample(24);
        EXPECT_EQ(process->WriteAudioData(f.Ptrs(), 100), 37u);
        EXPECT_EQ(process->WriteAudioData(i.Ptrs(), 100), 37u);
    }
}

// Where a song would be copied bit for bit (a source no wider than the sink,
// or a floating-point sink), the dither stages leave the samples alone.
TEST(OutputProcessDither, TransparentWhereNothingIsShortened)
{
    struct Case
    {
        uint16_t sourceBits, sinkBits;
        bool floatingSink;
    };
    const Case cases[] = {{16, 16, false}, {24, 24, false}, {16, 24, false}, {24, 16, true}, {32, 32, true}};
    std::mt19937 rng(4);
    for (int type : {kOutputProcessTpdfDither, kOutputProcessNoiseShapedDither})
        for (const Case& c : cases)
        {
            SCOPED_TRACE(testing::Message()
                         << "type " << type << ", " << c.sourceBits << " to " << c.sinkBits);
            MemorySink sink(44100, c.sinkBits, 2, c.floatingSink);
            auto process = MakeProcess(type);
            process->SetAudioRecorderOutput(&sink);
            process->SetInputOriginalBitsPerSample(c.sourceBits);

            Block<int32_t> i(2, 1000);
            for (auto& ch : i.data)
                for (int32_t& s : ch)
                    s = static_cast<int32_t>(rng()) &
                        static_cast<int32_t>(0xFFFFFFFFu << (32 - c.sourceBits));
            const auto ints = i.data;
            ASSERT_EQ(process->WriteAudioData(i.Ptrs(), 1000), 1000u);
            EXPECT_EQ(sink.intWrites, 1);
            EXPECT_EQ(sink.raw, ints);
            if (c.floatingSink)
            {
                Block<float> f(2, 500);
                f.data[0].assign(500, 0.123f);
                ASSERT_EQ(process->WriteAudioData(f.Ptrs(), 500), 500u);
                EXPECT_EQ(sink.floats[0], std::vector<float>(500, 0.123f));
            }
        }
}

// A 24-bit source into a 16-bit sink is dithered to 16 bits: near the exact
// value, and not plain rounding.
TEST(OutputProcessDither, WiderIntegerSourceIsDithered)
{
    for (int type : {kOutputProcessTpdfDither, kOutputProcessNoiseShapedDither})
    {
        SCOPED_TRACE(type);
        MemorySink sink(44100, 16, 1);
        auto process = MakeProcess(type);
        process->SetAudioRecorderOutput(&sink);
        process->SetInputOriginalBitsPerSample(24);
        Block<int32_t> i(1, 4096);
        std::mt19937 rng(8);
        for (int32_t& s : i.data[0])
            s = static_cast<int32_t>(rng() % 2000001) * 256 - 256000000; // 24-bit values around +-0.12
        const std::vector<int32_t> source = i.data[0];
        ASSERT_EQ(process->WriteAudioData(i.Ptrs(), 4096), 4096u);
        ASSERT_EQ(sink.codes[0].size(), 4096u);
        // The error of one quantization is below 1.5 steps; the shaper adds the
        // weighted errors of earlier samples.
        double bound = 1.5;
        if (type == kOutputProcessNoiseShapedDither)
        {
            auto* shaper = static_cast<CAudioRecorderOutputProcessNoiseShapedDither*>(process.get());
            for (uint32_t k = 0; k < shaper->GetNumCoefficients(); ++k)
                bound += 1.5 * std::abs(shaper->GetCoefficients()[k]);
        }
        int differsFromRounding = 0;
        double worst = 0.0;
        for (size_t n = 0; n < source.size(); ++n)
        {
            const double exact = source[n] / 65536.0;
            worst = std::max(worst, std::abs(sink.codes[0][n] - exact));
            differsFromRounding += sink.codes[0][n] != static_cast<int32_t>(std::floor(exact + 0.5));
        }
        EXPECT_LE(worst, bound);
        EXPECT_GT(differsFromRounding, 400);
    }
}

// Silence through TPDF dither at 16 bits: only -1, 0 and +1 step, in about
// 1/8, 3/4 and 1/8 of the frames, the same value in every channel.
TEST(OutputProcessTpdfDither, SilenceGivesOneStepTriangularNoise)
{
    for (uint16_t bits : {16, 24})
    {
        SCOPED_TRACE(bits);
        MemorySink sink(44100, bits, 2);
        CAudioRecorderOutputProcessTpdfDither process;
        process.SetAudioRecorderOutput(&sink);
        const uint32_t n = 1 << 16;
        Block<float> silence(2, n);
        ASSERT_EQ(process.WriteAudioData(silence.Ptrs(), n), n);
        ASSERT_EQ(sink.codes[0].size(), n);
        EXPECT_EQ(sink.codes[0], sink.codes[1]);
        int counts[3] = {0, 0, 0};
        for (int32_t v : sink.codes[0])
        {
            ASSERT_GE(v, -1);
            ASSERT_LE(v, 1);
            ++counts[v + 1];
        }
        EXPECT_NEAR(counts[0] / double(n), 0.125, 0.01);
        EXPECT_NEAR(counts[1] / double(n), 0.75, 0.01);
        EXPECT_NEAR(counts[2] / double(n), 0.125, 0.01);
    }
}

// The generators start from 22222 and 5555555; the sum of their signed
// states is scaled to one step of the sink's word length.
TEST(OutputProcessTpdfDither, FirstValuesComeFromTheSeeds)
{
    MemorySink sink(44100, 16, 2);
    CAudioRecorderOutputProcessTpdfDither process;
    process.SetAudioRecorderOutput(&sink);
    EXPECT_EQ(process.GetDitherScale(), std::ldexp(1.0, -47));
    uint32_t s1 = 22222, s2 = 5555555;
    for (int k = 0; k < 2; ++k)
    {
        s1 = s1 * 196314165u + 907633515u;
        s2 = s2 * 196314165u + 907633515u;
        const double expected =
            (static_cast<double>(static_cast<int32_t>(s1)) + static_cast<int32_t>(s2)) * std::ldexp(1.0, -47);
        EXPECT_EQ(process.NextDitherValue(), static_cast<float>(expected));
    }
}

// Blocks of any length take the values the generators draw one by one, in
// order, one per frame for all channels (the stage adds them in place).
TEST(OutputProcessTpdfDither, BlocksTakeTheValuesDrawnOneByOne)
{
    MemorySink sink(48000, 24, 2);
    CAudioRecorderOutputProcessTpdfDither process, reference;
    process.SetAudioRecorderOutput(&sink);
    reference.SetAudioRecorderOutput(&sink);
    for (uint32_t n : {1u, 7u, 8u, 9u, 300u, 3u, 513u, 16u})
    {
        SCOPED_TRACE(n);
        Block<float> silence(2, n);
        ASSERT_EQ(process.WriteAudioData(silence.Ptrs(), n), n);
        for (uint32_t i = 0; i < n; ++i)
        {
            const float d = reference.NextDitherValue();
            ASSERT_EQ(silence.data[0][i], d) << i;
            ASSERT_EQ(silence.data[1][i], d) << i;
        }
    }
}

TEST(OutputProcessNoiseShapedDither, TableAndRoundingFollowTheSink)
{
    struct Case
    {
        uint32_t rate;
        uint16_t bits;
        const float* table;
        uint32_t count;
        int64_t offset;
    };
    using P = CAudioRecorderOutputProcessNoiseShapedDither;
    const Case cases[] = {
        {44100, 16, P::sm_afVextalMIST_44kHz, 9, 0x8000},   {48000, 24, P::sm_afVextalMIST_48kHz, 9, 0x80},
        {88200, 16, P::sm_afVextalMIST_88kHz, 7, 0x8000},   {176400, 16, P::sm_afVextalMIST_88kHz, 7, 0x8000},
        {96000, 20, P::sm_afVextalMIST_96kHz, 7, 0x800},    {192000, 16, P::sm_afVextalMIST_96kHz, 7, 0x8000},
        {32000, 16, P::sm_afNoNoiseShaperCoeff, 0, 0x8000}, {44100, 32, P::sm_afVextalMIST_44kHz, 9, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.bits << " bits");
        MemorySink sink(c.rate, c.bits, 2);
        P process;
        process.SetAudioRecorderOutput(&sink);
        EXPECT_EQ(process.GetCoefficients(), c.table);
        EXPECT_EQ(process.GetNumCoefficients(), c.count);
        EXPECT_EQ(process.GetRoundingOffset(), c.offset);

        // Written as integers already on the sink's grid.
        Block<float> f(2, 2000);
        std::mt19937 rng(c.rate);
        std::uniform_real_distribution<float> dist(-0.9f, 0.9f);
        for (auto& ch : f.data)
            for (float& s : ch)
                s = dist(rng);
        ASSERT_EQ(process.WriteAudioData(f.Ptrs(), 2000), 2000u);
        EXPECT_EQ(sink.floatWrites, 0);
        const int32_t low = c.bits >= 32 ? 0 : static_cast<int32_t>((1u << (32 - c.bits)) - 1);
        for (const auto& ch : sink.raw)
            for (int32_t v : ch)
                ASSERT_EQ(v & low, 0);
    }
}

// Without a table for the rate the stage is TPDF dither with rounding to the
// nearest step, computed by the stage itself.
TEST(OutputProcessNoiseShapedDither, NoTableMeansDitherAndRounding)
{
    MemorySink sink(32000, 16, 1);
    CAudioRecorderOutputProcessNoiseShapedDither process;
    process.SetAudioRecorderOutput(&sink);
    MemorySink other(32000, 16, 1);
    CAudioRecorderOutputProcessTpdfDither reference;
    reference.SetAudioRecorderOutput(&other);

    Block<float> f(1, 3000);
    for (size_t n = 0; n < 3000; ++n)
        f.data[0][n] = static_cast<float>(0.7 * std::sin(0.01 * n));
    const std::vector<float> x = f.data[0];
    ASSERT_EQ(process.WriteAudioData(f.Ptrs(), 3000), 3000u);
    for (size_t n = 0; n < x.size(); ++n)
    {
        const float d = reference.NextDitherValue();
        const int64_t q = static_cast<int64_t>(static_cast<double>(x[n] + d) * 2147483648.0) + 0x8000;
        const int32_t expected = static_cast<int32_t>(std::floor(q / 65536.0)) * 65536;
        ASSERT_EQ(sink.raw[0][n], expected) << n;
    }
}

// Full scale and beyond, and NaN, stay on the grid without overflow.
TEST(OutputProcessNoiseShapedDither, ExtremeSamplesStayInRange)
{
    MemorySink sink(44100, 16, 3);
    CAudioRecorderOutputProcessNoiseShapedDither process;
    process.SetAudioRecorderOutput(&sink);
    Block<float> f(3, 1000);
    f.data[0].assign(1000, 1.0f);
    f.data[1].assign(1000, -4.0f);
    f.data[2].assign(1000, std::numeric_limits<float>::quiet_NaN());
    ASSERT_EQ(process.WriteAudioData(f.Ptrs(), 1000), 1000u);
    for (int32_t v : sink.codes[0])
        ASSERT_TRUE(v == 32767 || v == 32766) << v;
    for (int c : {1, 2})
        for (int32_t v : sink.codes[c])
            ASSERT_TRUE(v == -32768 || v == -32767) << v;
}

// |1 + sum c_k z^-(k+1)|^2 at a frequency in cycles per sample.
double ShapingPower(const float* c, uint32_t count, double cyclesPerSample)
{
    std::complex<double> h = 1.0;
    for (uint32_t k = 0; k < count; ++k)
        h +=
            static_cast<double>(c[k]) * std::polar(1.0, -2.0 * SpectrumTest::kPi * cyclesPerSample * (k + 1));
    return std::norm(h);
}

// The output error of the noise shaper is the white error of a plain
// dithered quantizer filtered by 1 + c0 z^-1 + c1 z^-2 + ...: its spectrum
// against that of the same stage without shaping follows the filter.
TEST(OutputProcessNoiseShapedDither, ErrorSpectrumFollowsTheFilter)
{
    const size_t n = 1 << 16, size = 1024;
    std::vector<float> x(n);
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> dist(-0.05f, 0.05f);
    for (float& s : x)
        s = dist(rng);

    auto errorPsd = [&](uint32_t rate)
    {
        MemorySink sink(rate, 16, 1);
        CAudioRecorderOutputProcessNoiseShapedDither process;
        process.SetAudioRecorderOutput(&sink);
        Block<float> f(1, n);
        f.data[0] = x;
        EXPECT_EQ(process.WriteAudioData(f.Ptrs(), static_cast<uint32_t>(n)), n);
        std::vector<double> e(n);
        for (size_t i = 0; i < n; ++i)
            e[i] = sink.raw[0][i] / 2147483648.0 - x[i];
        return SpectrumTest::WelchPsd(e, size);
    };
    const std::vector<double> flat = errorPsd(32000);

    for (uint32_t rate : {44100u, 48000u, 88200u, 96000u})
    {
        SCOPED_TRACE(rate);
        uint32_t count = 0;
        const float* c = CAudioRecorderOutputProcessNoiseShapedDither::CoefficientsForRate(rate, &count);
        const std::vector<double> shaped = errorPsd(rate);
        for (double hz : {500.0, 2000.0, 4000.0, 8000.0, 12000.0, 16000.0, 20000.0})
        {
            const double f = hz / rate;
            const size_t centre = static_cast<size_t>(std::lround(f * size));
            double expected = 0.0;
            for (size_t k = centre - 3; k <= centre + 3; ++k)
                expected += ShapingPower(c, count, static_cast<double>(k) / size) / 7.0;
            const double measured =
                SpectrumTest::BandPower(shaped, size, f, 3) / SpectrumTest::BandPower(flat, size, f, 3);
            EXPECT_NEAR(10.0 * std::log10(measured), 10.0 * std::log10(expected), 1.0) << hz << " Hz";
        }
    }
}

// Every channel keeps its own error history: channel 3 of a four-channel
// sink comes out exactly as the same signal through a mono sink (the dither
// value of a frame is shared by all channels).
TEST(OutputProcessNoiseShapedDither, EveryChannelHasItsOwnHistory)
{
    const uint32_t n = 5000;
    Block<float> four(4, n);
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    for (auto& ch : four.data)
        for (float& s : ch)
            s = dist(rng);
    Block<float> mono(1, n);
    mono.data[0] = four.data[3];

    MemorySink sink4(44100, 16, 4), sink1(44100, 16, 1);
    CAudioRecorderOutputProcessNoiseShapedDither p4, p1;
    p4.SetAudioRecorderOutput(&sink4);
    p1.SetAudioRecorderOutput(&sink1);
    for (uint32_t done = 0; done < n; done += 1000)
    {
        std::vector<float*> a, b;
        for (auto& ch : four.data)
            a.push_back(ch.data() + done);
        b.push_back(mono.data[0].data() + done);
        ASSERT_EQ(p4.WriteAudioData(a.data(), 1000), 1000u);
        ASSERT_EQ(p1.WriteAudioData(b.data(), 1000), 1000u);
    }
    EXPECT_EQ(sink4.raw[3], sink1.raw[0]);
}

// Reset clears the error history (the generators run on).
TEST(OutputProcessNoiseShapedDither, ResetClearsTheHistory)
{
    const uint32_t n = 2000;
    auto run = [&](float firstLevel)
    {
        MemorySink sink(48000, 16, 2);
        CAudioRecorderOutputProcessNoiseShapedDither process;
        process.SetAudioRecorderOutput(&sink);
        Block<float> first(2, n);
        for (auto& ch : first.data)
            ch.assign(n, firstLevel);
        process.WriteAudioData(first.Ptrs(), n);
        process.Reset();
        Block<float> second(2, n);
        for (uint32_t i = 0; i < n; ++i)
            second.data[0][i] = second.data[1][i] = static_cast<float>(0.3 * std::sin(0.05 * i));
        process.WriteAudioData(second.Ptrs(), n);
        return std::vector<int32_t>(sink.raw[0].begin() + n, sink.raw[0].end());
    };
    EXPECT_EQ(run(0.1f), run(-0.37f));
}
} // namespace
