#include "region/arrangement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "region/nodegrid.h"
#include "region/runsort.h"
#include "region/scratch.h"
#include "region/spare.h"
#include "region/tolerances.h"
#include "region/unionfind.h"
#include "region/vertexorder.h"

namespace carvex::region {

namespace {

// A place where a segment is cut: at node `node`, parameter t of segment
// `segment`.
struct Stop {
    int segment = 0;
    int node = 0;
    double t = 0.0;
};

// How far apart two curves may run and be one: a few merge distances of
// drift, or two thresholds, since the search met them at one threshold and
// their ends were joined at another.
double sameCurveReach(const Gathered& input) {
    return std::max(kSameCurveReach * input.merge, 2.0 * input.join);
}

bool sameCurve(const Cubic& a, const Cubic& b, double tol) {
    if (sameControlPoints(a, b)) return true;
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

namespace {

// The working lists of one build, all from the stage's memory. Lists of the
// stage's memory give nothing back as they grow: each is sized once where
// its length is known.
struct Builder {
    const Gathered& input;
    const PieceList& pieces;
    const Meetings& meetings;
    Arena* mem;
    // The pieces of segment s are pieces[firstPiece[s]] to
    // pieces[firstPiece[s + 1] - 1].
    ScratchList<int> firstPiece{mem};
    // The point of every node: first the knots (node k is knot k) and the
    // monotone cuts, the structural nodes that a segment's stops keep before
    // others, then the two sides of each hit and the hits carried across
    // shared stretches.
    ScratchList<Vec2> nodes{mem};
    int structuralNodes = 0;
    // Knots inside a chain of quiet segments meet nothing: they are left out
    // of the search for nodes within the merge distance.
    ScratchList<char> exposed{mem};
    // Every place where a busy segment is cut, as (segment, parameter, node),
    // in that order: ends and monotone cuts come in order, hits are sorted in.
    ScratchList<Stop> regular{mem};
    ScratchList<Stop> atHits{mem};
    // Stretches of quiet segments along one outline: chainOrder lists their
    // segments in the order of the outline, chains the [first, last]
    // positions of each stretch in it.
    ScratchList<std::pair<int, int>> chains{mem};
    ScratchList<int> chainOrder{mem};
    // Nodes that are one point: the two sides of a hit, and a hit carried
    // across a shared stretch.
    ScratchList<std::pair<int, int>> joined{mem};

    int segmentCount() const { return int(input.segments.size()); }
    int knotOf(int node) const { return node < int(input.knots.size()) ? node : -1; }
    bool structural(int node) const { return node < structuralNodes; }
    int piecesOf(int s) const { return firstPiece[s + 1] - firstPiece[s]; }
};

// A function object rather than a function, so that the sorts inline it.
constexpr auto before = [](const Stop& a, const Stop& b) {
    return a.segment != b.segment ? a.segment < b.segment : a.t < b.t;
};

void indexPieces(Builder& b) {
    b.firstPiece.assign(b.segmentCount() + 1, 0);
    for (const Piece& p : b.pieces)
        ++b.firstPiece[p.segment + 1];
    for (int s = 0; s < b.segmentCount(); ++s)
        b.firstPiece[s + 1] += b.firstPiece[s];
}

// A node for every knot, and the stops of every busy segment: its ends and
// its monotone cuts.
void placeStructuralStops(Builder& b) {
    const auto& segments = b.input.segments;
    const std::vector<char>& busy = b.meetings.busy;
    size_t busyStops = 0;
    for (int s = 0; s < b.segmentCount(); ++s)
        if (busy[s]) busyStops += 1 + b.piecesOf(s);
    b.nodes.reserve(b.input.knots.size() + busyStops + 2 * b.meetings.hits.size());
    for (int k = 0; k < int(b.input.knots.size()); ++k)
        b.nodes.push_back(b.input.knots[k].point);
    b.exposed.assign(b.nodes.size(), 0);
    b.regular.reserve(busyStops);
    for (int s = 0; s < b.segmentCount(); ++s) {
        if (!busy[s]) continue;
        b.regular.push_back({s, segments[s].startKnot, 0.0});
        b.exposed[segments[s].startKnot] = 1;
        for (int i = b.firstPiece[s]; i < b.firstPiece[s + 1]; ++i) {
            if (b.pieces[i].t0 <= 0.0) continue;
            b.regular.push_back({s, int(b.nodes.size()), b.pieces[i].t0});
            b.nodes.push_back(b.pieces.start(b.pieces[i]));
        }
        b.regular.push_back({s, segments[s].endKnot, 1.0});
        b.exposed[segments[s].endKnot] = 1;
    }
    b.structuralNodes = int(b.nodes.size());
}

// The chains of quiet segments. A closed outline with no busy segment is one
// chain from its first knot round to it.
void findQuietChains(Builder& b) {
    const auto& segments = b.input.segments;
    const std::vector<char>& busy = b.meetings.busy;
    b.chainOrder.reserve(b.segmentCount());
    for (const OutlineRun& run : outlineRuns(segments, b.mem)) {
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
            if (quiet && open < 0) open = int(b.chainOrder.size());
            if (quiet) b.chainOrder.push_back(s);
            if (!quiet && open >= 0) {
                b.chains.push_back({open, int(b.chainOrder.size()) - 1});
                b.exposed[segments[b.chainOrder[open]].startKnot] = 1;
                b.exposed[segments[b.chainOrder.back()].endKnot] = 1;
                open = -1;
            }
        }
    }
}

// Two joined nodes for every hit, one on each segment, as stops in the
// order of the hits; many hits are placed in two halves side by side.
void placeHitNodes(Builder& b) {
    const auto& segments = b.input.segments;
    const std::vector<Hit>& hits = b.meetings.hits;
    const size_t first = b.nodes.size();
    // Cuts and meetings are always searched.
    b.exposed.resize(first + 2 * hits.size(), 1);
    b.nodes.resize(first + 2 * hits.size());
    // The hits' stops come first; with room for those carried across shared
    // stretches, most often a few hundred, so that carrying them moves
    // nothing.
    b.atHits.reserve(2 * hits.size() + hits.size() / 32);
    b.atHits.resize(2 * hits.size());
    const size_t pairs = b.joined.size();
    b.joined.resize(pairs + hits.size());
    // Each half writes only its own places in lists sized beforehand.
    auto place = [&](size_t lo, size_t hi) {
        for (size_t k = lo; k < hi; ++k) {
            const Hit& h = hits[k];
            const int na = int(first + 2 * k);
            const int nb = na + 1;
            b.nodes[na] = pointAt(curveOf(b.input, segments[h.segA]), h.tA);
            b.nodes[nb] = pointAt(curveOf(b.input, segments[h.segB]), h.tB);
            b.atHits[2 * k] = {h.segA, na, h.tA};
            b.atHits[2 * k + 1] = {h.segB, nb, h.tB};
            b.joined[pairs + k] = {na, nb};
        }
    };
    const size_t half = hits.size() / 2;
    if (2 * hits.size() < size_t(kNodesForASpareCore) ||
        !besideEachOther([&] { place(0, half); }, [&] { place(half, hits.size()); }))
        place(0, hits.size());
}

// The hits' stops sorted along the segments: by the bytes of the segment,
// in place, then the few stops of each segment by parameter.
void sortHitStops(Builder& b) {
    sortByKeyBytes(
        b.atHits.data(), b.atHits.data() + b.atHits.size(),
        [](const Stop& s) { return std::uint64_t(s.segment); }, before);
}

// Hits that pile up at one place on a segment, one for every near-copy that
// crosses there: each hit's pile, as the position in the hits of the pile's
// first, is the run of hits closer to that first one than the shortest edge
// and on one monotone piece with it. They lie in the box of the first and
// the last, so the stops between them are all that close and become one
// vertex anyway; the pile is joined to its first hit here.
ScratchList<int> pileHits(Builder& b) {
    ScratchList<int> pile(b.atHits.size(), b.mem);
    const double shortest = std::max(kShortestEdgeReach * b.input.merge, b.input.join);
    int piece = 0;
    int first = -1;
    for (int k = 0; k < int(b.atHits.size()); ++k) {
        const Stop& st = b.atHits[k];
        const int s = st.segment;
        if (piece < b.firstPiece[s]) piece = b.firstPiece[s];
        while (piece + 1 < b.firstPiece[s + 1] && b.pieces[piece].t1 < st.t)
            ++piece;
        const Stop* head = first >= 0 ? &b.atHits[first] : nullptr;
        if (head && head->segment == s && head->t >= b.pieces[piece].t0 &&
            length(b.nodes[head->node] - b.nodes[st.node]) <= shortest) {
            b.joined.push_back({head->node, st.node});
        } else {
            first = k;
        }
        pile[k] = first;
    }
    return pile;
}

// A cut inside a stretch that two segments share cuts both: each hit on one
// side of a shared stretch is carried over to the other side, one hit of
// each pile: a stack of n near-copies piles n hits at each place, and
// carrying every one to each of n sharing segments would place n^3 nodes
// where n^2 are the crossings themselves. The carried nodes' points go to
// points, to follow the nodes once no other thread reads those.
void carryAcrossOverlaps(Builder& b, ScratchList<Vec2>& points) {
    if (b.meetings.overlaps.empty()) return;
    const auto& segments = b.input.segments;
    const ScratchList<int> pile = pileHits(b);
    ScratchList<Stop> carried(b.mem);
    auto carry = [&](int from, double f0, double f1, int to, double g0, double g1) {
        const Stop key{from, 0, std::min(f0, f1)};
        auto it = std::upper_bound(b.atHits.begin(), b.atHits.end(), key, before);
        int carriedPile = -1;
        const Cubic onto = curveOf(b.input, segments[to]);
        for (; it != b.atHits.end() && it->segment == from && it->t < std::max(f0, f1); ++it) {
            const int k = int(it - b.atHits.begin());
            if (pile[k] == carriedPile) continue;
            double t = 0.0;
            const Vec2 p = b.nodes[it->node];
            if (!projectOnMonotone(onto, std::min(g0, g1), std::max(g0, g1), p,
                                   sameCurveReach(b.input), t))
                continue;
            const int n = int(b.nodes.size() + points.size());
            points.push_back(pointAt(onto, t));
            carried.push_back({to, n, t});
            b.joined.push_back({it->node, n});
            carriedPile = pile[k];
        }
    };
    for (const Overlap& o : b.meetings.overlaps) {
        carry(o.segA, o.tA0, o.tA1, o.segB, o.tB0, o.tB1);
        carry(o.segB, o.tB0, o.tB1, o.segA, o.tA0, o.tA1);
    }
    std::sort(carried.begin(), carried.end(), before);
    mergeInto(b.atHits, carried, before);
}

// The hits' stops sorted and carried across shared stretches, and the
// carried nodes added. Given early, a spare core meanwhile sorts the nodes
// so far into it, and true when one did.
bool placeHitStops(Builder& b, NodeGrid* early) {
    const size_t gridded = b.nodes.size();
    ScratchList<Vec2> carried(b.mem);
    auto hitStops = [&] {
        sortHitStops(b);
        carryAcrossOverlaps(b, carried);
    };
    const bool split =
        early &&
        besideEachOther([&] { gridNodes(b.nodes, b.exposed, gridded, b.input.join, *early); },
                        hitStops);
    if (!split) hitStops();
    b.nodes.insert(b.nodes.end(), carried.begin(), carried.end());
    b.exposed.resize(b.nodes.size(), 1);
    return split;
}

// Every stop along the segments: the regular ones and the hits' merged,
// many in two halves side by side, each into its own part of the list.
ScratchList<Stop> mergeStops(const Builder& b) {
    const Stop* regular = b.regular.data();
    const Stop* hits = b.atHits.data();
    const size_t n = b.regular.size();
    const size_t m = b.atHits.size();
    ScratchList<Stop> stops(n + m, b.mem);
    auto merge = [&](size_t i0, size_t i1, size_t j0, size_t j1) {
        std::merge(regular + i0, regular + i1, hits + j0, hits + j1, stops.data() + i0 + j0,
                   before);
    };
    const size_t k = (n + m) / 2;
    const size_t i = mergeSplit(regular, n, hits, m, k, before);
    if (n + m < size_t(kNodesForASpareCore) ||
        !besideEachOther([&] { merge(0, i, 0, k - i); }, [&] { merge(i, n, k - i, m); }))
        merge(0, n, 0, m);
    return stops;
}

// Nodes that stand for one point: joined ones and exposed ones within the
// merge distance. The grid of the nodes before the hits were carried, where
// a spare core made one, is finished here.
void joinNodes(const Builder& b, NodeGrid* early, UnionFind& sets) {
    for (const auto& [na, nb] : b.joined)
        sets.unite(na, nb);
    if (b.input.join <= 0.0 || b.nodes.empty()) return;
    NodeGrid all(b.mem);
    NodeGrid* grid = early && addToGrid(b.nodes, *early) ? early : &all;
    if (grid == &all) gridNodes(b.nodes, b.exposed, b.nodes.size(), b.input.join, all);
    joinCloseNodes(*grid, b.nodes, b.input.join, sets);
}

// Neighbouring stops along a segment a few merge distances apart stand for
// one point too: they would leave an edge too short to have a direction.
void joinShortEdges(const Builder& b, const ScratchList<Stop>& stops, UnionFind& sets) {
    const double shortest = std::max(kShortestEdgeReach * b.input.merge, b.input.join);
    for (size_t k = 1; k < stops.size(); ++k) {
        const Stop& p = stops[k - 1];
        const Stop& q = stops[k];
        if (p.segment != q.segment) continue;
        if (length(b.nodes[p.node] - b.nodes[q.node]) <= shortest) sets.unite(p.node, q.node);
    }
}

// Whether every set of joined nodes fits in a box whose diagonal is at most
// kJoinSpanReach join distances. Joining is transitive, and at a coarse
// threshold a row of close knots would chain into one point; at the merge
// distance's own scale chains are what closes near-copies up, so only a
// threshold above it is held to this.
bool joinsStayLocal(const Builder& b, UnionFind& sets) {
    if (b.input.join <= b.input.merge) return true;
    const int n = int(b.nodes.size());
    ScratchList<Vec2> low(n, Vec2{HUGE_VAL, HUGE_VAL}, b.mem);
    ScratchList<Vec2> high(n, Vec2{-HUGE_VAL, -HUGE_VAL}, b.mem);
    for (int i = 0; i < n; ++i) {
        const int r = sets.find(i);
        const Vec2 p = b.nodes[i];
        low[r] = {std::min(low[r].x, p.x), std::min(low[r].y, p.y)};
        high[r] = {std::max(high[r].x, p.x), std::max(high[r].y, p.y)};
    }
    const double longest = kJoinSpanReach * b.input.join;
    for (int r = 0; r < n; ++r)
        if (high[r].x >= low[r].x && length(high[r] - low[r]) > longest) return false;
    return true;
}

// One vertex per set of nodes that an edge ends at, made when first asked
// for, placed on an input knot where the set has one.
class Vertices {
public:
    Vertices(const Builder& b, UnionFind& sets, Arrangement& out)
        : b_(b),
          sets_(sets),
          out_(out),
          best_(b.nodes.size(), -1, b.mem),
          vertexOfSet_(b.nodes.size(), -1, b.mem) {
        auto rank = [&](int n) { return b.knotOf(n) >= 0 ? 2 : b.structural(n) ? 1 : 0; };
        for (int i = 0; i < int(b.nodes.size()); ++i) {
            if (!b.exposed[i]) continue;
            const int r = sets_.find(i);
            if (best_[r] < 0 || rank(i) > rank(best_[r])) best_[r] = i;
        }
    }

    // Once every vertex is placed, of() only looks them up; placing one
    // after this, or after the nodes are let go, would read emptied lists.
    void letGoOfChoices() { letGo(best_); }
    // Once every link is made nothing asks for a vertex again.
    void letGoOfLookups() { letGo(vertexOfSet_); }

    int of(int node) {
        const int r = sets_.find(node);
        if (vertexOfSet_[r] < 0) {
            const int b = best_[r] >= 0 ? best_[r] : node;
            vertexOfSet_[r] = int(out_.vertices.size());
            out_.vertices.push_back(b_.nodes[b]);
            out_.vertexKnot.push_back(b_.knotOf(b));
        }
        return vertexOfSet_[r];
    }

private:
    const Builder& b_;
    UnionFind& sets_;
    Arrangement& out_;
    ScratchList<int> best_;
    ScratchList<int> vertexOfSet_;
};

// Neighbouring stops of one segment at one vertex become one; the segment's
// ends and its monotone cuts are the ones kept. The list shrinks in place.
void keepDistinctStops(const Builder& b, Vertices& vertices, ScratchList<Stop>& stops) {
    size_t kept = 0;
    for (size_t k = 0; k < stops.size(); ++k) {
        const Stop st = stops[k];
        if (kept > 0 && stops[kept - 1].segment == st.segment &&
            vertices.of(stops[kept - 1].node) == vertices.of(st.node)) {
            Stop& last = stops[kept - 1];
            const bool atEnd = st.t >= 1.0;
            if (last.t > 0.0 && (atEnd || (b.structural(st.node) && !b.structural(last.node))))
                last = st;
            continue;
        }
        stops[kept++] = st;
    }
    stops.resize(kept);
}

// The link over [t0, t1] of segment s (whose curve is whole), its ends on
// the vertices p0 and p3. Where it is one of the segment's monotone pieces
// with the piece's very ends, it refers to the piece: a piece's curve is the
// same subdivision of the same segment over the same parameters, so only
// the ends can tell them apart. Otherwise its curve is kept.
int keepCurve(const Builder& b, int s, double t0, double t1, Vec2 p0, Vec2 p3, const Cubic& whole,
              Arrangement& out) {
    for (int i = b.firstPiece[s]; i < b.firstPiece[s + 1]; ++i) {
        const Piece& p = b.pieces[i];
        if (p.t0 == t0 && p.t1 == t1 && sameBits(b.pieces.start(p), p0) &&
            sameBits(b.pieces.end(p), p3))
            return -1 - i;
    }
    Cubic c = subCubic(whole, t0, t1);
    c.p[0] = p0;
    c.p[3] = p3;
    out.curves.push_back(c);
    return int(out.curves.size()) - 1;
}

// Puts control point `end` (0 or 3) of a link's curve on a vertex, keeping a
// curve of its own where that changes a piece.
void moveEnd(Link& l, int end, Vec2 vertex, Arrangement& out) {
    const Vec2 now = end == 0 ? out.startOf(l) : out.endOf(l);
    if (sameBits(now, vertex)) return;
    if (l.curve < 0) {
        out.curves.push_back(out.curveOf(l));
        l.curve = int(out.curves.size()) - 1;
    }
    out.curves[size_t(l.curve)].p[end] = vertex;
}

// An edge of one link between every two kept stops of each busy segment.
void linkBusySegments(const Builder& b, const ScratchList<Stop>& stops, Vertices& vertices,
                      Arrangement& out) {
    const auto& segments = b.input.segments;
    for (size_t g = 0; g < stops.size();) {
        const int s = stops[g].segment;
        size_t end = g;
        while (end < stops.size() && stops[end].segment == s)
            ++end;
        const Stop* kept = stops.data() + g;
        const int count = int(end - g);
        g = end;
        const Cubic curve = curveOf(b.input, segments[s]);
        for (int i = 0; i + 1 < count; ++i) {
            Link& l = out.links.emplace_back();
            l.segment = s;
            l.stop = i;
            l.t0 = kept[i].t;
            l.t1 = kept[i + 1].t;
            Edge& e = out.edges.emplace_back();
            e.firstLink = int(out.links.size()) - 1;
            e.v0 = vertices.of(kept[i].node);
            e.v1 = vertices.of(kept[i + 1].node);
            l.curve =
                keepCurve(b, s, l.t0, l.t1, out.vertices[e.v0], out.vertices[e.v1], curve, out);
            (segments[s].operand == 0 ? e.deltaA : e.deltaB) = 1;
        }
    }
}

// The vertices the chains end at, placed in the order linkChains asks for
// them, so that every vertex is placed before the links are made.
void placeChainEnds(const Builder& b, Vertices& vertices) {
    const auto& segments = b.input.segments;
    for (const auto& [from, to] : b.chains) {
        vertices.of(segments[b.chainOrder[from]].startKnot);
        vertices.of(segments[b.chainOrder[to]].endKnot);
    }
}

// A chain is one edge made of the monotone pieces of its segments.
void linkChains(const Builder& b, Vertices& vertices, Arrangement& out) {
    const auto& segments = b.input.segments;
    for (const auto& [from, to] : b.chains) {
        Edge& e = out.edges.emplace_back();
        e.firstLink = int(out.links.size());
        e.v0 = vertices.of(segments[b.chainOrder[from]].startKnot);
        e.v1 = vertices.of(segments[b.chainOrder[to]].endKnot);
        (segments[b.chainOrder[from]].operand == 0 ? e.deltaA : e.deltaB) = 1;
        for (int c = from; c <= to; ++c) {
            const int s = b.chainOrder[c];
            for (int i = b.firstPiece[s]; i < b.firstPiece[s + 1]; ++i) {
                Link& l = out.links.emplace_back();
                l.segment = s;
                l.stop = i - b.firstPiece[s];
                l.t0 = b.pieces[i].t0;
                l.t1 = b.pieces[i].t1;
                l.curve = -1 - i;
            }
        }
        e.links = int(out.links.size()) - e.firstLink;
        moveEnd(out.links[e.firstLink], 0, out.vertices[e.v0], out);
        moveEnd(out.links.back(), 3, out.vertices[e.v1], out);
    }
}

// The edge among the earlier ones of its group (grouped[b] to grouped[k -
// 1]) that runs between the same vertices along the same curve, or -1.
int coincidentEdge(const Arrangement& out, const ScratchList<int>& grouped,
                   const ScratchList<char>& folded, int b, int k, double tol) {
    const Edge& edge = out.edges[grouped[k]];
    const int upper = std::max(edge.v0, edge.v1);
    for (int r = b; r < k; ++r) {
        const Edge& rep = out.edges[grouped[r]];
        if (std::max(rep.v0, rep.v1) != upper || rep.v0 == rep.v1) continue;
        if (folded[grouped[r]] || rep.links > 1) continue;
        const Cubic& curve = out.startCurve(edge);
        const Cubic c = rep.v0 == edge.v0 ? curve : reversed(curve);
        if (sameCurve(c, out.startCurve(rep), tol)) return grouped[r];
    }
    return -1;
}

// Edges between the same two vertices along the same curve are one edge
// that carries the windings of all of them; only single links can be, since
// a chain meets nothing. Edges are grouped by their lower vertex; within a
// group, those that share the upper vertex as well may be one curve.
void foldCoincidentEdges(const Gathered& input, Arrangement& out, Arena* mem) {
    std::vector<Edge>& edges = out.edges;
    const int nv = int(out.vertices.size());
    ScratchList<int> groupStart(nv + 1, 0, mem);
    for (const Edge& e : edges)
        ++groupStart[std::min(e.v0, e.v1) + 1];
    for (int v = 0; v < nv; ++v)
        groupStart[v + 1] += groupStart[v];
    ScratchList<int> grouped(edges.size(), mem);
    {
        ScratchList<int> fill(groupStart.begin(), groupStart.end() - 1, mem);
        for (int i = 0; i < int(edges.size()); ++i)
            grouped[fill[std::min(edges[i].v0, edges[i].v1)]++] = i;
    }
    // Which edges were merged into a coincident one: those take no more.
    ScratchList<char> folded(edges.size(), 0, mem);
    const double tol = sameCurveReach(input);
    for (int v = 0; v < nv; ++v) {
        const int b = groupStart[v];
        for (int k = b; k < groupStart[v + 1]; ++k) {
            Edge& edge = edges[grouped[k]];
            if (edge.links > 1) continue;
            if (edge.v0 == edge.v1) {
                edge.deltaA = edge.deltaB = 0;
                continue;
            }
            const int r = coincidentEdge(out, grouped, folded, b, k, tol);
            if (r < 0) continue;
            Edge& rep = edges[r];
            const bool along = rep.v0 == edge.v0;
            rep.deltaA += along ? edge.deltaA : -edge.deltaA;
            rep.deltaB += along ? edge.deltaB : -edge.deltaB;
            edge.deltaA = edge.deltaB = 0;
            folded[grouped[k]] = 1;
        }
    }
}

// Edges whose windings cancel separate nothing.
void dropCancelledEdges(Arrangement& out) {
    int live = 0;
    for (Edge& e : out.edges) {
        const bool keep = e.deltaA != 0 || e.deltaB != 0;
        for (int l = e.firstLink; l < e.firstLink + e.links; ++l)
            out.links[l].edge = keep ? live : -1;
        if (keep) out.edges[live++] = e;
    }
    out.edges.resize(live);
}

}  // namespace

void buildArrangement(const Gathered& input, const PieceList& pieces, const Meetings& meetings,
                      Arrangement& out) {
    out.vertices.clear();
    out.vertexKnot.clear();
    out.links.clear();
    out.curves.clear();
    out.pieces = &pieces;
    out.edges.clear();
    StageMemory stage;
    Builder b{input, pieces, meetings, stage.arena()};
    indexPieces(b);
    placeStructuralStops(b);
    findQuietChains(b);
    placeHitNodes(b);
    // The merge grid made on a spare core draws on memory of its own: a
    // stage's arena serves one thread.
    std::optional<Arena> spareMemory;
    if (b.nodes.size() >= size_t(kNodesForASpareCore) && b.input.join > 0.0) spareMemory.emplace();
    NodeGrid early(spareMemory ? &*spareMemory : b.mem);
    const bool split = placeHitStops(b, spareMemory ? &early : nullptr);
    // The grid goes before the stops are merged, so that it never lies
    // beside all three lists of stops.
    UnionFind sets(int(b.nodes.size()), b.mem);
    joinNodes(b, split ? &early : nullptr, sets);
    letGo(early.cells);
    letGo(b.joined);
    ScratchList<Stop> stops = mergeStops(b);
    letGo(b.regular);
    letGo(b.atHits);
    joinShortEdges(b, stops, sets);
    out.joinsTooLong = !joinsStayLocal(b, sets);
    if (out.joinsTooLong) return;
    Vertices vertices(b, sets, out);
    letGo(b.exposed);
    keepDistinctStops(b, vertices, stops);
    placeChainEnds(b, vertices);
    // Every vertex is placed: the nodes' points and the choice among them
    // are done with before the links are made.
    letGo(b.nodes);
    vertices.letGoOfChoices();
    // The vertices are all there: their lists give back what growing them
    // left spare before the links take their room.
    out.vertices.shrink_to_fit();
    out.vertexKnot.shrink_to_fit();

    // A busy segment has one link fewer than its kept stops.
    size_t busyLinks = stops.size();
    for (size_t k = 0; k < stops.size(); ++k)
        if (k == 0 || stops[k].segment != stops[k - 1].segment) --busyLinks;
    size_t chainLinks = 0;
    for (const int s : b.chainOrder)
        chainLinks += b.piecesOf(s);
    out.edges.reserve(busyLinks + b.chains.size());
    out.links.reserve(busyLinks + chainLinks);
    linkBusySegments(b, stops, vertices, out);
    linkChains(b, vertices, out);
    // Folding needs only the arrangement: the stops and the vertices'
    // lookups are let go first, and the curves give back their spare room.
    letGo(stops);
    vertices.letGoOfLookups();
    letGo(sets.parent);
    out.curves.shrink_to_fit();
    foldCoincidentEdges(input, out, b.mem);
    dropCancelledEdges(out);
}

namespace {

// The links of the live edges sorted into buckets along one axis, for rays
// cast across it.
struct BucketIndex {
    bool alongY = true;  // buckets split y (for rays along x)
    double origin = 0.0;
    double perWidth = 1.0;  // buckets per unit along the axis
    int count = 1;
    ScratchList<int> start;
    ScratchList<int> items;

