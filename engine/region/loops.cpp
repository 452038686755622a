#include "region/loops.h"

#include <algorithm>
#include <cmath>

#include "region/scratch.h"
#include "region/stagecheck.h"
#include "region/tolerances.h"
#include "region/vertexorder.h"

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

// One link of a loop, in the loop's direction; knot is the input knot at its
// start, or -1.
struct Step {
    int link = 0;
    bool forward = true;
    int knot = -1;
};

// At every vertex each arriving run goes on with the leaving run that turns
// most to the left: the first met going clockwise from the arrival in the
// vertex's order. The loops then hug the answer and never cross.
// Returns false when two loops would cross at a vertex whose order is clear:
// the windings that chose the runs there are then not to be trusted.
bool linkRuns(const Arrangement& a, const ScratchList<Run>& runs, const ScratchList<int>& firstOut,
              const ScratchList<int>& outs, ScratchList<int>& next, Arena* mem) {
    ScratchList<char> taken(runs.size(), 0, mem);
    ScratchList<int> firstIn(firstOut.size(), 0, mem);
    for (const Run& r : runs)
        ++firstIn[r.to + 1];
    for (size_t v = 0; v + 1 < firstIn.size(); ++v)
        firstIn[v + 1] += firstIn[v];
    ScratchList<int> ins(runs.size(), mem);
    {
        ScratchList<int> fill(firstIn.begin(), firstIn.end() - 1, mem);
        for (int i = 0; i < int(runs.size()); ++i)
            ins[fill[runs[i].to]++] = i;
    }
    // Item 2 r + 1 is run r leaving the vertex, 2 r run r arriving.
    ScratchList<Departure> order(mem);
    std::vector<std::pair<int, int>> passages;
    bool crossed = false;
    for (size_t v = 0; v + 1 < firstOut.size(); ++v) {
        const int outCount = firstOut[v + 1] - firstOut[v];
        if (outCount == 0) continue;
        if (outCount == 1) {
            const int only = outs[firstOut[v]];
            for (int k = firstIn[v]; k < firstIn[v + 1] && !taken[only]; ++k)
                next[ins[k]] = only, taken[only] = 1;
            continue;
        }
        order.clear();
        for (int k = firstOut[v]; k < firstOut[v + 1]; ++k)
            order.push_back(departureOf(leavingStart(a, runs[outs[k]]), 2 * outs[k] + 1));
        for (int k = firstIn[v]; k < firstIn[v + 1]; ++k)
            order.push_back(departureOf(leavingEnd(a, runs[ins[k]]), 2 * ins[k]));
        const bool clear = orderAroundVertex(order.data(), order.data() + order.size());
        const int n = int(order.size());
        passages.clear();
        for (int at = 0; at < n; ++at) {
            if (order[at].item & 1) continue;
            for (int step = 1; step < n; ++step) {
                const int position = (at - step + n) % n;
                const int item = order[position].item;
                if (!(item & 1) || taken[item / 2]) continue;
                next[order[at].item / 2] = item / 2;
                taken[item / 2] = 1;
                passages.push_back({at, position});
                break;
            }
        }
        if (clear && passages.size() > 1 && !checkPassages(passages, n).empty()) crossed = true;
    }
    return !crossed;
}

}  // namespace

bool insideAnswer(int windingA, int windingB, Operation op, FillRule fillA, FillRule fillB) {
    const bool a = filled(windingA, fillA);
    const bool b = filled(windingB, fillB);
    switch (op) {
        case Operation::Union:
            return a || b;
        case Operation::Intersect:
            return a && b;
        case Operation::SubtrA:
            return a && !b;
        case Operation::SubtrB:
            return b && !a;
        case Operation::Xor:
            return a != b;
    }
    return false;
}

