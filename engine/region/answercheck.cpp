#include "region/answercheck.h"

#include <algorithm>
#include <cmath>

#include "region/scratch.h"
#include "region/tolerances.h"

namespace carvex::region {

namespace {

// Whether a curve monotone in both coordinates reaches the level p.y to the
// right of p. Between two parameters the crossing lies between their x, so
// the halving stops as soon as both lie on one side of p.
bool crossesRightOf(const Cubic& c, Vec2 p) {
    double lo = 0.0;
    double hi = 1.0;
    Vec2 a = c.p[0];
    Vec2 b = c.p[3];
    const bool rising = b.y > a.y;
    for (int i = 0; i < kLevelBisections && hi - lo > kLevelBracket; ++i) {
        if (std::min(a.x, b.x) > p.x) return true;
        if (std::max(a.x, b.x) <= p.x) return false;
        const double mid = 0.5 * (lo + hi);
        const Vec2 m = pointAt(c, mid);
        if ((m.y < p.y) == rising) {
            lo = mid;
            a = m;
        } else {
            hi = mid;
            b = m;
        }
    }
    return 0.5 * (a.x + b.x) > p.x;
}

// The pieces sorted into bands of y, for rays along +x; one band holding
// every piece when only a few rays are cast, which costs less than sorting.
class PieceBands {
public:
    PieceBands(const std::vector<Piece>& pieces, bool sorted, Arena* mem)
        : pieces_(pieces), start_(mem), items_(mem) {
        if (!sorted) {
            start_.assign({0, int(pieces.size())});
            items_.resize(pieces.size());
            for (int i = 0; i < int(pieces.size()); ++i)
                items_[i] = i;
            return;
        }
        double lo = 0.0;
        double hi = 0.0;
        for (size_t i = 0; i < pieces.size(); ++i) {
            lo = i == 0 ? pieces[i].box.y0 : std::min(lo, pieces[i].box.y0);
            hi = i == 0 ? pieces[i].box.y1 : std::max(hi, pieces[i].box.y1);
        }
        origin_ = lo;
        count_ = int(std::clamp<size_t>(pieces.size() / 4, 1, kMaxRayBuckets));
        width_ = std::max((hi - lo) / count_, kNarrowestBucket);
        start_.assign(count_ + 1, 0);
        for (const Piece& p : pieces)
            for (int b = band(p.box.y0); b <= band(p.box.y1); ++b)
                ++start_[b + 1];
        for (int b = 0; b < count_; ++b)
            start_[b + 1] += start_[b];
        items_.resize(start_[count_]);
        ScratchList<int> fill(start_.begin(), start_.end() - 1, mem);
        for (int i = 0; i < int(pieces.size()); ++i)
            for (int b = band(pieces[i].box.y0); b <= band(pieces[i].box.y1); ++b)
                items_[fill[b]++] = i;
    }

    // The winding numbers of both inputs at p: each piece the ray from p
    // along +x crosses counts +1 going up and -1 going down.
    void windingsAt(const Gathered& input, Vec2 p, int& wa, int& wb) const {
        wa = 0;
        wb = 0;
        const int b = band(p.y);
        for (int k = start_[b]; k < start_[b + 1]; ++k) {
            const Piece& piece = pieces_[items_[k]];
            const double y0 = piece.curve.p[0].y;
            const double y1 = piece.curve.p[3].y;
            // Half-open, so that a ray through a piece's end counts it once.
            if (!(std::min(y0, y1) <= p.y && p.y < std::max(y0, y1))) continue;
            if (piece.box.x1 <= p.x) continue;
            if (piece.box.x0 <= p.x && !crossesRightOf(piece.curve, p)) continue;
            const int sign = y1 > y0 ? 1 : -1;
            (input.segments[piece.segment].operand == 0 ? wa : wb) += sign;
        }
    }

private:
    int band(double y) const {
        const double b = std::floor((y - origin_) / width_);
        return int(std::clamp(b, 0.0, double(count_ - 1)));
    }

    const std::vector<Piece>& pieces_;
    double origin_ = 0.0;
    double width_ = 1.0;
    int count_ = 1;
    ScratchList<int> start_;
    ScratchList<int> items_;
};

// Whether, at one of a few distances off the middle of the edge, both sides
// have the windings the edge says they have.
bool edgeMatches(const Gathered& input, const PieceBands& bands, const Arrangement& a,
                 const Edge& e) {
    const Cubic& curve = a.links[e.firstLink + e.links / 2].curve;
    const Vec2 m = pointAt(curve, 0.5);
    Vec2 tangent = derivativeAt(curve, 0.5);
    if (tangent.x == 0.0 && tangent.y == 0.0) tangent = curve.p[3] - curve.p[0];
    const double size = length(tangent);
    if (!(size > 0.0)) return true;  // a point: it bounds no face
    const Vec2 left{-tangent.y / size, tangent.x / size};
    for (double reach : kAnswerCheckReaches) {
        const double d = reach * input.merge;
        int la = 0;
        int lb = 0;
        int ra = 0;
        int rb = 0;
        bands.windingsAt(input, m + left * d, la, lb);
        bands.windingsAt(input, m - left * d, ra, rb);
        if (la == e.leftA && lb == e.leftB && ra == e.leftA - e.deltaA && rb == e.leftB - e.deltaB)
            return true;
    }
    return false;
}

}  // namespace

bool windingsMatchInputs(const Gathered& input, const std::vector<Piece>& pieces,
                         const Arrangement& a) {
    if (a.seeds.empty() || pieces.empty()) return true;
    StageMemory stage;
    const int rays = int(a.seeds.size() + a.doubtful.size());
    const PieceBands bands(pieces, rays > kRaysWithoutIndex, stage.arena());
    for (const int seed : a.seeds)
        if (!edgeMatches(input, bands, a, a.edges[seed])) return false;
    for (const int i : a.doubtful) {
        const Edge& e = a.edges[i];
        if ((e.deltaA != 0 || e.deltaB != 0) && !edgeMatches(input, bands, a, e)) return false;
    }
    return true;
}

}  // namespace carvex::region