    explicit BucketIndex(Arena* mem) : start(mem), items(mem) {}

    // The floor of the level's place, clamped to the buckets, multiplied
    // rather than divided and without a call to floor(), as it is worked
    // out for every link: any map of levels to buckets that keeps their
    // order finds every link a ray meets, as long as the links were sorted
    // by the one the rays ask.
    int bucket(double c) const {
        const double b = (c - origin) * perWidth;
        return b >= double(count - 1) ? count - 1 : b > 0.0 ? int(b) : 0;
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
        // The span of a link along the split axis: a monotone stretch lies
        // between its ends.
        auto spanOf = [&](int i) {
            const Vec2 p = a.startOf(a.links[i]);
            const Vec2 q = a.endOf(a.links[i]);
            const double c0 = y ? p.y : p.x;
            const double c1 = y ? q.y : q.x;
            return std::pair<double, double>{std::min(c0, c1), std::max(c0, c1)};
        };
        size_t links = 0;
        forEachLiveLink(a, [&](int i) {
            const auto [lo, hi] = spanOf(i);
            l = std::min(l, lo);
            h = std::max(h, hi);
            ++links;
        });
        origin = l;
        count = int(std::clamp<size_t>(links / 2, 1, kMaxRayBuckets));
        // Each link's first and last bucket, worked out once for the count
        // of buckets kept (its ends read again rather than kept, twice the
        // room). Fewer buckets where long links would fill too many of them.
        ScratchList<std::pair<int, int>> range(a.links.size(), {0, 0}, start.get_allocator());
        for (;;) {
            perWidth = 1.0 / std::max((h - l) / count, kNarrowestBucket);
            long long total = 0;
            forEachLiveLink(a, [&](int i) {
                const auto [lo, hi] = spanOf(i);
                range[i] = {bucket(lo), bucket(hi)};
                total += range[i].second - range[i].first + 1;
            });
            if (count == 1 || total <= (long long)kRayEntriesPerLink * (long long)(links + 1))
                break;
            count = std::max(1, count / 4);
        }
        start.assign(count + 1, 0);
        forEachLiveLink(a, [&](int i) {
            const auto [first, last] = range[i];
            for (int b = first; b <= last; ++b)
                ++start[b + 1];
        });
        for (int b = 0; b < count; ++b)
            start[b + 1] += start[b];
        items.resize(start[count]);
        ScratchList<int> fill(start.begin(), start.end() - 1, start.get_allocator());
        forEachLiveLink(a, [&](int i) {
            const auto [first, last] = range[i];
            for (int b = first; b <= last; ++b)
                items[fill[b]++] = i;
        });
    }
};

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
        const Vec2 p0 = a.startOf(l);
        const Vec2 p3 = a.endOf(l);
        const double c0 = levelY ? p0.y : p0.x;
        const double c1 = levelY ? p3.y : p3.x;
        // Half-open, so that a ray through a vertex counts it once.
        if (!(std::min(c0, c1) <= level && level < std::max(c0, c1))) return;
        const Cubic curve = a.curveOf(l);
        const Box box = controlBox(curve);
        const double olo = levelY ? box.x0 : box.y0;
        const double ohi = levelY ? box.x1 : box.y1;
        if (ohi <= from) return;
        if (olo <= from && otherCoordinateAt(curve, levelY, level) <= from) return;
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

namespace {

// The ends of the edges at every vertex in counterclockwise order: those of
// vertex v are ends[first[v]] to ends[first[v + 1] - 1]; item 2 i + 1 is
// where edge i leaves its start, 2 i where it reaches its end.
struct VertexEnds {
    ScratchList<int> first;
    ScratchList<Departure> ends;
    // Where two ends leave in the same direction their order is a guess:
    // windings are not carried across such a vertex, rays decide.
    ScratchList<char> unclear;

