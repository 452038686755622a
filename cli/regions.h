#pragma once

#include <QList>
#include <QString>

#include "geometry/shape.h"
#include "progress.h"
#include "region/region.h"
#include "shapeio/filleddrawing.h"

// The region engine's side of the command: whole files as regions.

// The region a file stands for: its shape and the rule that fills it.
struct FileRegion {
    Shape shape;
    carvex::FillRule fill = carvex::FillRule::NonZero;
};

// The region of a drawing, the union of its elements' regions: one element
// is taken as it is, with its own rule; several are each resolved under
// their own rule, and their loops (outer boundaries one way, holes the
// other) together fill their union under nonzero. False with the reason
// when an element cannot be resolved.
bool regionOfDrawing(const FilledDrawing& drawing, double threshold, FileRegion* region,
                     QString* reason);

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
