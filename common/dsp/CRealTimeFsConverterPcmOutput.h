#pragma once

#include "common/dsp/CDecimationFilter.h"
#include "common/dsp/CFsCwInterpolation.h"

#include <cstdint>
#include <memory>

// Converts blocks of the source's rate to the device's rate on the player's
// reader thread. Rates of 2822400 Hz and above are first decimated by 16, 32
// or 64; any remaining difference is bridged by the variable-ratio polyphase
// interpolator. Nothing allocates while processing.
class CRealTimeFsConverterPcmOutput
{
public:
    // Side-lobe attenuation of the interpolation filter.
    static constexpr double kInterpolationAttenuation = 85.0;
    // The highest rate accepted on either side.
    static constexpr uint32_t kMaxSampleRate = 0x7FFFFFFFu;

    explicit CRealTimeFsConverterPcmOutput(int channels);
    virtual ~CRealTimeFsConverterPcmOutput();

    CRealTimeFsConverterPcmOutput(const CRealTimeFsConverterPcmOutput&) = delete;
    CRealTimeFsConverterPcmOutput& operator=(const CRealTimeFsConverterPcmOutput&) = delete;

    // False, and nothing changes, when both rates equal the current ones or
    // either is 0 or above kMaxSampleRate; otherwise stores them,
    // reconfigures both stages (clearing their history) and returns true.
    bool SetSampleRates(uint32_t inputRate, uint32_t outputRate);
    // True when the input and output rates differ.
    bool IsProcessRequired() const;
    // Converts n frames of every channel and returns the frames written to
    // out, which must hold GetOutputFrameCount(n) frames. in may be modified
    // (the decimator works in place).
    int Process(float* const* in, float* const* out, int n);
    // Clears the history of both stages.
    void Reset();
    // The delay of the whole conversion in seconds of source time.
    double GetDelayOffsetSeconds() const;
    // The exact number of frames the next Process of n frames writes.
    int GetOutputFrameCount(int n) const;

    uint32_t GetInputRate() const { return m_inputRate; }
    uint32_t GetOutputRate() const { return m_outputRate; }
    int GetNumChannels() const { return m_channels; }
    bool IsInterpolationOn() const { return m_interpolationOn; }
    bool IsDecimationOn() const { return m_decimationOn; }
    const CFsCwInterpolation& GetInterpolator() const { return *m_interpolator; }
    const CDecimationFilter& GetDecimator() const { return *m_decimator; }

private:
    void Configure();

    std::unique_ptr<CFsCwInterpolation> m_interpolator;
    std::unique_ptr<CDecimationFilter> m_decimator;
    bool m_interpolationOn;
    bool m_decimationOn;
    uint32_t m_inputRate;
    uint32_t m_outputRate;
    uint16_t m_channels;
};
