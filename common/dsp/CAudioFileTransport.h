#pragma once

#include "common/dsp/CDynamicControlParams.h"
#include "common/file/CMarker.h"
#include "library/util/CDataUtil.h"
#include "library/zfc/CZfcListenerOwner.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class CAudioFileTransport;

// The transport state of a player. 2 and 3 are reserved and never entered.
enum eTransportState : int
{
    kTransportIdle = 0, // stopped or paused; the output is silent
    kTransportPlaying = 1,
    kTransportReserved2 = 2,
    kTransportReserved3 = 3,
    kTransportCueForward = 4,
    kTransportCueBackward = 5,
    kTransportPlayFrom = 6, // the short preview from the current time
    kTransportPlayTo = 7,   // the short preview up to the current time
};

// Notices of a transport to its owner. Both arrive on the player's reader
// thread; a receiver that touches the user interface moves to the message
// thread itself.
class CAudioFileTransportListener
{
public:
    virtual ~CAudioFileTransportListener() = default;

    // Playback stopped by itself: the end of a song without continuous
    // playback, or the end of a play-from or play-to preview.
    virtual void OnAudioFileTransportStopped(CAudioFileTransport* transport) { (void)transport; }

    // Reading the song failed; the player has already dropped its source and
    // is idle.
    virtual void OnAudioFileTransportErrorOccured(CAudioFileTransport* transport) { (void)transport; }
};

// The face of a player that its owner drives: transport commands, seeking,
// continuous playback between songs, markers, level peaks and the audio
// callback entry Process.
//
// Listeners. The list may be changed from any thread at any time: adding,
// removing and notifying share one recursive lock, so a listener may also
// remove itself (or others) while it is being notified. A notification holds
// that lock while it runs, so a thread that changes the list must not hold
// anything a listener waits for.
class CAudioFileTransport : public CZfcListenerOwner<CAudioFileTransportListener>
{
public:
    CAudioFileTransport() = default;
    virtual ~CAudioFileTransport() = default;

    CAudioFileTransport(const CAudioFileTransport&) = delete;
    CAudioFileTransport& operator=(const CAudioFileTransport&) = delete;

    // The audio callback: fills n frames of every output channel (silence
    // included) and returns the number of frames taken from the player. in
    // is not used. Any block size is accepted.
    virtual int Process(const float* const* in, float* const* out, uint32_t n) = 0;

    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual void FastForward() {}
    virtual void Rewind() {}
    virtual void PlayFrom() {}
    virtual void PlayTo() {}

    // Seeks; returns the current time (or percent) afterwards.
    virtual double SetCurTimeSecond(double seconds)
    {
        (void)seconds;
        return GetCurTimeSecond();
    }
    virtual double SetCurPositionPercent(double percent)
    {
        (void)percent;
        return GetCurPositionPercent();
    }
    // Returns the setting afterwards.
    virtual bool SetContinuousPlayback(bool on)
    {
        (void)on;
        return false;
    }

    // Writes one level in dB per channel of the player into levels.
    virtual void GetPeakLeveldB(float* levels) = 0;
    virtual double GetCurTimeSecond() = 0;
    // 0 .. 100.
    virtual double GetCurPositionPercent() = 0;
    // 0 .. 100.
    virtual double GetBufferFilledPercent() = 0;
    virtual bool GetContinuousPlayback() { return false; }
    virtual bool WantsNextSong() { return false; }
    virtual bool WantsPreviousSong() { return false; }

    // The markers of the song, or null without one.
    virtual CMarker* GetMarkerPtr() = 0;
    virtual bool JumpToMarker(int index)
    {
        (void)index;
        return false;
    }
    virtual bool JumpToNextMarker() { return false; }
    virtual bool JumpToPreviousMarker() { return false; }
    // The index of the last marker at or before the current time; -1 before
    // the first marker or with an empty list; 0 without a marker list.
    virtual int GetCurrentMarkerIndex()
    {
        const CMarker* markers = GetMarkerPtr();
        if (markers == nullptr)
            return 0;
        return markers->TimeToMarkerIndex(GetCurTimeSecond());
    }
    // Where the owner writes the song's controls, or null.
    virtual CDynamicControlParams* GetDynamicControlParamsPtr() { return nullptr; }

    // True unless the state is idle (or the reserved 2).
    bool IsPlaying() const
    {
        const int state = m_transportState.load(std::memory_order_acquire);
        return state != kTransportIdle && state != kTransportReserved2;
    }

    eTransportState GetTransportState() const
    {
        return static_cast<eTransportState>(m_transportState.load(std::memory_order_acquire));
    }

    void GetCurTime(int* hours, int* minutes, float* seconds)
    {
        CDataUtil::SecondToTime(GetCurTimeSecond(), hours, minutes, seconds);
    }

    // The list operations, safe from any thread (see above).
    void AddListener(CAudioFileTransportListener* listener)
    {
        std::lock_guard<std::recursive_mutex> lock(m_listenerLock);
        CZfcListenerOwner<CAudioFileTransportListener>::AddListener(listener);
    }
    void RemoveListener(CAudioFileTransportListener* listener)
    {
        std::lock_guard<std::recursive_mutex> lock(m_listenerLock);
        CZfcListenerOwner<CAudioFileTransportListener>::RemoveListener(listener);
    }
    void RemoveAllListeners()
    {
        std::lock_guard<std::recursive_mutex> lock(m_listenerLock);
        CZfcListenerOwner<CAudioFileTransportListener>::RemoveAllListeners();
    }

protected:
    // Every listener's OnAudioFileTransportStopped(this), in list order.
    void NotifyAudioFileTransportStopped()
    {
        std::lock_guard<std::recursive_mutex> lock(m_listenerLock);
        CallListeners([this](CAudioFileTransportListener& l) { l.OnAudioFileTransportStopped(this); });
    }
    // Every listener's OnAudioFileTransportErrorOccured(this), in list order.
    void NotifyAudioFileTransportErrorOccured()
    {
        std::lock_guard<std::recursive_mutex> lock(m_listenerLock);
        CallListeners([this](CAudioFileTransportListener& l) { l.OnAudioFileTransportErrorOccured(this); });
    }

    // Written by the commands, the reader thread and the audio callback.
    std::atomic<int> m_transportState{kTransportIdle};

private:
    std::recursive_mutex m_listenerLock;
};
