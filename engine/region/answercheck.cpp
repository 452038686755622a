#include "region/answercheck.h"

#include <algorithm>
#include <cmath>

#include "region/scratch.h"
#include "region/tolerances.h"
#include "region/unionfind.h"

namespace carvex::region {

namespace {

// Whether a curve monotone in both coordinates reaches the level p.y to the
// right of p. Between two parameters the crossing lies between their x, so
// the search stops as soon as both lie on one side of p. The parameters close
// in by false position, the end kept twice having its height halved
// (Illinois), which takes a few steps where halving would take forty.
bool crossesRightOf(const Cubic& c, Vec2 p) {
    double lo = 0.0;
    double hi = 1.0;
    Vec2 a = c.p[0];
    Vec2 b = c.p[3];
    double fa = a.y - p.y;
    double fb = b.y - p.y;
    const bool rising = b.y > a.y;
    int kept = 0;  // -1 after lo moved, +1 after hi moved
    for (int i = 0; i < kLevelBisections && hi - lo > kLevelBracket; ++i) {
        if (std::min(a.x, b.x) > p.x) return true;
        if (std::max(a.x, b.x) <= p.x) return false;
        double t = (lo * fb - hi * fa) / (fb - fa);
        if (!(t > lo && t < hi)) t = 0.5 * (lo + hi);
        const Vec2 m = pointAt(c, t);
        if ((m.y < p.y) == rising) {
            lo = t;
            a = m;
            fa = m.y - p.y;
            if (kept == -1) fb *= 0.5;
            kept = -1;
        } else {
            hi = t;
            b = m;
            fb = m.y - p.y;
            if (kept == 1) fa *= 0.5;
            kept = 1;
        }
    }
    return 0.5 * (a.x + b.x) > p.x;
}

// The pieces sorted into bands of y, for rays along x; one band holding
// every piece when only a few rays are cast, which costs less than sorting.
class PieceBands {
public:
    PieceBands(const Gathered& input, const PieceList& pieces, bool sorted, Arena* mem)
        : pieces_(pieces), ends_(mem), ofB_(mem), start_(mem), items_(mem) {
        double left = HUGE_VAL;
        double right = -HUGE_VAL;
        ends_.resize(pieces.size());
        ofB_.resize(pieces.size());
        for (size_t i = 0; i < pieces.size(); ++i) {
            ends_[i] = {pieces.start(pieces[i]), pieces.end(pieces[i])};
            const Box box = boxOf(ends_[i].start, ends_[i].end);
            left = std::min(left, box.x0);
            right = std::max(right, box.x1);
            ofB_[i] = input.segments[pieces[i].segment].operand != 0;
        }
        middleX_ = 0.5 * left + 0.5 * right;
        if (!sorted) {
            start_.assign({0, int(pieces.size())});
            items_.resize(pieces.size());
            for (int i = 0; i < int(pieces.size()); ++i)
                items_[i] = i;
            return;
        }
        double lo = 0.0;
        double hi = 0.0;
        double heights = 0.0;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const Box box = boxOf(ends_[i].start, ends_[i].end);
            lo = i == 0 ? box.y0 : std::min(lo, box.y0);
            hi = i == 0 ? box.y1 : std::max(hi, box.y1);
            heights += box.y1 - box.y0;
        }
        origin_ = lo;
        // Bands no thinner than the pieces' mean height: a piece then lies in
        // two or three of them, and a band holds about twice the pieces a
        // level crosses.
        const int most = int(std::clamp<size_t>(pieces.size() / 4, 1, kMaxRayBuckets));
        width_ = std::max({(hi - lo) / most, heights / double(pieces.size()), kNarrowestBucket});
        count_ = int(std::clamp((hi - lo) / width_, 1.0, double(most)));
        perWidth_ = 1.0 / width_;
        start_.assign(count_ + 1, 0);
        ScratchList<int> first(pieces.size(), 0, mem);
        ScratchList<int> last(pieces.size(), 0, mem);
        for (size_t i = 0; i < pieces.size(); ++i) {
            const Box box = boxOf(ends_[i].start, ends_[i].end);
            first[i] = band(box.y0);
            last[i] = band(box.y1);
            for (int b = first[i]; b <= last[i]; ++b)
                ++start_[b + 1];
        }
        for (int b = 0; b < count_; ++b)
            start_[b + 1] += start_[b];
        items_.resize(start_[count_]);
        ScratchList<int> fill(start_.begin(), start_.end() - 1, mem);
        for (int i = 0; i < int(pieces.size()); ++i)
            for (int b = first[i]; b <= last[i]; ++b)
                items_[fill[b]++] = i;
    }

