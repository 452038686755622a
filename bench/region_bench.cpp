#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "region/region.h"
#include "regionshapes.h"

#ifdef CARVEX_HAVE_2GEOM
#include <2geom/intersection-graph.h>
#include <2geom/path.h>
#include <2geom/pathvector.h>
#endif

// The region engine and lib2geom's PathIntersectionGraph on the same pairs:
// the two round splines of the per-pair benchmark (n knots each, radius
// `scale`, the second shifted by (0.6, 0.1) radii), and a star against a
// gear whose outlines cross in many points. Run with repetitions and random
// interleaving (the defaults of main below) so that both see the same load.
using namespace carvex;

namespace {

constexpr int kKnots[] = {8, 64, 512, 2048, 8192};
constexpr int kScales[] = {1, 10000};
constexpr int kSpikes[] = {16, 128, 1024};
constexpr int kRound = 0;
constexpr int kStar = 1;

struct Pair {
    Shape a;
    Shape b;
};

// kind 0: round splines of n knots; kind 1: a star of n spikes and a gear of
// n + 3 teeth.
Pair makePair(int kind, int n, double scale) {
    if (kind == kRound)
        return {shapeOf(roundSpline(0, 0, scale, n)),
                shapeOf(roundSpline(0.6 * scale, 0.1 * scale, scale, n))};
    return {shapeOf(star(0, 0, 0.8 * scale, scale, n, 0.0, 0.2)),
            shapeOf(star(0.01 * scale, 0, 0.85 * scale, 0.95 * scale, n + 3, 0.05, 0.0))};
}

BooleanOp opOf(int i) {
    return i == 0 ? BooleanOp::Union : i == 1 ? BooleanOp::Intersection : BooleanOp::AMinusB;
}

void BM_Region(benchmark::State& state) {
    const Pair p = makePair(int(state.range(0)), int(state.range(1)), double(state.range(2)));
    const BooleanOp op = opOf(int(state.range(3)));
    for (auto _ : state) {
        RegionResult r = combine(p.a, p.b, op);
        benchmark::DoNotOptimize(r.shape.size());
    }
}

#ifdef CARVEX_HAVE_2GEOM
Geom::PathVector toPathVector(const Shape& shape) {
    Geom::PathVector out;
    for (const Spline* s : shape) {
        Geom::Path path(Geom::Point(s->first()->point.x, s->first()->point.y));
        for (int i = 0; i < s->size(); ++i) {
            const Knot& a = *s->at(i);
            const Knot& b = *s->at((i + 1) % s->size());
            path.appendNew<Geom::CubicBezier>(Geom::Point(a.outVec.x, a.outVec.y),
                                              Geom::Point(b.inVec.x, b.inVec.y),
                                              Geom::Point(b.point.x, b.point.y));
        }
        path.close(true);
        out.push_back(path);
    }
    return out;
}

void BM_Lib2geom(benchmark::State& state) {
    const Pair p = makePair(int(state.range(0)), int(state.range(1)), double(state.range(2)));
    const Geom::PathVector a = toPathVector(p.a);
    const Geom::PathVector b = toPathVector(p.b);
    const int op = int(state.range(3));
    for (auto _ : state) {
        Geom::PathIntersectionGraph graph(a, b);
        Geom::PathVector result = op == 0   ? graph.getUnion()
                                  : op == 1 ? graph.getIntersection()
                                            : graph.getAminusB();
        benchmark::DoNotOptimize(result.size());
    }
}
#endif

void addArguments(benchmark::internal::Benchmark* b) {
    for (int n : kKnots)
        for (int scale : kScales)
            for (int op : {0, 1, 2})
                b->Args({kRound, n, scale, op});
    for (int n : kSpikes)
        for (int scale : kScales)
            b->Args({kStar, n, scale, 0});
    b->ArgNames({"kind", "n", "scale", "op"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Region)->Apply(addArguments);
#ifdef CARVEX_HAVE_2GEOM
BENCHMARK(BM_Lib2geom)->Apply(addArguments);
#endif

// The console lines, then one table line per case: the median processor
// time of each engine and the ratio lib2geom / region.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            times_[run.run_name.args][run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::map<std::tuple<int, int, int, int>, std::map<std::string, double>> rows;
        for (const auto& [args, byName] : times_) {
            int kind = 0, n = 0, scale = 0, op = 0;
            std::sscanf(args.c_str(), "kind:%d/n:%d/scale:%d/op:%d", &kind, &n, &scale, &op);
            rows[{kind, n, scale, op}] = byName;
        }
        std::printf("\nMedian processor time (us); ratio is lib2geom / region\n");
        std::printf("%-6s %-6s %-6s %-3s %12s %12s %8s\n", "pair", "n", "scale", "op", "region",
                    "lib2geom", "ratio");
        for (const auto& [key, byName] : rows) {
            const auto region = byName.find("BM_Region");
            const auto peer = byName.find("BM_Lib2geom");
            const double r = region == byName.end() ? -1 : region->second;
            const double g = peer == byName.end() ? -1 : peer->second;
            std::printf("%-6s %-6d %-6d %-3d %12.1f %12.1f %8s\n",
                        std::get<0>(key) == kRound ? "round" : "star", std::get<1>(key),
                        std::get<2>(key), std::get<3>(key), r, g,
                        r > 0 && g > 0 ? std::to_string(g / r).substr(0, 6).c_str() : "-");
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    // Repetitions interleaved at random unless the caller says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=5";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given = given || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!given) {
        args.push_back(reps.data());
        args.push_back(interleave.data());
    }
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
