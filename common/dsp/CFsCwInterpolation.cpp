#include "common/dsp/CFsCwInterpolation.h"

#include "library/util/CSystemUtil.h"

#include <cmath>
#include <limits>

CFsCwInterpolation::CFsCwInterpolation(int channels) : CFscBase(channels) {}

bool CFsCwInterpolation::SetFilterCoeffs(int length, int sampleRate, float outputRate, int cutoffHz, int L,
                                         double gaindB)
{
    if (!(outputRate > 0.0f) || !std::isfinite(outputRate) || sampleRate < 1)
        return false;
    if (!CFscBase::SetFilterCoeffs(length, sampleRate, cutoffHz, L, 1, gaindB))
        return false;
    const double scale = static_cast<double>(1u << kFractionBits);
    double step = std::floor(scale * sampleRate * m_ram.oversampling / outputRate);
    step = std::fmin(std::fmax(step, 1.0), static_cast<double>(std::numeric_limits<uint32_t>::max()));
    m_ram.fractionBits = kFractionBits;
    m_ram.positionStep = static_cast<uint32_t>(step);
    Reset();
    return true;
}

int CFsCwInterpolation::Process(const float* const* in, float* const* out, int numInputFrames)
{
    return CSystemUtil::HasSSE() ? ProcessSSE(in, out, numInputFrames)
                                 : ProcessScalar(in, out, numInputFrames);
}

int CFsCwInterpolation::ProcessSSE(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return RunInterpolation(in, out, numInputFrames, true);
}

int CFsCwInterpolation::ProcessScalar(const float* const* in, float* const* out, int numInputFrames)
{
    CScopedPreferredMxcsr mxcsr;
    return RunInterpolation(in, out, numInputFrames, false);
}
