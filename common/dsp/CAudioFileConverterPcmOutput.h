#pragma once

#include "common/dsp/CAudioFileConverterBase.h"
#include "common/dsp/CAudioRecorderOutputProcess.h"

#include <atomic>
#include <cstdint>
#include <memory>

// The export converter for PCM sinks: converts the rate with the converter of
// the pair (44100, 48000, 88200 and 96000 Hz), applies the song's controls,
// fills a two-channel sink from a mono song, and reduces the word length in
// the chosen way (none, TPDF or noise-shaped dither) on the way to the sink.
//
// Direct mode (equal rates, a lossless source and controls that leave the
// samples alone apart from the fades): the frames between the fades are
// copied as they are, as integers when neither side is floating point, and
// reach the sink bit for bit up to the last frame, unless the source is wider
// than the sink and dither is chosen.
class CAudioFileConverterPcmOutput : public CAudioFileConverterBase
{
public:
    static constexpr uint32_t kOutputBufferFrames = 4096;

    explicit CAudioFileConverterPcmOutput(int numChannels);
    ~CAudioFileConverterPcmOutput() override;

    // base(inRate) + step(outRate), base 0, 6, 10, 14 and step 0, 1, 2, 3 for
    // the export rates 44100, 48000, 88200, 96000 Hz; -1 for any other rate.
    static int GetConvertModeIndex(uint32_t inRate, uint32_t outRate);

    // eOutputProcessType; a change takes effect at the next binding. Returns
    // the type stored.
    int SetOutputProcessType(int type);
    int GetOutputProcessType() const { return m_outputProcessType; }
    // Kept for the caller; no conversion here uses it.
    int SetDsdOutbandFilterType(int type);
    int GetDsdOutbandFilterType() const { return m_dsdOutbandFilterType; }
    // The mode index of the converter in use; -1 without one.
    int GetConvertModeIndexInUse() const { return m_convertModeIndex; }

    void GetPeakLeveldB(float* levels, int* clipState) override;
    bool SetupConverter() override;
    void SetupDynamicControl() override;
    uint32_t GetBufferInputSamples() override;
    bool PreProcess() override;
    uint32_t MainProcessSingleLoop() override;
    bool PostProcess() override;
    bool DirectProcess() override;

protected:
    bool HandOverToPreviousOutput() override;
    bool CanContinueInto(CAudioPlayerInput* input, CAudioRecorderOutput* output) override;
    void ResetOutputStage() override;
    void SetWriteTarget(CAudioRecorderOutput* output) override;

private:
    // The input frames of a block whose output fits the output buffer.
    uint32_t FittingBlock(uint32_t wanted) const;
    // The channel count of the song the converter was set up for.
    uint16_t SourceChannels() const;
    // Copies channel 0 into the channels the sink has beyond the source's and
    // writes the float or integer block through the word-length stage; false
    // (recorded) when the sink took fewer frames.
    template <typename T>
    bool FillAndWrite(T** bufs, uint32_t n);
    // Reads n frames into bufs and writes them as they are. Returns the
    // frames read (0 at the end or on a failure).
    template <typename T>
    uint32_t CopyBlock(T** bufs, uint32_t n);
    // A fade-out over the tail's output frames.
    struct TailFade
    {
        uint32_t length;
        int64_t written;
    };
    // Converts n frames of the input buffer, runs the controls, fades when
    // asked and writes each song's frames to its own output.
    bool ConvertAndWrite(uint32_t n, TailFade* fade = nullptr);
    // The same for frames first .. first + n - 1 of one song's output.
    bool ConvertPiece(uint32_t first, uint32_t n, TailFade* fade);
    // The frames of one float block of direct mode: read, controls, write.
    // Returns the frames read (0 at the end or on a failure).
    uint32_t DirectFloatBlock(uint32_t n, bool withControls);

    CSimpleBufferPcm m_outputBuffer;
    std::unique_ptr<int32_t[]> m_intStorage;
    int32_t* m_intBuffers[kMaxChannels];
    int m_convertModeIndex = -1;
    int m_dsdOutbandFilterType = 0;
    int m_outputProcessType = kOutputProcessNone;
    std::unique_ptr<CAudioRecorderOutputProcessBase> m_outputProcess;
    // The sink the word-length stage writes to now.
    CAudioRecorderOutput* m_writeTarget = nullptr;
    // Whether the bound sink takes floats (read by level queries from other
    // threads, which never call into the sink).
    std::atomic<bool> m_sinkIsFloat{false};
};
