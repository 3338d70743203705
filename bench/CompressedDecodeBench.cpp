// Decoding speed of the compressed-file reader on 10-minute stereo MP3 and AAC
// files at 44100 Hz (pink noise, so the codecs spend their bits), against the
// ffmpeg command decoding the same file to raw 32-bit PCM on one thread in the
// same run:
//   ffmpeg -threads 1 -i <file> -f s32le - > /dev/null
// Each iteration of the decode cases times our whole decode (open included)
// and then the command; the reported time is ours, the counters give the
// command's time and ours as a fraction of it (below 1: faster). The command
// includes its process start. The files are made with ffmpeg at the first
// run and kept in the temporary folder.
//
// Also measured: opening a file, opening it and reading near its end, and a
// seek to a random position followed by a read of 4096 frames.

#include "common/file/CQuickTimeFileRead.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kBlock = 4096;
constexpr double kSeconds = 600.0;

const char* const kFiles[] = {"vextal_bench_10min.mp3", "vextal_bench_10min.m4a"};
const char* const kCodecs[] = {"-c:a libmp3lame -b:a 192k", "-c:a aac -b:a 192k"};

std::string PathOf(int index)
{
    return (std::filesystem::temp_directory_path() / kFiles[index]).string();
}

bool MakeFile(int index)
{
    const std::string path = PathOf(index);
    if (std::filesystem::exists(path))
        return true;
    const std::string tmp = path + ".part" + (index == 0 ? ".mp3" : ".m4a");
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -filter_complex "
                            "'anoisesrc=d=600:c=pink:r=44100:a=0.3:seed=1[a];"
                            "anoisesrc=d=600:c=pink:r=44100:a=0.3:seed=2[b];"
                            "[a][b]join=inputs=2:channel_layout=stereo' " +
                            std::string(kCodecs[index]) + " " + tmp + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return false;
    std::filesystem::rename(tmp, path);
    return true;
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

void BM_Decode(benchmark::State& state)
{
    const int index = static_cast<int>(state.range(0));
    if (!MakeFile(index))
    {
        state.SkipWithError("ffmpeg could not make the file");
        return;
    }
    const std::string path = PathOf(index);
    const std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -threads 1 -i " + path + " -f s32le - > /dev/null";
    std::vector<int32_t> left(kBlock), right(kBlock);
    int32_t* bufs[2] = {left.data(), right.data()};
    double ours = 0.0;
    double theirs = 0.0;
    int64_t frames = 0;
    for (auto _ : state)
    {
        const double t0 = Now();
        CQuickTimeFileRead reader;
        if (reader.OpenFile(Wide(path).c_str()) != 0)
        {
            state.SkipWithError("the reader could not open the file");
            return;
        }
        frames = 0;
        uint32_t got;
        while ((got = reader.ReadAudioData(bufs, kBlock, 0)) > 0)
            frames += got;
        benchmark::DoNotOptimize(left.data());
        const double t1 = Now();
        if (std::system(command.c_str()) != 0)
        {
            state.SkipWithError("the ffmpeg command failed");
            return;
        }
        const double t2 = Now();
        state.SetIterationTime(t1 - t0);
        ours += t1 - t0;
        theirs += t2 - t1;
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["x_realtime"] = benchmark::Counter(kSeconds * state.iterations() / ours);
    state.counters["ffmpeg_s"] = benchmark::Counter(theirs / state.iterations());
    state.counters["ours_vs_ffmpeg"] = benchmark::Counter(ours / theirs);
    state.SetLabel(index == 0 ? "MP3" : "AAC");
}
BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Open(benchmark::State& state)
{
    const int index = static_cast<int>(state.range(0));
    if (!MakeFile(index))
    {
        state.SkipWithError("ffmpeg could not make the file");
        return;
    }
    const std::wstring path = Wide(PathOf(index));
    for (auto _ : state)
    {
        CQuickTimeFileRead reader;
        benchmark::DoNotOptimize(reader.OpenFile(path.c_str()));
    }
    state.SetLabel(index == 0 ? "MP3" : "AAC");
}
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// An open followed by a seek near the end and a read: for MP3 the seek indexes
// every frame header of the file first.
void BM_OpenAndSeekToEnd(benchmark::State& state)
{
    const int index = static_cast<int>(state.range(0));
    if (!MakeFile(index))
    {
        state.SkipWithError("ffmpeg could not make the file");
        return;
    }
    const std::wstring path = Wide(PathOf(index));
    std::vector<int32_t> left(kBlock), right(kBlock);
    int32_t* bufs[2] = {left.data(), right.data()};
    for (auto _ : state)
    {
        CQuickTimeFileRead reader;
        reader.OpenFile(path.c_str());
        reader.SetCurSamplePosition(reader.GetNumSamples() - kBlock);
        benchmark::DoNotOptimize(reader.ReadAudioData(bufs, kBlock, 0));
    }
    state.SetLabel(index == 0 ? "MP3" : "AAC");
}
BENCHMARK(BM_OpenAndSeekToEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SeekAndRead(benchmark::State& state)
{
    const int index = static_cast<int>(state.range(0));
    if (!MakeFile(index))
    {
        state.SkipWithError("ffmpeg could not make the file");
        return;
    }
    CQuickTimeFileRead reader;
    if (reader.OpenFile(Wide(PathOf(index)).c_str()) != 0)
    {
        state.SkipWithError("the reader could not open the file");
        return;
    }
    std::vector<int32_t> left(kBlock), right(kBlock);
    int32_t* bufs[2] = {left.data(), right.data()};
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int64_t> where(0, reader.GetNumSamples() - kBlock);
    // The first seek indexes the MP3 frames up to its target; start with one
    // to the end so that the loop measures seeks on an indexed file.
    reader.SetCurSamplePosition(reader.GetNumSamples() - 1);
    for (auto _ : state)
    {
        reader.SetCurSamplePosition(where(rng));
        benchmark::DoNotOptimize(reader.ReadAudioData(bufs, kBlock, 0));
    }
    state.SetLabel(index == 0 ? "MP3" : "AAC");
}
BENCHMARK(BM_SeekAndRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
