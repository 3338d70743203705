#include "common/dsp/CRealTimeFsConverterPcmOutput.h"

#include "tests/common/dsp/DspTestSupport.h"

#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <string>

namespace
{
using DspTest::Planar;

// Runs `input` through the converter in blocks of the given sizes and
// returns what it wrote; every block writes the count announced for it and
// leaves the caller's control word as it was.
Planar Convert(CRealTimeFsConverterPcmOutput& converter, Planar input, const std::vector<int>& blocks)
{
    const int channels = static_cast<int>(input.data.size());
    Planar output(channels,
                  input.data[0].size() * converter.GetOutputRate() / converter.GetInputRate() + 4096);
    const unsigned int callerWord = _mm_getcsr();
    size_t done = 0, written = 0;
    for (int n : blocks)
    {
        const int expected = converter.GetOutputFrameCount(n);
        EXPECT_LE(written + static_cast<size_t>(expected), output.data[0].size());
        auto in = input.At(done);
        auto out = output.At(written);
        EXPECT_EQ(converter.Process(in.data(), out.data(), n), expected);
        EXPECT_EQ(_mm_getcsr(), callerWord);
        done += static_cast<size_t>(n);
        written += static_cast<size_t>(expected);
    }
    for (auto& c : output.data)
        c.resize(written);
    return output;
}

Planar ConvertWhole(CRealTimeFsConverterPcmOutput& converter, const Planar& input)
{
    return Convert(converter, input, {static_cast<int>(input.data[0].size())});
}

struct Pair
{
    uint32_t inputRate;
    uint32_t outputRate;
};

std::string PairName(const ::testing::TestParamInfo<Pair>& info)
{
    return std::to_string(info.param.inputRate) + "_to_" + std::to_string(info.param.outputRate);
}

class RealTimeFsConverterPairs : public ::testing::TestWithParam<Pair>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_converter.SetSampleRates(GetParam().inputRate, GetParam().outputRate));
    }

    size_t InputFrames(double seconds) const { return static_cast<size_t>(seconds * GetParam().inputRate); }

    // The gain at low frequencies: 1, or with decimation the DC gain of its
    // short filter (about 1.84 of the nominal 2).
    double LowFrequencyGain() const
    {
        if (!m_converter.IsDecimationOn())
            return 1.0;
        const CDecimationFilter& decimator = m_converter.GetDecimator();
        double sum = 0.0;
        for (int j = 0; j < decimator.GetNumTaps(); ++j)
            sum += decimator.GetTaps()[j];
        return sum;
    }

    CRealTimeFsConverterPcmOutput m_converter{2};
};

INSTANTIATE_TEST_SUITE_P(RatePairs, RealTimeFsConverterPairs,
                         ::testing::Values(Pair{44100, 48000}, Pair{48000, 44100}, Pair{96000, 44100},
                                           Pair{88200, 96000}, Pair{22050, 44100}, Pair{2822400, 44100}),
                         PairName);

// Cutting the input into blocks of any sizes gives bit for bit the same output.
TEST_P(RealTimeFsConverterPairs, AnyPartitionGivesTheSameOutput)
{
    const Planar input = DspTest::Noise(2, InputFrames(0.1), 21);
    const Planar whole = ConvertWhole(m_converter, input);
    ASSERT_GT(whole.data[0].size(), 4000u);
    for (uint32_t seed : {1u, 2u, 3u})
    {
        m_converter.Reset();
        const Planar parts =
            Convert(m_converter, input, DspTest::RandomPartition(input.data[0].size(), seed, 3000));
        EXPECT_EQ(parts.data, whole.data) << "partition " << seed;
    }
}

// A sine comes out delayed by GetDelayOffsetSeconds, within one output sample,
// at the conversion's gain.
TEST_P(RealTimeFsConverterPairs, DelayMatchesTheReportedOffset)
{
    const double frequency = 500.0;
    const Planar output =
        ConvertWhole(m_converter, DspTest::Sine(2, InputFrames(0.3), frequency, GetParam().inputRate, 0.5));
    const double rate = GetParam().outputRate;
    const DspTest::SineFit fit = DspTest::FitSine(output.data[1], 2048, 8192, frequency / rate);
    const double period = 1.0 / frequency;
    const double delay = std::fmod(-fit.phase / (2.0 * DspTest::kPi * frequency) + period, period);
    EXPECT_NEAR(delay, m_converter.GetDelayOffsetSeconds(), 1.0 / rate);
    EXPECT_NEAR(fit.amplitude, 0.5 * LowFrequencyGain(), 1e-3);
}

