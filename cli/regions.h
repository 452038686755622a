#pragma once

#include <QList>
#include <QString>

#include "geometry/shape.h"
#include "progress.h"
#include "shaperegion/shaperegion.h"
#include "shapeio/fileregion.h"

// The region engine's side of the command: whole files as regions.

// One operand file with its operation, read as a region.
struct RegionStep {
    carvex::Operation operation = carvex::Operation::Union;
    QString path;
    const FileRegion* region = nullptr;
};

// Applies each step to result in turn; the answer's fill rule is left in
// result.fill. False, with error naming the step, when the engine refuses
// an input; result is then unspecified.
bool applyRegionSteps(FileRegion& result, const QList<RegionStep>& steps, double threshold,
                      ProgressLine& progress, QString* error);
