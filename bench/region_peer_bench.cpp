// The region engine against a general Bezier Boolean library on the same
// pairs: two round splines crossing twice and two gear-like outlines
// crossing a quarter of their knot count times, from 8 to 8192 knots, at
// scales 1, 100 and 10000, for union, intersection and both differences.
// Repetitions run interleaved; the summary gives medians and the ratio
// peer time / region engine time (above 1: the region engine is faster),
// the areas' agreement, and the peak heap of one run at 2048 and 8192
// knots, each measured in a fresh process.
//
//   region_peer_bench                 all rows, then the peak heap table
//   region_peer_bench --rows=icons    only the 8- and 64-knot rows
//   region_peer_bench --dump-rows=F   writes the icon rows' pairs as JSON to F
//   region_peer_bench --peak=F,N,I    one peak measurement (family, knots, impl)

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "countedheap.h"
#include "drawnshapes.h"
#include "shaperegion/shaperegion.h"
#include "summaryrun.h"

#ifdef CARVEX_HAVE_2GEOM
#include "region2geom.h"
#endif

namespace {

using namespace drawn;

enum Family { Round = 0, Gear = 1, Stack = 2 };
const char* kFamilyNames[] = {"round", "gear", "stack"};
const char* kOpNames[] = {"union", "inter", "a-b", "b-a"};
const carvex::Operation kOps[] = {carvex::Operation::Union, carvex::Operation::Intersect,
                                  carvex::Operation::SubtrA, carvex::Operation::SubtrB};

std::vector<int> gKnots = {8, 64, 512, 2048, 8192};
// Copies in a stack: copy-and-nudge editing piles near-copies onto one
// outline, and their crossings grow as the square of the copies.
const int kStackCopies[] = {4, 16, 50};
const int kScales[] = {1, 100, 10000};

struct Inputs {
    Shape a;
    Shape b;
#ifdef CARVEX_HAVE_2GEOM
    Geom::PathVector pa;
    Geom::PathVector pb;
#endif
};

// Round: radius `scale`, the second shifted by (0.6, 0.1) radii. Gear:
// depth a tenth of the radius, the second turned by half a tooth.
// Stack: a circle of 16 knots against n copies of another, each moved 1e-7
// of the radius further than the last (n, as "knots", is the copies).
Shape makeShape(int family, int n, double scale, bool second) {
    if (family == Stack) {
        if (!second) return shapeOf({roundSpline({0, 0}, scale, 16)});
        Shape stack;
        for (int i = 0; i < n; ++i) {
            const double d = 1e-7 * scale * (i + 1);
            stack.addSpline(roundSpline({0.6 * scale + d, 0.1 * scale + 0.5 * d}, scale, 16));
        }
        return stack;
    }
    if (family == Round)
        return shapeOf({second ? roundSpline({0.6 * scale, 0.1 * scale}, scale, n)
                               : roundSpline({0, 0}, scale, n)});
    return shapeOf({gear({0, 0}, scale, n, 0.1, second ? 0.75 : 0.25, second)});
}

const Inputs& inputs(int family, int n, int scale) {
    static std::map<std::tuple<int, int, int>, std::unique_ptr<Inputs>> cache;
    auto& slot = cache[{family, n, scale}];
    if (!slot) {
        slot = std::make_unique<Inputs>();
        slot->a = makeShape(family, n, scale, false);
        slot->b = makeShape(family, n, scale, true);
#ifdef CARVEX_HAVE_2GEOM
        slot->pa = toPathVector(slot->a);
        slot->pb = toPathVector(slot->b);
#endif
    }
    return *slot;
}

void BM_Region(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    const carvex::Operation op = kOps[state.range(3)];
    for (auto _ : state) {
        carvex::ShapeResult r = carvex::combine(in.a, in.b, op);
        if (!r.ok()) {
            state.SkipWithError("the region engine refused the pair");
            break;
        }
        benchmark::DoNotOptimize(r.shape.size());
    }
}

#ifdef CARVEX_HAVE_2GEOM
void BM_Lib2geom(benchmark::State& state) {
    const Inputs& in = inputs(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    const PeerOp op = PeerOp(state.range(3));
    for (auto _ : state) {
        Geom::PathVector result;
        if (!peerCombine(in.pa, in.pb, op, result)) {
            state.SkipWithError("the peer threw");
            break;
        }
        benchmark::DoNotOptimize(result.size());
    }
}
#endif

void addRows(benchmark::internal::Benchmark* b) {
    for (int family : {Round, Gear})
        for (int n : gKnots)
            for (int scale : kScales)
                for (int op = 0; op < 4; ++op)
                    b->Args({family, n, scale, op});
    for (int copies : kStackCopies)
        for (int op = 0; op < 4; ++op)
            b->Args({Stack, copies, 1, op});
    b->ArgNames({"family", "knots", "scale", "op"})->Unit(benchmark::kMicrosecond);
}

// Relative difference of the two answers' areas (exact areas; the peer's
// taken even-odd since it does not orient holes); -1 when one fails.
double areaAgreement(int family, int n, int scale, int op) {
#ifdef CARVEX_HAVE_2GEOM
    const Inputs& in = inputs(family, n, scale);
    const carvex::ShapeResult ours = carvex::combine(in.a, in.b, kOps[op]);
    Geom::PathVector peer;
    if (!ours.ok() || !peerCombine(in.pa, in.pb, PeerOp(op), peer)) return -1.0;
    const double a = exactArea(ours.shape);
    const double p = std::fabs(exactArea(fromPathVector(peer)));
    const double whole = std::fabs(exactArea(in.a)) + std::fabs(exactArea(in.b));
    return std::fabs(a - p) / whole;
#else
    (void)family, (void)n, (void)scale, (void)op;
    return -1.0;
#endif
}

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!isSummaryRun(run)) continue;
            int f = 0, n = 0, s = 0, op = 0;
            if (std::sscanf(run.run_name.args.c_str(), "family:%d/knots:%d/scale:%d/op:%d", &f, &n,
                            &s, &op) != 4)
                continue;
            const bool ours = run.run_name.function_name == "BM_Region";
            times_[{f, n, s, op}][ours ? 0 : 1] =
                run.error_occurred ? -1.0 : run.GetAdjustedCPUTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf(
            "\nMedian processor time (us) per row; ratio = lib2geom / region engine "
            "(above 1: the region engine is faster); area = relative difference of the "
            "answers' areas\n");
        std::printf("%-6s %6s %6s %-6s %12s %12s %8s %9s\n", "family", "knots", "scale", "op",
                    "region", "lib2geom", "ratio", "area");
        int rows = 0;
        int ahead = 0;
        double worst = 1e300;
        for (const auto& [key, t] : times_) {
            const auto [f, n, s, op] = key;
            const double agree = areaAgreement(f, n, s, op);
            char ratio[32] = "-";
            if (t[0] > 0 && t[1] > 0) {
                std::snprintf(ratio, sizeof ratio, "%.2f", t[1] / t[0]);
                ++rows;
                ahead += t[1] > t[0];
                worst = std::min(worst, t[1] / t[0]);
            }
            char area[32] = "-";
            if (agree >= 0) std::snprintf(area, sizeof area, "%.1e", agree);
            std::printf("%-6s %6d %6d %-6s %12s %12s %8s %9s\n", kFamilyNames[f], n, s,
                        kOpNames[op], text(t[0]).c_str(), text(t[1]).c_str(), ratio, area);
        }
        if (rows > 0)
            std::printf("region engine faster on %d of %d rows; lowest ratio %.2f\n", ahead, rows,
                        worst);
    }

