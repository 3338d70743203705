// The file export session's cost, with and without normalization, over the
// bare export converter and the sox command.
//
// Ten one-minute WAV files of stereo 16-bit audio at 44100 Hz are exported
// to 48000 Hz 24-bit WAV with TPDF dither four ways, in the same run and
// taking turns:
//   - the file export session, started by the export manager as the export
//     sheet does (checks, converter thread, progress, host in export mode);
//   - the same session with normalization (Each): every song is scanned
//     first;
//   - ExportBench's bare conversion (our WAV reader, export converter and
//     WAV writer) of each file in turn;
//   - the sox command on each file in turn:
//       sox --single-threaded in.wav -b 24 out.wav rate -h 48000 dither
// Wall-clock medians are printed with the ratios between the cases, and the
// longest the message thread was kept from its loop while a session ran.
//
// A second race exports songs of each readable kind in turn (four of the
// one-minute songs as WAV, as AIFF, and as MP3 and AAC made by the ffmpeg
// command) through the normalized session, whose scan and converter both
// open every song, and prints the message thread's longest stall for each
// kind: opening a compressed song scans it, which must never happen while
// the interface waits.

#include "src/songlist/CVXHost.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/Output/FileExportSession.h"
#include "src/songlist/TrackInfo.h"
#include "tests/support/TempFolder.h"

#include "bench/BenchSupport.h"
#include "bench/ExportSupport.h"
#include "bench/TimingSupport.h"
#include "common/file/CAudioFileReadBase.h"
#include "common/file/VextalFileUtil.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kInRate = 44100;
constexpr uint32_t kOutRate = 48000;
constexpr int kSongs = 10;
constexpr int kRuns = 5;
// The songs of each kind in the stall race, and its goal: one frame.
constexpr int kKindSongs = 4;
constexpr double kStallGoalMs = 16.0;

// One minute of a few tones with a little noise, as 16-bit samples, in a
// file of the writer format ("wav" or "aiff").
bool WriteSong(const std::filesystem::path& path, int seed, const char* format = "wav")
{
    std::unique_ptr<CAudioFileWriteBase> writer(VextalFileUtil::CreateAudioFileWriteObject(
        benchexport::WidePath(path).c_str(), format, kInRate, 16, 2, 0));
    if (writer == nullptr)
        return false;
    CAudioFileWriteBase& w = *writer;
    std::mt19937 rng(static_cast<uint32_t>(seed));
    std::normal_distribution<double> noise(0.0, 0.003);
    const double tones[] = {110.0, 440.0, 1760.0, 7040.0};
    std::vector<int32_t> left(kInRate), right(kInRate);
    int32_t* channels[2] = {left.data(), right.data()};
    int64_t n = 0;
    for (int second = 0; second < 60; ++second)
    {
        for (uint32_t i = 0; i < kInRate; ++i, ++n)
        {
            double v = 0.0;
            for (double f : tones)
                v += 0.1 * std::sin(2.0 * M_PI * f * static_cast<double>(n) / kInRate);
            const auto quantize = [](double x)
            { return static_cast<int32_t>(std::lround(std::clamp(x, -1.0, 0.99997) * 32767.0) * 65536); };
            left[i] = quantize(v + noise(rng));
            right[i] = quantize(-0.8 * v + noise(rng));
        }
        if (w.WriteAudioData(channels, kInRate) != kInRate)
            return false;
    }
    return w.CloseFile();
}

enum Case
{
    kSession,
    kSessionNormalized,
    kConverter,
    kSox,
    kNumCases
};
const char* const kCaseNames[] = {"file export session", "file export session, normalized",
                                  "bare export converter (ExportBench)", "sox -h command"};

// The kinds of song of the stall race.
enum Kind
{
    kWav,
    kAiff,
    kMp3,
    kAac,
    kNumKinds
};
const char* const kKindNames[] = {"WAV", "AIFF", "MP3", "AAC (M4A)"};

// Tells when the export manager relays a session's end to the message
// thread.
struct EndWatch : Vextal::ExportSessionListener
{
    void exportEnded(Vextal::ExportSession*, bool) override { ended = true; }
    bool ended = false;
};

