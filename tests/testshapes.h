#pragma once

// Small builders of engine geometry shared by the tests.

#include <cmath>
#include <initializer_list>
#include <memory>

#include "geometry/pline.h"
#include "geometry/spline.h"
#include "intersection/flattening.h"

// Handle length that makes a cubic quarter circle.
constexpr double kKappa = 0.5522847498307936;

inline std::unique_ptr<Spline> polygon(std::initializer_list<Point3d> pts, bool closed = true) {
    auto s = std::make_unique<Spline>();
    s->closed = closed;
    for (const Point3d& p : pts) s->append(new Knot(p, p, p, 0.0, Knot::Corner));
    s->updateLengths();
    return s;
}

inline std::unique_ptr<Spline> rectangle(double x0, double y0, double x1, double y1) {
    return polygon({{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}});
}

// An axis-aligned ellipse of four Bezier knots, starting at its rightmost point
// and running counter-clockwise.
inline std::unique_ptr<Spline> ellipse(double cx, double cy, double rx, double ry) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    const double kx = rx * kKappa;
    const double ky = ry * kKappa;
    auto add = [&](Point3d p, Point3d in, Point3d out) {
        s->append(new Knot(p, in, out, 0.0, Knot::Bezier));
    };
    add({cx + rx, cy, 0}, {cx + rx, cy - ky, 0}, {cx + rx, cy + ky, 0});
    add({cx, cy + ry, 0}, {cx + kx, cy + ry, 0}, {cx - kx, cy + ry, 0});
    add({cx - rx, cy, 0}, {cx - rx, cy + ky, 0}, {cx - rx, cy - ky, 0});
    add({cx, cy - ry, 0}, {cx - kx, cy - ry, 0}, {cx + kx, cy - ry, 0});
    s->updateLengths();
    return s;
}

inline std::unique_ptr<Spline> circle(double cx, double cy, double r) { return ellipse(cx, cy, r, r); }

// The area a closed spline bounds, by the shoelace formula on a fine
// flattening made here, independently of the engine's own polygons.
inline double signedArea(const Spline& s, int samplesPerSegment = 256) {
    const int n = s.size();
    double area = 0.0;
    Point3d prev = s.first()->point;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        if (j == 0 && !s.closed) break;
        const Knot& a = *s.at(i);
        const Knot& b = *s.at(j);
        for (int k = 1; k <= samplesPerSegment; ++k) {
            const double t = double(k) / samplesPerSegment;
            const double mt = 1 - t;
            const Point3d p = a.point * (mt * mt * mt) + a.outVec * (3 * t * mt * mt) +
                              b.inVec * (3 * t * t * mt) + b.point * (t * t * t);
            area += prev.x * p.y - p.x * prev.y;
            prev = p;
        }
    }
    return area / 2.0;
}

inline double area(const Spline& s) { return std::fabs(signedArea(s)); }