private:
    static std::string text(double v) {
        if (v < 0) return "-";
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", v);
        return buf;
    }
    std::map<std::tuple<int, int, int, int>, std::array<double, 2>> times_{};
};

// One run of one pair in this process; prints the peak heap above what the
// inputs hold, in bytes.
int measurePeak(const char* request) {
    char family[16] = {};
    int n = 0;
    char impl[16] = {};
    if (std::sscanf(request, "%15[^,],%d,%15s", family, &n, impl) != 3) return 2;
    const int f = std::strcmp(family, "gear") == 0 ? Gear : Round;
    const Inputs& in = inputs(f, n, 1);
    const long long base = countedheap::markPeak();
    if (std::strcmp(impl, "region") == 0) {
        carvex::ShapeResult r = carvex::combine(in.a, in.b, carvex::Operation::Union);
        benchmark::DoNotOptimize(r.shape.size());
    } else {
#ifdef CARVEX_HAVE_2GEOM
        Geom::PathVector result;
        peerCombine(in.pa, in.pb, PeerOp::Union, result);
        benchmark::DoNotOptimize(result.size());
#else
        return 2;
#endif
    }
    std::printf("%lld\n", countedheap::peak() - base);
    return 0;
}

void peakTable(const char* self) {
    std::printf("\nPeak heap of one union above the inputs (operator new; fresh process each)\n");
    std::printf("%-6s %6s %14s %14s\n", "family", "knots", "region (KB)", "lib2geom (KB)");
    for (const char* family : {"round", "gear"}) {
        for (int n : {2048, 8192}) {
            std::string cells[2];
            const char* impls[2] = {"region", "lib2geom"};
            for (int i = 0; i < 2; ++i) {
                const std::string command = std::string("'") + self + "' --peak=" + family + "," +
                                            std::to_string(n) + "," + impls[i];
                cells[i] = "-";
                if (FILE* p = popen(command.c_str(), "r")) {
                    long long bytes = -1;
                    if (std::fscanf(p, "%lld", &bytes) == 1 && bytes >= 0)
                        cells[i] = std::to_string((bytes + 1023) / 1024);
                    pclose(p);
                }
            }
            std::printf("%-6s %6d %14s %14s\n", family, n, cells[0].c_str(), cells[1].c_str());
        }
    }
}

