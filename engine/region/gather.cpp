#include "region/gather.h"

#include <cmath>

namespace carvex::region {

namespace {

bool finite(const Point3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool finite(const Matrix3d& m) {
    for (const auto& row : m.m)
        for (double v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

Vec2 flat(const Point3d& p) {
    return {p.x, p.y};
}

RegionStatus checkShape(const Shape& shape) {
    long long knots = 0;
    if (!finite(shape.frame)) return RegionStatus::NonFiniteCoordinate;
    for (const Spline* s : shape) {
        if (!s) continue;
        knots += s->size();
        if (knots > kMaxRegionKnots) return RegionStatus::TooManyKnots;
        if (!finite(s->frame)) return RegionStatus::NonFiniteCoordinate;
        for (const Knot* k : *s)
            if (!finite(k->point) || !finite(k->inVec) || !finite(k->outVec))
                return RegionStatus::NonFiniteCoordinate;
    }
    return RegionStatus::Ok;
}

bool inRange(Vec2 p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= kMaxRegionCoordinate &&
           std::fabs(p.y) <= kMaxRegionCoordinate;
}

RegionStatus addShape(const Shape& shape, int operand, Gathered& out) {
    for (const Spline* s : shape) {
        if (!s || s->isEmpty()) continue;
        const Matrix3d frame = s->frame * shape.frame;
        const bool identity = frame == Matrix3d();
        auto place = [&](const Point3d& p) { return identity ? flat(p) : flat(map(p, frame)); };
        const int first = int(out.knots.size());
        for (const Knot* k : *s) {
            InputKnot knot{place(k->point), place(k->inVec), place(k->outVec), k->type};
            if (!inRange(knot.point) || !inRange(knot.in) || !inRange(knot.out))
                return RegionStatus::CoordinateTooLarge;
            out.knots.push_back(knot);
        }
        const int n = s->size();
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            SourceSegment seg;
            seg.operand = operand;
            seg.startKnot = first + i;
            seg.endKnot = first + j;
            const InputKnot& a = out.knots[first + i];
            const InputKnot& b = out.knots[first + j];
            if (j == 0 && !s->closed) {
                // Closed as a fill closes it: a straight line back to the start.
                seg.closing = true;
                seg.curve = {{a.point, lerp(a.point, b.point, 1.0 / 3.0),
                              lerp(a.point, b.point, 2.0 / 3.0), b.point}};
            } else {
                seg.curve = {{a.point, a.out, b.in, b.point}};
            }
            out.segments.push_back(seg);
        }
    }
    return RegionStatus::Ok;
}

}  // namespace

RegionStatus gather(const Shape& a, const Shape* b, double threshold, Gathered& out) {
    out = Gathered();
    if (!std::isfinite(threshold) || threshold < 0.0) return RegionStatus::InvalidThreshold;
    for (const Shape* shape : {&a, b}) {
        if (!shape) continue;
        const RegionStatus status = checkShape(*shape);
        if (status != RegionStatus::Ok) return status;
    }
    int knots = 0;
    for (const Shape* shape : {&a, b})
        if (shape)
            for (const Spline* s : *shape)
                if (s) knots += s->size();
    out.knots.reserve(knots);
    out.segments.reserve(knots);
    RegionStatus status = addShape(a, 0, out);
    if (status == RegionStatus::Ok && b) status = addShape(*b, 1, out);
    if (status != RegionStatus::Ok) {
        out = Gathered();
        return status;
    }

    Box box;
    double largest = 0.0;
    bool any = false;
    for (const SourceSegment& s : out.segments) {
        const Box c = controlBox(s.curve);
        if (!any) box = c;
        box = {std::min(box.x0, c.x0), std::min(box.y0, c.y0), std::max(box.x1, c.x1),
               std::max(box.y1, c.y1)};
        any = true;
    }
    if (any)
        largest =
            std::max({std::fabs(box.x0), std::fabs(box.y0), std::fabs(box.x1), std::fabs(box.y1)});
    out.extent = any ? box.size() : 0.0;
    // Relative to the picture, but never below what the coordinates' own
    // precision can resolve.
    out.eps = std::max(1e-10 * out.extent, 1e-14 * largest);
    out.merge = std::max(out.eps, threshold);

    std::vector<SourceSegment> kept;
    kept.reserve(out.segments.size());
    for (SourceSegment& s : out.segments) {
        double reach = 0.0;
        for (int i = 1; i < 4; ++i) {
            const Vec2 d = s.curve.p[i] - s.curve.p[0];
            reach = std::max(reach, dot(d, d));
        }
        if (reach <= out.merge * out.merge) continue;
        s.line = s.closing || tracesChord(s.curve);
        s.original = s.curve;
        if (s.line)
            s.curve = {{s.curve.p[0], lerp(s.curve.p[0], s.curve.p[3], 1.0 / 3.0),
                        lerp(s.curve.p[0], s.curve.p[3], 2.0 / 3.0), s.curve.p[3]}};
        kept.push_back(s);
    }
    out.segments.swap(kept);
    return RegionStatus::Ok;
}

}  // namespace carvex::region
