#pragma once

#include "common/dsp/CDynamicControl.h"
#include "common/dsp/CDynamicControlParams.h"
#include "common/dsp/CSimpleBufferPcm.h"
#include "common/dsp/ConverterSet/CConverterPcmOutputDspBase.h"
#include "common/file/CAudioPlayerInput.h"
#include "common/file/CAudioRecorderOutput.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The outcome of a conversion (Process) or of finishing a song's output.
enum eConvertResult : int32_t
{
    kConvertDone = 0,
    // Cancel was called (before or during the run); the output is incomplete.
    kConvertCancelled = 1,
    // Nothing to do: no source or sink bound, or no converter for their rates.
    kConvertNotReady = 2,
    // The source ended before its declared length or reported a read error.
    kConvertReadFailed = 3,
    // The sink took fewer frames than it was given.
    kConvertWriteFailed = 4,
    // The last frames of the previous song (joined without a gap) could not
    // be written to its output.
    kConvertPreviousSongFailed = 5,
};

// The driver of an offline conversion: renders one song, offered as a source,
// into one sink, through a sample-rate converter, the song's controls and a
// word-length stage. Songs may be chained without a gap: the converter's
// filter state then runs on from one song into the next.
//
// The whole conversion runs on the caller's thread. Cancel, Pause, Resume and
// the progress queries (GetCurTime, GetCurPositionPercent, GetPeakLeveldB,
// IsDirectProcessMode) may come from any other thread at any time.
//
// Cancel is sticky: a cancel that arrives before Process, or between songs,
// makes every later Process return kConvertCancelled until ClearCancel.
//
// Gapless chains. A converter delays its output by its filter delay, so when a
// song ends without a tail the output frames of its last input frames come out
// only while the next delay's worth of input frames is fed. Those frames still
// belong to the song that ended: they go to that song's output, with that
// song's controls, before the next song's own output begins. A song shorter
// than the delay does not pay them all: the rest comes from the songs after
// it, first to the earlier song, then to the short one. So every song's output
// holds exactly its own frames, as many as its length gives at the start of a
// chain, and the sink of a song that connects to the next must stay alive
// until those frames are out: until a later Process has fed enough input, or
// until a SetAudioFiles breaks the chain or EjectAudioFiles ends it (both
// finish it with an ordinary tail).
//
// Controls. The song's gain, pan, DC cut and fades are set through
// GetDynamicControlParamsPtr(). They take effect at once, except while a
// previous song's last frames are still owed to its output: then they are
// kept and take effect where the new song's own output begins.
class CAudioFileConverterBase
{
public:
    // Channels a source or a sink may have.
    static constexpr uint16_t kMaxChannels = 2;
    static constexpr uint32_t kInputBufferFrames = 8192;

    // numChannels (limited to 1 .. 2) is the number of level-meter channels.
    explicit CAudioFileConverterBase(int numChannels);
    virtual ~CAudioFileConverterBase();

    CAudioFileConverterBase(const CAudioFileConverterBase&) = delete;
    CAudioFileConverterBase& operator=(const CAudioFileConverterBase&) = delete;

    // Estimated size in bytes of an output: (numSamples / 8) x R / inRate +
    // 2048, R being bitRate when above 0, else outRate x bits x channels. 0
    // for an input rate of 0 or below.
    static int64_t GetExportDataSize(int64_t numSamples, int inRate, int outRate, int bits, int channels,
                                     int bitRate);

    // Binds the next song. connectsToNext: this song joins the next one
    // without a gap (no tail here, no pre-roll there). False, with nothing
    // bound to convert, when either side is missing, has no channel or more
    // than two, the sink has fewer channels than the source, or there is no
    // converter for the pair of rates. A pending gapless hand-over that cannot
    // go on into this song is finished first with a tail into the previous
    // output; should that fail, the next Process reports
    // kConvertPreviousSongFailed.
    bool SetAudioFiles(CAudioPlayerInput* input, CAudioRecorderOutput* output, bool connectsToNext);
    // Finishes a pending gapless hand-over (unless cancelled) and forgets the
    // source and the sink (deletes neither). Returns the result of finishing
    // the previous song's output (kConvertDone when nothing was pending).
    int EjectAudioFiles();

    // Stops the conversion at its next block and every later one; clears the
    // pause and the gapless chain.
    void Cancel();
    // Allows conversions again after a Cancel.
    void ClearCancel();
    void Pause();
    void Resume();
    bool IsCancelled() const { return m_cancel.load(std::memory_order_acquire); }
    bool IsPaused() const { return m_pause.load(std::memory_order_acquire); }

