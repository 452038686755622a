// Dissolves: N circles of radius 0.5 to 2 scattered over a square of side
// 100 united into one region, by the region engine (unionAll, on the true
// cubic circles) and by GEOS (GEOSUnaryUnion, on the circles as polygons of
// kPolygonSides sides, whose chords lie at most 1.2e-3 radii inside the
// arcs). Both get their inputs built before the clock starts. After the
// runs, a table of median wall times, the ratio GEOS / region, the region
// engine's processor time on all its threads (it unites the halves of a
// long list side by side, one thread a core; GEOS keeps to one) and the two
// areas, then the peak heap of one dissolve of each (inputs left out).
//
// The world map (bench/data/world.svg: 241 countries, about 99,000 points,
// every edge straight) is dissolved the same way: each country under its
// own even-odd rule by the region engine, each ring a polygon for GEOS
// (whose holes, enclaves, other countries fill), made valid where a ring
// touches itself.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

#include "countedheap.h"
#include "regionshapes.h"
#include "shapeio/filleddrawing.h"
#include "shaperegion/shaperegion.h"
#include "summaryrun.h"

#ifdef CARVEX_HAVE_GEOS
#include <geos_c.h>
#endif

namespace {

constexpr int kCircleCounts[] = {10, 100, 1000, 10000};
constexpr int kPolygonSides = 64;

struct Disc {
    double x, y, r;
};

std::vector<Disc> discs(int n) {
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> place(0.0, 100.0);
    std::uniform_real_distribution<double> size(0.5, 2.0);
    std::vector<Disc> out;
    for (int i = 0; i < n; ++i) {
        const double x = place(rng);
        const double y = place(rng);
        out.push_back({x, y, size(rng)});
    }
    return out;
}

struct RegionInput {
    std::vector<Shape> shapes;
    std::vector<carvex::FilledShape> filled;
};

const RegionInput& regionInput(int n) {
    static std::map<int, RegionInput> cache;
    RegionInput& in = cache[n];
    if (in.shapes.empty()) {
        for (const Disc& d : discs(n))
            in.shapes.push_back(shapeOf(circle(d.x, d.y, d.r)));
        for (const Shape& s : in.shapes)
            in.filled.push_back({&s, carvex::FillRule::NonZero});
    }
    return in;
}

std::map<int, double> gRegionArea;

// The region engine's dissolve of shapes, timed; its area goes to row of
// the table.
void runRegion(benchmark::State& state, const std::vector<carvex::FilledShape>& shapes, int row) {
    for (auto _ : state) {
        carvex::ShapeResult r = carvex::unionAll(shapes);
        if (!r.ok()) {
            state.SkipWithError("the region engine refused");
            break;
        }
        gRegionArea[row] = carvex::enclosedArea(r.shape);
    }
}

void BM_Region(benchmark::State& state) {
    runRegion(state, regionInput(int(state.range(0))).filled, int(state.range(0)));
}
BENCHMARK(BM_Region)
    ->ArgName("circles")
    ->Apply([](benchmark::internal::Benchmark* b) {
        for (int n : kCircleCounts)
            b->Arg(n);
    })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The world map: its countries as the region engine takes them. Row -1 of
// the tables.
constexpr int kWorldRow = -1;

struct WorldInput {
    FilledDrawing drawing;
    std::vector<Shape> countries;  // reserved: filled points into it
    std::vector<carvex::FilledShape> filled;
};

const WorldInput& worldInput() {
    static WorldInput in;
    if (in.filled.empty()) {
        QString error;
        if (!readFilledDrawing(QStringLiteral(CARVEX_WORLD_SVG), &in.drawing, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            std::exit(1);
        }
        in.countries.reserve(in.drawing.elements.size());
        for (const FilledElement& e : in.drawing.elements) {
            in.countries.push_back(e.splines());
            in.filled.push_back({&in.countries.back(), e.fill});
        }
    }
    return in;
}

void BM_RegionWorld(benchmark::State& state) {
    runRegion(state, worldInput().filled, kWorldRow);
}
BENCHMARK(BM_RegionWorld)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

#ifdef CARVEX_HAVE_GEOS
GEOSContextHandle_t geos() {
    static GEOSContextHandle_t handle = GEOS_init_r();
    return handle;
}

GEOSGeometry* polygonOf(const Disc& d) {
    GEOSCoordSequence* ring = GEOSCoordSeq_create_r(geos(), kPolygonSides + 1, 2);
    for (int i = 0; i <= kPolygonSides; ++i) {
        const double a = 2.0 * M_PI * (i % kPolygonSides) / kPolygonSides;
        GEOSCoordSeq_setXY_r(geos(), ring, i, d.x + d.r * std::cos(a), d.y + d.r * std::sin(a));
    }
    return GEOSGeom_createPolygon_r(geos(), GEOSGeom_createLinearRing_r(geos(), ring), nullptr, 0);
}

GEOSGeometry* geosInput(int n) {
    static std::map<int, GEOSGeometry*> cache;
    GEOSGeometry*& g = cache[n];
    if (!g) {
        std::vector<GEOSGeometry*> polygons;
        for (const Disc& d : discs(n))
            polygons.push_back(polygonOf(d));
        g = GEOSGeom_createCollection_r(geos(), GEOS_MULTIPOLYGON, polygons.data(),
                                        unsigned(polygons.size()));
    }
    return g;
}

GEOSGeometry* worldGeos() {
    static GEOSGeometry* g = nullptr;
    if (!g) {
        std::vector<GEOSGeometry*> polygons;
        for (const carvex::FilledShape& country : worldInput().filled)
            for (const Spline* ring : *country.shape) {
                const int n = ring->size();
                GEOSCoordSequence* seq = GEOSCoordSeq_create_r(geos(), unsigned(n + 1), 2);
                for (int i = 0; i <= n; ++i)
                    GEOSCoordSeq_setXY_r(geos(), seq, unsigned(i), ring->at(i % n)->point.x,
                                         ring->at(i % n)->point.y);
                // Some rings of the map touch or cross themselves, which GEOS's
                // union refuses: they are made valid first, before the clock.
                GEOSGeometry* polygon = GEOSGeom_createPolygon_r(
                    geos(), GEOSGeom_createLinearRing_r(geos(), seq), nullptr, 0);
                if (!GEOSisValid_r(geos(), polygon)) {
                    GEOSGeometry* valid = GEOSMakeValid_r(geos(), polygon);
                    GEOSGeom_destroy_r(geos(), polygon);
                    polygon = valid;
                }
                polygons.push_back(polygon);
            }
        g = GEOSGeom_createCollection_r(geos(), GEOS_GEOMETRYCOLLECTION, polygons.data(),
                                        unsigned(polygons.size()));
    }
    return g;
}

std::map<int, double> gGeosArea;

// GEOS's dissolve of in, timed; its area goes to row of the table.
void runGeos(benchmark::State& state, GEOSGeometry* in, int row) {
    for (auto _ : state) {
        GEOSGeometry* u = GEOSUnaryUnion_r(geos(), in);
        if (!u) {
            state.SkipWithError("GEOS failed");
            break;
        }
        double area = 0.0;
        GEOSArea_r(geos(), u, &area);
        gGeosArea[row] = area;
        GEOSGeom_destroy_r(geos(), u);
    }
}

void BM_Geos(benchmark::State& state) {
    runGeos(state, geosInput(int(state.range(0))), int(state.range(0)));
}

void BM_GeosWorld(benchmark::State& state) {
    runGeos(state, worldGeos(), kWorldRow);
}
BENCHMARK(BM_GeosWorld)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

BENCHMARK(BM_Geos)
    ->ArgName("circles")
    ->Apply([](benchmark::internal::Benchmark* b) {
        for (int n : kCircleCounts)
            b->Arg(n);
    })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
#endif

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!isSummaryRun(run)) continue;
            int n = kWorldRow;
            std::sscanf(run.run_name.args.c_str(), "circles:%d", &n);
            std::string name = run.run_name.function_name;
            if (name.size() > 5 && name.compare(name.size() - 5, 5, "World") == 0)
                name.resize(name.size() - 5);
            times_[n][name] = run.GetAdjustedRealTime();
            if (name == "BM_Region") processorTimes_[n] = run.GetAdjustedCPUTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf(
            "\nDissolve, median wall time (ms); ratio is GEOS / region; region cpu is its "
            "processor time on all threads\n");
        std::printf("%8s %10s %10s %7s %11s %14s %14s\n", "circles", "region", "GEOS", "ratio",
                    "region cpu", "region area", "GEOS area");
        for (const auto& [n, byName] : times_) {
            const double r = byName.count("BM_Region") ? byName.at("BM_Region") : -1;
            const double g = byName.count("BM_Geos") ? byName.at("BM_Geos") : -1;
            const std::string row = n == kWorldRow ? "world" : std::to_string(n);
            const double cpu = processorTimes_.count(n) ? processorTimes_.at(n) : -1;
            std::printf("%8s %10.2f %10.2f %7s %11.2f %14.4f %14.4f\n", row.c_str(), r, g,
                        r > 0 && g > 0 ? std::to_string(g / r).substr(0, 5).c_str() : "-", cpu,
                        gRegionArea[n],
#ifdef CARVEX_HAVE_GEOS
                        gGeosArea[n]
#else
                        0.0
#endif
            );
        }
    }

