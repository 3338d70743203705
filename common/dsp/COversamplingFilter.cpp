#include "common/dsp/COversamplingFilter.h"

#include "library/util/CSystemUtil.h"

#include <algorithm>
#include <limits>

COversamplingFilter::COversamplingFilter(int channels) : CFscBase(channels) {}

bool COversamplingFilter::SetFilterCoeffs(int length, int inputRate, int cutoffHz, int factor, double gaindB)
{
    return CFscBase::SetFilterCoeffs(length, inputRate, cutoffHz, factor, 1, gaindB);
}

int COversamplingFilter::Process(const float* const* in, float* const* out, int numInputFrames)
{
    return CSystemUtil::HasSSE() ? ProcessSSE(in, out, numInputFrames)
                                 : ProcessScalar(in, out, numInputFrames);
}

int COversamplingFilter::ProcessSSE(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return RunOversampling(in, out, numInputFrames, true);
}

int COversamplingFilter::ProcessScalar(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return RunOversampling(in, out, numInputFrames, false);
}

int COversamplingFilter::GetOutputFrameCount(int numInputFrames) const
{
    if (numInputFrames <= 0)
        return 0;
    const uint64_t count = static_cast<uint64_t>(numInputFrames) * m_ram.oversampling;
    return static_cast<int>(std::min<uint64_t>(count, std::numeric_limits<int>::max()));
}
