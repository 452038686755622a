#include "region/stroke.h"

#include <algorithm>
#include <cmath>

#include "region/cubic.h"

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
Vec2 startHeading(const Cubic& c) {
    for (int k = 1; k < 4; ++k)
        if (c.p[k] != c.p[0]) return unit(c.p[k] - c.p[0]);
    return {};
}

Vec2 endHeading(const Cubic& c) {
    for (int k = 2; k >= 0; --k)
        if (c.p[k] != c.p[3]) return unit(c.p[3] - c.p[k]);
    return {};
}

// The heading at t, approached from before it (fromAfter false) or after
// it: where the derivative all but vanishes (a cusp), the direction of a
// short chord on that side.
Vec2 headingAt(const Cubic& c, double t, bool fromAfter) {
    if (t <= 0.0) return startHeading(c);
    if (t >= 1.0) return endHeading(c);
    const Vec2 d = region::derivativeAt(c, t);
    if (length(d) > 1e-9 * polygonLength(c)) return unit(d);
    const double step = 1e-6;
    return fromAfter ? unit(region::pointAt(c, std::min(1.0, t + step)) - region::pointAt(c, t))
                     : unit(region::pointAt(c, t) - region::pointAt(c, std::max(0.0, t - step)));
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

// Everything one stroke adds up: its pieces, and whether it went past its cap.
struct Outline {
    double halfWidth = 0.5;
    double tolerance = 0.0;
    const StrokeStyle* style = nullptr;
    std::vector<Path>* pieces = nullptr;
    bool overflow = false;

    void add(Path piece) {
        if (pieces->size() >= size_t(kMaxStrokePieces)) {
            overflow = true;
            return;
        }
        pieces->push_back(std::move(piece));
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

// Appends to path a circular arc about centre from centre + r * from, turning
// by sweep, in cubic pieces of at most a quarter turn.
void appendArc(Path& path, Vec2 centre, double r, Vec2 from, double sweep) {
    const int pieces = std::max(1, int(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)));
    const double step = sweep / pieces;
    const double handle = 4.0 / 3.0 * std::tan(step / 4.0) * r;
    Vec2 dir = from;
    const Vec2 start = centre + dir * r;
    if (path.knots.empty() || path.knots.back().point != start) path.knots.push_back(corner(start));
    for (int i = 0; i < pieces; ++i) {
        const Vec2 next = i + 1 == pieces ? rotated(from, sweep) : rotated(dir, step);
        PathKnot& last = path.knots.back();
        last.out = last.point + leftOf(dir) * handle;
        const Vec2 end = centre + next * r;
        path.knots.push_back({end, end - leftOf(next) * handle, end, -1});
        dir = next;
    }
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
        Path wedge;
        wedge.knots.push_back(corner(p));
        appendArc(wedge, p, r, outerIn, turn);
        o.add(std::move(wedge));
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
        o.add(polygon({p + n * r, p + n * r + out * r, p - n * r + out * r, p - n * r}));
    } else if (o.style->cap == LineCap::Round) {
        Path half;
        appendArc(half, p, r, n, -kPi);
        o.add(std::move(half));
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
    const Vec2 o0 = region::pointAt(c, t0) + n0 * d;
    const Vec2 o1 = region::pointAt(c, t1) + n1 * d;
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
    }
    return fit;
}

// The stretch between the offsets on both sides: left offset forward, across
// the end, right offset back, across the start.
Path band(const Cubic& left, const Cubic& right) {
    Path path;
    path.knots.push_back({left.p[0], left.p[0], left.p[1], -1});
    path.knots.push_back({left.p[3], left.p[2], left.p[3], -1});
    path.knots.push_back({right.p[3], right.p[3], right.p[2], -1});
    path.knots.push_back({right.p[0], right.p[1], right.p[0], -1});
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
        o.add(band(left.curve, right.curve));
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

// One segment's bands, between the normals n0 and n1 at its ends; a cusp
// inside it gets a round join, as a pen turning on the spot paints.
void addSegment(Outline& o, const Cubic& c, Vec2 n0, Vec2 n1) {
    if (region::tracesChord(c)) {
        const double r = o.halfWidth;
        o.add(polygon({c.p[0] + n0 * r, c.p[3] + n1 * r, c.p[3] - n1 * r, c.p[0] - n0 * r}));
        return;
    }
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
            if (drawing()) extend(region::subCubic(c, t, std::max(t, next)));
            if (drawing() && left == 0.0) dash.knots.push_back(corner(region::pointAt(c, t)));
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
    if (total / period * double(pattern.size() / 2) > double(kMaxDashes)) return false;
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

}  // namespace

RegionStatus strokePieces(const Paths& paths, const StrokeStyle& style, const Affine& toPage,
                          double fitTolerance, std::vector<Path>* pieces) {
    if (!validStyle(style)) return RegionStatus::InvalidStroke;
    if (!finite(paths)) return RegionStatus::NonFiniteCoordinate;
    if (style.width == 0.0) return RegionStatus::Ok;
    std::vector<Path> dashes;
    const std::vector<Path>* drawn = &paths;
    if (!solid(style)) {
        if (!dashPaths(paths, style, &dashes)) return RegionStatus::TooManyStrokePieces;
        drawn = &dashes;
    }
    Outline outline;
    outline.halfWidth = 0.5 * style.width;
    outline.tolerance = fitTolerance > 0.0 ? fitTolerance : region::kStrokeFitOfWidth * style.width;
    outline.style = &style;
    outline.pieces = pieces;
    for (const Path& path : *drawn) {
        addPath(outline, path);
        if (outline.overflow) return RegionStatus::TooManyStrokePieces;
    }
    for (Path& piece : *pieces)
        for (PathKnot& k : piece.knots) {
            k.point = toPage.map(k.point);
            k.in = toPage.map(k.in);
            k.out = toPage.map(k.out);
        }
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

RegionResult stroke(const Paths& paths, const StrokeStyle& style, const Affine& toPage,
                    double threshold) {
    RegionResult result;
    double tolerance = region::kStrokeFitOfWidth * style.width;
    const double stretch = largestStretch(toPage);
    if (threshold > 0.0 && stretch > 0.0) tolerance = std::min(tolerance, threshold / stretch);
    std::vector<Path> pieces;
    result.status = strokePieces(paths, style, toPage, tolerance, &pieces);
    if (!result.ok()) return result;
    std::vector<FilledPaths> regions(pieces.size());
    for (size_t i = 0; i < pieces.size(); ++i)
        regions[i].paths.push_back(std::move(pieces[i]));
    result = unionAll(regions, threshold);
    result.region = -1;
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
