#pragma once

#include <cstddef>

#include "geometry/customflag.h"
#include "geometry/matrix3d.h"
#include "geometry/point3d.h"

// One cubic Bezier knot. Handles are absolute positions, not offsets: the
// segment from knot i to knot j has control points i.point, i.outVec,
// j.inVec, j.point.
class Knot : public CustomFlag {
public:
    enum Type : int { Corner = 0, Bezier = 1, BezierCorner = 2, Smooth = 3 };

    // A Corner knot has both handles on its point, whatever is passed.
    Knot(const Point3d& point, const Point3d& inVec, const Point3d& outVec, double param, int type);
    // A Corner knot placed at a crossing.
    Knot(const Point3d& point, double param);
    // The knot copy: everything but the cached lengths (the length memo comes
    // along).
    Knot(const Knot& other);
    Knot& operator=(const Knot&) = delete;

    // Operations make and drop knots by the thousand: they come from a free
    // list per thread, refilled in chunks that are kept for reuse.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);

    Point3d inVector(bool normalise) const;
    Point3d outVector(bool normalise) const;
    // Maps point and handles; the saved copies stay.
    void transform(const Matrix3d& M);

    Point3d point;
    Point3d inVec;
    Point3d outVec;
    double segLength = 0.0;
    double lengthBefore = 0.0;
    double param = 0.0;
    int type = Corner;
    double aux = 0.0;
    // The last length measured for the segment that leaves this knot, with
    // the four control points it was measured from. It travels with copies:
    // it is only read back for the very same control points, bit for bit.
    struct LengthMemo {
        Point3d controlPoints[4];
        double length = 0.0;
        bool valid = false;
    };
    LengthMemo lengthMemo;
    Point3d savedPoint;
    Point3d savedInVec;
    Point3d savedOutVec;
};
