// Encoding 10 minutes of stereo 16-bit audio at 44100 Hz to AAC at 128 kbit/s:
// through our WAV reader and AAC writer, and with the ffmpeg command
// ("ffmpeg -i in.wav -c:a aac -b:a 128k out.m4a") on the same WAV file in the
// same run. The WAV file (pink noise, a different stream per channel) is made
// with the ffmpeg command when the program starts. Both sides read the same
// file from the system's cache, encode and write an .m4a file; our runs
// include the close, which flushes the file to disk and renames it. After
// the run a table gives each side's median time, its speed as a multiple of
// real time, and ours as a fraction of ffmpeg's speed.

#include "bench/BenchSupport.h"
#include "bench/TimingSupport.h"
#include "common/file/CCoreAudioFileWriteAac.h"
#include "common/file/CWavFileRead.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
constexpr uint32_t kRate = 44100;
constexpr uint16_t kChannels = 2;
constexpr uint32_t kSeconds = 600;
constexpr uint32_t kFrames = kRate * kSeconds;
constexpr uint32_t kBlock = 16384;
constexpr int kBitRate = 128000;

struct Fixture
{
    Fixture()
    {
        if (folder.empty())
            return;
        input = folder / "in.wav";
        const std::string make = "ffmpeg -v error -nostdin -y"
                                 " -f lavfi -i anoisesrc=d=" +
                                 std::to_string(kSeconds) + ":c=pink:r=" + std::to_string(kRate) +
                                 ":a=0.3:s=1"
                                 " -f lavfi -i anoisesrc=d=" +
                                 std::to_string(kSeconds) + ":c=pink:r=" + std::to_string(kRate) +
                                 ":a=0.3:s=2"
                                 " -filter_complex amerge=inputs=2 -c:a pcm_s16le '" +
                                 input.string() + "'";
        ready = std::system(make.c_str()) == 0;
    }
    static std::wstring Wide(const std::filesystem::path& p)
    {
        const std::string s = p.string();
        return std::wstring(s.begin(), s.end());
    }

    vxtest::TempFolder scratch{"aacbench"};
    std::filesystem::path folder = scratch.Path();
    std::filesystem::path input;
    bool ready = false;
    std::vector<double> oursSeconds;
    std::vector<double> ffmpegSeconds;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

bool EncodeWithOurs(const std::filesystem::path& in, const std::filesystem::path& out)
{
    CWavFileRead reader;
    if (reader.OpenFile(Fixture::Wide(in).c_str()) != 0 || reader.GetNumSamples() != kFrames)
        return false;
    CCoreAudioFileWriteAac writer;
    if (writer.OpenFile(Fixture::Wide(out).c_str(), kRate, 16, kChannels, kBitRate) != 0)
        return false;
    std::vector<float> left(kBlock), right(kBlock);
    float* bufs[kChannels] = {left.data(), right.data()};
    uint32_t got;
    do
    {
        got = reader.ReadAudioData(bufs, kBlock, 0);
        if (got > 0 && writer.WriteAudioData(bufs, got) != got)
            return false;
    } while (got == kBlock);
    return writer.CloseFile() && !reader.AudioDataReadErrorOccured();
}

void Ours(benchmark::State& state)
{
    Fixture& f = Shared();
    if (!f.ready)
    {
        state.SkipWithError("the input could not be made with the ffmpeg command");
        return;
    }
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        if (!EncodeWithOurs(f.input, f.folder / "ours.m4a"))
        {
            state.SkipWithError("our encode failed");
            break;
        }
        f.oursSeconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void Ffmpeg(benchmark::State& state)
{
    Fixture& f = Shared();
    if (!f.ready)
    {
        state.SkipWithError("the input could not be made with the ffmpeg command");
        return;
    }
    const std::string command = "ffmpeg -v error -nostdin -y -i '" + f.input.string() + "' -c:a aac -b:a " +
                                std::to_string(kBitRate / 1000) + "k '" + (f.folder / "ffmpeg.m4a").string() +
                                "'";
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        const int result = std::system(command.c_str());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != 0)
        {
            state.SkipWithError("the ffmpeg command failed");
            break;
        }
        state.SetIterationTime(seconds);
        f.ffmpegSeconds.push_back(seconds);
    }
}

using benchsupport::Median;
} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("aac/ours", Ours)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("aac/ffmpeg-command", Ffmpeg)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    if (!benchsupport::RunBenchmarks(&argc, argv))
        return 1;

    Fixture& f = Shared();
    const double ours = Median(f.oursSeconds);
    const double ffmpeg = Median(f.ffmpegSeconds);
    std::printf("\n%u s of stereo audio at %u Hz to AAC at %d bit/s (median of each side's runs)\n", kSeconds,
                kRate, kBitRate);
    std::printf("%-16s %10s %12s\n", "case", "seconds", "x real time");
    if (ours > 0.0)
        std::printf("%-16s %10.2f %12.1f\n", "ours", ours, kSeconds / ours);
    if (ffmpeg > 0.0)
        std::printf("%-16s %10.2f %12.1f\n", "ffmpeg command", ffmpeg, kSeconds / ffmpeg);
    if (ours > 0.0 && ffmpeg > 0.0)
        std::printf("speed of ours / ffmpeg command: %.3f\n", ffmpeg / ours);
    return 0;
}
