#pragma once

#include <QVector>

#include "geometry/knot.h"
#include "geometry/point3d.h"
#include "geometry/shape.h"

// The knot type that fits a knot's handles: Corner when both handles sit on
// the point, Bezier when they point in exactly opposite directions (a smooth
// tangent), BezierCorner otherwise.
int knotTypeFor(const Point3d& point, const Point3d& inVec, const Point3d& outVec);

// Collects the segments of one subpath at a time, in the path's own
// coordinates, and turns each finished subpath into a Spline of cubic knots
// appended to the target shape. Lines become cubics with their handles on
// the knots, quadratics exact cubics, elliptical arcs cubic pieces of at most
// 90 degrees. Lengths are left to the caller, who checks the coordinates
// first: measuring wild curves takes long.
class SubpathBuilder {
public:
    explicit SubpathBuilder(Shape& target) : target_(target) {}
    ~SubpathBuilder() { finish(); }
    SubpathBuilder(const SubpathBuilder&) = delete;
    SubpathBuilder& operator=(const SubpathBuilder&) = delete;

    // Ends the current subpath open and starts a new one at p.
    void moveTo(const Point3d& p);
    void lineTo(const Point3d& p);
    void cubicTo(const Point3d& c1, const Point3d& c2, const Point3d& p);
    // False, with nothing drawn, when the cubic's handles do not fit in
    // doubles (they lie two thirds of the way to q, which may be far out).
    bool quadTo(const Point3d& q, const Point3d& p);
    // SVG's elliptical arc from the current point to p: radii, rotation of
    // the x axis in degrees, and the two flags. False, with nothing drawn,
    // when the arc's pieces do not fit in doubles.
    bool arcTo(double rx, double ry, double xAxisRotationDegrees, bool largeArc, bool sweep,
               const Point3d& p);
    // Closes the subpath; the current point goes back to its start.
    void close();
    // Ends the current subpath open (nothing happens when there is none).
    void finish();
    // Where given, subpaths that draw but have no length ("M 5 5 Z",
    // "M 5 5 L 5 5") leave their point here: a stroke paints a dot there.
    void keepDots(QVector<Point3d>* dots) { dots_ = dots; }

    Point3d currentPoint() const { return current_; }
    Point3d subpathStart() const { return start_; }
    bool hasSubpath() const { return open_; }
    // The knots stored so far and at least those the open subpath adds: the
    // exact count once every subpath is finished.
    int knotCount() const { return storedKnots_ + int(segments_.size()); }

private:
    struct Segment {
        Point3d c1;
        Point3d c2;
        Point3d end;
    };
    void ensureSubpath();
    void storeSubpath(bool closed);
    // Where the subpath's knots end so far: its start or the end of its last
    // segment (the current point lies within 1e-10 of it).
    Point3d lastKnot() const;

    Shape& target_;
    bool open_ = false;
    Point3d start_;
    Point3d current_;
    QVector<Segment> segments_;
    int storedKnots_ = 0;
    bool drew_ = false;  // a drawing command since the last move
    QVector<Point3d>* dots_ = nullptr;
};
