#include "intersection/pairsearch.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "intersection/boxgrid.h"
#include "intersection/flattening.h"

// Why leaving out a pair is exact. The segments are flattened into polylines
// that stay inside the hull of their control points (up to rounding, at most
// 256 eps times the largest coordinate from it). A pair reports something
// only through
//  - an end contact: an end of one segment lies on the other's polyline. The
//    point test accepts points within the threshold of an edge, and points in
//    the edge's span whose direction is within a sine of 0.001 of it, that is
//    within 0.001 of the edge's length of it;
//  - an edge crossing: intersectLines on two edges. With every z zero it
//    works in the plane, and rounding leaves it two ways to accept edges that
//    do not meet. Edges that are not nearly parallel are accepted only if
//    they come within 64 eps W / sin(angle) of each other (W the extent of
//    both splines), which the box slack covers once the angle exceeds kTurn.
//    Edges that are parallel to within rounding and lie on one line to
//    within rounding can be accepted however far apart they are: such pairs
//    are found through the lines the segments' edges can lie on.
// A pair is therefore visited when the boxes of the two segments, grown by
// the threshold, the point test's reach and the slack, overlap, or when some
// edge of each can lie on nearly the same line.
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
// Largest coordinate size the search's bounds are made for (beyond what the
// engine admits, kLargestCoordinate, so that the bounds never decide), and the smallest
// threshold: below 1e-10 the point test takes short edges as directionless
// and accepts points far off them.
constexpr double kSearchableCoordinate = 1e60;
constexpr double kFinestSearchThreshold = 1e-10;
// Box slack and line tolerances, relative to the extent W.
constexpr double kSlack = 1e-6;
constexpr double kTurn = 1e-7;
constexpr double kOffset = 1e-5;

// Direction of (x, y) on a scale of 4 for the full turn, monotone in the angle
// and changing by between 1/2 and 1 per radian: 0 along +x, 1 along +y.
double pseudoAngle(double x, double y) {
    if (y >= 0.0) {
        if (x >= 0.0) return y / (x + y);
        return 1.0 + (-x) / (-x + y);
    }
    if (x <= 0.0) return 2.0 + (-y) / (-x - y);
    return 3.0 + x / (x - y);
}

// A unit vector along the line direction p (pseudo-angle, 2 for a half turn),
// continuous in p, so that p + 2 is the opposite vector.
Point3d lineDirection(double p) {
    double turns = std::floor(p / 2.0);
    double q = p - 2.0 * turns;
    const double sign = (long long)(turns) % 2 == 0 ? 1.0 : -1.0;
    Point3d u = q <= 1.0 ? Point3d(1.0 - q, q, 0.0) : Point3d(1.0 - q, 2.0 - q, 0.0);
    normalise(u);
    return u * sign;
}

struct Extent {
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = std::numeric_limits<double>::infinity();
    double x1 = -std::numeric_limits<double>::infinity();
    double y1 = -std::numeric_limits<double>::infinity();
    double largest = 0.0;  // largest coordinate size
    bool usable = true;

    void add(const Point3d& p) {
        if (!(std::fabs(p.x) <= kSearchableCoordinate && std::fabs(p.y) <= kSearchableCoordinate) ||
            p.z != 0.0) {
            usable = false;
            return;
        }
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
    }
};

// An upper bound of the length of (x, y), which is all the bounds below need.
double lengthBound(double x, double y) {
    return std::fabs(x) + std::fabs(y);
}

Box hullBox(const BezierSegment& s) {
    Box b{s.p0.x, s.p0.y, s.p0.x, s.p0.y};
    for (const Point3d* p : {&s.p1, &s.p2, &s.p3}) {
        b.x0 = p->x < b.x0 ? p->x : b.x0;
        b.x1 = p->x > b.x1 ? p->x : b.x1;
        b.y0 = p->y < b.y0 ? p->y : b.y0;
        b.y1 = p->y > b.y1 ? p->y : b.y1;
    }
    return b;
}

// Everything the bounds need from the input.
struct Bounds {
    double threshold;
    double extent;      // W
    double pointError;  // how far a polyline point may stray from the hull
    Point3d centre;
    // Rounding of an edge's ends as an angle, for edges of the threshold's
    // length, and one over the unit of offsets.
    double wobble;
    double unit;
};

