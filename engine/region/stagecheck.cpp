#include "region/stagecheck.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "region/vertexorder.h"

namespace carvex::region {

namespace {

#ifdef CARVEX_STAGE_CHECKS
std::atomic<bool> checking{true};
#else
std::atomic<bool> checking{false};
#endif

bool finite(Vec2 p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

std::string at(const char* what, size_t index, const char* fault) {
    return std::string(what) + " " + std::to_string(index) + ": " + fault;
}

// Whether knot `to` follows knot `from` along their spline, round from its
// last knot to its first.
bool neighbours(const Gathered& input, int from, int to) {
    const auto span =
        std::upper_bound(input.splines.begin(), input.splines.end(), from,
                         [](int knot, const SplineSpan& sp) { return knot < sp.first; });
    if (span == input.splines.begin()) return false;
    const SplineSpan& sp = *(span - 1);
    if (from >= sp.first + sp.count) return false;
    return to == (from + 1 < sp.first + sp.count ? from + 1 : sp.first);
}

std::string checkSegment(const Gathered& input, size_t i) {
    const SourceSegment& s = input.segments[i];
    const int knots = int(input.knots.size());
    if (s.startKnot < 0 || s.startKnot >= knots || s.endKnot < 0 || s.endKnot >= knots)
        return at("segment", i, "a knot out of range");
    if (s.operand != 0 && s.operand != 1) return at("segment", i, "no such input");
    if (!neighbours(input, s.startKnot, s.endKnot))
        return at("segment", i, "does not run between neighbouring knots");
    return {};
}

std::string checkEdge(const Arrangement& a, size_t i) {
    const Edge& e = a.edges[i];
    const int nv = int(a.vertices.size());
    if (e.v0 < 0 || e.v0 >= nv || e.v1 < 0 || e.v1 >= nv) return at("edge", i, "no such vertex");
    if (e.links < 1 || e.firstLink < 0 || e.firstLink + e.links > int(a.links.size()))
        return at("edge", i, "links out of range");
    if (e.deltaA == 0 && e.deltaB == 0) return at("edge", i, "separates nothing");
    if (a.startCurve(e).p[0] != a.vertices[e.v0] || a.endCurve(e).p[3] != a.vertices[e.v1])
        return at("edge", i, "does not end on its vertices");
    for (int l = e.firstLink; l < e.firstLink + e.links; ++l) {
        if (a.links[l].edge != int(i)) return at("link", size_t(l), "names another edge");
        if (l > e.firstLink && a.curveOf(a.links[l - 1]).p[3] != a.curveOf(a.links[l]).p[0])
            return at("link", size_t(l), "does not start where the one before ends");
    }
    return {};
}

}  // namespace

bool stageChecksOn() {
    return checking.load(std::memory_order_relaxed);
}

void setStageChecks(bool on) {
    checking = on;
}

std::string checkGathered(const Gathered& input) {
    int next = 0;
    for (size_t i = 0; i < input.splines.size(); ++i) {
        const SplineSpan& span = input.splines[i];
        if (span.first != next || span.count < 1) return at("span", i, "does not follow on");
        next += span.count;
    }
    if (next != int(input.knots.size())) return "the spans do not cover the knots";
    for (size_t i = 0; i < input.segments.size(); ++i) {
        std::string problem = checkSegment(input, i);
        if (!problem.empty()) return problem;
    }
    return {};
}

std::string checkMeetings(const Gathered& input, const PieceList& pieces,
                          const Meetings& meetings) {
    const int segments = int(input.segments.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        const bool first = i == 0 || pieces[i - 1].segment != p.segment;
        const bool last = i + 1 == pieces.size() || pieces[i + 1].segment != p.segment;
        if (p.segment < 0 || p.segment >= segments || !(p.t0 < p.t1))
            return at("piece", i, "not a stretch of a segment");
        if ((first && p.t0 != 0.0) || (last && p.t1 != 1.0) || (!first && pieces[i - 1].t1 != p.t0))
            return at("piece", i, "the pieces do not cover their segment in order");
    }
    for (size_t i = 0; i < meetings.hits.size(); ++i) {
        const Hit& h = meetings.hits[i];
        if (h.segA < 0 || h.segA >= segments || h.segB < 0 || h.segB >= segments)
            return at("hit", i, "no such segment");
        if (!(h.tA >= 0.0 && h.tA <= 1.0 && h.tB >= 0.0 && h.tB <= 1.0))
            return at("hit", i, "a parameter outside the segment");
    }
    if (meetings.busy.size() != input.segments.size()) return "busy flags for other segments";
    return {};
}

std::string checkArrangement(const Gathered& input, const Arrangement& a) {
    (void)input;
    for (size_t v = 0; v < a.vertices.size(); ++v)
        if (!finite(a.vertices[v])) return at("vertex", v, "not finite");
    // Every input's boundary is closed: at each vertex it arrives as often as
    // it leaves, counted with the edges' deltas.
    std::vector<long long> flowA(a.vertices.size(), 0);
    std::vector<long long> flowB(a.vertices.size(), 0);
    for (size_t i = 0; i < a.edges.size(); ++i) {
        std::string problem = checkEdge(a, i);
        if (!problem.empty()) return problem;
        const Edge& e = a.edges[i];
        flowA[e.v0] += e.deltaA;
        flowA[e.v1] -= e.deltaA;
        flowB[e.v0] += e.deltaB;
        flowB[e.v1] -= e.deltaB;
    }
    for (size_t v = 0; v < a.vertices.size(); ++v)
        if (flowA[v] != 0 || flowB[v] != 0)
            return at("vertex", v, "a boundary arrives more often than it leaves");
    return {};
}

std::string checkWindings(const Arrangement& a) {
    std::vector<std::vector<Departure>> ends(a.vertices.size());
    for (size_t i = 0; i < a.edges.size(); ++i) {
        const Edge& e = a.edges[i];
        ends[e.v0].push_back(departureOf(a.startCurve(e), int(2 * i + 1)));
        ends[e.v1].push_back(departureOf(reversed(a.endCurve(e)), int(2 * i)));
    }
    // Counterclockwise after a leaving end lies its edge's left side; after
    // an arriving one, its right side.
    auto after = [&](int item, bool a_) {
        const Edge& e = a.edges[item / 2];
        const int left = a_ ? e.leftA : e.leftB;
        const int delta = a_ ? e.deltaA : e.deltaB;
        return item & 1 ? left : left - delta;
    };
    auto before = [&](int item, bool a_) {
        const Edge& e = a.edges[item / 2];
        const int left = a_ ? e.leftA : e.leftB;
        const int delta = a_ ? e.deltaA : e.deltaB;
        return item & 1 ? left - delta : left;
    };
    for (size_t v = 0; v < ends.size(); ++v) {
        std::vector<Departure>& round = ends[v];
        if (!orderAroundVertex(round.data(), round.data() + round.size())) continue;
        for (size_t k = 0; k < round.size(); ++k) {
            const int here = round[k].item;
            const int next = round[(k + 1) % round.size()].item;
            for (bool a_ : {true, false})
                if (after(here, a_) != before(next, a_))
                    return at("vertex", v, "neighbouring edges disagree on a winding");
        }
    }
    return {};
}

std::string checkLoops(const Paths& loops) {
    for (size_t i = 0; i < loops.size(); ++i) {
        const Path& loop = loops[i];
        if (!loop.closed || loop.knots.size() < 2) return at("loop", i, "not a closed loop");
        for (const PathKnot& k : loop.knots)
            if (!finite(k.point) || !finite(k.in) || !finite(k.out))
                return at("loop", i, "a knot that is not finite");
    }
    return {};
}

std::string checkPassages(const std::vector<std::pair<int, int>>& passages, int count) {
    // Positions strictly inside the clockwise arc from a passage's arrival to
    // its departure.
    auto inside = [count](const std::pair<int, int>& p, int position) {
        const int span = (p.first - p.second + count) % count;
        const int offset = (p.first - position + count) % count;
        return offset > 0 && offset < span;
    };
    for (size_t i = 0; i < passages.size(); ++i)
        for (size_t j = i + 1; j < passages.size(); ++j)
            if (inside(passages[i], passages[j].first) != inside(passages[i], passages[j].second))
                return "two loops cross at a vertex";
    return {};
}

void enforce(const char* stage, const std::string& problem) {
    if (problem.empty()) return;
    std::fprintf(stderr, "carvex: the region engine's %s stage broke its contract: %s\n", stage,
                 problem.c_str());
    std::abort();
}

}  // namespace carvex::region
