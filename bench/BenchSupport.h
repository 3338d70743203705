#pragma once

// What the throughput benchmarks share: a reporter that keeps each
// benchmark's bytes per second, and a table of each case's throughput as a
// fraction of a baseline's (memcpy of the same bytes). Also the run of the
// registered benchmarks that every benchmark with a main of its own makes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace benchsupport
{
// Prints as usual and keeps each benchmark's bytes per second.
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    CollectingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Color : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            if (run.error_occurred)
                continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end())
                continue;
            const std::string name = run.run_name.str();
            // With repetitions the median stands for the benchmark.
            if (run.run_type == Run::RT_Iteration && !m_fromMedian[name])
                m_rate[name] = it->second.value;
            else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
            {
                m_rate[name] = it->second.value;
                m_fromMedian[name] = true;
            }
        }
    }

    // The bytes per second of the benchmark registered as name (its run name
    // may carry options behind a '/'); 0 when it did not run.
    double Rate(const std::string& name) const
    {
        if (const auto it = m_rate.find(name); it != m_rate.end())
            return it->second;
        for (const auto& [key, value] : m_rate)
            if (key.size() > name.size() && key.compare(0, name.size(), name) == 0 && key[name.size()] == '/')
                return value;
        return 0.0;
    }

private:
    std::map<std::string, double> m_rate;
    std::map<std::string, bool> m_fromMedian;
};

// One row of the ratio table: a case and the baseline it is measured against.
struct RatioRow
{
    std::string name;
    std::string baseline;
};

// Runs the registered benchmarks, reporting to reporter (the library's usual
// console report when null); false when the command line held arguments the
// library does not know.
inline bool RunBenchmarks(int* argc, char** argv, benchmark::BenchmarkReporter* reporter = nullptr)
{
    benchmark::Initialize(argc, argv);
    if (benchmark::ReportUnrecognizedArguments(*argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks(reporter);
    benchmark::Shutdown();
    return true;
}

inline bool RunBenchmarks(int* argc, char** argv, CollectingReporter& reporter)
{
    return RunBenchmarks(argc, argv, &reporter);
}

// Prints each case's MB/s, its baseline's and their ratio with the given
// decimals; cases that did not run are left out.
inline void PrintRatioTable(const CollectingReporter& reporter, const std::vector<RatioRow>& rows,
                            int nameWidth, int decimals)
{
    std::printf("%-*s %10s %12s %7s\n", nameWidth, "case", "MB/s", "memcpy MB/s", "ratio");
    for (const RatioRow& row : rows)
    {
        const double ours = reporter.Rate(row.name);
        const double base = reporter.Rate(row.baseline);
        if (ours <= 0.0)
            continue;
        if (base > 0.0)
            std::printf("%-*s %10.0f %12.0f %7.*f\n", nameWidth, row.name.c_str(), ours / 1e6, base / 1e6,
                        decimals, ours / base);
        else
            std::printf("%-*s %10.0f %12s %7s\n", nameWidth, row.name.c_str(), ours / 1e6, "-", "-");
    }
}
} // namespace benchsupport
