#pragma once

#include <benchmark/benchmark.h>

// The run a summary table takes a case's time from: the median of its
// repetitions, or its only run when it was not repeated.
inline bool isSummaryRun(const benchmark::BenchmarkReporter::Run& run) {
    using Run = benchmark::BenchmarkReporter::Run;
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    return median || single;
}
