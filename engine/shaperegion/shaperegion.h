#pragma once

// The region engine on the per-pair engine's shapes: knots are taken through
// their spline's and their shape's frames into one plane, combined as paths
// (region/region.h), and the answer's loops come back as closed splines with
// identity frames, knots that are input knots keeping their type.

#include <QString>

#include "geometry/shape.h"
#include "region/region.h"
#include "region/stroke.h"

namespace carvex {

struct ShapeResult {
    RegionStatus status = RegionStatus::Ok;
    Shape shape;  // identity frame; closed splines only
    // For the search's caps: the two segments whose search ran into it.
    SegmentRef first;
    SegmentRef second;
    int region = -1;  // for unionAll: the shape whose own resolution was refused
    bool ok() const { return status == RegionStatus::Ok; }
};

// The region of a op b.
ShapeResult combine(const Shape& a, const Shape& b, Operation op,
                    const RegionOptions& options = RegionOptions());

// The region of one shape under its fill rule.
ShapeResult resolve(const Shape& shape, FillRule fill, double threshold = 0.0);

// The union of many shapes, each under its own fill rule, in one pass (see
// the paths' unionAll). result.region names the shape refused, if one was.
struct FilledShape {
    const Shape* shape = nullptr;
    FillRule fill = FillRule::NonZero;
};
ShapeResult unionAll(const std::vector<FilledShape>& shapes, double threshold = 0.0);

// The region of shape under fill grown by distance (shrunk where it is
// negative), its corners shaped by join (see the paths' offset).
ShapeResult offset(const Shape& shape, FillRule fill, double distance, LineJoin join,
                   double miterLimit = 4.0, double threshold = 0.0);

// The region a pen paints along the splines of shape, open and closed as
// they are (see the paths' stroke).
ShapeResult stroke(const Shape& shape, const StrokeStyle& style, double threshold = 0.0);

// The sentence for a result's status, naming the segments it concerns.
QString describe(const ShapeResult& result);

// The exact signed area enclosed by the splines of a shape (see the paths'
// enclosedArea); frames are applied.
double enclosedArea(const Shape& shape);

// A shape's splines as paths in its parent space, one path per spline (an
// empty one for a missing spline), each knot tagged with its type. False,
// with NonFiniteCoordinate, when a frame is not finite (knots that are not
// are the engine's to refuse).
bool pathsOf(const Shape& shape, Paths* paths, RegionStatus* status);

// Paths as closed splines with identity frames: a tagged knot keeps the
// type of its tag, any other is a corner when both handles lie on it.
Shape shapeOf(const Paths& paths);

// Tags every untagged knot with the type shapeOf gives it, so that paths
// kept instead of a shape read back as the same knots.
void tagKnotTypes(Paths& paths);

}  // namespace carvex
