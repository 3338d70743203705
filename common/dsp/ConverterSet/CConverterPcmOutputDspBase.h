#pragma once

#include "common/dsp/CFirLpfBase.h"

#include <cstdint>
#include <memory>

// Root of the export rate converters: knows its channel count.
class CConverterDspBase
{
public:
    explicit CConverterDspBase(int channels);
    virtual ~CConverterDspBase();

    CConverterDspBase(const CConverterDspBase&) = delete;
    CConverterDspBase& operator=(const CConverterDspBase&) = delete;

    int GetNumChannels() const { return m_numChannels; }

private:
    int m_numChannels;
};

// The interface the export converter drives: a fixed-ratio converter from
// planar float blocks to planar float blocks, L outputs for every M inputs.
class CConverterPcmOutputDspBase : public CConverterDspBase
{
public:
    explicit CConverterPcmOutputDspBase(int channels) : CConverterDspBase(channels) {}

    // M: the input frames that make up one output period.
    virtual int GetDecimationRate() const = 0;
    // L: the output frames of one output period.
    virtual int GetOversamplingRate() const = 0;
    // The filter's delay in input frames: feeding this many frames before the
    // song (a pre-roll) lines the first output up with the first input.
    virtual int GetDelayOffsetInputSamples() const = 0;
    // Clears the filter history, as for a new song. Output k of a reset
    // converter stands for input instant k x M / L - delay.
    virtual void Reset() = 0;
    // Right after a Reset: moves the output instants, by less than one output
    // frame, so that one falls exactly on input frame `frames` - delay. With
    // frames = delay, the outputs left after a pre-roll of delay frames
    // stand for input instants k x M / L, the first for the first input.
    virtual void AlignOutputs(int frames) = 0;
    // Converts numInputFrames frames of every channel from in into out and
    // returns the frames written per channel; out must hold
    // GetOutputFrameCount(numInputFrames) frames. Over a whole run from a
    // reset, N input frames give ceil(N x L / M) output frames. Allocates
    // nothing.
    virtual uint32_t Process(const float* const* in, float* const* out, uint32_t numInputFrames) = 0;
    // The exact number of frames the next Process of numInputFrames frames writes.
    virtual uint32_t GetOutputFrameCount(uint32_t numInputFrames) const = 0;
};

// Equal rates: copies the input to the output.
class CConverterPcmOutputSameRate : public CConverterPcmOutputDspBase
{
public:
    explicit CConverterPcmOutputSameRate(int channels) : CConverterPcmOutputDspBase(channels) {}

    int GetDecimationRate() const override { return 1; }
    int GetOversamplingRate() const override { return 1; }
    int GetDelayOffsetInputSamples() const override { return 0; }
    void Reset() override {}
    void AlignOutputs(int) override {}
    uint32_t Process(const float* const* in, float* const* out, uint32_t numInputFrames) override;
    uint32_t GetOutputFrameCount(uint32_t numInputFrames) const override { return numInputFrames; }
};

// A converter made of one filter stage; every operation forwards to it.
class CConverterPcmOutput1xStageDspBase : public CConverterPcmOutputDspBase
{
public:
    int GetDecimationRate() const override;
    int GetOversamplingRate() const override;
    int GetDelayOffsetInputSamples() const override;
    void Reset() override;
    void AlignOutputs(int frames) override;
    uint32_t Process(const float* const* in, float* const* out, uint32_t numInputFrames) override;
    uint32_t GetOutputFrameCount(uint32_t numInputFrames) const override;

    // The stage, for inspection.
    const CFirLpfBase& GetStage() const { return *m_stage; }

protected:
    // Takes over a configured stage; the channel count is the stage's (at
    // most CFirLpfBase::kMaxChannels).
    CConverterPcmOutput1xStageDspBase(int channels, std::unique_ptr<CFirLpfBase> stage);

    std::unique_ptr<CFirLpfBase> m_stage;
};