bool RunQuietly(const std::string& cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

struct Fixture
{
    Fixture()
    {
        if (!scratch.IsValid() || std::system("command -v sox >/dev/null 2>&1") != 0)
            return;
        manager = Vextal::ExportManager::CreateInstance();
        CVXHost::Services services;
        services.exportManager = manager;
        host = std::make_unique<CVXHost>(services);
        host->stopTimer();
        for (int s = 0; s < kSongs; ++s)
        {
            inputs.push_back(scratch / ("in" + std::to_string(s + 1) + ".wav"));
            if (!WriteSong(inputs.back(), s + 1))
                return;
        }
        if (!UseSongs(inputs))
            return;
        ready = true;
        kindsReady = MakeKinds();
    }

    // The same songs as AIFF, MP3 and AAC beside the first WAV files.
    bool MakeKinds()
    {
        if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
            return false;
        for (int s = 0; s < kKindSongs; ++s)
        {
            const std::filesystem::path& wav = inputs[static_cast<size_t>(s)];
            const std::string stem = "kind" + std::to_string(s + 1);
            kinds[kWav].push_back(wav);
            kinds[kAiff].push_back(scratch / (stem + ".aif"));
            kinds[kMp3].push_back(scratch / (stem + ".mp3"));
            kinds[kAac].push_back(scratch / (stem + ".m4a"));
            const std::string ffmpeg = "ffmpeg -v error -nostdin -y -i '" + wav.string() + "' ";
            if (!WriteSong(kinds[kAiff].back(), s + 1, "aiff") ||
                !RunQuietly(ffmpeg + "-c:a libmp3lame -b:a 192k '" + kinds[kMp3].back().string() + "'") ||
                !RunQuietly(ffmpeg + "-c:a aac -b:a 192k '" + kinds[kAac].back().string() + "'"))
                return false;
        }
        return true;
    }

    // Makes the files the host's songs, named "song 1", "song 2" and so on.
    bool UseSongs(const std::vector<std::filesystem::path>& files)
    {
        while (host->GetNumSongs() > 0)
            host->RemoveTrack(host->GetNumSongs() - 1, false, false);
        for (size_t s = 0; s < files.size(); ++s)
        {
            std::unique_ptr<CAudioFileReadBase> reader(
                VextalFileUtil::CreateAudioFileReadObject(benchexport::WidePath(files[s]).c_str(), true));
            if (reader == nullptr)
                return false;
            auto song = std::make_unique<Vextal::TrackInfo>(reader.get());
            song->setText(Vextal::TrackInfo::kSongName, "song " + juce::String(static_cast<int>(s) + 1),
                          false);
            host->InsertTrack(static_cast<int>(s), std::move(song));
        }
        return true;
    }

    // The normalized session over the songs of a kind; the ten WAV songs
    // come back afterwards.
    bool ExportKind(Kind kind)
    {
        if (!UseSongs(kinds[kind]))
            return false;
        double stall = 0.0;
        double end = 0.0;
        const bool ok = ExportWithSession(true, kKindSongs, stall, &end);
        kindStall[kind] = std::max(kindStall[kind], stall);
        kindEnd[kind] = std::max(kindEnd[kind], end);
        return UseSongs(inputs) && ok;
    }

    ~Fixture()
    {
        host.reset();
        if (manager != nullptr)
            Vextal::ExportManager::DestroyInstance();
    }

    void ClearOutput()
    {
        std::error_code ec;
        std::filesystem::remove_all(out, ec);
        std::filesystem::create_directory(out, ec);
    }

    bool ExportWithSession(bool normalize) { return ExportWithSession(normalize, kSongs, longestStall); }

    // The session through the export manager; this thread is the message
    // thread and runs the message loop until the session has ended. stall
    // becomes the longest turn of the loop, if longer; with end given, the
    // turn that delivers the session's end (where the host leaves export
    // mode and loads its current song again) goes to end instead.
    bool ExportWithSession(bool normalize, int songs, double& stall, double* end = nullptr)
    {
        Vextal::CommonExportParameter common([] { return false; });
        common.setParameterValue(Vextal::CommonExportParameter::kNormalizeMode, normalize ? 1 : 0, false);
        common.setParameterValue(Vextal::CommonExportParameter::kDitherType, kOutputProcessTpdfDither, false);
        Vextal::FileExportParameter file;
        file.setParameterText(Vextal::FileExportParameter::kOutputPath, juce::String(out.string()), false);
        file.setParameterValue(Vextal::FileExportParameter::kSampleRate, static_cast<int>(kOutRate), false);
        file.setParameterValue(Vextal::FileExportParameter::kBitDepth, 24, false);
        std::unique_ptr<Vextal::ExportSession> session =
            std::make_unique<Vextal::FileExportSession>(common, file, host.get());
        if (!manager->start(session))
            return false;
        // Each turn of the loop runs what is waiting for the message thread;
        // the longest turn is the longest the interface would freeze.
        EndWatch watch;
        manager->AddListener(&watch);
        auto last = std::chrono::steady_clock::now();
        while (manager->isBusy())
        {
            const bool endedBefore = watch.ended;
            juce::MessageManager::getInstance()->runDispatchLoopUntil(1);
            const auto now = std::chrono::steady_clock::now();
            const double turn = std::chrono::duration<double>(now - last).count();
            double& longest = end != nullptr && watch.ended && !endedBefore ? *end : stall;
            longest = std::max(longest, turn);
            last = now;
        }
        manager->RemoveListener(&watch);
        return std::distance(std::filesystem::directory_iterator(out), {}) == songs;
    }

    bool ExportWithConverter()
    {
        for (int s = 0; s < kSongs; ++s)
            if (!benchexport::ExportWav(inputs[static_cast<size_t>(s)],
                                        out / inputs[static_cast<size_t>(s)].filename(), kOutRate))
                return false;
        return true;
    }

    bool ExportWithSox()
    {
        std::string cmd;
        for (const auto& in : inputs)
            cmd += "sox --single-threaded '" + in.string() + "' -b 24 '" + (out / in.filename()).string() +
                   "' rate -h " + std::to_string(kOutRate) + " dither && ";
        return std::system((cmd + "true").c_str()) == 0;
    }

    const juce::ScopedJuceInitialiser_GUI gui;
    vxtest::TempFolder scratch{"fileexportbench"};
    const std::filesystem::path out = scratch / "out";
    std::vector<std::filesystem::path> inputs;
    Vextal::ExportManager* manager = nullptr;
    std::unique_ptr<CVXHost> host;
    bool ready = false;
    bool kindsReady = false;
    std::vector<double> wall[kNumCases];
    double longestStall = 0.0;
    std::vector<std::filesystem::path> kinds[kNumKinds];
    // The longest stall of every kind's sessions; -1 before the first.
    double kindStall[kNumKinds] = {-1.0, -1.0, -1.0, -1.0};
    // The longest turn that delivered a session's end, per kind.
    double kindEnd[kNumKinds] = {};
};

// Every iteration runs the four cases in turns (see RunInTurns).
void RunRace(benchmark::State& state, Fixture& f)
{
    const std::vector<std::function<bool()>> cases = {
        [&f] { return f.ExportWithSession(false); },
        [&f] { return f.ExportWithSession(true); },
        [&f] { return f.ExportWithConverter(); },
        [&f] { return f.ExportWithSox(); },
    };
    benchsupport::RunInTurns(
        state, f.ready, cases, kSession, [&f] { f.ClearOutput(); },
        [&f](size_t c, double wall, double) { f.wall[c].push_back(wall); });
}

// Every iteration exports the songs of each kind in turns.
void RunKindRace(benchmark::State& state, Fixture& f)
{
    std::vector<std::function<bool()>> cases;
    for (int k = 0; k < kNumKinds; ++k)
        cases.push_back([&f, k] { return f.ExportKind(static_cast<Kind>(k)); });
    benchsupport::RunInTurns(
        state, f.ready && f.kindsReady, cases, kMp3, [&f] { f.ClearOutput(); },
        [](size_t, double, double) {});
}

void PrintKindStalls(const Fixture& f)
{
    if (f.kindStall[kWav] < 0.0)
        return;
    std::printf("\nLongest message-thread stall while a normalized session exports %d one-minute songs "
                "(goal: at most %.0f ms, one frame)\n",
                kKindSongs, kStallGoalMs);
    std::printf("%-40s %10s %8s %16s\n", "songs", "stall ms", "goal", "at the end ms");
    for (int k = 0; k < kNumKinds; ++k)
    {
        const double ms = f.kindStall[k] * 1000.0;
        std::printf("%-40s %10.1f %8s %16.1f\n", kKindNames[k], ms, ms <= kStallGoalMs ? "met" : "MISSED",
                    f.kindEnd[k] * 1000.0);
    }
    std::printf("(at the end: the turn that delivers the session's end, in which the host leaves export mode "
                "and loads its current song on the message thread)\n");
}
} // namespace

