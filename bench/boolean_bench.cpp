#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "boolean/boolean.h"
#include "countedheap.h"
#include "geometry/algorithm.h"
#include "summaryrun.h"
#include "testshapes.h"

#ifdef CARVEX_HAVE_2GEOM
#include <2geom/intersection-graph.h>
#include <2geom/path.h>
#include <2geom/pathvector.h>
#endif

// Two families of pairs of n knots each, radius `scale`:
//  - round: two round splines crossing twice, the second shifted by
//    (0.6, 0.1) radii;
//  - gear: two gear-like outlines about one centre crossing n / 4 times.
// The threshold scales with them, so every scale draws the same picture in
// other units.
namespace {

enum Family { Round = 0, Gear = 1 };

constexpr int kKnots[] = {8, 64, 512, 2048, 8192};
constexpr int kScales[] = {1, 100, 10000};
// The literal algorithm visits n^2 segment pairs: larger pairs take minutes.
constexpr int kLiteralKnots = 512;

struct Pair {
    std::unique_ptr<Spline> a;
    std::unique_ptr<Spline> b;
};

Pair makePair(int family, int n, double scale) {
    if (family == Gear) return {gearSpline(0, 0, scale, n, 0.0), gearPartner(0, 0, scale, n)};
    return {roundSpline(0, 0, scale, n), roundSpline(0.6 * scale, 0.1 * scale, scale, n)};
}

double thresholdFor(double scale) {
    return 1e-4 * scale;
}

// The most heap in use at once during one operation, inputs included, in MB.
class PeakHeap {
public:
    void start() { base_ = countedheap::markPeak(); }
    void stop() { most_ = std::max(most_, countedheap::peak() - base_); }
    void report(benchmark::State& state) const { state.counters["peak_MB"] = double(most_) / 1e6; }

private:
    long long base_ = 0;
    long long most_ = 0;
};

void runCarvex(benchmark::State& state, Algorithm algorithm) {
    const int family = int(state.range(0));
    const int n = int(state.range(1));
    const double scale = double(state.range(2));
    const carvex::Operation operation = carvex::Operation(state.range(3));
    AlgorithmScope scope(algorithm);
    PeakHeap peak;
    for (auto _ : state) {
        state.PauseTiming();
        peak.start();
        Pair p = makePair(family, n, scale);
        state.ResumeTiming();
        benchmark::DoNotOptimize(applyOperation(*p.a, *p.b, operation, thresholdFor(scale)));
        state.PauseTiming();
        peak.stop();
        p = Pair();
        state.ResumeTiming();
    }
    peak.report(state);
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
    const int family = int(state.range(0));
    const int n = int(state.range(1));
    const double scale = double(state.range(2));
    const carvex::Operation operation = carvex::Operation(state.range(3));
    PeakHeap peak;
    for (auto _ : state) {
        state.PauseTiming();
        peak.start();
        std::optional<Geom::PathVector> a;
        std::optional<Geom::PathVector> b;
        {
            const Pair p = makePair(family, n, scale);
            a = toPathVector(*p.a);
            b = toPathVector(*p.b);
        }
        state.ResumeTiming();
        Geom::PathIntersectionGraph graph(*a, *b);
        Geom::PathVector result;
        switch (operation) {
            case carvex::Operation::Union:
                result = graph.getUnion();
                break;
            case carvex::Operation::Intersect:
                result = graph.getIntersection();
                break;
            case carvex::Operation::SubtrA:
                result = graph.getAminusB();
                break;
            default:
                result = graph.getBminusA();
                break;
        }
        benchmark::DoNotOptimize(result.size());
        state.PauseTiming();
        peak.stop();
        state.ResumeTiming();
    }
    peak.report(state);
}
#endif

void addArguments(benchmark::internal::Benchmark* b, int mostKnots) {
    for (int family : {Round, Gear})
        for (int n : kKnots)
            for (int scale : kScales)
                for (int op = 0; op < 4; ++op)
                    if (n <= mostKnots) b->Args({family, n, scale, op});
    b->ArgNames({"family", "knots", "scale", "op"})->Unit(benchmark::kMicrosecond);
}
void everySize(benchmark::internal::Benchmark* b) {
    addArguments(b, kKnots[std::size(kKnots) - 1]);
}
void literalSizes(benchmark::internal::Benchmark* b) {
    addArguments(b, kLiteralKnots);
}

BENCHMARK(BM_Literal)->Apply(literalSizes);
BENCHMARK(BM_Fast)->Apply(everySize);
#ifdef CARVEX_HAVE_2GEOM
BENCHMARK(BM_Lib2geom)->Apply(everySize);
#endif

// Prints the usual console lines and, at the end, tables with one line per
// case: the median time of each implementation and its ratio to the fast one
// (the plain measurement where no repetitions were asked for).
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!isSummaryRun(run)) continue;
            Times& t = times_[run.run_name.args][run.run_name.function_name];
            t.real = run.GetAdjustedRealTime();
            t.cpu = run.GetAdjustedCPUTime();
            const auto peak = run.counters.find("peak_MB");
            if (peak != run.counters.end()) t.peakMB = peak->second.value;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        // On a shared machine the processor time is the steadier measure.
        table("Median processor time (us) per case; ratios are other / fast",
              [](const Times& t) { return t.cpu; });
        table("Median real time (us) per case; ratios are other / fast",
              [](const Times& t) { return t.real; });
        table("Peak heap (MB) per case, inputs included; ratios are other / fast",
              [](const Times& t) { return t.peakMB; });
    }

private:
    struct Times {
        double real = -1.0;
        double cpu = -1.0;
        double peakMB = -1.0;
    };

    template <typename Pick>
    void table(const char* title, Pick pick) const {
        std::printf("\n%s\n", title);
        std::printf("%-6s %-8s %-6s %-3s %12s %12s %12s %10s %10s\n", "family", "knots", "scale",
                    "op", "literal", "fast", "lib2geom", "lit/fast", "2geom/fast");
        for (const auto& [key, byName] : sorted()) {
            const double literal = lookup(byName, "BM_Literal", pick);
            const double fast = lookup(byName, "BM_Fast", pick);
            const double peer = lookup(byName, "BM_Lib2geom", pick);
            std::printf("%-6s %-8d %-6d %-3d %12s %12s %12s %10s %10s\n",
                        std::get<0>(key) == Gear ? "gear" : "round", std::get<1>(key),
                        std::get<2>(key), std::get<3>(key), text(literal).c_str(),
                        text(fast).c_str(), text(peer).c_str(), ratio(literal, fast).c_str(),
                        ratio(peer, fast).c_str());
        }
    }

    // The cases in numeric order of family, knots, scale and operation.
    using Key = std::tuple<int, int, int, int>;
    std::map<Key, std::map<std::string, Times>> sorted() const {
        std::map<Key, std::map<std::string, Times>> out;
        for (const auto& [args, byName] : times_) {
            int family = 0;
            int n = 0;
            int scale = 0;
            int op = 0;
            std::sscanf(args.c_str(), "family:%d/knots:%d/scale:%d/op:%d", &family, &n, &scale,
                        &op);
            out[{family, n, scale, op}] = byName;
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
        std::snprintf(buf, sizeof buf, v < 100 ? "%.2f" : "%.1f", v);
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