    explicit VertexEnds(Arena* mem) : first(mem), ends(mem), unclear(mem) {}
    int count(int v) const { return first[v + 1] - first[v]; }
};

void orderEnds(const Arrangement& a, VertexEnds& out, Arena* mem) {
    const int n = int(a.edges.size());
    const size_t nv = a.vertices.size();
    out.first.assign(nv + 1, 0);
    for (const Edge& e : a.edges) {
        ++out.first[e.v0 + 1];
        ++out.first[e.v1 + 1];
    }
    for (size_t v = 0; v < nv; ++v)
        out.first[v + 1] += out.first[v];
    out.ends.resize(out.first.back());
    {
        ScratchList<int> fill(out.first.begin(), out.first.end() - 1, mem);
        for (int i = 0; i < n; ++i) {
            const Edge& e = a.edges[i];
            out.ends[fill[e.v0]++].item = 2 * i + 1;
            out.ends[fill[e.v1]++].item = 2 * i;
        }
    }
    // Where only two edges meet either order is counterclockwise.
    out.unclear.assign(nv, 0);
    for (size_t v = 0; v < nv; ++v) {
        if (out.count(int(v)) <= 2) continue;
        Departure* begin = &out.ends[out.first[v]];
        for (Departure* d = begin; d != begin + out.count(int(v)); ++d) {
            const Edge& e = a.edges[d->item / 2];
            *d = departureOf(d->item & 1 ? a.startCurve(e) : reversed(a.endCurve(e)), d->item);
        }
        out.unclear[v] = !orderAroundVertex(begin, begin + out.count(int(v)));
    }
}

// Rays across the arrangement: a few look at every edge, an index along
// each axis pays only for many.
class Rays {
public:
    // expected: how many rays will be cast, 0 if not known.
    Rays(int expected, Arena* mem)
        : rows_(mem), columns_(mem), indexed_(expected > kRaysWithoutIndex) {}

