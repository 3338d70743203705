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

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace
{
constexpr uint32_t kBlock = 512;

// A stereo song of tones generated on the fly.
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

using benchsupport::ScopedAudioThreadPriority;
using benchsupport::SetCallbackTimeCounters;
using benchsupport::TimeCallbacks;

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
