#include "shaperegion/shaperegion.h"

#include <cmath>
#include <utility>

namespace carvex {

namespace {

bool finite(const Matrix3d& m) {
    for (const auto& row : m.m)
        for (double v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

// The knots themselves are checked by the engine, once they are placed: a
// frame that is not finite is all that would go unseen there.
bool finiteFrames(const Shape& shape) {
    if (!finite(shape.frame)) return false;
    for (const Spline* s : shape)
        if (s && !finite(s->frame)) return false;
    return true;
}

Path pathOf(const Spline& spline, const Matrix3d& frame) {
    const bool identity = frame == Matrix3d();
    auto place = [&](const Point3d& p) {
        const Point3d q = identity ? p : map(p, frame);
        return Vec2{q.x, q.y};
    };
    Path path;
    path.closed = spline.closed;
    path.knots.reserve(spline.size());
    for (const Knot* k : spline)
        path.knots.push_back({place(k->point), place(k->inVec), place(k->outVec), k->type});
    return path;
}

Paths convert(const Shape& shape) {
    Paths paths;
    paths.reserve(shape.size());
    for (const Spline* s : shape)
        paths.push_back(s ? pathOf(*s, s->frame * shape.frame) : Path());
    return paths;
}

int knotTypeOf(const PathKnot& k) {
    if (k.tag >= 0) return k.tag;
    return k.in == k.point && k.out == k.point ? Knot::Corner : Knot::BezierCorner;
}

ShapeResult shapeResultOf(RegionResult result) {
    ShapeResult answer;
    answer.status = result.status;
    answer.shape = shapeOf(result.loops);
    answer.first = result.first;
    answer.second = result.second;
    answer.region = result.region;
    return answer;
}

ShapeResult refusal(RegionStatus status) {
    ShapeResult answer;
    answer.status = status;
    return answer;
}

}  // namespace

bool pathsOf(const Shape& shape, Paths* paths, RegionStatus* status) {
    paths->clear();
    if (!finiteFrames(shape)) {
        if (status) *status = RegionStatus::NonFiniteCoordinate;
        return false;
    }
    *paths = convert(shape);
    if (status) *status = RegionStatus::Ok;
    return true;
}

Shape shapeOf(const Paths& paths) {
    Shape shape;
    for (const Path& path : paths) {
        auto* spline = new Spline(QStringLiteral("Spline"), path.closed);
        spline->reserve(int(path.knots.size()));
        for (const PathKnot& k : path.knots)
            spline->append(new Knot(Point3d(k.point.x, k.point.y, 0.0),
                                    Point3d(k.in.x, k.in.y, 0.0), Point3d(k.out.x, k.out.y, 0.0),
                                    0.0, knotTypeOf(k)));
        shape.addSpline(spline);
    }
    return shape;
}

void tagKnotTypes(Paths& paths) {
    for (Path& path : paths)
        for (PathKnot& k : path.knots)
            k.tag = knotTypeOf(k);
}

ShapeResult combine(const Shape& a, const Shape& b, Operation op, const RegionOptions& options) {
    Paths pa;
    Paths pb;
    RegionStatus status = RegionStatus::Ok;
    if (!pathsOf(a, &pa, &status) || !pathsOf(b, &pb, &status)) return refusal(status);
    return shapeResultOf(combine(std::move(pa), std::move(pb), op, options));
}

ShapeResult resolve(const Shape& shape, FillRule fill, double threshold) {
    Paths paths;
    RegionStatus status = RegionStatus::Ok;
    if (!pathsOf(shape, &paths, &status)) return refusal(status);
    return shapeResultOf(resolve(paths, fill, threshold));
}

ShapeResult unionAll(const std::vector<FilledShape>& shapes, double threshold) {
    std::vector<FilledPaths> regions(shapes.size());
    for (size_t i = 0; i < shapes.size(); ++i) {
        RegionStatus status = RegionStatus::Ok;
        regions[i].fill = shapes[i].fill;
        if (shapes[i].shape && !pathsOf(*shapes[i].shape, &regions[i].paths, &status)) {
            ShapeResult answer = refusal(status);
            answer.region = int(i);
            return answer;
        }
    }
    return shapeResultOf(unionAll(std::move(regions), threshold));
}

ShapeResult offset(const Shape& shape, FillRule fill, double distance, LineJoin join,
                   double miterLimit, double threshold) {
    Paths paths;
    RegionStatus status;
    if (!pathsOf(shape, &paths, &status)) return refusal(status);
    return shapeResultOf(carvex::offset(paths, fill, distance, join, miterLimit, threshold));
}

ShapeResult stroke(const Shape& shape, const StrokeStyle& style, double threshold) {
    Paths paths;
    RegionStatus status;
    if (!pathsOf(shape, &paths, &status)) return refusal(status);
    return shapeResultOf(carvex::stroke(paths, style, Affine(), threshold));
}

QString describe(const ShapeResult& result) {
    return QString::fromStdString(describe(result.status, result.first, result.second));
}

double enclosedArea(const Shape& shape) {
    // Not checked: a coordinate that is not finite gives an area that is not.
    return enclosedArea(convert(shape));
}

}  // namespace carvex
