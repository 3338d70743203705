// The file player's audio callback: the worst and the median time per
// 512-frame callback while the reader thread keeps the ring filled from a
// fake source, at the same rate and with a rate conversion to the device, with
// the song's controls neutral and with gain, balance, DC cut and fades on.
//
// Every callback is timed on its own. Between callbacks the benchmark waits
// (untimed) until the ring holds enough, so each timed call takes frames from
// the ring as in steady playback and none hits an underrun.
//
// The calling thread asks for real-time scheduling above the reader thread's,
// as a device's audio thread has; otherwise the reader (real-time where the
// process may) preempts the timed calls and the worst case measures the
// scheduler. The counter "realtime" tells whether it was granted.

#include "bench/PlayerSupport.h"
#include "common/dsp/CAudioFilePlayer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace
{
constexpr uint32_t kBlock = 512;

using benchsupport::ScopedAudioThreadPriority;
using benchsupport::SetCallbackTimeCounters;
using benchsupport::TimeCallbacks;
using benchsupport::ToneSource;

// range(0): source rate (the device runs at 44100 Hz); range(1): 1 with the
// song's controls on.
void BM_PlayerCallback512(benchmark::State& state)
{
    const uint32_t sourceRate = static_cast<uint32_t>(state.range(0));
    const bool controls = state.range(1) != 0;
    ToneSource source(sourceRate, static_cast<int64_t>(sourceRate) * 3600);
    CAudioFilePlayerPcmOutput player(2);
    player.SetOutputSampleRate(44100.0f);
    player.SetPlayerInput(&source);
    if (controls)
    {
        CDynamicControlParams* params = player.GetDynamicControlParamsPtr();
        params->SetGaindB(-2.5f);
        params->SetPan(0.25f);
        params->SetDcCutMode(1);
        params->SetFadeParams(1, 3000.0f, 2, 3000.0f); // fading throughout
    }
    player.Play();

    std::vector<float> left(kBlock), right(kBlock);
    float* out[2] = {left.data(), right.data()};
    const ScopedAudioThreadPriority priority;
    const std::vector<double> times = TimeCallbacks(state, player, out, kBlock, [] {});
    player.SetPlayerInput(nullptr);

    if (times.empty())
        return;
    SetCallbackTimeCounters(state, times);
    state.counters["realtime"] = priority.Granted() ? 1 : 0;
    state.SetItemsProcessed(static_cast<int64_t>(times.size()) * kBlock);
}
} // namespace

BENCHMARK(BM_PlayerCallback512)
    ->ArgNames({"source_rate", "controls"})
    ->Args({44100, 0})
    ->Args({44100, 1})
    ->Args({48000, 0})
    ->Args({48000, 1})
    ->UseManualTime()
    ->Iterations(20000)
    ->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
