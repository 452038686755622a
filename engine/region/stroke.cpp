#include "region/stroke.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "region/cubic.h"
#include "region/gather.h"

namespace carvex {

namespace {

using region::Cubic;

constexpr double kPi = 3.14159265358979323846;

Vec2 unit(Vec2 v) {
    const double l = length(v);
    return l > 0.0 ? v * (1.0 / l) : Vec2{};
}

// The normal on the left of a heading (counterclockwise, y up).
Vec2 leftOf(Vec2 heading) {
    return {-heading.y, heading.x};
}

// The heading whose left normal is n.
Vec2 headingOf(Vec2 normal) {
    return {normal.y, -normal.x};
}

Vec2 rotated(Vec2 v, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    return {c * v.x - s * v.y, s * v.x + c * v.y};
}

// The signed angle that turns heading a into heading b.
double turnBetween(Vec2 a, Vec2 b) {
    return std::atan2(cross(a, b), dot(a, b));
}

bool isPoint(const Cubic& c) {
    return c.p[1] == c.p[0] && c.p[2] == c.p[0] && c.p[3] == c.p[0];
}

double polygonLength(const Cubic& c) {
    return length(c.p[1] - c.p[0]) + length(c.p[2] - c.p[1]) + length(c.p[3] - c.p[2]);
}

// The heading a curve leaves its start in: towards its first control point
// off the start, so that a handle on its knot defers to the next.
// A handle within a rounding of its knot (path data such as "l 8 6" lands
// the end a few ulps off the handle) is taken as on it: its direction is
// noise.
bool apart(Vec2 a, Vec2 b, double size) {
    return length(a - b) > region::kShortestHeading * size;
}

Vec2 startHeading(const Cubic& c) {
    const double size = polygonLength(c);
    for (int k = 1; k < 4; ++k)
        if (apart(c.p[k], c.p[0], size)) return unit(c.p[k] - c.p[0]);
    return unit(c.p[3] - c.p[0]);
}

Vec2 endHeading(const Cubic& c) {
    const double size = polygonLength(c);
    for (int k = 2; k >= 0; --k)
        if (apart(c.p[3], c.p[k], size)) return unit(c.p[3] - c.p[k]);
    return unit(c.p[3] - c.p[0]);
}

// The heading at t, approached from before it (fromAfter false) or after
// it. Where the derivative vanishes (a cusp, or a handle on its knot) the
// curve leaves along the next derivative, one way after and the other way
// before.
Vec2 headingAt(const Cubic& c, double t, bool fromAfter) {
    if (t <= 0.0) return startHeading(c);
    if (t >= 1.0) return endHeading(c);
    const double size = polygonLength(c);
    const Vec2 d = region::derivativeAt(c, t);
    if (length(d) > 1e-9 * size) return unit(d);
    const Vec2 d2 = region::secondDerivativeAt(c, t);
    if (length(d2) > 1e-9 * size) return unit(d2) * (fromAfter ? 1.0 : -1.0);
    // Only a curve all of whose handles lie on a line gets here.
    return unit(c.p[3] - c.p[0]);
}

// Signed curvature (positive turning left) at t; 0 where it has no heading.
double curvatureAt(const Cubic& c, double t) {
    const Vec2 d1 = region::derivativeAt(c, t);
    const double speed = length(d1);
    if (!(speed > 1e-12 * polygonLength(c))) return 0.0;
    return cross(d1, region::secondDerivativeAt(c, t)) / (speed * speed * speed);
}

// Whether the curve turns by more than maxTurn along its control polygon,
// which bounds the curve's own turning.
bool turnsMoreThan(const Cubic& c, double maxTurn) {
    double total = 0.0;
    Vec2 last{};
    for (int k = 1; k < 4; ++k) {
        const Vec2 leg = c.p[k] - c.p[k - 1];
        if (leg == Vec2{}) continue;
        if (last != Vec2{}) total += std::fabs(turnBetween(last, leg));
        last = leg;
    }
    return total > maxTurn;
}

// Everything one stroke adds up: its pieces, which of them may cross
// themselves, and whether it went past its cap.
struct Outline {
    double halfWidth = 0.5;
    double tolerance = 0.0;
    const StrokeStyle* style = nullptr;
    std::vector<Path> pieces;
    std::vector<char> crossing;
    bool overflow = false;