// What the search needs of one segment: its reach box (the hull box grown by
// everything within which the point test or a well-conditioned crossing can
// reach it, half of a pair's reach) and the lines its edges can lie on, as
// up to two boxes of (direction, signed distance from the centre in units
// of the extent) with directions in [0, 2].
struct Footprint {
    Box reach;
    std::vector<Box> lines;
};

// The lines as one box of (direction, offset) before it is cut to [0, 2].
// Edges are chords of pieces of the curve, so their directions lie in the
// cone of the control polygon's legs, widened by what rounding of their ends
// can turn an edge of the threshold's length.
bool lineRange(const BezierSegment& s, const Box& hull, const Bounds& b, Box& range) {
    const double legX[3] = {s.p1.x - s.p0.x, s.p2.x - s.p1.x, s.p3.x - s.p2.x};
    const double legY[3] = {s.p1.y - s.p0.y, s.p2.y - s.p1.y, s.p3.y - s.p2.y};
    const double chordX = s.p3.x - s.p0.x;
    const double chordY = s.p3.y - s.p0.y;
    const double wobble = b.wobble;
    const double reach =
        lengthBound(std::max(std::fabs(hull.x0 - b.centre.x), std::fabs(hull.x1 - b.centre.x)),
                    std::max(std::fabs(hull.y0 - b.centre.y), std::fabs(hull.y1 - b.centre.y)));
    const double offsetError = b.pointError + 1e-12 * (b.extent + reach);
    const double unit = b.unit;

    // Usually every leg points along the chord: the cone lies within the
    // largest tangent of a leg's angle to the chord (at most the largest
    // cross product over the smallest dot product) of the chord's direction.
    double largestCross = 0.0;
    double smallestDot = std::numeric_limits<double>::infinity();
    bool anyLeg = false;
    for (int i = 0; i < 3; ++i) {
        if (legX[i] == 0.0 && legY[i] == 0.0) continue;
        anyLeg = true;
        largestCross = std::max(largestCross, std::fabs(legX[i] * chordY - legY[i] * chordX));
        smallestDot = std::min(smallestDot, legX[i] * chordX + legY[i] * chordY);
    }
    if (!anyLeg) return false;
    const bool along = (chordX != 0.0 || chordY != 0.0) && smallestDot > 0.0;
    const double tangent = along ? largestCross / smallestDot : 0.0;
    if (along && tangent * (1.0 + 1e-9) + wobble < 0.5) {
        double p = pseudoAngle(chordX, chordY);
        // Only bounds are made with u: rounding is far inside their margins.
        const double scale = (p >= 2.0 ? -1.0 : 1.0) / std::sqrt(chordX * chordX + chordY * chordY);
        if (p >= 2.0) p -= 2.0;
        const double ux = chordX * scale;
        const double uy = chordY * scale;
        const double turn = tangent * (1.0 + 1e-9) + wobble;
        const double cx = b.centre.x;
        const double cy = b.centre.y;
        const double r0 = ux * (s.p0.y - cy) - uy * (s.p0.x - cx);
        const double r1 = ux * (s.p1.y - cy) - uy * (s.p1.x - cx);
        const double r2 = ux * (s.p2.y - cy) - uy * (s.p2.x - cx);
        const double r3 = ux * (s.p3.y - cy) - uy * (s.p3.x - cx);
        // Radians are at least pseudo-angle units, and no direction is
        // farther than turn radians from u.
        const double lever = reach * turn * (1.0 + 1e-9) + offsetError;
        range = {p - turn, (std::min({r0, r1, r2, r3}) - lever) * unit, p + turn,
                 (std::max({r0, r1, r2, r3}) + lever) * unit};
        return true;
    }

    // Otherwise the shortest arc of the full turn holding every leg direction.
    double q[3];
    int n = 0;
    for (int i = 0; i < 3; ++i)
        if (legX[i] != 0.0 || legY[i] != 0.0) q[n++] = pseudoAngle(legX[i], legY[i]);
    for (int i = 1; i < n; ++i)
        for (int k = i; k > 0 && q[k] < q[k - 1]; --k)
            std::swap(q[k], q[k - 1]);
    double start = q[0];
    double largestGap = 4.0 - (q[n - 1] - q[0]);
    for (int i = 1; i < n; ++i) {
        if (q[i] - q[i - 1] > largestGap) {
            largestGap = q[i] - q[i - 1];
            start = q[i];
        }
    }
    const double span = 4.0 - largestGap;
    if (span + 2.0 * wobble >= 1.0) {
        // Any direction.
        range = {0.0, (-reach - offsetError) * unit, 2.0, (reach + offsetError) * unit};
        return true;
    }
    const double p0 = (start >= 2.0 ? start - 2.0 : start) - wobble;
    const double p1 = p0 + span + 2.0 * wobble;
    const double mid = (p0 + p1) / 2.0;
    // No direction is farther from the middle one than half the range, and a
    // radian is at most twice the pseudo-angle: at most p1 - p0 radians.
    const double turnFromMid = p1 - p0;
    const Point3d u = lineDirection(mid);
    double r0 = std::numeric_limits<double>::infinity();
    double r1 = -r0;
    for (const Point3d& p : {s.p0, s.p1, s.p2, s.p3}) {
        const double r = u.x * (p.y - b.centre.y) - u.y * (p.x - b.centre.x);
        r0 = std::min(r0, r);
        r1 = std::max(r1, r);
    }
    const double lever = reach * turnFromMid * (1.0 + 1e-9) + offsetError;
    range = {p0, (r0 - lever) * unit, p1, (r1 + lever) * unit};
    return true;
}

