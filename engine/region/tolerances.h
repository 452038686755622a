#pragma once

// Every tolerance and cap of the region engine, with its unit and why it has
// its value. Units:
//   extent     - a fraction of the larger side of the box of both inputs
//   magnitude  - a fraction of the largest coordinate of the inputs
//   merge      - a multiple of the merge distance in force
//   size       - a fraction of the size of the curve at hand
//   parameter  - a distance along a curve's own parameter in [0, 1]
//   radians    - an angle
// Caps count work; a cap that is reached ends the operation with a status
// naming it, never with a partial answer.

namespace carvex {

// Coordinates beyond this magnitude leave too few digits for the finest
// merge distance of a shape of ordinary size (absolute, the shapes' units).
constexpr double kMaxRegionCoordinate = 1e9;

// Knots per input: past this the lists outgrow what one call should hold
// (count).
constexpr int kMaxRegionKnots = 1000000;

// The thresholds a user may give (the command's -t, the modifier's
// spinner, Python's calls), in the shapes' units: below the smallest the
// per-pair engine's point test takes short edges as directionless; above
// the largest every drawing merges into a point.
constexpr double kMinUserThreshold = 0.00001;
constexpr double kMaxUserThreshold = 100000000.0;

// A stroke's work: pieces of outline (each offset piece, join and cap is
// one) and dashes one stroke may make (counts). A million dashes would be
// drawn as a grey smear; refusing them keeps reading a file bounded.
constexpr int kMaxStrokePieces = 400000;
constexpr int kMaxDashes = 100000;

}  // namespace carvex

