#include "shapeio/subpathbuilder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCoincident = 1e-10;
constexpr double kPi = 3.14159265358979323846;

bool coincide(const Point3d& a, const Point3d& b) {
    return distance(a, b) < kCoincident;
}

bool finite(const Point3d& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

int knotTypeFor(const Point3d& point, const Point3d& inVec, const Point3d& outVec) {
    const bool inOnPoint = inVec == point;
    const bool outOnPoint = outVec == point;
    if (inOnPoint && outOnPoint) return Knot::Corner;
    if (inOnPoint || outOnPoint) return Knot::BezierCorner;
    const Point3d a = normalised(inVec - point);
    const Point3d b = normalised(outVec - point);
    // Handles too short to have a direction give zero vectors: not smooth.
    const bool opposite = dot(a, b) < 0.0 && norm(cross(a, b)) < 1e-9;
    return opposite ? Knot::Bezier : Knot::BezierCorner;
}

void SubpathBuilder::ensureSubpath() {
    // Drawing after a close (or before any move) starts at the current point.
    if (!open_) moveTo(current_);
}

void SubpathBuilder::moveTo(const Point3d& p) {
    finish();
    open_ = true;
    drew_ = false;
    start_ = p;
    current_ = p;
}

Point3d SubpathBuilder::lastKnot() const {
    return segments_.isEmpty() ? start_ : segments_.last().end;
}

void SubpathBuilder::lineTo(const Point3d& p) {
    ensureSubpath();
    cubicTo(lastKnot(), p, p);
}

void SubpathBuilder::cubicTo(const Point3d& c1, const Point3d& c2, const Point3d& p) {
    ensureSubpath();
    // A segment that stays on its start point, the last knot, draws nothing;
    // the current point still moves. Measured from the current point instead,
    // dropped segments would let it drift from the knot without bound, and
    // the next segment, drawn from the knot, would keep or drop other pieces
    // than its own path data read again does.
    const Point3d from = lastKnot();
    drew_ = true;
    if (!(coincide(c1, from) && coincide(c2, from) && coincide(p, from)))
        segments_.append({c1, c2, p});
    current_ = p;
}

bool SubpathBuilder::quadTo(const Point3d& q, const Point3d& p) {
    ensureSubpath();
    const Point3d p0 = current_;
    const Point3d c1 = p0 + (q - p0) * (2.0 / 3.0);
    const Point3d c2 = p + (q - p) * (2.0 / 3.0);
    if (!finite(c1) || !finite(c2)) return false;
    cubicTo(c1, c2, p);
    return true;
}

bool SubpathBuilder::arcTo(double rx, double ry, double xAxisRotationDegrees, bool largeArc,
                           bool sweep, const Point3d& p) {
    ensureSubpath();
    const Point3d p0 = current_;
    // The out-of-range rules of SVG's arc: equal end points draw nothing, a
    // zero radius draws a line, radii too small for the end points grow.
    if (p0.x == p.x && p0.y == p.y) return true;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    if (rx == 0.0 || ry == 0.0) {
        lineTo(p);
        return true;
    }
    const double phi = std::fmod(xAxisRotationDegrees, 360.0) * kPi / 180.0;
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);
    const double dx = (p0.x - p.x) / 2.0;
    const double dy = (p0.y - p.y) / 2.0;
    const double x1 = cosPhi * dx + sinPhi * dy;
    const double y1 = -sinPhi * dx + cosPhi * dy;
    const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1.0) {
        const double s = std::sqrt(lambda);
        rx *= s;
        ry *= s;
    }
    const double rx2 = rx * rx;
    const double ry2 = ry * ry;
    const double num = rx2 * ry2 - rx2 * y1 * y1 - ry2 * x1 * x1;
    const double den = rx2 * y1 * y1 + ry2 * x1 * x1;
    double coef = den > 0.0 ? std::sqrt(std::max(0.0, num / den)) : 0.0;
    if (largeArc == sweep) coef = -coef;
    const double cx1 = coef * rx * y1 / ry;
    const double cy1 = -coef * ry * x1 / rx;
    const double cx = cosPhi * cx1 - sinPhi * cy1 + (p0.x + p.x) / 2.0;
    const double cy = sinPhi * cx1 + cosPhi * cy1 + (p0.y + p.y) / 2.0;

    const double theta1 = std::atan2((y1 - cy1) / ry, (x1 - cx1) / rx);
    const double theta2 = std::atan2((-y1 - cy1) / ry, (-x1 - cx1) / rx);
    double sweepAngle = theta2 - theta1;
    if (sweep && sweepAngle < 0.0) sweepAngle += 2.0 * kPi;
    if (!sweep && sweepAngle > 0.0) sweepAngle -= 2.0 * kPi;
    // Radii whose squares leave the doubles (a subnormal radius grown to
    // reach the end point, say) give an ellipse beyond any coordinate.
    if (!std::isfinite(sweepAngle) || !std::isfinite(cx) || !std::isfinite(cy)) return false;

    // Pieces of at most 45 degrees: a cubic strays from its circle by 4e-6 of
    // the radius there, where a quarter strays by 2.7e-4, enough to show as
    // 0.03% of an area beside a renderer that draws the true arc.
    const int pieces = std::max(1, int(std::ceil(std::fabs(sweepAngle) / (kPi / 4.0) - 1e-9)));
    const double step = sweepAngle / pieces;
    const double handle = 4.0 / 3.0 * std::tan(step / 4.0);
    auto onEllipse = [&](double t) {
        const double ex = rx * std::cos(t);
        const double ey = ry * std::sin(t);
        return Point3d(cx + cosPhi * ex - sinPhi * ey, cy + sinPhi * ex + cosPhi * ey, p0.z);
    };
    auto tangent = [&](double t) {
        const double ex = -rx * std::sin(t);
        const double ey = ry * std::cos(t);
        return Point3d(cosPhi * ex - sinPhi * ey, sinPhi * ex + cosPhi * ey, 0.0);
    };
    // All pieces are checked before the first is drawn.
    QVector<Segment> arcPieces(pieces);
    Point3d from = p0;
    for (int k = 0; k < pieces; ++k) {
        const double a = theta1 + step * k;
        const double b = (k + 1 == pieces) ? theta1 + sweepAngle : a + step;
        // The last piece ends exactly on the given end point.
        const Point3d to = (k + 1 == pieces) ? p : onEllipse(b);
        arcPieces[k] = {from + tangent(a) * handle, to - tangent(b) * handle, to};
        if (!finite(arcPieces[k].c1) || !finite(arcPieces[k].c2) || !finite(to)) return false;
        from = to;
    }
    for (const Segment& piece : arcPieces)
        cubicTo(piece.c1, piece.c2, piece.end);
    return true;
}

