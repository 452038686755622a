#include "nearcopy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "regionshapes.h"
#include "shaperegion/shaperegion.h"

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    int next() { return at_ < size_ ? data_[at_++] : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::unique_ptr<Spline> outline(int kind, int knots, unsigned seed) {
    switch (kind % 5) {
        case 0:
            return blob(0, 0, 0.5, 4 + knots % 20, seed);
        case 1:
            return star(0, 0, 0.2, 0.5, 3 + knots % 10, 0.1 * (seed % 7), 0.3);
        case 2:
            return comb(-0.5, -0.5, 1.0, 1.0, 2 + knots % 6);
        case 3:
            return roundedRectangle(-0.5, -0.4, 0.5, 0.4, 0.05 + 0.02 * (knots % 10));
        default:
            return circle(0, 0, 0.5);
    }
}

// A copy with a knot added halfway along one segment: the same curve, drawn
// with other knots.
std::unique_ptr<Spline> withKnotAdded(const Spline& s, int segment) {
    auto copy = std::make_unique<Spline>();
    copy->copyFrom(s);
    const int n = copy->size();
    if (n < 2) return copy;
    const int i = segment % n;
    Knot& p = *copy->at(i);
    Knot& q = *copy->at((i + 1) % n);
    // de Casteljau at one half.
    const Point3d a = (p.point + p.outVec) * 0.5;
    const Point3d b = (p.outVec + q.inVec) * 0.5;
    const Point3d c = (q.inVec + q.point) * 0.5;
    const Point3d ab = (a + b) * 0.5;
    const Point3d bc = (b + c) * 0.5;
    const Point3d mid = (ab + bc) * 0.5;
    p.outVec = a;
    q.inVec = c;
    copy->insert(i + 1, new Knot(mid, ab, bc, 0.0, Knot::Bezier));
    return copy;
}

void moveSpline(Spline& s, double dx, double dy, double turn) {
    const double c = std::cos(turn);
    const double sn = std::sin(turn);
    auto map = [&](Point3d& p) {
        p = Point3d(c * p.x - sn * p.y + dx, sn * p.x + c * p.y + dy, 0);
    };
    for (Knot* k : s) {
        map(k->point);
        map(k->inVec);
        map(k->outVec);
    }
}

// Exact signed area, measured from a point near the shapes: far from 0 the
// products of coordinates would lose the area in their rounding.
double areaOf(const Shape& shape, Point3d origin) {
    double a = 0.0;
    for (const Spline* s : shape) {
        Spline near;
        near.copyFrom(*s);
        for (Knot* k : near) {
            k->point = k->point - origin;
            k->inVec = k->inVec - origin;
            k->outVec = k->outVec - origin;
        }
        a += exactSignedArea(near);
    }
    return a;
}

double perimeterOf(const Spline& s) {
    double p = 0.0;
    const int n = s.size();
    for (int i = 0; i < n; ++i) {
        const Knot& k = *s.at(i);
        const Knot& l = *s.at((i + 1) % n);
        p += distance(k.outVec, k.point) + distance(l.inVec, k.outVec) + distance(l.point, l.inVec);
    }
    return p;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

}  // namespace

NearCopyCase decodeNearCopyCase(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    NearCopyCase c;
    const int kind = in.next();
    const int knots = in.next();
    c.copies = 1 + in.next() % kMaxNearCopies;
    const double relative = std::pow(10.0, -9.0 + 6.0 * in.next() / 255.0);
    const int flags = in.next();
    const unsigned seed = unsigned(in.next());
    const double far = std::pow(10.0, 8.0 + in.next() / 255.0);

    c.fillA = (flags & 1) ? carvex::FillRule::EvenOdd : carvex::FillRule::NonZero;
    c.fillB = (flags & 2) ? carvex::FillRule::EvenOdd : carvex::FillRule::NonZero;
    c.size = (flags & 32) ? 1e-3 : (flags & 64) ? 1e4 : 1.0;
    c.nudge = relative * c.size;
    const double offset = (flags & 16) ? far : 0.0;
    const double angle = 0.7 + 0.1 * (seed % 13);

    const std::unique_ptr<Spline> base = outline(kind, knots, seed);
    for (int i = 0; i < c.copies; ++i) {
        auto copy = (seed >> (i % 8)) & 1 ? withKnotAdded(*base, seed + i) : [&] {
            auto s = std::make_unique<Spline>();
            s->copyFrom(*base);
            return s;
        }();
        const double d = relative * (i + 1);
        moveSpline(*copy, d * std::cos(angle), d * std::sin(angle), (flags & 8) ? d : 0.0);
        c.b.addSpline(copy.release());
    }
    if (flags & 4) {
        auto a = std::make_unique<Spline>();
        a->copyFrom(*base);
        c.a.addSpline(a.release());
    } else {
        c.a.addSpline(rectangle(-0.1, -0.6, 0.6, 0.6).release());
    }
    c.origin = Point3d(offset, -offset / 3.0, 0);
    place(c.a, c.size, c.origin);
    place(c.b, c.size, c.origin);
    c.summary = "kind " + std::to_string(kind % 5) + ", " + std::to_string(c.copies) +
                " copies nudged by " + number(relative) + " of size " + number(c.size) +
                ", flags " + std::to_string(flags) + ", offset " + number(offset);
    return c;
}

std::string checkNearCopyCase(const NearCopyCase& c) {
    using carvex::Operation;
    carvex::RegionOptions options;
    options.fillA = c.fillA;
    options.fillB = c.fillB;
    const carvex::ShapeResult ra = carvex::resolve(c.a, c.fillA);
    const carvex::ShapeResult rb = carvex::resolve(c.b, c.fillB);
    carvex::ShapeResult r[5];
    const Operation ops[5] = {Operation::Union, Operation::Intersect, Operation::SubtrA,
                              Operation::SubtrB, Operation::Xor};
    for (int i = 0; i < 5; ++i)
        r[i] = carvex::combine(c.a, c.b, ops[i], options);

    // Near-copies may be answered with slivers of up to the coarsest merge
    // distance (1e-5 of the extent) or the nudge each, along every outline.
    double perimeter = 0.0;
    for (const Spline* s : c.a)
        perimeter += perimeterOf(*s);
    for (const Spline* s : c.b)
        perimeter += perimeterOf(*s);
    const double width = std::max(c.nudge * c.copies, 1e-5 * 2.0 * c.size);
    const double tol = 4.0 * width * perimeter + 1e-9 * c.size * c.size;

    std::string broken;
    auto expect = [&](bool holds, const std::string& what) {
        if (!holds && broken.empty()) broken = c.summary + ": " + what;
    };
    auto area = [&](const carvex::ShapeResult& x) { return areaOf(x.shape, c.origin); };
    for (int i = 0; i < 5; ++i)
        if (r[i].ok()) expect(area(r[i]) >= -tol, "negative area " + number(area(r[i])));
    if (!ra.ok() || !rb.ok()) return broken;
    const double A = area(ra);
    const double B = area(rb);
    const double U = r[0].ok() ? area(r[0]) : NAN;
    const double I = r[1].ok() ? area(r[1]) : NAN;
    const double D = r[2].ok() ? area(r[2]) : NAN;
    const double E = r[3].ok() ? area(r[3]) : NAN;
    const double X = r[4].ok() ? area(r[4]) : NAN;
    auto near = [&](double x, double y) {
        return std::isnan(x) || std::isnan(y) || std::fabs(x - y) <= tol;
    };
    expect(near(U + I, A + B), "union + intersect " + number(U + I) + " != A + B " + number(A + B));
    expect(near(D + I, A), "A - B + intersect " + number(D + I) + " != A " + number(A));
    expect(near(E + I, B), "B - A + intersect " + number(E + I) + " != B " + number(B));
    expect(near(X, U - I), "xor " + number(X) + " != union - intersect " + number(U - I));
    expect(near(U, std::max(U, std::max(A, B))), "union " + number(U) + " smaller than an input");
    expect(std::isnan(I) || I <= std::min(A, B) + tol,
           "intersect " + number(I) + " larger than an input");
    return broken;
}