    void add(Path piece, bool mayCross = false) {
        if (pieces.size() >= size_t(kMaxStrokePieces)) {
            overflow = true;
            return;
        }
        pieces.push_back(std::move(piece));
        crossing.push_back(mayCross);
    }
};

PathKnot corner(Vec2 p) {
    return {p, p, p, -1};
}

// A closed polygon of straight segments.
Path polygon(std::initializer_list<Vec2> points) {
    Path path;
    for (Vec2 p : points)
        path.knots.push_back(corner(p));
    return path;
}

// The circles of joins and caps are all one circle about their centre,
// drawn by the same eight cubics from angle 0 counterclockwise: two caps on
// one knot, or a join and a cap, then share their arcs exactly instead of
// running a rounding's width apart. The arcs' handles are a little shorter
// than the usual 4/3 tan(angle / 4), so that each stays inside its circle
// (by at most 3e-5 of the radius, well within the fit) and touches it only
// at its ends: a cap that ends on another stroke's middle line then stays
// clear of that stroke's edge, tangent to its circle, instead of grazing
// it twice. The offsets end exactly on the circle; an arc that ends inside
// it is joined to them by a straight step of a few millionths.
constexpr int kRimArcs = 8;
constexpr double kRimHandle = 0.26511498142978146;  // 0.99962 of 4/3 tan(pi/16)

region::Cubic rimArc(Vec2 centre, double r, int k) {
    const double a0 = k * (2.0 * kPi / kRimArcs);
    const double a1 = (k + 1) * (2.0 * kPi / kRimArcs);
    const double handle = kRimHandle * r;
    const Vec2 u0{std::cos(a0), std::sin(a0)};
    const Vec2 u1{std::cos(a1), std::sin(a1)};
    return {{centre + u0 * r, centre + u0 * r + leftOf(u0) * handle,
             centre + u1 * r - leftOf(u1) * handle, centre + u1 * r}};
}

// Where the direction u meets the rim: arc index plus the parameter on it,
// in [0, kRimArcs).
double rimPlace(Vec2 centre, double r, Vec2 u) {
    double angle = std::atan2(u.y, u.x);
    if (angle < 0.0) angle += 2.0 * kPi;
    const int k = std::min(kRimArcs - 1, int(angle / (2.0 * kPi / kRimArcs)));
    const region::Cubic arc = rimArc(centre, r, k);
    const Vec2 start = unit(arc.p[0] - centre);
    const double target = turnBetween(start, u);
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        (turnBetween(start, region::pointAt(arc, mid) - centre) < target ? lo : hi) = mid;
    }
    return k + 0.5 * (lo + hi);
}

Vec2 rimPointAt(Vec2 centre, double r, double place) {
    const int k = std::min(kRimArcs - 1, int(place));
    return region::pointAt(rimArc(centre, r, k), place - k);
}

// The offset's end at distance d on the left of p, where the normal is n.
Vec2 offsetEnd(Vec2 p, Vec2 n, double d) {
    return p + n * d;
}

// The rim's pieces between two places, counterclockwise (to > from).
std::vector<region::Cubic> rimPieces(Vec2 centre, double r, double from, double to) {
    std::vector<region::Cubic> out;
    for (int whole = int(std::floor(from)); whole < to; ++whole) {
        const double a = std::max(from, double(whole)) - whole;
        const double b = std::min(to, double(whole + 1)) - whole;
        if (b <= a) continue;
        out.push_back(region::subCubic(rimArc(centre, r, whole % kRimArcs), a, b));
    }
    return out;
}

// Appends to path the rim's arc from direction from, turning by sweep
// (counterclockwise where positive); a whole turn where |sweep| is one.
void appendArc(Path& path, Vec2 centre, double r, Vec2 from, double sweep) {
    const double start = rimPlace(centre, r, from);
    const bool whole = std::fabs(sweep) >= 2.0 * kPi - 1e-12;
    double end = whole ? start : rimPlace(centre, r, rotated(from, sweep));
    std::vector<region::Cubic> pieces;
    if (sweep > 0.0) {
        if (end <= start) end += kRimArcs;
        pieces = rimPieces(centre, r, start, end);
    } else {
        double low = end;
        if (low >= start) low -= kRimArcs;
        if (low < 0.0)
            pieces = rimPieces(centre, r, low + kRimArcs, start + kRimArcs);
        else
            pieces = rimPieces(centre, r, low, start);
        std::reverse(pieces.begin(), pieces.end());
        for (region::Cubic& c : pieces)
            c = region::reversed(c);
    }
    const Vec2 first = rimPointAt(centre, r, start);
    if (path.knots.empty() || path.knots.back().point != first) path.knots.push_back(corner(first));
    for (const region::Cubic& c : pieces) {
        path.knots.back().out = c.p[1];
        path.knots.push_back({c.p[3], c.p[2], c.p[3], -1});
    }
}

// The sector of the rim about p from direction from, turning by sweep: from
// p to the circle, along the arc, back to p. It meets the circle where the
// offsets end, exactly on it; the arc, a little inside, joins them there.
Path rimSector(Vec2 p, double r, Vec2 from, double sweep) {
    Path sector;
    sector.knots.push_back(corner(p));
    sector.knots.push_back(corner(p + from * r));
    appendArc(sector, p, r, from, sweep);
    const Vec2 end = p + rotated(from, sweep) * r;
    if (sector.knots.back().point != end) sector.knots.push_back(corner(end));
    return sector;
}

// The join at a knot where heading in turns into heading out: the wedge on
// the outer side between the two offsets' ends.
void addJoin(Outline& o, Vec2 p, Vec2 in, Vec2 out, LineJoin join) {
    const double turn = turnBetween(in, out);
    const double r = o.halfWidth;
    const double side = turn > 0.0 ? -1.0 : 1.0;  // the outer side's normal
    const Vec2 outerIn = leftOf(in) * side;
    const Vec2 outerOut = leftOf(out) * side;
    const Vec2 a = p + outerIn * r;
    const Vec2 b = p + outerOut * r;
    if (join == LineJoin::Round) {
        o.add(rimSector(p, r, outerIn, turn));
        return;
    }
    const double miterRatio = 1.0 / std::cos(std::fabs(turn) / 2.0);
    if (join == LineJoin::Miter && miterRatio <= o.style->miterLimit) {
        const Vec2 tip = p + (outerIn + outerOut) * (r / (1.0 + std::cos(turn)));
        o.add(polygon({p, a, tip, b}));
        return;
    }
    o.add(polygon({p, a, b}));
}

// The cap at an open end, whose outward heading is out.
void addCap(Outline& o, Vec2 p, Vec2 out) {
    const double r = o.halfWidth;
    const Vec2 n = leftOf(out);
    if (o.style->cap == LineCap::Square) {
        const Vec2 left = p + n * r;
        const Vec2 right = p - n * r;
        o.add(polygon({left, left + out * r, right + out * r, right, p}));
    } else if (o.style->cap == LineCap::Round) {
        o.add(rimSector(p, r, n, -kPi));
    }
}

// What a path of no length paints: a dot as wide as the stroke, square caps
// turned to heading.
void addDot(Outline& o, Vec2 p, Vec2 heading) {
    const double r = o.halfWidth;
    if (o.style->cap == LineCap::Round) {
        Path disc;
        appendArc(disc, p, r, {1.0, 0.0}, 2.0 * kPi);
        // The arc ends where it began: its last knot is its first.
        const Vec2 closingHandle = disc.knots.back().in;
        disc.knots.pop_back();
        disc.knots.front().in = closingHandle;
        o.add(std::move(disc));
        return;
    }
    if (o.style->cap != LineCap::Square) return;
    const Vec2 h = heading * r;
    const Vec2 n = leftOf(heading) * r;
    o.add(polygon({p - h - n, p + h - n, p + h + n, p - h + n}));
}

// One side's offset of the stretch [t0, t1] of a curve, as a cubic.
struct OffsetFit {
    Cubic curve;
    double error = 0.0;  // the largest distance from the true offset sampled
    bool folds = false;  // somewhere it runs back against the curve
};

// The point at distance d on the left of the curve at t (d < 0: the right).
Vec2 offsetPoint(const Cubic& c, double t, double d) {
    return region::pointAt(c, t) + leftOf(headingAt(c, t, true)) * d;
}

// The offset at distance d between the normals n0 and n1 given at the ends:
// its ends on them, its handles along the curve's headings there (reversed
// where the offset folds back), their lengths fitted to points of the true
// offset by least squares.
OffsetFit fitOffset(const Cubic& c, double t0, double t1, Vec2 n0, Vec2 n1, double d) {
    const Vec2 o0 = offsetEnd(region::pointAt(c, t0), n0, d);
    const Vec2 o1 = offsetEnd(region::pointAt(c, t1), n1, d);
    auto folds = [&](double t) { return 1.0 - d * curvatureAt(c, t) < 0.0; };
    const double w = t1 - t0;
    const Vec2 u0 = headingOf(n0) * (folds(t0 + 0.01 * w) ? -1.0 : 1.0);
    const Vec2 u1 = headingOf(n1) * (folds(t1 - 0.01 * w) ? -1.0 : 1.0);
    // Q(s) = o0 (b0 + b1) + o1 (b2 + b3) + alpha b1 u0 - beta b2 u1.
    double m11 = 0, m12 = 0, m22 = 0, r1 = 0, r2 = 0;
    for (int k = 1; k <= 5; ++k) {
        const double s = k / 6.0;
        const double z = 1.0 - s;
        const double b1 = 3 * z * z * s, b2 = 3 * z * s * s;
        const Vec2 rest =
            offsetPoint(c, t0 + s * w, d) - o0 * (z * z * z + b1) - o1 * (b2 + s * s * s);
        m11 += b1 * b1;
        m12 -= b1 * b2 * dot(u0, u1);
        m22 += b2 * b2;
        r1 += b1 * dot(u0, rest);
        r2 -= b2 * dot(u1, rest);
    }
    const double det = m11 * m22 - m12 * m12;
    const double chord = length(o1 - o0) / 3.0;
    double alpha = chord, beta = chord;
    if (std::fabs(det) > 1e-12 * m11 * m22) {
        alpha = (r1 * m22 - r2 * m12) / det;
        beta = (m11 * r2 - m12 * r1) / det;
    }
    if (!(alpha >= 0.0) || !(beta >= 0.0)) alpha = beta = chord;
    OffsetFit fit;
    fit.curve = {{o0, o0 + u0 * alpha, o1 - u1 * beta, o1}};
    for (int k = 1; k < 8; ++k) {
        const double s = k / 8.0;
        fit.error = std::max(fit.error,
                             length(region::pointAt(fit.curve, s) - offsetPoint(c, t0 + s * w, d)));
        fit.folds = fit.folds || folds(t0 + s * w);
    }
    fit.folds = fit.folds || folds(t0) || folds(t1);
    return fit;
}

// The stretch between the offsets on both sides: left offset forward, across
// the end, right offset back, across the start. The curve's own points at
// the ends are knots of it, as they are of the joins and caps there, so
// that pieces meeting across an end share their edges whole.
Path band(const Cubic& left, Vec2 end, const Cubic& right, Vec2 start) {
    Path path;
    path.knots.push_back({left.p[0], left.p[0], left.p[1], -1});
    path.knots.push_back({left.p[3], left.p[2], left.p[3], -1});
    path.knots.push_back(corner(end));
    path.knots.push_back({right.p[3], right.p[3], right.p[2], -1});
    path.knots.push_back({right.p[0], right.p[1], right.p[0], -1});
    path.knots.push_back(corner(start));
    return path;
}

// The bands of the stretch [t0, t1], halved until each turns little and
// both offsets fit.
void addBands(Outline& o, const Cubic& c, double t0, double t1, Vec2 n0, Vec2 n1, int depth) {
    if (o.overflow) return;
    bool halve = depth < region::kStrokeSplitDepth &&
                 turnsMoreThan(region::subCubic(c, t0, t1), region::kStrokePieceTurn);
    OffsetFit left, right;
    if (!halve) {
        left = fitOffset(c, t0, t1, n0, n1, o.halfWidth);
        right = fitOffset(c, t0, t1, n0, n1, -o.halfWidth);
        halve =
            depth < region::kStrokeSplitDepth && std::max(left.error, right.error) > o.tolerance;
    }
    if (!halve) {
        // A band whose offset folds back crosses itself; so may one whose
        // fit ran out of halvings.
        o.add(band(left.curve, region::pointAt(c, t1), right.curve, region::pointAt(c, t0)),
              left.folds || right.folds || depth >= region::kStrokeSplitDepth);
        return;
    }
    const double mid = 0.5 * (t0 + t1);
    const Vec2 nm = leftOf(headingAt(c, mid, true));
    addBands(o, c, t0, mid, n0, nm, depth + 1);
    addBands(o, c, mid, t1, nm, n1, depth + 1);
}

// Where the curve has a cusp or one of its offsets folds back (the radius
// of curvature passes half the width): the bands are split there, so that
// each folds all along or nowhere.
std::vector<double> foldParameters(const Cubic& c, double halfWidth) {
    std::vector<double> out;
    auto g = [&](double t) { return halfWidth * std::fabs(curvatureAt(c, t)) - 1.0; };
    const int n = region::kStrokeFoldSamples;
    double last = g(0.0);
    for (int i = 1; i <= n; ++i) {
        const double t = double(i) / n;
        const double now = g(t);
        if ((last < 0.0) != (now < 0.0)) {
            double lo = double(i - 1) / n, hi = t;
            const bool loNegative = last < 0.0;
            for (int k = 0; k < region::kStrokeFoldBisections; ++k) {
                const double mid = 0.5 * (lo + hi);
                ((g(mid) < 0.0) == loNegative ? lo : hi) = mid;
            }
            const double at = 0.5 * (lo + hi);
            if (at > 0.0 && at < 1.0) out.push_back(at);
        }
        last = now;
    }
    return out;
}

// The band of a straight stretch from a to b, between the normals given.
void addStraight(Outline& o, Vec2 a, Vec2 b, Vec2 n0, Vec2 n1) {
    const double r = o.halfWidth;
    o.add(polygon({offsetEnd(a, n0, r), offsetEnd(b, n1, r), b, offsetEnd(b, n1, -r),
                   offsetEnd(a, n0, -r), a}));
}

// A curve whose control points all lie on one line runs along it, perhaps
// out and back: straight bands between the places where it turns back, and
// there the pen pivots as at a cusp. False for any other curve.
bool addRunsAlongLine(Outline& o, const Cubic& c, Vec2 n0, Vec2 n1) {
    int far = 1;
    for (int k = 2; k < 4; ++k)
        if (length(c.p[k] - c.p[0]) > length(c.p[far] - c.p[0])) far = k;
    const Vec2 along = unit(c.p[far] - c.p[0]);
    const double size = polygonLength(c);
    for (int k = 1; k < 4; ++k)
        if (std::fabs(cross(c.p[k] - c.p[0], along)) > 1e-12 * size) return false;
    // Where the position along the line turns: roots of its derivative.
    const double q0 = 3 * dot(c.p[1] - c.p[0], along), q1 = 3 * dot(c.p[2] - c.p[1], along),
                 q2 = 3 * dot(c.p[3] - c.p[2], along);
    const double qa = q0 - 2 * q1 + q2, qb = 2 * (q1 - q0), qc = q0;
    std::vector<double> turns;
    if (std::fabs(qa) > 1e-12 * (std::fabs(qb) + std::fabs(qc))) {
        const double disc = qb * qb - 4 * qa * qc;
        if (disc > 0) {
            const double root = std::sqrt(disc);
            for (double t : {(-qb - root) / (2 * qa), (-qb + root) / (2 * qa)})
                if (t > 1e-9 && t < 1 - 1e-9) turns.push_back(t);
        }
    } else if (std::fabs(qb) > 0.0) {
        const double t = -qc / qb;
        if (t > 1e-9 && t < 1 - 1e-9) turns.push_back(t);
    }
    std::sort(turns.begin(), turns.end());
    turns.insert(turns.begin(), 0.0);
    turns.push_back(1.0);
    for (size_t i = 0; i + 1 < turns.size(); ++i)
        if (region::pointAt(c, turns[i]) == region::pointAt(c, turns[i + 1]))
            return false;  // a run too short to have a heading
    for (size_t i = 0; i + 1 < turns.size(); ++i) {
        const Vec2 a = region::pointAt(c, turns[i]), b = region::pointAt(c, turns[i + 1]);
        const Vec2 heading = unit(b - a);
        const bool last = i + 2 == turns.size();
        addStraight(o, a, b, i == 0 ? n0 : leftOf(heading), last ? n1 : leftOf(heading));
        if (!last) addJoin(o, b, heading, heading * -1.0, LineJoin::Round);
    }
    return true;
}

// One segment's bands, between the normals n0 and n1 at its ends; a cusp
// inside it gets a round join, as a pen turning on the spot paints.
void addSegment(Outline& o, const Cubic& c, Vec2 n0, Vec2 n1) {
    if (region::tracesChord(c)) {
        addStraight(o, c.p[0], c.p[3], n0, n1);
        return;
    }
    if (addRunsAlongLine(o, c, n0, n1)) return;
    std::vector<double> stops = foldParameters(c, o.halfWidth);
    stops.push_back(1.0);
    double from = 0.0;
    Vec2 normal = n0;
    for (double to : stops) {
        const Vec2 before = headingAt(c, to, false);
        const Vec2 end = to == 1.0 ? n1 : leftOf(before);
        addBands(o, c, from, to, normal, end, 0);
        if (to == 1.0) break;
        const Vec2 after = headingAt(c, to, true);
        if (std::fabs(turnBetween(before, after)) * o.halfWidth > o.tolerance)
            addJoin(o, region::pointAt(c, to), before, after, LineJoin::Round);
        normal = leftOf(after);
        from = to;
    }
}

// A path's segments that have a length, in order.
std::vector<Cubic> segmentsOf(const Path& path) {
    std::vector<Cubic> out;
    const size_t n = path.knots.size();
    const size_t count = path.closed ? n : (n == 0 ? 0 : n - 1);
    for (size_t i = 0; i < count; ++i) {
        const PathKnot& a = path.knots[i];
        const PathKnot& b = path.knots[(i + 1) % n];
        const Cubic c{{a.point, a.out, b.in, b.point}};
        if (!isPoint(c)) out.push_back(c);
    }
    return out;
}

// The stroke of one path: bands of every segment, joins between them (and
// where a closed path closes), caps at an open path's ends. Turns too small
// to show get no join: both bands end on one normal there, so that they meet
// edge to edge.
void addPath(Outline& o, const Path& path) {
    const std::vector<Cubic> segments = segmentsOf(path);
    if (segments.empty()) {
        if (path.closed || path.knots.size() >= 2) addDot(o, path.knots.front().point, {1.0, 0.0});
        return;
    }
    const size_t n = segments.size();
    // normals[i]: where segment i - 1 meets segment i (i = n: the last end).
    std::vector<Vec2> startNormals(n), endNormals(n);
    for (size_t i = 0; i < n; ++i) {
        startNormals[i] = leftOf(startHeading(segments[i]));
        endNormals[i] = leftOf(endHeading(segments[i]));
    }
    std::vector<char> joined(n, 0);  // a join where segment i starts
    for (size_t i = 0; i < n; ++i) {
        if (i == 0 && !path.closed) continue;
        const size_t before = (i + n - 1) % n;
        const Vec2 in = endHeading(segments[before]);
        const Vec2 out = startHeading(segments[i]);
        if (std::fabs(turnBetween(in, out)) * o.halfWidth > o.tolerance) {
            joined[i] = 1;
        } else {
            const Vec2 shared = leftOf(unit(in + out));
            endNormals[before] = startNormals[i] = shared;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        addSegment(o, segments[i], startNormals[i], endNormals[i]);
        if (joined[i]) {
            const size_t before = (i + n - 1) % n;
            addJoin(o, segments[i].p[0], endHeading(segments[before]), startHeading(segments[i]),
                    o.style->join);
        }
    }
    if (!path.closed) {
        addCap(o, segments.front().p[0], startHeading(segments.front()) * -1.0);
        addCap(o, segments.back().p[3], endHeading(segments.back()));
    }
}

// Arc length of a stretch of a curve: Gauss-Legendre on five points over
// each of a few pieces, far finer than any dash asks for.
double arcLength(const Cubic& c, double t0, double t1) {
    static const double nodes[5] = {-0.9061798459386640, -0.5384693101056831, 0.0,
                                    0.5384693101056831, 0.9061798459386640};
    static const double weights[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889,
                                      0.4786286704993665, 0.2369268850561891};
    const int pieces = 8;
    double total = 0.0;
    for (int p = 0; p < pieces; ++p) {
        const double a = t0 + (t1 - t0) * p / pieces;
        const double b = t0 + (t1 - t0) * (p + 1) / pieces;
        for (int k = 0; k < 5; ++k)
            total += weights[k] * 0.5 * (b - a) *
                     length(region::derivativeAt(c, 0.5 * (a + b) + 0.5 * (b - a) * nodes[k]));
    }
    return total;
}

// The parameter at which the curve has run length from t0, by bisection.
double parameterAtLength(const Cubic& c, double t0, double length) {
    double lo = t0, hi = 1.0;
    for (int k = 0; k < 40; ++k) {
        const double mid = 0.5 * (lo + hi);
        (arcLength(c, t0, mid) < length ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// Walks a dash pattern along the segments of a path, handing each dash on
// as an open path.
struct Dasher {
    const std::vector<double>& pattern;  // an even count, not all zero
    size_t index = 0;
    double left = 0.0;  // of the current entry
    Path dash;
    std::vector<Path>* dashes;

    bool drawing() const { return index % 2 == 0; }

    void extend(const Cubic& piece) {
        if (dash.knots.empty()) dash.knots.push_back(corner(piece.p[0]));
        dash.knots.back().out = piece.p[1];
        dash.knots.push_back({piece.p[3], piece.p[2], piece.p[3], -1});
    }

    void endEntry() {
        if (drawing() && !dash.knots.empty()) {
            dash.closed = false;
            dashes->push_back(std::move(dash));
        }
        dash = Path();
        index = (index + 1) % pattern.size();
        left = pattern[index];
    }

    void walk(const Cubic& c) {
        double t = 0.0;
        double rest = arcLength(c, 0.0, 1.0);
        while (rest > left) {
            const double next = left > 0.0 ? parameterAtLength(c, t, left) : t;
            if (drawing() && next > t) extend(region::subCubic(c, t, next));
            // A dash of no length is a dot, where caps paint one.
            if (drawing() && dash.knots.empty())
                dash.knots = {corner(region::pointAt(c, t)), corner(region::pointAt(c, t))};
            rest -= left;
            t = std::max(t, next);
            endEntry();
        }
        left -= rest;
        if (drawing() && t < 1.0) extend(region::subCubic(c, t, 1.0));
    }
};

// Total length of a path's segments.
double pathLength(const Path& path) {
    double total = 0.0;
    for (const Cubic& c : segmentsOf(path))
        total += arcLength(c, 0.0, 1.0);
    return total;
}

// The dashes of every path, or false when there would be too many.
bool dashPaths(const Paths& paths, const StrokeStyle& style, std::vector<Path>* dashes) {
    std::vector<double> pattern = style.dashes;
    if (pattern.size() % 2 == 1)
        pattern.insert(pattern.end(), style.dashes.begin(), style.dashes.end());
    double period = 0.0;
    for (double v : pattern)
        period += v;
    double total = 0.0;
    for (const Path& path : paths)
        total += pathLength(path);
    // Written so that a length past the doubles (inf, then NaN) refuses too.
    if (!(total / period * double(pattern.size() / 2) <= double(kMaxDashes))) return false;
    for (const Path& path : paths) {
        Dasher dasher{pattern, 0, pattern[0], Path(), dashes};
        double offset = std::fmod(style.dashOffset, period);
        if (offset < 0.0) offset += period;
        while (offset > 0.0 && offset >= dasher.left) {
            offset -= dasher.left;
            dasher.endEntry();
        }
        dasher.left -= offset;
        for (const Cubic& c : segmentsOf(path))
            dasher.walk(c);
        dasher.endEntry();
        if (dashes->size() > size_t(kMaxDashes)) return false;
    }
    return true;
}

bool finite(const Paths& paths) {
    for (const Path& path : paths)
        for (const PathKnot& k : path.knots)
            for (Vec2 v : {k.point, k.in, k.out})
                if (!std::isfinite(v.x) || !std::isfinite(v.y)) return false;
    return true;
}

// The paths where the page puts them lie within the engine's range: an
// outline too thin to tell from its path there would otherwise vanish
// before the engine could refuse its coordinates.
bool onPage(const Paths& paths, const Affine& toPage) {
    for (const Path& path : paths)
        for (const PathKnot& k : path.knots)
            for (Vec2 v : {k.point, k.in, k.out})
                if (!region::inRange(toPage.map(v))) return false;
    return true;
}

bool validStyle(const StrokeStyle& style) {
    if (!(style.width >= 0.0) || !std::isfinite(style.width)) return false;
    if (!(style.miterLimit >= 0.0) || !std::isfinite(style.dashOffset)) return false;
    for (double v : style.dashes)
        if (!(v >= 0.0) || !std::isfinite(v)) return false;
    return true;
}

bool solid(const StrokeStyle& style) {
    for (double v : style.dashes)
        if (v > 0.0) return false;
    return true;
}

// Knots of the pieces closer than the fit's tolerance become one: the
// outline is no truer than that, and pieces that meet where the true
// outline meets itself (a pen as wide as a curve is tight folds its inner
// offset onto the centre of curvature) then meet exactly, instead of
// leaving slivers the fit's error wide. Each knot moves to the first knot
// found within reach, so no knot moves further than the tolerance.
class KnotSnapper {
public:
    explicit KnotSnapper(double reach) : reach_(reach) {}

    void snap(PathKnot& k) {
        const long long cx = cellOf(k.point.x), cy = cellOf(k.point.y);
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy) {
                const auto found = cells_.find(key(cx + dx, cy + dy));
                if (found == cells_.end()) continue;
                for (Vec2 p : found->second)
                    if (length(p - k.point) <= reach_) {
                        const Vec2 shift = p - k.point;
                        k = {p, k.in + shift, k.out + shift, k.tag};
                        return;
                    }
            }
        cells_[key(cx, cy)].push_back(k.point);
    }

private:
    // Points too far out for an integer cell (or not finite) share the
    // edge cells: the distance test still decides, only the lookup slows.
    long long cellOf(double v) const {
        constexpr double kEdge = 1e15;
        const double c = std::floor(v / reach_);
        if (!(c > -kEdge)) return -(long long)kEdge;
        if (!(c < kEdge)) return (long long)kEdge;
        return (long long)c;
    }
    static unsigned long long key(long long x, long long y) {
        return (unsigned long long)x * 0x9E3779B97F4A7C15ull ^ (unsigned long long)y;
    }
    double reach_;
    std::unordered_map<unsigned long long, std::vector<Vec2>> cells_;
};

bool handlesWithin(const PathKnot& from, const PathKnot& to, double reach) {
    return length(from.out - from.point) <= reach && length(to.in - to.point) <= reach;
}

// A piece without the segments that snapping shrank to a point.
void dropPointSegments(Path& piece, double reach) {
    std::vector<PathKnot> kept;
    for (const PathKnot& k : piece.knots) {
        if (!kept.empty() && kept.back().point == k.point && handlesWithin(kept.back(), k, reach)) {
            kept.back().out = k.out;
            continue;
        }
        kept.push_back(k);
    }
    while (kept.size() > 1 && kept.back().point == kept.front().point &&
           handlesWithin(kept.back(), kept.front(), reach)) {
        kept.front().in = kept.back().in;
        kept.pop_back();
    }
    piece.knots = std::move(kept);
}

void snapPieces(std::vector<Path>& pieces, double reach) {
    KnotSnapper snapper(reach);
    for (Path& piece : pieces) {
        for (PathKnot& k : piece.knots)
            snapper.snap(k);
        dropPointSegments(piece, reach);
    }
}

Path reversedPath(const Path& path) {
    Path out;
    out.closed = path.closed;
    for (auto k = path.knots.rbegin(); k != path.knots.rend(); ++k)
        out.knots.push_back({k->point, k->out, k->in, k->tag});
    return out;
}

// Sorts the pieces into the outline: those that cannot cross themselves
// turned counterclockwise, so that nonzero fills their union as they are;
// pieces snapping left without area go.
void sortPieces(Outline& o, StrokeOutline* out) {
    for (size_t i = 0; i < o.pieces.size(); ++i) {
        Path& piece = o.pieces[i];
        if (piece.knots.size() < 2) continue;
        if (o.crossing[i]) {
            out->crossing.push_back(std::move(piece));
            continue;
        }
        const double area = enclosedArea({piece});
        if (area == 0.0) continue;
        out->simple.push_back(area > 0.0 ? std::move(piece) : reversedPath(piece));
    }
}

// The fit's tolerance: a fraction of the width, or of the paths' own size
// where the pen is wider than they are, so that their knots stay apart.
double defaultFitTolerance(const Paths& paths, const StrokeStyle& style) {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const Path& path : paths)
        for (const PathKnot& k : path.knots)
            for (Vec2 v : {k.point, k.in, k.out}) {
                x0 = std::min(x0, v.x), x1 = std::max(x1, v.x);
                y0 = std::min(y0, v.y), y1 = std::max(y1, v.y);
            }
    const double size = std::max(x1 - x0, y1 - y0);
    const double scale = size > 0.0 ? std::min(style.width, size) : style.width;
    return region::kStrokeFitOfWidth * scale;
}

}  // namespace

RegionStatus strokeOutline(const Paths& paths, const StrokeStyle& style, const Affine& toPage,
                           double fitTolerance, StrokeOutline* out) {
    *out = StrokeOutline();
    if (!validStyle(style)) return RegionStatus::InvalidStroke;
    if (!finite(paths)) return RegionStatus::NonFiniteCoordinate;
    if (!onPage(paths, toPage)) return RegionStatus::CoordinateTooLarge;
    if (style.width == 0.0) return RegionStatus::Ok;
    std::vector<Path> dashes;
    const std::vector<Path>* drawn = &paths;
    if (!solid(style)) {
        if (!dashPaths(paths, style, &dashes)) return RegionStatus::TooManyStrokePieces;
        drawn = &dashes;
    }
    Outline outline;
    outline.halfWidth = 0.5 * style.width;
    outline.tolerance = fitTolerance > 0.0 ? fitTolerance : defaultFitTolerance(paths, style);
    outline.style = &style;
    for (const Path& path : *drawn) {
        addPath(outline, path);
        if (outline.overflow) return RegionStatus::TooManyStrokePieces;
    }
    snapPieces(outline.pieces, outline.tolerance);
    for (Path& piece : outline.pieces)
        for (PathKnot& k : piece.knots) {
            k.point = toPage.map(k.point);
            k.in = toPage.map(k.in);
            k.out = toPage.map(k.out);
        }
    // A map that mirrors turns every piece the other way: sorting comes after it.
    sortPieces(outline, out);
    return RegionStatus::Ok;
}

namespace {

// How much the map can stretch a length at most: its largest singular value.
double largestStretch(const Affine& m) {
    const double p = m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d;
    const double q = m.a * m.d - m.b * m.c;
    return std::sqrt(0.5 * (p + std::sqrt(std::max(0.0, p * p - 4.0 * q * q))));
}

}  // namespace

namespace {

// The union of an outline's pieces. Those that cannot cross themselves are
// one region, filled nonzero as they are: they meet edge to edge, which the
// engine settles best between the inputs' own edges. Each of the others is
// resolved alone, so that a lobe it winds the other way round cuts no hole.
// Where the engine cannot settle that union, every piece resolved alone
// meets the others in another arrangement, which it may settle. The
// pieces' knots are joined at the fit's tolerance already; joining them
// again at the caller's threshold would chain the fine steps of folded
// offsets into runs.
// A loop flattened once, with its box, for counting windings at many
// points.
struct FlatLoop {
    std::vector<Vec2> points;  // closed: the last joins the first
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
};

FlatLoop flattened(const Path& loop, int steps) {
    FlatLoop f;
    const size_t n = loop.knots.size();
    for (size_t i = 0; i < n; ++i) {
        const PathKnot& a = loop.knots[i];
        const PathKnot& b = loop.knots[(i + 1) % n];
        const Cubic c{{a.point, a.out, b.in, b.point}};
        for (int k = 0; k < steps; ++k) {
            const Vec2 p = region::pointAt(c, double(k) / steps);
            f.points.push_back(p);
            f.x0 = std::min(f.x0, p.x), f.x1 = std::max(f.x1, p.x);
            f.y0 = std::min(f.y0, p.y), f.y1 = std::max(f.y1, p.y);
        }
    }
    return f;
}

int windingAt(const FlatLoop& f, Vec2 q) {
    if (q.x < f.x0 || q.x > f.x1 || q.y < f.y0 || q.y > f.y1) return 0;
    int w = 0;
    const size_t n = f.points.size();
    for (size_t i = 0; i < n; ++i) {
        const Vec2 a = f.points[i];
        const Vec2 b = f.points[(i + 1) % n];
        if ((a.y <= q.y) != (b.y <= q.y) && q.x < a.x + (q.y - a.y) * (b.x - a.x) / (b.y - a.y))
            w += b.y > a.y ? 1 : -1;
    }
    return w;
}

// Whether q is covered by some piece and by the union, the pieces flattened
// into steps a segment.
struct Coverage {
    std::vector<FlatLoop> pieces;
    std::vector<FlatLoop> answer;

    Coverage(const StrokeOutline& outline, const Paths& loops, int steps) {
        for (const Paths* list : {&outline.simple, &outline.crossing})
            for (const Path& piece : *list)
                pieces.push_back(flattened(piece, steps));
        for (const Path& loop : loops)
            answer.push_back(flattened(loop, steps));
    }
    bool agreeAt(Vec2 q) const {
        bool covered = false;
        for (const FlatLoop& f : pieces)
            if (windingAt(f, q) != 0) {
                covered = true;
                break;
            }
        int w = 0;
        for (const FlatLoop& f : answer)
            w += windingAt(f, q);
        return covered == (w != 0);
    }
};

// Whether a union of the outline's pieces can be right, checked by means
// of its own: it covers at least as much as its largest simple piece, and
// on a grid of points across it, it covers a point exactly where some piece
// does (a point where coarse flattenings disagree is looked at again on
// fine ones, which a rounding of the outline cannot fool). A wrong union is
// turned into a refusal.
bool plausibleUnion(const RegionResult& result, const StrokeOutline& outline) {
    if (!result.ok()) return false;
    double largest = 0.0;
    for (const Path& piece : outline.simple)
        largest = std::max(largest, enclosedArea({piece}));
    if (enclosedArea(result.loops) < largest * (1.0 - 1e-6)) return false;
    const Coverage coarse(outline, result.loops, 8);
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const FlatLoop& f : coarse.pieces)
        x0 = std::min(x0, f.x0), x1 = std::max(x1, f.x1), y0 = std::min(y0, f.y0),
        y1 = std::max(y1, f.y1);
    if (!(x0 < x1 && y0 < y1)) return true;
    const int n = region::kStrokeCheckGrid;
    std::vector<Vec2> doubtful;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            // Off the grid's own lines by an irrational step, so that points
            // do not fall on the axis-parallel edges strokes often have.
            const Vec2 q{x0 + (x1 - x0) * (i + 0.6234567) / n,
                         y0 + (y1 - y0) * (j + 0.4012346) / n};
            if (!coarse.agreeAt(q)) doubtful.push_back(q);
        }
    if (doubtful.empty()) return true;
    const Coverage fine(outline, result.loops, 512);
    for (const Vec2 q : doubtful)
        if (!fine.agreeAt(q)) return false;
    return true;
}

RegionResult uniteOutline(const StrokeOutline& outline) {
    std::vector<FilledPaths> regions(1);
    regions[0].paths = outline.simple;
    for (const Path& piece : outline.crossing)
        regions.push_back({{piece}, FillRule::NonZero});
    RegionResult result = unionAll(regions, 0.0);
    if (result.ok() && !plausibleUnion(result, outline)) {
        result.status = RegionStatus::AnswerDisagrees;
        result.loops.clear();
    }
    if (!result.ok() && outline.simple.size() > 1) {
        regions.clear();
        for (const Path& piece : outline.simple)
            regions.push_back({{piece}, FillRule::NonZero});
        for (const Path& piece : outline.crossing)
            regions.push_back({{piece}, FillRule::NonZero});
        const RegionResult alone = unionAll(regions, 0.0);
        if (plausibleUnion(alone, outline)) result = alone;
    }
    result.region = -1;
    return result;
}

}  // namespace