namespace carvex::region {

// The finest merge distance: ten digits below the picture's size, which keeps
// Newton's steps on curves of that size well clear of rounding (extent) ...
constexpr double kFinestMergeOfExtent = 1e-10;
// ... but never below what the coordinates themselves resolve: about fifty
// units in the last place (magnitude).
constexpr double kFinestMergeOfMagnitude = 1e-14;

// Shapes whose box lies farther from 0 than this many times its size, on
// an axis, are held relative to the box on that axis (size): nearer, the
// coordinates resolve them as well as relative ones would.
constexpr double kFarFromOrigin = 1e3;

// Shapes must span at least this many of the steps between doubles where
// they lie (count): the answer's new points land on those steps, so fewer
// would bend its outline by more than a sixty-fourth of its size.
constexpr double kFewestStepsAcross = 64.0;

// The coarser merge distances tried when outlines run along each other too
// closely to place their crossings (multiples of the finest merge distance;
// the first keeps the caller's distance).
constexpr double kRetryMerges[] = {0.0, 1e3, 1e5};

// No retry widens the merge distance past this fraction of the shapes'
// extent (extent): a coarser one would merge features a drawing shows.
constexpr double kCoarsestMergeOfExtent = 1e-5;

// A stretch of curve whose handles stray from its chord by less than this
// fraction of its size is taken as its chord by the crossing search: Newton
// then starts within reach of the crossing (size).
constexpr double kFlatStretch = 1e-3;

// Points of one curve within this many merge distances of another lie on it:
// the test that two edges between the same vertices are one curve, and that
// a hit on one side of a shared stretch lies on the other side. Both sides
// were merged to within one merge distance at their ends and drift apart by
// at most a few between them (multiple of the merge distance).
constexpr double kSameCurveReach = 4.0;

// Points joined at the caller's threshold may form a set no wider than this
// many thresholds across (the diagonal of its box; multiple of the
// threshold): points pairwise within the threshold fit in sqrt(2) of it, and
// a wider set is a chain of close knots that joining would collapse.
constexpr double kJoinSpanReach = 1.5;

// Stops along one segment closer than this many merge distances become one
// vertex: the edge between them would be too short for its tangent to have
// a direction that the order around its vertices can trust (multiple of
// the merge distance).
constexpr double kShortestEdgeReach = 8.0;

// Subdivisions of one pair of monotone pieces. Two pieces that do not run
// along each other are cut to a handful of boxes per crossing at each level;
// the budget is reached only by pieces that stay within the merge distance
// of each other along a long stretch without sharing it (count).
// A test builds the core with a budget small enough for a plain pair to
// reach, to hold the refusal to its contract.
#ifndef CARVEX_PAIR_SEARCH_BUDGET
#define CARVEX_PAIR_SEARCH_BUDGET 4000
#endif
constexpr int kPairSearchBudget = CARVEX_PAIR_SEARCH_BUDGET;

// Distinct meetings of one pair of monotone pieces. Two cubics that do not
// share a stretch cross at most nine times (Bezout); more meetings mean
// touchings within the merge distance along a near-copy (count).
constexpr int kMaxMeetingsPerPair = 24;

// Two pieces whose search ran into a cap but that stay within this many
// merge distances of each other from end to end share the stretch (multiple
// of the merge distance): near-copies about one merge distance apart touch
// within it here and there all along (measured: copies 1e-5 of the extent
// apart at the coarsest merge distance), and taken as one they close up.
constexpr double kTouchingStretchReach = 2.0;

// Samples along a monotone piece, and bisections of each end, that find
// where near-copies crossing at a shallow angle stay within the merge
// distance of each other (count). A stretch shorter than two samples is left
// to the search, which refuses it if it finds too many touchings in it.
constexpr int kTouchingSamples = 64;
constexpr int kTouchingEndBisections = 40;

// How deep the search can go. A stretch of parameter width h of a cubic
// whose control points lie within the extent E has a control box no larger
// than 3 * sqrt(2) * E * h, so after 36 halvings (h < 1.5e-11) it is smaller
// than the finest merge distance (1e-10 * E) and counts as flat; each level
// halves one of the two curves, so no search goes past 72 levels. The cap
// stands guard over that argument (count).
constexpr int kMaxSearchDepth = 80;

// Parts of two curves whose chords turn less than this from each other
// (sine of the angle) are also tried against a parabola bending as one of
// them does: near-copies run side by side, and their chords' bands, wide as
// the bend, cannot part them (ratio). Only the cost depends on it.
constexpr double kSideBySide = 0.125;
// The test only starts after this many leaves of one pair found nothing:
// Newton started in one leaf may end on a meeting in another, so that an
// ordinary pair keeps the search it always had, and only pairs that run
// side by side for long are cut short (count).
constexpr int kMissedLeavesBeforeBendTest = 8;
// The rounding allowed for in that test, relative to the frame's
// coordinates and the parabola's terms (ratio: 64 units in the last place).
constexpr double kBendRounding = 64.0 * 2.220446049250313e-16;

// Newton on a(s) = b(t): steps before giving up, the residual that counts as
// met (merge), and the Jacobian that counts as singular (relative to the
// product of the two tangents' lengths).
constexpr int kNewtonSteps = 12;
constexpr double kNewtonResidual = 1e-3;
constexpr double kSingularJacobian = 1e-14;

// Parts whose tangents keep at least this far from parallel to each other
// cross at most once, at an angle Newton handles from a coarse start: the
// search stops halving them (radians). Only the cost depends on it, within
// Newton's residual.
constexpr double kTangentsApart = 0.1;

// Chords this close to parallel have no crossing worth computing (absolute,
// squared units): only an exact zero is truly parallel, and below this the
// quotient overflows.
constexpr double kParallelChords = 1e-300;

// Projecting a point on a monotone stretch: bisections to bracket it to
// kProjectBracket of the stretch's parameter width (parameter), then Newton
// steps to polish it.
constexpr int kProjectBisections = 60;
constexpr double kProjectBracket = 1e-6;
constexpr int kProjectNewtonSteps = 6;
// A point that keeps farther than tol plus this much from the boxes of the
// bracketed stretches is near none of them, and the projection stops there
// (size: the curve's own rounding, and a piece cut at an extremum that
// overshoots it by a hair, stay far inside).
constexpr double kProjectRounding = 1e-9;
// Halvings after which that test is made no more (count): by then the
// bracket is a sixty-fourth of the stretch, and points farther off than
// that have been turned away.
constexpr int kProjectEarlyLooks = 6;

// A quadratic whose leading coefficient is this small against its others is
// solved as linear (relative), and extrema closer than this along the
// parameter are one (parameter).
constexpr double kDegenerateCoefficient = 1e-12;
constexpr double kDistinctExtrema = 1e-12;

// Handles this close to the chord (a fraction of its length, squared) trace
// it exactly: a rounding's worth, so only segments drawn as lines count.
constexpr double kTracesChord = 1e-14;

// Finding where a monotone curve reaches a level: bisections, and the
// parameter width at which they stop (parameter: below a double's spacing
// near 1).
constexpr int kLevelBisections = 80;
constexpr double kLevelBracket = 1e-17;

// A direction shorter than this is no direction: the next derivative is asked
// instead (size).
constexpr double kShortestHeading = 1e-9;

// Curves leaving one vertex whose tangents differ by less than this leave in
// one direction, and are ordered by points along them instead (radians):
// well above the rounding of the heading of a short tangent, well below any
// angle a drawing shows.
constexpr double kHeadingTie = 1e-6;

// A union of many regions that pile up unites this many at once in one pass
// and splits longer lists in two, each half first (count): most crossings
// then lie inside a half and are gone before the halves meet. Measured on
// 10,000 scattered circles: fastest between 8 and 64.
constexpr int kRegionsUnitedAtOnce = 16;

// A list of regions this long or longer is split with its halves united on
// two threads, when a core is spare (count): below it the thread costs
// more than the half it takes over (a thread starts in some 50 us; 500
// circles take about 10 ms).
constexpr int kRegionsPerThread = 512;
// The regions of a union are resolved alone, each under its own rule, on
// two threads when they hold this many knots or more and a core is spare
// (count): a few milliseconds of work, against a thread's start of some 50
// microseconds.
constexpr int kKnotsPerThread = 8192;
// Past this many pieces (count) the crossing search's sweep in bands
// sweeps the lower half of its bands on a spare core and the upper half on
// its own; below it handing the work over costs more than it takes over.
constexpr int kPiecesForASpareCore = 4096;

// Past this many edges (count) the answer check counts its rays on a spare
// core while the windings are worked out and the loops drawn; below it
// handing the work to another core costs more than it takes over.
constexpr int kEdgesForASpareCore = 1024;

// Past this many nodes (count) a spare core sorts the nodes into the merge
// grid while the hits' stops are sorted and carried across shared
// stretches; below it handing the work over costs more than it takes over.
constexpr int kNodesForASpareCore = 8192;

// Regions pile up when their boxes cover the box of them all more than this
// many times over (ratio of areas). Below it one pass is faster, since the
// halves' answers are nearly all boundary and would be gone over again at
// every level: 1,000 such circles covering theirs 0.7 times take twice as
// long split, 10,000 covering it 7 times a quarter as long.
constexpr double kPiledUpCoverage = 2.0;

// Bands of the crossing search's sweep: at most this many, and no more than
// this many band entries per piece on average (counts). A piece is looked at
// by the pieces in the bands it reaches, so tall pieces in narrow bands cost
// entries and save nothing.
constexpr int kMaxSweepBands = 1 << 12;
constexpr int kSweepEntriesPerPiece = 4;
// Pieces the sweep holds at a time, on average, below which one band is
// cheaper than the bands' bookkeeping (count).
constexpr double kSweepActiveBeforeBands = 16.0;
// Bands per unit of height beyond which a picture is too flat to split:
// keeps the bands' arithmetic finite when its height is zero or subnormal.
constexpr double kLargestBandScale = 1e300;

// Rays cast before an index of the links is built (count). The index costs
// about as much as eight rays that look at every link (the world map's
// union: 4 ms against 0.4 to 0.6), but a picture that needs more than two
// rays mostly needs one for every island, hundreds of them.
constexpr int kRaysWithoutIndex = 2;
// Edges past which the connected parts are counted beforehand, so that an
// index needed for a ray in each is built before the first (count).
constexpr int kEdgesForCountedParts = 64;

// The same for the answer's check, whose index of the pieces costs about
// as much to build as two rays across every piece (count).
constexpr int kCheckRaysWithoutIndex = 2;

// How far off an edge the answer's check looks for each face beside it,
// tried in turn until one fits the face (multiples of the merge distance):
// far enough to clear the merge distance's rounding, near enough for the
// slivers that near-copies leave.
constexpr double kAnswerCheckReaches[] = {64.0, 8.0, 2.0};

// Buckets of the ray index: at least one, at most this many per axis, and no
// more than this many bucket entries per link on average (counts). Where
// links are longer than a bucket, a ray meets about as many of them in
// wider buckets, so few entries cost the rays little and save memory.
constexpr int kMaxRayBuckets = 1 << 16;
constexpr int kRayEntriesPerLink = 8;

// The narrowest bucket (absolute): keeps the buckets per unit finite for a
// picture of zero width.
constexpr double kNarrowestBucket = 1e-300;

// Working lists past this many segments are let go after the call instead of
// kept for the next (count).
constexpr int kKeptSegments = 1 << 16;

// Stroke outlines. The offset of a curve is drawn by cubics within this
// fraction of the stroke width of the true offset (size), and no coarser
// than the caller's threshold: a ten-thousandth of a line's width is below
// what any raster shows.
constexpr double kStrokeFitOfWidth = 1e-4;
// Where the engine cannot settle the union of an outline drawn that finely
// (pieces meeting a rounding's width apart along shared edges), the outline
// is drawn again at this coarser fit, whose snapping joins them (size):
// still a thousandth of the width, below what a raster shows.
constexpr double kStrokeRetryFitOfWidth = 1e-3;

// A stroke's union is checked on this many points a side across its box
// (count): a piece the union lost or a hole it cut shows on the grid unless
// smaller than a cell, at a cost well below the union's own.
constexpr int kStrokeCheckGrid = 16;

// One piece of an offset turns by at most this (radians): two handles
// follow a quarter turn of a circle to 3e-4 of its radius, and the fit
// starts from there.
constexpr double kStrokePieceTurn = 0.7853981633974483;

// Halvings of one segment while fitting its offsets (count): 2^14 pieces of
// a segment are far finer than any width asks for, so the cap only stops a
// curve whose offset the fit cannot follow (a cusp of the offset itself).
constexpr int kStrokeSplitDepth = 14;

// Samples of a segment searched for where its offsets fold back (count):
// a cubic's curvature changes sign at most twice and its radius has few
// extrema, so 64 samples bracket every fold, each refined by bisection.
constexpr int kStrokeFoldSamples = 64;
constexpr int kStrokeFoldBisections = 50;

}  // namespace carvex::region