    // The winding numbers of both inputs at count (1 or 2) points beside one
    // edge, at nearly the same level: one scan of the band for both when
    // they share it. The ray runs to the nearer end of the band, +x or -x;
    // across a level every closed outline rises as often as it falls, so
    // both rays count the same.
    void windingsAt(const Vec2* p, int count, int* wa, int* wb) const {
        for (int k = 0; k < count; ++k)
            wa[k] = wb[k] = 0;
        const int b0 = band(p[0].y);
        if (count == 1) {
            scan<0, 1>(b0, p, wa, wb);
        } else if (band(p[1].y) == b0) {
            scan<0, 2>(b0, p, wa, wb);
        } else {
            scan<0, 1>(b0, p, wa, wb);
            scan<1, 2>(band(p[1].y), p, wa, wb);
        }
    }

private:
    // The points p[from] to p[to - 1], fixed at compile time so that the
    // loop over them unrolls.
    template <int from, int to>
    void scan(int b, const Vec2* p, int* wa, int* wb) const {
        for (int k = start_[b]; k < start_[b + 1]; ++k) {
            const int index = items_[k];
            const double y0 = ends_[index].start.y;
            const double y1 = ends_[index].end.y;
            const int sign = y1 > y0 ? 1 : -1;
            int* w = ofB_[index] ? wb : wa;
            const Box box = boxOf(ends_[index].start, ends_[index].end);
            for (int i = from; i < to; ++i) {
                // Half-open, so that a ray through a piece's end counts it once.
                if (!(std::min(y0, y1) <= p[i].y && p[i].y < std::max(y0, y1))) continue;
                if (p[i].x < middleX_) {
                    if (box.x1 <= p[i].x) continue;
                    if (box.x0 <= p[i].x && !crossesRight(index, p[i])) continue;
                    w[i] += sign;
                } else {
                    if (box.x0 > p[i].x) continue;
                    if (box.x1 > p[i].x && crossesRight(index, p[i])) continue;
                    w[i] -= sign;
                }
            }
        }
    }

    // Rarely reached: most pieces a ray meets lie wholly on one side of its
    // origin. Kept out of the scan so that the scan stays small.
    bool crossesRight(int index, Vec2 p) const {
        return crossesRightOf(pieces_.curve(pieces_[size_t(index)]), p);
    }

    // The floor of b, clamped to the bands, without a call to floor().
    int band(double y) const {
        const double b = (y - origin_) * perWidth_;
        return b >= double(count_ - 1) ? count_ - 1 : b > 0.0 ? int(b) : 0;
    }

    struct Ends {
        Vec2 start;
        Vec2 end;
    };

    const PieceList& pieces_;
    ScratchList<Ends> ends_;  // per piece, read by every ray through its bands
    ScratchList<char> ofB_;   // per piece: whether it is of the second input
    double middleX_ = 0.0;    // rays from points left of it run to +x
    double origin_ = 0.0;
    double width_ = 1.0;
    double perWidth_ = 1.0;
    int count_ = 1;
    ScratchList<int> start_;
    ScratchList<int> items_;
};

// The points at distance d either side of the middle of an edge, left
// first; false for an edge that is a point, which bounds no face.
bool sidesOf(const Arrangement& a, const Edge& e, double d, Vec2 sides[2]) {
    const Cubic& curve = a.curveOf(a.links[e.firstLink + e.links / 2]);
    const Vec2 m = pointAt(curve, 0.5);
    Vec2 tangent = derivativeAt(curve, 0.5);
    if (tangent.x == 0.0 && tangent.y == 0.0) tangent = curve.p[3] - curve.p[0];
    const double size = length(tangent);
    if (!(size > 0.0)) return false;
    const Vec2 left{-tangent.y / size, tangent.x / size};
    sides[0] = m + left * d;
    sides[1] = m - left * d;
    return true;
}

// Whether windings counted on the left (and with bothSides on the right)
// of an edge are the ones it says it has.
bool sidesAgree(const Edge& e, const int wa[2], const int wb[2], bool bothSides) {
    return wa[0] == e.leftA && wb[0] == e.leftB &&
           (!bothSides || (wa[1] == e.leftA - e.deltaA && wb[1] == e.leftB - e.deltaB));
}

// Whether, at one of a few distances off the middle of the edge, the face on
// its left (and with bothSides the face on its right) has the windings the
// edge says it has.
bool edgeMatches(const Gathered& input, const PieceBands& bands, const Arrangement& a,
                 const Edge& e, bool bothSides) {
    auto sidesMatch = [&](double d) {
        Vec2 sides[2];
        if (!sidesOf(a, e, d, sides)) return true;
        int wa[2];
        int wb[2];
        bands.windingsAt(sides, bothSides ? 2 : 1, wa, wb);
        return sidesAgree(e, wa, wb, bothSides);
    };
    for (double reach : kAnswerCheckReaches)
        if (sidesMatch(reach * input.merge)) return true;
    // Outlines the caller's threshold took as one lie up to that far apart.
    if (input.join > input.merge)
        for (double reach : kAnswerCheckReaches)
            if (sidesMatch(reach * input.join)) return true;
    return false;
}

// Whether an edge's windings need a ray of their own: those of the edges
// the windings began from, on both sides, and the left of every edge whose
// sides differ.
bool checked(const Edge& e, bool seed) {
    return seed || e.deltaA != 0 || e.deltaB != 0;
}

}  // namespace

