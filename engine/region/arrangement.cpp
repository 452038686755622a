#include "region/arrangement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "region/runsort.h"
#include "region/scratch.h"
#include "region/tolerances.h"
#include "region/vertexorder.h"

namespace carvex::region {

namespace {

struct Node {
    Vec2 point;
    int knot = -1;
    bool structural = false;
};

struct Stop {
    int segment = 0;
    double t = 0.0;
    int node = 0;
    bool structural = false;
};

struct UnionFind {
    ScratchList<int> parent;
    UnionFind(int n, Arena* mem) : parent(n, mem) {
        for (int i = 0; i < n; ++i)
            parent[i] = i;
    }
    int find(int i) {
        while (parent[i] != i) {
            parent[i] = parent[parent[i]];
            i = parent[i];
        }
        return i;
    }
    void unite(int a, int b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
};

// Joins every two exposed nodes closer than the merge distance, through a
// grid of cells of that size.
void clusterNodes(const ScratchList<Node>& nodes, const ScratchList<char>& exposed, double merge,
                  UnionFind& sets, Arena* mem) {
    if (nodes.empty() || merge <= 0.0) return;
    double x0 = nodes[0].point.x;
    double y0 = nodes[0].point.y;
    for (const Node& n : nodes) {
        x0 = std::min(x0, n.point.x);
        y0 = std::min(y0, n.point.y);
    }
    struct Cell {
        std::int64_t cx;
        std::int64_t cy;
        int node;
    };
    ScratchList<Cell> cells(mem);
    cells.reserve(nodes.size());
    for (int i = 0; i < int(nodes.size()); ++i)
        if (exposed[i])
            cells.push_back({std::int64_t(std::floor((nodes[i].point.x - x0) / merge)),
                             std::int64_t(std::floor((nodes[i].point.y - y0) / merge)), i});
    auto less = [](const Cell& a, const Cell& b) {
        return a.cx != b.cx ? a.cx < b.cx : a.cy < b.cy;
    };
    ScratchList<Cell> scratch(mem);
    sortByRuns(cells, scratch, less);
    // Each cell meets its own row from itself on and the next row; a cursor
    // that only moves forward finds the next row's cells.
    size_t cursor = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& c = cells[i];
        auto meet = [&](const Cell& o) {
            if (length(nodes[o.node].point - nodes[c.node].point) <= merge)
                sets.unite(o.node, c.node);
        };
        for (size_t j = i + 1; j < cells.size() && cells[j].cx == c.cx && cells[j].cy <= c.cy + 1;
             ++j)
            meet(cells[j]);
        const Cell first{c.cx + 1, c.cy - 1, 0};
        while (cursor < cells.size() && less(cells[cursor], first))
            ++cursor;
        for (size_t j = cursor;
             j < cells.size() && cells[j].cx == c.cx + 1 && cells[j].cy <= c.cy + 1; ++j)
            meet(cells[j]);
    }
}

bool sameCurve(const Cubic& a, const Cubic& b, double tol) {
    double t = 0.0;
    for (double u : {0.25, 0.5, 0.75})
        if (!projectOnMonotone(b, 0.0, 1.0, pointAt(a, u), tol, t)) return false;
    return true;
}

}  // namespace

namespace {

// Runs of segments that follow each other along one outline, as index
// ranges [first, last] of the gathered segments; closed tells whether the
// run comes back to its start.
struct OutlineRun {
    int first = 0;
    int last = 0;
    bool closed = false;
};

ScratchList<OutlineRun> outlineRuns(const std::vector<SourceSegment>& segments, Arena* mem) {
    ScratchList<OutlineRun> runs(mem);
    for (int s = 0; s < int(segments.size());) {
        OutlineRun run{s, s, false};
        while (run.last + 1 < int(segments.size()) &&
               segments[run.last + 1].startKnot == segments[run.last].endKnot)
            ++run.last;
        run.closed = segments[run.last].endKnot == segments[run.first].startKnot;
        runs.push_back(run);
        s = run.last + 1;
    }
    return runs;
}

}  // namespace

void buildArrangement(const Gathered& input, const std::vector<Piece>& pieces,
                      const Meetings& meetings, Arrangement& out) {
    out.vertices.clear();
    out.vertexKnot.clear();
    out.links.clear();
    out.edges.clear();
    const std::vector<Hit>& hits = meetings.hits;
    const auto& segments = input.segments;
    const std::vector<char>& busy = meetings.busy;
    const int segmentCount = int(segments.size());
    StageMemory stage;
    Arena* mem = stage.arena();
    ScratchList<int> firstPiece(segmentCount + 1, 0, mem);
    for (const Piece& p : pieces)
        ++firstPiece[p.segment + 1];
    for (int s = 0; s < segmentCount; ++s)
        firstPiece[s + 1] += firstPiece[s];

    // Lists of the stage's own memory give nothing back as they grow: each
    // is sized once where its length is known.
    size_t busyStops = 0;
    for (int s = 0; s < segmentCount; ++s)
        if (busy[s]) busyStops += 1 + firstPiece[s + 1] - firstPiece[s];
    ScratchList<Node> nodes(mem);
    nodes.reserve(input.knots.size() + busyStops + 2 * hits.size());
    for (int k = 0; k < int(input.knots.size()); ++k)
        nodes.push_back({input.knots[k].point, k, true});
    // Knots inside a chain of quiet segments meet nothing: they are left out
    // of the search for nodes within the merge distance.
    ScratchList<char> exposed(nodes.size(), 0, mem);
    // Every place where a busy segment is cut, as (segment, parameter, node),
    // in that order: ends and monotone cuts come in order, hits are sorted in.
    ScratchList<Stop> regular(mem);
    regular.reserve(busyStops);
    for (int s = 0; s < segmentCount; ++s) {
        if (!busy[s]) continue;
        regular.push_back({s, 0.0, segments[s].startKnot, true});
        exposed[segments[s].startKnot] = 1;
        for (int i = firstPiece[s]; i < firstPiece[s + 1]; ++i) {
            if (pieces[i].t0 <= 0.0) continue;
            regular.push_back({s, pieces[i].t0, int(nodes.size()), true});
            nodes.push_back({pieces[i].curve.p[0], -1, true});
        }
        regular.push_back({s, 1.0, segments[s].endKnot, true});
        exposed[segments[s].endKnot] = 1;
    }
    // Stretches of quiet segments along one outline: chainOrder lists their
    // segments in the order of the outline, chains the [first, last]
    // positions of each stretch in it. A closed outline with no busy segment
    // is one chain from its first knot round to it.
    ScratchList<std::pair<int, int>> chains(mem);
    ScratchList<int> chainOrder(mem);
    chainOrder.reserve(segmentCount);
    for (const OutlineRun& run : outlineRuns(segments, mem)) {
        const int length = run.last - run.first + 1;
        int start = 0;
        if (run.closed) {
            while (start < length && !busy[run.first + start])
                ++start;
            if (start == length) start = 0;
        }
        int open = -1;
        for (int j = 0; j <= length; ++j) {
            const int s = run.first + (start + j) % length;
            const bool quiet = j < length && !busy[s];
            if (quiet && open < 0) open = int(chainOrder.size());
            if (quiet) chainOrder.push_back(s);
            if (!quiet && open >= 0) {
                chains.push_back({open, int(chainOrder.size()) - 1});
                exposed[segments[chainOrder[open]].startKnot] = 1;
                exposed[segments[chainOrder.back()].endKnot] = 1;
                open = -1;
            }
        }
    }
    // Cuts and meetings are always searched.
    exposed.resize(nodes.size() + 2 * hits.size(), 1);

    ScratchList<Stop> atHits(mem);
    atHits.reserve(2 * hits.size());
    ScratchList<std::pair<int, int>> joined(mem);
    joined.reserve(hits.size());
    for (const Hit& h : hits) {
        const int na = int(nodes.size());
        nodes.push_back({pointAt(segments[h.segA].curve, h.tA), -1, false});
        atHits.push_back({h.segA, h.tA, na, false});
        const int nb = int(nodes.size());
        nodes.push_back({pointAt(segments[h.segB].curve, h.tB), -1, false});
        atHits.push_back({h.segB, h.tB, nb, false});
        joined.push_back({na, nb});
    }
    auto before = [](const Stop& a, const Stop& b) {
        return a.segment != b.segment ? a.segment < b.segment : a.t < b.t;
    };
    std::sort(atHits.begin(), atHits.end(), before);
    // A cut inside a stretch that two segments share cuts both: each hit on
    // one side of a shared stretch is carried over to the other side.
    if (!meetings.overlaps.empty()) {
        ScratchList<Stop> carried(mem);
        auto carry = [&](int from, double f0, double f1, int to, double g0, double g1) {
            const Stop key{from, std::min(f0, f1), 0, false};
            auto it = std::upper_bound(atHits.begin(), atHits.end(), key, before);
            for (; it != atHits.end() && it->segment == from && it->t < std::max(f0, f1); ++it) {
                double t = 0.0;
                const Vec2 p = nodes[it->node].point;
                if (!projectOnMonotone(segments[to].curve, std::min(g0, g1), std::max(g0, g1), p,
                                       4.0 * input.merge, t))
                    continue;
                const int n = int(nodes.size());
                nodes.push_back({pointAt(segments[to].curve, t), -1, false});
                carried.push_back({to, t, n, false});
                joined.push_back({it->node, n});
            }
        };
        for (const Overlap& o : meetings.overlaps) {
            carry(o.segA, o.tA0, o.tA1, o.segB, o.tB0, o.tB1);
            carry(o.segB, o.tB0, o.tB1, o.segA, o.tA0, o.tA1);
        }
        std::sort(carried.begin(), carried.end(), before);
        ScratchList<Stop> all(atHits.size() + carried.size(), mem);
        std::merge(atHits.begin(), atHits.end(), carried.begin(), carried.end(), all.begin(),
                   before);
        atHits.swap(all);
        exposed.resize(nodes.size(), 1);
    }
    ScratchList<Stop> stops(regular.size() + atHits.size(), mem);
    std::merge(regular.begin(), regular.end(), atHits.begin(), atHits.end(), stops.begin(), before);
    UnionFind sets(int(nodes.size()), mem);
    for (const auto& [na, nb] : joined)
        sets.unite(na, nb);
    clusterNodes(nodes, exposed, input.merge, sets, mem);
    // Along a segment, stops a few merge distances apart would leave an
    // edge too short to have a direction: its ends become one vertex.
    const double shortest = 8.0 * input.merge;
    for (size_t k = 1; k < stops.size(); ++k) {
        const Stop& p = stops[k - 1];
        const Stop& q = stops[k];
        if (p.segment != q.segment) continue;
        if (length(nodes[p.node].point - nodes[q.node].point) <= shortest)
            sets.unite(p.node, q.node);
    }

    // One vertex per set that an edge ends at, placed on an input knot where
    // the set has one.
    ScratchList<int> best(nodes.size(), -1, mem);
    auto rank = [&](int n) { return nodes[n].knot >= 0 ? 2 : nodes[n].structural ? 1 : 0; };
    for (int i = 0; i < int(nodes.size()); ++i) {
        if (!exposed[i]) continue;
        const int r = sets.find(i);
        if (best[r] < 0 || rank(i) > rank(best[r])) best[r] = i;
    }
    ScratchList<int> vertexOfSet(nodes.size(), -1, mem);
    auto vertexOf = [&](int node) {
        const int r = sets.find(node);
        if (vertexOfSet[r] < 0) {
            const int b = best[r] >= 0 ? best[r] : node;
            vertexOfSet[r] = int(out.vertices.size());
            out.vertices.push_back(nodes[b].point);
            out.vertexKnot.push_back(nodes[b].knot);
        }
        return vertexOfSet[r];
    };

    std::vector<Edge>& raw = out.edges;
    raw.reserve(stops.size() + chains.size());
    size_t chainLinks = 0;
    for (const int s : chainOrder)
        chainLinks += firstPiece[s + 1] - firstPiece[s];
    out.links.reserve(stops.size() + chainLinks);
    ScratchList<Stop> kept(mem);
    for (size_t g = 0; g < stops.size();) {
        const int s = stops[g].segment;
        size_t end = g;
        while (end < stops.size() && stops[end].segment == s)
            ++end;
        // Neighbouring stops at one vertex become one; the segment's ends and
        // its monotone cuts are the ones kept.
        kept.clear();
        for (size_t k = g; k < end; ++k) {
            const Stop& st = stops[k];
            if (!kept.empty() && vertexOf(kept.back().node) == vertexOf(st.node)) {
                Stop& last = kept.back();
                const bool atEnd = st.t >= 1.0;
                if (last.t > 0.0 && (atEnd || (st.structural && !last.structural))) last = st;
                continue;
            }
            kept.push_back(st);
        }
        g = end;
        for (int i = 0; i + 1 < int(kept.size()); ++i) {
            Link& l = out.links.emplace_back();
            l.segment = s;
            l.stop0 = i;
            l.stop1 = i + 1;
            l.t0 = kept[i].t;
            l.t1 = kept[i + 1].t;
            Edge& e = raw.emplace_back();
            e.firstLink = int(out.links.size()) - 1;
            e.v0 = vertexOf(kept[i].node);
            e.v1 = vertexOf(kept[i + 1].node);
            l.curve = subCubic(segments[s].curve, l.t0, l.t1);
            l.curve.p[0] = out.vertices[e.v0];
            l.curve.p[3] = out.vertices[e.v1];
            (segments[s].operand == 0 ? e.deltaA : e.deltaB) = 1;
        }
    }
    // A chain is one edge made of the monotone pieces of its segments.
    for (const auto& [from, to] : chains) {
        Edge& e = raw.emplace_back();
        e.firstLink = int(out.links.size());
        e.v0 = vertexOf(segments[chainOrder[from]].startKnot);
        e.v1 = vertexOf(segments[chainOrder[to]].endKnot);
        (segments[chainOrder[from]].operand == 0 ? e.deltaA : e.deltaB) = 1;
        for (int c = from; c <= to; ++c) {
            const int s = chainOrder[c];
            for (int i = firstPiece[s]; i < firstPiece[s + 1]; ++i) {
                Link& l = out.links.emplace_back();
                l.segment = s;
                l.stop0 = i - firstPiece[s];
                l.stop1 = l.stop0 + 1;
                l.t0 = pieces[i].t0;
                l.t1 = pieces[i].t1;
                l.curve = pieces[i].curve;
            }
        }
        e.links = int(out.links.size()) - e.firstLink;
        out.links[e.firstLink].curve.p[0] = out.vertices[e.v0];
        out.links.back().curve.p[3] = out.vertices[e.v1];
    }

    // Edges between the same two vertices along the same curve are one edge
    // that carries the windings of all of them; only single links can be,
    // since a chain meets nothing.
    // Edges grouped by their lower vertex; within a group, those that share
    // the upper vertex as well may be one curve.
    const int nv = int(out.vertices.size());
    ScratchList<int> groupStart(nv + 1, 0, mem);
    for (const Edge& e : raw)
        ++groupStart[std::min(e.v0, e.v1) + 1];
    for (int v = 0; v < nv; ++v)
        groupStart[v + 1] += groupStart[v];
    ScratchList<int> grouped(raw.size(), mem);
    {
        ScratchList<int> fill(groupStart.begin(), groupStart.end() - 1, mem);
        for (int i = 0; i < int(raw.size()); ++i)
            grouped[fill[std::min(raw[i].v0, raw[i].v1)]++] = i;
    }
    const double tol = 4.0 * input.merge;
    for (int v = 0; v < nv; ++v) {
        const int b = groupStart[v];
        const int e = groupStart[v + 1];
        for (int k = b; k < e; ++k) {
            Edge& edge = raw[grouped[k]];
            if (edge.links > 1) continue;
            if (edge.v0 == edge.v1) {
                edge.deltaA = edge.deltaB = 0;
                continue;
            }
            const int upper = std::max(edge.v0, edge.v1);
            for (int r = b; r < k; ++r) {
                Edge& rep = raw[grouped[r]];
                if (std::max(rep.v0, rep.v1) != upper || rep.v0 == rep.v1) continue;
                if (rep.folded || rep.links > 1) continue;
                const bool along = rep.v0 == edge.v0;
                const Cubic& curve = out.startCurve(edge);
                const Cubic c = along ? curve : reversed(curve);
                if (!sameCurve(c, out.startCurve(rep), tol)) continue;
                rep.deltaA += along ? edge.deltaA : -edge.deltaA;
                rep.deltaB += along ? edge.deltaB : -edge.deltaB;
                edge.deltaA = edge.deltaB = 0;
                edge.folded = true;
                break;
            }
        }
    }
    // Edges whose windings cancel separate nothing.
    int live = 0;
    for (Edge& e : raw) {
        const bool keep = e.deltaA != 0 || e.deltaB != 0;
        for (int l = e.firstLink; l < e.firstLink + e.links; ++l)
            out.links[l].edge = keep ? live : -1;
        if (keep) raw[live++] = e;
    }
    raw.resize(live);
}

namespace {

// The links of the live edges sorted into buckets along one axis, for rays
// cast across it.
struct BucketIndex {
    bool alongY = true;  // buckets split y (for rays along x)
    double origin = 0.0;
    double width = 1.0;
    int count = 1;
    ScratchList<int> start;
    ScratchList<int> items;

