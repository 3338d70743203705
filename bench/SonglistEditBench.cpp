// Songlist edits on long songlists.
//
// BM_SonglistEdits/N: N songs all named "Song" inserted one by one as the
// add-songs work does (each named unique through SongNameChecker: Song,
// Song.1, ... and appended); every other song removed in one undoable action
// and the removal undone; then the insertion taken back, the last song first.
// A song in the middle is current, so that every change moves it. Each phase
// is timed on its own and reported per song; the program ends with the time
// per song of the 10,000-song list over that of the 1,000-song list. Goal:
// within 1.5 (no phase walks the list per song).
//
// The songs name a file that is not there: removing the current song loads
// the next one, and a song that opens would restart the player's reader
// (about 10 ms, the reader's polling step), which is not the list's work.

#include "bench/BenchSupport.h"
#include "common/file/CPlaylistSong.h"
#include "src/songlist/Action/RemoveSongAction.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/TrackInfo.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace
{
struct PhaseTimes
{
    double insert = 0.0;
    double remove = 0.0;
    double undoRemove = 0.0;
    double undoInsert = 0.0;

    double Total() const { return insert + remove + undoRemove + undoInsert; }
};

// The fastest run: the one least disturbed by other work on the machine.
PhaseTimes Fastest(const std::vector<PhaseTimes>& runs)
{
    if (runs.empty())
        return {};
    return *std::min_element(runs.begin(), runs.end(),
                             [](const PhaseTimes& a, const PhaseTimes& b) { return a.Total() < b.Total(); });
}

// Seconds of each phase, by songlist size (the fastest run's).
std::map<int, PhaseTimes>& Results()
{
    static std::map<int, PhaseTimes> results;
    return results;
}

template <typename F>
double Seconds(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every other index of 0 .. count - 1 (built once, untimed: a selection of
// many ranges is costly to build in the framework's set).
juce::SparseSet<int> EveryOther(int count)
{
    juce::SparseSet<int> set;
    for (int i = count - 1 - (count - 1) % 2; i >= 0; i -= 2)
        set.addRange({i, i + 1});
    return set;
}

void BM_SonglistEdits(benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI gui;
    const int count = static_cast<int>(state.range(0));
    const juce::SparseSet<int> half = EveryOther(count);
    std::vector<PhaseTimes> runs;
    for (auto _ : state)
    {
        PhaseTimes times;
        CVXHost host{CVXHost::Services{}};
        host.stopTimer();
        Vextal::CommandManager commands(host, [] {});
        std::vector<std::unique_ptr<Vextal::TrackInfo>> records;
        for (int i = 0; i < count; ++i)
        {
            records.push_back(std::make_unique<Vextal::TrackInfo>());
            records.back()->getSong()->CreateNewSection()->CreateNewTrack()->CreateNewFile()->SetFile(
                L"/nonexistent/song.wav", 0, -1, 0);
        }

        times.insert = Seconds(
            [&]
            {
                for (auto& record : records)
                {
                    record->setText(Vextal::TrackInfo::kSongName, host.SongNameChecker("Song"), true);
                    host.InsertTrack(host.GetNumSongs(), std::move(record));
                }
            });
        host.SetCurPlayTrack(count / 2, false, false);
        times.remove = Seconds(
            [&]
            { commands.stackActionInUndoList(new Vextal::RemoveSongAction(host, half), true, "Remove"); });
        times.undoRemove = Seconds([&] { commands.undo(); });
        times.undoInsert = Seconds(
            [&]
            {
                for (int i = count - 1; i >= 0; --i)
                    host.RemoveTrack(i, true, true);
            });
        if (host.GetNumSongs() != 0 || host.SongNameChecker("Song") != "Song")
        {
            state.SkipWithError("the songlist was not emptied");
            return;
        }
        state.SetIterationTime(times.Total());
        runs.push_back(times);
    }
    const PhaseTimes times = Fastest(runs);
    state.counters["insert_us_per_song"] = times.insert / count * 1e6;
    state.counters["remove_us_per_song"] = times.remove / (count / 2) * 1e6;
    state.counters["undo_remove_us_per_song"] = times.undoRemove / (count / 2) * 1e6;
    state.counters["undo_insert_us_per_song"] = times.undoInsert / count * 1e6;
    state.counters["total_us_per_song"] = times.Total() / count * 1e6;
    Results()[count] = times;
}
BENCHMARK(BM_SonglistEdits)
    ->Arg(1000)
    ->Arg(10000)
    ->UseManualTime()
    ->MinTime(2.0)
    ->Unit(benchmark::kMillisecond);

void PrintRatio()
{
    const auto& results = Results();
    const auto small = results.find(1000);
    const auto large = results.find(10000);
    if (small == results.end() || large == results.end())
        return;
    const auto perSong = [](const PhaseTimes& t, int n) { return t.Total() / n * 1e6; };
    const double a = perSong(small->second, 1000);
    const double b = perSong(large->second, 10000);
    std::printf(
        "time per song: %.3f us at 1,000 songs, %.3f us at 10,000 songs: ratio %.2f (goal at most 1.5)\n", a,
        b, a > 0.0 ? b / a : 0.0);
}
} // namespace

int main(int argc, char** argv)
{
    if (!benchsupport::RunBenchmarks(&argc, argv))
        return 1;
    PrintRatio();
    return 0;
}
