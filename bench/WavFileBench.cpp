// Throughput of the WAV reader and writer on a 10-minute stereo 24-bit file at
// 44100 Hz, against memcpy of the same number of bytes in the same run. The
// writer's runs include its close, which flushes the file to disk and renames
// it over the target; the reader's runs read a file the system has cached.
// After the run a table gives each case's throughput as a fraction of
// memcpy's.

#include "bench/BenchSupport.h"
#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
constexpr uint32_t kRate = 44100;
constexpr uint16_t kChannels = 2;
constexpr uint16_t kBits = 24;
constexpr uint32_t kFrames = kRate * 600;
constexpr uint32_t kBlock = 16384;
constexpr int64_t kBytes = int64_t{kFrames} * kChannels * (kBits / 8);

struct Fixture
{
    Fixture()
    {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        for (int c = 0; c < kChannels; ++c)
        {
            ints[c].resize(kBlock);
            floats[c].resize(kBlock);
            for (uint32_t i = 0; i < kBlock; ++i)
            {
                ints[c][i] = static_cast<int32_t>(rng() & 0xFFFFFF00u);
                floats[c][i] = dist(rng);
            }
            intPtrs[c] = ints[c].data();
            floatPtrs[c] = floats[c].data();
        }
    }
    std::wstring Path(const char* name) const
    {
        const std::string p = (folder / name).string();
        return std::wstring(p.begin(), p.end());
    }

    vxtest::TempFolder scratch{"wavbench"};
    std::filesystem::path folder = scratch.Path();
    std::vector<int32_t> ints[kChannels];
    std::vector<float> floats[kChannels];
    int32_t* intPtrs[kChannels];
    float* floatPtrs[kChannels];
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

bool WriteFile(const std::wstring& path, bool useFloat)
{
    Fixture& f = Shared();
    CWavFileWrite w;
    if (w.OpenFile(path.c_str(), kRate, kBits, kChannels, 0) != 0)
        return false;
    for (uint32_t done = 0; done < kFrames; done += kBlock)
    {
        const uint32_t n = std::min(kBlock, kFrames - done);
        const uint32_t written = useFloat ? w.WriteAudioData(f.floatPtrs, n) : w.WriteAudioData(f.intPtrs, n);
        if (written != n)
            return false;
    }
    return w.CloseFile();
}

void Write(benchmark::State& state, bool useFloat)
{
    const std::wstring path = Shared().Path("write.wav");
    for (auto _ : state)
    {
        if (!WriteFile(path, useFloat))
        {
            state.SkipWithError("the file could not be written");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
}

void Read(benchmark::State& state, bool useFloat)
{
    Fixture& f = Shared();
    const std::wstring path = f.Path("read.wav");
    if (!WriteFile(path, false))
    {
        state.SkipWithError("the file could not be written");
        return;
    }
    for (auto _ : state)
    {
        CWavFileRead r;
        if (r.OpenFile(path.c_str()) != 0 || r.GetNumSamples() != kFrames)
        {
            state.SkipWithError("the file could not be read");
            break;
        }
        uint32_t got;
        do
        {
            got = useFloat ? r.ReadAudioData(f.floatPtrs, kBlock, 0) : r.ReadAudioData(f.intPtrs, kBlock, 0);
            benchmark::DoNotOptimize(f.ints[0].data());
            benchmark::DoNotOptimize(f.floats[0].data());
            benchmark::ClobberMemory();
        } while (got == kBlock);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
}

void Memcpy(benchmark::State& state)
{
    std::vector<unsigned char> from(static_cast<size_t>(kBytes), 1);
    std::vector<unsigned char> to(static_cast<size_t>(kBytes), 2);
    for (auto _ : state)
    {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
}

const char* const kCases[] = {"wav/read/int", "wav/read/float", "wav/write/int", "wav/write/float"};

void RegisterAll()
{
    const auto setup = [](benchmark::internal::Benchmark* b)
    { b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3); };
    setup(benchmark::RegisterBenchmark("memcpy", Memcpy));
    setup(benchmark::RegisterBenchmark(kCases[0], Read, false));
    setup(benchmark::RegisterBenchmark(kCases[1], Read, true));
    setup(benchmark::RegisterBenchmark(kCases[2], Write, false));
    setup(benchmark::RegisterBenchmark(kCases[3], Write, true));
}

} // namespace

int main(int argc, char** argv)
{
    RegisterAll();
    benchsupport::CollectingReporter reporter;
    if (!benchsupport::RunBenchmarks(&argc, argv, reporter))
        return 1;

    std::vector<benchsupport::RatioRow> rows;
    for (const char* name : kCases)
        rows.push_back({name, "memcpy"});
    std::printf("\n%u stereo 24-bit frames (%.1f MB) per run\n", kFrames, kBytes / 1e6);
    benchsupport::PrintRatioTable(reporter, rows, 16, 3);
    return 0;
}
