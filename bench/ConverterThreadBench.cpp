// The converter thread's cost over a plain conversion.
//
// Ten one-minute songs (parts of one ten-minute file of stereo 16-bit audio
// at 44100 Hz that continue each other, so the thread chains them without a
// gap) are exported by the converter thread into ten 48000 Hz 24-bit WAV
// files with TPDF dither; beside it, in the same run and taking turns,
// ExportBench's single conversion of the same ten minutes (our WAV reader,
// export converter and WAV writer, the same settings, one file). The thread
// run includes everything it adds: the thread, the message-manager lock per
// song (the message thread waits in the framework's message loop, as in the
// application), opening ten songs through song streams, ten writers with
// their atomic file commits, and the host's exported-song notices.
//
// A third case tells the thread's own share apart from that of writing ten
// files instead of one (each file is flushed to the disk and renamed into
// place when it is complete): the ten songs chained by the export converter
// alone into ten WAV files.
//
// Wall-clock and CPU times (of the whole process) are printed for each case,
// with the overheads. Goal: the thread's time under 1.05 x the single
// conversion's.

#include "src/songlist/CVXConverterThread.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"
#include "tests/support/TempFolder.h"

#include "bench/BenchSupport.h"
#include "bench/ExportSupport.h"
#include "bench/TimingSupport.h"
#include "common/dsp/CAudioFileConverterPcmOutput.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace juce
{
// The framework's own wait of its message loop on Linux (what runDispatchLoop
// calls): dispatches the next message, sleeping until one comes.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
constexpr uint32_t kInRate = 44100;
constexpr uint32_t kOutRate = 48000;
constexpr int kSongs = 10;
constexpr int64_t kSongFrames = int64_t{kInRate} * 60;
constexpr int kRuns = 9;

// Ten minutes of a few tones with a little noise, as 16-bit samples.
bool WriteInput(const std::filesystem::path& path)
{
    CWavFileWrite w;
    if (w.OpenFile(benchexport::WidePath(path).c_str(), kInRate, 16, 2, 0) != 0)
        return false;
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0.0, 0.003);
    const double tones[] = {110.0, 440.0, 1760.0, 7040.0};
    std::vector<int32_t> left(kInRate), right(kInRate);
    int32_t* channels[2] = {left.data(), right.data()};
    int64_t n = 0;
    for (int second = 0; second < kSongs * 60; ++second)
    {
        for (uint32_t i = 0; i < kInRate; ++i, ++n)
        {
            double v = 0.0;
            for (double f : tones)
                v += 0.1 * std::sin(2.0 * M_PI * f * static_cast<double>(n) / kInRate);
            const auto quantize = [](double x)
            { return static_cast<int32_t>(std::lround(std::clamp(x, -1.0, 0.99997) * 32767.0)) << 16; };
            left[i] = quantize(v + noise(rng));
            right[i] = quantize(-0.8 * v + noise(rng));
        }
        if (w.WriteAudioData(channels, kInRate) != kInRate)
            return false;
    }
    return w.CloseFile();
}

// The ten songs chained by the export converter alone, each into a WAV file
// of its own that is closed once the converter has written its last frames:
// what the thread does without the thread, the host, the song streams and
// the song writers.
bool ConvertTenFiles(const std::filesystem::path& in, const std::filesystem::path& folder)
{
    CAudioFileConverterPcmOutput converter(2);
    converter.SetOutputProcessType(kOutputProcessTpdfDither);
    std::vector<std::unique_ptr<CWavFileRead>> readers;
    std::vector<std::unique_ptr<CWavFileWrite>> writers;
    bool ok = true;
    const auto closePaid = [&](bool all)
    {
        for (auto& w : writers)
        {
            if (w != nullptr && (all || !converter.OwesFramesTo(w.get())))
            {
                ok = w->CloseFile() && ok;
                w.reset();
            }
        }
    };
    for (int s = 0; s < kSongs && ok; ++s)
    {
        readers.push_back(std::make_unique<CWavFileRead>());
        writers.push_back(std::make_unique<CWavFileWrite>());
        const std::filesystem::path out = folder / ("song " + std::to_string(s + 1) + ".wav");
        if (readers.back()->OpenFile(benchexport::WidePath(in).c_str()) != 0 ||
            writers.back()->OpenFile(benchexport::WidePath(out).c_str(), kOutRate, 24, 2, 0) != 0)
            return false;
        readers.back()->ExtractData(s * kSongFrames, (s + 1) * kSongFrames);
        converter.SetAudioFiles(readers.back().get(), writers.back().get(), s + 1 < kSongs);
        ok = converter.Process() == kConvertDone;
        closePaid(false);
    }
    ok = converter.EjectAudioFiles() == kConvertDone && ok;
    closePaid(true);
    return ok;
}

struct Fixture
{
    Fixture()
    {
        if (!scratch.IsValid() || !WriteInput(input))
            return;
        host = std::make_unique<CVXHost>(CVXHost::Services{});
        host->stopTimer();
        for (int s = 0; s < kSongs; ++s)
        {
            auto song = std::make_unique<Vextal::TrackInfo>();
            song->getSong()->CreateNewSection()->CreateNewTrack()->CreateNewFile()->SetFile(
                benchexport::WidePath(input).c_str(), s * kSongFrames, (s + 1) * kSongFrames, 0);
            song->setText(Vextal::TrackInfo::kSongName, "song " + juce::String(s + 1), false);
            if (!song->reload(false))
                return;
            host->InsertTrack(s, std::move(song));
        }
        host->SetMode(1);
        ready = true;
    }

