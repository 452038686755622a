#include "region/cubic.h"

#include "region/tolerances.h"

namespace carvex::region {

Vec2 pointAt(const Cubic& c, double t) {
    const double s = 1.0 - t;
    const double b0 = s * s * s;
    const double b1 = 3.0 * t * s * s;
    const double b2 = 3.0 * t * t * s;
    const double b3 = t * t * t;
    return {b0 * c.p[0].x + b1 * c.p[1].x + b2 * c.p[2].x + b3 * c.p[3].x,
            b0 * c.p[0].y + b1 * c.p[1].y + b2 * c.p[2].y + b3 * c.p[3].y};
}

double coordinateAt(const Cubic& c, double t, bool x) {
    const double s = 1.0 - t;
    const double b0 = s * s * s;
    const double b1 = 3.0 * t * s * s;
    const double b2 = 3.0 * t * t * s;
    const double b3 = t * t * t;
    return x ? b0 * c.p[0].x + b1 * c.p[1].x + b2 * c.p[2].x + b3 * c.p[3].x
             : b0 * c.p[0].y + b1 * c.p[1].y + b2 * c.p[2].y + b3 * c.p[3].y;
}

Vec2 derivativeAt(const Cubic& c, double t) {
    const double s = 1.0 - t;
    const Vec2 d0 = c.p[1] - c.p[0];
    const Vec2 d1 = c.p[2] - c.p[1];
    const Vec2 d2 = c.p[3] - c.p[2];
    return (d0 * (s * s) + d1 * (2.0 * s * t) + d2 * (t * t)) * 3.0;
}

Vec2 secondDerivativeAt(const Cubic& c, double t) {
    const Vec2 e0 = c.p[2] - c.p[1] * 2.0 + c.p[0];
    const Vec2 e1 = c.p[3] - c.p[2] * 2.0 + c.p[1];
    return (e0 * (1.0 - t) + e1 * t) * 6.0;
}

void split(const Cubic& c, double t, Cubic& left, Cubic& right) {
    const Vec2 q0 = lerp(c.p[0], c.p[1], t);
    const Vec2 q1 = lerp(c.p[1], c.p[2], t);
    const Vec2 q2 = lerp(c.p[2], c.p[3], t);
    const Vec2 r0 = lerp(q0, q1, t);
    const Vec2 r1 = lerp(q1, q2, t);
    const Vec2 m = pointAt(c, t);
    left = {{c.p[0], q0, r0, m}};
    right = {{m, r1, q2, c.p[3]}};
}

Cubic subCubic(const Cubic& c, double t0, double t1) {
    if (t0 <= 0.0 && t1 >= 1.0) return c;
    Cubic left;
    Cubic right;
    Cubic piece = c;
    if (t1 < 1.0) {
        split(c, t1, left, right);
        piece = left;
    }
    if (t0 > 0.0 && t1 > 0.0) {
        split(piece, t0 / t1, left, right);
        piece = right;
    }
    piece.p[0] = pointAt(c, t0);
    piece.p[3] = pointAt(c, t1);
    return piece;
}

Cubic reversed(const Cubic& c) {
    return {{c.p[3], c.p[2], c.p[1], c.p[0]}};
}

bool sameControlPoints(const Cubic& a, const Cubic& b) {
    bool forwards = true;
    bool backwards = true;
    for (int i = 0; i < 4; ++i) {
        forwards = forwards && sameBits(a.p[i], b.p[i]);
        backwards = backwards && sameBits(a.p[i], b.p[3 - i]);
    }
    return forwards || backwards;
}

namespace {

// Roots in (0, 1) of the derivative of the one-dimensional cubic with
// control values v0..v3.
int derivativeRoots(double v0, double v1, double v2, double v3, double* out) {
    const double d0 = v1 - v0;
    const double d1 = v2 - v1;
    const double d2 = v3 - v2;
    // Differences of one sign: the derivative keeps that sign on [0, 1].
    if ((d0 > 0.0 && d1 > 0.0 && d2 > 0.0) || (d0 < 0.0 && d1 < 0.0 && d2 < 0.0)) return 0;
    const double a = d0 - 2.0 * d1 + d2;
    const double b = 2.0 * (d1 - d0);
    const double c = d0;
    const double scale = std::max({std::fabs(d0), std::fabs(d1), std::fabs(d2)});
    if (scale == 0.0) return 0;
    int n = 0;
    auto keep = [&](double t) {
        if (t > 0.0 && t < 1.0) out[n++] = t;
    };
    if (std::fabs(a) <= kDegenerateCoefficient * scale) {
        if (std::fabs(b) > kDegenerateCoefficient * scale) keep(-c / b);
        return n;
    }
    const double disc = b * b - 4.0 * a * c;
    if (disc < 0.0) return 0;
    const double root = std::sqrt(disc);
    // The stable pair of quadratic roots.
    const double q = -0.5 * (b + (b < 0.0 ? -root : root));
    keep(q / a);
    if (q != 0.0) keep(c / q);
    return n;
}

}  // namespace

int extremaParameters(const Cubic& c, double out[4]) {
    int n = derivativeRoots(c.p[0].x, c.p[1].x, c.p[2].x, c.p[3].x, out);
    n += derivativeRoots(c.p[0].y, c.p[1].y, c.p[2].y, c.p[3].y, out + n);
    std::sort(out, out + n);
    int m = 0;
    for (int i = 0; i < n; ++i)
        if (m == 0 || out[i] - out[m - 1] > kDistinctExtrema) out[m++] = out[i];
    return m;
}

Box controlBox(const Cubic& c) {
    Box b{c.p[0].x, c.p[0].y, c.p[0].x, c.p[0].y};
    for (int i = 1; i < 4; ++i) {
        b.x0 = std::min(b.x0, c.p[i].x);
        b.y0 = std::min(b.y0, c.p[i].y);
        b.x1 = std::max(b.x1, c.p[i].x);
        b.y1 = std::max(b.y1, c.p[i].y);
    }
    return b;
}

double flatness(const Cubic& c) {
    const Vec2 d = c.p[3] - c.p[0];
    const double len = length(d);
    if (len == 0.0) return std::max(length(c.p[1] - c.p[0]), length(c.p[2] - c.p[0]));
    const double f1 = std::fabs(cross(c.p[1] - c.p[0], d)) / len;
    const double f2 = std::fabs(cross(c.p[2] - c.p[0], d)) / len;
    // Handles beyond the chord's ends pull the curve past them.
    const double u1 = dot(c.p[1] - c.p[0], d) / (len * len);
    const double u2 = dot(c.p[2] - c.p[0], d) / (len * len);
    double over = 0.0;
    for (double u : {u1, u2}) {
        if (u < 0.0) over = std::max(over, -u * len);
        if (u > 1.0) over = std::max(over, (u - 1.0) * len);
    }
    return std::max(std::max(f1, f2), over);
}

bool tracesChord(const Cubic& c) {
    const Vec2 d = c.p[3] - c.p[0];
    const double len2 = dot(d, d);
    if (len2 == 0.0) return false;
    for (int i = 1; i < 3; ++i) {
        const Vec2 h = c.p[i] - c.p[0];
        if (std::fabs(cross(h, d)) > kTracesChord * len2) return false;
        const double u = dot(h, d) / len2;
        if (u < 0.0 || u > 1.0) return false;
    }
    return true;
}

double areaTerm(const Cubic& c) {
    auto k = [&](int i, int j) { return c.p[i].x * c.p[j].y - c.p[j].x * c.p[i].y; };
    return (6.0 * k(0, 1) + 3.0 * k(0, 2) + k(0, 3) + 3.0 * k(1, 2) + 3.0 * k(1, 3) +
            6.0 * k(2, 3)) /
           20.0;
}

double otherCoordinateAt(const Cubic& c, bool levelY, double level) {
    double lo = 0.0;
    double hi = 1.0;
    const double a = levelY ? c.p[0].y : c.p[0].x;
    const double b = levelY ? c.p[3].y : c.p[3].x;
    const bool rising = b > a;
    for (int i = 0; i < kLevelBisections && hi - lo > kLevelBracket; ++i) {
        const double mid = 0.5 * (lo + hi);
        const Vec2 p = pointAt(c, mid);
        if (((levelY ? p.y : p.x) < level) == rising)
            lo = mid;
        else
            hi = mid;
    }
    const Vec2 p = pointAt(c, 0.5 * (lo + hi));
    return levelY ? p.x : p.y;
}

}  // namespace carvex::region
