#pragma once

// Strokes as regions: what a renderer paints along a path with a pen of some
// width, joins, caps and dashes, as loops the region engine answers with.
//
// Each segment's offsets on both sides are drawn by cubics (within
// kStrokeFitOfWidth of the width); the outline's pieces (stretches between
// the two offsets, joins, caps) are loops whose union is the stroke. A
// stretch whose inner offset folds back (a curve tighter than half the
// width) crosses itself and is resolved alone first, so that it fills what
// its sweep covers instead of cancelling itself.

#include <vector>

#include "region/region.h"

namespace carvex {

enum class LineJoin { Miter, Round, Bevel };
enum class LineCap { Butt, Round, Square };

struct StrokeStyle {
    double width = 1.0;
    LineJoin join = LineJoin::Miter;
    // Longest miter, in widths: past it a miter join is drawn beveled.
    double miterLimit = 4.0;
    LineCap cap = LineCap::Butt;
    // Lengths drawn and skipped in turn, from the start of each path (after
    // dashOffset); empty for a solid stroke. Odd counts repeat, as SVG's
    // dash arrays do.
    std::vector<double> dashes;
    double dashOffset = 0.0;
};

// An affine map of the plane, in SVG's order: x' = a x + c y + e,
// y' = b x + d y + f.
struct Affine {
    double a = 1.0, b = 0.0, c = 0.0, d = 1.0, e = 0.0, f = 0.0;
    Vec2 map(Vec2 p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
};

// The outline of a stroke: the pieces whose union is its region.
struct StrokeOutline {
    // Loops that do not cross themselves (stretches between offsets that do
    // not fold, joins, caps), all counterclockwise: nonzero fills their
    // union as they are.
    Paths simple;
    // Stretches whose inner offset folds back, crossing the stretch: each
    // is to be resolved alone under nonzero before it joins the union.
    Paths crossing;
};

// The outline of the stroke of paths (open paths get caps, closed ones a
// join where they close), laid out in the paths' own space and then mapped
// by toPage, as a renderer strokes in user space. fitTolerance (0:
// kStrokeFitOfWidth of the width) bounds how far an offset strays from the
// true one. Not Ok when the style or the paths make too much work
// (TooManyStrokePieces) or are not finite.
RegionStatus strokeOutline(const Paths& paths, const StrokeStyle& style, const Affine& toPage,
                           double fitTolerance, StrokeOutline* outline);

// The stroke's region: the union of its pieces, each resolved alone under
// nonzero. threshold is the region engine's (and caps the fit tolerance).
RegionResult stroke(const Paths& paths, const StrokeStyle& style, const Affine& toPage = Affine(),
                    double threshold = 0.0);

// The region grown by distance (shrunk where it is negative): its union
// with, or its difference from, the stroke of its boundary twice as wide,
// so that curves stay curves. join shapes the corners that grow.
RegionResult offset(const Paths& region, FillRule fill, double distance, LineJoin join,
                    double miterLimit = 4.0, double threshold = 0.0);

}  // namespace carvex
