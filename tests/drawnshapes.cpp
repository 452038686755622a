#include "drawnshapes.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace drawn {

namespace {

// Handle length of a cubic arc over `angle` radians of a unit circle.
double arcHandle(double angle) {
    return 4.0 / 3.0 * std::tan(angle / 4.0);
}

Point3d toPoint(const Vec2& v) {
    return Point3d(v.x, v.y, 0.0);
}

// Row vector times the 4x3 frame, written out here rather than borrowed.
Vec2 throughFrame(const Point3d& p, const Matrix3d& m, double* z = nullptr) {
    const double x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
    const double y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
    if (z) *z = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
    return {x, y};
}

Vec2 toCommon(const Point3d& p, const Spline& s, const Shape& shape) {
    double z = 0.0;
    const Vec2 inSpline = throughFrame(p, s.frame, &z);
    return throughFrame(Point3d(inSpline.x, inSpline.y, z), shape.frame);
}

double cross(const Vec2& a, const Vec2& b) {
    return a.x * b.y - a.y * b.x;
}

Vec2 minus(const Vec2& a, const Vec2& b) {
    return {a.x - b.x, a.y - b.y};
}

Vec2 lerp(const Vec2& a, const Vec2& b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

double distanceToLine(const Vec2& p, const Vec2& a, const Vec2& b) {
    const Vec2 d = minus(b, a);
    const double len = std::hypot(d.x, d.y);
    if (len == 0.0) return std::hypot(p.x - a.x, p.y - a.y);
    return std::fabs(cross(d, minus(p, a))) / len;
}

void flattenCubic(const Cubic& c, double tolerance, int depth, std::vector<Vec2>& out) {
    const double flatness =
        std::max(distanceToLine(c[1], c[0], c[3]), distanceToLine(c[2], c[0], c[3]));
    // Chord error of a cubic is at most 3/4 of its control polygon's offset.
    if (depth >= 24 || flatness * 0.75 <= tolerance) {
        out.push_back(c[3]);
        return;
    }
    const Vec2 a = lerp(c[0], c[1], 0.5);
    const Vec2 b = lerp(c[1], c[2], 0.5);
    const Vec2 d = lerp(c[2], c[3], 0.5);
    const Vec2 ab = lerp(a, b, 0.5);
    const Vec2 bd = lerp(b, d, 0.5);
    const Vec2 mid = lerp(ab, bd, 0.5);
    flattenCubic({c[0], a, ab, mid}, tolerance, depth + 1, out);
    flattenCubic({mid, bd, d, c[3]}, tolerance, depth + 1, out);
}

}  // namespace

double Box::extent() const {
    return empty ? 0.0 : std::max(x1 - x0, y1 - y0);
}

void Box::add(const Vec2& p) {
    if (empty) {
        x0 = x1 = p.x;
        y0 = y1 = p.y;
        empty = false;
        return;
    }
    x0 = std::min(x0, p.x);
    y0 = std::min(y0, p.y);
    x1 = std::max(x1, p.x);
    y1 = std::max(y1, p.y);
}

Spline* splineOf(const std::vector<KnotSpec>& knots, bool closed) {
    auto* s = new Spline();
    s->closed = closed;
    for (const KnotSpec& k : knots) {
        const bool corner = k.in.x == k.point.x && k.in.y == k.point.y && k.out.x == k.point.x &&
                            k.out.y == k.point.y;
        s->append(new Knot(toPoint(k.point), toPoint(k.in), toPoint(k.out), 0.0,
                           corner ? Knot::Corner : Knot::BezierCorner));
    }
    s->updateLengths();
    return s;
}

Spline* polygonSpline(const std::vector<Vec2>& points, bool closed) {
    std::vector<KnotSpec> knots;
    for (const Vec2& p : points)
        knots.push_back({p, p, p});
    return splineOf(knots, closed);
}

Shape shapeOf(std::initializer_list<Spline*> splines) {
    Shape s;
    for (Spline* spline : splines)
        s.addSpline(spline);
    return s;
}

Shape joined(Shape a, Shape b) {
    Shape out;
    for (Shape* from : {&a, &b}) {
        // Hand the splines over one by one; the emptied list owns nothing.
        for (Spline* s : *from)
            out.addSpline(s);
        from->QList<Spline*>::clear();
    }
    return out;
}

Shape scaledCopy(const Shape& s, double scale, double dx, double dy) {
    Shape out;
    for (const Spline* spline : s) {
        std::vector<KnotSpec> knots;
        auto map = [&](const Point3d& p) {
            const Vec2 v = toCommon(p, *spline, s);
            return Vec2{v.x * scale + dx, v.y * scale + dy};
        };
        for (const Knot* k : *spline)
            knots.push_back({map(k->point), map(k->inVec), map(k->outVec)});
        out.addSpline(splineOf(knots, spline->closed));
    }
    return out;
}

Shape reversed(const Shape& s) {
    Shape out;
    for (const Spline* spline : s) {
        std::vector<KnotSpec> knots;
        for (int i = spline->size() - 1; i >= 0; --i) {
            const Knot* k = spline->at(i);
            knots.push_back({toCommon(k->point, *spline, s), toCommon(k->outVec, *spline, s),
                             toCommon(k->inVec, *spline, s)});
        }
        out.addSpline(splineOf(knots, spline->closed));
    }
    return out;
}

Spline* circle(Vec2 c, double r, bool ccw) {
    Spline* s = roundSpline(c, r, 4);
    if (ccw) return s;
    Shape one;
    one.addSpline(s);
    Shape back = reversed(one);
    Spline* out = back.takeFirst();
    out->parent = nullptr;
    return out;
}

Spline* roundSpline(Vec2 c, double r, int n, double phase) {
    const double step = 2.0 * M_PI / n;
    const double h = arcHandle(step) * r;
    std::vector<KnotSpec> knots;
    for (int i = 0; i < n; ++i) {
        const double a = (i + phase) * step;
        const Vec2 p{c.x + r * std::cos(a), c.y + r * std::sin(a)};
        const Vec2 t{-std::sin(a) * h, std::cos(a) * h};
        knots.push_back({p, {p.x - t.x, p.y - t.y}, {p.x + t.x, p.y + t.y}});
    }
    return splineOf(knots);
}

Spline* rectangle(double x0, double y0, double x1, double y1, bool ccw) {
    if (ccw) return polygonSpline({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
    return polygonSpline({{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}});
}

Spline* roundedRectangle(double x0, double y0, double x1, double y1, double r) {
    const double h = arcHandle(M_PI / 2) * r;
    // Corner centres counterclockwise from the lower right, each arc turning
    // a quarter from direction angle a to a + pi/2.
    const Vec2 centres[4] = {
        {x1 - r, y0 + r}, {x1 - r, y1 - r}, {x0 + r, y1 - r}, {x0 + r, y0 + r}};
    const double starts[4] = {-M_PI / 2, 0.0, M_PI / 2, M_PI};
    std::vector<KnotSpec> knots;
    for (int i = 0; i < 4; ++i) {
        const Vec2 m = centres[i];
        const double a0 = starts[i];
        const double a1 = a0 + M_PI / 2;
        const Vec2 p0{m.x + r * std::cos(a0), m.y + r * std::sin(a0)};
        const Vec2 p1{m.x + r * std::cos(a1), m.y + r * std::sin(a1)};
        const Vec2 t0{-std::sin(a0) * h, std::cos(a0) * h};
        const Vec2 t1{-std::sin(a1) * h, std::cos(a1) * h};
        knots.push_back({p0, p0, {p0.x + t0.x, p0.y + t0.y}});
        knots.push_back({p1, {p1.x - t1.x, p1.y - t1.y}, p1});
    }
    return splineOf(knots);
}

Shape ring(Vec2 c, double outer, double inner, bool innerClockwise) {
    return shapeOf({circle(c, outer), circle(c, inner, !innerClockwise)});
}

Shape nestedRings(Vec2 c, double r, int levels) {
    Shape s;
    for (int i = 0; i < 2 * levels; ++i)
        s.addSpline(circle(c, r * (1.0 - double(i) / (2 * levels)), i % 2 == 0));
    return s;
}

Spline* blob(std::uint32_t seed, Vec2 c, double r, int knots) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    constexpr int kWaves = 4;
    double amplitude[kWaves];
    double shift[kWaves];
    for (int k = 0; k < kWaves; ++k) {
        // Small enough that the radius stays positive and the outline simple.
        amplitude[k] = unit(random) * 0.3 / (k + 2);
        shift[k] = unit(random) * 2.0 * M_PI;
    }
    auto radius = [&](double a) {
        double v = 1.0;
        for (int k = 0; k < kWaves; ++k)
            v += amplitude[k] * std::cos((k + 2) * a + shift[k]);
        return r * v;
    };
    auto slope = [&](double a) {
        double v = 0.0;
        for (int k = 0; k < kWaves; ++k)
            v -= amplitude[k] * (k + 2) * std::sin((k + 2) * a + shift[k]);
        return r * v;
    };
    std::vector<double> angles;
    const double step = 2.0 * M_PI / knots;
    for (int i = 0; i < knots; ++i)
        angles.push_back((i + 0.4 * (unit(random) - 0.5)) * step);
    std::vector<KnotSpec> out;
    for (int i = 0; i < knots; ++i) {
        const double a = angles[i];
        const double before = a - (i > 0 ? angles[i - 1] : angles[knots - 1] - 2.0 * M_PI);
        const double after = (i + 1 < knots ? angles[i + 1] : angles[0] + 2.0 * M_PI) - a;
        const double rho = radius(a);
        const double drho = slope(a);
        const Vec2 p{c.x + rho * std::cos(a), c.y + rho * std::sin(a)};
        const Vec2 d{drho * std::cos(a) - rho * std::sin(a),
                     drho * std::sin(a) + rho * std::cos(a)};
        out.push_back({p,
                       {p.x - d.x * before / 3.0, p.y - d.y * before / 3.0},
                       {p.x + d.x * after / 3.0, p.y + d.y * after / 3.0}});
    }
    return splineOf(out);
}

Spline* comb(double x0, double y0, double w, double h, int teeth) {
    const double pitch = w / (2 * teeth - 1);
    const double base = y0 + h / 4;
    std::vector<Vec2> pts{{x0, y0}, {x0 + w, y0}};
    for (int i = teeth - 1; i >= 0; --i) {
        const double left = x0 + 2 * i * pitch;
        const double right = left + pitch;
        if (i != teeth - 1) pts.push_back({right, base});
        pts.push_back({right, y0 + h});
        pts.push_back({left, y0 + h});
        if (i != 0) pts.push_back({left, base});
    }
    return polygonSpline(pts);
}

Spline* sidewaysComb(double x0, double y0, double w, double h, int teeth) {
    // The upright comb turned by a quarter: (x, y) -> (y, -x) keeps the
    // direction of travel counterclockwise.
    Shape upright = shapeOf({comb(0.0, 0.0, w, h, teeth)});
    std::vector<Vec2> pts;
    for (const Knot* k : *upright.first())
        pts.push_back({x0 + k->point.y, y0 + w - k->point.x});
    return polygonSpline(pts);
}

Spline* star(Vec2 c, double outer, double inner, int points, double rotation, bool curved) {
    std::vector<Vec2> corners;
    for (int i = 0; i < 2 * points; ++i) {
        const double a = rotation + M_PI * i / points;
        const double r = i % 2 == 0 ? outer : inner;
        corners.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    if (!curved) return polygonSpline(corners);
    const int n = int(corners.size());
    std::vector<KnotSpec> knots;
    // Each side bulges outwards by a twentieth of its length: more, and
    // the sides of a narrow spike cross each other at its inner corners.
    auto bulge = [&](const Vec2& a, const Vec2& b, double t) {
        const Vec2 d = minus(b, a);
        const Vec2 normal{d.y * 0.05, -d.x * 0.05};
        const Vec2 on = lerp(a, b, t);
        return Vec2{on.x + normal.x, on.y + normal.y};
    };
    for (int i = 0; i < n; ++i) {
        const Vec2& p = corners[i];
        const Vec2& prev = corners[(i + n - 1) % n];
        const Vec2& next = corners[(i + 1) % n];
        knots.push_back({p, bulge(prev, p, 2.0 / 3.0), bulge(p, next, 1.0 / 3.0)});
    }
    return splineOf(knots);
}

Spline* pentagram(Vec2 c, double r) {
    std::vector<Vec2> pts;
    for (int i = 0; i < 5; ++i) {
        const double a = M_PI / 2 + 4.0 * M_PI * i / 5;
        pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return polygonSpline(pts);
}

Spline* gear(Vec2 c, double r, int knots, double depth, double phase, bool opposite) {
    const int teeth = std::max(1, knots / 8);
    constexpr double kSteep = 4.0;
    const double norm = std::tanh(kSteep);
    const double turn = opposite ? M_PI / teeth : 0.0;
    auto radius = [&](double a) {
        return r * (1.0 + depth * std::tanh(kSteep * std::sin(teeth * (a + turn))) / norm);
    };
    auto slope = [&](double a) {
        const double u = kSteep * std::sin(teeth * (a + turn));
        const double sech = 1.0 / std::cosh(u);
        return r * depth * kSteep * teeth * std::cos(teeth * (a + turn)) * sech * sech / norm;
    };
    const double step = 2.0 * M_PI / knots;
    std::vector<KnotSpec> out;
    for (int i = 0; i < knots; ++i) {
        const double a = (i + phase) * step;
        const double rho = radius(a);
        const double drho = slope(a);
        const Vec2 p{c.x + rho * std::cos(a), c.y + rho * std::sin(a)};
        const Vec2 d{(drho * std::cos(a) - rho * std::sin(a)) * step / 3.0,
                     (drho * std::sin(a) + rho * std::cos(a)) * step / 3.0};
        out.push_back({p, {p.x - d.x, p.y - d.y}, {p.x + d.x, p.y + d.y}});
    }
    return splineOf(out);
}

std::vector<Loop> loopsOf(const Shape& s) {
    std::vector<Loop> loops;
    for (const Spline* spline : s) {
        const int n = spline->size();
        if (n == 0 || (n == 1 && !spline->closed)) continue;
        Loop loop;
        for (int i = 0; i < n; ++i) {
            const bool last = i == n - 1;
            const Knot& a = *spline->at(i);
            const Knot& b = *spline->at(last ? 0 : i + 1);
            const Vec2 p0 = toCommon(a.point, *spline, s);
            const Vec2 p3 = toCommon(b.point, *spline, s);
            if (last && !spline->closed) {
                // The straight piece a fill closes an open spline with.
                loop.push_back({p0, p0, p3, p3});
            } else {
                loop.push_back(
                    {p0, toCommon(a.outVec, *spline, s), toCommon(b.inVec, *spline, s), p3});
            }
        }
        loops.push_back(loop);
    }
    return loops;
}

double cubicArea(const Cubic& c, const Vec2& origin) {
    const Vec2 p0 = minus(c[0], origin);
    const Vec2 p1 = minus(c[1], origin);
    const Vec2 p2 = minus(c[2], origin);
    const Vec2 p3 = minus(c[3], origin);
    return (6.0 * cross(p0, p1) + 3.0 * cross(p0, p2) + cross(p0, p3) + 3.0 * cross(p1, p2) +
            3.0 * cross(p1, p3) + 6.0 * cross(p2, p3)) /
           20.0;
}

double loopArea(const Loop& loop) {
    if (loop.empty()) return 0.0;
    // Measured about the loop's start: a closed loop's area does not depend
    // on the origin, and near coordinates keep the products small.
    const Vec2 origin = loop.front()[0];
    double a = 0.0;
    for (const Cubic& c : loop)
        a += cubicArea(c, origin);
    return a;
}

double exactArea(const Shape& s) {
    double a = 0.0;
    for (const Loop& loop : loopsOf(s))
        a += loopArea(loop);
    return a;
}

Box boundsOf(const std::vector<Loop>& loops) {
    Box b;
    for (const Loop& loop : loops)
        for (const Cubic& c : loop)
            for (const Vec2& p : c)
                b.add(p);
    return b;
}

Box boundsOf(const Shape& s) {
    return boundsOf(loopsOf(s));
}

Vec2 pointAt(const Cubic& c, double t) {
    const double mt = 1.0 - t;
    const double w0 = mt * mt * mt;
    const double w1 = 3.0 * t * mt * mt;
    const double w2 = 3.0 * t * t * mt;
    const double w3 = t * t * t;
    return {w0 * c[0].x + w1 * c[1].x + w2 * c[2].x + w3 * c[3].x,
            w0 * c[0].y + w1 * c[1].y + w2 * c[2].y + w3 * c[3].y};
}

std::vector<Vec2> flatten(const Loop& loop, double tolerance) {
    std::vector<Vec2> out;
    if (loop.empty()) return out;
    out.push_back(loop.front()[0]);
    for (const Cubic& c : loop)
        flattenCubic(c, tolerance, 0, out);
    // The loop ends where it started.
    if (out.size() > 1) out.pop_back();
    return out;
}

QPainterPath painterPath(const Shape& s, Qt::FillRule rule, double k, double dx, double dy) {
    QPainterPath path;
    path.setFillRule(rule);
    auto at = [&](const Vec2& p) { return QPointF(p.x * k + dx, p.y * k + dy); };
    for (const Loop& loop : loopsOf(s)) {
        path.moveTo(at(loop.front()[0]));
        for (const Cubic& c : loop)
            path.cubicTo(at(c[1]), at(c[2]), at(c[3]));
        path.closeSubpath();
    }
    return path;
}

}  // namespace drawn
