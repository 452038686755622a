#include "assembly/splitting.h"

#include <algorithm>
#include <cmath>

#include "geometry/algorithm.h"
#include "intersection/beziersegment.h"

int mergeNearKnots(Spline& spline, double minDistance) {
    const int before = spline.size();
    int i = 0;
    // One knot must stay: on a closed spline the last one would otherwise be
    // compared with itself and removed, and later stages index knot 0.
    while (i < spline.size() && spline.size() > 1) {
        const int n = spline.size();
        const int j = (i + 1) % n;
        if (j < i && !spline.closed) {
            ++i;
            continue;
        }
        Knot* survivor = spline.at(i);
        if (distance(survivor->point, spline.at(j)->point) < minDistance) {
            // The curve leaving the merged point keeps the removed knot's shape.
            survivor->outVec = spline.at(j)->outVec;
            delete spline.takeAt(j);
            // Removing knot 0 shifts i onto the new count, which ends the walk.
        } else {
            ++i;
        }
    }
    spline.updateLengths();
    return before - spline.size();
}

namespace {

// splitAt once the parameter is mapped to Bezier parameter u (clamped here)
// on segment s to e: the knot's index, or -1 after an insertion at s + 1,
// which leaves the lengths to the caller.
int snapOrInsert(Spline& spline, double t, int s, int e, double u, double threshold) {
    u = std::clamp(u, 0.0, 1.0);
    const BezierSegment segment = spline.segment(s, e);

    // Threshold in Bezier parameter units. A zero-length segment makes it
    // infinite, or NaN with a zero threshold; both keep the start knot, as
    // does a NaN parameter.
    const double tolerance = threshold / spline.at(s)->segLength;
    if (!(u >= tolerance)) return s;
    if (u > 1.0 - tolerance) return e;

    BezierSegment left;
    BezierSegment right;
    segment.subdivide(u, left, right);
    const Point3d& m = left.p3;
    Knot* knot =
        segment.isStraight() ? new Knot(m, t) : new Knot(m, left.p2, right.p1, t, Knot::Bezier);
    knot->setFlag(CustomFlag::Crossing);

    // The two halves trace the old segment exactly.
    spline.at(s)->outVec = left.p1;
    spline.at(e)->inVec = right.p2;
    spline.insert(s + 1, knot);
    return -1;
}

}  // namespace

int splitAt(Spline& spline, double t, double threshold) {
    if (spline.isEmpty()) return -1;
    int s = -1;
    int e = -1;
    const double u = spline.localParameter(t, s, e);
    const int kept = snapOrInsert(spline, t, s, e, u, threshold);
    if (kept >= 0) return kept;
    spline.updateLengths();
    return s + 1;
}

KnotPlacement::KnotPlacement(Spline& spline, double threshold)
    : spline_(spline), threshold_(threshold) {
    // Parameters that ascend and a finite total: the segment of a parameter
    // can be found by bisection, and every later total stays finite.
    incremental_ = !literalAlgorithm() && spline.closed && spline.size() >= 2 &&
                   spline.lengthsValid && std::isfinite(spline.length);
}

KnotPlacement::~KnotPlacement() {
    finish();
}

double KnotPlacement::param(int index) const {
    const Knot* k = spline_.at(index);
    return paramsPending_ ? k->lengthBefore / spline_.length : k->param;
}

// Spline::localParameter on a closed spline with valid lengths, with the
// first segment whose range holds t found by bisection: parameters ascend,
// so "the next knot's parameter is at least t" holds from some segment on.
void KnotPlacement::locate(double t, int& s, int& e, double& u) const {
    const int n = spline_.size();
    if (t < 0.0) t += std::ceil(-t);
    if (t > 1.0) t -= std::ceil(t) - 1.0;
    if (t > 0.0 && t < 1.0) {
        int lo = 0;
        int hi = n - 1;  // the closing segment takes what no other does
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (param(mid + 1) >= t)
                hi = mid;
            else
                lo = mid + 1;
        }
        s = lo;
        e = lo + 1 == n ? 0 : lo + 1;
        const double along = (t - param(s)) * spline_.length;
        u = fastParameterAtLength(spline_.segment(s, e), along, 1e-10);
        return;
    }
    if (t < 0.5) {
        s = 0;
        e = 1;
        u = 0.0;
    } else {
        s = n - 1;
        e = 0;
        u = 1.0;
    }
}

int KnotPlacement::split(double t) {
    if (!incremental_) return splitAt(spline_, t, threshold_);
    int s = -1;
    int e = -1;
    double u = 0.0;
    locate(t, s, e, u);
    const int kept = snapOrInsert(spline_, t, s, e, u, threshold_);
    if (kept >= 0) return kept;
    if (measured_) {
        remeasure(s);
        return s + 1;
    }
    // The lengths found here may be older than the knots (the finder brings
    // B into A's frame after measuring it): the first insertion measures
    // every segment, as splitAt does.
    spline_.updateLengths();
    measured_ = true;
    changed_.clear();
    incremental_ = spline_.lengthsValid && std::isfinite(spline_.length);
    return s + 1;
}

void KnotPlacement::moved(int index) {
    if (!incremental_ || !measured_) return;
    const int n = spline_.size();
    changed_.push_back(index == 0 ? n - 1 : index - 1);
    changed_.push_back(index);
}

// What Spline::updateLengths computes after an insertion at s + 1: lengths
// of unchanged segments are what they were, and so are the running totals
// before the first changed segment.
void KnotPlacement::remeasure(int s) {
    const int n = spline_.size();
    int first = s;
    auto measure = [&](int i) {
        Knot* k = spline_.at(i);
        k->segLength = rememberedLength(*k, *spline_.at(i + 1 == n ? 0 : i + 1));
        first = std::min(first, i);
    };
    for (int i : changed_)
        measure(i > s ? i + 1 : i);
    changed_.clear();
    measure(s);
    measure(s + 1);

    double total = spline_.at(first)->lengthBefore;
    for (int i = first; i < n; ++i)
        total += spline_.at(i)->segLength;
    if (!(total > 0.001) || !std::isfinite(total)) {
        // The parameters of the last measure stay where no new one is made
        // (the new knot keeps t); a non-finite total makes new ones. Either
        // way the ordinary calls take over from here.
        const Knot* added = spline_.at(s + 1);
        if (paramsPending_) {
            for (Knot* k : spline_)
                if (k != added) k->param = k->lengthBefore / spline_.length;
            paramsPending_ = false;
        }
        spline_.updateLengths();
        incremental_ = false;
        return;
    }
    double running = spline_.at(first)->lengthBefore;
    for (int i = first; i < n; ++i) {
        Knot* k = spline_.at(i);
        k->lengthBefore = running;
        running += k->segLength;
    }
    spline_.length = running;
    spline_.lengthsValid = true;
    paramsPending_ = true;
}

void KnotPlacement::finish() {
    if (!paramsPending_) return;
    for (Knot* k : spline_)
        k->param = k->lengthBefore / spline_.length;
    paramsPending_ = false;
}
