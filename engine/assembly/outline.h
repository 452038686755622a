#pragma once

#include <QList>
#include <memory>

#include "geometry/pline.h"
#include "geometry/spline.h"

// A spline's polygon (toPLine's) as the Boolean driver asks about it.
//
// The literal algorithm flattens every segment up front and scans every
// edge. The fast one keeps the spline's knots (not copies: they must outlive
// the outline, unchanged, even if the spline lets go of them), flattens a
// segment only when a question reaches the box of its control points, which
// holds its polyline, and gives the same answers.
class Outline {
public:
    Outline(const Spline& spline, double angleTolerance);
    ~Outline();
    Outline(const Outline&) = delete;
    Outline& operator=(const Outline&) = delete;

    // containsPoint on the polygon.
    bool contains(const Point3d& p) const;
    // Whether p lies closer than threshold to an edge of the polygon, closing
    // edge included, in x and y.
    bool nearEdge(const Point3d& p, double threshold) const;
    // Whether every vertex of this polygon lies inside outer or near its
    // edges; false for an empty polygon.
    bool liesWithin(const Outline& outer, double threshold) const;

private:
    struct Lazy;

    PLine polygon_;               // literal: the whole polygon
    std::unique_ptr<Lazy> lazy_;  // fast
};

// The distance in x and y from p to the straight edge from a to b.
double xyDistanceToEdge(const Point3d& p, const Point3d& a, const Point3d& b);
