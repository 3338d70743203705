#pragma once

// What the benchmarks that time the file player's audio callback share: a
// real-time priority for the timing thread, as a device's audio thread has,
// the wait for a filled ring between timed callbacks, the timed callbacks
// themselves and the counters of their times.

#include "common/dsp/CAudioFilePlayer.h"
#include "common/dsp/CThread.h"

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

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

// Times one callback of block frames into out per iteration of state, each on
// its own after an untimed WaitForFrames, with alongside() run right after the
// callback inside its time; stops with an error at a callback that does not
// take a full block. Returns the seconds of every timed callback.
template <typename Alongside>
std::vector<double> TimeCallbacks(benchmark::State& state, CAudioFilePlayerPcmOutput& player, float** out,
                                  uint32_t block, Alongside alongside)
{
    std::vector<double> times;
    times.reserve(1 << 16);
    for (auto _ : state)
    {
        WaitForFrames(player, CAudioFilePlayerPcmOutput::kStartThreshold + block);
        const auto start = std::chrono::steady_clock::now();
        const int taken = player.Process(nullptr, out, block);
        alongside();
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(taken);
        benchmark::ClobberMemory();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds);
        if (taken != static_cast<int>(block))
        {
            state.SkipWithError("the callback did not take a full block");
            break;
        }
    }
    return times;
}

// The counters median_ns, p99_ns and worst_ns of the callbacks' times; none
// for no times.
inline void SetCallbackTimeCounters(benchmark::State& state, std::vector<double> times)
{
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    state.counters["median_ns"] = times[times.size() / 2] * 1e9;
    state.counters["p99_ns"] = times[std::min(times.size() - 1, times.size() * 99 / 100)] * 1e9;
    state.counters["worst_ns"] = times.back() * 1e9;
}
} // namespace benchsupport
