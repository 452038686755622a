#include "assembly/outline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "assembly/classification.h"
#include "geometry/algorithm.h"
#include "intersection/beziersegment.h"
#include "intersection/boxgrid.h"
#include "intersection/flattening.h"

double xyDistanceToEdge(const Point3d& p, const Point3d& a, const Point3d& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

namespace {

// containsPoint's test of one edge: whether it crosses the ray from p to +x.
bool crossesRay(const Point3d& v, const Point3d& w, const Point3d& p) {
    // Half-open in y, so a vertex level with p is met by exactly one of its
    // two edges, and a horizontal edge (never divided by) by none.
    const bool counts = (v.y <= p.y && w.y > p.y) || (v.y > p.y && w.y <= p.y);
    if (!counts) return false;
    const double x = v.x + (w.x - v.x) * (p.y - v.y) / (w.y - v.y);
    return x > p.x;
}

// After this many questions the segments are indexed by bands of y.
constexpr int kQuestionsBeforeIndex = 8;
constexpr int kMaxBands = 4096;

}  // namespace

// The polygon as toPLine makes it: the first knot's point, then the pieces of
// every segment in turn, closed from the last vertex back to the first.
// Segment s's edges run from its start point through its pieces.
struct Outline::Lazy {
    QList<Knot*> knots;
    bool closed = false;
    int segments = 0;
    double angleTolerance = 0.0;
    std::vector<std::unique_ptr<PLine>> pieces;  // end points, made when asked for

    // The range of one coordinate of a segment's control points, grown by
    // how far rounding may carry a polyline point (each coordinate of one is
    // made from that coordinate of the control points alone); false (look at
    // the segment always) when the range is not finite.
    static bool range(double a, double b, double c, double d, double& lo, double& hi) {
        lo = std::min({a, b, c, d});
        hi = std::max({a, b, c, d});
        if (!(std::isfinite(lo) && std::isfinite(hi))) return false;
        const double largest = std::max(std::fabs(lo), std::fabs(hi));
        const double slack = 256.0 * std::numeric_limits<double>::epsilon() * largest + 1e-300;
        lo -= slack;
        hi += slack;
        return true;
    }

    bool yRange(int s, double& lo, double& hi) const {
        const Knot* a = knots.at(s);
        const Knot* b = knots.at((s + 1) % knots.size());
        return range(a->point.y, a->outVec.y, b->inVec.y, b->point.y, lo, hi);
    }

    bool box(int s, Box& box) const {
        const Knot* a = knots.at(s);
        const Knot* b = knots.at((s + 1) % knots.size());
        return range(a->point.x, a->outVec.x, b->inVec.x, b->point.x, box.x0, box.x1) &&
               range(a->point.y, a->outVec.y, b->inVec.y, b->point.y, box.y0, box.y1);
    }

    BezierSegment curve(int s) const {
        const Knot* a = knots.at(s);
        const Knot* b = knots.at((s + 1) % knots.size());
        return {a->point, a->outVec, b->inVec, b->point};
    }

    const PLine& piecesOf(int s) {
        if (pieces.empty()) pieces.resize(segments);
        std::unique_ptr<PLine>& p = pieces[s];
        if (!p) {
            // The pieces alone, as appendToPolyline appends them to a line
            // that is not empty.
            p = std::make_unique<PLine>();
            appendToPolyline(curve(s), *p, angleTolerance);
            p->removeFirst();
        }
        return *p;
    }

    const Point3d& first() const { return knots.first()->point; }
    const Point3d& last() const {
        return segments == 0 ? first() : knots.at(segments % knots.size())->point;
    }

    // Visits the segments whose boxes grown by reach may hold points at
    // height y: all of them at first, through bands of y once asked often
    // enough.
    template <typename Visit>
    void forSegmentsAt(double y, double reach, Visit visit) {
        largestReach = std::max(largestReach, reach);
        if (++questions <= kQuestionsBeforeIndex || (bands > 0 && reach > bandReach)) {
            for (int s = 0; s < segments; ++s)
                visit(s);
            return;
        }
        if (bands == 0) makeBands();
        for (int s : always)
            visit(s);
        const int b = band(y);
        for (int k = bandStart[b]; k < bandStart[b + 1]; ++k)
            visit(bandItems[k]);
    }

    // Bands over the y ranges grown by the largest reach asked about so far.
    void makeBands() {
        const double reach = largestReach;
        bandReach = reach;
        std::vector<Box> boxes(segments);
        std::vector<char> finite(segments);
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (int s = 0; s < segments; ++s) {
            finite[s] = yRange(s, boxes[s].y0, boxes[s].y1);
            if (!finite[s]) {
                always.push_back(s);
                continue;
            }
            lo = std::min(lo, boxes[s].y0 - reach);
            hi = std::max(hi, boxes[s].y1 + reach);
        }
        bands = 1;
        if (segments > 1 && hi > lo && std::isfinite(hi - lo)) {
            bands = std::min(segments, kMaxBands);
            bandBase = lo;
            bandScale = bands / (hi - lo);
        }
        std::vector<int> count(bands + 1, 0);
        for (int s = 0; s < segments; ++s)
            if (finite[s])
                for (int b = band(boxes[s].y0 - reach); b <= band(boxes[s].y1 + reach); ++b)
                    ++count[b + 1];
        for (int b = 0; b < bands; ++b)
            count[b + 1] += count[b];
        bandStart = count;
        bandItems.resize(count.back());
        for (int s = 0; s < segments; ++s)
            if (finite[s])
                for (int b = band(boxes[s].y0 - reach); b <= band(boxes[s].y1 + reach); ++b)
                    bandItems[count[b]++] = s;
    }

    int band(double y) const {
        if (bands == 1) return 0;
        const double scaled = (y - bandBase) * bandScale;
        if (!(scaled > 0.0)) return 0;
        if (scaled >= bands - 1) return bands - 1;
        return int(scaled);
    }

    int questions = 0;
    double largestReach = 0.0;
    double bandReach = 0.0;
    std::vector<int> always;
    double bandBase = 0.0;
    double bandScale = 0.0;
    int bands = 0;  // none made yet
    std::vector<int> bandStart;
    std::vector<int> bandItems;
};

Outline::Outline(const Spline& spline, double angleTolerance) {
    if (literalAlgorithm()) {
        toPLine(spline, polygon_, angleTolerance);
        return;
    }
    lazy_ = std::make_unique<Lazy>();
    Lazy& z = *lazy_;
    z.knots = spline;
    z.closed = spline.closed;
    z.angleTolerance = angleTolerance;
    const int n = spline.size();
    z.segments = n == 0 ? 0 : (spline.closed ? n : n - 1);
}

Outline::~Outline() = default;

bool Outline::contains(const Point3d& p) const {
    if (!lazy_) return containsPoint(polygon_, p);
    Lazy& z = *lazy_;
    if (z.knots.isEmpty()) return false;
    int count = 0;
    z.forSegmentsAt(p.y, 0.0, [&](int s) {
        double lo;
        double hi;
        if (z.yRange(s, lo, hi) && !(lo <= p.y && p.y <= hi)) return;
        Point3d v = z.curve(s).p0;
        for (const Point3d& w : z.piecesOf(s)) {
            if (crossesRay(v, w, p)) ++count;
            v = w;
        }
    });
    if (crossesRay(z.last(), z.first(), p)) ++count;
    return count % 2 == 1;
}

bool Outline::nearEdge(const Point3d& p, double threshold) const {
    if (!lazy_) {
        const int m = polygon_.size();
        for (int i = 0; i < m; ++i)
            if (xyDistanceToEdge(p, polygon_[i], polygon_[(i + 1) % m]) < threshold) return true;
        return false;
    }
    Lazy& z = *lazy_;
    if (z.knots.isEmpty()) return false;
    // A point closer than the threshold to an edge lies within the threshold
    // (and a little for rounding) of the edge's box.
    const double reach = threshold > 0.0 ? threshold * (1.0 + 1e-9) : 0.0;
    bool near = false;
    auto visit = [&](int s) {
        if (near) return;
        Box b;
        if (z.box(s, b) && !(b.x0 - reach <= p.x && p.x <= b.x1 + reach && b.y0 - reach <= p.y &&
                             p.y <= b.y1 + reach))
            return;
        Point3d v = z.curve(s).p0;
        for (const Point3d& w : z.piecesOf(s)) {
            if (xyDistanceToEdge(p, v, w) < threshold) {
                near = true;
                return;
            }
            v = w;
        }
    };
    z.forSegmentsAt(p.y, reach, visit);
    return near || xyDistanceToEdge(p, z.last(), z.first()) < threshold;
}

bool Outline::liesWithin(const Outline& outer, double threshold) const {
    auto within = [&](const Point3d& p) {
        return outer.contains(p) || outer.nearEdge(p, threshold);
    };
    if (!lazy_) {
        for (const Point3d& p : polygon_)
            if (!within(p)) return false;
        return !polygon_.isEmpty();
    }
    Lazy& z = *lazy_;
    if (z.knots.isEmpty()) return false;
    if (!within(z.first())) return false;
    for (int s = 0; s < z.segments; ++s)
        for (const Point3d& p : z.piecesOf(s))
            if (!within(p)) return false;
    return true;
}
