#pragma once

#include <functional>

#include "boolean/boolean.h"
#include "geometry/shape.h"

// What became of one pair of a base spline and an operand spline.
using PairReport = std::function<void(const PairOutcome& outcome)>;

// The engine as applyOperandByPairs calls it for a pair it cannot decide
// itself: applyOperation, or a stand-in that counts the calls.
using PairEngine = bool (*)(Spline& A, Spline& B, carvex::Operation operation, double threshold,
                            PairReason* reason);

// Applies the operand shape to the base shape with one operation, for every
// base spline and inside it every operand spline, with the same result as
// the engine's applyOperand, bit for bit, reasons included. A pair the
// engine would refuse before looking for crossings (coordinates beyond its
// magnitude limit), or whose outlines lie further apart than the threshold
// lets reach, is decided here as the engine would decide it, without
// flattening, searching or storing anything: shapes of many small splines
// cost a box test per pair and memory linear in their knots. report, when
// given, hears of every pair; engine, when given, replaces applyOperation.
void applyOperandByPairs(Shape& base, Shape& operand, carvex::Operation operation, double threshold,
                         const PairReport& report = {}, PairEngine engine = nullptr);