    // The windings left of an edge, from a ray from its middle across it.
    void seed(Arrangement& a, Edge& e) {
        const Cubic& curve = a.startCurve(e);
        const Vec2 m = pointAt(curve, 0.5);
        Vec2 tangent = derivativeAt(curve, 0.5);
        if (tangent.x == 0.0 && tangent.y == 0.0) tangent = curve.p[3] - curve.p[0];
        const bool levelY = std::fabs(tangent.y) >= std::fabs(tangent.x);
        BucketIndex& index = levelY ? rows_ : columns_;
        bool& built = levelY ? rowsBuilt_ : columnsBuilt_;
        if (!built && (indexed_ || ++cast_ > kRaysWithoutIndex)) {
            index.build(a, levelY);
            built = true;
        }
        int wa = 0;
        int wb = 0;
        castRay(a, built ? &index : nullptr, e.firstLink, m, levelY, wa, wb);
        const bool rayOnLeft = levelY ? tangent.y < 0.0 : tangent.x > 0.0;
        e.leftA = rayOnLeft ? wa : wa + e.deltaA;
        e.leftB = rayOnLeft ? wb : wb + e.deltaB;
    }

private:
    BucketIndex rows_;
    BucketIndex columns_;
    bool rowsBuilt_ = false;
    bool columnsBuilt_ = false;
    bool indexed_ = false;
    int cast_ = 0;
};

// The connected parts of the edges: one ray each when windings are carried.
int connectedParts(const Arrangement& a, Arena* mem) {
    UnionFind parts(int(a.vertices.size()), mem);
    ScratchList<char> touched(a.vertices.size(), 0, mem);
    int count = 0;
    for (const Edge& e : a.edges) {
        for (const int v : {e.v0, e.v1})
            if (!touched[v]) {
                touched[v] = 1;
                ++count;
            }
        const int r0 = parts.find(e.v0);
        const int r1 = parts.find(e.v1);
        if (r0 != r1) --count;
        parts.unite(r0, r1);
    }
    return count;
}

// Around a vertex, crossing an edge changes the windings by its deltas: the
// faces between the ends follow from any one of them. From edge i, whose
// windings are known, to every edge its connected part reaches through
// vertices whose order is clear.
void carryWindings(Arrangement& a, const VertexEnds& order, int seed, ScratchList<char>& known,
                   ScratchList<char>& visited, ScratchList<int>& queue) {
    queue.assign(1, seed);
    while (!queue.empty()) {
        const int i = queue.back();
        queue.pop_back();
        for (int side = 0; side < 2; ++side) {
            const int vtx = side == 0 ? a.edges[i].v0 : a.edges[i].v1;
            if (visited[vtx] || order.unclear[vtx]) continue;
            visited[vtx] = 1;
            const int b = order.first[vtx];
            const int count = order.count(vtx);
            int at = 0;
            const int self = 2 * i + (side == 0 ? 1 : 0);
            while (at < count && order.ends[b + at].item != self)
                ++at;
            // Windings of the sector counterclockwise after each end.
            const Edge& cur = a.edges[i];
            const bool starts = side == 0;
            int sa = starts ? cur.leftA : cur.leftA - cur.deltaA;
            int sb = starts ? cur.leftB : cur.leftB - cur.deltaB;
            for (int k = 1; k < count; ++k) {
                const int item = order.ends[b + (at + k) % count].item;
                const int edge = item / 2;
                const bool leaves = item & 1;
                Edge& next = a.edges[edge];
                // Crossing this end counterclockwise: from its right to its
                // left when it leaves, the other way when it arrives.
                const int da = leaves ? next.deltaA : -next.deltaA;
                const int db = leaves ? next.deltaB : -next.deltaB;
                sa += da;
                sb += db;
                if (known[edge]) continue;
                next.leftA = leaves ? sa : sa - da;
                next.leftB = leaves ? sb : sb - db;
                known[edge] = 1;
                queue.push_back(edge);
            }
        }
    }
}

// The winding of input a (or b) just counterclockwise of an end, and just
// clockwise of it: left of a leaving edge lies counterclockwise of it.
int windingAfter(const Edge& e, bool leaves, bool ofA) {
    const int left = ofA ? e.leftA : e.leftB;
    return leaves ? left : left - (ofA ? e.deltaA : e.deltaB);
}

int windingBefore(const Edge& e, bool leaves, bool ofA) {
    const int left = ofA ? e.leftA : e.leftB;
    return leaves ? left - (ofA ? e.deltaA : e.deltaB) : left;
}

// Whether neighbouring ends see the same windings in the sector between
// them, round every vertex whose order is clear. Windings that disagree
// came from rays that do not agree with each other: some face has two.
bool windingsAgree(const Arrangement& a, const VertexEnds& order) {
    for (size_t v = 0; v + 1 < order.first.size(); ++v) {
        if (order.unclear[v]) continue;
        const int b = order.first[v];
        const int count = order.count(int(v));
        for (int k = 0; k < count; ++k) {
            const int here = order.ends[b + k].item;
            const int next = order.ends[b + (k + 1) % count].item;
            for (bool ofA : {true, false})
                if (windingAfter(a.edges[here / 2], here & 1, ofA) !=
                    windingBefore(a.edges[next / 2], next & 1, ofA))
                    return false;
        }
    }
    return true;
}

}  // namespace

bool computeWindings(Arrangement& a, bool carry) {
    a.seeds.clear();
    const int n = int(a.edges.size());
    if (n == 0) return true;
    StageMemory stage;
    Arena* mem = stage.arena();
    VertexEnds order(mem);
    orderEnds(a, order, mem);
    // Small arrangements cost little either way; without the count the
    // index waits for the rays.
    const int expected = !carry ? n : n > kEdgesForCountedParts ? connectedParts(a, mem) : 0;
    Rays rays(expected, mem);
    ScratchList<char> known(n, 0, mem);
    ScratchList<char> visited(a.vertices.size(), 0, mem);
    ScratchList<int> queue(mem);
    queue.reserve(n);
    // One ray per connected part of the arrangement when windings are
    // carried, one per edge when not.
    for (int seed = 0; seed < n; ++seed) {
        if (known[seed]) continue;
        rays.seed(a, a.edges[seed]);
        a.seeds.push_back(seed);
        known[seed] = 1;
        if (carry) carryWindings(a, order, seed, known, visited, queue);
    }
    return windingsAgree(a, order);
}

}  // namespace carvex::region
