#include "boolean/boolean.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "assembly/assembly.h"
#include "assembly/classification.h"
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

PLine polygonOf(const Spline& s) {
    PLine p;
    toPLine(s, p, kAngleTolerance);
    return p;
}

double xyDistance(const Point3d& a, const Point3d& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

double xyDistanceToEdge(const Point3d& p, const Point3d& a, const Point3d& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool onBoundary(const PLine& polygon, const Point3d& p, double threshold) {
    const int m = polygon.size();
    for (int i = 0; i < m; ++i)
        if (xyDistanceToEdge(p, polygon[i], polygon[(i + 1) % m]) < threshold) return true;
    return false;
}

// Containment without crossings is accepted only when no part of the inner
// outline lies outside the outer one; points on the outer outline are
// allowed, since outlines may touch at shared knots.
bool liesWithin(const PLine& inner, const PLine& outer, double threshold) {
    for (const Point3d& p : inner)
        if (!containsPoint(outer, p) && !onBoundary(outer, p, threshold)) return false;
    return !inner.isEmpty();
}

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
void addCrossingsAtSharedKnots(Spline& A, Spline& B, const PLine& PB, double threshold,
                               IntersectionList& records) {
    const double len = A.totalLength();
    if (!(len > 0.0) || !std::isfinite(len)) return;
    const double offset = threshold / len;
    bool added = false;
    for (int i = 0; i < A.size(); ++i) {
        if (hasIndexA(records, i)) continue;
        const Knot& a = *A.at(i);
        int nearest = -1;
        double best = threshold;
        for (int k = 0; k < B.size(); ++k) {
            const double d = xyDistance(a.point, B.at(k)->point);
            if (d < best) {
                best = d;
                nearest = k;
            }
        }
        if (nearest < 0) continue;
        Intersection candidate;
        candidate.indexA = i;
        candidate.indexB = nearest;
        candidate.paramA = a.param;
        candidate.paramB = B.at(nearest)->param;
        candidate.point = a.point;
        if (findNear(records, candidate, threshold) != -1) continue;
        const bool before = containsPoint(PB, A.pointAtParameter(a.param - offset));
        const bool after = containsPoint(PB, A.pointAtParameter(a.param + offset));
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
// records' knot indices stay valid even where two knots coincide.
std::unique_ptr<Spline> workingCopy(const Spline& A) {
    auto copy = std::make_unique<Spline>(A.name);
    copy->copyFrom(A);
    if (std::isnan(copy->length)) copy->updateLengths();
    return copy;
}

void appendRun(Spline& result, const Spline& source, int first, int last, bool forward, int start) {
    std::unique_ptr<Spline> run(extractPiece(source, first, last, forward));
    appendPiece(result, *run, start);
}

bool inside(const PLine& polygon, Spline& spline, int knotIndex, double threshold) {
    const Knot* k = spline.knotAtWrapped(knotIndex);
    return k && containsPoint(polygon, probePoint(spline, *k, threshold));
}

}  // namespace

bool unionOrIntersect(Spline& A, Spline& B, bool unite, double threshold) {
    if (!acceptsPair(A, B)) return false;
    SharedSpace space(A, B);

    IntersectionList I = findIntersections(A, B, threshold, kAngleTolerance);
    const PLine PA = polygonOf(A);
    const PLine PB = polygonOf(B);
    addCrossingsAtSharedKnots(A, B, PB, threshold, I);
    const int n = I.size();
    if (n % 2 != 0) return false;

    if (n == 0) {
        if (liesWithin(PA, PB, threshold)) {
            if (unite) A.copyFrom(B);
            return true;
        }
        if (liesWithin(PB, PA, threshold)) {
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

    bool runOfA = true;
    bool first = true;
    for (;;) {
        if (runOfA)
            appendRun(A, *AC, I[prev]->indexA, I[cur]->indexA, true, first ? 0 : 1);
        else
            appendRun(A, B, I[prev]->indexB, I[cur]->indexB, bForward, 1);
        first = false;
        if (cur == s) break;
        prev = cur;
        cur = (cur + 1) % n;
        runOfA = !runOfA;
    }
    closeResult(A);
    return true;
}

bool subtract(Spline& A, Spline& B, double threshold) {
    if (!acceptsPair(A, B)) return false;
    SharedSpace space(A, B);

    IntersectionList I = findIntersections(A, B, threshold, kAngleTolerance);
    const PLine PA = polygonOf(A);
    const PLine PB = polygonOf(B);
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
    appendRun(A, *AC, I[from]->indexA, I[to]->indexA, true, 0);
    const bool bForward = inside(PA, B, I[to]->indexB, threshold);
    appendRun(A, B, I[to]->indexB, I[from]->indexB, bForward, 1);
    closeResult(A);
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
