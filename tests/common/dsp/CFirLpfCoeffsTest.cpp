#include "common/dsp/CFirLpfCoeffs.h"
#include "common/dsp/CDecimationFilter.h"
#include "common/dsp/CFsConverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace
{
constexpr double kPi = 3.14159265358979323846;

TEST(FirDesign, KaiserBetaFollowsAttenuation)
{
    struct Row
    {
        double attenuation;
        double beta;
    };
    const Row rows[] = {
        {120.0, 12.26526},
        {100.0, 10.06126},
        {85.0, 8.40826},
        {80.0, 7.85726},
        {24.0, 0.5842 * std::pow(3.0, 0.4) + 0.07886 * 3.0},
        {21.0, 0.0},
        {-5.0, 0.0},
    };
    for (const Row& row : rows)
    {
        CKaiserWindowCoeffs window;
        EXPECT_NEAR(window.SetSideLobeAttenuation(row.attenuation), row.beta, 1e-5) << row.attenuation;
    }
    EXPECT_NEAR(CKaiserWindowCoeffs::BetaForAttenuation(24.0), 1.14317, 1e-5);

    // A new window is the 48-tap window of 80 dB.
    CKaiserWindowCoeffs window;
    EXPECT_EQ(window.GetFilterLength(), 48);
    EXPECT_DOUBLE_EQ(window.GetCentre(), 23.5);
    EXPECT_NEAR(window.GetBeta(), 7.85726, 1e-9);
    EXPECT_EQ(window.GetBesselFunctionLength(), 15);
}

TEST(FirDesign, KaiserWindowMatchesBesselFunction)
{
    CKaiserWindowCoeffs window;
    window.SetFilterLength(9);
    const double beta = window.SetSideLobeAttenuation(85.0);
    for (int i = 0; i < 9; ++i)
    {
        const double x = (i - 4.0) / 4.0;
        const double expected =
            std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - x * x)) / std::cyl_bessel_i(0.0, beta);
        EXPECT_NEAR(window.GetFilterCoeff(i), expected, 1e-7 * expected) << i;
    }
    EXPECT_EQ(window.GetFilterCoeff(-1), 0.0);
    EXPECT_EQ(window.GetFilterCoeff(9), 0.0);

    // No Bessel terms: I0 is 1 and the window rectangular.
    window.SetBesselFunctionLength(0);
    EXPECT_EQ(window.GetFilterCoeff(0), 1.0);
    EXPECT_EQ(window.GetFilterCoeff(4), 1.0);
    // A window of one sample is its centre.
    window.SetBesselFunctionLength(15);
    window.SetFilterLength(1);
    EXPECT_DOUBLE_EQ(window.GetFilterCoeff(0), 1.0);
}

TEST(FirDesign, SingleTapLowPassIsGainTimesBandwidth)
{
    CFirLpfCoeffs coeffs;
    coeffs.SetFilterLength(1);
    coeffs.SetSampleRate(88200);
    coeffs.SetCutoffFreq(22050);
    coeffs.SetGain(6.020599913279624);
    EXPECT_NEAR(coeffs.GetFilterCoeff(0), 2.0 * 0.5, 1e-12);
    EXPECT_EQ(coeffs.GetFilterCoeff(1), 0.0);
    // A rate below 1 is refused.
    EXPECT_EQ(coeffs.SetSampleRate(0), 88200);
}