namespace {

// The edges the answer's boundary runs along: those with the answer on one
// side only, each run with the answer on its left.
void chooseRuns(const Arrangement& a, Operation op, FillRule fillA, FillRule fillB,
                ScratchList<Run>& runs) {
    runs.reserve(a.edges.size());
    for (int i = 0; i < int(a.edges.size()); ++i) {
        const Edge& e = a.edges[i];
        const bool left = insideAnswer(e.leftA, e.leftB, op, fillA, fillB);
        const bool right = insideAnswer(e.leftA - e.deltaA, e.leftB - e.deltaB, op, fillA, fillB);
        if (left == right) continue;
        runs.push_back(left ? Run{i, true, e.v0, e.v1} : Run{i, false, e.v1, e.v0});
    }
}

// The runs leaving each vertex: those of v are outs[firstOut[v]] to
// outs[firstOut[v + 1] - 1].
void indexByStart(const ScratchList<Run>& runs, int vertices, ScratchList<int>& firstOut,
                  ScratchList<int>& outs, Arena* mem) {
    firstOut.assign(vertices + 1, 0);
    for (const Run& r : runs)
        ++firstOut[r.from + 1];
    for (int v = 0; v < vertices; ++v)
        firstOut[v + 1] += firstOut[v];
    outs.resize(runs.size());
    ScratchList<int> fill(firstOut.begin(), firstOut.end() - 1, mem);
    for (int i = 0; i < int(runs.size()); ++i)
        outs[fill[runs[i].from]++] = i;
}

// The runs of the loop through startRun, in order; false when they do not
// come back to it.
bool followLoop(int startRun, const ScratchList<int>& next, ScratchList<char>& visited,
                ScratchList<int>& loop) {
    loop.clear();
    bool closed = false;
    for (int r = startRun; r >= 0 && !visited[r]; r = next[r]) {
        visited[r] = 1;
        loop.push_back(r);
        if (next[r] == startRun) closed = true;
    }
    return closed;
}

// The loop's links in order; at the start of a run the knot is the vertex's,
// inside a chain the knot where one segment ends.
void stepsOf(const Gathered& input, const Arrangement& a, const ScratchList<Run>& runs,
             const ScratchList<int>& loop, ScratchList<Step>& steps) {
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
}

Vec2 startOf(const Arrangement& a, const Step& st) {
    const Link& l = a.links[st.link];
    return st.forward ? a.startOf(l) : a.endOf(l);
}

Vec2 endOf(const Arrangement& a, const Step& st) {
    const Link& l = a.links[st.link];
    return st.forward ? a.endOf(l) : a.startOf(l);
}

// Whether step y goes on along the same segment where step x ends.
bool joins(const Arrangement& a, const Step& x, const Step& y) {
    const Link& lx = a.links[x.link];
    const Link& ly = a.links[y.link];
    if (lx.segment != ly.segment || x.forward != y.forward) return false;
    return x.forward ? lx.stop + 1 == ly.stop : lx.stop == ly.stop + 1;
}

// The part of a segment between two parameters, as exact as it can be: the
// segment as drawn when it is whole.
Cubic pieceOfSegment(const Gathered& input, const SourceSegment& seg, double t0, double t1) {
    if (t0 <= 0.0 && t1 >= 1.0 && !seg.closing) return drawnCurve(input, seg);
    const Cubic curve = curveOf(input, seg);
    if (seg.line) {
        const Vec2 p = pointAt(curve, t0);
        const Vec2 q = pointAt(curve, t1);
        return {{p, p, q, q}};
    }
    return subCubic(curve, t0, t1);
}

// A loop of one piece, such as the curl of a segment that crosses itself,
// is a spline of one knot that many readers and writers of splines pass
// over: its middle becomes a second knot.
void splitLonePiece(const Cubic& whole, Path& path, ScratchList<int>& knotOf) {
    Cubic first;
    Cubic second;
    split(whole, 0.5, first, second);
    PathKnot& start = path.knots.front();
    start.in = second.p[2];
    start.out = first.p[1];
    path.knots.push_back({first.p[3], first.p[2], second.p[1], -1});
    knotOf.push_back(-1);
}

// A knot that is an input knot with its handles (or with them swapped,
// where the answer runs the other way) keeps the input knot's tag.
void keepInputTags(const Gathered& input, Path& path, const ScratchList<int>& knotOf) {
    for (size_t k = 0; k < path.knots.size(); ++k) {
        if (knotOf[k] < 0) continue;
        PathKnot& knot = path.knots[k];
        const InputKnot& src = input.knots[knotOf[k]];
        if (src.point == knot.point && ((src.in == knot.in && src.out == knot.out) ||
                                        (src.in == knot.out && src.out == knot.in)))
            knot.tag = src.tag;
    }
}

// How many pieces the loop's steps make from step first on.
int piecesFrom(const Arrangement& a, const ScratchList<Step>& steps, int first) {
    const int n = int(steps.size());
    int pieces = 1;
    for (int m = 1; m < n; ++m)
        pieces += !joins(a, steps[(first + m - 1) % n], steps[(first + m) % n]);
    return pieces;
}

// Neighbouring links along one segment become one piece of it again, and
// the pieces the loop's path, written as they come: a knot where each piece
// starts, whose in-handle is the last handle of the piece before. The loop's
// area and the length of its chords come back too, for telling a loop that
// encloses nothing.
Path pathOfSteps(const Gathered& input, const Arrangement& a, const ScratchList<Step>& steps,
                 ScratchList<int>& knotOf, double& area, double& perimeter) {
    const int n = int(steps.size());
    auto at = [&](int k) -> const Step& { return steps[k % n]; };
    int first = 0;
    while (first < n && joins(a, steps[(first + n - 1) % n], steps[first]))
        ++first;
    if (first == n) first = 0;
    Path path;
    const int pieces = piecesFrom(a, steps, first);
    path.knots.reserve(std::max(2, pieces));
    knotOf.clear();
    knotOf.reserve(std::max(2, pieces));
    area = 0.0;
    perimeter = 0.0;
    const Vec2 origin = startOf(a, steps[first]);
    Cubic firstCurve;
    Vec2 handleIn;
    for (int k = 0; k < n;) {
        const Step& head = at(first + k);
        const Link& l0 = a.links[head.link];
        double t0 = l0.t0;
        double t1 = l0.t1;
        Vec2 to = endOf(a, head);
        int m = k + 1;
        for (; m < n && joins(a, at(first + m - 1), at(first + m)); ++m) {
            const Link& l2 = a.links[at(first + m).link];
            t0 = std::min(t0, l2.t0);
            t1 = std::max(t1, l2.t1);
            to = endOf(a, at(first + m));
        }
        k = m;
        const SourceSegment& seg = input.segments[l0.segment];
        Cubic c = pieceOfSegment(input, seg, t0, t1);
        if (!head.forward) c = reversed(c);
        const Vec2 from = startOf(a, head);
        // A piece of a straight segment has its handles on its ends, the
        // very points its knots get, so that it reads as a line again.
        if (seg.line && c.p[0] == c.p[1] && c.p[2] == c.p[3]) c = {{from, from, to, to}};
        if (path.knots.empty()) firstCurve = c;
        path.knots.push_back({from, handleIn, c.p[1], -1});
        knotOf.push_back(head.knot);
        handleIn = c.p[2];
        Cubic shifted = c;
        for (Vec2& p : shifted.p)
            p = p - origin;
        shifted.p[0] = from - origin;
        shifted.p[3] = to - origin;
        area += areaTerm(shifted);
        perimeter += length(c.p[3] - c.p[0]);
    }
    path.knots.front().in = handleIn;
    if (path.knots.size() == 1) splitLonePiece(firstCurve, path, knotOf);
    keepInputTags(input, path, knotOf);
    return path;
}

}  // namespace

