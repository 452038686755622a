#include "intersection/finder.h"

#include <algorithm>
#include <cmath>

#include "assembly/splitting.h"
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
// snapped by splitAt, then moved rigidly with its handles.
Knot* placeKnot(Spline& spline, double t, const Point3d& point, double threshold, int& index) {
    index = splitAt(spline, t, threshold);
    Knot* knot = spline.at(index);
    const Point3d d = point - knot->point;
    knot->point += d;
    knot->inVec += d;
    knot->outVec += d;
    knot->setFlag(CustomFlag::Crossing);
    return knot;
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
            if (!intersectSegments(segA, B.segment(k, l), pair, angleTolerance, threshold))
                continue;
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
                if (findNear(result, record, threshold) == -1)
                    result.append(new Intersection(record));
            }
        }
    }

    // Ascending parameters put every insertion behind the knots recorded
    // before it, so their indices stay valid.
    sortByParamA(result);
    for (Intersection* r : result) {
        const Knot* knot = placeKnot(A, r->paramA, r->point, threshold, r->indexA);
        r->paramA = knot->param;
    }
    sortByParamB(result);
    for (Intersection* r : result) {
        const Knot* knot = placeKnot(B, r->paramB, r->point, threshold, r->indexB);
        r->paramB = knot->param;
    }
    sortByParamA(result);

    B.transformKnots(A.frame * inverseOf(B.frame));
    return result;
}
