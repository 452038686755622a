#pragma once

#include <QList>
#include <QString>

#include "geometry/shape.h"
#include "progress.h"
#include "shapeio/fileregion.h"
#include "shaperegion/shaperegion.h"

// The region engine's side of the command: whole files as regions.

// How offset steps shape the corners they grow.
struct OffsetStyle {
    carvex::LineJoin join = carvex::LineJoin::Round;
    double miterLimit = 4.0;
};

// One step of the chain: an operand file with its operation, read as a
// region, or (region null) an offset of the answer so far by distance.
struct RegionStep {
    carvex::Operation operation = carvex::Operation::Union;
    QString path;
    const FileRegion* region = nullptr;
    double distance = 0.0;
    OffsetStyle offset;

    bool isOffset() const { return region == nullptr; }
};

// Applies each step to result in turn; the answer's fill rule is left in
// result.fill. False, with error naming the step, when the engine refuses
// an input; result is then unspecified.
bool applyRegionSteps(FileRegion& result, const QList<RegionStep>& steps, double threshold,
                      ProgressLine& progress, QString* error);
