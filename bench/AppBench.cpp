// The whole application as the user meets it, started as its own process on
// the display (run under xvfb-run where there is none).
//
// BM_ColdStart: from starting the program (fresh settings and data folders
// each time) to its main window shown.
// BM_OpenSonglistAtStart/10000: the same start with a songlist of 10,000
// songs on the command line, to the window whose title names that songlist.
// The difference of the two is what opening the songlist in the window costs.
//
// Goals: a cold start under 1 s; 10,000 songs opened in the window under 2 s.

#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"

#include "common/file/CAudioFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "tests/src/XDriver.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace
{
using Clock = std::chrono::steady_clock;

// A songlist of count songs, all over one short WAV file.
juce::File MakeSonglist(const juce::File& folder, int count)
{
    const juce::File wav = folder.getChildFile("song.wav");
    {
        std::unique_ptr<CAudioFileWriteBase> writer(VextalFileUtil::CreateAudioFileWriteObject(
            wav.getFullPathName().toWideCharPointer(), "wav", 44100, 16, 2, 0));
        std::vector<int32_t> samples(4410, 1000);
        int32_t* channels[2] = {samples.data(), samples.data()};
        writer->WriteAudioData(channels, 4410);
        writer->CloseFile();
    }
    std::unique_ptr<CAudioFileReadBase> reader(
        VextalFileUtil::CreateAudioFileReadObject(wav.getFullPathName().toWideCharPointer(), true));
    std::vector<std::unique_ptr<Vextal::TrackInfo>> songs;
    std::vector<const Vextal::TrackInfo*> records;
    for (int i = 0; i < count; ++i)
    {
        songs.push_back(std::make_unique<Vextal::TrackInfo>(reader.get()));
        songs.back()->setText(Vextal::TrackInfo::kSongName, "Song " + juce::String(i + 1), false);
        records.push_back(songs.back().get());
    }
    const juce::File list = folder.getChildFile("list" + juce::String(count) + ".vxsl");
    Vextal::SonglistFile::write(records, list);
    return list;
}

// Starts the program with its own folders and returns the seconds until a
// window whose name contains the text shows; negative when none did.
double TimeStart(const std::vector<std::string>& arguments, const std::string& windowName)
{
    vxtest::TempFolder folder{"appbench"};
    const std::filesystem::path root = folder.Path();
    for (const char* sub : {"home", "config", "data", "run"})
        std::filesystem::create_directories(root / sub);
    ::chmod((root / "run").c_str(), 0700);
    const std::map<std::string, std::string> environment = {{"HOME", (root / "home").string()},
                                                            {"XDG_CONFIG_HOME", (root / "config").string()},
                                                            {"XDG_DATA_HOME", (root / "data").string()},
                                                            {"XDG_RUNTIME_DIR", (root / "run").string()}};
    std::vector<std::string> command = {VEXTAL_APP_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const Clock::time_point start = Clock::now();
    vxtest::ChildProcess app(command, environment);
    for (;;)
    {
        const std::string ids = xdrive::Run("xdotool search --onlyvisible --name '" + windowName + "'");
        if (!ids.empty())
            return std::chrono::duration<double>(Clock::now() - start).count();
        if (Clock::now() - start > std::chrono::seconds(60))
            return -1.0;
        xdrive::Sleep(5);
    }
}

bool HaveDisplay()
{
    return std::getenv("DISPLAY") != nullptr && !xdrive::Run("command -v xdotool").empty();
}

void BM_ColdStart(benchmark::State& state)
{
    if (!HaveDisplay())
    {
        state.SkipWithError("needs a display and xdotool (run under xvfb-run)");
        return;
    }
    for (auto _ : state)
    {
        const double seconds = TimeStart({}, " - Vextal");
        if (seconds < 0.0)
        {
            state.SkipWithError("no window");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_ColdStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenSonglistAtStart(benchmark::State& state)
{
    if (!HaveDisplay())
    {
        state.SkipWithError("needs a display and xdotool (run under xvfb-run)");
        return;
    }
    static vxtest::TempFolder folder{"appbenchlist"};
    const int count = static_cast<int>(state.range(0));
    const juce::File list = MakeSonglist(juce::File(folder.Path().string()), count);
    const std::string title = list.getFileName().toStdString() + " - Vextal";
    for (auto _ : state)
    {
        const double seconds = TimeStart({list.getFullPathName().toStdString()}, title);
        if (seconds < 0.0)
        {
            state.SkipWithError("the songlist's window did not show");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_OpenSonglistAtStart)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

BENCHMARK_MAIN();
