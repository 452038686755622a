#include "boolean/boolean.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "assembly/assembly.h"
#include "assembly/classification.h"
#include "assembly/outline.h"
#include "geometry/algorithm.h"
#include "intersection/beziersegment.h"
#include "intersection/boxgrid.h"
#include "intersection/finder.h"
#include "intersection/flattening.h"

namespace {

constexpr int kMinKnots = 3;

PairReason checkPair(const Spline& A, const Spline& B) {
    if (!A.closed || !B.closed) return PairReason::OpenSpline;
    if (A.size() < kMinKnots || B.size() < kMinKnots) return PairReason::TooFewKnots;
    if (&A == &B) return PairReason::SameSpline;
    return PairReason::None;
}

// Whether a knot or handle of the spline lies farther out in x or y than
// the fixed tolerances allow for. NaN is left to the stages, as before.
bool beyondMagnitude(const Spline& s, double threshold) {
    const double limit = largestCoordinate(threshold);
    auto far = [&](const Point3d& p) { return std::fabs(p.x) > limit || std::fabs(p.y) > limit; };
    for (const Knot* k : s)
        if (far(k->point) || far(k->inVec) || far(k->outVec)) return true;
    return false;
}

bool refuse(PairReason* out, PairReason why) {
    if (out) *out = why;
    return false;
}

// A point this close to the other outline lies on it: the distance at
// which a probe says nothing about its side of that outline.
constexpr double kOnOutline = 0.1;

double xyDistance(const Point3d& a, const Point3d& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Whether p lies closer than reach to the cubic in x and y, by halving it
// until its control points lie within a small part of reach of their chord.
bool nearCurve(const BezierSegment& c, const Point3d& p, double reach, int depth) {
    const double lox = std::min({c.p0.x, c.p1.x, c.p2.x, c.p3.x});
    const double hix = std::max({c.p0.x, c.p1.x, c.p2.x, c.p3.x});
    const double loy = std::min({c.p0.y, c.p1.y, c.p2.y, c.p3.y});
    const double hiy = std::max({c.p0.y, c.p1.y, c.p2.y, c.p3.y});
    if (!(p.x >= lox - reach && p.x <= hix + reach && p.y >= loy - reach && p.y <= hiy + reach))
        return false;
    const double bend =
        std::max(xyDistanceToEdge(c.p1, c.p0, c.p3), xyDistanceToEdge(c.p2, c.p0, c.p3));
    if (!(bend > 0.01 * reach) || depth == 0) return xyDistanceToEdge(p, c.p0, c.p3) < reach;
    BezierSegment left;
    BezierSegment right;
    c.subdivide(0.5, left, right);
    return nearCurve(left, p, reach, depth - 1) || nearCurve(right, p, reach, depth - 1);
}

// After this many questions the segments are indexed by their boxes.
constexpr int kQuestionsBeforeIndex = 8;

// Whether points lie on the outline of a closed spline, within reach. The
// literal algorithm tries every segment. The fast one tries only segments
// whose control points' box, grown by reach, holds the point (nearCurve
// turns every other one down before anything else), found in a grid over
// those boxes once enough points were asked about; both give the same
// answers, since only whether some segment is near counts.
class OutlineNear {
public:
    explicit OutlineNear(const Spline& s) : s_(s) {}
    OutlineNear(const OutlineNear&) = delete;
    OutlineNear& operator=(const OutlineNear&) = delete;

    bool holds(const Point3d& p, double reach) {
        const int n = s_.size();
        if (!indexed(p, reach)) {
            for (int i = 0; i < n; ++i)
                if (nearCurve(s_.segment(i, (i + 1) % n), p, reach, 40)) return true;
            return false;
        }
        // Wider than reach by more than the rounding of nearCurve's own box
        // test, so that every segment it could accept is a candidate.
        const double r = reach * (1.0 + 1e-9) + 1e-12 * (std::fabs(p.x) + std::fabs(p.y));
        grid_->query({p.x - r, p.y - r, p.x + r, p.y + r}, candidates_);
        for (int i : candidates_)
            if (nearCurve(s_.segment(i, (i + 1) % n), p, reach, 40)) return true;
        return false;
    }

private:
    // Whether the grid answers this question, built when first needed.
    bool indexed(const Point3d& p, double reach) {
        if (literalAlgorithm() || unusable_) return false;
        if (!(reach > 0.0) || !std::isfinite(reach) || !std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
        if (grid_) return true;
        if (++questions_ <= kQuestionsBeforeIndex) return false;
        const int n = s_.size();
        std::vector<Box> boxes;
        std::vector<int> ids;
        boxes.reserve(n);
        ids.reserve(n);
        for (int i = 0; i < n; ++i) {
            const BezierSegment c = s_.segment(i, (i + 1) % n);
            const Box b{std::min({c.p0.x, c.p1.x, c.p2.x, c.p3.x}),
                        std::min({c.p0.y, c.p1.y, c.p2.y, c.p3.y}),
                        std::max({c.p0.x, c.p1.x, c.p2.x, c.p3.x}),
                        std::max({c.p0.y, c.p1.y, c.p2.y, c.p3.y})};
            if (!std::isfinite(b.x0) || !std::isfinite(b.y0) || !std::isfinite(b.x1) ||
                !std::isfinite(b.y1)) {
                unusable_ = true;
                return false;
            }
            boxes.push_back(b);
            ids.push_back(i);
        }
        grid_ = std::make_unique<BoxGrid>(std::move(boxes), std::move(ids), n);
        return true;
    }

    const Spline& s_;
    int questions_ = 0;
    bool unusable_ = false;
    std::unique_ptr<BoxGrid> grid_;
    std::vector<int> candidates_;
};

// How far from a shared knot, in thresholds, A must be seen on B's outline
// before the two count as running along each other. Nearer the knot any
// crossing lies within reach of B; this far, only one below about half a
// degree still does.
constexpr double kAlongReach = 10.0;

// How many segments of A the look along B walks before it gives up: short
// segments next to a knot say nothing about the direction A leaves in.
constexpr int kAlongSegments = 16;

// Whether A, walked forward or backward from its knot i, stays on B's
// outline: every sample of the segments walked that lies more than a
// threshold from the knot lies on B (closer than kOnOutline thresholds), and
// the walk gets kAlongReach thresholds away. The finder puts a knot where a
// shared stretch ends, so the whole first segment that gets that far must
// lie on B; one that only touches B (a tangent) or crosses it, however
// shallowly, has left it by then. Measured on the segments themselves, since
// the finder moves knots without measuring the lengths again.
bool staysOnOutline(const Spline& A, int i, bool forward, OutlineNear& B, double threshold) {
    const int n = A.size();
    const Point3d& knot = A.at(i)->point;
    const double reach = kOnOutline * threshold;
    constexpr int kSamples = 8;
    int at = i;
    for (int walked = 0; walked < std::min(n, kAlongSegments); ++walked) {
        const int next = forward ? (at + 1) % n : (at + n - 1) % n;
        BezierSegment c = A.segment(forward ? at : next, forward ? next : at);
        if (!forward) c = {c.p3, c.p2, c.p1, c.p0};
        bool far = false;
        for (int k = 1; k <= kSamples; ++k) {
            const Point3d p = c.pointAt(double(k) / kSamples);
            const double away = xyDistance(p, knot);
            if (!(away > threshold)) continue;
            if (!B.holds(p, reach)) return false;
            far = far || away >= kAlongReach * threshold;
        }
        if (far) return true;
        at = next;
    }
    return false;
}

// Whether A runs along B's outline just before or just after its knot i.
bool runsAlong(const Spline& A, int i, OutlineNear& B, double threshold) {
    return staysOnOutline(A, i, true, B, threshold) || staysOnOutline(A, i, false, B, threshold);
}

// Every stage works in one space. B's knots are mapped into A's coordinates
// for the whole operation and both frames read as the identity meanwhile;
// on the way out A keeps its frame (the result is in its coordinates) and B
// goes back to its own. With equal frames, the rule everywhere in practice,
// no knot is touched.
class SharedSpace {
public:
    SharedSpace(Spline& A, Spline& B) : a_(A), b_(B), frameA_(A.frame), frameB_(B.frame) {
        if (frameA_ != frameB_) b_.transformKnots(frameB_ * inverseOf(frameA_));
        a_.frame = Matrix3d();
        b_.frame = Matrix3d();
    }
    ~SharedSpace() {
        a_.frame = frameA_;
        if (frameA_ != frameB_) b_.transformKnots(frameA_ * inverseOf(frameB_));
        b_.frame = frameB_;
    }
    SharedSpace(const SharedSpace&) = delete;
    SharedSpace& operator=(const SharedSpace&) = delete;

private:
    Spline& a_;
    Spline& b_;
    const Matrix3d frameA_;
    const Matrix3d frameB_;
};

// The knot of B nearest to a point in x and y, closer than the threshold: the
// first of equals in B's order, or -1. The literal algorithm measures every
// knot of B; the fast one only those in a grid box around the point, which
// holds every knot close enough.
class NearestKnot {
public:
    NearestKnot(const Spline& B, double threshold) : b_(B), threshold_(threshold) {
        usable_ = !literalAlgorithm() && std::isfinite(threshold);
        for (int k = 0; usable_ && k < B.size(); ++k) {
            const Point3d& p = B.at(k)->point;
            usable_ = std::isfinite(p.x) && std::isfinite(p.y);
            bounds_ = {std::min(bounds_.x0, p.x), std::min(bounds_.y0, p.y),
                       std::max(bounds_.x1, p.x), std::max(bounds_.y1, p.y)};
        }
    }

    int nearest(const Point3d& p) {
        int nearest = -1;
        double best = threshold_;
        auto consider = [&](int k) {
            const double d = xyDistance(p, b_.at(k)->point);
            if (d < best) {
                best = d;
                nearest = k;
            }
        };
        if (!usable_) {
            for (int k = 0; k < b_.size(); ++k)
                consider(k);
            return nearest;
        }
        // Nothing is closer than a negative or zero threshold, and nothing
        // outside the knots' box grown by it.
        if (!(threshold_ > 0.0)) return -1;
        const double reach = threshold_ * (1.0 + 1e-9);
        const Box around{p.x - reach, p.y - reach, p.x + reach, p.y + reach};
        if (!overlaps(around, bounds_)) return -1;
        if (!grid_) {
            std::vector<Box> boxes;
            std::vector<int> ids;
            boxes.reserve(b_.size());
            ids.reserve(b_.size());
            for (int k = 0; k < b_.size(); ++k) {
                const Point3d& q = b_.at(k)->point;
                boxes.push_back({q.x, q.y, q.x, q.y});
                ids.push_back(k);
            }
            grid_ = std::make_unique<BoxGrid>(std::move(boxes), std::move(ids), b_.size());
        }
        grid_->query(around, candidates_);
        for (int k : candidates_)
            consider(k);
        return nearest;
    }

private:
    const Spline& b_;
    const double threshold_;
    bool usable_ = false;
    Box bounds_{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    std::unique_ptr<BoxGrid> grid_;
    std::vector<int> candidates_;
};

bool hasIndexA(const IntersectionList& list, int index) {
    for (const Intersection* r : list)
        if (r->indexA == index) return true;
    return false;
}

// The finder drops a meeting point that is a knot of both splines, because
// it cannot tell a touch from a crossing there. Outlines often meet like
// that (every earlier result has knots at its crossings), so look at those
// shared knots here: where A passes from one side of B to the other, the
// knots already stand at a crossing and only the record is missing.
//
// Where A runs along B on either side of a shared knot or of a crossing the
// finder recorded, the outlines coincide for a stretch: the knot is no
// crossing, and the result says so.
bool addCrossingsAtSharedKnots(Spline& A, const Spline& B, const Outline& PB, double threshold,
                               IntersectionList& records) {
    const double len = A.totalLength();
    if (!(len > 0.0) || !std::isfinite(len)) return false;
    NearestKnot near(B, threshold);
    OutlineNear onB(B);
    const double offset = threshold / len;
    bool coincide = false;
    for (const Intersection* r : records)
        coincide = coincide || runsAlong(A, r->indexA, onB, threshold);
    bool added = false;
    for (int i = 0; i < A.size(); ++i) {
        if (hasIndexA(records, i)) continue;
        const Knot& a = *A.at(i);
        const int nearest = near.nearest(a.point);
        if (nearest < 0) continue;
        Intersection candidate;
        candidate.indexA = i;
        candidate.indexB = nearest;
        candidate.paramA = a.param;
        candidate.paramB = B.at(nearest)->param;
        candidate.point = a.point;
        if (findNear(records, candidate, threshold) != -1) continue;
        if (runsAlong(A, i, onB, threshold)) {
            coincide = true;
            continue;
        }
        const bool before = PB.contains(A.pointAtParameter(a.param - offset));
        const bool after = PB.contains(A.pointAtParameter(a.param + offset));
        if (before == after) continue;  // a touch, not a crossing
        records.append(new Intersection(candidate));
        added = true;
    }
    if (added)
        std::stable_sort(
            records.begin(), records.end(),
            [](const Intersection* x, const Intersection* y) { return x->paramA < y->paramA; });
    return coincide;
}

// The copy of A that runs are cut from. It keeps every knot of A, so the
// records' knot indices stay valid even where two knots coincide. The fast
// algorithm hands A's own knots over instead of copies (A is emptied next):
// measured afresh they are what the copies would be, and A's outline, which
// reads them, stays valid.
std::unique_ptr<Spline> workingCopy(Spline& A) {
    auto copy = std::make_unique<Spline>(A.name);
    if (literalAlgorithm()) {
        copy->copyFrom(A);
    } else {
        copy->swap(A);
        copy->frame = A.frame;
        copy->copyAttributes(A);
        copy->updateLengths();
    }
    if (std::isnan(copy->length)) copy->updateLengths();
    return copy;
}

// One run of the result: knots first to last of source, forward or back,
// from index start of the run on.
struct Run {
    const Spline* source;
    int first;
    int last;
    bool forward;
    int start;
};

// Appends the runs to the emptied A and closes it. The literal algorithm
// measures A after every run; only the last measure, at the close, is left
// in the knots, unless A ends up too short to measure (then the earlier
// ones left their parameters). The fast algorithm measures once and walks
// again, measuring every run, in that rare case.
void assemble(Spline& A, const Spline& copyOfA, const std::vector<Run>& runs) {
    const bool everyRun = literalAlgorithm();
    for (const Run& r : runs)
        appendRun(A, *r.source, r.first, r.last, r.forward, r.start, everyRun);
    closeResult(A);
    if (everyRun || A.length > 0.001) return;
    prepareForWalk(A, copyOfA);
    for (const Run& r : runs)
        appendRun(A, *r.source, r.first, r.last, r.forward, r.start, true);
    closeResult(A);
}

// Whether the run from knot first to knot last of a closed spline of size
// knots, walked forward or backward, passes a knot listed in sorted (ends
// excluded).
bool passesListedKnot(const std::vector<int>& sorted, int first, int last, int size, bool forward) {
    if (first == last) return false;
    if (!forward) std::swap(first, last);
    // Listed knots strictly between lo and hi.
    auto between = [&](int lo, int hi) {
        return std::upper_bound(sorted.begin(), sorted.end(), lo) <
               std::lower_bound(sorted.begin(), sorted.end(), hi);
    };
    if (first < last) return between(first, last);
    return between(first, size) || between(-1, last);
}

// Whether every run of the walk that starts at crossing s joins two crossings
// that follow each other on the run's own spline, as every run of a one-loop
// answer does. Tangled outlines break that, and stitching them anyway would
// copy most of a spline for every crossing: a result quadratic in size.
bool runsJoinNeighbours(const IntersectionList& I, int s, int sizeA, int sizeB, bool bForward) {
    std::vector<int> onA;
    std::vector<int> onB;
    for (const Intersection* r : I) {
        onA.push_back(r->indexA);
        onB.push_back(r->indexB);
    }
    std::sort(onA.begin(), onA.end());
    std::sort(onB.begin(), onB.end());
    const int n = I.size();
    for (int j = 0; j < n; ++j) {
        const Intersection& from = *I[(s + j) % n];
        const Intersection& to = *I[(s + j + 1) % n];
        const bool passes = j % 2 == 0
                                ? passesListedKnot(onA, from.indexA, to.indexA, sizeA, true)
                                : passesListedKnot(onB, from.indexB, to.indexB, sizeB, bForward);
        if (passes) return false;
    }
    return true;
}

bool inside(const Outline& polygon, Spline& spline, int knotIndex, double threshold) {
    const Knot* k = spline.knotAtWrapped(knotIndex);
    return k && polygon.contains(probePoint(spline, *k, threshold));
}

// Whether the middle of the run of spline from knot first forward to knot
// last lies inside the polygon.
bool middleInside(const Outline& polygon, Spline& spline, int first, int last) {
    const Knot* from = spline.knotAtWrapped(first);
    const Knot* to = spline.knotAtWrapped(last);
    if (!from || !to) return false;
    double end = to->param;
    if (!(end > from->param)) end += 1.0;
    return polygon.contains(spline.pointAtParameter((from->param + end) / 2.0));
}

// Whether the runs of A between successive crossings lie inside and outside
// B by turns, each probed at its middle, as runs between true crossings do.
// Where they do not, some record is a touch or one crossing recorded twice,
// and a walk of them all keeps the wrong runs.
bool sidesAlternate(const Outline& PB, Spline& A, const IntersectionList& I) {
    const int n = I.size();
    bool previous = false;
    for (int j = 0; j <= n; ++j) {
        const bool in = middleInside(PB, A, I[j % n]->indexA, I[(j + 1) % n]->indexA);
        if (j > 0 && in == previous) return false;
        previous = in;
    }
    return true;
}

// The side of the other outline on which the run of spline from knot first
// forward to knot last lies: probed a threshold past first, or, where that
// probe lies on the other outline and says nothing, at the middle of the run.
bool runInside(const Outline& polygon, const Spline& other, Spline& spline, int first, int last,
               double threshold) {
    const Knot* from = spline.knotAtWrapped(first);
    const Knot* to = spline.knotAtWrapped(last);
    if (!from || !to) return false;
    const Point3d probe = probePoint(spline, *from, threshold);
    if (!OutlineNear(other).holds(probe, kOnOutline * threshold)) return polygon.contains(probe);
    return middleInside(polygon, spline, first, last);
}

// The signed area the closed spline bounds, in closed form per cubic, and
// the diagonal of its control points' box.
double signedArea(const Spline& s, double* extent = nullptr) {
    auto cross = [](const Point3d& a, const Point3d& b) { return a.x * b.y - a.y * b.x; };
    double sum = 0.0;
    Box box{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    const int n = s.size();
    for (int i = 0; i < n; ++i) {
        const Knot& a = *s.at(i);
        const Knot& b = *s.at((i + 1) % n);
        sum += 6 * cross(a.point, a.outVec) + 3 * cross(a.point, b.inVec) +
               cross(a.point, b.point) + 3 * cross(a.outVec, b.inVec) +
               3 * cross(a.outVec, b.point) + 6 * cross(b.inVec, b.point);
        for (const Point3d& p : {a.point, a.inVec, a.outVec})
            box = {std::min(box.x0, p.x), std::min(box.y0, p.y), std::max(box.x1, p.x),
                   std::max(box.y1, p.y)};
    }
    if (extent) *extent = std::hypot(box.x1 - box.x0, box.y1 - box.y0);
    return sum / 20.0;
}

// Whether the answer is too small to be a region at the spline's extent.
bool degenerateAnswer(const Spline& s) {
    if (s.size() < kMinKnots) return true;
    double extent = 0.0;
    const double area = signedArea(s, &extent);
    const double least = 1e-10 * extent * extent;
    // Hostile coordinates measure nothing; they are left as they come.
    if (!std::isfinite(area) || !std::isfinite(least)) return false;
    return std::fabs(area) <= least;
}

// The range of areas A - B can have: at most A's, at least what B cannot
// take away from it, widened by a band a threshold wide along both
// outlines. An answer outside it is wrong however it was found.
struct AreaRange {
    double least = -HUGE_VAL;
    double most = HUGE_VAL;
    bool holds(const Spline& answer) const {
        const double area = std::fabs(signedArea(answer));
        return !std::isfinite(area) || (area >= least && area <= most);
    }
};

AreaRange subtractionRange(const Spline& A, const Spline& B, double threshold) {
    double extentA = 0.0;
    double extentB = 0.0;
    const double areaA = std::fabs(signedArea(A, &extentA));
    const double areaB = std::fabs(signedArea(B, &extentB));
    const double slack = 1e-6 * (areaA + areaB) + 4.0 * threshold * (extentA + extentB);
    if (!std::isfinite(slack)) return {};
    return {areaA - areaB - slack, areaA + slack};
}

// The walk of every crossing, alternating runs of A (kept inside B or
// outside it) and runs of B (inside A or outside), from the run of A that
// leaves its first kept crossing. Union keeps both outside, intersection
// both inside, subtraction A outside and B inside. False, with A as the
// finder left it, when the runs do not form one loop or form no region.
bool walkEveryCrossing(Spline& A, Spline& B, const Outline& PA, const Outline& PB,
                       const IntersectionList& I, bool keepAInside, bool keepBInside,
                       double threshold, PairReason* reason, const AreaRange& range = {},
                       bool sidesMustAlternate = false) {
    const int n = I.size();
    std::unique_ptr<Spline> AC = workingCopy(A);
    prepareForWalk(A, *AC);

    const bool aIn = inside(PB, *AC, I[0]->indexA, threshold);
    const int s = (aIn == keepAInside) ? 0 : 1;
    int prev = s;
    int cur = (s + 1) % n;
    const bool bIn = inside(PA, B, I[cur]->indexB, threshold);
    const bool bForward = bIn == keepBInside;
    if (!runsJoinNeighbours(I, s, AC->size(), B.size(), bForward)) {
        // Not one loop: A gets back the knots the finder left it.
        A.copyFrom(*AC);
        return refuse(reason, PairReason::NotOneLoop);
    }
    if (sidesMustAlternate && !sidesAlternate(PB, *AC, I)) {
        A.copyFrom(*AC);
        return refuse(reason, PairReason::NotOneLoop);
    }

    std::vector<Run> runs;
    bool runOfA = true;
    bool first = true;
    for (;;) {
        if (runOfA)
            runs.push_back({AC.get(), I[prev]->indexA, I[cur]->indexA, true, first ? 0 : 1});
        else
            runs.push_back({&B, I[prev]->indexB, I[cur]->indexB, bForward, 1});
        first = false;
        if (cur == s) break;
        prev = cur;
        cur = (cur + 1) % n;
        runOfA = !runOfA;
    }
    assemble(A, *AC, runs);
    if (degenerateAnswer(A)) {
        A.copyFrom(*AC);
        return refuse(reason, PairReason::DegenerateAnswer);
    }
    if (!range.holds(A)) {
        A.copyFrom(*AC);
        return refuse(reason, PairReason::ImpossibleArea);
    }
    return true;
}

// Preconditions and the magnitude limit, then the shared space.
PairReason admit(const Spline& A, const Spline& B, double threshold) {
    const PairReason why = checkPair(A, B);
    if (why != PairReason::None) return why;
    if (beyondMagnitude(A, threshold) || beyondMagnitude(B, threshold))
        return PairReason::BeyondMagnitude;
    return PairReason::None;
}

}  // namespace

double largestCoordinate(double threshold) {
    // A threshold that is not positive measures nothing; the stages meet it
    // as they always did.
    if (!(threshold > 0.0)) return kLargestCoordinate;
    return std::min(kLargestCoordinate, kCoordinateSpan * threshold);
}

QString pairReasonText(PairReason reason) {
    switch (reason) {
        case PairReason::None:
            return QStringLiteral("the splines were combined");
        case PairReason::OpenSpline:
            return QStringLiteral("one of the splines is open");
        case PairReason::TooFewKnots:
            return QStringLiteral("one of the splines has fewer than 3 knots");
        case PairReason::SameSpline:
            return QStringLiteral("the two splines are one and the same");
        case PairReason::Apart:
            return QStringLiteral("the outlines neither cross nor lie one inside the other");
        case PairReason::OddCrossings:
            return QStringLiteral("the outlines cross an odd number of times");
        case PairReason::NotOneLoop:
            return QStringLiteral("the answer is not one loop (it has several pieces or a hole)");
        case PairReason::OutlinesCoincide:
            return QStringLiteral("the outlines run along each other for a stretch");
        case PairReason::DegenerateAnswer:
            return QStringLiteral("the answer has no area");
        case PairReason::ImpossibleArea:
            return QStringLiteral(
                "the answer found has an area the operation cannot give, so it is wrong");
        case PairReason::NoSuchOperation:
            return QStringLiteral("the per-pair engine has no answer for this operation");
        case PairReason::BeyondMagnitude:
            return QStringLiteral(
                       "a coordinate lies beyond %1, where the fixed tolerances no "
                       "longer hold")
                .arg(kLargestCoordinate, 0, 'g', 3);
    }
    return QStringLiteral("unknown reason");
}

bool unionOrIntersect(Spline& A, Spline& B, bool unite, double threshold, PairReason* reason) {
    if (reason) *reason = PairReason::None;
    const PairReason why = admit(A, B, threshold);
    if (why != PairReason::None) return refuse(reason, why);
    SharedSpace space(A, B);

    IntersectionList I = findIntersections(A, B, threshold, kAngleTolerance);
    const Outline PA(A, kAngleTolerance);
    const Outline PB(B, kAngleTolerance);
    const bool coincide = addCrossingsAtSharedKnots(A, B, PB, threshold, I);
    const int n = I.size();
    if (n % 2 != 0 && !coincide) return refuse(reason, PairReason::OddCrossings);

    if (n == 0 || coincide) {
        // Containment is accepted only when no part of the inner outline lies
        // outside the outer one; points on the outer outline are allowed,
        // since outlines may touch at shared knots or run along each other
        // (identical outlines give A). Otherwise runs along the other
        // outline have no side to probe.
        if (PA.liesWithin(PB, threshold)) {
            if (unite) A.copyFrom(B);
            return true;
        }
        if (PB.liesWithin(PA, threshold)) {
            if (!unite) A.copyFrom(B);
            return true;
        }
        return refuse(reason, coincide ? PairReason::OutlinesCoincide : PairReason::Apart);
    }

    return walkEveryCrossing(A, B, PA, PB, I, !unite, !unite, threshold, reason);
}

bool subtract(Spline& A, Spline& B, double threshold, PairReason* reason) {
    if (reason) *reason = PairReason::None;
    const PairReason why = admit(A, B, threshold);
    if (why != PairReason::None) return refuse(reason, why);
    SharedSpace space(A, B);

    IntersectionList I = findIntersections(A, B, threshold, kAngleTolerance);
    const Outline PA(A, kAngleTolerance);
    const Outline PB(B, kAngleTolerance);
    const bool coincide = addCrossingsAtSharedKnots(A, B, PB, threshold, I);
    if (coincide) return refuse(reason, PairReason::OutlinesCoincide);
    const int n = I.size();
    if (n == 0) {
        // A inside B leaves nothing, B inside A cuts a hole; A stays as it was.
        if (PA.liesWithin(PB, threshold)) return refuse(reason, PairReason::DegenerateAnswer);
        if (PB.liesWithin(PA, threshold)) return refuse(reason, PairReason::NotOneLoop);
        return refuse(reason, PairReason::Apart);
    }
    if (n % 2 != 0) return refuse(reason, PairReason::OddCrossings);
    const AreaRange range = subtractionRange(A, B, threshold);
    if (n > 2)
        return walkEveryCrossing(A, B, PA, PB, I, false, true, threshold, reason, range, true);

    std::unique_ptr<Spline> AC = workingCopy(A);
    prepareForWalk(A, *AC);

    // Keep the run of A between the two crossings that lies outside B,
    // whichever knot A starts at, and close it with the run of B between
    // the same crossings that lies inside A.
    const int firstX = 0;
    const int lastX = 1;
    const bool wrapRunOutside =
        !runInside(PB, B, *AC, I[lastX]->indexA, I[firstX]->indexA, threshold);
    const int from = wrapRunOutside ? lastX : firstX;
    const int to = wrapRunOutside ? firstX : lastX;
    const bool bForward = runInside(PA, *AC, B, I[to]->indexB, I[from]->indexB, threshold);
    assemble(A, *AC,
             {{AC.get(), I[from]->indexA, I[to]->indexA, true, 0},
              {&B, I[to]->indexB, I[from]->indexB, bForward, 1}});
    if (degenerateAnswer(A)) {
        A.copyFrom(*AC);
        return refuse(reason, PairReason::DegenerateAnswer);
    }
    if (!range.holds(A)) {
        A.copyFrom(*AC);
        return refuse(reason, PairReason::ImpossibleArea);
    }
    return true;
}

bool applyOperation(Spline& A, Spline& B, carvex::Operation operation, double threshold,
                    PairReason* reason) {
    using carvex::Operation;
    if (reason) *reason = PairReason::None;
    switch (operation) {
        case Operation::Union:
            return unionOrIntersect(A, B, true, threshold, reason);
        case Operation::Intersect:
            return unionOrIntersect(A, B, false, threshold, reason);
        case Operation::SubtrA:
            return subtract(A, B, threshold, reason);
        case Operation::SubtrB: {
            // B - A is built in the operand's working copy and then taken over
            // by the base spline, whatever the subtraction answered.
            const bool combined = subtract(B, A, threshold, reason);
            Shape* parent = A.parent;
            // A combined B was measured when it was closed, and not changed
            // since.
            if (combined && !literalAlgorithm())
                A.copyFromMeasured(B);
            else
                A.copyFrom(B);
            A.parent = parent;
            return combined;
        }
        case Operation::Xor:
            break;
    }
    if (reason) *reason = PairReason::NoSuchOperation;
    return false;
}

void applyOperand(Shape& base, Shape& operand, carvex::Operation operation, double threshold,
                  QList<PairOutcome>* outcomes) {
    // B - A rewrites the operand spline it is given: each pair gets a working
    // copy of the operand spline as it came, so that no base spline meets
    // what an earlier one made of it.
    std::vector<std::unique_ptr<Spline>> pristine;
    if (operation == carvex::Operation::SubtrB) {
        for (const Spline* k : operand) {
            auto copy = std::make_unique<Spline>(k->name);
            copy->copyFrom(*k);
            pristine.push_back(std::move(copy));
        }
    }
    for (int s = 0; s < base.size(); ++s) {
        for (int k = 0; k < operand.size(); ++k) {
            PairReason reason = PairReason::None;
            bool combined;
            if (operation == carvex::Operation::SubtrB && k < int(pristine.size())) {
                Spline working(pristine[k]->name);
                working.copyFrom(*pristine[k]);
                combined = applyOperation(*base[s], working, operation, threshold, &reason);
            } else {
                combined = applyOperation(*base[s], *operand[k], operation, threshold, &reason);
            }
            if (outcomes) outcomes->append({s, k, combined, reason});
        }
    }
}