private:
    std::map<int, std::map<std::string, double>> times_;
    std::map<int, double> processorTimes_;
};

void printPeakHeap() {
    std::printf("\nPeak heap of one dissolve above its inputs (MB)\n%8s %10s %10s\n", "circles",
                "region", "GEOS");
    for (int n : kCircleCounts) {
        const RegionInput& in = regionInput(n);
        const long long region = countedheap::peakHeapOf([&] {
            carvex::ShapeResult r = carvex::unionAll(in.filled);
            benchmark::DoNotOptimize(r.shape.size());
        });
        long long peer = -1;
#ifdef CARVEX_HAVE_GEOS
        GEOSGeometry* g = geosInput(n);
        peer = countedheap::peakHeapOf(
            [&] { GEOSGeom_destroy_r(geos(), GEOSUnaryUnion_r(geos(), g)); });
#endif
        std::printf("%8d %10.2f %10.2f\n", n, region / 1e6, peer / 1e6);
    }
    // Read before counting: the file's reading is not the dissolve's.
    const WorldInput& countries = worldInput();
    const long long world = countedheap::peakHeapOf([&] {
        carvex::ShapeResult r = carvex::unionAll(countries.filled);
        benchmark::DoNotOptimize(r.shape.size());
    });
    long long peer = -1;
#ifdef CARVEX_HAVE_GEOS
    GEOSGeometry* g = worldGeos();
    peer =
        countedheap::peakHeapOf([&] { GEOSGeom_destroy_r(geos(), GEOSUnaryUnion_r(geos(), g)); });
#endif
    std::printf("%8s %10.2f %10.2f\n", "world", world / 1e6, peer / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printPeakHeap();
    return 0;
}
