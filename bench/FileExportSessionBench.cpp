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

#include "src/CVXHost.h"
#include "src/Output/ExportManager.h"
#include "src/Output/FileExportSession.h"
#include "src/TrackInfo.h"
#include "tests/support/TempFolder.h"

#include "bench/BenchSupport.h"
#include "bench/ExportSupport.h"
#include "bench/TimingSupport.h"
#include "common/file/CAudioFileReadBase.h"
#include "common/file/CWavFileWrite.h"
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

// One minute of a few tones with a little noise, as 16-bit samples.
bool WriteSong(const std::filesystem::path& path, int seed)
{
    CWavFileWrite w;
    if (w.OpenFile(benchexport::WidePath(path).c_str(), kInRate, 16, 2, 0) != 0)
        return false;
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
            std::unique_ptr<CAudioFileReadBase> reader(
                VextalFileUtil::CreateAudioFileReadObject(benchexport::WidePath(inputs.back()).c_str(), true));
            if (reader == nullptr)
                return;
            auto song = std::make_unique<Vextal::TrackInfo>(reader.get());
            song->setText(Vextal::TrackInfo::kSongName, "song " + juce::String(s + 1), false);
            host->InsertTrack(s, std::move(song));
        }
        ready = true;
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

    // The session through the export manager; this thread is the message
    // thread and runs the message loop until the session has ended.
    bool ExportWithSession(bool normalize)
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
        auto last = std::chrono::steady_clock::now();
        while (manager->isBusy())
        {
            juce::MessageManager::getInstance()->runDispatchLoopUntil(1);
            const auto now = std::chrono::steady_clock::now();
            longestStall = std::max(longestStall, std::chrono::duration<double>(now - last).count());
            last = now;
        }
        return std::distance(std::filesystem::directory_iterator(out), {}) == kSongs;
    }

    bool ExportWithConverter()
    {
        for (int s = 0; s < kSongs; ++s)
            if (!benchexport::ExportWav(inputs[static_cast<size_t>(s)], out / inputs[static_cast<size_t>(s)].filename(),
                                        kOutRate))
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
    std::vector<double> wall[kNumCases];
    double longestStall = 0.0;
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
    benchsupport::RunInTurns(state, f.ready, cases, kSession, [&f] { f.ClearOutput(); },
                             [&f](size_t c, double wall, double) { f.wall[c].push_back(wall); });
}
} // namespace

int main(int argc, char** argv)
{
    Fixture fixture;
    benchsupport::RegisterRace("file-export-session/ten-songs", kRuns,
                               [&fixture](benchmark::State& s) { RunRace(s, fixture); });
    if (!benchsupport::RunBenchmarks(&argc, argv))
        return 1;

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
