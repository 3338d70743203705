#pragma once

#include <cstdint>

// Kaiser window generator.
//
// The window of length N is w(i) = I0(beta x sqrt(1 - x^2)) / I0(beta) with
// x = 2 (i - centre) / (N - 1), where I0 is the modified Bessel function of
// the first kind, evaluated by a truncated power series of K terms. Beta
// follows from the wanted side-lobe attenuation by Kaiser's rule.
class CKaiserWindowCoeffs
{
public:
    CKaiserWindowCoeffs();
    virtual ~CKaiserWindowCoeffs() = default;

    // Sets the window length N (negative lengths are taken as 0) and returns it.
    virtual int SetFilterLength(int length);
    // Window value i; 0 outside 0 .. N - 1.
    virtual double GetFilterCoeff(int i) const;

    // Stores the attenuation in dB and derives beta from it; returns beta.
    double SetSideLobeAttenuation(double attenuationdB);
    // Number of terms of the Bessel series (below 1: I0 is taken as 1); returns it.
    int SetBesselFunctionLength(int terms);

    int GetFilterLength() const { return m_filterLength; }
    double GetCentre() const { return m_centre; }
    double GetBeta() const { return m_beta; }
    double GetSideLobeAttenuation() const { return m_sideLobeAttenuation; }
    int GetBesselFunctionLength() const { return m_besselLength; }

    // Kaiser's rule: 0 up to 21 dB, 0.5842 (A - 21)^0.4 + 0.07886 (A - 21)
    // below 50 dB, 0.1102 (A - 8.7) from 50 dB on.
    static double BetaForAttenuation(double attenuationdB);

protected:
    // I0(x) by the series 1 + sum over k = 1 .. K of ((x / 2)^k / k!)^2.
    double BesselI0(double x) const;
    // The window value without any virtual dispatch.
    double WindowValue(int i) const;

private:
    void UpdateInverseI0();

    int32_t m_filterLength;
    double m_centre;
    double m_beta;
    double m_inverseI0Beta;
    double m_inverseLengthMinusOne;
    double m_sideLobeAttenuation;
    int32_t m_besselLength;
};

// Kaiser-windowed sinc low-pass: coefficient i is
// gain x (2 fc / fs) x sin(t w) / (t w) x window(i), t = i - centre, w = 2 pi fc / fs,
// so fc is the half-amplitude point of the transition band and the DC gain is
// about `gain`.
class CFirLpfCoeffs : public CKaiserWindowCoeffs
{
public:
    CFirLpfCoeffs();

    double GetFilterCoeff(int i) const override;
    // Sets the design rate fs in Hz; rates below 1 are ignored. Returns the rate in use.
    virtual int SetSampleRate(int rate);
    // Delay of the filter in samples of the rate it works at: N / 2.
    virtual int GetDelayOffsetInputSamples() const;

    // Negative cut-offs are taken as 0.
    void SetCutoffFreq(int cutoffHz);
    // gain = 10^(dB / 20).
    void SetGain(double gaindB);

    int GetSampleRate() const;
    int GetCutoffFreq() const { return m_cutoff; }
    double GetGain() const { return m_gain; }
    double GetNormalizedBandwidth() const { return m_normalizedBandwidth; }

protected:
    // The design rate; kept in double so that a base rate times an
    // oversampling factor cannot overflow.
    void SetDesignRate(double rate);
    double GetDesignRate() const { return m_sampleRate; }
    // The prototype coefficient i at the design rate.
    double GetPrototypeCoeff(int i) const;

private:
    void UpdateBandwidth();

    double m_normalizedBandwidth;
    double m_angularCutoff;
    double m_sampleRate;
    double m_samplePeriod;
    int32_t m_cutoff;
    double m_gain;
};

// Low-pass designer for a filter that runs at L times its input rate: the
// prototype is designed at L x the base rate and every coefficient is scaled
// by L, restoring the level lost by the L - 1 zero samples inserted between
// input samples. Its delay is counted in input samples.
class COversamplingFilterCoeffs : public CFirLpfCoeffs
{
public:
    COversamplingFilterCoeffs();

    double GetFilterCoeff(int i) const override;
    // Sets the base (input) rate; the design rate becomes rate x L. Returns the base rate.
    int SetSampleRate(int rate) override;
    // (N / 2) / L, in input samples.
    int GetDelayOffsetInputSamples() const override;

    // Sets L (values below 1 are taken as 1); the design rate becomes L x the base rate. Returns L.
    int SetOversamplingRate(int factor);
    int GetOversamplingRate() const { return static_cast<int>(m_oversamplingRate); }
    int GetBaseSampleRate() const { return static_cast<int>(m_baseSampleRate); }

private:
    double m_oversamplingRate;
    uint32_t m_baseSampleRate;
};
