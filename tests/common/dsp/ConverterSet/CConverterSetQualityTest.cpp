#include "tests/common/dsp/ConverterSet/ConverterSetCases.h"
#include "tests/common/dsp/DspTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

// Measured quality of every converter at the rates it is designed at. The
// filters cut off at fc, half the lower rate; the export forms are designed
// for 120 dB of stop-band attenuation with a transition band that ends below
// 1.1 fc and a passband flat to 0.9 fc; the peak-detection forms for 24 dB.
// The floors below leave room for single-precision arithmetic.
namespace
{
using namespace ConverterSetTest;

constexpr double kAmplitude = 0.5;

struct Floors
{
    double rippledB;     // largest passband deviation
    double stopBanddB;   // smallest attenuation of a stop-band tone or an image
    double sweepErrordB; // passband sweep against the ideal output
    double sweepAliasdB; // stop-band sweep: what comes out
    double thdNdB;       // 1 kHz tone
    double timingFrames; // tone timing against the reported delay, input frames
};

constexpr Floors kExportFloors{0.001, 115.0, -105.0, -115.0, -120.0, 0.001};
constexpr Floors kPeakFloors{0.6, 22.0, -25.0, -25.0, -30.0, 0.01};

double Db(double ratio)
{
    return 20.0 * std::log10(ratio);
}

class ConverterQuality : public ::testing::TestWithParam<ConverterCase>
{
protected:
    void SetUp() override
    {
        const ConverterCase& c = GetParam();
        m_converter = c.make(1);
        m_fin = c.inputRate;
        m_fout = c.outputRate;
        m_fc = std::min(m_fin, m_fout) / 2.0;
        m_ratio = static_cast<double>(c.L) / c.M;
        m_floors = c.peakDetection ? kPeakFloors : kExportFloors;
    }

    // Converts x after a reset; `first` and `count` frame the outputs whose
    // filter window lies wholly inside the signal.
    std::vector<float> Run(const std::vector<float>& x, size_t& first, size_t& count)
    {
        const int D = GetParam().delay;
        m_converter->Reset();
        std::vector<float> y = Convert(*m_converter, x, 1000);
        first = static_cast<size_t>(std::ceil((2.0 * D + 2.0) * m_ratio));
        const size_t last = static_cast<size_t>(std::floor((x.size() - 1.0) * m_ratio));
        count = last > first ? last - first : 0;
        EXPECT_GE(y.size(), first + count);
        return y;
    }

    // Input frames for a measurement of `seconds` of steady output.
    size_t InputFrames(double seconds) const
    {
        return static_cast<size_t>(2 * GetParam().delay + 8 + seconds * m_fin);
    }

    std::vector<float> Tone(double f, size_t frames) const
    {
        std::vector<float> x(frames);
        for (size_t n = 0; n < frames; ++n)
            x[n] = static_cast<float>(kAmplitude * std::sin(2.0 * DspTest::kPi * f * n / m_fin));
        return x;
    }

    // A linear sweep from f0 to f1 over the frames; its phase at input time t (frames).
    double SweepPhase(double f0, double f1, double frames, double t) const
    {
        const double k = (f1 - f0) / frames;
        return 2.0 * DspTest::kPi * (f0 * t + 0.5 * k * t * t) / m_fin;
    }

    std::vector<float> Sweep(double f0, double f1, size_t frames) const
    {
        std::vector<float> x(frames);
        for (size_t n = 0; n < frames; ++n)
            x[n] = static_cast<float>(kAmplitude * std::sin(SweepPhase(f0, f1, frames, n)));
        return x;
    }

    std::vector<double> PassbandTones() const
    {
        return {20.0, 100.0, 1000.0, 4000.0, 10000.0, 15000.0, 0.8 * m_fc, 0.9 * m_fc};
    }

    // Input frequencies in the stop band: only a down-conversion has them.
    std::vector<double> StopBandTones() const
    {
        std::vector<double> tones;
        const double top = 0.98 * m_fin / 2.0;
        for (double f = 1.1 * m_fc; f < top; f += (top - 1.1 * m_fc) / 4.0 + 1.0)
            tones.push_back(f);
        if (!tones.empty())
            tones.push_back(top);
        return tones;
    }

