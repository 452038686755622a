#pragma once

#include <QList>
#include <QString>
#include <memory>

#include "geometry/shape.h"
#include "progress.h"
#include "region/operation.h"

// Documented exit codes of the carvex command.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitUsage = 1,        // the command line is wrong
    ExitBadInput = 2,     // an input file cannot be read or is malformed
    ExitCannotWrite = 3,  // an output file cannot be written
    ExitUncombined = 4,   // with --per-pair --strict: a pair was left uncombined
    ExitOutOfMemory = 5,  // the machine has not the memory the work needs
};

// One operand file with the operation that applies it.
struct Operand {
    carvex::Operation operation = carvex::Operation::Union;
    QString path;
    std::unique_ptr<Shape> shape;
};

// Applies each operand to result in turn, with applyOperand, and reports on
// standard error (through progress) every pair of splines that the engine
// left uncombined, naming the operand file and the spline indices.
// Returns the number of pairs left uncombined over all operands.
int applyOperands(Shape& result, const QList<Operand*>& operands, double threshold,
                  ProgressLine& progress);
