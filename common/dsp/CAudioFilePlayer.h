#pragma once

#include "common/dsp/CAudioFileTransport.h"
#include "common/dsp/CCriticalSection.h"
#include "common/dsp/CDynamicControl.h"
#include "common/dsp/CRealTimeFsConverterPcmOutput.h"
#include "common/dsp/CRingBufferPcm.h"
#include "common/dsp/CSimpleBufferPcm.h"
#include "common/dsp/CThread.h"
#include "common/file/CAudioPlayerInput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The transport state machine of a file player: the commands, the time
// keeping, markers, previews and the dispatch of the audio callback, apart
// from how the audio reaches the callback.
//
// Threads. Commands come from the owner's thread; the reader thread of the
// implementation reads the source; the audio thread calls Process. The state,
// counters and flags they share are atomic. The current time (seek base plus
// frames played since the seek) is kept under a sequence counter so that a
// reader on any thread sees the two halves of one update.
//
// The player never deletes its source; the owner keeps it alive while it is
// bound, and may delete it after SetPlayerInput(another or null) or
// EjectInputFile has returned.
class CAudioFilePlayerBase : public CThread, public CAudioFileTransport
{
public:
    // Channels above 2 are taken as 2, and 0 as 1.
    explicit CAudioFilePlayerBase(uint16_t channels);
    ~CAudioFilePlayerBase() override;

    // Binds a new source (null: none). Stops the reader, drops the old source,
    // then, with a new one, goes idle at its beginning and starts the reader.
    // A source whose rate is 0 is not bound.
    virtual void SetPlayerInput(CAudioPlayerInput* source);
    // The device's rate. A new rate stops playback and returns to the
    // beginning of the song. Rates that are not above 0 are ignored. Returns
    // the rate in effect.
    virtual float SetOutputSampleRate(float rate);

    void Play() override;
    void Pause() override;
    void Stop() override;
    void FastForward() override;
    void Rewind() override;
    void PlayFrom() override;
    void PlayTo() override;

    // Times are limited to the song (0 .. its total time).
    double SetCurTimeSecond(double seconds) override = 0;
    double SetCurPositionPercent(double percent) override;
    bool SetContinuousPlayback(bool on) override;
    CDynamicControlParams* GetDynamicControlParamsPtr() override;
    double GetCurTimeSecond() override;
    double GetCurPositionPercent() override;
    void GetPeakLeveldB(float* levels) override;
    bool GetContinuousPlayback() override;
    bool WantsNextSong() override;
    bool WantsPreviousSong() override;
    CMarker* GetMarkerPtr() override;
    bool JumpToMarker(int index) override;
    bool JumpToNextMarker() override;
    bool JumpToPreviousMarker() override;
    int GetCurrentMarkerIndex() override;

    int Process(const float* const* in, float* const* out, uint32_t n) override;

    // Drops the source (stopping the reader first).
    void EjectInputFile();

    uint16_t GetNumChannels() const { return m_channels; }
    float GetOutputSampleRate() const { return m_outputRate.load(std::memory_order_acquire); }
    // True while the callback waits for the ring to fill.
    bool IsBuffering() const { return m_buffering.load(std::memory_order_acquire); }
    CAudioPlayerInput* GetPlayerInput() const { return m_source.load(std::memory_order_acquire); }

protected:
    // Moves frames from the ring to out through the dynamic control; returns
    // the frames taken (the rest of the n frames is silent). Called by Process
    // with the output side held.
    virtual uint32_t ProcessPlay(float* const* out, uint32_t n) = 0;
    virtual void SetupConverter() = 0;
    virtual void FillSilence(float* const* out, uint32_t n, uint32_t offset) = 0;
    virtual int GetThreadPriority() = 0;
    virtual bool ReachedEndOfAudioFile() = 0;
    // Performs a preview end's pending seek, if any, before a command acts.
    virtual void SettlePreviewEnd() = 0;
    // Seeks as SetCurTimeSecond and enters the transport state `state` under
    // the same locks, so that the reader never writes the new position's
    // material in the old state (a cue's jumps would be missed).
    virtual double SeekInState(double seconds, int state) = 0;

    // The callback's part of both previews (state kTransportPlayFrom or
    // kTransportPlayTo): plays until the preview's frames are used up,
    // completes that block with silence and ends the preview.
    uint32_t ProcessPreview(float* const* out, uint32_t n, int previewState);

    // The time origin. Writers (the seek and the callback) are kept apart by
    // the implementation's output side.
    void SetTimeOrigin(double seekBase);
    void AddPlayedFrames(int64_t frames);

