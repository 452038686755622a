#include "region/arrangement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace carvex::region {

namespace {

struct Node {
    Vec2 point;
    int knot = -1;
    bool structural = false;
};

struct Stop {
    double t = 0.0;
    int node = 0;
    bool structural = false;
};

struct UnionFind {
    std::vector<int> parent;
    explicit UnionFind(int n) : parent(n) {
        for (int i = 0; i < n; ++i) parent[i] = i;
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

// Joins every two nodes closer than the merge distance, through a grid of
// cells of that size.
void clusterNodes(const std::vector<Node>& nodes, double merge, UnionFind& sets) {
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
    std::vector<Cell> cells(nodes.size());
    for (int i = 0; i < int(nodes.size()); ++i)
        cells[i] = {std::int64_t(std::floor((nodes[i].point.x - x0) / merge)),
                    std::int64_t(std::floor((nodes[i].point.y - y0) / merge)), i};
    auto less = [](const Cell& a, const Cell& b) {
        return a.cx != b.cx ? a.cx < b.cx : a.cy < b.cy;
    };
    std::sort(cells.begin(), cells.end(), less);
    for (const Cell& c : cells) {
        for (std::int64_t dx = 0; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                if (dx == 0 && dy < 0) continue;
                const Cell key{c.cx + dx, c.cy + dy, 0};
                auto it = std::lower_bound(cells.begin(), cells.end(), key, less);
                for (; it != cells.end() && it->cx == key.cx && it->cy == key.cy; ++it) {
                    if (it->node == c.node) continue;
                    if (length(nodes[it->node].point - nodes[c.node].point) <= merge)
                        sets.unite(it->node, c.node);
                }
            }
        }
    }
}

bool sameCurve(const Cubic& a, const Cubic& b, double tol) {
    double t = 0.0;
    for (double u : {0.25, 0.5, 0.75})
        if (!projectOnMonotone(b, 0.0, 1.0, pointAt(a, u), tol, t)) return false;
    return true;
}

}  // namespace

Arrangement buildArrangement(const Gathered& input, const std::vector<Piece>& pieces,
                             const std::vector<Hit>& hits) {
    const auto& segments = input.segments;
    std::vector<Node> nodes;
    nodes.reserve(input.knots.size() + pieces.size() + 2 * hits.size());
    for (int k = 0; k < int(input.knots.size()); ++k)
        nodes.push_back({input.knots[k].point, k, true});
    std::vector<std::vector<Stop>> stops(segments.size());
    for (int s = 0; s < int(segments.size()); ++s) {
        stops[s].push_back({0.0, segments[s].startKnot, true});
        stops[s].push_back({1.0, segments[s].endKnot, true});
    }
    for (const Piece& p : pieces) {
        if (p.t0 <= 0.0) continue;
        stops[p.segment].push_back({p.t0, int(nodes.size()), true});
        nodes.push_back({p.curve.p[0], -1, true});
    }
    std::vector<std::pair<int, int>> joined;
    joined.reserve(hits.size());
    for (const Hit& h : hits) {
        const int na = int(nodes.size());
        nodes.push_back({pointAt(segments[h.segA].curve, h.tA), -1, false});
        stops[h.segA].push_back({h.tA, na, false});
        const int nb = int(nodes.size());
        nodes.push_back({pointAt(segments[h.segB].curve, h.tB), -1, false});
        stops[h.segB].push_back({h.tB, nb, false});
        joined.push_back({na, nb});
    }
    UnionFind sets(int(nodes.size()));
    for (const auto& [na, nb] : joined) sets.unite(na, nb);
    clusterNodes(nodes, input.merge, sets);

    // One vertex per set, placed on an input knot where the set has one.
    Arrangement out;
    std::vector<int> vertexOf(nodes.size(), -1);
    std::vector<int> best(nodes.size(), -1);
    for (int i = 0; i < int(nodes.size()); ++i) {
        const int r = sets.find(i);
        const int b = best[r];
        auto rank = [&](int n) { return nodes[n].knot >= 0 ? 2 : nodes[n].structural ? 1 : 0; };
        if (b < 0 || rank(i) > rank(b)) best[r] = i;
    }
    for (int i = 0; i < int(nodes.size()); ++i) {
        const int r = sets.find(i);
        if (vertexOf[r] < 0) {
            vertexOf[r] = int(out.vertices.size());
            out.vertices.push_back(nodes[best[r]].point);
            out.vertexKnot.push_back(nodes[best[r]].knot);
        }
        vertexOf[i] = vertexOf[r];
    }

    std::vector<Edge> raw;
    for (int s = 0; s < int(segments.size()); ++s) {
        std::vector<Stop>& list = stops[s];
        std::sort(list.begin(), list.end(),
                  [](const Stop& a, const Stop& b) { return a.t < b.t; });
        // Neighbouring stops at one vertex become one; the segment's ends and
        // its monotone cuts are the ones kept.
        std::vector<Stop> kept;
        for (const Stop& st : list) {
            if (!kept.empty() && vertexOf[kept.back().node] == vertexOf[st.node]) {
                Stop& last = kept.back();
                const bool end = st.t >= 1.0;
                if (last.t > 0.0 && (end || (st.structural && !last.structural))) last = st;
                continue;
            }
            kept.push_back(st);
        }
        list = kept;
        for (int i = 0; i + 1 < int(list.size()); ++i) {
            Edge e;
            e.segment = s;
            e.stop0 = i;
            e.stop1 = i + 1;
            e.t0 = list[i].t;
            e.t1 = list[i + 1].t;
            e.v0 = vertexOf[list[i].node];
            e.v1 = vertexOf[list[i + 1].node];
            e.curve = subCubic(segments[s].curve, e.t0, e.t1);
            e.curve.p[0] = out.vertices[e.v0];
            e.curve.p[3] = out.vertices[e.v1];
            (segments[s].operand == 0 ? e.deltaA : e.deltaB) = 1;
            raw.push_back(e);
        }
    }

    // Edges between the same two vertices along the same curve are one edge
    // that carries the windings of all of them.
    std::vector<int> order(raw.size());
    for (int i = 0; i < int(order.size()); ++i) order[i] = i;
    auto key = [&](int i) {
        return std::make_pair(std::min(raw[i].v0, raw[i].v1), std::max(raw[i].v0, raw[i].v1));
    };
    std::sort(order.begin(), order.end(), [&](int i, int j) { return key(i) < key(j); });
    const double tol = 4.0 * input.merge;
    for (size_t g = 0; g < order.size();) {
        size_t end = g;
        while (end < order.size() && key(order[end]) == key(order[g])) ++end;
        const size_t first = out.edges.size();
        for (size_t k = g; k < end; ++k) {
            const Edge& e = raw[order[k]];
            if (e.v0 == e.v1) continue;
            bool merged = false;
            for (size_t r = first; r < out.edges.size() && !merged; ++r) {
                Edge& rep = out.edges[r];
                const bool along = rep.v0 == e.v0;
                const Cubic c = along ? e.curve : reversed(e.curve);
                if (!sameCurve(c, rep.curve, tol)) continue;
                rep.deltaA += along ? e.deltaA : -e.deltaA;
                rep.deltaB += along ? e.deltaB : -e.deltaB;
                merged = true;
            }
            if (!merged) out.edges.push_back(e);
        }
        g = end;
    }
    // Edges whose windings cancel separate nothing.
    out.edges.erase(std::remove_if(out.edges.begin(), out.edges.end(),
                                   [](const Edge& e) { return e.deltaA == 0 && e.deltaB == 0; }),
                    out.edges.end());
    return out;
}

namespace {

// Edges sorted into buckets along one axis, for rays cast across it.
struct BucketIndex {
    bool alongY = true;  // buckets split y (for rays along x)
    double origin = 0.0;
    double width = 1.0;
    int count = 1;
    std::vector<int> start;
    std::vector<int> items;

