#pragma once

#include "common/dsp/CFirLpfCoeffs.h"

#include <memory>

// A filter stage of the rate converters: owns the coefficient designer and
// processes planar float blocks (up to 8 channels).
class CFirLpfBase
{
public:
    // The most channels a stage processes; more are cut to this.
    static constexpr int kMaxChannels = 8;

    CFirLpfBase();
    virtual ~CFirLpfBase();

    CFirLpfBase(const CFirLpfBase&) = delete;
    CFirLpfBase& operator=(const CFirLpfBase&) = delete;

    virtual int GetOversamplingRate() const { return 1; }
    virtual int GetDecimationRate() const { return 1; }
    // Clears the filter history.
    virtual void Reset() = 0;
    // Filters numInputFrames frames of every channel from in into out and
    // returns the number of frames written per channel. Allocates nothing.
    virtual int Process(const float* const* in, float* const* out, int numInputFrames) = 0;
    // Designer length, design rate, cut-off and gain, in this order; nothing
    // without a designer.
    virtual void SetFilterCoeffs(int length, int sampleRate, int cutoffHz, double gaindB);

    // The exact number of frames the next Process of numInputFrames frames writes.
    virtual int GetOutputFrameCount(int numInputFrames) const = 0;
    // Right after a Reset: moves the output instants, by less than one output
    // period, so that one output falls exactly `frames` input frames after
    // the first input. With the filter's own delay, that output is the first
    // input itself. Nothing to do for a stage with an output on every input.
    virtual void AlignOutputs(int frames) { (void)frames; }

    // Forward to the designer; 0 without one.
    double SetSideLobeAttenuation(double attenuationdB);
    int SetBesselFunctionLength(int terms);
    // The designer's delay; 0 without a designer.
    int GetDelayOffsetInputSamples() const;

    const CFirLpfCoeffs* GetCoeffs() const { return m_coeffs.get(); }

protected:
    explicit CFirLpfBase(std::unique_ptr<CFirLpfCoeffs> coeffs);

    // Stages start with a 100 dB designer and a Bessel series of 15 terms.
    static void InitDesigner(CFirLpfCoeffs& coeffs);
    static int ClampChannels(int channels);

    std::unique_ptr<CFirLpfCoeffs> m_coeffs;
};
