// Runs one Boolean operation on one benchmark pair, once, so that a profiler
// (valgrind --tool=callgrind) or a heap tracer (heaptrack) sees that and
// little else: pair_once family knots scale op [literal].
// family 0 is the round pair, 1 the gear pair (see boolean_bench.cpp).

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "boolean/boolean.h"
#include "geometry/algorithm.h"
#include "testshapes.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: pair_once family knots scale op [literal]\n");
        return 2;
    }
    const int family = std::atoi(argv[1]);
    const int n = std::atoi(argv[2]);
    const double scale = std::atof(argv[3]);
    const int operation = std::atoi(argv[4]);
    const bool literal = argc > 5 && std::strcmp(argv[5], "literal") == 0;
    AlgorithmScope scope(literal ? Algorithm::Literal : Algorithm::Fast);
    auto a = family == 1 ? gearSpline(0, 0, scale, n, 0.0) : roundSpline(0, 0, scale, n);
    auto b =
        family == 1 ? gearPartner(0, 0, scale, n) : roundSpline(0.6 * scale, 0.1 * scale, scale, n);
    const bool done = applyOperation(*a, *b, operation, 1e-4 * scale);
    std::printf("%s: %d knots in A, %d in B\n", done ? "combined" : "left alone", int(a->size()),
                int(b->size()));
    return 0;
}
