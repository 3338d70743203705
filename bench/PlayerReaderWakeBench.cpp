// How the file player's reader should learn that the audio callback has made
// room in the ring: the reader looks every millisecond (as it does), or the
// callback wakes it. The reader's side costs nothing to the callback when it
// polls; an event puts the wake into every callback that frees room while the
// reader waits. This benchmark times the 512-frame callback both ways in one
// run, under the same real-time priority and ring level as the player-callback
// benchmark:
//
// - poll: the callback alone, the player's reader polling as it does;
// - event: the callback, then the wake of a thread parked on a semaphore (the
//   reader an event would have), made only while that thread waits, as the
//   cheapest event would.
//
// Counters: median, 99th percentile and worst time per callback, in ns; wakes
// per callback for the event. The event costs the callback a system call
// whenever it wakes the reader, and the 99th percentile shows it: the player
// keeps its poll.

#include "bench/PlayerSupport.h"
#include "common/dsp/CAudioFilePlayer.h"

#include <benchmark/benchmark.h>

#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
constexpr uint32_t kBlock = 512;
constexpr uint32_t kRate = 44100;

// A stereo song of a tone generated on the fly.
class ToneSource : public CAudioPlayerInput
{
public:
    explicit ToneSource(int64_t frames) : m_frames(frames) {}

    uint32_t GetSampleRate() override { return kRate; }
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
            const float v =
                i < take ? static_cast<float>(0.5 * std::sin(0.0627 * static_cast<double>(m_position + i)))
                         : 0.0f;
            bufs[0][dstOffset + i] = v;
            bufs[1][dstOffset + i] = -v;
        }
        m_position += take;
        return static_cast<uint32_t>(take);
    }

private:
    const int64_t m_frames;
    int64_t m_position = 0;
};

// A thread parked on a semaphore until woken, as a reader waiting for room
// would be; Wake posts only while it waits.
class ParkedReader
{
public:
    ParkedReader()
    {
        sem_init(&m_wake, 0, 0);
        m_thread = std::thread(
            [this]
            {
                while (!m_exit.load(std::memory_order_acquire))
                {
                    m_waiting.store(true, std::memory_order_release);
                    sem_wait(&m_wake);
                }
            });
    }
    ~ParkedReader()
    {
        m_exit.store(true, std::memory_order_release);
        sem_post(&m_wake);
        m_thread.join();
        sem_destroy(&m_wake);
    }
    ParkedReader(const ParkedReader&) = delete;
    ParkedReader& operator=(const ParkedReader&) = delete;

    // True when a wake was posted.
    bool Wake()
    {
        if (!m_waiting.exchange(false, std::memory_order_acq_rel))
            return false;
        sem_post(&m_wake);
        return true;
    }

private:
    sem_t m_wake{};
    std::atomic<bool> m_waiting{false};
    std::atomic<bool> m_exit{false};
    std::thread m_thread;
};

// range(0): 0 poll, 1 event.
void BM_PlayerReaderWake(benchmark::State& state)
{
    const bool event = state.range(0) != 0;
    ToneSource source(static_cast<int64_t>(kRate) * 3600);
    CAudioFilePlayerPcmOutput player(2);
    player.SetOutputSampleRate(static_cast<float>(kRate));
    player.SetPlayerInput(&source);
    player.Play();
    ParkedReader reader;

    std::vector<float> left(kBlock), right(kBlock);
    float* out[2] = {left.data(), right.data()};
    const benchsupport::ScopedAudioThreadPriority priority;
    int64_t wakes = 0;
    const std::vector<double> times = benchsupport::TimeCallbacks(state, player, out, kBlock,
                                                                  [&]
                                                                  {
                                                                      if (event && reader.Wake())
                                                                          ++wakes;
                                                                  });
    player.SetPlayerInput(nullptr);

    if (times.empty())
        return;
    benchsupport::SetCallbackTimeCounters(state, times);
    state.counters["wakes_per_call"] = static_cast<double>(wakes) / static_cast<double>(times.size());
    state.counters["realtime"] = priority.Granted() ? 1 : 0;
}
} // namespace

BENCHMARK(BM_PlayerReaderWake)
    ->ArgName("event")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(20000)
    ->Repetitions(3)
    ->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
