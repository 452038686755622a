#pragma once

#include <functional>

#include "boolean/boolean.h"
#include "geometry/shape.h"

// What became of one pair of a base spline and an operand spline.
using PairReport = std::function<void(const PairOutcome& outcome)>;

// Applies the operand shape to the base shape with one operation, for every
// base spline and inside it every operand spline, with the same result as
// the engine's applyOperand, bit for bit. A pair whose outlines lie further
// apart than the threshold lets reach is decided here, as the engine would
// decide it (refused: the base spline is unchanged, or under SubtrB becomes
// the operand spline), without flattening, searching or storing anything:
// shapes of many small splines cost a box test per pair and memory linear
// in their knots. report, when given, hears of every pair.
void applyOperandByPairs(Shape& base, Shape& operand, int operation, double threshold,
                         const PairReport& report = {});
