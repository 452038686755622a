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

// What is known of a spline while nothing but this pre-check touches it:
// measured without changing it, then, once a pair of it is decided, the
// engine's own side effects of a refused pair done to it once (the welding
// that removes nothing measures the lengths again; the second spline of a
// pair is mapped through the identity). Repeating them changes nothing.
struct SplineState {
    bool measured = false;
    bool weldsNothing = false;
    Bounds bounds;
    bool settled = false;
    bool mapped = false;
};

void measure(const Spline& s, SplineState& state, double threshold) {
    if (state.measured) return;
    state.weldsNothing = !wouldWeld(s, threshold);
    state.bounds = boundsOf(s);
    state.measured = true;
}

void settle(Spline& s, SplineState& state, bool mapped) {
    if (!state.settled) {
        s.updateLengths();
        state.settled = true;
    }
    if (mapped && !state.mapped) {
        s.transformKnots(Matrix3d());
        state.mapped = true;
    }
}

bool acceptable(const Spline& a, const Spline& b) {
    return a.closed && b.closed && a.size() >= 3 && b.size() >= 3 && &a != &b &&
           a.frame == Matrix3d() && b.frame == Matrix3d();
}

// The engine's answer for a pair it refuses before it changes anything
// (BeyondMagnitude) or whose boxes lie apart (Apart); None when the pair
// needs the engine. Knots that are not finite go to the engine: mapping
// them through the identity is not the same once as twice.
PairReason quickReason(const Spline& a, SplineState& aState, const Spline& b, SplineState& bState,
                       double threshold) {
    if (!acceptable(a, b)) return PairReason::None;
    measure(a, aState, threshold);
    measure(b, bState, threshold);
    if (!aState.bounds.finite || !bState.bounds.finite) return PairReason::None;
    const double limit = largestCoordinate(threshold);
    if (aState.bounds.magnitude > limit || bState.bounds.magnitude > limit)
        return PairReason::BeyondMagnitude;
    if (aState.weldsNothing && bState.weldsNothing &&
        apart(aState.bounds, bState.bounds, threshold))
        return PairReason::Apart;
    return PairReason::None;
}

// Every pair to the engine, as applyOperand does it: for a base shape that
// is the operand shape too, where a pair changes both.
void applyOperandByEngine(Shape& shape, carvex::Operation operation, double threshold,
                          const PairReport& report) {
    QList<PairOutcome> outcomes;
    applyOperand(shape, shape, operation, threshold, &outcomes);
    if (report)
        for (const PairOutcome& o : outcomes)
            report(o);
}

}  // namespace

void applyOperandByPairs(Shape& base, Shape& operand, carvex::Operation operation, double threshold,
                         const PairReport& report, PairEngine engine) {
    if (&base == &operand) {
        applyOperandByEngine(base, operation, threshold, report);
        return;
    }
    if (!engine) engine = applyOperation;
    const bool known = operation != carvex::Operation::Xor;
    const bool quick = known && threshold >= 0.0 && std::isfinite(threshold);
    const bool subtrB = operation == carvex::Operation::SubtrB;
    // Under SubtrB the engine leaves the operand shape as it came, so what is
    // known of its splines holds for the whole run.
    std::vector<SplineState> operandStates(size_t(std::max(0, operand.size())));
    for (int s = 0; s < base.size(); ++s) {
        SplineState baseState;
        // Under SubtrB a pair the engine refuses makes the base spline a copy
        // of the operand spline: the copy is made only when it is looked at.
        int pendingCopy = -1;
        auto materialise = [&] {
            if (pendingCopy < 0) return;
            Spline& a = *base[s];
            Shape* parent = a.parent;
            a.copyFrom(*operand[pendingCopy]);
            a.parent = parent;
            pendingCopy = -1;
            baseState = SplineState();
        };
        for (int k = 0; k < operand.size(); ++k) {
            Spline& b = *operand[k];
            SplineState& bState = operandStates[size_t(k)];
            PairReason why = PairReason::None;
            if (quick) {
                const bool pending = pendingCopy >= 0;
                const Spline& a = pending ? *operand[pendingCopy] : *base[s];
                SplineState& aState = pending ? operandStates[size_t(pendingCopy)] : baseState;
                why = quickReason(a, aState, b, bState, threshold);
            }
            if (why == PairReason::None) {
                materialise();
                PairReason reason = PairReason::None;
                bool combined;
                if (subtrB) {
                    // The engine's working copy of the operand spline as it came.
                    Spline working(b.name);
                    working.copyFrom(b);
                    combined = engine(*base[s], working, operation, threshold, &reason);
                } else {
                    combined = engine(*base[s], b, operation, threshold, &reason);
                    bState = SplineState();
                }
                baseState = SplineState();
                if (report) report({s, k, combined, reason});
                continue;
            }
            if (subtrB) {
                pendingCopy = k;
            } else if (why == PairReason::Apart) {
                settle(*base[s], baseState, false);
                settle(b, bState, true);
            }
            if (report) report({s, k, false, why});
        }
        materialise();
    }
}
