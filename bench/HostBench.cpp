// The host's cost on top of the player's.
//
// BM_HostCallbackShare: the device callback through the host against the
// player's own callback (PlayerCallbackBench's measurement, 512 frames from a
// filled ring, neutral controls), timed call by call in one run, taking turns
// on the same playing song; it prints the host's share of the player's
// median and worst time. Goal: under 5 %.
//
// BM_HostTick: one 50 ms tick of the host while a song plays, with the
// listeners a main window has, over songlists of 100 and of 10,000 songs.
// Goal: under 1 ms at 10,000 songs, and no growth with the list (nothing in
// the tick walks the songs).

#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"

#include "bench/HostSupport.h"
#include "bench/PlayerSupport.h"
#include "bench/TimingSupport.h"
#include "common/dsp/CAudioFilePlayer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
constexpr int kBlock = 512;
constexpr uint32_t kRate = 44100;
constexpr int kSongSeconds = 30;

// A host over a null device in manual pump mode, with nothing else.
class BenchHost
{
public:
    CVXHost& Host() { return m_null.Host(); }
    CAudioFilePlayerPcmOutput& Player() { return *Host().GetPlayer(); }

    // count songs: copies of the file's song, song `current` playing.
    bool Fill(const juce::File& file, int count, int current)
    {
        const std::unique_ptr<Vextal::TrackInfo> song = benchsupport::ReadSong(file);
        if (song == nullptr)
            return false;
        for (int i = 0; i < count; ++i)
            Host().InsertTrack(i, std::make_unique<Vextal::TrackInfo>(*song));
        Host().SetCurPlayTrack(current, true, false);
        Host().SetPlayerStatus(CVXHost::kStatusPlaying);
        return Host().GetPlayerStatus() == CVXHost::kStatusPlaying;
    }

    // Waits (untimed) until the ring holds enough for steady playback;
    // starts the song over near its end.
    void Refill()
    {
        if (Player().GetCurTimeSecond() > kSongSeconds - 5)
            Player().SetCurTimeSecond(0.0);
        benchsupport::WaitForFrames(Player(), CAudioFilePlayerPcmOutput::kStartThreshold + kBlock);
    }

private:
    benchsupport::NullDeviceHost m_null{kRate, kBlock};
};

using benchsupport::Median;
using benchsupport::TimeCall;

double Worst(const std::vector<double>& times)
{
    return times.empty() ? 0.0 : *std::max_element(times.begin(), times.end());
}

void BM_HostCallbackShare(benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI gui;
    const benchsupport::TempSong file("vextal-host-bench", "tone.wav", kRate, kSongSeconds,
                                      benchsupport::TempSong::Content::kTones);
    BenchHost bench;
    if (!file.Ok() || !bench.Fill(file.File(), 1, 0))
    {
        state.SkipWithError("the song could not be played");
        return;
    }
    std::vector<float> left(kBlock), right(kBlock);
    float* out[2] = {left.data(), right.data()};
    std::vector<double> playerTimes, hostTimes;
    const benchsupport::ScopedAudioThreadPriority priority;
    for (auto _ : state)
    {
        bench.Refill();
        int taken = 0;
        playerTimes.push_back(TimeCall([&] { taken = bench.Player().Process(nullptr, out, kBlock); }));
        benchmark::DoNotOptimize(taken);
        bench.Refill();
        hostTimes.push_back(
            TimeCall([&] { bench.Host().OnVXAudioDeviceIOCallback(nullptr, 0, out, 2, kBlock); }));
        benchmark::DoNotOptimize(left.data());
        state.SetIterationTime(hostTimes.back());
        if (taken != kBlock)
        {
            state.SkipWithError("the player did not take a full block");
            return;
        }
    }
    const double playerMedian = Median(playerTimes);
    const double hostMedian = Median(hostTimes);
    state.counters["player_median_ns"] = playerMedian * 1e9;
    state.counters["host_median_ns"] = hostMedian * 1e9;
    state.counters["player_worst_ns"] = Worst(playerTimes) * 1e9;
    state.counters["host_worst_ns"] = Worst(hostTimes) * 1e9;
    state.counters["host_share_pct"] =
        playerMedian > 0.0 ? (hostMedian - playerMedian) / playerMedian * 100.0 : 0.0;
    state.counters["realtime"] = priority.Granted() ? 1 : 0;
    std::printf(
        "host share of the player's callback: %.2f %% (median %.0f ns over %.0f ns; goal under 5 %%)\n",
        state.counters["host_share_pct"].value, hostMedian * 1e9, playerMedian * 1e9);
}

// A listener with the work of a main window's views on a tick: keeping the
// values it is sent.
class ViewListener : public CVXHostListener
{
public:
    void OnVXHostMeterLevelChanged(CVXHost*, int channel, double level) override
    {
        levels[channel & 1] = level;
    }
    void OnVXHostMeterClipChanged(CVXHost*, int state) override { clip = state; }
    void OnVXHostTimerCallback(CVXHost* host) override
    {
        int h = 0, m = 0;
        float s = 0.0f;
        host->GetCurTime(&h, &m, &s);
        position = host->GetCurTimeBarPosition() + s;
    }

    double levels[2] = {};
    int clip = 0;
    float position = 0.0f;
};

// range(0): songs in the list.
void BM_HostTick(benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI gui;
    const benchsupport::TempSong file("vextal-host-bench", "tone.wav", kRate, kSongSeconds,
                                      benchsupport::TempSong::Content::kTones);
    BenchHost bench;
    const int songs = static_cast<int>(state.range(0));
    if (!file.Ok() || !bench.Fill(file.File(), songs, songs / 2))
    {
        state.SkipWithError("the songlist could not be played");
        return;
    }
    std::vector<std::unique_ptr<ViewListener>> views;
    for (int i = 0; i < 8; ++i)
    {
        views.push_back(std::make_unique<ViewListener>());
        bench.Host().AddListener(views.back().get());
    }
    bench.Refill();
    std::vector<double> times;
    for (auto _ : state)
    {
        times.push_back(TimeCall([&] { bench.Host().timerCallback(); }));
        state.SetIterationTime(times.back());
    }
    for (const auto& view : views)
        bench.Host().RemoveListener(view.get());
    state.counters["median_ns"] = Median(times) * 1e9;
    state.counters["worst_ns"] = Worst(times) * 1e9;
    state.counters["current_song"] = bench.Host().GetCurPlayTrack(0);
}
} // namespace

BENCHMARK(BM_HostCallbackShare)->UseManualTime()->Iterations(10000)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_HostTick)
    ->ArgName("songs")
    ->Arg(100)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
