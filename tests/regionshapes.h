#pragma once

// Builders of whole shapes and independent measures of answers, shared by
// the region engine's tests and benchmark.

#include <cmath>
#include <memory>
#include <vector>

#include "geometry/shape.h"
#include "shaperegion/shaperegion.h"
#include "testshapes.h"

inline Shape shapeOf(std::vector<std::unique_ptr<Spline>> splines) {
    Shape s;
    for (auto& spline : splines)
        s.addSpline(spline.release());
    return s;
}

inline Shape shapeOf(std::unique_ptr<Spline> spline) {
    std::vector<std::unique_ptr<Spline>> v;
    v.push_back(std::move(spline));
    return shapeOf(std::move(v));
}

// The same spline run the other way round.
inline std::unique_ptr<Spline> reversedSpline(std::unique_ptr<Spline> s) {
    auto r = std::make_unique<Spline>();
    r->closed = s->closed;
    for (int i = s->size() - 1; i >= 0; --i) {
        const Knot& k = *s->at(i);
        r->append(new Knot(k.point, k.outVec, k.inVec, 0.0, k.type));
    }
    return r;
}

inline Shape square(double x0, double y0, double side) {
    return shapeOf(rectangle(x0, y0, x0 + side, y0 + side));
}

// A disc with a round hole: outer counterclockwise, inner clockwise.
inline Shape ring(double cx, double cy, double outer, double inner) {
    std::vector<std::unique_ptr<Spline>> v;
    v.push_back(circle(cx, cy, outer));
    v.push_back(reversedSpline(circle(cx, cy, inner)));
    return shapeOf(std::move(v));
}

// A rectangle with rounded corners of radius r, counterclockwise.
inline std::unique_ptr<Spline> roundedRectangle(double x0, double y0, double x1, double y1,
                                                double r) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    const double h = r * kKappa;
    auto add = [&](Point3d p, Point3d in, Point3d out) {
        s->append(new Knot(p, in, out, 0.0, Knot::BezierCorner));
    };
    add({x1 - r, y0, 0}, {x1 - r, y0, 0}, {x1 - r + h, y0, 0});
    add({x1, y0 + r, 0}, {x1, y0 + r - h, 0}, {x1, y0 + r, 0});
    add({x1, y1 - r, 0}, {x1, y1 - r, 0}, {x1, y1 - r + h, 0});
    add({x1 - r, y1, 0}, {x1 - r + h, y1, 0}, {x1 - r, y1, 0});
    add({x0 + r, y1, 0}, {x0 + r, y1, 0}, {x0 + r - h, y1, 0});
    add({x0, y1 - r, 0}, {x0, y1 - r + h, 0}, {x0, y1 - r, 0});
    add({x0, y0 + r, 0}, {x0, y0 + r, 0}, {x0, y0 + r - h, 0});
    add({x0 + r, y0, 0}, {x0 + r - h, y0, 0}, {x0 + r, y0, 0});
    return s;
}

// A star of `points` spikes between radii r0 and r1, its sides slightly
// bowed so that they are true curves; counterclockwise.
inline std::unique_ptr<Spline> star(double cx, double cy, double r0, double r1, int points,
                                    double turn = 0.0, double bow = 0.15) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    const int n = 2 * points;
    std::vector<Point3d> p(n);
    for (int i = 0; i < n; ++i) {
        const double a = turn + M_PI * i / points;
        const double r = i % 2 == 0 ? r1 : r0;
        p[i] = Point3d(cx + r * std::cos(a), cy + r * std::sin(a), 0);
    }
    for (int i = 0; i < n; ++i) {
        const Point3d& prev = p[(i + n - 1) % n];
        const Point3d& next = p[(i + 1) % n];
        // Handles a third of the way to the neighbours, pushed outward a bit.
        const Point3d toNext = (next - p[i]) * (1.0 / 3.0);
        const Point3d toPrev = (prev - p[i]) * (1.0 / 3.0);
        const Point3d bowNext(-toNext.y * bow, toNext.x * bow, 0);
        const Point3d bowPrev(toPrev.y * bow, -toPrev.x * bow, 0);
        s->append(new Knot(p[i], p[i] + toPrev - bowPrev, p[i] + toNext - bowNext, 0.0,
                           Knot::BezierCorner));
    }
    return s;
}

// A comb: a bar along the bottom with `teeth` rectangular teeth upward.
inline std::unique_ptr<Spline> comb(double x0, double y0, double width, double height, int teeth) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    const double step = width / (2 * teeth - 1);
    const double base = height * 0.2;
    auto add = [&](double x, double y) {
        const Point3d p(x, y, 0);
        s->append(new Knot(p, p, p, 0.0, Knot::Corner));
    };
    add(x0, y0);
    add(x0 + width, y0);
    for (int i = 2 * teeth - 1; i >= 0; --i) {
        const double xr = x0 + (i + 1) * step;
        const double xl = x0 + i * step;
        if (i % 2 == 0) {
            add(xr, y0 + height);
            add(xl, y0 + height);
        } else {
            add(xr, y0 + base);
            add(xl, y0 + base);
        }
    }
    return s;
}

// A smooth random blob: a circle whose knots sit at varying radii.
inline std::unique_ptr<Spline> blob(double cx, double cy, double r, int n, unsigned seed) {
    auto s = std::make_unique<Spline>();
    s->closed = true;
    unsigned state = seed * 2654435761u + 12345u;
    auto rnd = [&]() {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 24);
    };
    const double step = 2.0 * M_PI / n;
    for (int i = 0; i < n; ++i) {
        const double a = i * step;
        const double rr = r * (0.7 + 0.6 * rnd());
        const Point3d p(cx + rr * std::cos(a), cy + rr * std::sin(a), 0);
        const Point3d t(-std::sin(a), std::cos(a), 0);
        const double h = 4.0 / 3.0 * std::tan(step / 4.0) * rr;
        s->append(new Knot(p, p - t * h, p + t * h, 0.0, Knot::Bezier));
    }
    return s;
}

// Maps every knot of a shape by p * scale + offset.
inline void place(Shape& shape, double scale, Point3d offset) {
    Matrix3d m(0);
    m.m[0][0] = scale;
    m.m[1][1] = scale;
    m.m[2][2] = scale;
    m.m[3][0] = offset.x;
    m.m[3][1] = offset.y;
    m.m[3][2] = offset.z;
    for (Spline* s : shape)
        s->transformKnots(m);
}
