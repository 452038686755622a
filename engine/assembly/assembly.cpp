#include "assembly/assembly.h"

#include <utility>

namespace {

// Knots of one run closer than this are one knot (appendKnot).
constexpr double kCoincident = 1e-10;
// Joints between runs, and the closing joint, are merged below this.
constexpr double kJoint = 0.001;

// Knot i of the source as the run meets it: walking backwards the handles
// trade places so that the run traces the same curve the other way round.
void takeKnot(Spline& run, const Spline& source, int i, bool forward) {
    const Knot& k = *source.at(i);
    if (forward) {
        appendKnot(run, k);
        return;
    }
    Knot reversed(k);
    std::swap(reversed.inVec, reversed.outVec);
    appendKnot(run, reversed);
}

// (to - from) / 3, built from its direction so that a vanishing difference
// gives no handle at all.
Point3d thirdOf(const Point3d& from, const Point3d& to) {
    const Point3d d = to - from;
    const double len = norm(d);
    return normalised(d) * len / 3.0;
}

// Fits the joint knot L, which ends the result, to the run whose skipped
// first knot Q repeats it and whose next knot N follows it.
void fitJoint(Knot& L, const Knot& Q, const Knot& N) {
    if (Q.type == Knot::Corner && N.type == Knot::Corner) {
        if (L.type == Knot::Corner) {
            L.inVec = L.point;
            L.outVec = L.point;
        } else {
            L.type = Knot::BezierCorner;
            L.outVec = L.point + thirdOf(Q.point, N.point);
        }
        return;
    }
    const double d1 = distance(Q.point, Q.outVec);
    const double d2 = distance(L.point, L.inVec);
    if (d1 >= kJoint) {
        L.type = Knot::BezierCorner;
        L.outVec = Q.outVec;
    } else if (d2 < kJoint) {
        L.type = Knot::Corner;
        L.inVec = L.point;
        L.outVec = L.point;
    } else {
        L.type = Knot::BezierCorner;
        L.outVec = L.point + thirdOf(Q.point, N.point);
    }
}

// Pulls a handle that reaches farther than gap back to a third of the gap.
void shortenHandle(const Point3d& point, Point3d& handle, double gap) {
    if (distance(point, handle) > gap) handle = point + normalised(handle - point) * gap / 3.0;
}

}  // namespace

Spline* extractPiece(const Spline& source, int first, int last, bool forward) {
    auto* run = new Spline();
    run->copyAttributes(source);
    const int n = source.size();
    if (first == last || (!source.closed && forward && last < first)) return run;
    // Bad indices would never meet last; give an empty run rather than loop.
    if (first < 0 || first >= n || last < 0 || last >= n) return run;
    int i = first;
    do {
        takeKnot(*run, source, i, forward);
        i = forward ? (i + 1) % n : (i - 1 + n) % n;
    } while (i != last);
    takeKnot(*run, source, last, forward);
    return run;
}

void appendPiece(Spline& result, const Spline& piece, int start) {
    if (result.isEmpty()) {
        for (int i = start; i < piece.size(); ++i)
            appendKnot(result, *piece.at(i));
        result.updateLengths();
        return;
    }
    for (int i = start; i < piece.size(); ++i) {
        const Knot& N = *piece.at(i);
        if (i == start) {
            Knot& L = *result.last();
            if (distance(L.point, N.point) < kJoint) {
                // The run starts where the result ends: one knot, two handles.
                if (L.type == Knot::Corner && N.type != Knot::Corner) L.type = Knot::BezierCorner;
                L.outVec = N.outVec;
                continue;
            }
            // From the second run on, knot 0 repeats L and only shapes the joint.
            if (i != 0) fitJoint(L, *piece.at(0), N);
        }
        result.append(new Knot(N));
    }
    result.updateLengths();
}

void appendKnot(Spline& spline, const Knot& knot) {
    if (knot.hasFlag(CustomFlag::Deleted)) return;
    if (!spline.isEmpty() && distance(spline.last()->point, knot.point) < kCoincident) {
        spline.last()->outVec = knot.outVec;
        return;
    }
    spline.append(new Knot(knot));
}

void closeResult(Spline& result) {
    // Closed before measuring, so the lengths include the closing segment
    // even when the result came in open.
    result.closed = true;
    if (result.isEmpty()) return;
    Knot& F = *result.first();
    Knot& L = *result.last();
    const double gap = distance(F.point, L.point);
    if (gap < kJoint) {
        // A lone knot is both ends; there is no duplicate to fold away.
        if (result.size() > 1) {
            if (F.type != L.type) F.type = Knot::BezierCorner;
            F.inVec = L.inVec;
            delete result.takeLast();
        }
    } else {
        // The closing segment spans only the gap: keep its handles inside it.
        shortenHandle(F.point, F.inVec, gap);
        shortenHandle(L.point, L.outVec, gap);
    }
    result.updateLengths();
}

void prepareForWalk(Spline& A, const Spline& copyOfA) {
    A.clearKnots();
    // A is Deleted here, so its own style and flags stay; the copy only brings
    // parent and closed.
    A.copyAttributes(copyOfA);
    A.clearFlag(CustomFlag::Deleted);
}