    // True while (or when) the bound song is copied without conversion.
    bool IsDirectProcessMode() const { return m_directMode.load(std::memory_order_acquire); }
    bool ConnectsToNext() const { return m_connectsToNext.load(std::memory_order_acquire); }
    bool IsConnectedFromPrevious() const { return m_connectedFromPrevious; }
    // Whether the last frames of a song that ended connected to the next one
    // are still owed to output: its sink must stay alive until they are out
    // (or until a SetAudioFiles breaks the chain or EjectAudioFiles ends it).
    // Converting thread only.
    bool OwesFramesTo(const CAudioRecorderOutput* output) const;

    // The position of the song being converted; zeros when nothing is bound.
    void GetCurTime(int* hours, int* minutes, float* seconds) const;
    double GetCurPositionPercent() const;

    // One whole conversion of the bound song; returns an eConvertResult.
    int Process();

    // Where the song's controls are set.
    CDynamicControlParams* GetDynamicControlParamsPtr() { return &m_controls; }
    // The number of level-meter channels.
    int GetNumChannels() const { return m_numChannels; }
    // The rate converter in use (null before a successful binding).
    CConverterPcmOutputDspBase* GetConverter() { return m_converter.get(); }
    // Puts another converter of the same ratio in place of the current one
    // (for a measuring pass) and returns the one it replaces.
    std::unique_ptr<CConverterPcmOutputDspBase>
    ReplaceConverter(std::unique_ptr<CConverterPcmOutputDspBase> converter);

    // Prepares a render from input frame startFrame, a multiple of the
    // converter's decimation rate: seeks the source, clears the converter,
    // the word-length stage and the controls' filter state, and places the
    // fades at the matching output frame. A render from startFrame then gives
    // the same output frames as a render of the whole song, except for those
    // whose filter reaches back before startFrame + the converter delay.
    // False when nothing is bound or startFrame is not such a multiple.
    bool PrepareRender(int64_t startFrame);
    // The failure of the last block operation (kConvertDone when none).
    int GetFailure() const { return m_failure; }

    // Levels of the progress display, GetNumChannels() entries; clipState 0
    // none, 2 above 0 dB (integer sinks only).
    virtual void GetPeakLeveldB(float* levels, int* clipState) = 0;
    // Builds or reuses the rate converter and the word-length stage for the
    // bound pair; false when the pair has no converter.
    virtual bool SetupConverter() = 0;
    // Gives the controls the sink's rate and the song's length.
    virtual void SetupDynamicControl() = 0;
    // Input frames read per block.
    virtual uint32_t GetBufferInputSamples() = 0;
    // Feeds the converter's delay of the song's first frames (faded in) and
    // discards what comes out, so that the first output lines up with the
    // first input. False on a failure.
    virtual bool PreProcess() = 0;
    // Converts and writes one block. Returns the input frames it consumed: 0
    // at the end of the source or on a failure (GetFailure tells).
    virtual uint32_t MainProcessSingleLoop() = 0;
    // Flushes the converter with silence and writes the result faded out.
    // False on a failure.
    virtual bool PostProcess() = 0;
    // Copies a song whose rates match and whose controls leave it untouched
    // between its fades. False on a failure.
    virtual bool DirectProcess() = 0;

protected:
    // Class that keeps the song's controls and forwards them to the
    // processing chain.
    class Controls final : public CDynamicControlParams
    {
    public:
        Controls() = default;

        float SetGaindB(float dB) override;
        float SetPan(float pan) override;
        int SetDcCutMode(int mode) override;
        void SetFadeParams(int fadeInType, float fadeInSeconds, int fadeOutType,
                           float fadeOutSeconds) override;
        float GetGaindB() const override;
        float GetPan() const override;
        int GetDcCutMode() const override;
        // The values as they were set (not shortened to the song's length).
        void GetFadeParams(int* fadeInType, float* fadeInSeconds, int* fadeOutType,
                           float* fadeOutSeconds) const override;

        // The chain the values go to; all of them are given to it at once.
        void SetTarget(CDynamicControl* target);
        // The sink's rate and the song's length.
        void SetRateAndLength(uint32_t rate, double totalSeconds);
        // While held, new values are kept but not forwarded.
        void Hold();
        // Forwards everything kept and stops holding.
        void Release();
        // Gain 0 dB, pan 0 and DC cut off.
        bool LeaveSamplesUntouched() const;

        struct Values
        {
            float gaindB = 0.0f;
            float pan = 0.0f;
            int dcCutMode = 0;
            int fadeInType = 0;
            float fadeInSeconds = 0.0f;
            int fadeOutType = 0;
            float fadeOutSeconds = 0.0f;
            uint32_t rate = 0;
            double totalSeconds = 0.0;
        };
        // The values as they are set now.
        Values Snapshot() const;
        // Gives the chain an earlier song's values while held; the values set
        // now are kept for Release.
        void ApplyHeld(const Values& values);

    private:
        // Stores a value and, unless held, forwards it with forward(chain),
        // whose result is returned (else the value).
        template <typename T, typename Forward>
        T Set(T Values::*field, T value, Forward forward);
        template <typename T>
        T Get(T Values::*field) const;
        void ApplyLocked(const Values& values);

