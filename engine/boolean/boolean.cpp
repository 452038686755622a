#include "boolean/boolean.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "assembly/assembly.h"
#include "assembly/classification.h"
#include "assembly/outline.h"
#include "geometry/algorithm.h"
#include "intersection/boxgrid.h"
#include "intersection/finder.h"
#include "intersection/flattening.h"

namespace {

constexpr int kMinKnots = 3;

bool acceptsPair(const Spline& A, const Spline& B) {
    return A.closed && B.closed && A.size() >= kMinKnots && B.size() >= kMinKnots && &A != &B;
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

double xyDistance(const Point3d& a, const Point3d& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

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
void addCrossingsAtSharedKnots(Spline& A, const Spline& B, const Outline& PB, double threshold,
                               IntersectionList& records) {
    const double len = A.totalLength();
    if (!(len > 0.0) || !std::isfinite(len)) return;
    NearestKnot near(B, threshold);
    const double offset = threshold / len;
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

}  // namespace

bool unionOrIntersect(Spline& A, Spline& B, bool unite, double threshold) {
    if (!acceptsPair(A, B)) return false;
    SharedSpace space(A, B);

    IntersectionList I = findIntersections(A, B, threshold, kAngleTolerance);
    const Outline PA(A, kAngleTolerance);
    const Outline PB(B, kAngleTolerance);
    addCrossingsAtSharedKnots(A, B, PB, threshold, I);
    const int n = I.size();
    if (n % 2 != 0) return false;

    if (n == 0) {
        // Containment without crossings is accepted only when no part of the
        // inner outline lies outside the outer one; points on the outer
        // outline are allowed, since outlines may touch at shared knots.
        if (PA.liesWithin(PB, threshold)) {
            if (unite) A.copyFrom(B);
            return true;
        }
        if (PB.liesWithin(PA, threshold)) {
            if (!unite) A.copyFrom(B);
            return true;
        }
        return false;
    }

    std::unique_ptr<Spline> AC = workingCopy(A);
    prepareForWalk(A, *AC);

    const bool aIn = inside(PB, *AC, I[0]->indexA, threshold);
    const int s = (unite != aIn) ? 0 : 1;
    int prev = s;
    int cur = (s + 1) % n;
    const bool bIn = inside(PA, B, I[cur]->indexB, threshold);
    const bool bForward = unite ? !bIn : bIn;
    if (!runsJoinNeighbours(I, s, AC->size(), B.size(), bForward)) {
        // Not one loop: A gets back the knots the finder left it.
        A.copyFrom(*AC);
        return false;
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
    return true;
}

bool subtract(Spline& A, Spline& B, double threshold) {
    if (!acceptsPair(A, B)) return false;
    SharedSpace space(A, B);

    IntersectionList I = findIntersections(A, B, threshold, kAngleTolerance);
    const Outline PA(A, kAngleTolerance);
    const Outline PB(B, kAngleTolerance);
    addCrossingsAtSharedKnots(A, B, PB, threshold, I);
    const int n = I.size();
    if (n < 2) return false;

    std::unique_ptr<Spline> AC = workingCopy(A);
    prepareForWalk(A, *AC);

    // Keep the run of A between the first and the last crossing that lies
    // outside B, whichever knot A starts at, and close it with the run of B
    // between the same crossings that lies inside A.
    const int firstX = 0;
    const int lastX = n - 1;
    const bool wrapRunOutside = !inside(PB, *AC, I[lastX]->indexA, threshold);
    const int from = wrapRunOutside ? lastX : firstX;
    const int to = wrapRunOutside ? firstX : lastX;
    const bool bForward = inside(PA, B, I[to]->indexB, threshold);
    assemble(A, *AC,
             {{AC.get(), I[from]->indexA, I[to]->indexA, true, 0},
              {&B, I[to]->indexB, I[from]->indexB, bForward, 1}});
    return true;
}

bool applyOperation(Spline& A, Spline& B, int operation, double threshold) {
    switch (operation) {
        case Union:
            return unionOrIntersect(A, B, true, threshold);
        case Intersect:
            return unionOrIntersect(A, B, false, threshold);
        case SubtrA:
            return subtract(A, B, threshold);
        case SubtrB: {
            // B - A is built in the operand's working copy and then taken over
            // by the base spline, whatever the subtraction answered.
            const bool combined = subtract(B, A, threshold);
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
        default:
            return true;
    }
}

void applyOperand(Shape& base, Shape& operand, int operation, double threshold,
                  QList<PairOutcome>* outcomes) {
    for (int s = 0; s < base.size(); ++s) {
        for (int k = 0; k < operand.size(); ++k) {
            const bool combined = applyOperation(*base[s], *operand[k], operation, threshold);
            if (outcomes) outcomes->append({s, k, combined});
        }
    }
}
