#include "regions.h"

#include "boolean/boolean.h"
#include "operations.h"

namespace {

bool onlyUnions(const QList<RegionStep>& steps) {
    for (const RegionStep& step : steps)
        if (step.operation != carvex::Operation::Union) return false;
    return true;
}

// A chain of unions is one dissolve: every file's region united in one pass
// instead of one pass a file, with the same region as the answer.
bool dissolve(FileRegion& result, const QList<RegionStep>& steps, double threshold,
              ProgressLine& progress, QString* error) {
    progress.setStep(QStringLiteral("uniting %1 files").arg(steps.size() + 1));
    std::vector<carvex::FilledShape> shapes{{&result.shape, result.fill}};
    for (const RegionStep& step : steps)
        shapes.push_back({&step.region->shape, step.region->fill});
    carvex::ShapeResult answer = carvex::unionAll(shapes, threshold);
    if (!answer.ok()) {
        if (error) {
            const QString which = answer.region <= 0 ? QStringLiteral("the united files")
                                                     : steps[answer.region - 1].path;
            *error = answer.region == 0 ? QStringLiteral("the first file cannot be resolved: %1")
                                              .arg(carvex::describe(answer))
                                        : QStringLiteral(
                                              "union of %1: the shapes cannot be "
                                              "combined: %2")
                                              .arg(which, carvex::describe(answer));
        }
        return false;
    }
    result.shape = std::move(answer.shape);
    result.fill = carvex::FillRule::NonZero;
    return true;
}

}  // namespace

bool applyRegionSteps(FileRegion& result, const QList<RegionStep>& steps, double threshold,
                      ProgressLine& progress, QString* error) {
    if (steps.size() > 1 && onlyUnions(steps))
        return dissolve(result, steps, threshold, progress, error);
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
