#pragma once

#include "geometry/shape.h"
#include "geometry/spline.h"

// The operation applied with one operand, as kept per operand by the host.
enum Operation : int {
    Union = 0,      // A becomes A u B
    Intersect = 1,  // A becomes A n B
    SubtrA = 2,     // A becomes A - B
    SubtrB = 3,     // A becomes B - A
};

// Union (unite) or intersection of the regions that A and B bound, written
// into A. False when refused (open, fewer than 3 knots, A is B) or when the
// answer is not one loop; A is a valid spline either way.
bool unionOrIntersect(Spline& A, Spline& B, bool unite, double threshold);

// A becomes A - B. False with fewer than two crossings.
bool subtract(Spline& A, Spline& B, double threshold);

// One operation code on one pair; any other code leaves the pair alone.
// Returns what the operation returned (true for a code left alone).
bool applyOperation(Spline& A, Spline& B, int operation, double threshold);

// Reported for every pair that an operation left unchanged.
struct PairOutcome {
    int baseIndex;
    int operandIndex;
    // What the operation returned: false when it refused the pair or its
    // answer is not one loop.
    bool combined;
};

// Applies the operand shape to the base shape with one operation: for every
// base spline, and inside it for every operand spline. Both counts are read
// again before each step, because an operation may change them.
void applyOperand(Shape& base, Shape& operand, int operation, double threshold,
                  QList<PairOutcome>* outcomes = nullptr);
