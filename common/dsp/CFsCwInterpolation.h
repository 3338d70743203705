#pragma once

#include "common/dsp/CFscBase.h"

// Polyphase interpolator with a continuously variable ratio. Positions carry
// a 14-bit fraction between neighbouring phases: an output at fraction f
// between phases p and p + 1 is (1 - f) y0 + f y1, y0 and y1 being the
// outputs of the two phases.
class CFsCwInterpolation : public CFscBase
{
public:
    static constexpr uint32_t kFractionBits = 14;

    explicit CFsCwInterpolation(int channels);

    int Process(const float* const* in, float* const* out, int numInputFrames) override;
    int ProcessSSE(const float* const* in, float* const* out, int numInputFrames);
    int ProcessScalar(const float* const* in, float* const* out, int numInputFrames);

    // Designs the N-tap prototype at fs x L (M = 1) and sets the step per
    // output to floor(16384 x fs x L / outputRate) positions. Resets. False,
    // and nothing changes, for a rate below 1 or an output rate that is not
    // a positive number.
    bool SetFilterCoeffs(int length, int sampleRate, float outputRate, int cutoffHz, int L, double gaindB);

private:
    using CFscBase::SetFilterCoeffs;
};
