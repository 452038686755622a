#include "region/loops.h"

#include <algorithm>
#include <cmath>

#include "region/scratch.h"
#include "region/tolerances.h"

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
        if (length(d) > kShortestHeading * scale) return d;
    }
    return c.p[3] - c.p[0];
}

// The curve by which a run leaves its start, and the one by which it leaves
// its end going back.
Cubic leavingStart(const Arrangement& a, const Run& r) {
    const Edge& e = a.edges[r.edge];
    return r.forward ? a.startCurve(e) : reversed(a.endCurve(e));
}

Cubic leavingEnd(const Arrangement& a, const Run& r) {
    const Edge& e = a.edges[r.edge];
    return r.forward ? reversed(a.endCurve(e)) : a.startCurve(e);
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

// One link of a loop, in the loop's direction; knot is the input knot at its
// start, or -1.
struct Step {
    int link = 0;
    bool forward = true;
    int knot = -1;
};

struct OutputPiece {
    Cubic curve;
    Vec2 from;
    Vec2 to;
    int knot = -1;
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
    std::pmr::memory_resource* mem = stageMemory();
    ScratchList<Run> runs(mem);
    runs.reserve(a.edges.size());
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
    ScratchList<int> firstOut(nv + 1, 0, mem);
    for (const Run& r : runs)
        ++firstOut[r.from + 1];
    for (int v = 0; v < nv; ++v)
        firstOut[v + 1] += firstOut[v];
    ScratchList<int> outs(runs.size(), mem);
    {
        ScratchList<int> fill(firstOut.begin(), firstOut.end() - 1, mem);
        for (int i = 0; i < int(runs.size()); ++i)
            outs[fill[runs[i].from]++] = i;
    }
    // Headings matter only where a vertex offers a choice.
    ScratchList<Heading> headings(runs.size(), mem);
    for (int i = 0; i < int(runs.size()); ++i)
        if (firstOut[runs[i].from + 1] - firstOut[runs[i].from] > 1)
            headings[i] = headingOut(leavingStart(a, runs[i]));
    ScratchList<int> next(runs.size(), -1, mem);
    ScratchList<char> taken(runs.size(), 0, mem);
    for (int i = 0; i < int(runs.size()); ++i) {
        const int v = runs[i].to;
        const int b = firstOut[v];
        const int e = firstOut[v + 1];
        if (e - b == 1) {
            if (!taken[outs[b]]) next[i] = outs[b], taken[outs[b]] = 1;
            continue;
        }
        const Heading back = headingOut(leavingEnd(a, runs[i]));
        int best = -1;
        double bestKey = 0.0;
        double bestAlong = 0.0;
        for (int k = b; k < e; ++k) {
            const int j = outs[k];
            if (taken[j]) continue;
            double key = clockwise(back.tangent, headings[j].tangent);
            const double along = clockwise(back.along, headings[j].along);
            if (key > 2.0 * M_PI - kHeadingTie) key = 0.0;  // leaves along the arrival
            if (best < 0 || key < bestKey - kHeadingTie ||
                (std::fabs(key - bestKey) <= kHeadingTie && along < bestAlong)) {
                best = j;
                bestKey = key;
                bestAlong = along;
            }
        }
        if (best >= 0) next[i] = best, taken[best] = 1;
    }

    ScratchList<char> visited(runs.size(), 0, mem);
    // Sized once for the longest loop there can be: lists of the stage's own
    // memory give nothing back as they grow.
    size_t runLinks = 0;
    for (const Run& r : runs)
        runLinks += a.edges[r.edge].links;
    ScratchList<Step> steps(mem);
    steps.reserve(runLinks);
    ScratchList<OutputPiece> pieces(mem);
    pieces.reserve(runLinks);
    ScratchList<int> loop(mem);
    loop.reserve(runs.size());
    for (int startRun = 0; startRun < int(runs.size()); ++startRun) {
        if (visited[startRun]) continue;
        loop.clear();
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

        // The loop's links in order; at the start of a run the knot is the
        // vertex's, inside a chain the knot where one segment ends.
        steps.clear();
        for (const int index : loop) {
            const Run& run = runs[index];
            const Edge& e = a.edges[run.edge];
            for (int k = 0; k < e.links; ++k) {
                const int l = run.forward ? e.firstLink + k : e.firstLink + e.links - 1 - k;
                const Link& link = a.links[l];
                const SourceSegment& seg = input.segments[link.segment];
                int knot = -1;
                if (k == 0)
                    knot = a.vertexKnot[run.from];
                else if (run.forward ? link.t0 <= 0.0 : link.t1 >= 1.0)
                    knot = run.forward ? seg.startKnot : seg.endKnot;
                steps.push_back({l, run.forward, knot});
            }
        }
        // Neighbouring links along one segment become one piece of it again.
        auto joins = [&](const Step& x, const Step& y) {
            const Link& lx = a.links[x.link];
            const Link& ly = a.links[y.link];
            if (lx.segment != ly.segment || x.forward != y.forward) return false;
            return x.forward ? lx.stop1 == ly.stop0 : lx.stop0 == ly.stop1;
        };
        const int n = int(steps.size());
        int first = 0;
        while (first < n && joins(steps[(first + n - 1) % n], steps[first]))
            ++first;
        if (first == n) first = 0;
        pieces.clear();
        double area = 0.0;
        double perimeter = 0.0;
        auto startOf = [&](const Step& st) {
            const Cubic& c = a.links[st.link].curve;
            return st.forward ? c.p[0] : c.p[3];
        };
        auto endOf = [&](const Step& st) {
            const Cubic& c = a.links[st.link].curve;
            return st.forward ? c.p[3] : c.p[0];
        };
        const Vec2 origin = startOf(steps[first]);
        for (int k = 0; k < n;) {
            const Step& head = steps[(first + k) % n];
            const Link& l0 = a.links[head.link];
            double t0 = l0.t0;
            double t1 = l0.t1;
            Vec2 to = endOf(head);
            int m = k + 1;
            while (m < n && joins(steps[(first + m - 1) % n], steps[(first + m) % n])) {
                const Step& next = steps[(first + m) % n];
                const Link& l2 = a.links[next.link];
                t0 = std::min(t0, l2.t0);
                t1 = std::max(t1, l2.t1);
                to = endOf(next);
                ++m;
            }
            k = m;
            const SourceSegment& seg = input.segments[l0.segment];
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
            const Vec2 from = startOf(head);
            pieces.push_back({c, from, to, head.knot});
            Cubic shifted = c;
            for (Vec2& p : shifted.p)
                p = p - origin;
            shifted.p[0] = from - origin;
            shifted.p[3] = to - origin;
            area += areaTerm(shifted);
            perimeter += length(c.p[3] - c.p[0]);
        }
        // A loop that encloses nothing the merge distance can see.
        if (std::fabs(area) <= input.merge * perimeter) continue;
        // A loop of one piece, such as the curl of a segment that crosses
        // itself, is a spline of one knot that many readers and writers of
        // splines pass over: its middle becomes a second knot.
        if (pieces.size() == 1) {
            const OutputPiece whole = pieces.front();
            Cubic first;
            Cubic second;
            split(whole.curve, 0.5, first, second);
            pieces.assign(
                {{first, whole.from, first.p[3], whole.knot}, {second, first.p[3], whole.to, -1}});
        }

        auto* spline = new Spline(QStringLiteral("Spline"), true);
        const int np = int(pieces.size());
        spline->reserve(np);
        for (int k = 0; k < np; ++k) {
            const OutputPiece& in = pieces[(k + np - 1) % np];
            const OutputPiece& o = pieces[k];
            const Vec2 point = o.from;
            const Vec2 inVec = in.curve.p[2];
            const Vec2 outVec = o.curve.p[1];
            int type = (inVec == point && outVec == point) ? Knot::Corner : Knot::BezierCorner;
            const int knot = o.knot;
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
