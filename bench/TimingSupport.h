#pragma once

// What the benchmarks that time single calls share: the wall-clock time of
// one call, and the median and a percentile of many.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

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
} // namespace benchsupport
