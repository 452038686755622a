#pragma once

// The region engine: Booleans of whole shapes under a fill rule.
//
// Where the per-pair engine (boolean/boolean.h) rewrites one base spline with
// one operand spline and answers with one loop or refuses, this engine takes
// every spline of each shape, resolves each shape's region under its fill
// rule (open splines are closed by a straight segment, as a fill closes
// them), and answers with any number of loops: outer boundaries
// counterclockwise, holes clockwise (in the x-y plane, y up), so that nonzero
// and even-odd fills draw the answer alike. Crossings are found on the true
// curves; every segment of the answer is an exact piece of one input
// segment. Inputs are never modified.
//
// The engine is plain C++ on plain values (paths.h), with no dependency
// beyond the standard library; shaperegion/shaperegion.h runs it on the
// per-pair engine's shapes.

#include <string>

#include "region/operation.h"
#include "region/paths.h"
#include "region/tolerances.h"

namespace carvex {

enum class FillRule { NonZero, EvenOdd };

struct RegionOptions {
    FillRule fillA = FillRule::NonZero;
    FillRule fillB = FillRule::NonZero;
    // Crossings and knots closer than this distance (in the shapes' units)
    // are merged. 0 merges only what the shapes' extent makes
    // indistinguishable in double precision.
    double threshold = 0.0;
};

// Why an input could not be combined. Anything but Ok comes with an empty
// shape: never a partial answer.
enum class RegionStatus {
    Ok,
    NonFiniteCoordinate,  // NaN or infinity in a knot or handle
    CoordinateTooLarge,   // beyond kMaxRegionCoordinate in magnitude
    TooManyKnots,         // more than kMaxRegionKnots knots in one input
    InvalidThreshold,     // negative or not finite
    UnknownOperation,     // a value that names none of the operations
    // Outlines that run along each other, apart by more than the merge
    // distance but crossing at angles too shallow to place the crossings,
    // or so tangled that the windings found on either side of their edges
    // disagree, even at a merge distance of 1e-5 of the extent.
    Unresolved,
    // The crossing search between two segments ran into one of its caps
    // (tolerances.h), at every merge distance tried; the result names them.
    SearchBudgetExhausted,  // more than kPairSearchBudget subdivisions
    TooManyMeetings,        // more than kMaxMeetingsPerPair distinct meetings
    SearchTooDeep,          // subdivided past kMaxSearchDepth levels
    // Shapes spanning fewer than kFewestStepsAcross of the steps between
    // doubles where they lie.
    TooSmallForPosition,
    // The answer's faces, checked against windings counted afresh on the
    // inputs' own curves, disagree with them at every merge distance tried.
    AnswerDisagrees,
    // The caller's threshold would join knots and crossings into runs
    // longer than itself (kJoinSpanReach): the shapes have detail finer than
    // the threshold, and joining it would collapse it.
    ThresholdTooCoarse,
    // A stroke's width, miter limit or dash lengths are negative or not
    // finite, or the distance to offset by is not finite.
    InvalidStroke,
    // A stroke would be drawn by more than kMaxStrokePieces pieces of outline
    // or kMaxDashes dashes.
    TooManyStrokePieces,
};

// A segment of an input: which input (0 for a, 1 for b), the path's place
// in its list and the knot the segment starts at. -1 where none is meant.
struct SegmentRef {
    int operand = -1;
    int spline = -1;
    int knot = -1;
};

struct RegionResult {
    RegionStatus status = RegionStatus::Ok;
    Paths loops;  // closed paths only
    // For the search's caps: the two segments whose search ran into it.
    SegmentRef first;
    SegmentRef second;
    // For unionAll: the region whose own resolution was refused, or -1.
    int region = -1;
    bool ok() const { return status == RegionStatus::Ok; }
};

// Paths with the fill rule they are read under.
struct FilledPaths {
    Paths paths;
    FillRule fill = FillRule::NonZero;
};

// The region of a op b.
RegionResult combine(const Paths& a, const Paths& b, Operation op,
                     const RegionOptions& options = RegionOptions());
// The same, letting go of both inputs once they are read, so that a large
// operation does not hold them beside its working lists.
RegionResult combine(Paths&& a, Paths&& b, Operation op,
                     const RegionOptions& options = RegionOptions());

// The region of one list of paths under its fill rule, as non-crossing loops
// with the orientations above (the union of the paths with nothing).
RegionResult resolve(const Paths& paths, FillRule fill, double threshold = 0.0);

// The union of many regions, each under its own fill rule: each is resolved
// alone (so that one drawn the other way round cuts no hole into another),
// and their loops are united in one pass, not one pass per region.
RegionResult unionAll(const std::vector<FilledPaths>& regions, double threshold = 0.0);
// The same, letting go of each region's paths as soon as they are read, so
// that a large dissolve does not hold its inputs beside its working lists.
RegionResult unionAll(std::vector<FilledPaths>&& regions, double threshold = 0.0);

// A sentence for a status, for messages ("a coordinate is not finite").
std::string describe(RegionStatus status);

// The sentence for a status, naming the segments a cap concerns when both
// are given.
std::string describe(RegionStatus status, const SegmentRef& first, const SegmentRef& second);

// The exact signed area enclosed by paths, summed path by path in closed
// form (Green's theorem on each cubic segment); an open path counts as
// closed by a straight segment. Counterclockwise is positive.
double enclosedArea(const Paths& paths);

}  // namespace carvex
