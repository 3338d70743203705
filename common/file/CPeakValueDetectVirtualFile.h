#pragma once

#include "common/file/CAudioRecorderOutput.h"

#include <cstdint>
#include <vector>

// The peaks of one channel: the highest and the lowest sample seen (float
// sample scale) and the frame at which each first occurred. Both start at 0.
struct PeakChannelData
{
    float highestValue = 0.0f;
    int64_t highestPosition = 0;
    float lowestValue = 0.0f;
    int64_t lowestPosition = 0;
};

// An audio sink that stores no audio: it measures, for every channel it was
// made with, the highest and lowest sample and where each occurred. A song is
// rendered into it to learn its peak without writing a file.
//
// The sink is meant for offline passes: the integer write converts into
// scratch buffers of its own, which are allocated on first use.
class CPeakValueDetectVirtualFile : public CAudioRecorderOutput
{
public:
    CPeakValueDetectVirtualFile(uint32_t rate, uint16_t bits, uint16_t channels);
    ~CPeakValueDetectVirtualFile() override;

    // There is no file: nothing to discard.
    void RemoveFile() override {}
    uint32_t GetSampleRate() override { return m_sampleRate; }
    uint16_t GetNumChannels() override { return m_numChannels; }
    uint16_t GetBitsPerSample() override { return m_bitsPerSample; }

    // Measures n frames of every channel and returns n. Returns 0 and measures
    // nothing when a channel buffer is missing.
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    // The same for left-justified 32-bit integers; the caller's buffers are
    // left untouched.
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;
    using CAudioRecorderOutput::WriteAudioData;

    // Copies the peaks of a channel; a record of zeros for a channel at or
    // beyond the channel count.
    virtual void GetPeakData(PeakChannelData* out, uint16_t channel);
    // Clears every peak and the frame count for another pass.
    virtual void Reset();

    // The frame of the largest absolute peak over all channels. Candidates are
    // taken channel by channel, highest before lowest, and an equal magnitude
    // replaces the best so far. 0 with no channels.
    int64_t GetAbsPeakPosition();

    // Frames written since construction or the last Reset.
    uint64_t GetNumFramesWritten() const { return m_framesWritten; }

private:
    // Updates the peaks with n frames whose first frame is firstFrame.
    void Measure(const float* const* bufs, uint32_t n, uint64_t firstFrame);

    uint32_t m_sampleRate;
    uint16_t m_bitsPerSample;
    uint16_t m_numChannels;
    std::vector<PeakChannelData> m_peaks;
    uint64_t m_framesWritten = 0;

    // Scratch of the integer write: one block of float frames per channel.
    std::vector<float> m_scratch;
    std::vector<float*> m_scratchPtrs;
};
