#include "pairing/pairing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "boolean/boolean.h"

namespace {

struct Bounds {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    double magnitude = 0.0;
    // NaN would drop out of the minima and maxima unseen.
    bool finite = true;
};

// The box of every control point: the curve lies inside it.
Bounds boundsOf(const Spline& s) {
    Bounds b;
    auto add = [&](const Point3d& p) {
        b.x0 = std::min(b.x0, p.x);
        b.y0 = std::min(b.y0, p.y);
        b.x1 = std::max(b.x1, p.x);
        b.y1 = std::max(b.y1, p.y);
        b.magnitude = std::max({b.magnitude, std::fabs(p.x), std::fabs(p.y)});
        b.finite = b.finite && std::isfinite(p.x) && std::isfinite(p.y);
    };
    for (const Knot* k : s) {
        add(k->point);
        add(k->inVec);
        add(k->outVec);
    }
    return b;
}

// Whether the boxes lie apart by more than anything the engine reaches
// across: crossings, shared knots and containment are all looked for within
// the threshold. NaN anywhere answers no.
bool apart(const Bounds& a, const Bounds& b, double threshold) {
    const double margin = 4.0 * threshold + 1e-9 * std::max(a.magnitude, b.magnitude) + 1e-300;
    const double gapX = std::max(a.x0 - b.x1, b.x0 - a.x1);
    const double gapY = std::max(a.y0 - b.y1, b.y0 - a.y1);
    return gapX > margin || gapY > margin;
}

// Whether the engine's welding of near knots would remove a knot: it walks
// every knot and its successor, the closing pair included.
bool wouldWeld(const Spline& s, double threshold) {
    const int n = s.size();
    for (int i = 0; n > 1 && i < n; ++i)
        if (distance(s.at(i)->point, s.at((i + 1) % n)->point) < threshold) return true;
    return false;
}

// What the engine does to a spline of a pair it refuses, done once: the
// welding that removes nothing, the measuring, and for the second spline
// of the pair the mapping through the identity. `quiet` until the engine
// changes the spline again.
struct SplineState {
    bool quiet = false;
    bool weldsNothing = false;
    bool mapped = false;
    Bounds bounds;
};

// Whether the spline may be decided here, doing to it what the engine
// would. Knots that are not finite go to the engine: mapping them through
// the identity is not the same once as twice. The mapping changes no
// finite box, so the box is measured before it.
bool settle(Spline& s, SplineState& state, bool mapped, double threshold) {
    if (!state.quiet) {
        state = SplineState();
        state.weldsNothing = !wouldWeld(s, threshold);
        if (state.weldsNothing) {
            s.updateLengths();
            state.bounds = boundsOf(s);
        }
        state.quiet = true;
    }
    if (!state.weldsNothing || !state.bounds.finite) return false;
    if (mapped && !state.mapped) {
        s.transformKnots(Matrix3d());
        state.mapped = true;
    }
    return true;
}

bool acceptable(const Spline& a, const Spline& b) {
    return a.closed && b.closed && a.size() >= 3 && b.size() >= 3 && &a != &b &&
           a.frame == Matrix3d() && b.frame == Matrix3d();
}

}  // namespace

void applyOperandByPairs(Shape& base, Shape& operand, int operation, double threshold,
                         const PairReport& report) {
    const bool known = operation >= Union && operation <= SubtrB;
    const bool quick = known && threshold >= 0.0 && std::isfinite(threshold);
    std::vector<SplineState> operandStates(size_t(std::max(0, operand.size())));
    for (int s = 0; s < base.size(); ++s) {
        SplineState baseState;
        // Under SubtrB a refused pair makes the base spline a copy of the
        // operand spline: the copy is made only when it is looked at.
        int pendingCopy = -1;
        auto materialise = [&] {
            if (pendingCopy < 0) return;
            Spline& a = *base[s];
            Shape* parent = a.parent;
            a.copyFrom(*operand[pendingCopy]);
            a.parent = parent;
            pendingCopy = -1;
        };
        for (int k = 0; k < operand.size(); ++k) {
            if (size_t(operand.size()) > operandStates.size())
                operandStates.resize(size_t(operand.size()));
            Spline& b = *operand[k];
            SplineState& bState = operandStates[size_t(k)];
            bool decided = false;
            if (quick) {
                // Under SubtrB the engine takes the operand spline first.
                const bool operandMapped = operation != SubtrB;
                if (pendingCopy >= 0) {
                    // A copy of a settled operand spline is settled alike.
                    const Spline& source = *operand[pendingCopy];
                    if (acceptable(source, b) && settle(b, bState, operandMapped, threshold) &&
                        apart(operandStates[size_t(pendingCopy)].bounds, bState.bounds,
                              threshold) &&
                        operandStates[size_t(pendingCopy)].weldsNothing) {
                        pendingCopy = k;
                        decided = true;
                    }
                } else {
                    Spline& a = *base[s];
                    if (acceptable(a, b) && settle(a, baseState, false, threshold) &&
                        settle(b, bState, operandMapped, threshold) &&
                        apart(baseState.bounds, bState.bounds, threshold)) {
                        if (operation == SubtrB) pendingCopy = k;
                        decided = true;
                    }
                }
            }
            if (!decided) {
                materialise();
                PairReason reason = PairReason::None;
                const bool combined = applyOperation(*base[s], b, operation, threshold, &reason);
                baseState = SplineState();
                bState = SplineState();
                if (report) report({s, k, combined, reason});
                continue;
            }
            if (report) report({s, k, false, PairReason::Apart});
        }
        materialise();
    }
}
