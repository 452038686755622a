#include "regioncheck.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

using drawn::Box;
using drawn::Loop;
using drawn::Vec2;

namespace regioncheck {

namespace {

Qt::FillRule qtRule(carvex::FillRule rule) {
    return rule == carvex::FillRule::EvenOdd ? Qt::OddEvenFill : Qt::WindingFill;
}

QImage blankMask(int size) {
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(0);
    return image;
}

QImage filled(const QPainterPath& path, int size) {
    QImage image = blankMask(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillPath(path, Qt::white);
    return image;
}

bool set(const QImage& image, int x, int y) {
    return image.constScanLine(y)[x] != 0;
}

double cross(const Vec2& a, const Vec2& b, const Vec2& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

double length(const Vec2& a, const Vec2& b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// Signed distance of p from the line through a and b (left positive).
double side(const Vec2& a, const Vec2& b, const Vec2& p) {
    const double l = length(a, b);
    return l == 0.0 ? 0.0 : cross(a, b, p) / l;
}

double distanceToSegment(const Vec2& a, const Vec2& b, const Vec2& p) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    double t = l2 == 0.0 ? 0.0 : ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

// A chord of a loop's polyline from vertex `first` over `span` vertices.
struct Chord {
    int loop;
    int first;
    int span;
    Vec2 a;
    Vec2 b;
};

struct Flattened {
    std::vector<std::vector<Vec2>> loops;
    double tolerance = 0.0;
    double extent = 0.0;
};

Flattened flattenAll(const Shape& answer) {
    Flattened f;
    const std::vector<Loop> loops = drawn::loopsOf(answer);
    f.extent = drawn::boundsOf(loops).extent();
    f.tolerance = 1e-6 * f.extent;
    for (const Loop& loop : loops)
        f.loops.push_back(drawn::flatten(loop, f.tolerance));
    return f;
}

// Whether two chords of one loop share a vertex (cyclically).
bool adjacent(const Chord& p, const Chord& q, int n) {
    for (int i = 0; i <= p.span; ++i)
        for (int j = 0; j <= q.span; ++j)
            if ((p.first + i) % n == (q.first + j) % n) return true;
    return false;
}

// Buckets of chord indices on a square grid over the answer's bounds.
class Grid {
public:
    Grid(const Box& box, int cells) : box_(box), cells_(cells), buckets_(cells * cells) {
        size_ = std::max(box.extent(), 1e-300) / cells;
    }
    template <typename F>
    void forCells(Vec2 a, Vec2 b, double grow, F f) const {
        const int i0 = cell(std::min(a.x, b.x) - grow, box_.x0);
        const int i1 = cell(std::max(a.x, b.x) + grow, box_.x0);
        const int j0 = cell(std::min(a.y, b.y) - grow, box_.y0);
        const int j1 = cell(std::max(a.y, b.y) + grow, box_.y0);
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i)
                f(j * cells_ + i);
    }
    std::vector<int>& bucket(int k) { return buckets_[k]; }
    const std::vector<int>& bucket(int k) const { return buckets_[k]; }
    int count() const { return int(buckets_.size()); }

private:
    int cell(double v, double origin) const {
        return std::clamp(int(std::floor((v - origin) / size_)), 0, cells_ - 1);
    }
    Box box_;
    int cells_;
    double size_ = 1.0;
    std::vector<std::vector<int>> buckets_;
};

std::string where(const Vec2& p) {
    std::ostringstream s;
    s.precision(17);
    s << "(" << p.x << ", " << p.y << ")";
    return s.str();
}

// The first vertex of the polyline at least `reach` away from vertex k,
// walking in direction step (+1 or -1); the farthest one tried otherwise.
Vec2 awayFrom(const std::vector<Vec2>& poly, int k, int step, double reach) {
    const int n = int(poly.size());
    const Vec2& x = poly[k];
    Vec2 last = x;
    for (int i = 1; i < n; ++i) {
        last = poly[((k + step * i) % n + n) % n];
        if (length(x, last) > reach) return last;
    }
    return last;
}

// Angle of v - x in [0, 2pi).
double angleOf(const Vec2& x, const Vec2& v) {
    double a = std::atan2(v.y - x.y, v.x - x.x);
    if (a < 0) a += 2.0 * M_PI;
    return a;
}

// Whether angle t lies strictly inside the counterclockwise sector from
// a to b, by more than `margin` radians.
bool strictlyInside(double a, double b, double t, double margin) {
    const double span = std::fmod(b - a + 4.0 * M_PI, 2.0 * M_PI);
    const double at = std::fmod(t - a + 4.0 * M_PI, 2.0 * M_PI);
    return at > margin && at < span - margin;
}
bool strictlyOutside(double a, double b, double t, double margin) {
    const double span = std::fmod(b - a + 4.0 * M_PI, 2.0 * M_PI);
    const double at = std::fmod(t - a + 4.0 * M_PI, 2.0 * M_PI);
    return at > span + margin && at < 2.0 * M_PI - margin;
}

}  // namespace

std::string RasterReport::text() const {
    std::ostringstream s;
    s << size << "x" << size << " pixels, " << compared << " compared (" << expectedFilled
      << " inside), " << wrongNonZero << " wrong filled nonzero, " << wrongEvenOdd
      << " wrong filled even-odd";
    return s.str();
}

bool inResult(bool inA, bool inB, carvex::Operation op) {
    switch (op) {
        case carvex::Operation::Union:
            return inA || inB;
        case carvex::Operation::Intersect:
            return inA && inB;
        case carvex::Operation::SubtrA:
            return inA && !inB;
        case carvex::Operation::SubtrB:
            return inB && !inA;
        case carvex::Operation::Xor:
            return inA != inB;
    }
    return false;
}

RasterReport rasterCompare(const Shape& a, carvex::FillRule fillA, const Shape& b,
                           carvex::FillRule fillB, carvex::Operation op, const Shape& answer,
                           int size, double band) {
    Box view;
    for (const Shape* s : {&a, &b, &answer}) {
        const Box box = drawn::boundsOf(*s);
        if (box.empty) continue;
        view.add({box.x0, box.y0});
        view.add({box.x1, box.y1});
    }
    RasterReport report;
    report.size = size;
    if (view.empty || view.extent() <= 0.0) return report;
    // Pixel space: the view fills the picture but for a margin.
    const double margin = 4.0 * band + 2.0;
    const double k = (size - 2.0 * margin) / view.extent();
    const double dx = margin - view.x0 * k;
    const double dy = margin - view.y0 * k;

    const QPainterPath pathA = drawn::painterPath(a, qtRule(fillA), k, dx, dy);
    const QPainterPath pathB = drawn::painterPath(b, qtRule(fillB), k, dx, dy);
    const QImage maskA = filled(pathA, size);
    const QImage maskB = filled(pathB, size);
    const QImage nonZero = filled(drawn::painterPath(answer, Qt::WindingFill, k, dx, dy), size);
    const QImage evenOdd = filled(drawn::painterPath(answer, Qt::OddEvenFill, k, dx, dy), size);
    QImage edges = blankMask(size);
    {
        QPainter painter(&edges);
        painter.setRenderHint(QPainter::Antialiasing, false);
        QPen pen(Qt::white, 2.0 * band);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(pathA, pen);
        painter.strokePath(pathB, pen);
    }
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (set(edges, x, y)) continue;
            ++report.compared;
            const bool expected = inResult(set(maskA, x, y), set(maskB, x, y), op);
            report.expectedFilled += expected;
            report.wrongNonZero += set(nonZero, x, y) != expected;
            report.wrongEvenOdd += set(evenOdd, x, y) != expected;
        }
    }
    return report;
}

std::string findCrossing(const Shape& answer) {
    const Flattened f = flattenAll(answer);
    if (f.loops.empty()) return {};
    const double tol = f.tolerance;
    const double eps = 5.0 * tol;

    // Chords of every polyline, plus chords over two vertices where the
    // middle one lies within 3 tol of them: a crossing that passes close to
    // a vertex of the fine polyline crosses such a chord well inside it.
    std::vector<Chord> chords;
    Box box;
    for (int l = 0; l < int(f.loops.size()); ++l) {
        const std::vector<Vec2>& p = f.loops[l];
        const int n = int(p.size());
        for (const Vec2& v : p)
            box.add(v);
        for (int i = 0; i < n && n >= 2; ++i)
            chords.push_back({l, i, 1, p[i], p[(i + 1) % n]});
        for (int i = 0; i < n && n >= 4; ++i) {
            const Vec2& a = p[i];
            const Vec2& m = p[(i + 1) % n];
            const Vec2& b = p[(i + 2) % n];
            if (length(a, m) > 0 && length(m, b) > 0 && distanceToSegment(a, b, m) <= 3.0 * tol)
                chords.push_back({l, i, 2, a, b});
        }
    }
    const int cells = std::clamp(int(std::sqrt(double(chords.size()))), 1, 512);
    Grid grid(box, cells);
    for (int c = 0; c < int(chords.size()); ++c)
        grid.forCells(chords[c].a, chords[c].b, eps, [&](int k) { grid.bucket(k).push_back(c); });

    // Chords that cross each other well inside both.
    for (int k = 0; k < grid.count(); ++k) {
        const std::vector<int>& bucket = grid.bucket(k);
        for (std::size_t i = 0; i < bucket.size(); ++i) {
            for (std::size_t j = i + 1; j < bucket.size(); ++j) {
                const Chord& p = chords[bucket[i]];
                const Chord& q = chords[bucket[j]];
                if (p.loop == q.loop && adjacent(p, q, int(f.loops[p.loop].size()))) continue;
                const double d1 = side(p.a, p.b, q.a);
                const double d2 = side(p.a, p.b, q.b);
                const double d3 = side(q.a, q.b, p.a);
                const double d4 = side(q.a, q.b, p.b);
                if (d1 * d2 >= 0 || d3 * d4 >= 0) continue;
                if (std::min({std::fabs(d1), std::fabs(d2), std::fabs(d3), std::fabs(d4)}) <= eps)
                    continue;
                std::ostringstream s;
                s << "loop " << p.loop << " crosses loop " << q.loop << " near " << where(q.a);
                return s.str();
            }
        }
    }

    // A loop passing through another outline at one of its vertices: its
    // neighbours lie well on opposite sides. Where both outlines have a
    // vertex there, the crossing shows in the order of their four
    // directions around it.
    const double reach = 20.0 * eps;
    std::vector<std::vector<double>> along(f.loops.size());
    for (std::size_t l = 0; l < f.loops.size(); ++l) {
        const std::vector<Vec2>& p = f.loops[l];
        double total = 0.0;
        for (std::size_t i = 0; i < p.size(); ++i) {
            along[l].push_back(total);
            total += length(p[i], p[(i + 1) % p.size()]);
        }
        along[l].push_back(total);
    }
    // Length along loop l between its vertices i and j, the shorter way round.
    auto alongDistance = [&](int l, int i, int j) {
        const std::vector<double>& a = along[l];
        const double d = std::fabs(a[i] - a[j]);
        return std::min(d, a.back() - d);
    };
    for (int l = 0; l < int(f.loops.size()); ++l) {
        const std::vector<Vec2>& p = f.loops[l];
        const int n = int(p.size());
        if (n < 3) continue;
        for (int v = 0; v < n; ++v) {
            const Vec2& x = p[v];
            std::string found;
            grid.forCells(x, x, eps, [&](int k) {
                if (!found.empty()) return;
                for (int c : grid.bucket(k)) {
                    const Chord& q = chords[c];
                    if (q.span != 1) continue;
                    const int m = int(f.loops[q.loop].size());
                    // The loop's own chords that v reaches along it within
                    // `reach` are its neighbourhood, not another passage.
                    if (q.loop == l && (alongDistance(l, v, q.first) <= reach ||
                                        alongDistance(l, v, (q.first + 1) % m) <= reach))
                        continue;
                    if (distanceToSegment(q.a, q.b, x) > eps) continue;
                    const Vec2 before = awayFrom(p, v, -1, reach);
                    const Vec2 after = awayFrom(p, v, +1, reach);
                    const bool atStart = length(q.a, x) <= eps;
                    const bool atEnd = length(q.b, x) <= eps;
                    bool crossing = false;
                    if (!atStart && !atEnd) {
                        const double s1 = side(q.a, q.b, before);
                        const double s2 = side(q.a, q.b, after);
                        crossing = s1 * s2 < 0 && std::min(std::fabs(s1), std::fabs(s2)) > eps;
                    } else {
                        const std::vector<Vec2>& other = f.loops[q.loop];
                        const int w = atStart ? q.first : (q.first + 1) % m;
                        const Vec2 otherBefore = awayFrom(other, w, -1, reach);
                        const Vec2 otherAfter = awayFrom(other, w, +1, reach);
                        const double a0 = angleOf(x, before);
                        const double a1 = angleOf(x, after);
                        const double t0 = angleOf(x, otherBefore);
                        const double t1 = angleOf(x, otherAfter);
                        // Directions taken `reach` away are good to about
                        // eps / reach radians where the vertices differ.
                        const double margin = 3.0 * eps / reach;
                        crossing = (strictlyInside(a0, a1, t0, margin) &&
                                    strictlyOutside(a0, a1, t1, margin)) ||
                                   (strictlyInside(a0, a1, t1, margin) &&
                                    strictlyOutside(a0, a1, t0, margin));
                    }
                    if (crossing) {
                        std::ostringstream s;
                        s << "loop " << l << " passes through loop " << q.loop << " at "
                          << where(x);
                        found = s.str();
                        return;
                    }
                }
            });
            if (!found.empty()) return found;
        }
    }
    return {};
}

namespace {

int winding(const std::vector<Vec2>& poly, const Vec2& p) {
    int w = 0;
    const int n = int(poly.size());
    for (int i = 0; i < n; ++i) {
        const Vec2& a = poly[i];
        const Vec2& b = poly[(i + 1) % n];
        if (a.y <= p.y) {
            if (b.y > p.y && cross(a, b, p) > 0) ++w;
        } else if (b.y <= p.y && cross(a, b, p) < 0) {
            --w;
        }
    }
    return w;
}

// For each loop, how many other loops hold it. Loops do not cross, so every
// point of loop i that is not on loop j tells alike whether i lies inside j.
// Samples are taken in the middle of chords (corners are where loops
// touch), and a sample within a few flattening tolerances of loop j says
// nothing; the majority of the rest decides.
std::vector<int> nestingDepths(const Flattened& f) {
    const double near = 5.0 * f.tolerance;
    std::vector<int> depths;
    for (std::size_t i = 0; i < f.loops.size(); ++i) {
        const std::vector<Vec2>& poly = f.loops[i];
        const int n = int(poly.size());
        int depth = 0;
        for (std::size_t j = 0; j < f.loops.size(); ++j) {
            if (j == i || n == 0) continue;
            const std::vector<Vec2>& other = f.loops[j];
            const int m = int(other.size());
            int inside = 0;
            int samples = 0;
            constexpr int kCandidates = 31;
            for (int k = 0; k < kCandidates && samples < 9; ++k) {
                const int c = int((long long)k * n / kCandidates);
                const Vec2& a = poly[c];
                const Vec2& b = poly[(c + 1) % n];
                const Vec2 mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
                bool onOther = false;
                for (int e = 0; e < m && !onOther; ++e)
                    onOther = distanceToSegment(other[e], other[(e + 1) % m], mid) <= near;
                if (onOther) continue;
                inside += winding(other, mid) != 0;
                ++samples;
            }
            if (2 * inside > samples) ++depth;
        }
        depths.push_back(depth);
    }
    return depths;
}

}  // namespace

std::string checkOrientation(const Shape& answer) {
    const Flattened f = flattenAll(answer);
    const std::vector<Loop> loops = drawn::loopsOf(answer);
    const std::vector<int> depths = nestingDepths(f);
    for (std::size_t i = 0; i < loops.size(); ++i) {
        const double area = drawn::loopArea(loops[i]);
        std::ostringstream s;
        if (std::fabs(area) <= 1e-12 * f.extent * f.extent) {
            s << "loop " << i << " encloses no area (" << area << ")";
            return s.str();
        }
        const bool outer = depths[i] % 2 == 0;
        if (outer != (area > 0)) {
            s << "loop " << i << " inside " << depths[i] << " others has signed area " << area
              << ", expected " << (outer ? "counterclockwise" : "clockwise");
            return s.str();
        }
    }
    return {};
}

double evenOddArea(const Shape& answer) {
    const Flattened f = flattenAll(answer);
    const std::vector<Loop> loops = drawn::loopsOf(answer);
    const std::vector<int> depths = nestingDepths(f);
    double area = 0.0;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        const double a = std::fabs(drawn::loopArea(loops[i]));
        area += depths[i] % 2 == 0 ? a : -a;
    }
    return area;
}

}  // namespace regioncheck
