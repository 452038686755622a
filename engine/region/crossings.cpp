#include "region/crossings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "region/runsort.h"
#include "region/scratch.h"
#include "region/spare.h"
#include "region/tolerances.h"

namespace carvex::region {

void monotonePieces(const Gathered& input, PieceList& out) {
    const std::vector<SourceSegment>& segments = input.segments;
    // The cuts first, so that the lists are sized once: growing them would
    // hold the old and the new list at once.
    StageMemory stage;
    Arena* mem = stage.arena();
    ScratchList<double> cuts(mem);
    ScratchList<unsigned char> cutCount(segments.size(), 0, mem);
    for (size_t s = 0; s < segments.size(); ++s) {
        if (segments[s].line) continue;
        double found[4];
        const int n = extremaParameters(curveOf(input, segments[s]), found);
        cutCount[s] = static_cast<unsigned char>(n);
        cuts.insert(cuts.end(), found, found + n);
    }
    out.input = &input;
    out.pieces.clear();
    out.pieces.reserve(segments.size() + cuts.size());
    // A segment with n cuts has n + 1 pieces: 3 n + 4 points.
    size_t cutSegments = 0;
    for (const unsigned char n : cutCount)
        cutSegments += n > 0;
    out.cutPoints.clear();
    out.cutPoints.reserve(3 * cuts.size() + 4 * cutSegments);
    const double* next = cuts.data();
    for (int s = 0; s < int(segments.size()); ++s) {
        if (cutCount[s] == 0) {
            out.pieces.push_back({s, -1, 0.0, 1.0});
            continue;
        }
        const Cubic c = curveOf(input, segments[s]);
        double t0 = 0.0;
        for (int i = 0; i <= cutCount[s]; ++i) {
            Piece p;
            p.segment = s;
            p.t0 = t0;
            p.t1 = i < cutCount[s] ? *next++ : 1.0;
            const Cubic piece = subCubic(c, p.t0, p.t1);
            std::vector<Vec2>& points = out.cutPoints;
            // Both ends are pointAt() of the segment, so a piece starts
            // where the one before it ends, bit for bit.
            if (i == 0 || !sameBits(points.back(), piece.p[0])) points.push_back(piece.p[0]);
            p.firstPoint = int(points.size()) - 1;
            points.insert(points.end(), piece.p + 1, piece.p + 4);
            out.pieces.push_back(p);
            t0 = p.t1;
        }
    }
}

namespace {

// Whether p lies farther than reach from the box with corners u and v.
bool fartherThan(Vec2 p, Vec2 u, Vec2 v, double reach) {
    const double dx = std::max(std::max(0.0, std::min(u.x, v.x) - p.x), p.x - std::max(u.x, v.x));
    const double dy = std::max(std::max(0.0, std::min(u.y, v.y) - p.y), p.y - std::max(u.y, v.y));
    return dx * dx + dy * dy > reach * reach;
}

}  // namespace

bool projectOnMonotone(const Cubic& c, double t0, double t1, Vec2 p, double tol, double& t) {
    const Vec2 a = pointAt(c, t0);
    const Vec2 b = pointAt(c, t1);
    const Box box = boxOf(a, b);
    if (p.x < box.x0 - tol || p.x > box.x1 + tol || p.y < box.y0 - tol || p.y > box.y1 + tol)
        return false;
    // Along the coordinate that changes most the stretch is monotone: bisect
    // for the point level with p, then polish the nearest point by Newton.
    const bool alongX = box.x1 - box.x0 >= box.y1 - box.y0;
    const double target = alongX ? p.x : p.y;
    const double va = alongX ? a.x : a.y;
    const double vb = alongX ? b.x : b.y;
    double lo = t0;
    double hi = t1;
    if ((target - va) * (vb - va) <= 0.0) {
        hi = t0;
    } else if ((target - vb) * (va - vb) <= 0.0) {
        lo = t1;
    } else {
        // Each stretch between bracket points lies in the box of its ends:
        // once p keeps out of all three by more than tol, nothing is near.
        // A point still inside after the first few halvings is most often
        // on the curve, and is no longer looked at.
        const double reach = tol + kProjectRounding * box.size();
        Vec2 atLo = a;
        Vec2 atHi = b;
        const bool rising = vb > va;
        for (int i = 0; i < kProjectBisections && hi - lo > kProjectBracket * (t1 - t0); ++i) {
            const double mid = 0.5 * (lo + hi);
            if (i >= kProjectEarlyLooks) {
                // Past the looks only the bracketing coordinate matters.
                if ((coordinateAt(c, mid, alongX) < target) == rising)
                    lo = mid;
                else
                    hi = mid;
                continue;
            }
            const Vec2 q = pointAt(c, mid);
            const double v = alongX ? q.x : q.y;
            if ((v < target) == rising) {
                lo = mid;
                atLo = q;
            } else {
                hi = mid;
                atHi = q;
            }
            if (fartherThan(p, a, atLo, reach) && fartherThan(p, atLo, atHi, reach) &&
                fartherThan(p, atHi, b, reach))
                return false;
        }
    }
    double u = 0.5 * (lo + hi);
    for (int i = 0; i < kProjectNewtonSteps; ++i) {
        const Vec2 d = pointAt(c, u) - p;
        const Vec2 d1 = derivativeAt(c, u);
        const Vec2 d2 = secondDerivativeAt(c, u);
        const double den = dot(d1, d1) + dot(d, d2);
        if (den <= 0.0) break;
        const double next = std::clamp(u - dot(d, d1) / den, t0, t1);
        if (next == u) break;
        u = next;
    }
    if (length(pointAt(c, u) - p) > tol) return false;
    t = u;
    return true;
}

namespace {

// y - k x (L - x) along a cubic given in a chord frame (x along the chord,
// y across it) is a polynomial of degree six: the least and greatest of its
// Bernstein coefficients, which bound it.
void bendBand(const double* x, const double* y, double k, double L, double& lo, double& hi) {
    // C(3,i) C(3,j) / C(6,i+j): the weights of a product of two cubics.
    static constexpr double w[4][4] = {
        {1.0, 0.5, 0.2, 0.05}, {0.5, 0.6, 0.45, 0.2}, {0.2, 0.45, 0.6, 0.5}, {0.05, 0.2, 0.5, 1.0}};
    lo = std::numeric_limits<double>::infinity();
    hi = -lo;
    for (int m = 0; m <= 6; ++m) {
        double r = 0.0;
        for (int i = std::max(0, m - 3); i <= std::min(3, m); ++i)
            r += w[i][m - i] * (y[i] - k * x[i] * (L - x[m - i]));
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
}

// A part in its own chord frame about the parabola k x (L - x) through its
// ends and middle point: the band that holds it, its reach along the chord
// and its largest coordinate. exists is false where there is no such
// parabola (a closed chord, or a middle point beyond an end).
struct PartBend {
    bool known = false;
    bool exists = false;
    double length = 0.0, k = 0.0, lo = 0.0, hi = 0.0, x0 = 0.0, x1 = 0.0, scale = 0.0;
};

PartBend bendOf(const Cubic& c, Vec2 normal) {
    PartBend bend;
    bend.known = true;
    if (normal.x == 0.0 && normal.y == 0.0) return bend;
    const Vec2 o = c.p[0];
    const Vec2 along{normal.y, -normal.x};
    double x[4], y[4];
    bend.x0 = std::numeric_limits<double>::infinity();
    bend.x1 = -bend.x0;
    for (int i = 0; i < 4; ++i) {
        x[i] = dot(c.p[i] - o, along);
        y[i] = dot(c.p[i] - o, normal);
        bend.scale = std::max(bend.scale, std::max(std::fabs(x[i]), std::fabs(y[i])));
        bend.x0 = std::min(bend.x0, x[i]);
        bend.x1 = std::max(bend.x1, x[i]);
    }
    const double L = x[3];
    const double xm = (x[0] + 3.0 * (x[1] + x[2]) + x[3]) / 8.0;
    const double ym = (y[0] + 3.0 * (y[1] + y[2]) + y[3]) / 8.0;
    const double den = xm * (L - xm);
    if (!(den > 0.0)) return bend;
    bend.exists = true;
    bend.length = L;
    bend.k = ym / den;
    bendBand(x, y, bend.k, L, bend.lo, bend.hi);
    return bend;
}

// A stretch of a curve met in the subdivision, with what the tests on it
// need, worked out once: its control box, how far it strays from its chord,
// and the band around the chord that holds it.
struct Part {
    Cubic c;
    double t0 = 0.0;
    double t1 = 1.0;
    Box box;
    Vec2 normal;  // unit normal of the chord, zero for a closed chord
    double lo = 0.0;
    double hi = 0.0;

    Part(const Cubic& curve, double from, double to) : Part(curve, from, to, controlBox(curve)) {}

    Part(const Cubic& curve, double from, double to, const Box& controls)
        : c(curve), t0(from), t1(to), box(controls) {
        const Vec2 d = c.p[3] - c.p[0];
        const double len = length(d);
        if (len == 0.0) return;
        normal = {-d.y / len, d.x / len};
        const double a1 = dot(c.p[1] - c.p[0], normal);
        const double a2 = dot(c.p[2] - c.p[0], normal);
        lo = std::min(std::min(0.0, a1), a2);
        hi = std::max(std::max(0.0, a1), a2);
    }

    // Worked out when first asked: most parts are told apart before.
    double flat() const {
        if (flat_ < 0.0) flat_ = flatness(c);
        return flat_;
    }
    // Its bend, worked out once: a part is held against each half of the
    // other part it runs beside, and their halves in turn.
    const PartBend& bend() const {
        if (!bend_.known) bend_ = bendOf(c, normal);
        return bend_;
    }

private:
    mutable double flat_ = -1.0;
    mutable PartBend bend_;
};

// Whether the control points of b lie wholly to one side of the band around
// a's chord that holds a: then the curves cannot meet.
bool apart(const Part& a, const Part& b, double tol) {
    if (a.normal.x == 0.0 && a.normal.y == 0.0) return false;
    bool below = true;
    bool above = true;
    for (const Vec2& p : b.c.p) {
        const double s = dot(p - a.c.p[0], a.normal);
        below = below && s < a.lo - tol;
        above = above && s > a.hi + tol;
    }
    return below || above;
}

// Whether b keeps farther than tol from a, measured from a parabola that
// bends as a does: near-copies bend alike, and about such a parabola each
// keeps to a band far thinner than the band about its chord, so that copies
// a little more than tol apart are told apart without subdividing them to
// their distance.
//
// In a's chord frame (x along the chord, y across it) the parabola is
// P(x) = k x (L - x), through a's middle point. y - P(x) along either curve
// is a polynomial of degree six in the curve's parameter; its Bernstein
// coefficients bound it. Bands G apart put the curves at least
// G / sqrt(1 + m^2) apart, m the steepest slope of P over both curves.
bool apartAlongBend(const Part& a, const Part& b, double tol) {
    const PartBend& bend = a.bend();
    if (!bend.exists) return false;
    const Vec2 o = a.c.p[0];
    const Vec2 along{a.normal.y, -a.normal.x};
    double xb[4], yb[4];
    double scale = bend.scale;
    double x0 = bend.x0;
    double x1 = bend.x1;
    for (int i = 0; i < 4; ++i) {
        xb[i] = dot(b.c.p[i] - o, along);
        yb[i] = dot(b.c.p[i] - o, a.normal);
        scale = std::max(scale, std::max(std::fabs(xb[i]), std::fabs(yb[i])));
        x0 = std::min(x0, xb[i]);
        x1 = std::max(x1, xb[i]);
    }
    const double L = bend.length;
    const double k = bend.k;
    // b's ends lie in its band, so where they do not clear a's band neither
    // can the band: the common case of parts that meet.
    const double end0 = yb[0] - k * xb[0] * (L - xb[0]);
    const double end1 = yb[3] - k * xb[3] * (L - xb[3]);
    if (!(std::min(end0, end1) - bend.hi > 0.0) && !(bend.lo - std::max(end0, end1) > 0.0))
        return false;
    double loB, hiB;
    bendBand(xb, yb, k, L, loB, hiB);
    const double gap = std::max(loB - bend.hi, bend.lo - hiB);
    if (!(gap > 0.0)) return false;
    const double slope = std::fabs(k) * std::max(std::fabs(L - 2.0 * x0), std::fabs(L - 2.0 * x1));
    const double rounding = kBendRounding * (scale + std::fabs(k) * scale * scale);
    return gap > (tol + rounding) * std::sqrt(1.0 + slope * slope);
}

// Whether two parts run nearly side by side, where the bands about their
// chords cannot part them but the bands about their bend can.
bool sideBySide(const Part& a, const Part& b) {
    return std::fabs(cross(a.normal, b.normal)) <= kSideBySide;
}

// The cosine of the widest angle between a part's tangent and its chord,
// or 0 when the part turns back on its chord or has none: its tangents are
// positive blends of its handles' differences, so none turns farther than
// they do.
double tangentSpreadCos(const Part& part) {
    if (part.normal.x == 0.0 && part.normal.y == 0.0) return 0.0;
    const Vec2 along{part.normal.y, -part.normal.x};
    double leastSquared = 1.0;
    for (int i = 0; i < 3; ++i) {
        const Vec2 d = part.c.p[i + 1] - part.c.p[i];
        const double dd = dot(d, d);
        if (dd == 0.0) continue;
        const double a = dot(d, along);
        if (a <= 0.0) return 0.0;
        leastSquared = std::min(leastSquared, a * a / dd);
    }
    return std::sqrt(leastSquared);
}

// Whether no tangent of a is parallel to a tangent of b, with room to spare:
// then they cross at most once, since two crossings would have a tangent of
// each parallel to the line through both (Rolle), and cross at an angle wide
// enough for Newton to need no finer start. Worked in cosines and sines of
// the two spreads added up, with the room, against the chords' angle.
bool tangentsApart(const Part& a, const Part& b) {
    static const double roomCos = std::cos(kTangentsApart);
    static const double roomSin = std::sin(kTangentsApart);
    // The spreads only narrow the room: chords closer than it are done.
    const double chords = std::fabs(dot(a.normal, b.normal));
    if (chords >= roomCos) return false;
    const double cA = tangentSpreadCos(a);
    const double cB = tangentSpreadCos(b);
    if (cA <= 0.0 || cB <= 0.0) return false;
    const double sA = std::sqrt(std::max(0.0, 1.0 - cA * cA));
    const double sB = std::sqrt(std::max(0.0, 1.0 - cB * cB));
    const double c = cA * cB - sA * sB;
    const double s = sA * cB + cA * sB;
    const double withRoom = c * roomCos - s * roomSin;
    // The spreads and the room must leave less than a quarter turn, and the
    // chords' lines must lie farther apart than that.
    if (c <= 0.0 || withRoom <= 0.0) return false;
    return chords < withRoom;
}

// Whether p lies within tol of the band around c's chord that holds c: a
// cheap necessary condition for p to lie on c.
bool inBand(const Cubic& c, Vec2 p, double tol) {
    const Vec2 d = c.p[3] - c.p[0];
    const double len = length(d);
    if (len == 0.0) return true;
    const Vec2 n{-d.y / len, d.x / len};
    const double a1 = dot(c.p[1] - c.p[0], n);
    const double a2 = dot(c.p[2] - c.p[0], n);
    const double s = dot(p - c.p[0], n);
    return s >= std::min(std::min(0.0, a1), a2) - tol && s <= std::max(std::max(0.0, a1), a2) + tol;
}

struct PairSearch {
    const Cubic& a;
    const Cubic& b;
    double tol;
    std::vector<Hit>& hits;
    int segA;
    int segB;
    size_t firstHit;
    int budget = kPairSearchBudget;
    // Leaves where Newton found nothing: many of them mean curves that run
    // side by side a little more than tol apart.
    int missedLeaves = 0;
    RegionStatus limit = RegionStatus::Ok;  // the cap that stopped the search

    void add(double tA, double tB) {
        const Vec2 p = pointAt(a, tA);
        for (size_t i = firstHit; i < hits.size(); ++i)
            if (length(pointAt(a, hits[i].tA) - p) <= tol) return;
        if (hits.size() - firstHit >= size_t(kMaxMeetingsPerPair)) {
            limit = RegionStatus::TooManyMeetings;
            return;
        }
        hits.push_back({segA, segB, tA, tB});
    }

    // Newton on a(s) = b(t), kept inside the given parameter ranges; met
    // tells whether it came within the residual rather than only within tol.
    bool refine(double& s, double& t, double sa, double sb, double ta, double tb,
                bool* met = nullptr) const {
        for (int i = 0; i < kNewtonSteps; ++i) {
            const Vec2 f = pointAt(a, s) - pointAt(b, t);
            if (length(f) <= kNewtonResidual * tol) {
                if (met) *met = true;
                return true;
            }
            const Vec2 c1 = derivativeAt(a, s);
            const Vec2 c2 = derivativeAt(b, t) * -1.0;
            const double det = cross(c1, c2);
            if (std::fabs(det) <= kSingularJacobian * length(c1) * length(c2) || det == 0.0) break;
            const Vec2 r = f * -1.0;
            s = std::clamp(s + cross(r, c2) / det, sa, sb);
            t = std::clamp(t + cross(c1, r) / det, ta, tb);
        }
        return length(pointAt(a, s) - pointAt(b, t)) <= tol;
    }

    void leaf(const Cubic& ca, double a0, double a1, const Cubic& cb, double b0, double b1,
              double reach) {
        // The chords meet, or come closer than the curves can stray from them.
        const Vec2 p = ca.p[0];
        const Vec2 r = ca.p[3] - ca.p[0];
        const Vec2 q = cb.p[0];
        const Vec2 d = cb.p[3] - cb.p[0];
        const double den = cross(r, d);
        double u = 0.5;
        double v = 0.5;
        if (std::fabs(den) > kParallelChords) {
            u = cross(q - p, d) / den;
            v = cross(q - p, r) / den;
        }
        u = std::clamp(u, 0.0, 1.0);
        v = std::clamp(v, 0.0, 1.0);
        const Vec2 pu = lerp(p, ca.p[3], u);
        const Vec2 qv = lerp(q, cb.p[3], v);
        if (length(pu - qv) > reach && std::fabs(den) > kParallelChords) {
            // Clamped off the chords: try the nearest ends.
            double best = length(pu - qv);
            for (double uu : {0.0, 1.0}) {
                double vv = 0.0;
                const Vec2 x = lerp(p, ca.p[3], uu);
                const double dd = dot(d, d);
                if (dd > 0.0) vv = std::clamp(dot(x - q, d) / dd, 0.0, 1.0);
                const double dist = length(x - lerp(q, cb.p[3], vv));
                if (dist < best) best = dist, u = uu, v = vv;
            }
            for (double vv : {0.0, 1.0}) {
                double uu = 0.0;
                const Vec2 x = lerp(q, cb.p[3], vv);
                const double rr = dot(r, r);
                if (rr > 0.0) uu = std::clamp(dot(x - p, r) / rr, 0.0, 1.0);
                const double dist = length(x - lerp(p, ca.p[3], uu));
                if (dist < best) best = dist, u = uu, v = vv;
            }
            if (best > reach) return;
        }
        double s = a0 + (a1 - a0) * u;
        double t = b0 + (b1 - b0) * v;
        const double s0 = s;
        const double t0 = t;
        if (refine(s, t, rangeA0, rangeA1, rangeB0, rangeB1)) {
            add(s, t);
            return;
        }
        // The chord's fraction can be far from the curve's parameter where
        // the handles bunch up: start again from the nearest curve points.
        const Vec2 x = lerp(pu, qv, 0.5);
        const double reachTol = reach + length(pu - qv);
        if (projectOnMonotone(a, a0, a1, x, reachTol, s) &&
            projectOnMonotone(b, b0, b1, x, reachTol, t) &&
            refine(s, t, rangeA0, rangeA1, rangeB0, rangeB1)) {
            add(s, t);
        } else if (length(pointAt(a, s0) - pointAt(b, t0)) <= tol) {
            add(s0, t0);  // a touching, where Newton has no crossing to find
        } else {
            ++missedLeaves;
        }
    }

    void search(const Part& pa, const Part& pb, int depth) {
        if (limit != RegionStatus::Ok) return;
        if (--budget < 0) {
            limit = RegionStatus::SearchBudgetExhausted;
            return;
        }
        if (!pa.box.overlaps(pb.box, tol)) return;
        if (apart(pa, pb, tol) || apart(pb, pa, tol)) return;
        if (missedLeaves >= kMissedLeavesBeforeBendTest && sideBySide(pa, pb) &&
            (apartAlongBend(pa, pb, tol) || apartAlongBend(pb, pa, tol)))
            return;
        const double sa = pa.box.size();
        const double sb = pb.box.size();
        const bool flatA = pa.flat() <= kFlatStretch * sa || sa <= tol;
        const bool flatB = pb.flat() <= kFlatStretch * sb || sb <= tol;
        if (flatA && flatB) {
            leaf(pa.c, pa.t0, pa.t1, pb.c, pb.t0, pb.t1, pa.flat() + pb.flat() + tol);
            return;
        }
        if (tangentsApart(pa, pb) && crossingOf(pa, pb)) return;
        if (depth >= kMaxSearchDepth) {
            limit = RegionStatus::SearchTooDeep;
            return;
        }
        Cubic l;
        Cubic r;
        if (!flatA && (flatB || sa >= sb)) {
            const double m = 0.5 * (pa.t0 + pa.t1);
            split(pa.c, 0.5, l, r);
            searchHalf(l, pa.t0, m, pb, true, depth + 1);
            searchHalf(r, m, pa.t1, pb, true, depth + 1);
        } else {
            const double m = 0.5 * (pb.t0 + pb.t1);
            split(pb.c, 0.5, l, r);
            searchHalf(l, pb.t0, m, pa, false, depth + 1);
            searchHalf(r, m, pb.t1, pa, false, depth + 1);
        }
    }

    // The one crossing of parts that can cross at most once, by Newton from
    // where their chords cross, kept inside the parts: when it lands there,
    // halving them further would only find it again.
    bool crossingOf(const Part& pa, const Part& pb) {
        const Vec2 r = pa.c.p[3] - pa.c.p[0];
        const Vec2 d = pb.c.p[3] - pb.c.p[0];
        const double den = cross(r, d);
        if (std::fabs(den) <= kParallelChords) return false;
        const Vec2 q = pb.c.p[0] - pa.c.p[0];
        const double u = std::clamp(cross(q, d) / den, 0.0, 1.0);
        const double v = std::clamp(cross(q, r) / den, 0.0, 1.0);
        double s = pa.t0 + (pa.t1 - pa.t0) * u;
        double t = pb.t0 + (pb.t1 - pb.t0) * v;
        bool met = false;
        if (!refine(s, t, pa.t0, pa.t1, pb.t0, pb.t1, &met) || !met) return false;
        add(s, t);
        return true;
    }

    // A half whose control box misses the other part's is the common case
    // of a split: it is dropped before its bands are measured, counted
    // against the budget as a search of it would be.
    void searchHalf(const Cubic& c, double t0, double t1, const Part& other, bool halfIsA,
                    int depth) {
        if (limit != RegionStatus::Ok) return;
        const Box box = controlBox(c);
        if (!(halfIsA ? box.overlaps(other.box, tol) : other.box.overlaps(box, tol))) {
            if (--budget < 0) limit = RegionStatus::SearchBudgetExhausted;
            return;
        }
        const Part half(c, t0, t1, box);
        if (halfIsA)
            search(half, other, depth);
        else
            search(other, half, depth);
    }

    double rangeA0 = 0.0, rangeA1 = 1.0, rangeB0 = 0.0, rangeB1 = 1.0;
};

struct Incidence {
    double tA;
    double tB;
};

// Two monotone stretches that run along each other between two of their
// ends: both ends of the shared stretch, or nothing when they do not.
// a and b are the pieces' segments, ca and cb the pieces themselves.
bool sharedStretch(const Cubic& a, const Piece& pa, const Cubic& ca, const Cubic& b,
                   const Piece& pb, const Cubic& cb, double tol, Incidence& lo, Incidence& hi) {
    // Neighbouring outlines often share a border drawn twice over: whole
    // segments with the same control points, either way round. Their ends
    // are each other's, at parameters 0 and 1 exactly, as the projections
    // below would find them.
    if (pa.firstPoint < 0 && pb.firstPoint < 0 && sameControlPoints(ca, cb) &&
        length(a.p[3] - a.p[0]) > tol) {
        const bool forwards = sameBits(ca.p[0], cb.p[0]);
        lo = {0.0, forwards ? 0.0 : 1.0};
        hi = {1.0, forwards ? 1.0 : 0.0};
        return true;
    }
    Incidence found[4];
    int n = 0;
    double t = 0.0;
    if (inBand(cb, ca.p[0], tol) && projectOnMonotone(b, pb.t0, pb.t1, ca.p[0], tol, t))
        found[n++] = {pa.t0, t};
    if (inBand(cb, ca.p[3], tol) && projectOnMonotone(b, pb.t0, pb.t1, ca.p[3], tol, t))
        found[n++] = {pa.t1, t};
    if (n == 0 && !inBand(ca, cb.p[0], tol) && !inBand(ca, cb.p[3], tol)) return false;
    if (inBand(ca, cb.p[0], tol) && projectOnMonotone(a, pa.t0, pa.t1, cb.p[0], tol, t))
        found[n++] = {t, pb.t0};
    if (inBand(ca, cb.p[3], tol) && projectOnMonotone(a, pa.t0, pa.t1, cb.p[3], tol, t))
        found[n++] = {t, pb.t1};
    if (n < 2) return false;
    // The two incidences farthest apart along a bound the shared stretch.
    lo = found[0];
    hi = found[0];
    for (int i = 1; i < n; ++i) {
        if (found[i].tA < lo.tA) lo = found[i];
        if (found[i].tA > hi.tA) hi = found[i];
    }
    if (length(pointAt(a, hi.tA) - pointAt(a, lo.tA)) <= tol) return false;
    // Neighbouring outlines often share a border drawn twice over: nothing
    // between the ends can part them.
    if (sameControlPoints(ca, cb)) return true;
    for (double f : {0.25, 0.5, 0.75}) {
        const Vec2 p = pointAt(a, lo.tA + (hi.tA - lo.tA) * f);
        if (!projectOnMonotone(b, std::min(lo.tB, hi.tB), std::max(lo.tB, hi.tB), p, tol, t))
            return false;
    }
    return true;
}

// The ends of a monotone stretch are opposite corners of its box: the
// lower left and the upper right where it rises, the others where it falls.
bool rises(Vec2 start, Vec2 end) {
    return (start.x <= end.x) == (start.y <= end.y);
}

void endsOf(const Box& box, bool rising, Vec2 ends[2]) {
    ends[0] = {box.x0, rising ? box.y0 : box.y1};
    ends[1] = {box.x1, rising ? box.y1 : box.y0};
}

// Stretches that only share an end point and whose boxes meet in no more
// than a line through it cannot meet anywhere else.
bool onlyShareAnEnd(const Box& ba, bool risingA, const Box& bb, bool risingB) {
    Vec2 ea[2];
    Vec2 eb[2];
    endsOf(ba, risingA, ea);
    endsOf(bb, risingB, eb);
    bool shared = false;
    for (Vec2 p : ea)
        for (Vec2 q : eb)
            if (p == q) shared = true;
    if (!shared) return false;
    const double w = std::min(ba.x1, bb.x1) - std::max(ba.x0, bb.x0);
    const double h = std::min(ba.y1, bb.y1) - std::max(ba.y0, bb.y0);
    if (w > 0.0 && h > 0.0) return false;
    // A stretch flat along the meeting line could lie on it.
    if (w <= 0.0 && (ba.x1 == ba.x0 || bb.x1 == bb.x0)) return false;
    if (h <= 0.0 && (ba.y1 == ba.y0 || bb.y1 == bb.y0)) return false;
    return true;
}

// Whether q follows p along one outline, or p follows q: the sweep pairs
// such stretches by their shared end, which is not a meeting.
bool consecutive(const std::vector<SourceSegment>& segments, const Piece& p, const Piece& q) {
    if (p.segment == q.segment && (p.t1 == q.t0 || q.t1 == p.t0)) return true;
    const SourceSegment& a = segments[p.segment];
    const SourceSegment& b = segments[q.segment];
    return (a.endKnot == b.startKnot && p.t1 >= 1.0 && q.t0 <= 0.0) ||
           (b.endKnot == a.startKnot && q.t1 >= 1.0 && p.t0 <= 0.0);
}

// Where a lies within tol of b's piece at parameter u: the parameter on b.
bool nearB(const Cubic& a, const Cubic& b, const Piece& pb, double u, double tol, double& t) {
    return projectOnMonotone(b, pb.t0, pb.t1, pointAt(a, u), tol, t);
}

// The end of a stretch of a that lies within tol of b: between `in`, where
// it does, and `out`, where it does not.
double stretchEnd(const Cubic& a, const Cubic& b, const Piece& pb, double in, double out,
                  double tol) {
    double t = 0.0;
    for (int i = 0; i < kTouchingEndBisections; ++i) {
        const double mid = 0.5 * (in + out);
        (nearB(a, b, pb, mid, tol, t) ? in : out) = mid;
    }
    return in;
}

// A shared stretch is only taken where the curves stay close between the
// samples too, seen from either side.
bool staysClose(const Cubic& a, const Piece& pa, const Cubic& b, const Piece& pb, double tA0,
                double tA1, double tB0, double tB1, double reach) {
    double t = 0.0;
    for (int i = 0; i < kTouchingSamples; ++i) {
        const double f = (i + 0.5) / kTouchingSamples;
        if (!projectOnMonotone(b, pb.t0, pb.t1, pointAt(a, tA0 + (tA1 - tA0) * f), reach, t) ||
            !projectOnMonotone(a, pa.t0, pa.t1, pointAt(b, tB0 + (tB1 - tB0) * f), reach, t))
            return false;
    }
    return true;
}

// The stretches of a's piece that lie within tol of b's piece, sampled.
class CloseStretches {
public:
    struct Stretch {
        double lo;
        double hi;
    };

    CloseStretches(const Cubic& a, const Piece& pa, const Cubic& b, const Piece& pb, double tol)
        : a_(a), pa_(pa), b_(b), pb_(pb), tol_(tol) {
        double t = 0.0;
        for (int i = 0; i <= kTouchingSamples; ++i)
            close_[i] = nearB(a, b, pb, at(i), tol, t);
    }

    double at(int i) const { return pa_.t0 + (pa_.t1 - pa_.t0) * i / kTouchingSamples; }
    bool close(int i) const { return close_[i]; }

    // The stretch around u, where a is close to b, out to the samples on
    // either side where it is not, and bisected there.
    Stretch around(double u) const {
        const double f = (u - pa_.t0) / (pa_.t1 - pa_.t0) * kTouchingSamples;
        const int k = std::clamp(int(f), 0, kTouchingSamples - 1);
        int i = k;
        while (i >= 0 && close_[i])
            --i;
        int j = k + 1;
        while (j <= kTouchingSamples && close_[j])
            ++j;
        Stretch s;
        s.lo = i < 0 ? pa_.t0 : stretchEnd(a_, b_, pb_, i < k ? at(i + 1) : u, at(i), tol_);
        s.hi = j > kTouchingSamples
                   ? pa_.t1
                   : stretchEnd(a_, b_, pb_, j > k + 1 ? at(j - 1) : u, at(j), tol_);
        return s;
    }

private:
    const Cubic& a_;
    const Piece& pa_;
    const Cubic& b_;
    const Piece& pb_;
    double tol_;
    bool close_[kTouchingSamples + 1];
};

// Near-copies a few merge distances apart cross at angles so shallow that
// on either side of the crossing they stay within the merge distance of each
// other along a stretch, and the search finds touchings all along it. Where
// they are that close they are one: each stretch of a's piece around a
// touching the search found, or around a sample, that lies within tol of b's
// piece, with its ends bisected, is taken as shared. The rest of a's piece
// is searched as usual. The touchings are hits[firstHit] on; they are
// replaced. cb is b's piece itself. Returns the cap that search runs into,
// or Ok, and then has added nothing.
RegionStatus touchingStretches(const Cubic& a, const Piece& pa, const Cubic& b, const Piece& pb,
                               const Cubic& cb, double tol, size_t firstHit, std::vector<Hit>& hits,
                               std::vector<Overlap>& overlaps) {
    const CloseStretches near(a, pa, b, pb, tol);
    double seeds[kTouchingSamples + 1 + kMaxMeetingsPerPair];
    int seedCount = 0;
    for (size_t h = firstHit; h < hits.size() && seedCount < kMaxMeetingsPerPair; ++h)
        seeds[seedCount++] = hits[h].tA;
    for (int i = 0; i <= kTouchingSamples; ++i)
        if (near.close(i)) seeds[seedCount++] = near.at(i);
    std::sort(seeds, seeds + seedCount);
    hits.resize(firstHit);
    const size_t firstOverlap = overlaps.size();
    auto refuse = [&](RegionStatus status) {
        hits.resize(firstHit);
        overlaps.resize(firstOverlap);
        return status;
    };

    CloseStretches::Stretch found[kTouchingSamples + 1 + kMaxMeetingsPerPair];
    int count = 0;
    for (int k = 0; k < seedCount; ++k) {
        if (count > 0 && seeds[k] <= found[count - 1].hi) continue;
        const CloseStretches::Stretch s = near.around(seeds[k]);
        // A point where they touch is no stretch: the search places it.
        if (length(pointAt(a, s.hi) - pointAt(a, s.lo)) <= tol) continue;
        if (count > 0 && s.lo <= found[count - 1].hi)
            found[count - 1].hi = std::max(found[count - 1].hi, s.hi);
        else
            found[count++] = s;
    }
    if (count == 0) return refuse(RegionStatus::TooManyMeetings);

    for (int k = 0; k < count; ++k) {
        const double lo = found[k].lo;
        const double hi = found[k].hi;
        double tLo = 0.0;
        double tHi = 0.0;
        if (!nearB(a, b, pb, lo, tol, tLo) || !nearB(a, b, pb, hi, tol, tHi) ||
            !staysClose(a, pa, b, pb, lo, hi, tLo, tHi, kTouchingStretchReach * tol))
            return refuse(RegionStatus::TooManyMeetings);
        hits.push_back({pa.segment, pb.segment, lo, tLo});
        hits.push_back({pa.segment, pb.segment, hi, tHi});
        overlaps.push_back({pa.segment, pb.segment, lo, hi, tLo, tHi});
    }
    // Between the stretches, after their ends, so that meetings at the ends
    // are found once.
    for (int k = 0; k <= count; ++k) {
        const double from = k > 0 ? found[k - 1].hi : pa.t0;
        const double to = k < count ? found[k].lo : pa.t1;
        if (to <= from) continue;
        PairSearch search{a, b, tol, hits, pa.segment, pb.segment, firstHit};
        search.rangeA0 = from;
        search.rangeA1 = to;
        search.rangeB0 = pb.t0;
        search.rangeB1 = pb.t1;
        search.search(Part(subCubic(a, from, to), from, to), Part(cb, pb.t0, pb.t1), 0);
        if (search.limit != RegionStatus::Ok) return refuse(search.limit);
    }
    return RegionStatus::Ok;
}

// Returns the cap the search ran into, or Ok.
RegionStatus intersectPieces(const PieceList& pieces, const Piece& pa, const Piece& pb, double tol,
                             std::vector<Hit>& hits, std::vector<Overlap>& overlaps) {
    const Gathered& input = *pieces.input;
    const Cubic a = curveOf(input, input.segments[pa.segment]);
    const Cubic b = curveOf(input, input.segments[pb.segment]);
    // A whole segment's piece is the segment's curve.
    const Cubic ca = pa.firstPoint >= 0 ? pieces.curve(pa) : a;
    const Cubic cb = pb.firstPoint >= 0 ? pieces.curve(pb) : b;
    Incidence lo;
    Incidence hi;
    if (sharedStretch(a, pa, ca, b, pb, cb, tol, lo, hi)) {
        hits.push_back({pa.segment, pb.segment, lo.tA, lo.tB});
        hits.push_back({pa.segment, pb.segment, hi.tA, hi.tB});
        overlaps.push_back({pa.segment, pb.segment, lo.tA, hi.tA, lo.tB, hi.tB});
        return RegionStatus::Ok;
    }
    PairSearch search{a, b, tol, hits, pa.segment, pb.segment, hits.size()};
    search.rangeA0 = pa.t0;
    search.rangeA1 = pa.t1;
    search.rangeB0 = pb.t0;
    search.rangeB1 = pb.t1;
    search.search(Part(ca, pa.t0, pa.t1), Part(cb, pb.t0, pb.t1), 0);
    // Near-copies about one merge distance apart touch at more places than
    // two cubics can cross: within a little more than that distance they
    // run along each other, and are taken as sharing that stretch.
    if (search.limit != RegionStatus::Ok &&
        sharedStretch(a, pa, ca, b, pb, cb, kTouchingStretchReach * tol, lo, hi)) {
        hits.resize(search.firstHit);
        hits.push_back({pa.segment, pb.segment, lo.tA, lo.tB});
        hits.push_back({pa.segment, pb.segment, hi.tA, hi.tB});
        overlaps.push_back({pa.segment, pb.segment, lo.tA, hi.tA, lo.tB, hi.tB});
        return RegionStatus::Ok;
    }
    if (search.limit == RegionStatus::TooManyMeetings &&
        touchingStretches(a, pa, b, pb, cb, tol, search.firstHit, hits, overlaps) ==
            RegionStatus::Ok)
        return RegionStatus::Ok;
    return search.limit;
}

// The pieces the sweep has met and not yet left behind, in the order met,
// split by height into bands: a piece is in every band its box reaches
// (with the margin), so two boxes that overlap share a band, the one of the
// higher of their lower edges, and are paired there only.
class SweepBands {
public:
    // The boxes of the pieces, and the leftmost edge of any of them.
    SweepBands(const ScratchList<Box>& boxes, double left, double tol, Arena* mem)
        : tol_(tol), start_(mem), size_(mem), items_(mem) {
        if (!boxes.empty()) chooseBands(boxes, left);
        start_.assign(count_ + 1, 0);
        if (count_ == 1) {
            start_[1] = int(boxes.size());
        } else {
            for (const Box& b : boxes) {
                const int end = last(b);
                for (int k = first(b); k <= end; ++k)
                    ++start_[k + 1];
            }
            for (int k = 0; k < count_; ++k)
                start_[k + 1] += start_[k];
        }
        size_.assign(count_, 0);
        items_.resize(start_[count_]);
    }

    int band(double y) const {
        const double b = (y - origin_) * scale_;
        return b > 0.0 ? int(std::min(b, double(count_ - 1))) : 0;
    }
    int first(const Box& b) const { return band(b.y0 - tol_); }
    int last(const Box& b) const { return band(b.y1 + tol_); }

    // The pieces in band k; the sweep keeps the first size(k) of them up to
    // date and may add one.
    int* items(int k) { return items_.data() + start_[k]; }
    int& size(int k) { return size_[k]; }
    int count() const { return count_; }
    // The first band past the first half of all bands' entries.
    int middle() const {
        const int* past =
            std::upper_bound(start_.data(), start_.data() + count_, start_[count_] / 2);
        return int(std::clamp<std::ptrdiff_t>(past - start_.data() - 1, 1, count_ - 1));
    }

private:
    // left: the leftmost edge of any box.
    void chooseBands(const ScratchList<Box>& boxes, double left) {
        if (boxes.size() < 2) return;
        double lo = boxes[0].y0;
        double hi = boxes[0].y1;
        double right = boxes[0].x1;
        double heights = 0.0;
        double widths = 0.0;
        for (const Box& b : boxes) {
            lo = std::min(lo, b.y0);
            hi = std::max(hi, b.y1);
            right = std::max(right, b.x1);
            heights += b.y1 - b.y0 + 2.0 * tol_;
            widths += b.x1 - b.x0 + tol_;
        }
        // A line across the picture meets widths / span pieces, about as
        // many as the sweep holds at a time: few are cheaper in one band.
        if (!(widths >= kSweepActiveBeforeBands * (right - left))) return;
        // A piece of height h reaches about h / width + 1 bands: as many
        // bands as keep that within the entries allowed, fewer where that
        // guess ran short.
        const double pieces = double(boxes.size());
        const double fit = (kSweepEntriesPerPiece - 1) * pieces * (hi - lo) / heights;
        if (!(fit >= 2.0)) return;
        origin_ = lo;
        for (int count = int(std::min({fit, pieces / 2, double(kMaxSweepBands)})); count > 1;
             count /= 4) {
            count_ = count;
            scale_ = count / (hi - lo);
            if (!(scale_ < kLargestBandScale)) break;
            long long total = 0;
            for (const Box& b : boxes)
                total += last(b) - first(b) + 1;
            if (total <= (long long)kSweepEntriesPerPiece * (long long)(boxes.size() + 1)) return;
        }
        count_ = 1;
        scale_ = 0.0;
    }

    double tol_;
    double origin_ = 0.0;
    double scale_ = 0.0;  // bands per unit of height
    int count_ = 1;
    ScratchList<int> start_;
    ScratchList<int> size_;
    ScratchList<int> items_;
};

// The sweep over one list of every active piece, in the order met; meet
// (k, i) pairs piece i with piece k, met before it, and is false when a cap
// is reached, which ends the sweep.
template <class Meet>
void sweepOneList(const ScratchList<Box>& boxes, const ScratchList<std::pair<double, int>>& order,
                  double tol, SweepBands& bands, Meet&& meet) {
    int* active = bands.items(0);
    int size = 0;
    for (const auto& [x0, i] : order) {
        const Box& pb = boxes[i];
        int keep = 0;
        for (int m = 0; m < size; ++m) {
            const int k = active[m];
            if (boxes[k].x1 + tol < pb.x0) continue;  // left behind by the sweep
            active[keep++] = k;
            if (pb.overlaps(boxes[k], tol) && !meet(k, i)) return;
        }
        active[keep++] = i;
        size = keep;
    }
}

// Where each piece comes in the sweep.
ScratchList<int> ranksOf(const ScratchList<std::pair<double, int>>& order, Arena* mem) {
    ScratchList<int> rank(order.size(), 0, mem);
    for (int r = 0; r < int(order.size()); ++r)
        rank[order[r].second] = r;
    return rank;
}

// The same sweep over bands of height: each pair is met once, in the band of
// the higher of their lower edges, and a piece meets the others in the order
// one list of every active piece would give. Only the bands from b0 to
// b1 - 1 are swept, so that two threads can sweep disjoint bands at once.
template <class Meet>
void sweepInBands(const ScratchList<Box>& boxes, const ScratchList<std::pair<double, int>>& order,
                  const ScratchList<int>& rank, double tol, SweepBands& bands, int b0, int b1,
                  Arena* mem, Meet&& meet) {
    ScratchList<int> met(mem);  // the pieces whose boxes meet this one's
    for (const auto& [x0, i] : order) {
        const Box& pb = boxes[i];
        const int first = std::max(bands.first(pb), b0);
        const int last = std::min(bands.last(pb), b1 - 1);
        if (first > last) continue;
        met.clear();
        for (int b = first; b <= last; ++b) {
            int* band = bands.items(b);
            int& size = bands.size(b);
            int keep = 0;
            for (int m = 0; m < size; ++m) {
                const int k = band[m];
                const Box& qb = boxes[k];
                if (qb.x1 + tol < pb.x0) continue;  // left behind by the sweep
                band[keep++] = k;
                if (pb.overlaps(qb, tol) && bands.band(std::max(pb.y0, qb.y0)) == b)
                    met.push_back(k);
            }
            band[keep++] = i;
            size = keep;
        }
        std::sort(met.begin(), met.end(), [&](int a, int c) { return rank[a] < rank[c]; });
        for (const int k : met)
            if (!meet(k, i)) return;
    }
}

// A pair that met something, as a thread sweeping some bands found it: its
// place in the order one thread meets pairs in, and its meetings.
struct MetPair {
    long long place = 0;
    int hits = 0;  // its first hit and overlap in the thread's meetings
    int overlaps = 0;
};

// The meetings of two threads that swept disjoint bands, in the order one
// thread sweeping them all would have found them, into out; up to the
// first pair either stopped at, when one reached a cap.
void mergeMeetings(const Meetings (&part)[2], const std::vector<MetPair> (&met)[2], Meetings& out) {
    out.busy = part[0].busy;
    for (size_t s = 0; s < out.busy.size(); ++s)
        out.busy[s] |= part[1].busy[s];
    size_t next[2] = {0, 0};
    for (;;) {
        int t = -1;
        for (int u = 0; u < 2; ++u)
            if (next[u] < met[u].size() && (t < 0 || met[u][next[u]].place < met[t][next[t]].place))
                t = u;
        if (t < 0) return;
        const MetPair& p = met[t][next[t]++];
        const bool last = next[t] == met[t].size();
        const size_t hitsEnd = last ? part[t].hits.size() : size_t(met[t][next[t]].hits);
        const size_t overlapsEnd =
            last ? part[t].overlaps.size() : size_t(met[t][next[t]].overlaps);
        out.hits.insert(out.hits.end(), part[t].hits.begin() + p.hits,
                        part[t].hits.begin() + hitsEnd);
        out.overlaps.insert(out.overlaps.end(), part[t].overlaps.begin() + p.overlaps,
                            part[t].overlaps.begin() + overlapsEnd);
        if (last && part[t].limit != RegionStatus::Ok) {
            out.limit = part[t].limit;
            out.limitSegments[0] = part[t].limitSegments[0];
            out.limitSegments[1] = part[t].limitSegments[1];
            return;
        }
    }
}

// Pairs piece i with piece k, met before it, into m: false when a cap is
// reached.
struct PairMeeting {
    const std::vector<SourceSegment>& segments;
    const PieceList& pieces;
    const ScratchList<Box>& boxes;
    const ScratchList<char>& rising;
    double tol;

    bool operator()(Meetings& m, int k, int i) const {
        const Piece& p = pieces[i];
        const Piece& q = pieces[k];
        if (onlyShareAnEnd(boxes[i], rising[i], boxes[k], rising[k])) {
            // Unless they follow each other along an outline, their shared
            // end is where two outlines cross or touch: it needs a vertex.
            if (!consecutive(segments, p, q)) m.busy[p.segment] = m.busy[q.segment] = 1;
            return true;
        }
        const size_t before = m.hits.size();
        const size_t overlapsBefore = m.overlaps.size();
        m.limit = intersectPieces(pieces, q, p, tol, m.hits, m.overlaps);
        if (m.limit != RegionStatus::Ok) {
            m.limitSegments[0] = q.segment;
            m.limitSegments[1] = p.segment;
            return false;
        }
        if (m.hits.size() != before || m.overlaps.size() != overlapsBefore)
            m.busy[p.segment] = m.busy[q.segment] = 1;
        return true;
    }
};

// The lower bands swept on a spare core and the upper ones here, each into
// meetings of its own, noting the place of every pair that met something;
// then put into out in the order one sweep would give. False, with nothing
// swept, when no core is spare.
bool sweepBandsOnTwoCores(const PairMeeting& meeting,
                          const ScratchList<std::pair<double, int>>& order,
                          const ScratchList<int>& rank, SweepBands& bands, Arena* mem,
                          Meetings& out) {
    Meetings part[2];
    // From the heap, not this stage's memory, which only one thread may
    // draw on.
    std::vector<MetPair> met[2];
    const long long count = (long long)order.size();
    auto sweepPart = [&](int t, int b0, int b1, Arena* arena) {
        part[t].busy.assign(meeting.segments.size(), 0);
        sweepInBands(meeting.boxes, order, rank, meeting.tol, bands, b0, b1, arena,
                     [&](int k, int i) {
                         const int hits = int(part[t].hits.size());
                         const int overlaps = int(part[t].overlaps.size());
                         const bool more = meeting(part[t], k, i);
                         if (!more || int(part[t].hits.size()) != hits ||
                             int(part[t].overlaps.size()) != overlaps)
                             met[t].push_back({rank[i] * count + rank[k], hits, overlaps});
                         return more;
                     });
    };
    const int middle = bands.middle();
    const bool beside = besideEachOther(
        [&] {
            const StageMemory own;
            sweepPart(0, 0, middle, own.arena());
        },
        [&] { sweepPart(1, middle, bands.count(), mem); });
    if (beside) mergeMeetings(part, met, out);
    return beside;
}

}  // namespace

// Pieces of one segment are paired like any others, which finds where a
// segment crosses itself: if B(s) = B(t) with s < t, x(t) - x(s) = 0 and by
// Rolle x' vanishes between them, so an x-extremum cut separates s and t and
// they lie on different pieces.
void findHits(const Gathered& input, const PieceList& pieces, double tol, Meetings& out) {
    const std::vector<SourceSegment>& segments = input.segments;
    out.hits.clear();
    out.overlaps.clear();
    out.limit = RegionStatus::Ok;
    out.limitSegments[0] = out.limitSegments[1] = -1;
    out.busy.assign(segments.size(), 0);
    StageMemory stage;
    Arena* mem = stage.arena();
    // The sweep reads every box many times: worked out once, for this stage,
    // with which way each piece runs through its box, so that its ends need
    // not be looked up again.
    ScratchList<Box> boxes(pieces.size(), Box(), mem);
    ScratchList<char> rising(pieces.size(), 0, mem);
    ScratchList<std::pair<double, int>> order(pieces.size(), {0.0, 0}, mem);
    ScratchList<std::pair<double, int>> scratch(mem);
    // Many pieces in two halves side by side, each into its own places.
    auto boxUp = [&](int lo, int hi) {
        double left = HUGE_VAL;
        for (int i = lo; i < hi; ++i) {
            const Vec2 start = pieces.start(pieces[i]);
            const Vec2 end = pieces.end(pieces[i]);
            boxes[i] = boxOf(start, end);
            rising[i] = rises(start, end);
            order[i] = {boxes[i].x0, i};
            left = std::min(left, boxes[i].x0);
        }
        return left;
    };
    const int n = int(order.size());
    double lowerLeft = HUGE_VAL;
    double upperLeft = HUGE_VAL;
    if (n < kPiecesForASpareCore || !besideEachOther([&] { lowerLeft = boxUp(0, n / 2); },
                                                     [&] { upperLeft = boxUp(n / 2, n); }))
        lowerLeft = boxUp(0, n);
    const double left = std::min(lowerLeft, upperLeft);
    // The bands need only the leftmost box: where the order falls into
    // stretches too short to merge, a spare core sorts it meanwhile.
    const auto less = std::less<std::pair<double, int>>();
    std::optional<SweepBands> laidOut;
    // Merging left the order of its own; taken afresh in piece order, a
    // stable sort by x alone gives what sorting by (x, piece) gives.
    auto sortRest = [&] {
        if (order.size() < kFewestForRadixSort) {
            std::sort(order.begin(), order.end(), less);
            return;
        }
        for (int i = 0; i < int(order.size()); ++i)
            order[i] = {boxes[i].x0, i};
        radixSort(order, scratch,
                  [](const std::pair<double, int>& e) { return orderedBits(e.first); });
    };
    auto layOut = [&] { laidOut.emplace(boxes, left, tol, mem); };
    if (sortedByMergingRuns(order, scratch, less)) {
        layOut();
    } else {
        // Sized here, where the radix sort will want it: a spare core must
        // not take memory from mem.
        if (order.size() >= kFewestForRadixSort) scratch.resize(order.size());
        if (order.size() < size_t(kPiecesForASpareCore) || !besideEachOther(sortRest, layOut)) {
            sortRest();
            layOut();
        }
    }
    letGo(scratch);
    SweepBands& bands = *laidOut;
    const PairMeeting meeting{segments, pieces, boxes, rising, tol};
    auto meet = [&](int k, int i) { return meeting(out, k, i); };
    if (bands.count() == 1) {
        sweepOneList(boxes, order, tol, bands, meet);
        return;
    }
    const ScratchList<int> rank = ranksOf(order, mem);
    if (pieces.size() >= size_t(kPiecesForASpareCore) &&
        sweepBandsOnTwoCores(meeting, order, rank, bands, mem, out))
        return;
    sweepInBands(boxes, order, rank, tol, bands, 0, bands.count(), mem, meet);
}

}  // namespace carvex::region
