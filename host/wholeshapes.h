#pragma once

#include <QString>

#include "geometry/shape.h"
#include "region/operation.h"
#include "region/paths.h"

// The modifier's shapes combined as whole regions: the base node's closed
// splines are one region, each operand node's closed splines another, nested
// splines are holes (even-odd, as extruders read nested outlines), and the
// operands apply in row order. Open splines bound nothing: the base keeps
// them as they are, an operand's are left out.
struct WholeShapes {
    carvex::Paths region;   // the answer so far, as its loops (or the base's closed splines)
    bool resolved = false;  // region holds an answer's loops rather than the base's splines
    int rowsApplied = 0;
    bool refused = false;
    QString refusal;  // why, naming the row, when refused
};

// The base's closed splines, in the space the operands are brought into.
WholeShapes startWholeShapes(const Shape& base);

// region := region op operand. A refusal ends the combination: later rows
// are not applied and the base stays as it came.
void applyWholeOperand(WholeShapes& state, const Shape& operand, carvex::Operation op,
                       double threshold, const QString& rowName);

// Puts the answer into base: every loop as its own closed spline (outer
// loops counterclockwise, holes clockwise), then base's open splines. Base
// is left alone when nothing was applied or the combination was refused.
void finishWholeShapes(const WholeShapes& state, Shape& base);

// One line for the rollout: the answer's pieces and holes, or the refusal.
// Empty when no operand was applied.
QString wholeShapesStatus(const WholeShapes& state);
