#include "intersection/segmentintersection.h"

#include <cmath>

#include "intersection/flattening.h"

namespace {

// A side flag needs the point this far off the line, as the sine of the angle
// between the segment and the direction to the point.
constexpr double kCollinear = 0.001;

// The flags that put a point on the segment rather than beside it.
constexpr quint32 kOnSegment = Between | AtStart | AtEnd;

// Planar measures: the Boolean logic decides in x and y.
double planarLength(const Point3d& v) {
    return std::sqrt(v.x * v.x + v.y * v.y);
}
double planarDistance(const Point3d& a, const Point3d& b) {
    return planarLength(a - b);
}
Point3d planarDirection(const Point3d& v) {
    return normalised(Point3d(v.x, v.y, 0.0));
}

Intersection* newRecord(double paramA, double paramB, double lengthA, double lengthB,
                        const Point3d& point) {
    auto* r = new Intersection;
    r->paramA = paramA;
    r->paramB = paramB;
    r->lengthA = lengthA;
    r->lengthB = lengthB;
    r->point = point;
    return r;
}

// The segment ends that touch the other polyline, in a fixed order; the
// first one found stands for the whole pair.
bool appendEndContact(const BezierSegment& a, const BezierSegment& b, const PLine& la, double lenA,
                      const PLine& lb, double lenB, double threshold, IntersectionList& records) {
    double f = 0.0;
    if (la.locatePoint(b.p0, threshold, f)) {
        records.append(newRecord(f, 0.0, f * lenA, 0.0, b.p0));
        return true;
    }
    if (la.locatePoint(b.p3, threshold, f)) {
        records.append(newRecord(f, 1.0, f * lenA, lenB, b.p3));
        return true;
    }
    if (lb.locatePoint(a.p0, threshold, f)) {
        records.append(newRecord(0.0, f, 0.0, f * lenB, a.p0));
        return true;
    }
    if (lb.locatePoint(a.p3, threshold, f)) {
        records.append(newRecord(1.0, f, lenA, f * lenB, a.p3));
        return true;
    }
    return false;
}

}  // namespace

quint32 classifyPointOnSegment(const Point3d& p, const Point3d& a, const Point3d& b,
                               double tolerance, Point3d& foot, double& t) {
    if (planarDistance(p, a) < tolerance) {
        foot = a;
        t = 0.0;
        return AtStart | OnLine;
    }
    if (planarDistance(p, b) < tolerance) {
        foot = b;
        t = 1.0;
        return AtEnd | OnLine;
    }
    const Point3d d = b - a;
    if (planarLength(d) < tolerance) return Degenerate;

    const Point3d r = p - a;
    t = (r.x * d.x + r.y * d.y) / (d.x * d.x + d.y * d.y);
    // A NaN t falls through to Between, like any value that is not outside.
    const quint32 range = t < 0.0 ? Before : (t > 1.0 ? After : Between);

    const Point3d u = planarDirection(d);
    const Point3d v = planarDirection(r);
    const double c = u.x * v.y - u.y * v.x;
    if (std::fabs(c) > kCollinear) {
        foot = Point3d(a.x + t * d.x, a.y + t * d.y, a.z);
        if (planarDistance(p, foot) > tolerance) return range | (c > 0.0 ? Left : Right);
        return range;
    }
    foot = p;
    return range | OnLine;
}

bool PLine::locatePoint(const Point3d& p, double tolerance, double& param) const {
    if (size() < 2) return false;
    double acc = 0.0;
    for (int k = 0; k + 1 < size(); ++k) {
        const Point3d& a = at(k);
        const Point3d& b = at(k + 1);
        Point3d foot = a;
        double t = 0.0;
        const quint32 flags = classifyPointOnSegment(p, a, b, tolerance, foot, t);
        // The planar test accepts points above or below the edge; the
        // distance in three dimensions rejects those.
        if ((flags & kOnSegment) != 0 && distance(p, foot) < tolerance) {
            param = (acc + distance(foot, a)) / cachedLength;
            return true;
        }
        acc += distance(a, b);
    }
    return false;
}

bool intersectSegments(const BezierSegment& segmentA, const BezierSegment& segmentB,
                       IntersectionList& records, double angleTolerance, double threshold) {
    PLine la;
    PLine lb;
    appendToPolyline(segmentA, la, angleTolerance);
    appendToPolyline(segmentB, lb, angleTolerance);
    return intersectPolylines(segmentA, la, segmentB, lb, records, threshold);
}

bool intersectPolylines(const BezierSegment& segmentA, PLine& la, const BezierSegment& segmentB,
                        PLine& lb, IntersectionList& records, double threshold) {
    const double lenA = la.length();
    const double lenB = lb.length();

    if (appendEndContact(segmentA, segmentB, la, lenA, lb, lenB, threshold, records)) return true;

    // Every edge pair, ends included: a crossing through a shared vertex is
    // found twice and left for the caller to merge.
    bool found = false;
    double accA = 0.0;
    for (int i = 0; i + 1 < la.size(); ++i) {
        const Point3d& a0 = la.at(i);
        const Point3d& a1 = la.at(i + 1);
        double accB = 0.0;
        for (int j = 0; j + 1 < lb.size(); ++j) {
            const Point3d& b0 = lb.at(j);
            const Point3d& b1 = lb.at(j + 1);
            Point3d x;
            double s = 0.0;
            double u = 0.0;
            if (intersectLines(a0, a1, b0, b1, x, s, u, true, true, threshold)) {
                const double lengthA = accA + distance(x, a0);
                const double lengthB = accB + distance(x, b0);
                records.append(newRecord(lengthA / lenA, lengthB / lenB, lengthA, lengthB, x));
                found = true;
            }
            accB += distance(b0, b1);
        }
        accA += distance(a0, a1);
    }
    return found;
}