    explicit BucketIndex(Arena* mem) : start(mem), items(mem) {}

    static double lo(const Link& l, bool y) {
        return y ? std::min(l.curve.p[0].y, l.curve.p[3].y)
                 : std::min(l.curve.p[0].x, l.curve.p[3].x);
    }
    static double hi(const Link& l, bool y) {
        return y ? std::max(l.curve.p[0].y, l.curve.p[3].y)
                 : std::max(l.curve.p[0].x, l.curve.p[3].x);
    }
    int bucket(double c) const {
        const double b = std::floor((c - origin) / width);
        return int(std::clamp(b, 0.0, double(count - 1)));
    }

    template <class Visit>
    static void forEachLiveLink(const Arrangement& a, Visit visit) {
        for (const Edge& e : a.edges)
            for (int l = e.firstLink; l < e.firstLink + e.links; ++l)
                visit(l);
    }

    void build(const Arrangement& a, bool y) {
        alongY = y;
        const auto& v = a.vertices;
        double l = 0.0;
        double h = 0.0;
        for (size_t i = 0; i < v.size(); ++i) {
            const double c = y ? v[i].y : v[i].x;
            if (i == 0 || c < l) l = c;
            if (i == 0 || c > h) h = c;
        }
        size_t links = 0;
        forEachLiveLink(a, [&](int i) {
            l = std::min(l, lo(a.links[i], y));
            h = std::max(h, hi(a.links[i], y));
            ++links;
        });
        origin = l;
        count = int(std::clamp<size_t>(links / 2, 1, kMaxRayBuckets));
        // Fewer buckets where long links would fill too many of them.
        for (;;) {
            width = std::max((h - l) / count, kNarrowestBucket);
            long long total = 0;
            forEachLiveLink(a, [&](int i) {
                total += bucket(hi(a.links[i], y)) - bucket(lo(a.links[i], y)) + 1;
            });
            if (count == 1 || total <= (long long)kRayEntriesPerLink * (long long)(links + 1))
                break;
            count = std::max(1, count / 4);
        }
        start.assign(count + 1, 0);
        forEachLiveLink(a, [&](int i) {
            for (int b = bucket(lo(a.links[i], y)); b <= bucket(hi(a.links[i], y)); ++b)
                ++start[b + 1];
        });
        for (int b = 0; b < count; ++b)
            start[b + 1] += start[b];
        items.resize(start[count]);
        ScratchList<int> fill(start.begin(), start.end() - 1, start.get_allocator());
        forEachLiveLink(a, [&](int i) {
            for (int b = bucket(lo(a.links[i], y)); b <= bucket(hi(a.links[i], y)); ++b)
                items[fill[b]++] = i;
        });
    }
};

// Where a monotone curve reaches the level c of one coordinate: the other
// coordinate there.
double otherAt(const Cubic& c, bool levelY, double level) {
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

// Winding numbers of both inputs at the side of link `self` the ray leaves
// to, with the ray from its middle along +x (levelY) or +y.
void castRay(const Arrangement& a, const BucketIndex* index, int self, Vec2 m, bool levelY, int& wa,
             int& wb) {
    const double level = levelY ? m.y : m.x;
    const double from = levelY ? m.x : m.y;
    wa = 0;
    wb = 0;
    auto visit = [&](int i) {
        if (i == self) return;
        const Link& l = a.links[i];
        const double c0 = levelY ? l.curve.p[0].y : l.curve.p[0].x;
        const double c1 = levelY ? l.curve.p[3].y : l.curve.p[3].x;
        // Half-open, so that a ray through a vertex counts it once.
        if (!(std::min(c0, c1) <= level && level < std::max(c0, c1))) return;
        const Box box = controlBox(l.curve);
        const double olo = levelY ? box.x0 : box.y0;
        const double ohi = levelY ? box.x1 : box.y1;
        if (ohi <= from) return;
        if (olo <= from && otherAt(l.curve, levelY, level) <= from) return;
        // Upward across a rightward ray, or leftward across an upward ray,
        // is a counterclockwise turn around the ray's origin.
        const Edge& e = a.edges[l.edge];
        const int sign = levelY ? (c1 > c0 ? 1 : -1) : (c1 < c0 ? 1 : -1);
        wa += sign * e.deltaA;
        wb += sign * e.deltaB;
    };
    if (!index) {
        BucketIndex::forEachLiveLink(a, visit);
        return;
    }
    const int b = index->bucket(level);
    for (int k = index->start[b]; k < index->start[b + 1]; ++k)
        visit(index->items[k]);
}

}  // namespace

void computeWindings(Arrangement& a, bool carry) {
    const int n = int(a.edges.size());
    if (n == 0) return;
    // The ends of the edges at every vertex in counterclockwise order; item
    // 2 i + 1 is where edge i leaves its start, 2 i where it reaches its end.
    StageMemory stage;
    Arena* mem = stage.arena();
    ScratchList<int> first(a.vertices.size() + 1, 0, mem);
    for (const Edge& e : a.edges) {
        ++first[e.v0 + 1];
        ++first[e.v1 + 1];
    }
    for (size_t v = 0; v < a.vertices.size(); ++v)
        first[v + 1] += first[v];
    ScratchList<Departure> ends(first.back(), mem);
    {
        ScratchList<int> fill(first.begin(), first.end() - 1, mem);
        for (int i = 0; i < n; ++i) {
            const Edge& e = a.edges[i];
            ends[fill[e.v0]++].item = 2 * i + 1;
            ends[fill[e.v1]++].item = 2 * i;
        }
    }
    // Where only two edges meet either order is counterclockwise. Where two
    // ends leave in the same direction their order is a guess: windings are
    // not carried across such a vertex, rays decide.
    ScratchList<char> unclear(a.vertices.size(), 0, mem);
    for (size_t v = 0; v < a.vertices.size(); ++v) {
        if (first[v + 1] - first[v] <= 2) continue;
        for (int k = first[v]; k < first[v + 1]; ++k) {
            const int item = ends[k].item;
            const Edge& e = a.edges[item / 2];
            ends[k] = departureOf(item & 1 ? a.startCurve(e) : reversed(a.endCurve(e)), item);
        }
        unclear[v] =
            !orderAroundVertex(&ends[first[v]], &ends[first[v]] + (first[v + 1] - first[v]));
    }

    BucketIndex rowsIndex(mem);
    BucketIndex columnsIndex(mem);
    bool rowsBuilt = false;
    bool columnsBuilt = false;
    int rays = 0;
    ScratchList<char> known(n, 0, mem);
    ScratchList<char> visited(a.vertices.size(), 0, mem);
    ScratchList<int> queue(mem);
    queue.reserve(n);
    for (int seed = 0; seed < n; ++seed) {
        if (known[seed]) continue;
        // One ray per connected part of the arrangement.
        Edge& e = a.edges[seed];
        const Cubic& curve = a.startCurve(e);
        const Vec2 m = pointAt(curve, 0.5);
        Vec2 tangent = derivativeAt(curve, 0.5);
        if (tangent.x == 0.0 && tangent.y == 0.0) tangent = curve.p[3] - curve.p[0];
        const bool levelY = std::fabs(tangent.y) >= std::fabs(tangent.x);
        BucketIndex& index = levelY ? rowsIndex : columnsIndex;
        bool& built = levelY ? rowsBuilt : columnsBuilt;
        // The first rays look at every edge; an index pays only for many.
        if (!built && ++rays > 8) {
            index.build(a, levelY);
            built = true;
        }
        int wa = 0;
        int wb = 0;
        castRay(a, built ? &index : nullptr, e.firstLink, m, levelY, wa, wb);
        const bool rayOnLeft = levelY ? tangent.y < 0.0 : tangent.x > 0.0;
        e.leftA = rayOnLeft ? wa : wa + e.deltaA;
        e.leftB = rayOnLeft ? wb : wb + e.deltaB;
        known[seed] = 1;
        // Around a vertex, crossing an edge changes the windings by its
        // deltas: the faces between the ends follow from any one of them.
        queue.assign(1, seed);
        while (carry && !queue.empty()) {
            const int i = queue.back();
            queue.pop_back();
            for (int side = 0; side < 2; ++side) {
                const int vtx = side == 0 ? a.edges[i].v0 : a.edges[i].v1;
                if (visited[vtx] || unclear[vtx]) continue;
                visited[vtx] = 1;
                const int b = first[vtx];
                const int count = first[vtx + 1] - b;
                int at = 0;
                const int self = 2 * i + (side == 0 ? 1 : 0);
                while (at < count && ends[b + at].item != self)
                    ++at;
                // Windings of the sector counterclockwise after each end.
                const Edge& cur = a.edges[i];
                const bool starts = side == 0;
                int sa = starts ? cur.leftA : cur.leftA - cur.deltaA;
                int sb = starts ? cur.leftB : cur.leftB - cur.deltaB;
                for (int k = 1; k < count; ++k) {
                    const int item = ends[b + (at + k) % count].item;
                    const int edge = item / 2;
                    const bool leaves = item & 1;
                    Edge& next = a.edges[edge];
                    // Crossing this end counterclockwise: from its right to
                    // its left when it leaves, the other way when it arrives.
                    const int da = leaves ? next.deltaA : -next.deltaA;
                    const int db = leaves ? next.deltaB : -next.deltaB;
                    sa += da;
                    sb += db;
                    if (!known[edge]) {
                        next.leftA = leaves ? sa : sa - da;
                        next.leftB = leaves ? sb : sb - db;
                        known[edge] = 1;
                        queue.push_back(edge);
                    }
                }
            }
        }
    }
}

}  // namespace carvex::region
