#include "common/dsp/CDecimationFilter.h"
#include "common/dsp/CFsConverter.h"
#include "common/dsp/CFsCwInterpolation.h"
#include "common/dsp/COversamplingFilter.h"

#include "tests/common/dsp/DspTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace
{
using DspTest::Planar;

// Output m of a polyphase stage sits at position m x step of the upsampled
// domain, where an input spans L << bits positions. With q the whole phase
// index, f the fraction and n the newest input taken (q / L):
// y = (1 - f) sum x[k] h[q - kL] + f sum x[k] h[q + 1 - kL], k from 0 to n.
// (At q + 1 = (n + 1) L the second sum lacks the input not yet taken.)
std::vector<double> ReferencePolyphase(const std::vector<float>& x, const CFscBase& stage, int outputs)
{
    const CFirLpfCoeffs& h = *stage.GetCoeffs();
    const int64_t L = stage.GetOversamplingRate();
    const uint64_t perInput = stage.GetPositionsPerInput();
    const int bits = perInput == static_cast<uint64_t>(L) ? 0 : 14;
    auto phaseSum = [&](int64_t q, int64_t newest)
    {
        double sum = 0.0;
        for (int64_t k = newest; k >= 0 && q - k * L < h.GetFilterLength(); --k)
            sum += x[static_cast<size_t>(k)] * h.GetFilterCoeff(static_cast<int>(q - k * L));
        return sum;
    };
    std::vector<double> y;
    for (int m = 0; m < outputs; ++m)
    {
        const uint64_t position = static_cast<uint64_t>(m) * stage.GetPositionStep();
        const int64_t q = static_cast<int64_t>(position >> bits);
        const int64_t newest = q / L;
        const double f = static_cast<double>(position & ((1u << bits) - 1)) / (1u << bits);
        y.push_back(f == 0.0 ? phaseSum(q, newest)
                             : (1.0 - f) * phaseSum(q, newest) + f * phaseSum(q + 1, newest));
    }
    return y;
}

// Every input yields L outputs, phase after phase.
std::vector<double> ReferenceOversampling(const std::vector<float>& x, const CFscBase& stage, int outputs)
{
    const CFirLpfCoeffs& h = *stage.GetCoeffs();
    const int64_t L = stage.GetOversamplingRate();
    std::vector<double> y;
    for (int64_t t = 0; t < outputs; ++t)
    {
        double sum = 0.0;
        for (int64_t k = t / L; k >= 0 && t - k * L < h.GetFilterLength(); --k)
            sum += x[static_cast<size_t>(k)] * h.GetFilterCoeff(static_cast<int>(t - k * L));
        y.push_back(sum);
    }
    return y;
}

// Output m follows input m x M: y = sum over j of c[j] x[mM - j].
std::vector<double> ReferenceDecimation(const std::vector<float>& x, const CFirLpfBase& stage, int outputs)
{
    const CFirLpfCoeffs& h = *stage.GetCoeffs();
    const int64_t M = stage.GetDecimationRate();
    std::vector<double> y;
    for (int64_t m = 0; m < outputs; ++m)
    {
        double sum = 0.0;
        for (int64_t j = 0; j < h.GetFilterLength() && m * M - j >= 0; ++j)
            sum += h.GetFilterCoeff(static_cast<int>(j)) * x[static_cast<size_t>(m * M - j)];
        y.push_back(sum);
    }
    return y;
}

struct StageRow
{
    std::string name;
    int inputFrames;
    std::function<std::unique_ptr<CFirLpfBase>()> make;
    std::function<int(CFirLpfBase&, const float* const*, float* const*, int, bool)> run;
    std::function<std::vector<double>(const std::vector<float>&, const CFirLpfBase&, int)> reference;
};

template <class Stage>
StageRow Row(std::string name, int inputFrames, std::function<void(Stage&)> configure,
             std::function<std::vector<double>(const std::vector<float>&, const Stage&, int)> reference)
{
    return {std::move(name), inputFrames,
            [configure]
            {
                auto stage = std::make_unique<Stage>(2);
                configure(*stage);
                return std::unique_ptr<CFirLpfBase>(std::move(stage));
            },
            [](CFirLpfBase& stage, const float* const* in, float* const* out, int n, bool sse)
            {
                Stage& s = static_cast<Stage&>(stage);
                return sse ? s.ProcessSSE(in, out, n) : s.ProcessScalar(in, out, n);
            },
            [reference](const std::vector<float>& x, const CFirLpfBase& stage, int outputs)
            { return reference(x, static_cast<const Stage&>(stage), outputs); }};
}

std::vector<StageRow> StageRows()
{
    auto polyphase = [](const std::vector<float>& x, const CFscBase& s, int n)
    { return ReferencePolyphase(x, s, n); };
    auto upsample = [](const std::vector<float>& x, const CFscBase& s, int n)
    { return ReferenceOversampling(x, s, n); };
    auto decimate = [](const std::vector<float>& x, const CDecimationFilter& s, int n)
    { return ReferenceDecimation(x, s, n); };
    return {
        Row<CFsConverter>(
            "44.1 to 48 kHz, 120 dB", 3000,
            [](CFsConverter& s)
            {
                s.SetSideLobeAttenuation(120.0);
                s.SetFilterCoeffs(15361, 44100, 22050, 160, 147, 0.0);
            },
            polyphase),
        Row<CFsConverter>(
            "96 to 44.1 kHz, 24 dB", 6000,
            [](CFsConverter& s)
            {
                s.SetSideLobeAttenuation(24.0);
                s.SetFilterCoeffs(9409, 96000, 22050, 147, 320, 0.0);
            },
            polyphase),
        Row<CFsCwInterpolation>(
            "variable 44.1 to 48 kHz", 3000,
            [](CFsCwInterpolation& s)
            {
                s.SetSideLobeAttenuation(85.0);
                s.SetFilterCoeffs(384, 44100, 48000.0f, 19845, 16, 0.0);
            },
            polyphase),
        Row<CFsCwInterpolation>(
            "variable 96 to 44.1 kHz", 5000,
            [](CFsCwInterpolation& s)
            {
                s.SetSideLobeAttenuation(85.0);
                s.SetFilterCoeffs(384, 96000, 44100.0f, 19845, 8, 0.0);
            },
            polyphase),
        Row<CFsCwInterpolation>(
            "variable 192 to 176.4 kHz", 3000,
            [](CFsCwInterpolation& s)
            {
                s.SetSideLobeAttenuation(85.0);
                s.SetFilterCoeffs(96, 192000, 176400.0f, 40000, 4, 0.0);
            },
            polyphase),
        Row<COversamplingFilter>(
            "2x oversampling", 2000,
            [](COversamplingFilter& s)
            {
                s.SetSideLobeAttenuation(120.0);
                s.SetFilterCoeffs(193, 44100, 22050, 2, 0.0);
            },
            upsample),
        Row<CDecimationFilter>(
            "2x decimation", 4000,
            [](CDecimationFilter& s)
            {
                s.SetSideLobeAttenuation(120.0);
                s.SetFilterCoeffs(193, 88200, 22050, 2, 0.0);
            },
            decimate),
        Row<CDecimationFilter>(
            "1-bit 16x decimation", 16000,
            [](CDecimationFilter& s)
            {
                s.SetSideLobeAttenuation(82.0);
                s.SetFilterCoeffs(73, 2822400, 60000, 16, 6.020599913279624);
            },
            decimate),
    };
}

// Feeds the input through both implementations of a fresh stage of the row
// in the given blocks: every block writes the count announced for it, each
// implementation computes the sums of the definition to float precision
// (within 1e-5), and the two agree within `agreement`.
void ExpectBothImplementationsMatchTheDefinition(const StageRow& row, Planar& input,
                                                 const std::vector<int>& blocks, double agreement)
{
    std::vector<std::vector<float>> results[2];
    for (bool sse : {true, false})
    {
        std::unique_ptr<CFirLpfBase> stage = row.make();
        Planar output(2, input.data[0].size() * 3);
        size_t done = 0, written = 0;
        for (int n : blocks)
        {
            const int expected = stage->GetOutputFrameCount(n);
            auto in = input.At(done);
            auto out = output.At(written);
            ASSERT_EQ(row.run(*stage, in.data(), out.data(), n, sse), expected);
            done += static_cast<size_t>(n);
            written += static_cast<size_t>(expected);
        }
        for (auto& c : output.data)
            c.resize(written);
        for (int c = 0; c < 2; ++c)
        {
            const std::vector<double> reference =
                row.reference(input.data[c], *stage, static_cast<int>(written));
            double worst = 0.0;
            for (size_t m = 0; m < written; ++m)
                worst = std::max(worst, std::abs(output.data[c][m] - reference[m]));
            EXPECT_LT(worst, 1e-5) << (sse ? "vector" : "plain") << " channel " << c;
        }
        results[sse ? 0 : 1] = output.data;
    }
    ASSERT_EQ(results[0][0].size(), results[1][0].size());
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
        for (size_t m = 0; m < results[0][c].size(); ++m)
            worst = std::max(worst, static_cast<double>(std::abs(results[0][c][m] - results[1][c][m])));
    EXPECT_LE(worst, agreement);
}

// Each stage, fed in random blocks through both implementations, computes the
// sums of its definition to float precision; the two implementations agree
// within 1e-6; every block writes the count announced for it.
TEST(FirFilterStages, MatchTheirDefinitionInBothImplementations)
{
    for (const StageRow& row : StageRows())
    {
        SCOPED_TRACE(row.name);
        Planar input = DspTest::Noise(2, static_cast<size_t>(row.inputFrames), 7);
        ExpectBothImplementationsMatchTheDefinition(
            row, input, DspTest::RandomPartition(input.data[0].size(), 11, 700), 1e-6);
    }
}

// The vector converter computes stereo outputs in tiles of up to four
// outputs per phase. Fed in blocks that hold whole tiles, parts of tiles and
// single outputs, the export designs of 96 to 44.1 kHz and 44.1 to 48 kHz
// stay within float rounding of the definition and of the plain converter
// (their 384 and 96 taps per phase round a little more than the short
// filters above).
TEST(FirFilterStages, RationalConverterTilesMatchThePlainConverter)
{
    auto polyphase = [](const std::vector<float>& x, const CFscBase& s, int n)
    { return ReferencePolyphase(x, s, n); };
    const StageRow rows[] = {
        Row<CFsConverter>(
            "96 to 44.1 kHz, 120 dB", 0,
            [](CFsConverter& s)
            {
                s.SetSideLobeAttenuation(120.0);
                s.SetFilterCoeffs(56449, 96000, 22050, 147, 320, 0.0);
            },
            polyphase),
        Row<CFsConverter>(
            "44.1 to 48 kHz, 120 dB", 0,
            [](CFsConverter& s)
            {
                s.SetSideLobeAttenuation(120.0);
                s.SetFilterCoeffs(15361, 44100, 22050, 160, 147, 0.0);
            },
            polyphase),
    };
    const std::vector<int> blocks = {4096, 1301, 1, 0, 2700, 2, 700};
    size_t total = 0;
    for (int n : blocks)
        total += static_cast<size_t>(n);
    Planar input = DspTest::Noise(2, total, 9);
    for (const StageRow& row : rows)
    {
        SCOPED_TRACE(row.name);
        ExpectBothImplementationsMatchTheDefinition(row, input, blocks, 2e-6);
    }
}

TEST(FirFilterStages, RationalConverterSteadyBlockCounts)
{
    struct Row
    {
        int taps, rate, cutoff, L, M, blockIn, blockOut;
    };
    const Row rows[] = {{15361, 44100, 22050, 160, 147, 147, 160}, {9409, 96000, 22050, 147, 320, 320, 147}};
    for (const Row& row : rows)
    {
        CFsConverter converter(1);
        converter.SetFilterCoeffs(row.taps, row.rate, row.cutoff, row.L, row.M, 0.0);
        Planar in = DspTest::Noise(1, static_cast<size_t>(row.blockIn), 3);
        Planar out(1, static_cast<size_t>(row.blockOut) + 1);
        for (int block = 0; block < 5; ++block)
            EXPECT_EQ(converter.Process(in.At(0).data(), out.At(0).data(), row.blockIn), row.blockOut);
    }
}

TEST(FirFilterStages, InterpolatorStepCarriesFourteenFractionBits)
{
    struct Row
    {
        int rate;
        float outputRate;
        int L;
        uint32_t step;
    };
    const Row rows[] = {{44100, 48000.0f, 16, 240844},
                        {22050, 44100.0f, 16, 131072},
                        {96000, 44100.0f, 8, 285326},
                        {88200, 96000.0f, 8, 120422}};
    for (const Row& row : rows)
    {
        CFsCwInterpolation interpolator(2);
        ASSERT_TRUE(interpolator.SetFilterCoeffs(384, row.rate, row.outputRate, 19845, row.L, 0.0));
        EXPECT_EQ(interpolator.GetPositionStep(), row.step) << row.rate;
        EXPECT_EQ(interpolator.GetPositionsPerInput(), static_cast<uint64_t>(row.L) << 14);
        EXPECT_EQ(interpolator.GetOversamplingRate(), row.L);
    }
    CFsCwInterpolation interpolator(2);
    EXPECT_FALSE(interpolator.SetFilterCoeffs(384, 44100, 0.0f, 19845, 16, 0.0));
    EXPECT_FALSE(interpolator.SetFilterCoeffs(384, 44100, std::nanf(""), 19845, 16, 0.0));
}

// The 1-bit decimator and the half-band one by 2 (whose vector form keeps
// its inputs apart by parity) alike.
TEST(FirFilterStages, DecimatorWorksInPlaceAndSkipsMissingChannels)
{
    struct Design
    {
        const char* name;
        int taps, rate, cutoff, M;
        double gaindB;
        int outputs; // of 5000 inputs: the first input and every M-th after it
    };
    const Design designs[] = {{"1-bit 16x", 73, 2822400, 60000, 16, 6.020599913279624, 313},
                              {"half-band 2x", 193, 88200, 22050, 2, 0.0, 2500}};
    Planar input = DspTest::Noise(2, 5000, 5);
    for (const Design& d : designs)
    {
        SCOPED_TRACE(d.name);
        const auto configure = [&d](CDecimationFilter& f)
        { f.SetFilterCoeffs(d.taps, d.rate, d.cutoff, d.M, d.gaindB); };
        CDecimationFilter apart(2), inPlace(2);
        configure(apart);
        configure(inPlace);
        Planar output(2, 5000);
        Planar shared = input;
        const int n = apart.Process(input.At(0).data(), output.At(0).data(), 5000);
        EXPECT_EQ(n, d.outputs);
        EXPECT_EQ(inPlace.Process(shared.At(0).data(), shared.At(0).data(), 5000), n);
        for (int c = 0; c < 2; ++c)
            for (int m = 0; m < n; ++m)
                ASSERT_EQ(shared.data[c][m], output.data[c][m]);

        // A null output channel is skipped but the others are written.
        CDecimationFilter skipping(2);
        configure(skipping);
        Planar second(2, 5000);
        float* outs[2] = {nullptr, second.data[1].data()};
        EXPECT_EQ(skipping.Process(input.At(0).data(), outs, 5000), n);
        for (int m = 0; m < n; ++m)
            ASSERT_EQ(second.data[1][m], output.data[1][m]);
    }

    // Not yet configured: nothing is written.
    Planar output(2, 5000);
    CDecimationFilter unset(2);
    EXPECT_EQ(unset.Process(input.At(0).data(), output.At(0).data(), 100), 0);
}

// The 2x half-band stages keep what both of their forms need: fed in blocks
// that go in turns through the vector and the plain form, they still compute
// the sums of their definition.
TEST(FirFilterStages, HalfBandStagesMayTakeTurnsBetweenTheirForms)
{
    for (const StageRow& row : StageRows())
    {
        if (row.name != "2x oversampling" && row.name != "2x decimation")
            continue;
        SCOPED_TRACE(row.name);
        Planar input = DspTest::Noise(2, static_cast<size_t>(row.inputFrames), 4);
        std::unique_ptr<CFirLpfBase> stage = row.make();
        Planar output(2, input.data[0].size() * 2);
        size_t done = 0, written = 0;
        bool sse = true;
        for (int n : DspTest::RandomPartition(input.data[0].size(), 6, 500))
        {
            auto in = input.At(done);
            auto out = output.At(written);
            written += static_cast<size_t>(row.run(*stage, in.data(), out.data(), n, sse));
            done += static_cast<size_t>(n);
            sse = !sse;
        }
        for (int c = 0; c < 2; ++c)
        {
            const std::vector<double> reference =
                row.reference(input.data[c], *stage, static_cast<int>(written));
            for (size_t m = 0; m < written; ++m)
                ASSERT_NEAR(output.data[c][m], reference[m], 1e-5) << "channel " << c << " output " << m;
        }
    }
}
} // namespace
