#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "boolean/boolean.h"
#include "geometry/algorithm.h"
#include "testshapes.h"

#ifdef CARVEX_HAVE_2GEOM
#include <2geom/intersection-graph.h>
#include <2geom/path.h>
#include <2geom/pathvector.h>
#endif

// Two round splines of n knots each whose outlines cross twice: radius
// `scale`, the second one shifted by (0.6, 0.1) radii. The threshold scales
// with them, so every scale draws the same picture in other units.
namespace {

constexpr int kKnots[] = {8, 64, 512, 2048};
constexpr int kScales[] = {1, 10000};

struct Pair {
    std::unique_ptr<Spline> a;
    std::unique_ptr<Spline> b;
};

Pair makePair(int n, double scale) {
    return {roundSpline(0, 0, scale, n), roundSpline(0.6 * scale, 0.1 * scale, scale, n)};
}

double thresholdFor(double scale) {
    return 1e-4 * scale;
}

void runCarvex(benchmark::State& state, Algorithm algorithm) {
    const int n = int(state.range(0));
    const double scale = double(state.range(1));
    const int operation = int(state.range(2));
    AlgorithmScope scope(algorithm);
    for (auto _ : state) {
        state.PauseTiming();
        Pair p = makePair(n, scale);
        state.ResumeTiming();
        benchmark::DoNotOptimize(applyOperation(*p.a, *p.b, operation, thresholdFor(scale)));
        state.PauseTiming();
        p = Pair();
        state.ResumeTiming();
    }
}

void BM_Literal(benchmark::State& state) {
    runCarvex(state, Algorithm::Literal);
}
void BM_Fast(benchmark::State& state) {
    runCarvex(state, Algorithm::Fast);
}

#ifdef CARVEX_HAVE_2GEOM
Geom::PathVector toPathVector(const Spline& s) {
    Geom::Path path(Geom::Point(s.first()->point.x, s.first()->point.y));
    for (int i = 0; i < s.size(); ++i) {
        const Knot& a = *s.at(i);
        const Knot& b = *s.at((i + 1) % s.size());
        path.appendNew<Geom::CubicBezier>(Geom::Point(a.outVec.x, a.outVec.y),
                                          Geom::Point(b.inVec.x, b.inVec.y),
                                          Geom::Point(b.point.x, b.point.y));
    }
    path.close(true);
    return Geom::PathVector(path);
}

// The same pairs through a general Bezier Boolean library, for comparison.
void BM_Lib2geom(benchmark::State& state) {
    const int n = int(state.range(0));
    const double scale = double(state.range(1));
    const int operation = int(state.range(2));
    const Pair p = makePair(n, scale);
    const Geom::PathVector a = toPathVector(*p.a);
    const Geom::PathVector b = toPathVector(*p.b);
    for (auto _ : state) {
        Geom::PathIntersectionGraph graph(a, b);
        Geom::PathVector result;
        switch (operation) {
            case Union:
                result = graph.getUnion();
                break;
            case Intersect:
                result = graph.getIntersection();
                break;
            case SubtrA:
                result = graph.getAminusB();
                break;
            default:
                result = graph.getBminusA();
                break;
        }
        benchmark::DoNotOptimize(result.size());
    }
}
#endif

void addArguments(benchmark::internal::Benchmark* b) {
    for (int n : kKnots)
        for (int scale : kScales)
            for (int op : {Union, Intersect, SubtrA, SubtrB})
                b->Args({n, scale, op});
    b->ArgNames({"knots", "scale", "op"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Literal)->Apply(addArguments);
BENCHMARK(BM_Fast)->Apply(addArguments);
#ifdef CARVEX_HAVE_2GEOM
BENCHMARK(BM_Lib2geom)->Apply(addArguments);
#endif

// Prints the usual console lines and, at the end, tables with one line per
// case: the median time of each implementation and its ratio to the fast one
// (the plain measurement where no repetitions were asked for).
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            Times& t = times_[run.run_name.args][run.run_name.function_name];
            t.real = run.GetAdjustedRealTime();
            t.cpu = run.GetAdjustedCPUTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        // On a shared machine the processor time is the steadier measure.
        table("Median processor time (us) per case; ratios are other / fast",
              [](const Times& t) { return t.cpu; });
        table("Median real time (us) per case; ratios are other / fast",
              [](const Times& t) { return t.real; });
    }

private:
    struct Times {
        double real = -1.0;
        double cpu = -1.0;
    };

    template <typename Pick>
    void table(const char* title, Pick pick) const {
        std::printf("\n%s\n", title);
        std::printf("%-8s %-6s %-3s %12s %12s %12s %10s %10s\n", "knots", "scale", "op", "literal",
                    "fast", "lib2geom", "lit/fast", "2geom/fast");
        for (const auto& [key, byName] : sorted()) {
            const double literal = lookup(byName, "BM_Literal", pick);
            const double fast = lookup(byName, "BM_Fast", pick);
            const double peer = lookup(byName, "BM_Lib2geom", pick);
            std::printf("%-8d %-6d %-3d %12s %12s %12s %10s %10s\n", std::get<0>(key),
                        std::get<1>(key), std::get<2>(key), text(literal).c_str(),
                        text(fast).c_str(), text(peer).c_str(), ratio(literal, fast).c_str(),
                        ratio(peer, fast).c_str());
        }
    }

    // The cases in numeric order of knots, scale and operation.
    std::map<std::tuple<int, int, int>, std::map<std::string, Times>> sorted() const {
        std::map<std::tuple<int, int, int>, std::map<std::string, Times>> out;
        for (const auto& [args, byName] : times_) {
            int n = 0;
            int scale = 0;
            int op = 0;
            std::sscanf(args.c_str(), "knots:%d/scale:%d/op:%d", &n, &scale, &op);
            out[{n, scale, op}] = byName;
        }
        return out;
    }

    template <typename Pick>
    static double lookup(const std::map<std::string, Times>& m, const std::string& name,
                         Pick pick) {
        const auto it = m.find(name);
        return it == m.end() ? -1.0 : pick(it->second);
    }
    static std::string text(double v) {
        if (v < 0) return "-";
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", v);
        return buf;
    }
    static std::string ratio(double a, double b) {
        if (a < 0 || b <= 0) return "-";
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f", a / b);
        return buf;
    }

    // args -> benchmark function -> times
    std::map<std::string, std::map<std::string, Times>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
