#pragma once

// What the benchmarks that time single calls share: the wall-clock time of
// one call, and the median and a percentile of many; and for the benchmarks
// that race whole runs against each other, the turns they take.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include <time.h>

namespace benchsupport
{
// The seconds f takes.
template <typename F>
double TimeCall(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    const auto end = std::chrono::steady_clock::now();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(end - start).count();
}

// The value below which percent of the times lie (0 for no times); 50 is
// the median.
inline double Percentile(std::vector<double> times, int percent)
{
    if (times.empty())
        return 0.0;
    std::sort(times.begin(), times.end());
    const size_t index = std::min(times.size() - 1, times.size() * static_cast<size_t>(percent) / 100);
    return times[index];
}

inline double Median(const std::vector<double>& times)
{
    return Percentile(times, 50);
}

// The CPU time of the whole process (every thread of it) so far, in seconds.
inline double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Races the cases against each other in turns: one untimed run of each first
// (so that all find their input in the page cache), then in every iteration
// each case once, in an order that moves on by one each iteration, so that
// the load of the machine falls on all alike. prepare() runs before every
// run, outside the time taken; record(c, wall, cpu) is told the wall-clock
// and the process's CPU seconds of every timed run of case c. The
// iteration's time is that of case `reported`. Stops with an error when
// `ready` is false or a run fails.
template <typename Prepare, typename Record>
void RunInTurns(benchmark::State& state, bool ready, const std::vector<std::function<bool()>>& cases,
                size_t reported, Prepare prepare, Record record)
{
    for (const auto& run : cases)
    {
        prepare();
        if (!ready || !run())
        {
            state.SkipWithError("the input could not be made or a run failed");
            return;
        }
    }
    size_t first = 0;
    for (auto _ : state)
    {
        double reportedTime = 0.0;
        for (size_t k = 0; k < cases.size(); ++k)
        {
            const size_t c = (first + k) % cases.size();
            prepare();
            const double cpuStart = ProcessCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            if (!cases[c]())
            {
                state.SkipWithError("a run failed");
                return;
            }
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            record(c, wall, ProcessCpuSeconds() - cpuStart);
            if (c == reported)
                reportedTime = wall;
        }
        state.SetIterationTime(reportedTime);
        first = (first + 1) % cases.size();
    }
}

// Registers a race (see RunInTurns) of `runs` iterations under name, its
// time taken by hand and shown in milliseconds.
template <typename Race>
benchmark::internal::Benchmark* RegisterRace(const char* name, int runs, Race race)
{
    return benchmark::RegisterBenchmark(name, race)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(runs);
}
} // namespace benchsupport