Paths assembleLoops(const Gathered& input, const Arrangement& a, Operation op, FillRule fillA,
                    FillRule fillB, bool* complete) {
    Paths out;
    if (complete) *complete = true;
    StageMemory stage;
    Arena* mem = stage.arena();
    ScratchList<Run> runs(mem);
    chooseRuns(a, op, fillA, fillB, runs);
    if (runs.empty()) return out;
    ScratchList<int> firstOut(mem);
    ScratchList<int> outs(mem);
    indexByStart(runs, int(a.vertices.size()), firstOut, outs, mem);
    ScratchList<int> next(runs.size(), -1, mem);
    if (!linkRuns(a, runs, firstOut, outs, next, mem) && complete) *complete = false;

    // One loop at a time: the lists are sized for each loop longer than
    // those before it, and a large list gives back what it outgrew.
    ScratchList<Step> steps(mem);
    ScratchList<int> knotOf(mem);
    ScratchList<int> loop(mem);
    loop.reserve(runs.size());
    ScratchList<char> visited(runs.size(), 0, mem);
    for (int startRun = 0; startRun < int(runs.size()); ++startRun) {
        if (visited[startRun]) continue;
        if (!followLoop(startRun, next, visited, loop)) {
            if (complete) *complete = false;
            continue;
        }
        size_t loopLinks = 0;
        for (const int r : loop)
            loopLinks += size_t(a.edges[runs[r].edge].links);
        steps.reserve(loopLinks);
        stepsOf(input, a, runs, loop, steps);
        double area = 0.0;
        double perimeter = 0.0;
        Path path = pathOfSteps(input, a, steps, knotOf, area, perimeter);
        // A loop that encloses nothing the merge distance can see.
        if (std::fabs(area) <= input.merge * perimeter) continue;
        out.push_back(std::move(path));
    }
    return out;
}

}  // namespace carvex::region
