#include <benchmark/benchmark.h>

#include "boolean/boolean.h"
#include "testshapes.h"

// Two round splines of n knots each, overlapping so that their outlines
// cross twice; one benchmark per operation code.
static void BM_Operation(benchmark::State& state) {
    const int n = int(state.range(0));
    const int operation = int(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        auto a = roundSpline(0, 0, 100, n);
        auto b = roundSpline(60, 10, 100, n);
        state.ResumeTiming();
        benchmark::DoNotOptimize(applyOperation(*a, *b, operation, 1e-4));
    }
    state.SetLabel(QStringLiteral("%1 knots, op %2").arg(n).arg(operation).toStdString());
}
BENCHMARK(BM_Operation)
    ->ArgsProduct({{8, 64, 512}, {Union, Intersect, SubtrA, SubtrB}})
    ->Unit(benchmark::kMillisecond);
