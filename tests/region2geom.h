#pragma once

// Shapes to and from a general Bezier Boolean library's path vectors, for
// using it as a peer in tests and benchmarks. Header only: only the targets
// that link the library include it.

#include <2geom/bezier-curve.h>
#include <2geom/intersection-graph.h>
#include <2geom/path.h>
#include <2geom/pathvector.h>

#include "drawnshapes.h"

namespace drawn {

inline Geom::PathVector toPathVector(const Shape& s) {
    Geom::PathVector out;
    for (const Loop& loop : loopsOf(s)) {
        Geom::Path path(Geom::Point(loop.front()[0].x, loop.front()[0].y));
        for (const Cubic& c : loop)
            path.appendNew<Geom::CubicBezier>(Geom::Point(c[1].x, c[1].y),
                                              Geom::Point(c[2].x, c[2].y),
                                              Geom::Point(c[3].x, c[3].y));
        path.close(true);
        out.push_back(path);
    }
    return out;
}

// The library answers with lines and cubics; anything else (it makes none
// for cubic input) sets `ok` to false.
inline Shape fromPathVector(const Geom::PathVector& pv, bool* ok = nullptr) {
    if (ok) *ok = true;
    Shape out;
    for (const Geom::Path& path : pv) {
        const std::size_t n = path.size_closed();
        if (n == 0) continue;
        std::vector<KnotSpec> knots(n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto* bezier = dynamic_cast<const Geom::BezierCurve*>(&path[i]);
            if (!bezier || (bezier->order() != 1 && bezier->order() != 3)) {
                if (ok) *ok = false;
                continue;
            }
            const Geom::Point a = bezier->controlPoint(0);
            const Geom::Point b = bezier->controlPoint(bezier->order());
            const Geom::Point h1 = bezier->order() == 3 ? bezier->controlPoint(1) : a;
            const Geom::Point h2 = bezier->order() == 3 ? bezier->controlPoint(2) : b;
            knots[i].point = {a.x(), a.y()};
            knots[i].out = {h1.x(), h1.y()};
            knots[(i + 1) % n].in = {h2.x(), h2.y()};
        }
        out.addSpline(splineOf(knots, true));
    }
    return out;
}

enum class PeerOp { Union, Intersection, AMinusB, BMinusA };

// The library's answer, or false when it throws (it does on some
// degenerate input).
inline bool peerCombine(const Geom::PathVector& a, const Geom::PathVector& b, PeerOp op,
                        Geom::PathVector& result) {
    try {
        Geom::PathIntersectionGraph graph(a, b);
        switch (op) {
            case PeerOp::Union:
                result = graph.getUnion();
                break;
            case PeerOp::Intersection:
                result = graph.getIntersection();
                break;
            case PeerOp::AMinusB:
                result = graph.getAminusB();
                break;
            case PeerOp::BMinusA:
                result = graph.getBminusA();
                break;
        }
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace drawn
