#include "shaperegion/shaperegion.h"

#include <cmath>
#include <utility>

#include "region/spare.h"
#include "region/tolerances.h"

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

// The spline's knots placed by frame into path, whose list is used again.
void placeInto(const Spline& spline, const Matrix3d& frame, Path& path) {
    const bool identity = frame == Matrix3d();
    auto place = [&](const Point3d& p) {
        const Point3d q = identity ? p : map(p, frame);
        return Vec2{q.x, q.y};
    };
    path.closed = spline.closed;
    path.knots.clear();
    path.knots.reserve(spline.size());
    for (const Knot* k : spline)
        path.knots.push_back({place(k->point), place(k->inVec), place(k->outVec), k->type});
}

Path pathOf(const Spline& spline, const Matrix3d& frame) {
    Path path;
    placeInto(spline, frame, path);
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

Spline* splineOf(const Path& path) {
    auto* spline = new Spline(QStringLiteral("Spline"), path.closed);
    spline->reserve(int(path.knots.size()));
    for (const PathKnot& k : path.knots)
        spline->append(new Knot(Point3d(k.point.x, k.point.y, 0.0), Point3d(k.in.x, k.in.y, 0.0),
                                Point3d(k.out.x, k.out.y, 0.0), 0.0, knotTypeOf(k)));
    return spline;
}

size_t knotCount(const Paths& paths) {
    size_t knots = 0;
    for (const Path& path : paths)
        knots += path.knots.size();
    return knots;
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
    if (paths.size() < 2 || knotCount(paths) < size_t(region::kKnotsPerThread)) {
        for (const Path& path : paths)
            shape.addSpline(splineOf(path));
        return shape;
    }
    // Many knots are made in two halves side by side, each spline into its
    // own place, and added in order.
    std::vector<Spline*> splines(paths.size(), nullptr);
    auto make = [&](size_t lo, size_t hi) {
        for (size_t i = lo; i < hi; ++i)
            splines[i] = splineOf(paths[i]);
    };
    const size_t mid = region::halfwayBy(paths.size(), knotCount(paths),
                                         [&](size_t i) { return paths[i].knots.size(); });
    region::bothHalves(
        true,
        [&] {
            make(0, mid);
            return true;
        },
        [&] { make(mid, paths.size()); });
    for (Spline* spline : splines)
        shape.addSpline(spline);
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
    // Many knots are converted in two halves side by side; the first shape
    // refused is the one named, as one thread would name it.
    struct Refused {
        size_t shape = 0;
        RegionStatus status = RegionStatus::Ok;
    };
    auto convertRange = [&](size_t lo, size_t hi, Refused& refused) {
        for (size_t i = lo; i < hi; ++i) {
            regions[i].fill = shapes[i].fill;
            if (shapes[i].shape && !pathsOf(*shapes[i].shape, &regions[i].paths, &refused.status)) {
                refused.shape = i;
                return false;
            }
        }
        return true;
    };
    std::vector<size_t> knots(shapes.size(), 0);
    size_t all = 0;
    for (size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i].shape)
            for (const Spline* s : *shapes[i].shape)
                knots[i] += s ? size_t(s->size()) : 0;
        all += knots[i];
    }
    const size_t mid = region::halfwayBy(shapes.size(), all, [&](size_t i) { return knots[i]; });
    Refused first;
    Refused second;
    region::bothHalves(
        all >= size_t(region::kKnotsPerThread), [&] { return convertRange(0, mid, first); },
        [&] { convertRange(mid, shapes.size(), second); });
    for (const Refused& r : {first, second})
        if (r.status != RegionStatus::Ok) {
            ShapeResult answer = refusal(r.status);
            answer.region = int(r.shape);
            return answer;
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
    // One spline at a time, in one list used again, rather than a copy of
    // the whole shape: the same sums in the same order.
    Paths one(1);
    double total = 0.0;
    for (const Spline* s : shape) {
        if (!s) continue;
        placeInto(*s, s->frame * shape.frame, one[0]);
        total += enclosedArea(one);
    }
    return total;
}

}  // namespace carvex
