#include "common/dsp/CFsConverter.h"

#include "library/util/CSystemUtil.h"

CFsConverter::CFsConverter(int channels) : CFscBase(channels) {}

int CFsConverter::Process(const float* const* in, float* const* out, int numInputFrames)
{
    return CSystemUtil::HasSSE() ? ProcessSSE(in, out, numInputFrames)
                                 : ProcessScalar(in, out, numInputFrames);
}

int CFsConverter::ProcessSSE(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return RunConverter(in, out, numInputFrames, true);
}

int CFsConverter::ProcessScalar(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return RunConverter(in, out, numInputFrames, false);
}