// The icon rows' pairs with the region engine's answer areas, for the
// script that runs another library's path operations on the very same
// curves.
bool dumpRows(const char* path) {
    FILE* out = std::fopen(path, "w");
    if (!out) {
        std::fprintf(stderr, "region_peer_bench: cannot write %s\n", path);
        return false;
    }
    std::fprintf(out, "[\n");
    bool first = true;
    for (int family : {Round, Gear}) {
        for (int n : {8, 64}) {
            for (int scale : kScales) {
                const Inputs& in = inputs(family, n, scale);
                std::fprintf(out, "%s{\"family\":\"%s\",\"knots\":%d,\"scale\":%d",
                             first ? "" : ",\n", kFamilyNames[family], n, scale);
                first = false;
                const Shape* shapes[2] = {&in.a, &in.b};
                for (int k = 0; k < 2; ++k) {
                    std::fprintf(out, ",\"%s\":[", k == 0 ? "a" : "b");
                    bool firstCubic = true;
                    for (const Loop& loop : loopsOf(*shapes[k])) {
                        for (const Cubic& c : loop) {
                            std::fprintf(out, "%s[%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g]",
                                         firstCubic ? "" : ",", c[0].x, c[0].y, c[1].x, c[1].y,
                                         c[2].x, c[2].y, c[3].x, c[3].y);
                            firstCubic = false;
                        }
                    }
                    std::fprintf(out, "]");
                }
                std::fprintf(out, ",\"areaA\":%.17g,\"areaB\":%.17g,\"areas\":[", exactArea(in.a),
                             exactArea(in.b));
                for (int op = 0; op < 4; ++op) {
                    const carvex::ShapeResult r = carvex::combine(in.a, in.b, kOps[op]);
                    std::fprintf(out, "%s%.17g", op ? "," : "", exactArea(r.shape));
                }
                std::fprintf(out, "]}");
            }
        }
    }
    std::fprintf(out, "\n]\n");
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    bool icons = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--peak=", 7) == 0) return measurePeak(argv[i] + 7);
        if (std::strncmp(argv[i], "--dump-rows=", 12) == 0) return dumpRows(argv[i] + 12) ? 0 : 1;
        if (std::strcmp(argv[i], "--rows=icons") == 0) {
            icons = true;
            continue;
        }
        args.push_back(argv[i]);
    }
    if (icons) gKnots = {8, 64};
    // Interleaved repetitions and medians unless asked otherwise.
    std::string defaults[] = {
        "--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
        "--benchmark_min_time=0.05", "--benchmark_report_aggregates_only=true"};
    std::vector<char*> all = {args[0]};
    for (std::string& d : defaults) {
        const std::string key = d.substr(0, d.find('='));
        bool given = false;
        for (std::size_t i = 1; i < args.size(); ++i)
            given = given || std::strncmp(args[i], key.c_str(), key.size()) == 0;
        if (!given) all.push_back(d.data());
    }
    all.insert(all.end(), args.begin() + 1, args.end());
    int count = int(all.size());

    benchmark::RegisterBenchmark("BM_Region", BM_Region)->Apply(addRows);
#ifdef CARVEX_HAVE_2GEOM
    benchmark::RegisterBenchmark("BM_Lib2geom", BM_Lib2geom)->Apply(addRows);
#endif
    benchmark::Initialize(&count, all.data());
    if (benchmark::ReportUnrecognizedArguments(count, all.data())) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!icons) {
        char self[4096] = {};
        const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
        if (len > 0) peakTable(self);
    }
    return 0;
}
