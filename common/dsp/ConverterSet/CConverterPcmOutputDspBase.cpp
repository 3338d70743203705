#include "common/dsp/ConverterSet/CConverterPcmOutputDspBase.h"

#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <limits>

namespace
{
// The stages count frames in int; larger blocks are cut to what fits.
int ToStageCount(uint32_t n)
{
    return static_cast<int>(std::min<uint32_t>(n, static_cast<uint32_t>(std::numeric_limits<int>::max())));
}
} // namespace

CConverterDspBase::CConverterDspBase(int channels) : m_numChannels(std::max(channels, 0)) {}

CConverterDspBase::~CConverterDspBase() = default;

uint32_t CConverterPcmOutputSameRate::Process(const float* const* in, float* const* out,
                                              uint32_t numInputFrames)
{
    const int channels = std::min(GetNumChannels(), static_cast<int>(std::numeric_limits<uint16_t>::max()));
    CPcmUtil::Copy(in, out, numInputFrames, static_cast<uint16_t>(channels), 0, 0);
    return numInputFrames;
}

CConverterPcmOutput1xStageDspBase::CConverterPcmOutput1xStageDspBase(int channels,
                                                                     std::unique_ptr<CFirLpfBase> stage)
    : CConverterPcmOutputDspBase(std::clamp(channels, 0, CFirLpfBase::kMaxChannels)),
      m_stage(std::move(stage))
{
}

int CConverterPcmOutput1xStageDspBase::GetDecimationRate() const
{
    return m_stage->GetDecimationRate();
}

int CConverterPcmOutput1xStageDspBase::GetOversamplingRate() const
{
    return m_stage->GetOversamplingRate();
}

int CConverterPcmOutput1xStageDspBase::GetDelayOffsetInputSamples() const
{
    return m_stage->GetDelayOffsetInputSamples();
}

void CConverterPcmOutput1xStageDspBase::Reset()
{
    m_stage->Reset();
}

void CConverterPcmOutput1xStageDspBase::AlignOutputs(int frames)
{
    m_stage->AlignOutputs(frames);
}

uint32_t CConverterPcmOutput1xStageDspBase::Process(const float* const* in, float* const* out,
                                                    uint32_t numInputFrames)
{
    const int written = m_stage->Process(in, out, ToStageCount(numInputFrames));
    return static_cast<uint32_t>(std::max(written, 0));
}

uint32_t CConverterPcmOutput1xStageDspBase::GetOutputFrameCount(uint32_t numInputFrames) const
{
    return static_cast<uint32_t>(std::max(m_stage->GetOutputFrameCount(ToStageCount(numInputFrames)), 0));
}
