#pragma once

// What the benchmarks that time the file player's audio callback share: a
// song of tones generated on the fly, a real-time priority for the timing
// thread, as a device's audio thread has, the wait for a filled ring between
// timed callbacks, the timed callbacks themselves and the counters of their
// times.

#include "common/dsp/CAudioFilePlayer.h"
#include "common/dsp/CThread.h"

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace benchsupport
{
// A stereo song of tones generated on the fly (440 Hz on the left, 660 Hz
// on the right); silence past its end.
class ToneSource : public CAudioPlayerInput
{
public:
    ToneSource(uint32_t rate, int64_t frames) : m_rate(rate), m_frames(frames) {}

    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetBitsPerSample() override { return 24; }
    uint16_t GetNumChannels() override { return 2; }
    int64_t GetNumSamples() override { return m_frames; }
    int64_t GetCurSamplePosition() override { return m_position; }
    void SetCurSamplePosition(int64_t frame) override
    {
        m_position = std::min(std::max<int64_t>(frame, 0), m_frames);
    }

    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override
    {
        const int64_t take = std::min<int64_t>(n, m_frames - m_position);
        for (int64_t i = 0; i < n; ++i)
        {
            const double t = static_cast<double>(m_position + i) / m_rate;
            const bool real = i < take;
            bufs[0][dstOffset + i] = real ? static_cast<float>(0.5 * std::sin(2.0 * M_PI * 440.0 * t)) : 0.0f;
            bufs[1][dstOffset + i] = real ? static_cast<float>(0.5 * std::sin(2.0 * M_PI * 660.0 * t)) : 0.0f;
        }
        m_position += take;
        return static_cast<uint32_t>(take);
    }

private:
    const uint32_t m_rate;
    const int64_t m_frames;
    int64_t m_position = 0;
};

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
