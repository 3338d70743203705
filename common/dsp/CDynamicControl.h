#pragma once

#include "common/dsp/CDcCutFilter.h"
#include "common/dsp/CDynamicControlParams.h"
#include "common/dsp/CFadeControl.h"
#include "common/dsp/CGainControl.h"
#include "common/dsp/CPanControl.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// The per-song processing chain on planar float blocks: DC cut, gain, pan,
// fades, then a peak measurement per channel for the level meter.
//
// Threads. Process runs on the audio (or export) thread and never allocates,
// locks or waits. The settings (the CDynamicControlParams operations, the
// sample rate, the total time and the converter delay) may be changed from
// other threads at any time: each change is made on a private copy under a
// lock that only the setters take, and the whole copy is then published
// through a three-slot exchange. Process picks up the newest complete copy at
// the start of a block and uses it for the whole block, so a block never sees
// part of one change and part of another. Seeks (SetCurTimeSecond) and Reset
// are lock-free requests taken up at the start of the next block, so they may
// also come from the audio thread itself. Peak levels are atomic.
class CDynamicControl : public CDynamicControlParams
{
public:
    static constexpr uint16_t kMaxChannels = 4;
    // The peak level that means "nothing measured since the last read".
    static constexpr float kNoPeakLevel = -200.0f;

    // Channels above 4 are taken as 4. Starts at 44100 Hz with every control
    // neutral and no peak measured.
    explicit CDynamicControl(uint16_t channels);
    ~CDynamicControl() override;

    CDynamicControl(const CDynamicControl&) = delete;
    CDynamicControl& operator=(const CDynamicControl&) = delete;

    float SetGaindB(float dB) override;
    float SetPan(float pan) override;
    int SetDcCutMode(int mode) override;
    void SetFadeParams(int fadeInType, float fadeInSeconds, int fadeOutType, float fadeOutSeconds) override;
    float GetGaindB() const override;
    float GetPan() const override;
    int GetDcCutMode() const override;
    void GetFadeParams(int* fadeInType, float* fadeInSeconds, int* fadeOutType,
                       float* fadeOutSeconds) const override;

    // The rate of the blocks processed, for the DC cut and the fades. A new
    // rate keeps the song position (in seconds) and the DC-cut state; 0 is
    // ignored. Returns the rate stored.
    uint32_t SetSampleRate(uint32_t rate);
    double SetTotalTimeSecond(double seconds);
    // Moves the song position for the next block. Lock-free; returns seconds.
    double SetCurTimeSecond(double seconds);
    // The delay of the rate converter ahead of this chain, so that the fades
    // line up with the delayed material.
    double SetDelayOffsetSeconds(double seconds);
    // A mono song copied onto both channels has no balance: with the bypass
    // on, the pan stage leaves the channels as they are, as export does.
    void SetPanBypassed(bool bypassed) { m_panBypassed.store(bypassed, std::memory_order_relaxed); }

    // The chain over n frames of every channel, in place. Returns n.
    uint32_t Process(float* const* buffers, uint32_t n);
    // Copies in to out for every channel, then processes out in place.
    uint32_t Process(const float* const* in, float* const* out, uint32_t n);

    // The highest block level (dB, -60.0 .. +3.5 in 0.5 dB steps) measured on
    // the channel since the previous read, then forgets it; kNoPeakLevel when
    // nothing was measured or for a channel at or above the count.
    float GetPeakLeveldB(int channel);
    void ResetPeakLeveldB();
    // Clears the DC-cut state (before the next block) and every peak level.
    void Reset();

    uint16_t GetNumChannels() const { return m_channels; }
    int64_t GetFadeInStopSample() const;
    int64_t GetFadeOutStartSample() const;
    // True when gain, pan and DC cut leave the samples untouched (fades aside).
    bool DirectModeIsSuggested() const;

private:
    // One complete set of settings, copied whole between threads.
    struct Settings
    {
        explicit Settings(uint16_t channels);
        CGainControl gain;
        CPanControl pan;
        int dcCutMode;
        CFadeControl fade; // settings only: the audio side keeps its own position
    };

    static constexpr uint32_t kFreshSlot = 4; // flag in m_middleSlot: not yet taken
    static constexpr uint32_t kSlotMask = 3;

    void Publish();      // setters, with m_writeLock held
    void TakeSettings(); // audio side, start of a block
    void RaisePeak(uint16_t channel, float level);

    const uint16_t m_channels;

    // Setter side.
    mutable std::mutex m_writeLock;
    Settings m_model;
    uint32_t m_backSlot;

    // Hand-over.
    Settings m_slots[3];
    std::atomic<uint32_t> m_middleSlot;
    std::atomic<uint32_t> m_resetRequests;
    std::atomic<double> m_pendingSeek; // not a number when none

    // Audio side.
    uint32_t m_frontSlot;
    uint32_t m_resetRequestsSeen;
    CDcCutFilter m_dcCut;
    CFadeControl m_fade;

    std::atomic<float> m_peakLevels[kMaxChannels];
    std::atomic<bool> m_panBypassed{false};
};
