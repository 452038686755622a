#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "countedheap.h"
#include "regionshapes.h"
#include "shaperegion/shaperegion.h"
#include "summaryrun.h"

#ifdef CARVEX_HAVE_2GEOM
#include <2geom/intersection-graph.h>
#include <2geom/path.h>
#include <2geom/pathvector.h>
#endif

// The region engine and lib2geom's PathIntersectionGraph on a star of n
// spikes against a gear of n + 3 teeth whose outlines cross in many points,
// more of them the more spikes (the star's bowed sides cross their
// neighbours too). The round and gear pairs are region_peer_bench's. Run
// with repetitions and random interleaving (the defaults of main below) so
// that both see the same load. After the runs, the peak heap of one call of
// each engine.
using namespace carvex;

namespace {

constexpr int kScales[] = {1, 100, 10000};
constexpr int kSpikes[] = {16, 128, 1024};

struct Pair {
    Shape a;
    Shape b;
};

Pair makePair(int n, double scale) {
    return {shapeOf(star(0, 0, 0.8 * scale, scale, n, 0.0, 0.2)),
            shapeOf(star(0.01 * scale, 0, 0.85 * scale, 0.95 * scale, n + 3, 0.05, 0.0))};
}

constexpr int kOps = 4;  // union, intersection, A - B, B - A
const char* const kOpNames[kOps] = {"union", "intersect", "A - B", "B - A"};

Operation opOf(int i) {
    return i == 0   ? Operation::Union
           : i == 1 ? Operation::Intersect
           : i == 2 ? Operation::SubtrA
                    : Operation::SubtrB;
}

void BM_Region(benchmark::State& state) {
    const Pair p = makePair(int(state.range(0)), double(state.range(1)));
    const Operation op = opOf(int(state.range(2)));
    for (auto _ : state) {
        ShapeResult r = combine(p.a, p.b, op);
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
    const Pair p = makePair(int(state.range(0)), double(state.range(1)));
    const Geom::PathVector a = toPathVector(p.a);
    const Geom::PathVector b = toPathVector(p.b);
    const int op = int(state.range(2));
    for (auto _ : state) {
        // The peer gives up on some inputs by throwing; that row then has no
        // time of its own.
        try {
            Geom::PathIntersectionGraph graph(a, b);
            Geom::PathVector result = op == 0   ? graph.getUnion()
                                      : op == 1 ? graph.getIntersection()
                                      : op == 2 ? graph.getAminusB()
                                                : graph.getBminusA();
            benchmark::DoNotOptimize(result.size());
        } catch (...) {  // it throws bare error codes as well as exceptions
            state.SkipWithError("lib2geom threw");
            break;
        }
    }
}
#endif

void addArguments(benchmark::internal::Benchmark* b) {
    for (int n : kSpikes)
        for (int scale : kScales)
            for (int op = 0; op < kOps; ++op)
                b->Args({n, scale, op});
    b->ArgNames({"n", "scale", "op"})->Unit(benchmark::kMicrosecond);
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
            if (!isSummaryRun(run)) continue;
            times_[run.run_name.args][run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::map<std::tuple<int, int, int>, std::map<std::string, double>> rows;
        for (const auto& [args, byName] : times_) {
            int n = 0, scale = 0, op = 0;
            std::sscanf(args.c_str(), "n:%d/scale:%d/op:%d", &n, &scale, &op);
            rows[{n, scale, op}] = byName;
        }
        std::printf("\nMedian processor time (us); ratio is lib2geom / region\n");
        std::printf("%-6s %-6s %-9s %12s %12s %8s\n", "spikes", "scale", "op", "region", "lib2geom",
                    "ratio");
        for (const auto& [key, byName] : rows) {
            const auto region = byName.find("BM_Region");
            const auto peer = byName.find("BM_Lib2geom");
            const double r = region == byName.end() ? -1 : region->second;
            const double g = peer == byName.end() ? -1 : peer->second;
            std::printf("%-6d %-6d %-9s %12.1f %12.1f %8s\n", std::get<0>(key), std::get<1>(key),
                        kOpNames[std::get<2>(key)], r, g,
                        r > 0 && g > 0 ? std::to_string(g / r).substr(0, 6).c_str() : "-");
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> times_;
};

void printPeakHeap() {
    std::printf("\nPeak heap of one call (MB)\n%-6s %-6s %-9s %10s %10s\n", "pair", "knots", "op",
                "region", "lib2geom");
    // The star of n spikes has 2n knots.
    for (int n : {1024, 4096}) {
        const int knots = 2 * n;
        const Pair p = makePair(n, 1.0);
        for (int op : {0, 1}) {
            const long long region = countedheap::peakHeapOf([&] {
                ShapeResult r = combine(p.a, p.b, opOf(op));
                benchmark::DoNotOptimize(r.shape.size());
            });
            long long peer = -1;
#ifdef CARVEX_HAVE_2GEOM
            const Geom::PathVector a = toPathVector(p.a);
            const Geom::PathVector b = toPathVector(p.b);
            peer = countedheap::peakHeapOf([&] {
                Geom::PathIntersectionGraph graph(a, b);
                Geom::PathVector result = op == 0 ? graph.getUnion() : graph.getIntersection();
                benchmark::DoNotOptimize(result.size());
            });
#endif
            auto mb = [](long long bytes) {
                return bytes < 0 ? std::string("throws") : std::to_string(bytes / 1e6).substr(0, 6);
            };
            std::printf("%-6s %-6d %-9s %10s %10s\n", "star", knots, kOpNames[op],
                        mb(region).c_str(), mb(peer).c_str());
        }
    }
}

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
    if (std::getenv("REGION_BENCH_NO_HEAP") == nullptr) printPeakHeap();
    return 0;
}