    void ClearOutput()
    {
        std::error_code ec;
        std::filesystem::remove_all(out, ec);
        std::filesystem::create_directory(out, ec);
    }

    // The converter thread exports the ten songs; the calling thread is the
    // message thread and dispatches while it waits.
    bool ConvertWithThread()
    {
        CVXConverterThread::ParameterSet params;
        params.songs.addRange({0, kSongs});
        params.outputSampleRate = kOutRate;
        params.outputFolder = juce::File(out.string());
        params.formatId = "wav";
        params.channelMode = 1;
        params.bitsPerSample = 24;
        params.ditherType = kOutputProcessTpdfDither;
        CVXConverterThread thread(params, host.get());
        if (!thread.startThread())
            return false;
        // The message loop as the application runs it, which wakes as soon
        // as the thread asks for the message-manager lock; a message after
        // the thread's end wakes it for the last time.
        std::thread waker(
            [&thread]
            {
                thread.waitForThreadToExit(-1);
                juce::MessageManager::callAsync([] {});
            });
        while (!thread.hasFinished() || thread.isThreadRunning())
            juce::dispatchNextMessageOnSystemQueue(false);
        waker.join();
        return thread.getErrorSongs().isEmpty();
    }

    const juce::ScopedJuceInitialiser_GUI gui;
    vxtest::TempFolder scratch{"convthreadbench"};
    const std::filesystem::path input = scratch / "in.wav";
    const std::filesystem::path out = scratch / "out";
    std::unique_ptr<CVXHost> host;
    bool ready = false;
    // Seconds of every timed run by case: wall clock and the process's CPU
    // time (every thread of it).
    std::vector<double> wall[3];
    std::vector<double> cpu[3];
};

enum Case
{
    kSingle,
    kTenFiles,
    kThread,
};
const char* const kCaseNames[] = {"single conversion, one file (ExportBench)",
                                  "export converter alone, ten files", "converter thread, ten files"};

// Every iteration runs the three cases in turns (see RunInTurns).
void RunRace(benchmark::State& state, Fixture& f)
{
    const std::vector<std::function<bool()>> cases = {
        [&f] { return benchexport::ExportWav(f.input, f.out / "single.wav", kOutRate); },
        [&f] { return ConvertTenFiles(f.input, f.out); },
        [&f] { return f.ConvertWithThread(); },
    };
    // The output of the run before is removed outside the time taken.
    benchsupport::RunInTurns(
        state, f.ready, cases, kThread, [&f] { f.ClearOutput(); },
        [&f](size_t c, double wall, double cpu)
        {
            f.wall[c].push_back(wall);
            f.cpu[c].push_back(cpu);
        });
}
} // namespace

int main(int argc, char** argv)
{
    Fixture fixture;
    benchsupport::RegisterRace("converter-thread/ten-songs-gapless", kRuns,
                               [&fixture](benchmark::State& s) { RunRace(s, fixture); });
    if (!benchsupport::RunBenchmarks(&argc, argv))
        return 1;

    double wall[3], cpu[3];
    for (int c = 0; c < 3; ++c)
    {
        wall[c] = benchsupport::Median(fixture.wall[c]);
        cpu[c] = benchsupport::Median(fixture.cpu[c]);
        if (wall[c] <= 0.0 || cpu[c] <= 0.0)
            return 0;
    }
    std::printf("\n%d x 60 s of stereo 16-bit audio at %u Hz to %u Hz 24-bit WAV with TPDF dither "
                "(medians of %zu runs, in turns)\n",
                kSongs, kInRate, kOutRate, fixture.wall[kThread].size());
    std::printf("%-44s %11s %11s %12s\n", "case", "wall s", "CPU s", "x real time");
    for (int c = 0; c < 3; ++c)
        std::printf("%-44s %11.3f %11.3f %12.1f\n", kCaseNames[c], wall[c], cpu[c], kSongs * 60 / wall[c]);
    const auto percent = [](double a, double b) { return (a / b - 1.0) * 100.0; };
    std::printf("%-44s %10s %10s\n", "overhead", "wall", "CPU");
    std::printf("%-44s %+9.1f%% %+9.1f%%   (goal: wall under +5 %%)\n",
                "converter thread over single conversion", percent(wall[kThread], wall[kSingle]),
                percent(cpu[kThread], cpu[kSingle]));
    std::printf("%-44s %+9.1f%% %+9.1f%%\n", "  ten durable files instead of one",
                percent(wall[kTenFiles], wall[kSingle]), percent(cpu[kTenFiles], cpu[kSingle]));
    std::printf("%-44s %+9.1f%% %+9.1f%%\n", "  the thread's own", percent(wall[kThread], wall[kTenFiles]),
                percent(cpu[kThread], cpu[kTenFiles]));
    return 0;
}
