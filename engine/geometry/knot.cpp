#include "geometry/knot.h"

Knot::Knot(const Point3d& p, const Point3d& in, const Point3d& out, double prm, int t)
    : point(p), inVec(in), outVec(out), param(prm), type(t) {
    if (type == Corner) {
        inVec = point;
        outVec = point;
    }
    savedPoint = point;
    savedInVec = inVec;
    savedOutVec = outVec;
}

Knot::Knot(const Point3d& p, double prm)
    : point(p),
      inVec(p),
      outVec(p),
      param(prm),
      type(Corner),
      savedPoint(p),
      savedInVec(p),
      savedOutVec(p) {
    flags = Crossing;
}

Knot::Knot(const Knot& o)
    : CustomFlag(o),
      point(o.point),
      inVec(o.inVec),
      outVec(o.outVec),
      param(o.param),
      type(o.type),
      aux(o.aux),
      savedPoint(o.savedPoint),
      savedInVec(o.savedInVec),
      savedOutVec(o.savedOutVec) {}

static Point3d handleVector(const Point3d& handle, const Point3d& point, bool normalise) {
    Point3d v = handle - point;
    return normalise ? normalised(v) : v;
}

Point3d Knot::inVector(bool normalise) const {
    return handleVector(inVec, point, normalise);
}
Point3d Knot::outVector(bool normalise) const {
    return handleVector(outVec, point, normalise);
}

void Knot::transform(const Matrix3d& M) {
    point = map(point, M);
    inVec = map(inVec, M);
    outVec = map(outVec, M);
}
