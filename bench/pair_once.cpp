// Runs one Boolean operation on one benchmark pair, so that a profiler
// (valgrind --tool=callgrind) or a heap tracer (heaptrack) sees that and
// little else: pair_once family knots scale op [literal|region [times]].
// family 0 is the round pair, 1 the gear pair (see boolean_bench.cpp);
// "region" runs the region engine on them instead, `times` times.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "boolean/boolean.h"
#include "geometry/algorithm.h"
#include "shaperegion/shaperegion.h"
#include "regionshapes.h"

using namespace carvex;

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: pair_once family knots scale op [literal|region [times]]\n");
        return 2;
    }
    const int family = std::atoi(argv[1]);
    const int n = std::atoi(argv[2]);
    const double scale = std::atof(argv[3]);
    const carvex::Operation operation = carvex::Operation(std::atoi(argv[4]) & 3);
    const char* mode = argc > 5 ? argv[5] : "";
    auto a = family == 1 ? gearSpline(0, 0, scale, n, 0.0) : roundSpline(0, 0, scale, n);
    auto b =
        family == 1 ? gearPartner(0, 0, scale, n) : roundSpline(0.6 * scale, 0.1 * scale, scale, n);
    if (std::strcmp(mode, "region") == 0) {
        const int times = argc > 6 ? std::atoi(argv[6]) : 1;
        const Shape sa = shapeOf(std::move(a));
        const Shape sb = shapeOf(std::move(b));
        int loops = 0;
        for (int i = 0; i < times; ++i)
            loops = combine(sa, sb, operation).shape.size();
        std::printf("%d loops\n", loops);
        return 0;
    }
    AlgorithmScope scope(std::strcmp(mode, "literal") == 0 ? Algorithm::Literal : Algorithm::Fast);
    const bool done = applyOperation(*a, *b, operation, 1e-4 * scale);
    std::printf("%s: %d knots in A, %d in B\n", done ? "combined" : "left alone", int(a->size()),
                int(b->size()));
    return 0;
}
