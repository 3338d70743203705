// Staging a full audio CD (74 minutes in 18 songs) into its AIFF track files,
// the way the burner receives the converter's audio (blocks of 4096 frames
// of 32-bit samples), against `cp` of a file of the same number of bytes in
// the same run and the same folder (TMPDIR). Each staging run includes
// closing the track files, which flushes every file to disk and renames it
// into place; `cp` doesn't flush, so the same copy followed by `sync` of the
// copy is measured too. After the run a table gives the throughputs and the
// ratios (goal: staging within 2x of cp, a ratio of at least 0.5). Where the
// disk's flush sets the pace, only the ratio to the flushed copy compares
// like with like; in a folder on tmpfs (TMPDIR=/dev/shm) both compare the
// work of the program alone.

#include "bench/BenchSupport.h"
#include "common/disc/CAudioCDTempFileCreator.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
constexpr int64_t kTotalFrames = int64_t{74} * 60 * 44100;
constexpr int kSongs = 18;
constexpr int64_t kSongFrames = kTotalFrames / kSongs;
constexpr uint32_t kBlock = 4096;

struct Fixture
{
    Fixture()
    {
        std::filesystem::create_directory(folder / "staged");
        std::mt19937 rng(1);
        for (auto& channel : samples)
        {
            channel.resize(kBlock);
            for (int32_t& s : channel)
                s = static_cast<int32_t>(rng() & 0xFFFF0000u);
        }
        ptrs[0] = samples[0].data();
        ptrs[1] = samples[1].data();
    }
    std::wstring StagingFolder() const
    {
        const std::string p = (folder / "staged").string();
        return std::wstring(p.begin(), p.end());
    }

    // A file of the given size to copy, made once.
    const std::filesystem::path& CopySource(int64_t bytes)
    {
        if (!std::filesystem::exists(folder / "source.bin"))
        {
            std::ofstream out(folder / "source.bin", std::ios::binary);
            std::vector<char> chunk(1 << 20, 'x');
            for (int64_t left = bytes; left > 0; left -= static_cast<int64_t>(chunk.size()))
                out.write(chunk.data(), static_cast<std::streamsize>(std::min<int64_t>(left, chunk.size())));
        }
        source = folder / "source.bin";
        return source;
    }

    vxtest::TempFolder scratch{"discbench"};
    std::filesystem::path folder = scratch.Path();
    std::filesystem::path source;
    std::vector<int32_t> samples[2];
    int32_t* ptrs[2];
    int64_t stagedBytes = 0;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

// Stages the whole disc; answers the bytes of the track files, which stay
// until the stager removes them.
int64_t StageDisc(Fixture& f, CAudioCDTempFileCreator& stager)
{
    if (!stager.OpenDisc(f.StagingFolder().c_str()) || !stager.OpenAlbum(L"Album", L"Band"))
        return -1;
    for (int song = 0; song < kSongs; ++song)
    {
        if (!stager.OpenNewTrack(150, 0))
            return -1;
        for (int64_t done = 0; done < kSongFrames; done += kBlock)
        {
            const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(kBlock, kSongFrames - done));
            if (stager.WriteAudioData(f.ptrs, n) != n)
                return -1;
        }
    }
    if (!stager.CloseTrack(false))
        return -1;
    int64_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(f.folder / "staged"))
        bytes += static_cast<int64_t>(entry.file_size());
    return bytes;
}

void BM_StageTrackFiles(benchmark::State& state)
{
    Fixture& f = Shared();
    CAudioCDTempFileCreator stager;
    for (auto _ : state)
    {
        const int64_t bytes = StageDisc(f, stager);
        state.PauseTiming();
        stager.Remove();
        if (bytes <= 0)
        {
            state.SkipWithError("staging failed");
            break;
        }
        f.stagedBytes = bytes;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * f.stagedBytes);
}

// Copies a file of the staged bytes with cp, and with flush when asked
// (`sync` on the copy: the flush the staged files get).
void CopySameBytes(benchmark::State& state, bool flush)
{
    Fixture& f = Shared();
    const int64_t bytes = f.stagedBytes > 0 ? f.stagedBytes : kTotalFrames * 4;
    const std::filesystem::path& source = f.CopySource(bytes);
    const std::filesystem::path target = f.folder / "copy.bin";
    std::string command = "cp '" + source.string() + "' '" + target.string() + "'";
    if (flush)
        command += " && sync '" + target.string() + "'";
    for (auto _ : state)
    {
        if (std::system(command.c_str()) != 0)
        {
            state.SkipWithError("cp failed");
            break;
        }
        state.PauseTiming();
        std::filesystem::remove(target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_CpSameBytes(benchmark::State& state)
{
    CopySameBytes(state, false);
}

void BM_CpAndSyncSameBytes(benchmark::State& state)
{
    CopySameBytes(state, true);
}

BENCHMARK(BM_StageTrackFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CpSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CpAndSyncSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
} // namespace

int main(int argc, char** argv)
{
    benchsupport::CollectingReporter reporter;
    if (!benchsupport::RunBenchmarks(&argc, argv, reporter))
        return 1;
    const double ours = reporter.Rate("BM_StageTrackFiles");
    std::printf("\n%-34s %10s %12s %7s\n", "staging 74 min of audio against", "MB/s", "baseline MB/s",
                "ratio");
    for (const char* baseline : {"BM_CpSameBytes", "BM_CpAndSyncSameBytes"})
    {
        const double base = reporter.Rate(baseline);
        if (ours > 0.0 && base > 0.0)
            std::printf("%-34s %10.0f %12.0f %7.2f\n", baseline, ours / 1e6, base / 1e6, ours / base);
    }
    return 0;
}
