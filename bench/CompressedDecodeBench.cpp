// Decoding speed of the compressed-file reader on 10-minute stereo MP3 and AAC
// files at 44100 Hz (pink noise, so the codecs spend their bits).
//
// The race against ffmpeg is run like with like: our decoder as a whole
// command (vextal_decode_pcm, built beside this benchmark) and the ffmpeg
// command, each decoding the same file on one thread to interleaved 32-bit
// PCM on standard output, sent to /dev/null:
//   vextal_decode_pcm <file> > /dev/null
//   ffmpeg -threads 1 -i <file> -f s32le - > /dev/null
// Both times include the process start, the open, the decode and the write.
// Each iteration runs both (in turn first); the reported time is ours, the
// counters give the command's time and ours as a fraction of it (below 1:
// faster). The files are made with ffmpeg at the first run and kept in the
// temporary folder.
//
// Also measured: the decode in this process (no output written), opening a
// file, opening it and reading near its end, and a seek to a random position
// followed by a read of 4096 frames.

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

// The file of the benchmark's case (made at the first run), with the case's
// label set; empty, and the case skipped, when ffmpeg could not make it.
std::string CaseFile(benchmark::State& state)
{
    const int index = static_cast<int>(state.range(0));
    state.SetLabel(index == 0 ? "MP3" : "AAC");
    if (MakeFile(index))
        return PathOf(index);
    state.SkipWithError("ffmpeg could not make the file");
    return {};
}

// The case's file as the reader's path; empty when the case is skipped.
std::wstring CasePath(benchmark::State& state)
{
    return Wide(CaseFile(state));
}

// The wall-clock seconds a shell command takes; negative when it fails.
double TimeCommand(const std::string& command)
{
    const double t0 = Now();
    if (std::system(command.c_str()) != 0)
        return -1.0;
    return Now() - t0;
}

void BM_DecodeCommands(benchmark::State& state)
{
    const std::string file = CaseFile(state);
    if (file.empty())
        return;
    const std::string ourCommand = std::string(VEXTAL_DECODE_PCM_COMMAND) + " " + file + " > /dev/null";
    const std::string theirCommand =
        "ffmpeg -nostdin -hide_banner -loglevel error -threads 1 -i " + file + " -f s32le - > /dev/null";
    double ours = 0.0;
    double theirs = 0.0;
    bool oursFirst = true;
    for (auto _ : state)
    {
        const double a = TimeCommand(oursFirst ? ourCommand : theirCommand);
        const double b = TimeCommand(oursFirst ? theirCommand : ourCommand);
        if (a < 0.0 || b < 0.0)
        {
            state.SkipWithError("a decode command failed");
            return;
        }
        const double ourTime = oursFirst ? a : b;
        state.SetIterationTime(ourTime);
        ours += ourTime;
        theirs += oursFirst ? b : a;
        oursFirst = !oursFirst;
    }
    state.counters["x_realtime"] = benchmark::Counter(kSeconds * state.iterations() / ours);
    state.counters["ffmpeg_s"] = benchmark::Counter(theirs / state.iterations());
    state.counters["ours_vs_ffmpeg"] = benchmark::Counter(ours / theirs);
}
BENCHMARK(BM_DecodeCommands)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

// The decode in this process through the reader, open included.
void BM_DecodeInProcess(benchmark::State& state)
{
    const std::wstring path = CasePath(state);
    if (path.empty())
        return;
    std::vector<int32_t> left(kBlock), right(kBlock);
    int32_t* bufs[2] = {left.data(), right.data()};
    int64_t frames = 0;
    double seconds = 0.0;
    for (auto _ : state)
    {
        const double t0 = Now();
        CQuickTimeFileRead reader;
        if (reader.OpenFile(path.c_str()) != 0)
        {
            state.SkipWithError("the reader could not open the file");
            return;
        }
        frames = 0;
        uint32_t got;
        while ((got = reader.ReadAudioData(bufs, kBlock, 0)) > 0)
            frames += got;
        benchmark::DoNotOptimize(left.data());
        seconds += Now() - t0;
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["x_realtime"] = benchmark::Counter(kSeconds * state.iterations() / seconds);
}
BENCHMARK(BM_DecodeInProcess)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Open(benchmark::State& state)
{
    const std::wstring path = CasePath(state);
    if (path.empty())
        return;
    for (auto _ : state)
    {
        CQuickTimeFileRead reader;
        benchmark::DoNotOptimize(reader.OpenFile(path.c_str()));
    }
}
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// An open followed by a seek near the end and a read: for MP3 the seek indexes
// every frame header of the file first.
void BM_OpenAndSeekToEnd(benchmark::State& state)
{
    const std::wstring path = CasePath(state);
    if (path.empty())
        return;
    std::vector<int32_t> left(kBlock), right(kBlock);
    int32_t* bufs[2] = {left.data(), right.data()};
    for (auto _ : state)
    {
        CQuickTimeFileRead reader;
        reader.OpenFile(path.c_str());
        reader.SetCurSamplePosition(reader.GetNumSamples() - kBlock);
        benchmark::DoNotOptimize(reader.ReadAudioData(bufs, kBlock, 0));
    }
}
BENCHMARK(BM_OpenAndSeekToEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SeekAndRead(benchmark::State& state)
{
    const std::wstring path = CasePath(state);
    if (path.empty())
        return;
    CQuickTimeFileRead reader;
    if (reader.OpenFile(path.c_str()) != 0)
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
}
BENCHMARK(BM_SeekAndRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
