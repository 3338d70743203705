// Songlist files against the framework's bare XML parser.
//
// BM_BareParse/N: juce::XmlDocument parsing the songlist file of N songs (the
// floor: what reading the same bytes into elements costs at least).
// BM_ReadSonglist/N: the songlist reader making N song records from that file
// (the safe reader's scan, the parse, every song's values and the existence
// checks of its audio file, which is present).
// BM_OpenSonglist/N: the host opening that file as its songlist (the reading
// above, unique names, the songs inserted, the first loaded, the file copied
// to the backup songlist).
// BM_WriteSonglist/N: writing the N songs over the file (built, written,
// flushed and renamed through the atomic-write path).
// BM_ReadAudioFiles/1000: the add-songs worker turning 1,000 WAV files of a
// folder into song records (the folder walk, each file's reader).
//
// A table prints the time per song of each case and the multiples of the bare
// parse. Goals: opening 10,000 songs under 1 s and within 3x of the bare
// parse; the time per song flat from 1,000 to 10,000 songs.

#include "src/AddSongThreadWithProgressWindow.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/VXSLReader.h"

#include "bench/BenchSupport.h"
#include "common/file/CAudioFileReadBase.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/VextalFileUtil.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kFrames = 441;

// One folder of WAV files (made once) and the songlists over them.
class Fixture
{
public:
    static Fixture& Get()
    {
        static Fixture fixture;
        return fixture;
    }

    // The songlist of the first count files (made on first use).
    const juce::File& Songlist(int count)
    {
        auto it = m_lists.find(count);
        if (it != m_lists.end())
            return it->second;
        const juce::File file = Folder().getChildFile("list" + juce::String(count) + ".vxsl");
        Vextal::SonglistFile::write(Records(count), file);
        return m_lists.emplace(count, file).first->second;
    }

    std::vector<const Vextal::TrackInfo*> Records(int count)
    {
        Files(count);
        std::vector<const Vextal::TrackInfo*> records;
        for (int i = 0; i < count; ++i)
            records.push_back(m_songs[static_cast<size_t>(i)].get());
        return records;
    }

    // The folder holding the first count files and nothing else.
    juce::File FolderOf(int count)
    {
        Files(count);
        const juce::File sub = Folder().getChildFile("only" + juce::String(count));
        if (!sub.isDirectory())
        {
            sub.createDirectory();
            for (int i = 0; i < count; ++i)
                AudioFolder().getChildFile(FileName(i)).copyFileTo(sub.getChildFile(FileName(i)));
        }
        return sub;
    }

private:
    juce::File Folder() const { return juce::File(m_folder.Path().string()); }
    juce::File AudioFolder() const { return Folder().getChildFile("audio"); }
    static juce::String FileName(int i) { return "song " + juce::String(i).paddedLeft('0', 5) + ".wav"; }

    // Makes files and song records up to count.
    void Files(int count)
    {
        AudioFolder().createDirectory();
        while (static_cast<int>(m_songs.size()) < count)
        {
            const int i = static_cast<int>(m_songs.size());
            const juce::File file = AudioFolder().getChildFile(FileName(i));
            WriteWav(file);
            std::unique_ptr<CAudioFileReadBase> reader(
                VextalFileUtil::CreateAudioFileReadObject(file.getFullPathName().toWideCharPointer(), true));
            auto song = std::make_unique<Vextal::TrackInfo>(reader.get());
            song->setText(Vextal::TrackInfo::kSongName, file.getFileNameWithoutExtension(), false);
            song->setText(Vextal::TrackInfo::kTitle, "Title of song " + juce::String(i), false);
            song->setText(Vextal::TrackInfo::kArtist, "An Artist", false);
            song->addMarker(0.005, false);
            m_songs.push_back(std::move(song));
        }
    }

    static void WriteWav(const juce::File& file)
    {
        std::unique_ptr<CAudioFileWriteBase> writer(VextalFileUtil::CreateAudioFileWriteObject(
            file.getFullPathName().toWideCharPointer(), "wav", 44100, 16, 2, 0));
        std::vector<int32_t> samples(kFrames, 1000);
        int32_t* channels[2] = {samples.data(), samples.data()};
        writer->WriteAudioData(channels, kFrames);
        writer->CloseFile();
    }

    vxtest::TempFolder m_folder{"songlistbench"};
    std::vector<std::unique_ptr<Vextal::TrackInfo>> m_songs;
    std::map<int, juce::File> m_lists;
};