        mutable std::mutex m_lock;
        Values m_values;
        CDynamicControl* m_target = nullptr;
        bool m_held = false;
    };

    // Hand-over of a gapless chain: feeds the new song's first frames until
    // the earlier songs' owed frames are out (or the song ends), each to its
    // own output with its own controls. False on a failure.
    virtual bool HandOverToPreviousOutput() = 0;
    // Whether a converter set up for the bound song could go on into input
    // and output without being rebuilt.
    virtual bool CanContinueInto(CAudioPlayerInput* input, CAudioRecorderOutput* output) = 0;
    // Resets the word-length stage.
    virtual void ResetOutputStage() = 0;
    // Points the word-length stage at the sink that receives the next writes.
    virtual void SetWriteTarget(CAudioRecorderOutput* output) = 0;

    // Reads up to n frames of the source as floats into the input buffer.
    // Returns the frames read; 0 at the end, or on a read failure (recorded).
    uint32_t ReadInput(uint32_t n);
    // The same as left-justified integers into bufs.
    uint32_t ReadInput(int32_t** bufs, uint32_t n);
    // Reads floats into bufs.
    uint32_t ReadInput(float** bufs, uint32_t n);
    // Waits while paused and not cancelled; Resume and Cancel end the wait.
    void WaitWhilePaused() const;
    // Records the first failure of a run.
    void Fail(int result);
    // Places the fades at an output frame (exactly, whatever the rate).
    void SetControlPosition(int64_t outputFrame);
    // Input frames to feed before the oldest owed song has all its frames
    // (UINT32_MAX when none is owed).
    uint32_t FramesUntilPaid() const;
    // Where the output of the next input frame goes: the oldest owed song's
    // output, else the bound one.
    CAudioRecorderOutput* RouteTarget() const;
    // Counts n input frames fed to the converter and hands the chain on to
    // the next song whose frames come next.
    void Fed(uint32_t n);
    // Hands the chain on past the owed songs that have all their frames.
    void SettleOwedSongs();
    // The chain for the bound source's channel count.
    CDynamicControl& ActiveControl() { return *m_activeControl.load(std::memory_order_acquire); }

    CAudioPlayerInput* Input() const { return m_input.load(std::memory_order_acquire); }
    CAudioRecorderOutput* Output() const { return m_output.load(std::memory_order_acquire); }

    std::unique_ptr<CConverterPcmOutputDspBase> m_converter;
    CSimpleBufferPcm m_inputBuffer;
    uint32_t m_blockLength = 0;
    bool m_connectedFromPrevious = false;
    Controls m_controls;

private:
    // A song that ended connected to the next one and whose last output
    // frames are still owed to its sink.
    struct OwedSong
    {
        CAudioRecorderOutput* output;
        Controls::Values controls;
        // Input frames fed to the converter when its last frame is out.
        int64_t paidAt;
    };

    // The shared body of the ReadInput forms: reads, advances the progress
    // and records a read failure.
    template <typename T>
    uint32_t ReadInputSamples(T** bufs, uint32_t n);
    // Ends a pending hand-over with an ordinary tail into the owed outputs.
    int FinishPreviousSong();
    // The bound song ended connected to the next one: its last frames come
    // out while the next input goes in.
    void OweRestOfSong(CAudioRecorderOutput* output);
    void ResetPosition(int64_t frame);
    void UpdateDirectMode();

    const int m_numChannels;
    std::atomic<CAudioPlayerInput*> m_input{nullptr};
    std::atomic<CAudioRecorderOutput*> m_output{nullptr};

    // One chain per channel count, so that the one in use never goes away
    // under a level query.
    CDynamicControl m_monoControl;
    CDynamicControl m_stereoControl;
    std::atomic<CDynamicControl*> m_activeControl;

    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_pause{false};
    // Resume and Cancel change the flags above under this lock and wake the
    // paused conversion, so that no wake is lost between its look and its
    // wait.
    mutable std::mutex m_pauseLock;
    mutable std::condition_variable m_pauseEnded;
    std::atomic<bool> m_directMode{false};
    std::atomic<bool> m_connectsToNext{false};
    // Rates match and the source is lossless: direct mode when the controls
    // allow it.
    bool m_directCandidate = false;
    // Songs whose last frames are owed, oldest first; the chain holds the
    // first one's controls.
    std::vector<OwedSong> m_owed;
    // Input frames fed to the converter since its reset.
    int64_t m_fed = 0;
    int m_failure = kConvertDone;
    int m_previousSongFailure = kConvertDone;

    // Progress: frames of the source read, its rate and length.
    std::atomic<int64_t> m_position{0};
    std::atomic<uint32_t> m_inputRate{0};
    std::atomic<int64_t> m_inputLength{0};
};
