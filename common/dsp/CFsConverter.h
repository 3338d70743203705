#pragma once

#include "common/dsp/CFscBase.h"

// Polyphase converter by the rational ratio L / M: every input sample spans
// L phases and every output advances M phases. The first output of a reset
// converter is computed right after the first input, from phase 0.
class CFsConverter : public CFscBase
{
public:
    explicit CFsConverter(int channels);

    int Process(const float* const* in, float* const* out, int numInputFrames) override;

    // The two implementations of Process; both run under the engine's
    // control word and give the same results up to float rounding order. The
    // vector one uses AVX2 with FMA where the processor has them, else SSE.
    int ProcessSSE(const float* const* in, float* const* out, int numInputFrames);
    int ProcessScalar(const float* const* in, float* const* out, int numInputFrames);
};