    // The source's facts, cached when it is bound (the reader is stopped
    // then), so that no other thread has to ask the source.
    struct SourceFacts
    {
        uint32_t sampleRate = 0;
        uint16_t bitsPerSample = 0;
        uint16_t channels = 0;
        double totalTime = 0.0;
    };
    const SourceFacts& GetSourceFacts() const { return m_facts; }
    double GetTotalTime() const { return m_totalTime.load(std::memory_order_acquire); }
    // Called by SetPlayerInput while no reader runs, before SetupConverter.
    virtual void OnSourceBound() {}
    // Replaces the source pointer; the implementation keeps its reader out.
    virtual void ReplaceSource(CAudioPlayerInput* source) = 0;

    std::atomic<CAudioPlayerInput*> m_source{nullptr};
    std::unique_ptr<CDynamicControl> m_dynamicControl;
    const uint16_t m_channels;
    uint32_t m_sourceRate = 2822400;
    std::atomic<float> m_outputRate{44100.0f};
    std::atomic<uint32_t> m_cuePlayed{0};
    std::atomic<uint32_t> m_cueWritten{0};
    std::atomic<bool> m_buffering{true};
    std::atomic<bool> m_continuousPlayback{false};
    std::atomic<uint32_t> m_previewRemaining{0};
    std::atomic<double> m_previewStart{0.0};
    std::atomic<double> m_markerJumpTime{-1.0};

    // A preview that ended in the callback leaves its seek and its notice to
    // the reader thread: the callback never touches the source or waits.
    std::atomic<double> m_previewEndSeek;
    std::atomic<bool> m_previewEndNotice{false};

private:
    void ReadTime(double* seekBase, int64_t* played) const;
    void EndPreview(int previewState);

    SourceFacts m_facts;
    std::atomic<double> m_totalTime{0.0};

    std::atomic<uint32_t> m_timeSequence{0};
    std::atomic<double> m_seekBase{0.0};
    std::atomic<int64_t> m_playedFrames{0};
};

// The file player: a reader thread pulls blocks from the source, converts them
// to the device's rate and writes them into a ring of 262144 frames; the audio
// callback takes frames out of the ring, applies the song's dynamic control
// and hands them to the device.
//
// Locks. The input lock is held by the reader around every source access
// (reads, cue jumps) and by seeks. The output lock guards the consumer side of
// the ring and the time counters; it is held only for short moves of indices
// and counters, never across source I/O. The audio callback only tries the
// output lock: when a seek holds it, the block is silent. Order: input, then
// output. The callback never allocates, never touches the source and never
// waits.
//
// A mono source plays on both channels.
class CAudioFilePlayerPcmOutput : public CAudioFilePlayerBase
{
public:
    static constexpr uint32_t kRingFrames = 262144;
    static constexpr uint32_t kReadFrames = 16384;
    static constexpr uint32_t kConversionFrames = 1024;
    // Most device-rate frames written per block.
    static constexpr uint32_t kMaxBlockOutput = kConversionFrames - 1;
    // Playback (re)starts once more than this many frames are buffered.
    static constexpr uint32_t kStartThreshold = 65535;

    explicit CAudioFilePlayerPcmOutput(uint16_t channels);
    ~CAudioFilePlayerPcmOutput() override;

    double SetCurTimeSecond(double seconds) override;
    double SeekInState(double seconds, int state) override;
    double GetBufferFilledPercent() override;
    int Process(const float* const* in, float* const* out, uint32_t n) override;

    // Starts the reader with a source bound and no reader running.
    bool StartThread(int priority) override;

    uint32_t GetBufferFilledFrames() const { return m_ring->GetBufferFilledSamples(); }

protected:
    void Run() override;
    uint32_t ProcessPlay(float* const* out, uint32_t n) override;
    void SetupConverter() override;
    void FillSilence(float* const* out, uint32_t n, uint32_t offset) override;
    int GetThreadPriority() override { return 3; }
    bool ReachedEndOfAudioFile() override;
    void SettlePreviewEnd() override;
    void OnSourceBound() override;
    void ReplaceSource(CAudioPlayerInput* source) override;

private:
    // One block from the source into the ring; false when nothing was
    // written (the caller sleeps).
    bool WriteToBuffer();
    void SongEndProcess();
    void SongErrorProcess();
    // The preview end's seek and notice, on the reader thread.
    void ServicePreviewEnd();
    // The source's state under the input lock.
    bool SourceIsPreparing();
    bool SourceReportsError();

    double m_rateRatio = 1.0;
    int64_t m_framesRead = 0;
    std::atomic<bool> m_sourceExhausted{false};

    CCriticalSection m_inputLock;
    std::mutex m_outputLock;

    std::unique_ptr<CRingBufferPcm> m_ring;
    std::unique_ptr<CSimpleBufferPcm> m_readBuffer;
    std::unique_ptr<CSimpleBufferPcm> m_conversionBuffer;
    std::unique_ptr<CRealTimeFsConverterPcmOutput> m_converter;

    // The channel pointers handed to the source: the read buffer's channels,
    // then scratch channels for a source with more channels than the player.
    std::vector<float*> m_readChannels;
    std::vector<float> m_extraChannelStorage;
};
