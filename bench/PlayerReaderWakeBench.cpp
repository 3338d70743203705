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

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{
constexpr uint32_t kBlock = 512;
constexpr uint32_t kRate = 44100;

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
    benchsupport::ToneSource source(kRate, static_cast<int64_t>(kRate) * 3600);
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