// A line seen from the other end: direction shifted by a half turn, offset
// negated.
Box flipped(const Box& l, double shift) {
    return {l.x0 + shift, -l.y1, l.x1 + shift, -l.y0};
}

// Adds a box of (direction, offset), directions cut to [0, 2]: what lies
// outside is the same line seen from the other end.
void addLines(const Box& range, Footprint& f) {
    if (range.x0 < 0.0) {
        f.lines.push_back({0.0, range.y0, range.x1, range.y1});
        f.lines.push_back(flipped({range.x0, range.y0, 0.0, range.y1}, 2.0));
    } else if (range.x1 > 2.0) {
        f.lines.push_back({range.x0, range.y0, 2.0, range.y1});
        f.lines.push_back(flipped({2.0, range.y0, range.x1, range.y1}, -2.0));
    } else {
        f.lines.push_back(range);
    }
}

// The line of one polyline edge as a box of (direction, offset). The edge's
// ends are the very points intersectLines will see, so only the rounding of
// this measure needs a margin.
bool edgeLine(const Point3d& e0, const Point3d& e1, const Bounds& b, Box& range) {
    const double dx = e1.x - e0.x;
    const double dy = e1.y - e0.y;
    if (dx == 0.0 && dy == 0.0) return false;
    double p = pseudoAngle(dx, dy);
    const double scale = (p >= 2.0 ? -1.0 : 1.0) / std::sqrt(dx * dx + dy * dy);
    if (p >= 2.0) p -= 2.0;
    const double ux = dx * scale;
    const double uy = dy * scale;
    const double r0 = ux * (e0.y - b.centre.y) - uy * (e0.x - b.centre.x);
    const double r1 = ux * (e1.y - b.centre.y) - uy * (e1.x - b.centre.x);
    const double reach =
        lengthBound(std::max(std::fabs(e0.x - b.centre.x), std::fabs(e1.x - b.centre.x)),
                    std::max(std::fabs(e0.y - b.centre.y), std::fabs(e1.y - b.centre.y)));
    const double error = b.pointError + 1e-12 * (b.extent + reach);
    const double turn = 1e-12;
    range = {p - turn, (std::min(r0, r1) - error) * b.unit, p + turn,
             (std::max(r0, r1) + error) * b.unit};
    return true;
}

void describe(const BezierSegment& s, const Bounds& b, Footprint& f, SegmentLines* lines,
              int index) {
    const Box hull = hullBox(s);
    const double diagonal = lengthBound(hull.x1 - hull.x0, hull.y1 - hull.y0);
    const double grow = b.threshold * (1.0 + 1e-9) + 0.0011 * diagonal * (1.0 + 1e-9) +
                        kSlack * b.extent + 2.0 * b.pointError;
    f.reach = grown(hull, grow, grow);
    f.lines.clear();
    // No edge of a shorter segment reaches the threshold's length.
    if (diagonal * (1.0 + 1e-9) + 2.0 * b.pointError < b.threshold) return;
    Box range;
    if (!lineRange(s, hull, b, range)) return;
    // A cone much wider than the segment itself spans lines far from any of
    // its edges: then the edges' own lines stand in for it.
    const double width = (range.y1 - range.y0) / b.unit;
    if (lines && !(width <= 4.0 * (diagonal + b.threshold))) {
        const PLine& line = lines->at(index);
        for (int k = 0; k + 1 < line.size(); ++k) {
            const Point3d& e0 = line.at(k);
            const Point3d& e1 = line.at(k + 1);
            // intersectLines takes no edge shorter than the threshold.
            if (b.threshold > norm(e1 - e0)) continue;
            Box edge;
            if (edgeLine(e0, e1, b, edge)) addLines(edge, f);
        }
        return;
    }
    addLines(range, f);
}

}  // namespace

