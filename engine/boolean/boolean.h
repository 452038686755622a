#pragma once

#include <QString>

#include "geometry/shape.h"
#include "geometry/spline.h"
#include "region/operation.h"

// Why an operation left a pair uncombined; None when it combined them.
enum class PairReason {
    None,
    OpenSpline,        // either spline is open
    TooFewKnots,       // either spline has fewer than 3 knots
    SameSpline,        // A and B are one spline
    Apart,             // no crossing, and neither lies inside the other
    OddCrossings,      // the outlines cross an odd number of times
    NotOneLoop,        // the answer has several pieces or a hole
    OutlinesCoincide,  // the outlines run along each other for a stretch
    DegenerateAnswer,  // the answer has no area or fewer than 3 knots
    BeyondMagnitude,   // coordinates too large for the fixed tolerances
    ImpossibleArea,    // the answer found is larger or smaller than the operation allows
    NoSuchOperation,   // an operation this engine does not answer (xor)
};

// A short sentence saying why a pair was left alone.
QString pairReasonText(PairReason reason);

// Coordinates (in x or y) up to this magnitude, and up to kCoordinateSpan
// thresholds, are combined; beyond that the fixed tolerances of the engine
// no longer hold and pairs are refused. Measured: answers go wrong from
// about 1e10 thresholds on (circles and combs, every operation) and stay
// right at 5e9.
constexpr double kLargestCoordinate = 1e9;
constexpr double kCoordinateSpan = 1e9;

// The largest coordinate combined with this threshold.
double largestCoordinate(double threshold);

// Union (unite) or intersection of the regions that A and B bound, written
// into A. False when refused or when the answer is not one loop, with the
// reason in *reason; A is a valid spline either way, its outline unchanged
// when refused.
bool unionOrIntersect(Spline& A, Spline& B, bool unite, double threshold,
                      PairReason* reason = nullptr);

// A becomes A - B. False when refused or when the answer is not one loop.
bool subtract(Spline& A, Spline& B, double threshold, PairReason* reason = nullptr);

// One operation on one pair: Union, Intersect and SubtrA make A the answer,
// SubtrB makes A the operand minus A. Xor, which this engine has no answer
// for, leaves the pair alone and returns false with NoSuchOperation.
// Returns what the operation returned.
bool applyOperation(Spline& A, Spline& B, carvex::Operation operation, double threshold,
                    PairReason* reason = nullptr);

// Reported for every pair that an operation left unchanged.
struct PairOutcome {
    int baseIndex;
    int operandIndex;
    // What the operation returned: false when it refused the pair or its
    // answer is not one loop.
    bool combined;
    PairReason reason;
};

// Applies the operand shape to the base shape with one operation: for every
// base spline, and inside it for every operand spline. Both counts are read
// again before each step, because an operation may change them. B - A
// combines every base spline with the operand splines as they were before
// the operation; the operand shape is left as it came.
void applyOperand(Shape& base, Shape& operand, carvex::Operation operation, double threshold,
                  QList<PairOutcome>* outcomes = nullptr);