    static double lo(const Edge& e, const std::vector<Vec2>& v, bool y) {
        return y ? std::min(v[e.v0].y, v[e.v1].y) : std::min(v[e.v0].x, v[e.v1].x);
    }
    static double hi(const Edge& e, const std::vector<Vec2>& v, bool y) {
        return y ? std::max(v[e.v0].y, v[e.v1].y) : std::max(v[e.v0].x, v[e.v1].x);
    }
    int bucket(double c) const {
        const double b = std::floor((c - origin) / width);
        return int(std::clamp(b, 0.0, double(count - 1)));
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
        origin = l;
        count = int(std::clamp<size_t>(a.edges.size() / 2, 1, 1 << 16));
        // Fewer buckets where long edges would fill too many of them.
        for (;;) {
            width = std::max((h - l) / count, 1e-300);
            long long total = 0;
            for (const Edge& e : a.edges)
                total += bucket(hi(e, v, y)) - bucket(lo(e, v, y)) + 1;
            if (count == 1 || total <= 16LL * (long long)(a.edges.size() + 1)) break;
            count = std::max(1, count / 4);
        }
        start.assign(count + 1, 0);
        for (const Edge& e : a.edges)
            for (int b = bucket(lo(e, v, y)); b <= bucket(hi(e, v, y)); ++b) ++start[b + 1];
        for (int b = 0; b < count; ++b) start[b + 1] += start[b];
        items.resize(start[count]);
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (int i = 0; i < int(a.edges.size()); ++i) {
            const Edge& e = a.edges[i];
            for (int b = bucket(lo(e, v, y)); b <= bucket(hi(e, v, y)); ++b) items[fill[b]++] = i;
        }
    }
};

// Where a monotone edge reaches the level c of one coordinate: the other
// coordinate there.
double otherAt(const Cubic& c, bool levelY, double level) {
    double lo = 0.0;
    double hi = 1.0;
    const double a = levelY ? c.p[0].y : c.p[0].x;
    const double b = levelY ? c.p[3].y : c.p[3].x;
    const bool rising = b > a;
    for (int i = 0; i < 80 && hi - lo > 1e-17; ++i) {
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

// Winding numbers of both inputs at the side of edge `self` the ray leaves
// to, with the ray from its middle along +x (levelY) or +y.
void castRay(const Arrangement& a, const BucketIndex& index, int self, Vec2 m, bool levelY,
             int& wa, int& wb) {
    const auto& v = a.vertices;
    const double level = levelY ? m.y : m.x;
    const double from = levelY ? m.x : m.y;
    const int b = index.bucket(level);
    wa = 0;
    wb = 0;
    for (int k = index.start[b]; k < index.start[b + 1]; ++k) {
        const int i = index.items[k];
        if (i == self) continue;
        const Edge& e = a.edges[i];
        const double c0 = levelY ? v[e.v0].y : v[e.v0].x;
        const double c1 = levelY ? v[e.v1].y : v[e.v1].x;
        // Half-open, so that a ray through a vertex counts it once.
        if (!(std::min(c0, c1) <= level && level < std::max(c0, c1))) continue;
        const Box box = controlBox(e.curve);
        const double olo = levelY ? box.x0 : box.y0;
        const double ohi = levelY ? box.x1 : box.y1;
        if (ohi <= from) continue;
        if (olo <= from && otherAt(e.curve, levelY, level) <= from) continue;
        // Upward across a rightward ray, or leftward across an upward ray,
        // is a counterclockwise turn around the ray's origin.
        const int sign = levelY ? (c1 > c0 ? 1 : -1) : (c1 < c0 ? 1 : -1);
        wa += sign * e.deltaA;
        wb += sign * e.deltaB;
    }
}

}  // namespace

void computeWindings(Arrangement& a) {
    const int n = int(a.edges.size());
    if (n == 0) return;
    std::vector<std::vector<int>> incident(a.vertices.size());
    for (int i = 0; i < n; ++i) {
        incident[a.edges[i].v0].push_back(i);
        incident[a.edges[i].v1].push_back(i);
    }
    BucketIndex rowsIndex;
    BucketIndex columnsIndex;
    bool rowsBuilt = false;
    bool columnsBuilt = false;
    std::vector<char> known(n, 0);
    std::vector<int> queue;
    for (int seed = 0; seed < n; ++seed) {
        if (known[seed]) continue;
        Edge& e = a.edges[seed];
        const Vec2 m = pointAt(e.curve, 0.5);
        Vec2 tangent = derivativeAt(e.curve, 0.5);
        if (tangent.x == 0.0 && tangent.y == 0.0) tangent = e.curve.p[3] - e.curve.p[0];
        const bool levelY = std::fabs(tangent.y) >= std::fabs(tangent.x);
        BucketIndex& index = levelY ? rowsIndex : columnsIndex;
        bool& built = levelY ? rowsBuilt : columnsBuilt;
        if (!built) {
            index.build(a, levelY);
            built = true;
        }
        int wa = 0;
        int wb = 0;
        castRay(a, index, seed, m, levelY, wa, wb);
        const bool rayOnLeft = levelY ? tangent.y < 0.0 : tangent.x > 0.0;
        e.leftA = rayOnLeft ? wa : wa + e.deltaA;
        e.leftB = rayOnLeft ? wb : wb + e.deltaB;
        known[seed] = 1;
        // Across a vertex where only two edges meet, the faces go on.
        queue.assign(1, seed);
        while (!queue.empty()) {
            const int i = queue.back();
            queue.pop_back();
            const Edge& cur = a.edges[i];
            for (int end = 0; end < 2; ++end) {
                const int vtx = end == 0 ? cur.v0 : cur.v1;
                if (incident[vtx].size() != 2) continue;
                const int j = incident[vtx][0] == i ? incident[vtx][1] : incident[vtx][0];
                if (known[j]) continue;
                Edge& next = a.edges[j];
                const bool sameWay = (end == 1) == (next.v0 == vtx);
                next.leftA = sameWay ? cur.leftA : cur.leftA - cur.deltaA;
                next.leftB = sameWay ? cur.leftB : cur.leftB - cur.deltaB;
                known[j] = 1;
                queue.push_back(j);
            }
        }
    }
}

}  // namespace carvex::region
