#include <benchmark/benchmark.h>

#include "intersection/flattening.h"
#include "testshapes.h"

// Arc length and flattening of one quarter circle, by radius: the absolute
// straightness test makes length cost grow with size, the angle test does not.
static void BM_SegmentLength(benchmark::State& state) {
    const double r = double(state.range(0));
    const BezierSegment s{{r, 0, 0}, {r, r * kKappa, 0}, {r * kKappa, r, 0}, {0, r, 0}};
    for (auto _ : state)
        benchmark::DoNotOptimize(s.length());
}
BENCHMARK(BM_SegmentLength)->Arg(1)->Arg(100)->Arg(10000);

static void BM_Flatten(benchmark::State& state) {
    const double r = double(state.range(0));
    const BezierSegment s{{r, 0, 0}, {r, r * kKappa, 0}, {r * kKappa, r, 0}, {0, r, 0}};
    for (auto _ : state) {
        PLine p;
        appendToPolyline(s, p, kAngleTolerance);
        benchmark::DoNotOptimize(p.data());
    }
}
BENCHMARK(BM_Flatten)->Arg(1)->Arg(100)->Arg(10000);
