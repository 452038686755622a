#include "regions.h"

#include "boolean/boolean.h"
#include "operations.h"

bool applyRegionSteps(FileRegion& result, const QList<RegionStep>& steps, double threshold,
                      ProgressLine& progress, QString* error) {
    for (int i = 0; i < steps.size(); ++i) {
        const RegionStep& step = steps[i];
        progress.setStep(QStringLiteral("applying %1 of %2: %3 %4")
                             .arg(i + 1)
                             .arg(steps.size())
                             .arg(operationName(step.operation), step.path));
        carvex::RegionOptions options;
        options.fillA = result.fill;
        options.fillB = step.region->fill;
        options.threshold = threshold;
        carvex::ShapeResult answer =
            carvex::combine(result.shape, step.region->shape, step.operation, options);
        if (!answer.ok()) {
            if (error)
                *error =
                    QStringLiteral("step %1 (%2 %3): the shapes cannot be combined: %4")
                        .arg(i + 1)
                        .arg(operationName(step.operation), step.path, carvex::describe(answer));
            return false;
        }
        result.shape = std::move(answer.shape);
        // The answer's loops neither cross nor overlap, outer ones one way
        // and holes the other: both rules fill it alike.
        result.fill = carvex::FillRule::NonZero;
    }
    return true;
}