RegionResult stroke(const Paths& paths, const StrokeStyle& style, const Affine& toPage,
                    double threshold) {
    RegionResult result;
    if (!validStyle(style)) {
        result.status = RegionStatus::InvalidStroke;
        return result;
    }
    const double fine = defaultFitTolerance(paths, style);
    const double stretch = largestStretch(toPage);
    // No fit is coarser than the caller's threshold allows.
    const double cap = threshold > 0.0 && stretch > 0.0 ? threshold / stretch : HUGE_VAL;
    for (const double tolerance :
         {std::min(fine, cap),
          std::min(fine * region::kStrokeRetryFitOfWidth / region::kStrokeFitOfWidth, cap)}) {
        StrokeOutline outline;
        result.status = strokeOutline(paths, style, toPage, tolerance, &outline);
        if (!result.ok()) return result;
        result = uniteOutline(outline);
        if (result.ok() || tolerance >= cap) break;
    }
    return result;
}

RegionResult offset(const Paths& region, FillRule fill, double distance, LineJoin join,
                    double miterLimit, double threshold) {
    RegionResult resolved = resolve(region, fill, threshold);
    if (!resolved.ok() || distance == 0.0) return resolved;
    if (!std::isfinite(distance)) {
        resolved.status = RegionStatus::InvalidStroke;
        resolved.loops.clear();
        return resolved;
    }
    StrokeStyle style;
    style.width = 2.0 * std::fabs(distance);
    style.join = join;
    style.miterLimit = miterLimit;
    const RegionResult rim = stroke(resolved.loops, style, Affine(), threshold);
    if (!rim.ok()) return rim;
    RegionOptions options;
    options.threshold = threshold;
    return combine(resolved.loops, rim.loops, distance > 0.0 ? Operation::Union : Operation::SubtrA,
                   options);
}

}  // namespace carvex