// The output frequency of a sine is within 5 ppm of the input's (phase drift
// over one second), and what remains besides the sine is at least 75 dB down.
TEST_P(RealTimeFsConverterPairs, SineKeepsItsFrequency)
{
    CRealTimeFsConverterPcmOutput mono(1);
    ASSERT_TRUE(mono.SetSampleRates(GetParam().inputRate, GetParam().outputRate));
    const double frequency = 1000.0;
    const Planar output =
        ConvertWhole(mono, DspTest::Sine(1, InputFrames(1.2), frequency, GetParam().inputRate, 0.5));
    const double rate = GetParam().outputRate;
    const size_t first = 4096, window = 4096, second = first + static_cast<size_t>(rate);
    ASSERT_GE(output.data[0].size(), second + window);
    const double nominal = frequency / rate;
    const DspTest::SineFit a = DspTest::FitSine(output.data[0], first, window, nominal);
    const DspTest::SineFit b = DspTest::FitSine(output.data[0], second, window, nominal);
    const double drift = std::remainder(b.phase - a.phase, 2.0 * DspTest::kPi);
    const double ppm = drift / (2.0 * DspTest::kPi * frequency * (second - first) / rate) * 1e6;
    EXPECT_LT(std::abs(ppm), 5.0);

    const DspTest::SineFit exact =
        DspTest::FitSine(output.data[0], first, window, nominal * (1.0 + ppm * 1e-6));
    EXPECT_LT(20.0 * std::log10(exact.residualRms / (exact.amplitude / std::sqrt(2.0))), -75.0);
}

// Nothing is allocated while converting.
TEST_P(RealTimeFsConverterPairs, ProcessAllocatesNothing)
{
    if (!TestSupport::ThreadAllocationCounter::Available())
        GTEST_SKIP() << "needs the sanitizer's allocation hooks";
    using TestSupport::ThreadAllocationCounter;

    Planar input = DspTest::Noise(2, InputFrames(0.05), 4);
    Planar output(2, input.data[0].size());
    auto in = input.At(0);
    auto out = output.At(0);
    const int block = static_cast<int>(1023.0 * GetParam().inputRate / GetParam().outputRate);
    ThreadAllocationCounter::Start();
    for (size_t done = 0; done + static_cast<size_t>(block) <= input.data[0].size();
         done += static_cast<size_t>(block))
    {
        ASSERT_LE(m_converter.GetOutputFrameCount(block), 1024);
        m_converter.Process(in.data(), out.data(), block);
    }
    m_converter.Reset();
    m_converter.Process(in.data(), out.data(), 1);
    EXPECT_EQ(ThreadAllocationCounter::Stop(), 0);
}

// The image of a 5 kHz tone at 22.05 kHz lies at 17.05 kHz once converted to
// 44.1 kHz; the interpolation filter keeps it at least 60 dB down.
TEST(RealTimeFsConverter, ImageOfLowRateSourceIsSuppressed)
{
    CRealTimeFsConverterPcmOutput converter(1);
    ASSERT_TRUE(converter.SetSampleRates(22050, 44100));
    const Planar output = ConvertWhole(converter, DspTest::Sine(1, 22050 * 3 / 2, 5000.0, 22050.0, 0.5));
    const double tone = DspTest::ToneAmplitude(output.data[0], 1000, 44100, 5000.0 / 44100.0);
    const double image = DspTest::ToneAmplitude(output.data[0], 1000, 44100, 17050.0 / 44100.0);
    EXPECT_NEAR(tone, 0.5, 1e-3);
    EXPECT_LT(20.0 * std::log10(image / tone), -60.0);
}

// Sources of 44.1 kHz and above keep their top octave: a tone at 19.8 kHz
// loses no more than the transition the table's filter leaves there (about
// 0.9 dB with 24 taps per phase at 16 x 44.1 kHz, 1.1 dB at 16 x 48 kHz).
TEST(RealTimeFsConverter, HighToneOfFullRateSourceKeepsItsLevel)
{
    struct Row
    {
        uint32_t inputRate, outputRate;
        double maxLossdB;
    };
    const Row rows[] = {{44100, 48000, 1.0}, {88200, 48000, 1.0}, {48000, 44100, 1.5}};
    const double frequency = 19800.0;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::to_string(row.inputRate) + " to " + std::to_string(row.outputRate));
        CRealTimeFsConverterPcmOutput converter(1);
        ASSERT_TRUE(converter.SetSampleRates(row.inputRate, row.outputRate));
        const Planar output =
            ConvertWhole(converter, DspTest::Sine(1, row.inputRate / 4, frequency, row.inputRate, 0.5));
        const DspTest::SineFit fit = DspTest::FitSine(output.data[0], 1000, 8192, frequency / row.outputRate);
        EXPECT_GT(20.0 * std::log10(fit.amplitude / 0.5), -row.maxLossdB);
    }
}