// The designed low-passes meet their attenuation beyond the Kaiser transition
// band and pass DC at their gain.
TEST(FirDesign, LowPassMeetsItsAttenuation)
{
    struct Row
    {
        int taps;
        int rate;
        int cutoff;
        int factor;
        double attenuation;
    };
    const Row rows[] = {
        {384, 44100, 19845, 16, 85.0},     // real-time 44.1 kHz interpolator
        {192, 88200, 30000, 8, 85.0},      // real-time 88.2 kHz interpolator
        {384, 96000, 19845, 8, 85.0},      // real-time 96 kHz interpolator
        {193, 44100, 22050, 2, 120.0},     // export 2x oversampling
        {15361, 44100, 22050, 160, 120.0}, // export 44.1 -> 48 kHz
        {2561, 44100, 22050, 160, 24.0},   // its peak-detection twin
    };
    for (const Row& row : rows)
    {
        COversamplingFilterCoeffs coeffs;
        coeffs.SetSideLobeAttenuation(row.attenuation);
        coeffs.SetSampleRate(row.rate);
        coeffs.SetOversamplingRate(row.factor);
        coeffs.SetFilterLength(row.taps);
        coeffs.SetCutoffFreq(row.cutoff);
        coeffs.SetGain(0.0);
        const double designRate = static_cast<double>(row.rate) * row.factor;
        // Kaiser's estimate of the transition width for this length and attenuation.
        const double width = (row.attenuation - 7.95) / (2.285 * (row.taps - 1)) / (2.0 * kPi) * designRate;
        double dc = 0.0;
        for (int i = 0; i < row.taps; ++i)
            dc += coeffs.GetFilterCoeff(i);
        // The pass band ripples by up to the stop-band level.
        EXPECT_NEAR(dc, row.factor, std::pow(10.0, -row.attenuation / 20.0) * row.factor) << row.taps;

        double worst = 0.0;
        const double firstStop = row.cutoff + 0.5 * width;
        for (int k = 0; k <= 400; ++k)
        {
            const double f = firstStop + (0.5 * designRate - firstStop) * k / 400.0;
            std::complex<double> h = 0.0;
            for (int i = 0; i < row.taps; ++i)
                h += coeffs.GetFilterCoeff(i) * std::polar(1.0, -2.0 * kPi * f * i / designRate);
            worst = std::max(worst, std::abs(h) / row.factor);
        }
        EXPECT_LT(20.0 * std::log10(worst), -(row.attenuation - 1.5)) << row.taps;
    }
}

TEST(FirDesign, DelaysInInputSamples)
{
    struct Row
    {
        int taps;
        int factor;
        int delay;
    };
    const Row rows[] = {
        {15361, 160, 48}, {193, 2, 48}, {56449, 147, 192}, {2561, 160, 8}, {384, 16, 12},
        {384, 8, 24},     {192, 8, 12}, {384, 4, 48},      {96, 4, 12},
    };
    for (const Row& row : rows)
    {
        COversamplingFilterCoeffs coeffs;
        coeffs.SetOversamplingRate(row.factor);
        coeffs.SetFilterLength(row.taps);
        EXPECT_EQ(coeffs.GetDelayOffsetInputSamples(), row.delay) << row.taps << "/" << row.factor;
    }
    CFirLpfCoeffs plain;
    plain.SetFilterLength(193);
    EXPECT_EQ(plain.GetDelayOffsetInputSamples(), 96);
}

TEST(FirDesign, DecimatorTapCounts)
{
    const int rows[][2] = {{193, 193}, {196, 193}, {200, 201}, {1000, 505}, {73, 73}, {289, 289}, {0, 1}};
    for (const auto& row : rows)
    {
        CDecimationFilter filter(2);
        filter.SetFilterCoeffs(row[0], 88200, 22050, 2, 0.0);
        EXPECT_EQ(filter.GetNumTaps(), row[1]) << row[0];
        EXPECT_EQ(filter.GetDelayOffsetInputSamples(), row[1] / 2) << row[0];
        // The taps are symmetric.
        for (int j = 0; j < row[1]; ++j)
            ASSERT_EQ(filter.GetTaps()[j], filter.GetTaps()[row[1] - 1 - j]);
    }
}

TEST(FirDesign, PolyphaseTapsPerPhase)
{
    struct Row
    {
        int taps;
        int factor;
        int tapsPerPhase;
        int phaseArrays;
    };
    const Row rows[] = {
        {384, 16, 24, 17},      {384, 8, 48, 9},        {192, 8, 24, 9},    {96, 4, 24, 5}, {384, 4, 96, 5},
        {15361, 160, 100, 161}, {56449, 147, 388, 148}, {100, 600, 4, 512}, {1, 1, 4, 2},
    };
    for (const Row& row : rows)
    {
        CFsConverter converter(2);
        ASSERT_TRUE(converter.SetFilterCoeffs(row.taps, 44100, 20000, row.factor, 1, 0.0));
        EXPECT_EQ(converter.GetTapsPerPhase(), row.tapsPerPhase) << row.taps << "/" << row.factor;
        EXPECT_EQ(converter.GetNumPhaseArrays(), row.phaseArrays) << row.taps << "/" << row.factor;
    }
    CFsConverter converter(2);
    EXPECT_FALSE(converter.SetFilterCoeffs(384, 0, 20000, 16, 1, 0.0));
}
} // namespace
