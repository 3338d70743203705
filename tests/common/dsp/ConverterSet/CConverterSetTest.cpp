#include "tests/common/dsp/ConverterSet/ConverterSetCases.h"
#include "tests/common/dsp/DspTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <typeinfo>

namespace
{
using namespace ConverterSetTest;

// Every class reports the ratio and the delay it is built for.
TEST(ConverterSet, ClassesReportTheirRatioAndDelay)
{
    for (const ConverterCase& c : AllConverters())
    {
        SCOPED_TRACE(c.name);
        auto converter = c.make(2);
        EXPECT_EQ(converter->GetNumChannels(), 2);
        EXPECT_EQ(converter->GetOversamplingRate(), c.L);
        EXPECT_EQ(converter->GetDecimationRate(), c.M);
        EXPECT_EQ(converter->GetDelayOffsetInputSamples(), c.delay);
    }
}

// Each pair of rates gets the class of its ratio; other rates get nothing.
TEST(ConverterSet, FactoryPicksTheClassOfEveryRatePair)
{
    struct Pair
    {
        uint32_t in, out;
        const std::type_info& normal;
        const std::type_info& peak;
    };
    const Pair pairs[] = {
        {44100, 44100, typeid(CConverterPcmOutputSameRate), typeid(CConverterPcmOutputSameRate)},
        {48000, 48000, typeid(CConverterPcmOutputSameRate), typeid(CConverterPcmOutputSameRate)},
        {88200, 88200, typeid(CConverterPcmOutputSameRate), typeid(CConverterPcmOutputSameRate)},
        {96000, 96000, typeid(CConverterPcmOutputSameRate), typeid(CConverterPcmOutputSameRate)},
        {44100, 48000, typeid(CConverter44_1kHz_To_48kHz), typeid(CConverter44_1kHz_To_48kHz_Peak_Detection)},
        {88200, 96000, typeid(CConverter44_1kHz_To_48kHz), typeid(CConverter44_1kHz_To_48kHz_Peak_Detection)},
        {44100, 88200, typeid(CConverter44_1kHz_To_88_2kHz),
         typeid(CConverter44_1kHz_To_88_2kHz_Peak_Detection)},
        {48000, 96000, typeid(CConverter44_1kHz_To_88_2kHz),
         typeid(CConverter44_1kHz_To_88_2kHz_Peak_Detection)},
        {44100, 96000, typeid(CConverter44_1kHz_To_96kHz), typeid(CConverter44_1kHz_To_96kHz_Peak_Detection)},
        {48000, 44100, typeid(CConverter48kHz_To_44_1kHz), typeid(CConverter48kHz_To_44_1kHz_Peak_Detection)},
        {96000, 88200, typeid(CConverter48kHz_To_44_1kHz), typeid(CConverter48kHz_To_44_1kHz_Peak_Detection)},
        {48000, 88200, typeid(CConverter48kHz_To_88_2kHz), typeid(CConverter48kHz_To_88_2kHz_Peak_Detection)},
        {88200, 44100, typeid(CConverter88_2kHz_To_44_1kHz),
         typeid(CConverter88_2kHz_To_44_1kHz_Peak_Detection)},
        {96000, 48000, typeid(CConverter88_2kHz_To_44_1kHz),
         typeid(CConverter88_2kHz_To_44_1kHz_Peak_Detection)},
        {88200, 48000, typeid(CConverter88_2kHz_To_48kHz), typeid(CConverter88_2kHz_To_48kHz_Peak_Detection)},
        {96000, 44100, typeid(CConverter96kHz_To_44_1kHz), typeid(CConverter96kHz_To_44_1kHz_Peak_Detection)},
    };
    for (const Pair& p : pairs)
    {
        SCOPED_TRACE(std::to_string(p.in) + " -> " + std::to_string(p.out));
        auto normal = CreateConverterForRates(p.in, p.out, 2, false);
        auto peak = CreateConverterForRates(p.in, p.out, 2, true);
        ASSERT_TRUE(normal && peak);
        EXPECT_EQ(typeid(*normal), p.normal);
        EXPECT_EQ(typeid(*peak), p.peak);
        // The ratio of the class is the ratio of the rates.
        EXPECT_EQ(static_cast<uint64_t>(p.in) * normal->GetOversamplingRate(),
                  static_cast<uint64_t>(p.out) * normal->GetDecimationRate());
    }
    EXPECT_EQ(CreateConverterForRates(32000, 44100, 2, false), nullptr);
    EXPECT_EQ(CreateConverterForRates(44100, 32000, 2, true), nullptr);
    EXPECT_EQ(CreateConverterForRates(176400, 88200, 2, false), nullptr);
    EXPECT_EQ(CreateConverterForRates(0, 0, 2, false), nullptr);
}

TEST(ConverterSet, SameRateCopies)
{
    CConverterPcmOutputSameRate converter(2);
    EXPECT_EQ(converter.GetDelayOffsetInputSamples(), 0);
    DspTest::Planar in = DspTest::Noise(2, 100, 3);
    DspTest::Planar out(2, 100);
    const auto i = in.At(0);
    const auto o = out.At(0);
    EXPECT_EQ(converter.Process(i.data(), o.data(), 100), 100u);
    EXPECT_EQ(out.data, in.data);
}

struct RatePair
{
    uint32_t in, out;
    bool peak;
};

std::vector<RatePair> AllRatePairs()
{
    std::vector<RatePair> pairs;
    for (bool peak : {false, true})
        for (uint32_t in : kExportRates)
            for (uint32_t out : kExportRates)
                pairs.push_back({in, out, peak});
    return pairs;
}

class EveryRatePair : public ::testing::TestWithParam<RatePair>
{
protected:
    std::unique_ptr<CConverterPcmOutputDspBase> Make(int channels) const
    {
        return CreateConverterForRates(GetParam().in, GetParam().out, channels, GetParam().peak);
    }
};

// N input frames give N x L / M output frames within one frame, whatever the
// blocks, and every block gives what GetOutputFrameCount announced. Block
// boundaries don't change a sample, and the channels don't mix.
TEST_P(EveryRatePair, LengthAndBlockIndependence)
{
    const size_t N = 20011;
    auto whole = Make(2);
    auto blocked = Make(2);
    ASSERT_TRUE(whole && blocked);
    const double L = whole->GetOversamplingRate(), M = whole->GetDecimationRate();

    DspTest::Planar in = DspTest::Noise(2, N, 11);
    const size_t capacity = static_cast<size_t>(std::ceil(N * L / M)) + 1;
    DspTest::Planar one(2, capacity), parts(2, capacity);

    const auto i0 = in.At(0);
    const auto o0 = one.At(0);
    const uint32_t expected = whole->GetOutputFrameCount(N);
    ASSERT_EQ(whole->Process(i0.data(), o0.data(), N), expected);
    EXPECT_LT(std::abs(expected - N * L / M), 1.0);

    size_t done = 0, written = 0;
    for (int n : DspTest::RandomPartition(N, 5, 3000))
    {
        const auto i = in.At(done);
        const auto o = parts.At(written);
        const uint32_t announced = blocked->GetOutputFrameCount(static_cast<uint32_t>(n));
        ASSERT_EQ(blocked->Process(i.data(), o.data(), static_cast<uint32_t>(n)), announced);
        done += static_cast<size_t>(n);
        written += announced;
    }
    ASSERT_EQ(written, expected);
    EXPECT_EQ(parts.data, one.data);

    // Channel 1 alone through a mono converter gives the same samples.
    auto mono = Make(1);
    DspTest::Planar single(1, capacity);
    const float* i1[1] = {in.data[1].data()};
    float* o1[1] = {single.data[0].data()};
    ASSERT_EQ(mono->Process(i1, o1, N), expected);
    EXPECT_EQ(single.data[0], one.data[1]);
}

// An impulse at input frame n0 peaks at the output frame nearest to
// (n0 + delay) x L / M, the delay being the one the converter reports. A
// Reset forgets everything that went before.
TEST_P(EveryRatePair, ImpulseStaysAlignedAndResetClears)
{
    auto converter = Make(1);
    ASSERT_TRUE(converter);
    const double L = converter->GetOversamplingRate(), M = converter->GetDecimationRate();
    const int D = converter->GetDelayOffsetInputSamples();

    // Something in the history first, which Reset must clear.
    const std::vector<float> noise = DspTest::Noise(1, 3000, 9).data[0];
    Convert(*converter, noise);

    for (size_t n0 : {500u, 777u, 1001u})
    {
        SCOPED_TRACE(n0);
        converter->Reset();
        std::vector<float> x(n0 + 2 * D + 400, 0.0f);
        x[n0] = 1.0f;
        const std::vector<float> y = Convert(*converter, x, 333);
        size_t peak = 0;
        for (size_t j = 1; j < y.size(); ++j)
            if (std::abs(y[j]) > std::abs(y[peak]))
                peak = j;
        EXPECT_LE(std::abs(peak - (n0 + D) * L / M), 0.5);
        // Nothing before the filter can have seen the impulse.
        const size_t firstReached = static_cast<size_t>(std::floor(n0 * L / M));
        for (size_t j = 0; j < firstReached; ++j)
            ASSERT_EQ(y[j], 0.0f) << "output " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(ConverterSet, EveryRatePair, ::testing::ValuesIn(AllRatePairs()),
                         [](const ::testing::TestParamInfo<RatePair>& info)
                         {
                             return std::to_string(info.param.in) + "_To_" + std::to_string(info.param.out) +
                                    (info.param.peak ? "_Peak" : "");
                         });
} // namespace