PLine& SegmentLines::at(int s) {
    std::unique_ptr<PLine>& line = lines_[s];
    if (!line) {
        line = std::make_unique<PLine>();
        appendToPolyline(segments_.at(s), *line, angleTolerance_);
    }
    return *line;
}

bool findSegmentPairs(const SegmentList& a, const SegmentList& b, double threshold,
                      SegmentPairs& pairs, SegmentLines* polylinesA, SegmentLines* polylinesB) {
    if (!(threshold >= kFinestSearchThreshold) || !std::isfinite(threshold)) return false;
    Extent e;
    for (const SegmentList* list : {&a, &b}) {
        for (int s = 0; s < list->size(); ++s) {
            const BezierSegment c = list->at(s);
            e.add(c.p0);
            e.add(c.p1);
            e.add(c.p2);
            e.add(c.p3);
        }
    }
    if (!e.usable) return false;

    Bounds bounds;
    bounds.threshold = threshold;
    bounds.extent = std::max(e.x1 - e.x0, e.y1 - e.y0);
    if (!(bounds.extent >= 0.0)) bounds.extent = 0.0;
    bounds.pointError = 256.0 * kEps * e.largest;
    bounds.centre = Point3d((e.x0 + e.x1) / 2.0, (e.y0 + e.y1) / 2.0, 0.0);
    bounds.wobble = 2.0 * bounds.pointError / threshold + 1e-12;
    bounds.unit = 1.0 / (bounds.extent > 0.0 ? bounds.extent : 1.0);

    const int nA = int(a.size());
    const int nB = int(b.size());
    std::vector<Box> reachB;
    std::vector<int> idsB;
    std::vector<Box> linesB;
    std::vector<int> lineIdsB;
    reachB.reserve(nB);
    idsB.reserve(nB);
    linesB.reserve(nB + nB / 8 + 8);
    lineIdsB.reserve(nB + nB / 8 + 8);
    Footprint f;
    for (int k = 0; k < nB; ++k) {
        describe(b.at(k), bounds, f, polylinesB, k);
        reachB.push_back(f.reach);
        idsB.push_back(k);
        for (const Box& l : f.lines) {
            linesB.push_back(l);
            lineIdsB.push_back(k);
            // A line near a half turn is also met from the other end.
            if (l.x0 <= kTurn) {
                linesB.push_back(flipped(l, 2.0));
                lineIdsB.push_back(k);
            }
            if (l.x1 >= 2.0 - kTurn) {
                linesB.push_back(flipped(l, -2.0));
                lineIdsB.push_back(k);
            }
        }
    }
    BoxGrid near(std::move(reachB), std::move(idsB), nB);
    BoxGrid lines(std::move(linesB), std::move(lineIdsB), nB);

    pairs.start.assign(1, 0);
    pairs.start.reserve(nA + 1);
    pairs.partners.clear();
    std::vector<int> byBox;
    std::vector<int> byLine;
    std::vector<int> more;
    std::vector<int> merged;
    for (int i = 0; i < nA; ++i) {
        describe(a.at(i), bounds, f, polylinesA, i);
        near.query(f.reach, byBox);
        byLine.clear();
        for (const Box& l : f.lines) {
            lines.query(grown(l, kTurn, kOffset), more);
            merged.clear();
            std::set_union(byLine.begin(), byLine.end(), more.begin(), more.end(),
                           std::back_inserter(merged));
            byLine.swap(merged);
        }
        std::set_union(byBox.begin(), byBox.end(), byLine.begin(), byLine.end(),
                       std::back_inserter(pairs.partners));
        pairs.start.push_back(int(pairs.partners.size()));
    }
    return true;
}
