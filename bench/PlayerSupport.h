#pragma once

// What the benchmarks that time the file player's audio callback share: a
// real-time priority for the timing thread, as a device's audio thread has,
// and the wait for a filled ring between timed callbacks.

#include "common/dsp/CAudioFilePlayer.h"
#include "common/dsp/CThread.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace benchsupport
{
// Real-time priority for the calling thread while it lives, where allowed
// (above the player's reader, as a device's audio thread is); otherwise the
// reader preempts the timed calls and the worst case measures the scheduler.
class ScopedAudioThreadPriority
{
public:
    ScopedAudioThreadPriority()
    {
        pthread_getschedparam(pthread_self(), &m_policy, &m_param);
        sched_param param{};
        param.sched_priority = CThread::SchedulingPriorityFor(3) + 10;
        m_granted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    }
    ~ScopedAudioThreadPriority()
    {
        if (m_granted)
            pthread_setschedparam(pthread_self(), m_policy, &m_param);
    }
    ScopedAudioThreadPriority(const ScopedAudioThreadPriority&) = delete;
    ScopedAudioThreadPriority& operator=(const ScopedAudioThreadPriority&) = delete;

    bool Granted() const { return m_granted; }

private:
    int m_policy = SCHED_OTHER;
    sched_param m_param{};
    bool m_granted = false;
};

// Waits (untimed) until the player's ring holds frames and the player is not
// buffering, for 10 seconds at the most.
inline void WaitForFrames(CAudioFilePlayerPcmOutput& player, uint32_t frames)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((player.IsBuffering() || player.GetBufferFilledFrames() < frames) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}
} // namespace benchsupport