int main(int argc, char** argv)
{
    Fixture fixture;
    benchsupport::RegisterRace("file-export-session/ten-songs", kRuns,
                               [&fixture](benchmark::State& s) { RunRace(s, fixture); });
    benchsupport::RegisterRace("file-export-session/stall-by-kind", kRuns,
                               [&fixture](benchmark::State& s) { RunKindRace(s, fixture); });
    if (!benchsupport::RunBenchmarks(&argc, argv))
        return 1;
    PrintKindStalls(fixture);

    double wall[kNumCases];
    for (int c = 0; c < kNumCases; ++c)
    {
        wall[c] = benchsupport::Median(fixture.wall[c]);
        if (wall[c] <= 0.0)
            return 0;
    }
    std::printf("\n%d x 60 s of stereo 16-bit audio at %u Hz to %u Hz 24-bit WAV with TPDF dither "
                "(medians of %zu runs, in turns)\n",
                kSongs, kInRate, kOutRate, fixture.wall[kSession].size());
    std::printf("%-40s %10s %14s\n", "case", "wall s", "x real time");
    for (int c = 0; c < kNumCases; ++c)
        std::printf("%-40s %10.3f %14.1f\n", kCaseNames[c], wall[c], kSongs * 60 / wall[c]);
    std::printf("%-40s %10.2f\n", "session / bare converter", wall[kSession] / wall[kConverter]);
    std::printf("%-40s %10.2f\n", "normalized session / session", wall[kSessionNormalized] / wall[kSession]);
    std::printf("%-40s %10.2f\n", "sox command / session", wall[kSox] / wall[kSession]);
    std::printf("%-40s %10.1f ms (goal: under 50)\n", "longest message-thread stall in a session",
                fixture.longestStall * 1000.0);
    return 0;
}
