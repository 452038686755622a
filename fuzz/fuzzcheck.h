#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "geometry/shape.h"

// A broken promise of the code under test: reported like a crash, so that
// the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// A reader must leave its target alone when it refuses: the harness puts
// one spline there first and checks that it is all the shape still holds.
inline const Spline* addKeptSpline(Shape& shape) {
    auto* kept = new Spline();
    kept->append(new Knot({1, 2, 0}, 0.0));
    shape.addSpline(kept);
    return kept;
}

inline bool holdsOnlyKept(const Shape& shape, const Spline* kept) {
    return shape.size() == 1 && shape.first() == kept && kept->size() == 1;
}

inline bool sameBits(const void* a, const void* b, std::size_t size) {
    return std::memcmp(a, b, size) == 0;
}

inline bool sameKnot(const Knot& p, const Knot& q) {
    return sameBits(&p.point, &q.point, sizeof p.point) &&
           sameBits(&p.inVec, &q.inVec, sizeof p.inVec) &&
           sameBits(&p.outVec, &q.outVec, sizeof p.outVec) && p.type == q.type;
}

// Frames, splines and knots, bit for bit.
inline bool sameShape(const Shape& a, const Shape& b) {
    if (a.size() != b.size() || !sameBits(a.frame.m, b.frame.m, sizeof a.frame.m)) return false;
    for (int s = 0; s < a.size(); ++s) {
        const Spline& x = *a.at(s);
        const Spline& y = *b.at(s);
        if (x.closed != y.closed || x.size() != y.size() ||
            !sameBits(x.frame.m, y.frame.m, sizeof x.frame.m))
            return false;
        for (int k = 0; k < x.size(); ++k)
            if (!sameKnot(*x.at(k), *y.at(k))) return false;
    }
    return true;
}
