#pragma once

#include "common/dsp/CFscBase.h"

// Integer-factor oversampling filter: every input sample yields L outputs,
// in phase order.
class COversamplingFilter : public CFscBase
{
public:
    explicit COversamplingFilter(int channels);

    using CFscBase::SetFilterCoeffs;
    // The polyphase set-up with decimation factor 1.
    bool SetFilterCoeffs(int length, int inputRate, int cutoffHz, int factor, double gaindB);

    // Writes numInputFrames x L frames per channel and returns that number.
    // The vector form uses AVX2 with FMA where the processor has them.
    int Process(const float* const* in, float* const* out, int numInputFrames) override;
    int ProcessSSE(const float* const* in, float* const* out, int numInputFrames);
    int ProcessScalar(const float* const* in, float* const* out, int numInputFrames);

    int GetOutputFrameCount(int numInputFrames) const override;
};
