#pragma once

// Small builders of engine geometry shared by the tests.

#include <algorithm>
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
    for (const Point3d& p : pts)
        s->append(new Knot(p, p, p, 0.0, Knot::Corner));
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

inline std::unique_ptr<Spline> circle(double cx, double cy, double r) {
    return ellipse(cx, cy, r, r);
}

// A fine polygon of a spline, sampled independently of the engine's flattening.
inline QVector<Point3d> finePolygon(const Spline& s, int samplesPerSegment = 256) {
    QVector<Point3d> out;
    const int n = s.size();
    if (n == 0) return out;
    out.append(s.first()->point);
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        if (j == 0 && !s.closed) break;
        const Knot& a = *s.at(i);
        const Knot& b = *s.at(j);
        for (int k = 1; k <= samplesPerSegment; ++k) {
            const double t = double(k) / samplesPerSegment;
            const double mt = 1 - t;
            out.append(a.point * (mt * mt * mt) + a.outVec * (3 * t * mt * mt) +
                       b.inVec * (3 * t * t * mt) + b.point * (t * t * t));
        }
    }
    return out;
}

inline double signedPolygonArea(const QVector<Point3d>& p) {
    double a = 0.0;
    for (int i = 0; i < p.size(); ++i) {
        const Point3d& u = p[i];
        const Point3d& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2.0;
}

inline double polygonArea(const QVector<Point3d>& p) {
    return std::fabs(signedPolygonArea(p));
}

// The area a closed spline bounds, by the shoelace formula on a fine
// sampling made here, independently of the engine's own polygons.
inline double signedArea(const Spline& s) {
    return signedPolygonArea(finePolygon(s));
}
inline double area(const Spline& s) {
    return std::fabs(signedArea(s));
}

// Area of the part of the spline's region inside the axis-aligned rectangle,
// by clipping a fine polygon against the rectangle's four half-planes.
inline double areaInsideRectangle(const Spline& s, double x0, double y0, double x1, double y1) {
    QVector<Point3d> poly = finePolygon(s);
    auto clip = [&](auto inside, auto cut) {
        QVector<Point3d> out;
        for (int i = 0; i < poly.size(); ++i) {
            const Point3d& p = poly[i];
            const Point3d& q = poly[(i + 1) % poly.size()];
            const bool pi = inside(p);
            const bool qi = inside(q);
            if (pi) out.append(p);
            if (pi != qi) out.append(cut(p, q));
        }
        poly = out;
    };
    auto cutX = [](double x) {
        return [x](const Point3d& p, const Point3d& q) {
            const double t = (x - p.x) / (q.x - p.x);
            return Point3d(x, p.y + t * (q.y - p.y), 0);
        };
    };
    auto cutY = [](double y) {
        return [y](const Point3d& p, const Point3d& q) {
            const double t = (y - p.y) / (q.y - p.y);
            return Point3d(p.x + t * (q.x - p.x), y, 0);
        };
    };
    clip([&](const Point3d& p) { return p.x >= x0; }, cutX(x0));
    clip([&](const Point3d& p) { return p.x <= x1; }, cutX(x1));
    clip([&](const Point3d& p) { return p.y >= y0; }, cutY(y0));
    clip([&](const Point3d& p) { return p.y <= y1; }, cutY(y1));
    return polygonArea(poly);
}

// A circle of n Bezier knots, counter-clockwise from its rightmost point.
inline std::unique_ptr<Spline> roundSpline(double cx, double cy, double r, int n) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    const double step = 2.0 * M_PI / n;
    const double h = 4.0 / 3.0 * std::tan(step / 4.0) * r;
    for (int i = 0; i < n; ++i) {
        const double a = i * step;
        const Point3d p(cx + r * std::cos(a), cy + r * std::sin(a), 0);
        const Point3d tangent(-std::sin(a), std::cos(a), 0);
        s->append(new Knot(p, p - tangent * h, p + tangent * h, 0.0, Knot::Bezier));
    }
    s->updateLengths();
    return s;
}

// A gear-like outline of n knots: n / 8 teeth (at least one) as a wave of
// the radius about r, flanks about 60 degrees steep, turned by `turn`.
// Bezier knots with handles along the tangent, a third of a step long.
inline std::unique_ptr<Spline> gearSpline(double cx, double cy, double r, int n, double turn) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    const int teeth = std::max(1, n / 8);
    const double height = std::min(0.25, 1.2 / teeth);
    const double step = 2.0 * M_PI / n;
    for (int i = 0; i < n; ++i) {
        const double a = i * step + turn;
        const double q = r * (1.0 + height * std::sin(teeth * (a - turn)));
        const double dq = r * height * teeth * std::cos(teeth * (a - turn));
        const Point3d p(cx + q * std::cos(a), cy + q * std::sin(a), 0);
        const Point3d tangent(dq * std::cos(a) - q * std::sin(a),
                              dq * std::sin(a) + q * std::cos(a), 0);
        const Point3d h = tangent * (step / 3.0);
        s->append(new Knot(p, p - h, p + h, 0.0, Knot::Bezier));
    }
    s->updateLengths();
    return s;
}

// Two gears of n knots (n a multiple of 8) about one centre, the second
// turned by half a tooth and a little more, so that their outlines cross
// twice per tooth, n / 4 times, never at a knot of either.
inline std::unique_ptr<Spline> gearPartner(double cx, double cy, double r, int n) {
    const int teeth = std::max(1, n / 8);
    return gearSpline(cx, cy, r, n, M_PI / teeth + 0.37 * 2.0 * M_PI / n);
}

// The signed area a closed spline bounds, exactly: Green's theorem on each
// cubic in closed form, sum over i < j of w_ij (p_i x p_j) / 20 with weights
// 6, 3, 1, 3, 3, 6 for the pairs 01, 02, 03, 12, 13, 23. Independent of any
// flattening, so results made of straight edges are checked to rounding.
inline double exactSignedArea(const Spline& s) {
    auto cross = [](const Point3d& a, const Point3d& b) { return a.x * b.y - a.y * b.x; };
    double sum = 0.0;
    const int n = s.size();
    for (int i = 0; i < n; ++i) {
        const Knot& a = *s.at(i);
        const Knot& b = *s.at((i + 1) % n);
        const Point3d& p0 = a.point;
        const Point3d& p1 = a.outVec;
        const Point3d& p2 = b.inVec;
        const Point3d& p3 = b.point;
        sum += 6 * cross(p0, p1) + 3 * cross(p0, p2) + cross(p0, p3) + 3 * cross(p1, p2) +
               3 * cross(p1, p3) + 6 * cross(p2, p3);
    }
    return sum / 20.0;
}
inline double exactArea(const Spline& s) {
    return std::fabs(exactSignedArea(s));
}

// The same closed spline with its knot k as knot 0.
inline std::unique_ptr<Spline> startingAt(std::unique_ptr<Spline> s, int k) {
    for (int r = 0; r < k; ++r)
        s->move(0, s->size() - 1);
    s->updateLengths();
    return s;
}

// The spline with every knot scaled about the origin.
inline std::unique_ptr<Spline> scaled(std::unique_ptr<Spline> s, double factor) {
    for (Knot* k : *s) {
        k->point = k->point * factor;
        k->inVec = k->inVec * factor;
        k->outVec = k->outVec * factor;
    }
    s->updateLengths();
    return s;
}