    std::unique_ptr<CConverterPcmOutputDspBase> m_converter;
    double m_fin = 0, m_fout = 0, m_fc = 0, m_ratio = 1;
    Floors m_floors{};
};

// Passband tones keep their level and the timing the reported delay implies;
// what comes out beside them (images of the input spectrum, arithmetic noise)
// is stop-band material. Tones above the output's band (a down-conversion's
// stop band) must not alias into it.
TEST_P(ConverterQuality, TonesInPassAndStopBand)
{
    const int D = GetParam().delay;
    double ripple = 0.0, stopBand = 1e9, worstTiming = 0.0;
    for (double f : PassbandTones())
    {
        size_t first, count;
        const std::vector<float> y = Run(Tone(f, InputFrames(0.1)), first, count);
        const DspTest::SineFit fit = DspTest::FitSine(y, first, count, f / m_fout);
        ripple = std::max(ripple, std::abs(Db(fit.amplitude / kAmplitude)));
        stopBand = std::min(stopBand, Db(kAmplitude / std::sqrt(2.0) / fit.residualRms));
        // Output j is input time j x M / L - D: the phase of sin(w j + phase),
        // and its error as a timing error in input frames.
        const double expected = -2.0 * DspTest::kPi * f * D / m_fin;
        const double phaseError = std::remainder(fit.phase - expected, 2.0 * DspTest::kPi);
        worstTiming = std::max(worstTiming, std::abs(phaseError) / (2.0 * DspTest::kPi * f / m_fin));
    }
    for (double f : StopBandTones())
    {
        size_t first, count;
        const std::vector<float> y = Run(Tone(f, InputFrames(0.05)), first, count);
        double power = 0.0;
        for (size_t j = first; j < first + count; ++j)
            power += static_cast<double>(y[j]) * y[j];
        stopBand = std::min(stopBand, Db(kAmplitude / std::sqrt(2.0) / std::sqrt(power / count)));
    }
    std::printf("%-24s ripple %.6f dB, stop band %.1f dB, timing %.1e frames\n", GetParam().name, ripple,
                stopBand, worstTiming);
    EXPECT_LE(ripple, m_floors.rippledB);
    EXPECT_GE(stopBand, m_floors.stopBanddB);
    EXPECT_LE(worstTiming, m_floors.timingFrames);
}

// A sine swept through the passband comes out as the ideal delayed sweep; one
// swept through the stop band leaves nothing.
TEST_P(ConverterQuality, SweptSine)
{
    const int D = GetParam().delay;
    const size_t frames = InputFrames(0.2);
    {
        const double f0 = 20.0, f1 = 0.9 * m_fc;
        size_t first, count;
        const std::vector<float> y = Run(Sweep(f0, f1, frames), first, count);
        double error = 0.0;
        for (size_t j = first; j < first + count; ++j)
        {
            const double t = j / m_ratio - D;
            const double e = y[j] - kAmplitude * std::sin(SweepPhase(f0, f1, frames, t));
            error += e * e;
        }
        const double errordB = Db(std::sqrt(error / count) / (kAmplitude / std::sqrt(2.0)));
        std::printf("%-24s passband sweep error %.1f dB\n", GetParam().name, errordB);
        EXPECT_LE(errordB, m_floors.sweepErrordB);
    }
    const std::vector<double> stop = StopBandTones();
    if (!stop.empty())
    {
        size_t first, count;
        const std::vector<float> y = Run(Sweep(stop.front(), stop.back(), frames), first, count);
        double power = 0.0;
        for (size_t j = first; j < first + count; ++j)
            power += static_cast<double>(y[j]) * y[j];
        const double aliasdB = Db(std::sqrt(power / count) / (kAmplitude / std::sqrt(2.0)));
        std::printf("%-24s stop-band sweep alias %.1f dB\n", GetParam().name, aliasdB);
        EXPECT_LE(aliasdB, m_floors.sweepAliasdB);
    }
}

TEST_P(ConverterQuality, ThdPlusNoiseAt1kHz)
{
    size_t first, count;
    const std::vector<float> y = Run(Tone(1000.0, InputFrames(0.2)), first, count);
    const DspTest::SineFit fit = DspTest::FitSine(y, first, count, 1000.0 / m_fout);
    const double thdN = Db(fit.residualRms / (fit.amplitude / std::sqrt(2.0)));
    std::printf("%-24s THD+N %.1f dB\n", GetParam().name, thdN);
    EXPECT_LE(thdN, m_floors.thdNdB);
}

INSTANTIATE_TEST_SUITE_P(EveryConverter, ConverterQuality, ::testing::ValuesIn(AllConverters()),
                         [](const ::testing::TestParamInfo<ConverterCase>& info)
                         { return std::string(info.param.name); });
} // namespace