void SubpathBuilder::close() {
    if (!open_) return;
    storeSubpath(true);
    open_ = false;
    current_ = start_;
}

void SubpathBuilder::finish() {
    if (!open_) return;
    storeSubpath(false);
    open_ = false;
}

void SubpathBuilder::storeSubpath(bool closed) {
    QVector<Segment> segments;
    segments.swap(segments_);
    if (closed) {
        // A subpath that already returns to its start closes with its last
        // segment instead of a repeated knot; any other gets a closing line.
        if (!segments.isEmpty() && coincide(segments.last().end, start_)) {
            segments.last().end = start_;
        } else {
            segments.append({segments.isEmpty() ? start_ : segments.last().end, start_, start_});
        }
    }
    // Knot i sits at the start of segment i; an open subpath also has a knot
    // at the end of its last segment.
    const int segmentCount = segments.size();
    const int knotCount = closed ? segmentCount : segmentCount + 1;
    // A lone point bounds nothing and draws nothing, but a stroke's cap may
    // paint a dot where a subpath drew without moving.
    if (knotCount < 2) {
        if (dots_ && (closed || drew_)) dots_->append(start_);
        return;
    }

    auto spline = new Spline();
    spline->closed = closed;
    for (int i = 0; i < knotCount; ++i) {
        const Point3d point = i == 0 ? start_ : segments[i - 1].end;
        Point3d in = point;
        if (i > 0)
            in = segments[i - 1].c2;
        else if (closed)
            in = segments.last().c2;
        const Point3d out = i < segmentCount ? segments[i].c1 : point;
        spline->append(new Knot(point, in, out, 0.0, knotTypeFor(point, in, out)));
    }
    target_.addSpline(spline);
    storedKnots_ += knotCount;
}
