#include "intersection/finder.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "assembly/splitting.h"
#include "geometry/algorithm.h"
#include "intersection/flattening.h"
#include "intersection/pairsearch.h"
#include "intersection/segmentintersection.h"

namespace {

// A strict weak ordering even for NaN, which sorts after every number: an
// inconsistent comparator lets std::sort run past the ends of the list.
bool parameterLess(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

void sortByParamA(IntersectionList& list) {
    std::sort(list.begin(), list.end(), [](const Intersection* a, const Intersection* b) {
        return parameterLess(a->paramA, b->paramA);
    });
}

void sortByParamB(IntersectionList& list) {
    std::sort(list.begin(), list.end(), [](const Intersection* a, const Intersection* b) {
        return parameterLess(a->paramB, b->paramB);
    });
}

bool strictlyInside(double v) {
    return 0.0 < v && v < 1.0;
}

// Makes the knot at spline parameter t stand exactly on point: inserted or
// snapped by splitAt, then moved rigidly with its handles. Returns the knot's
// parameter.
double placeKnot(KnotPlacement& placement, Spline& spline, double t, const Point3d& point,
                 int& index) {
    index = placement.split(t);
    Knot* knot = spline.at(index);
    const Point3d d = point - knot->point;
    knot->point += d;
    knot->inVec += d;
    knot->outVec += d;
    knot->setFlag(CustomFlag::Crossing);
    placement.moved(index);
    return placement.param(index);
}

// The spline parameter of a meeting point on segment (i, j). A contact at
// an end of the segment is that knot's own parameter: adding the polyline's
// length to the curve's lengths would land a little short of the knot, where
// a second knot would then be inserted and stacked onto it.
double splineParameter(const Spline& s, int i, int j, double segmentParam, double lengthAlong) {
    if (segmentParam == 0.0) return s.at(i)->param;
    if (segmentParam == 1.0) return s.at(j)->param;
    return (s.at(i)->lengthBefore + lengthAlong) / s.length;
}

// Turns the records of one segment pair into spline records and keeps those
// that are not at a knot of both splines nor near one kept before.
void keepRecords(const Spline& A, int i, int j, const Spline& B, int k, int l,
                 const IntersectionList& pair, double threshold, IntersectionList& result) {
    for (const Intersection* found : pair) {
        // At an end of both segments is at a knot of both splines:
        // nothing to split there.
        if (!strictlyInside(found->paramA) && !strictlyInside(found->paramB)) continue;
        auto record = *found;
        record.indexA = i;
        record.indexB = k;
        record.paramA = splineParameter(A, i, j, found->paramA, record.lengthA);
        record.paramB = splineParameter(B, k, l, found->paramB, record.lengthB);
        // The first of a cluster found within the threshold stays.
        if (findNear(result, record, threshold) == -1) result.append(new Intersection(record));
    }
}

// Every segment of A against every segment of B, each pair flattened afresh.
IntersectionList searchAllPairs(const Spline& A, const Spline& B, double threshold,
                                double angleTolerance) {
    IntersectionList result;
    const int nA = A.size();
    const int nB = B.size();
    for (int i = 0; i < nA; ++i) {
        const int j = (i + 1) % nA;
        if (j < i && !A.closed) continue;
        const BezierSegment segA = A.segment(i, j);
        for (int k = 0; k < nB; ++k) {
            const int l = (k + 1) % nB;
            if (l < k && !B.closed) continue;
            IntersectionList pair;
            if (intersectSegments(segA, B.segment(k, l), pair, angleTolerance, threshold))
                keepRecords(A, i, j, B, k, l, pair, threshold, result);
        }
    }
    return result;
}

// The same records as searchAllPairs, in the same order: the pairs are
// visited in the same order, those that provably meet nowhere are left out,
// and every segment is flattened once.
IntersectionList searchNearPairs(const Spline& A, const Spline& B, double threshold,
                                 double angleTolerance) {
    IntersectionList result;
    const SegmentList segA(A);
    const SegmentList segB(B);
    SegmentLines linesA(segA, angleTolerance);
    SegmentLines linesB(segB, angleTolerance);
    const int nA = segA.size();
    const int nB = segB.size();

    SegmentPairs near;
    const bool pruned = findSegmentPairs(segA, segB, threshold, near, &linesA, &linesB);
    std::vector<int> everyB;
    if (!pruned) {
        for (int b = 0; b < nB; ++b)
            everyB.push_back(b);
    }
    for (int a = 0; a < nA; ++a) {
        const int* first = pruned ? near.partners.data() + near.start[a] : everyB.data();
        const int* last = pruned ? near.partners.data() + near.start[a + 1] : everyB.data() + nB;
        for (const int* b = first; b != last; ++b) {
            IntersectionList pair;
            if (intersectPolylines(segA.at(a), linesA.at(a), segB.at(*b), linesB.at(*b), pair,
                                   threshold))
                keepRecords(A, segA.from(a), segA.to(a), B, segB.from(*b), segB.to(*b), pair,
                            threshold, result);
        }
    }
    return result;
}

}  // namespace

int findNear(const IntersectionList& list, const Intersection& record, double threshold) {
    for (int k = 0; k < list.size(); ++k) {
        const Point3d& p = list.at(k)->point;
        const double dx = p.x - record.point.x;
        const double dy = p.y - record.point.y;
        if (std::sqrt(dx * dx + dy * dy) < threshold) return k;
    }
    return -1;
}

IntersectionList findIntersections(Spline& A, Spline& B, double threshold, double angleTolerance) {
    mergeNearKnots(A, threshold);
    mergeNearKnots(B, threshold);
    B.transformKnots(B.frame * inverseOf(A.frame));

    IntersectionList result = literalAlgorithm() ? searchAllPairs(A, B, threshold, angleTolerance)
                                                 : searchNearPairs(A, B, threshold, angleTolerance);

    // Ascending parameters put every insertion behind the knots recorded
    // before it, so their indices stay valid.
    sortByParamA(result);
    {
        KnotPlacement placement(A, threshold);
        for (Intersection* r : result)
            r->paramA = placeKnot(placement, A, r->paramA, r->point, r->indexA);
    }
    sortByParamB(result);
    {
        KnotPlacement placement(B, threshold);
        for (Intersection* r : result)
            r->paramB = placeKnot(placement, B, r->paramB, r->point, r->indexB);
    }
    sortByParamA(result);

    B.transformKnots(A.frame * inverseOf(B.frame));
    return result;
}

IntersectionList findIntersectionsLiteral(Spline& A, Spline& B, double threshold,
                                          double angleTolerance) {
    AlgorithmScope literal(Algorithm::Literal);
    return findIntersections(A, B, threshold, angleTolerance);
}
