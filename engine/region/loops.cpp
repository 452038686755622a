#include "region/loops.h"

#include <algorithm>
#include <cmath>

namespace carvex::region {

namespace {

bool filled(int winding, FillRule rule) {
    return rule == FillRule::NonZero ? winding != 0 : (winding & 1) != 0;
}

// One kept edge, run so that the answer lies on its left.
struct Run {
    int edge = 0;
    bool forward = true;
    int from = 0;
    int to = 0;
};

// The direction in which a curve leaves its start: the first handle that
// stands off the point, or the chord.
Vec2 leaving(const Cubic& c) {
    const double scale =
        length(c.p[3] - c.p[0]) + length(c.p[1] - c.p[0]) + length(c.p[2] - c.p[0]);
    for (int i = 1; i < 4; ++i) {
        const Vec2 d = c.p[i] - c.p[0];
        if (length(d) > 1e-9 * scale) return d;
    }
    return c.p[3] - c.p[0];
}

Cubic runCurve(const Arrangement& a, const Run& r) {
    const Cubic& c = a.edges[r.edge].curve;
    return r.forward ? c : reversed(c);
}

// Angle keys of a run at its start: the tangent, then a point a little along
// it, to order runs that leave in the same direction.
struct Heading {
    double tangent = 0.0;
    double along = 0.0;
};

Heading headingOut(const Cubic& c) {
    const Vec2 d = leaving(c);
    const Vec2 p = pointAt(c, 0.25) - c.p[0];
    return {std::atan2(d.y, d.x), std::atan2(p.y, p.x)};
}

// How far clockwise `to` lies from `from`, in (0, 2 pi].
double clockwise(double from, double to) {
    double d = std::fmod(from - to, 2.0 * M_PI);
    if (d <= 0.0) d += 2.0 * M_PI;
    return d;
}

struct OutputPiece {
    Cubic curve;
    int from = 0;
    int to = 0;
};

}  // namespace

bool insideAnswer(int windingA, int windingB, BooleanOp op, FillRule fillA, FillRule fillB) {
    const bool a = filled(windingA, fillA);
    const bool b = filled(windingB, fillB);
    switch (op) {
        case BooleanOp::Union:
            return a || b;
        case BooleanOp::Intersection:
            return a && b;
        case BooleanOp::AMinusB:
            return a && !b;
        case BooleanOp::BMinusA:
            return b && !a;
        case BooleanOp::Xor:
            return a != b;
    }
    return false;
}

Shape assembleLoops(const Gathered& input, const Arrangement& a, BooleanOp op, FillRule fillA,
                    FillRule fillB, bool* complete) {
    Shape out;
    if (complete) *complete = true;
    std::vector<Run> runs;
    for (int i = 0; i < int(a.edges.size()); ++i) {
        const Edge& e = a.edges[i];
        const bool left = insideAnswer(e.leftA, e.leftB, op, fillA, fillB);
        const bool right = insideAnswer(e.leftA - e.deltaA, e.leftB - e.deltaB, op, fillA, fillB);
        if (left == right) continue;
        runs.push_back(left ? Run{i, true, e.v0, e.v1} : Run{i, false, e.v1, e.v0});
    }
    if (runs.empty()) return out;

    // At every vertex each arriving run goes on with the leaving run that
    // turns most to the left: the loops then hug the answer and never cross.
    const int nv = int(a.vertices.size());
    std::vector<int> firstOut(nv + 1, 0);
    for (const Run& r : runs)
        ++firstOut[r.from + 1];
    for (int v = 0; v < nv; ++v)
        firstOut[v + 1] += firstOut[v];
    std::vector<int> outs(runs.size());
    {
        std::vector<int> fill(firstOut.begin(), firstOut.end() - 1);
        for (int i = 0; i < int(runs.size()); ++i)
            outs[fill[runs[i].from]++] = i;
    }
    // Headings matter only where a vertex offers a choice.
    std::vector<Heading> headings(runs.size());
    for (int i = 0; i < int(runs.size()); ++i)
        if (firstOut[runs[i].from + 1] - firstOut[runs[i].from] > 1)
            headings[i] = headingOut(runCurve(a, runs[i]));
    std::vector<int> next(runs.size(), -1);
    std::vector<char> taken(runs.size(), 0);
    for (int i = 0; i < int(runs.size()); ++i) {
        const int v = runs[i].to;
        const int b = firstOut[v];
        const int e = firstOut[v + 1];
        if (e - b == 1) {
            if (!taken[outs[b]]) next[i] = outs[b], taken[outs[b]] = 1;
            continue;
        }
        const Heading back = headingOut(reversed(runCurve(a, runs[i])));
        int best = -1;
        double bestKey = 0.0;
        double bestAlong = 0.0;
        for (int k = b; k < e; ++k) {
            const int j = outs[k];
            if (taken[j]) continue;
            double key = clockwise(back.tangent, headings[j].tangent);
            const double along = clockwise(back.along, headings[j].along);
            if (key > 2.0 * M_PI - 1e-9) key = 0.0;  // leaves along the arrival
            if (best < 0 || key < bestKey - 1e-9 ||
                (std::fabs(key - bestKey) <= 1e-9 && along < bestAlong)) {
                best = j;
                bestKey = key;
                bestAlong = along;
            }
        }
        if (best >= 0) next[i] = best, taken[best] = 1;
    }

    std::vector<char> visited(runs.size(), 0);
    for (int startRun = 0; startRun < int(runs.size()); ++startRun) {
        if (visited[startRun]) continue;
        std::vector<int> loop;
        int r = startRun;
        bool closed = false;
        while (r >= 0 && !visited[r]) {
            visited[r] = 1;
            loop.push_back(r);
            r = next[r];
            if (r == startRun) closed = true;
        }
        if (!closed) {
            if (complete) *complete = false;
            continue;
        }

        // Neighbouring runs along one segment become one piece of it again.
        auto joins = [&](int p, int q) {
            const Run& x = runs[p];
            const Run& y = runs[q];
            const Edge& ex = a.edges[x.edge];
            const Edge& ey = a.edges[y.edge];
            if (ex.segment != ey.segment || x.forward != y.forward) return false;
            return x.forward ? ex.stop1 == ey.stop0 : ex.stop0 == ey.stop1;
        };
        const int n = int(loop.size());
        int first = 0;
        while (first < n && joins(loop[(first + n - 1) % n], loop[first]))
            ++first;
        if (first == n) first = 0;
        std::vector<OutputPiece> pieces;
        double area = 0.0;
        double perimeter = 0.0;
        const Vec2 origin = a.vertices[runs[loop[first]].from];
        for (int k = 0; k < n;) {
            const Run& head = runs[loop[(first + k) % n]];
            const Edge& e0 = a.edges[head.edge];
            double t0 = e0.t0;
            double t1 = e0.t1;
            int from = head.from;
            int to = head.to;
            int m = k + 1;
            while (m < n && joins(loop[(first + m - 1) % n], loop[(first + m) % n])) {
                const Run& r2 = runs[loop[(first + m) % n]];
                const Edge& e2 = a.edges[r2.edge];
                t0 = std::min(t0, e2.t0);
                t1 = std::max(t1, e2.t1);
                to = r2.to;
                ++m;
            }
            k = m;
            const SourceSegment& seg = input.segments[e0.segment];
            Cubic c;
            if (t0 <= 0.0 && t1 >= 1.0 && !seg.closing) {
                c = seg.original;
            } else if (seg.line) {
                const Vec2 p = pointAt(seg.curve, t0);
                const Vec2 q = pointAt(seg.curve, t1);
                c = {{p, p, q, q}};
            } else {
                c = subCubic(seg.curve, t0, t1);
            }
            if (!head.forward) c = reversed(c);
            pieces.push_back({c, from, to});
            Cubic shifted = c;
            for (Vec2& p : shifted.p)
                p = p - origin;
            shifted.p[0] = a.vertices[from] - origin;
            shifted.p[3] = a.vertices[to] - origin;
            area += areaTerm(shifted);
            perimeter += length(c.p[3] - c.p[0]);
        }
        // A loop that encloses nothing the merge distance can see.
        if (std::fabs(area) <= input.merge * perimeter) continue;

        auto* spline = new Spline(QStringLiteral("Spline"), true);
        const int np = int(pieces.size());
        spline->reserve(np);
        for (int k = 0; k < np; ++k) {
            const OutputPiece& in = pieces[(k + np - 1) % np];
            const OutputPiece& o = pieces[k];
            const Vec2 point = a.vertices[o.from];
            const Vec2 inVec = in.curve.p[2];
            const Vec2 outVec = o.curve.p[1];
            int type = (inVec == point && outVec == point) ? Knot::Corner : Knot::BezierCorner;
            const int knot = a.vertexKnot[o.from];
            if (knot >= 0) {
                const InputKnot& src = input.knots[knot];
                if (src.point == point && ((src.in == inVec && src.out == outVec) ||
                                           (src.in == outVec && src.out == inVec)))
                    type = src.type;
            }
            spline->append(new Knot(Point3d(point.x, point.y, 0.0), Point3d(inVec.x, inVec.y, 0.0),
                                    Point3d(outVec.x, outVec.y, 0.0), 0.0, type));
        }
        out.addSpline(spline);
    }
    return out;
}

}  // namespace carvex::region
