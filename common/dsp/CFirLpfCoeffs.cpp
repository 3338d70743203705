#include "common/dsp/CFirLpfCoeffs.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
constexpr double kTwoPi = 6.283185307179586;
constexpr int kDefaultLength = 48;
constexpr double kDefaultAttenuation = 80.0;
constexpr int kDefaultBesselTerms = 15;
} // namespace

// ---------------------------------------------------------------------------
// CKaiserWindowCoeffs

CKaiserWindowCoeffs::CKaiserWindowCoeffs()
    : m_filterLength(0), m_centre(0.0), m_beta(0.0), m_inverseI0Beta(1.0), m_inverseLengthMinusOne(0.0),
      m_sideLobeAttenuation(kDefaultAttenuation), m_besselLength(kDefaultBesselTerms)
{
    CKaiserWindowCoeffs::SetFilterLength(kDefaultLength);
    m_beta = BetaForAttenuation(kDefaultAttenuation);
    UpdateInverseI0();
}

int CKaiserWindowCoeffs::SetFilterLength(int length)
{
    m_filterLength = std::max(length, 0);
    m_centre = (m_filterLength - 1) * 0.5;
    // A window of one sample is its centre; keep x at 0 instead of dividing by 0.
    m_inverseLengthMinusOne = m_filterLength > 1 ? 1.0 / (m_filterLength - 1) : 0.0;
    return m_filterLength;
}

double CKaiserWindowCoeffs::GetFilterCoeff(int i) const
{
    return WindowValue(i);
}

double CKaiserWindowCoeffs::WindowValue(int i) const
{
    if (i < 0 || i >= m_filterLength)
        return 0.0;
    if (m_besselLength < 1)
        return m_inverseI0Beta;
    const double x = 2.0 * (i - m_centre) * m_inverseLengthMinusOne;
    const double r = std::max(0.0, 1.0 - x * x);
    return BesselI0(m_beta * std::sqrt(r)) * m_inverseI0Beta;
}

double CKaiserWindowCoeffs::SetSideLobeAttenuation(double attenuationdB)
{
    m_sideLobeAttenuation = attenuationdB;
    m_beta = BetaForAttenuation(attenuationdB);
    UpdateInverseI0();
    return m_beta;
}

int CKaiserWindowCoeffs::SetBesselFunctionLength(int terms)
{
    m_besselLength = terms;
    UpdateInverseI0();
    return m_besselLength;
}

double CKaiserWindowCoeffs::BetaForAttenuation(double a)
{
    if (!(a > 21.0))
        return 0.0;
    if (a < 50.0)
        return 0.5842 * std::pow(a - 21.0, 0.4) + 0.07886 * (a - 21.0);
    return 0.1102 * (a - 8.7);
}

double CKaiserWindowCoeffs::BesselI0(double x) const
{
    double sum = 1.0;
    double term = 1.0;
    const double half = 0.5 * x;
    for (int k = 1; k <= m_besselLength; ++k)
    {
        term *= half / k;
        sum += term * term;
    }
    return sum;
}

void CKaiserWindowCoeffs::UpdateInverseI0()
{
    m_inverseI0Beta = 1.0 / BesselI0(m_beta);
}

// ---------------------------------------------------------------------------
// CFirLpfCoeffs

CFirLpfCoeffs::CFirLpfCoeffs()
    : m_normalizedBandwidth(0.0), m_angularCutoff(0.0), m_sampleRate(2822400.0),
      m_samplePeriod(1.0 / 2822400.0), m_cutoff(158000), m_gain(1.0)
{
    UpdateBandwidth();
}

double CFirLpfCoeffs::GetFilterCoeff(int i) const
{
    return GetPrototypeCoeff(i);
}

double CFirLpfCoeffs::GetPrototypeCoeff(int i) const
{
    if (i < 0 || i >= GetFilterLength())
        return 0.0;
    const double t = i - GetCentre();
    if (t == 0.0)
        return m_gain * m_normalizedBandwidth;
    const double tw = t * m_angularCutoff;
    // A cut-off of 0 makes tw 0 away from the centre too; sin(x)/x tends to 1.
    const double sinc = tw == 0.0 ? 1.0 : std::sin(tw) / tw;
    return m_gain * m_normalizedBandwidth * sinc * WindowValue(i);
}

int CFirLpfCoeffs::SetSampleRate(int rate)
{
    if (rate >= 1)
        SetDesignRate(rate);
    return GetSampleRate();
}

int CFirLpfCoeffs::GetSampleRate() const
{
    return static_cast<int>(std::min(m_sampleRate, static_cast<double>(std::numeric_limits<int>::max())));
}

int CFirLpfCoeffs::GetDelayOffsetInputSamples() const
{
    return GetFilterLength() / 2;
}

void CFirLpfCoeffs::SetCutoffFreq(int cutoffHz)
{
    m_cutoff = std::max(cutoffHz, 0);
    UpdateBandwidth();
}

void CFirLpfCoeffs::SetGain(double gaindB)
{
    m_gain = std::pow(10.0, gaindB * 0.05);
}

void CFirLpfCoeffs::SetDesignRate(double rate)
{
    if (!(rate >= 1.0))
        return;
    m_sampleRate = rate;
    m_samplePeriod = 1.0 / rate;
    UpdateBandwidth();
}

void CFirLpfCoeffs::UpdateBandwidth()
{
    m_normalizedBandwidth = 2.0 * m_cutoff * m_samplePeriod;
    m_angularCutoff = kTwoPi * m_cutoff * m_samplePeriod;
}

// ---------------------------------------------------------------------------
// COversamplingFilterCoeffs

COversamplingFilterCoeffs::COversamplingFilterCoeffs() : m_oversamplingRate(1.0), m_baseSampleRate(44100)
{
    SetDesignRate(m_baseSampleRate * m_oversamplingRate);
}

double COversamplingFilterCoeffs::GetFilterCoeff(int i) const
{
    return GetPrototypeCoeff(i) * m_oversamplingRate;
}

int COversamplingFilterCoeffs::SetSampleRate(int rate)
{
    if (rate >= 1)
    {
        m_baseSampleRate = static_cast<uint32_t>(rate);
        SetDesignRate(static_cast<double>(m_baseSampleRate) * m_oversamplingRate);
    }
    return static_cast<int>(m_baseSampleRate);
}

int COversamplingFilterCoeffs::GetDelayOffsetInputSamples() const
{
    return (GetFilterLength() / 2) / static_cast<int>(m_oversamplingRate);
}

int COversamplingFilterCoeffs::SetOversamplingRate(int factor)
{
    m_oversamplingRate = std::max(factor, 1);
    SetDesignRate(static_cast<double>(m_baseSampleRate) * m_oversamplingRate);
    return static_cast<int>(m_oversamplingRate);
}