EdgeSides sampleEdgeSides(const Gathered& input, const PieceList& pieces, const Arrangement& a) {
    EdgeSides out;
    if (pieces.empty()) return out;
    StageMemory stage;
    const PieceBands bands(input, pieces, a.edges.size() > size_t(kCheckRaysWithoutIndex),
                           stage.arena());
    // The windings will begin from the first edge of each connected part:
    // both its sides are counted, and only the left of the others.
    UnionFind parts(int(a.vertices.size()), stage.arena());
    for (const Edge& e : a.edges)
        parts.unite(e.v0, e.v1);
    ScratchList<char> reached(a.vertices.size(), 0, stage.arena());
    out.resize(a.edges.size());
    const double d = kAnswerCheckReaches[0] * input.merge;
    for (size_t i = 0; i < a.edges.size(); ++i) {
        const Edge& e = a.edges[i];
        char& first = reached[size_t(parts.find(e.v0))];
        const bool seed = !first;
        first = 1;
        Vec2 sides[2];
        if (!checked(e, seed) || !sidesOf(a, e, d, sides)) continue;
        bands.windingsAt(sides, seed ? 2 : 1, out[i].wa, out[i].wb);
        out[i].counted = seed ? 2 : 1;
    }
    return out;
}

bool windingsMatchInputs(const Gathered& input, const PieceList& pieces, const Arrangement& a,
                         const EdgeSides* sampled) {
    if (a.seeds.empty() || pieces.empty()) return true;
    StageMemory stage;
    // The right of an edge is its left less its deltas, which its own input
    // segments give; it is looked at where the windings began, and the left
    // of every edge is every face that some edge has on its left.
    if (!sampled || sampled->empty()) {
        const size_t rays = a.seeds.size() + a.edges.size();
        const PieceBands bands(input, pieces, rays > size_t(kCheckRaysWithoutIndex), stage.arena());
        for (const int seed : a.seeds)
            if (!edgeMatches(input, bands, a, a.edges[seed], true)) return false;
        if (a.seeds.size() == a.edges.size()) return true;  // every edge had a ray
        for (const Edge& e : a.edges)
            if (checked(e, false) && !edgeMatches(input, bands, a, e, false)) return false;
        return true;
    }
    // Sides counted beforehand that agree need no ray now.
    ScratchList<char> seed(a.edges.size(), 0, stage.arena());
    for (const int s : a.seeds)
        seed[s] = 1;
    ScratchList<int> unsettled(stage.arena());
    for (int i = 0; i < int(a.edges.size()); ++i) {
        const Edge& e = a.edges[i];
        const SideWindings& counted = (*sampled)[i];
        if (checked(e, seed[i]) && !(counted.counted > (seed[i] ? 1 : 0) &&
                                     sidesAgree(e, counted.wa, counted.wb, seed[i])))
            unsettled.push_back(i);
    }
    if (unsettled.empty()) return true;
    const PieceBands bands(input, pieces, unsettled.size() > size_t(kCheckRaysWithoutIndex),
                           stage.arena());
    for (const int i : unsettled)
        if (!edgeMatches(input, bands, a, a.edges[i], seed[i])) return false;
    return true;
}

}  // namespace carvex::region