TEST(RealTimeFsConverter, ConfigurationFollowsTheRates)
{
    struct Row
    {
        uint32_t inputRate, outputRate;
        int decimation; // 0: off
        int taps;       // of the interpolator; 0: off
        int cutoff;
        int L;
        int tapsPerPhase;
        double delaySeconds;
    };
    const Row rows[] = {
        {44100, 44100, 0, 0, 0, 0, 0, 0.0},
        {44100, 48000, 0, 384, 22000, 16, 24, 12.0 / 44100},
        {48000, 44100, 0, 384, 22000, 16, 24, 12.0 / 48000},
        {22050, 44100, 0, 384, 9922, 16, 24, 12.0 / 22050},
        {8000, 48000, 0, 384, 3600, 16, 24, 12.0 / 8000},
        {44100, 32000, 0, 384, 14400, 16, 24, 12.0 / 44100}, // below 44.1 kHz: 0.45 x the lower rate
        {96000, 44100, 0, 384, 22000, 8, 48, 24.0 / 96000},
        {88200, 96000, 0, 192, 30000, 8, 24, 12.0 / 88200},
        {96000, 88200, 0, 192, 30000, 8, 24, 12.0 / 96000},
        {192000, 176400, 0, 96, 40000, 4, 24, 12.0 / 192000},
        {192000, 48000, 0, 384, 22000, 4, 96, 48.0 / 192000},
        {2822400, 44100, 16, 384, 22000, 4, 96, 36.0 / 2822400 + 48.0 / 176400},
        {2822400, 176400, 16, 0, 0, 0, 0, 36.0 / 2822400},
        {5644800, 48000, 32, 384, 22000, 4, 96, 72.0 / 5644800 + 48.0 / 176400},
        {11289600, 192000, 64, 96, 40000, 4, 24, 144.0 / 11289600 + 12.0 / 176400},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::to_string(row.inputRate) + " to " + std::to_string(row.outputRate));
        CRealTimeFsConverterPcmOutput converter(2);
        EXPECT_EQ(converter.SetSampleRates(row.inputRate, row.outputRate),
                  row.inputRate != 44100 || row.outputRate != 44100);
        EXPECT_EQ(converter.IsProcessRequired(), row.inputRate != row.outputRate);
        EXPECT_EQ(converter.IsDecimationOn(), row.decimation != 0);
        if (row.decimation != 0)
        {
            EXPECT_EQ(converter.GetDecimator().GetDecimationRate(), row.decimation);
            EXPECT_EQ(converter.GetDecimator().GetCoeffs()->GetCutoffFreq(), 60000);
            EXPECT_NEAR(converter.GetDecimator().GetCoeffs()->GetSideLobeAttenuation(), 82.0, 0.0);
        }
        EXPECT_EQ(converter.IsInterpolationOn(), row.taps != 0);
        if (row.taps != 0)
        {
            const CFsCwInterpolation& interpolator = converter.GetInterpolator();
            EXPECT_EQ(interpolator.GetCoeffs()->GetFilterLength(), row.taps);
            EXPECT_EQ(interpolator.GetCoeffs()->GetCutoffFreq(), row.cutoff);
            EXPECT_EQ(interpolator.GetOversamplingRate(), row.L);
            EXPECT_EQ(interpolator.GetTapsPerPhase(), row.tapsPerPhase);
            EXPECT_NEAR(interpolator.GetCoeffs()->GetSideLobeAttenuation(), 85.0, 0.0);
        }
        EXPECT_NEAR(converter.GetDelayOffsetSeconds(), row.delaySeconds, 1e-12);
    }
}

TEST(RealTimeFsConverter, SetSampleRatesReportsChanges)
{
    CRealTimeFsConverterPcmOutput converter(2);
    EXPECT_FALSE(converter.SetSampleRates(44100, 44100));
    EXPECT_TRUE(converter.SetSampleRates(48000, 44100));
    EXPECT_FALSE(converter.SetSampleRates(48000, 44100));
    // A rate of 0 is refused and changes nothing.
    EXPECT_FALSE(converter.SetSampleRates(0, 44100));
    EXPECT_FALSE(converter.SetSampleRates(48000, 0));
    EXPECT_EQ(converter.GetInputRate(), 48000u);
    EXPECT_TRUE(converter.IsInterpolationOn());
}

TEST(RealTimeFsConverter, EqualRatesCopyAndDecimationAloneDivides)
{
    CRealTimeFsConverterPcmOutput converter(2);
    Planar input = DspTest::Noise(2, 1600, 9);
    Planar copy = ConvertWhole(converter, input);
    EXPECT_EQ(copy.data, input.data);

    ASSERT_TRUE(converter.SetSampleRates(2822400, 176400));
    Planar decimated = ConvertWhole(converter, input);
    EXPECT_EQ(decimated.data[0].size(), 100u);
}

// A change of rates mid-stream starts the new conversion from a clear history.
TEST(RealTimeFsConverter, RateChangeStartsClean)
{
    CRealTimeFsConverterPcmOutput changed(2), fresh(2);
    ASSERT_TRUE(changed.SetSampleRates(44100, 48000));
    ConvertWhole(changed, DspTest::Noise(2, 3000, 1));
    ASSERT_TRUE(changed.SetSampleRates(96000, 44100));
    ASSERT_TRUE(fresh.SetSampleRates(96000, 44100));
    const Planar input = DspTest::Noise(2, 3000, 2);
    EXPECT_EQ(ConvertWhole(changed, input).data, ConvertWhole(fresh, input).data);
}
} // namespace