void PerSong(benchmark::State& state, int songs)
{
    state.counters["us_per_song"] =
        benchmark::Counter(static_cast<double>(songs) * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_BareParse(benchmark::State& state)
{
    const int songs = static_cast<int>(state.range(0));
    const juce::File& file = Fixture::Get().Songlist(songs);
    for (auto _ : state)
    {
        std::unique_ptr<juce::XmlElement> root = juce::XmlDocument::parse(file);
        benchmark::DoNotOptimize(root.get());
    }
    PerSong(state, songs);
}

void BM_ReadSonglist(benchmark::State& state)
{
    const int songs = static_cast<int>(state.range(0));
    const juce::File& file = Fixture::Get().Songlist(songs);
    for (auto _ : state)
    {
        Vextal::VXSLReader reader(file.getFullPathName());
        std::vector<std::unique_ptr<Vextal::TrackInfo>> read;
        read.reserve(static_cast<size_t>(songs));
        while (reader.isReady())
            read.push_back(reader.next());
        if (static_cast<int>(read.size()) != songs)
            state.SkipWithError("the songlist did not read back whole");
    }
    PerSong(state, songs);
}

void BM_OpenSonglist(benchmark::State& state)
{
    const int songs = static_cast<int>(state.range(0));
    const juce::File& file = Fixture::Get().Songlist(songs);
    CVXHost::Services services;
    services.dataFolder = file.getSiblingFile("data");
    for (auto _ : state)
    {
        state.PauseTiming();
        auto host = std::make_unique<CVXHost>(services);
        host->stopTimer();
        state.ResumeTiming();
        if (!host->openProjectInternal(file, true) || host->GetNumSongs() != songs)
            state.SkipWithError("the songlist did not open whole");
        state.PauseTiming();
        host.reset();
        state.ResumeTiming();
    }
    PerSong(state, songs);
}

void BM_WriteSonglist(benchmark::State& state)
{
    const int songs = static_cast<int>(state.range(0));
    Fixture& fixture = Fixture::Get();
    const std::vector<const Vextal::TrackInfo*> records = fixture.Records(songs);
    const juce::File target = fixture.Songlist(songs).getSiblingFile("written.vxsl");
    for (auto _ : state)
        if (!Vextal::SonglistFile::write(records, target))
            state.SkipWithError("the songlist could not be written");
    PerSong(state, songs);
}

void BM_ReadAudioFiles(benchmark::State& state)
{
    const int songs = static_cast<int>(state.range(0));
    const juce::File folder = Fixture::Get().FolderOf(songs);
    for (auto _ : state)
    {
        // The worker's body, run on this thread.
        Vextal::AddSongThreadWithProgressWindow worker(juce::StringArray(folder.getFullPathName()));
        worker.run();
        if (static_cast<int>(worker.takeFinishedSongs().size()) != songs)
            state.SkipWithError("not every file became a song");
    }
    PerSong(state, songs);
}

BENCHMARK(BM_BareParse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadSonglist)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_OpenSonglist)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_WriteSonglist)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadAudioFiles)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps each case's time per song.
class PerSongReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            const auto it = run.counters.find("us_per_song");
            // The name without its options ("/min_time:...").
            const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find("/min_time"));
            if (!run.error_occurred && it != run.counters.end())
                perSong[name] = it->second.value;
        }
    }
    std::map<std::string, double> perSong;
};
} // namespace

namespace
{
juce::JUCEApplicationBase* NoApplication()
{
    return nullptr;
}
} // namespace

// Runs under a display (xvfb-run): the add-songs worker belongs to a window.
int main(int argc, char** argv)
{
    // As a standalone program, the framework handles the X errors a bare
    // display without a window manager answers with.
    juce::JUCEApplicationBase::createInstance = &NoApplication;
    juce::ScopedJuceInitialiser_GUI gui;
    PerSongReporter reporter;
    if (!benchsupport::RunBenchmarks(&argc, argv, &reporter))
        return 1;

    std::printf("\n%-10s %14s %10s %10s %10s %10s\n", "songs", "bare parse us", "read us", "x parse",
                "open us", "x parse");
    for (const char* n : {"1000", "10000"})
    {
        const double parse = reporter.perSong["BM_BareParse/" + std::string(n)];
        const double read = reporter.perSong["BM_ReadSonglist/" + std::string(n)];
        const double open = reporter.perSong["BM_OpenSonglist/" + std::string(n)];
        if (parse > 0.0 && read > 0.0 && open > 0.0)
            std::printf("%-10s %14.2f %10.2f %10.2f %10.2f %10.2f\n", n, parse, read, read / parse, open,
                        open / parse);
    }
    for (const char* n : {"1000", "10000"})
        if (const double write = reporter.perSong["BM_WriteSonglist/" + std::string(n)]; write > 0.0)
            std::printf("write %-16s %14s %14.2f\n", n, "", write);
    if (const double add = reporter.perSong["BM_ReadAudioFiles/1000"]; add > 0.0)
        std::printf("add files %-12s %14s %14.2f\n", "1000", "", add);
    return 0;
}
