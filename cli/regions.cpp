#include "regions.h"

#include "boolean/boolean.h"
#include "operations.h"

namespace {

bool onlyUnions(const QList<RegionStep>& steps) {
    for (const RegionStep& step : steps)
        if (step.isOffset() || step.operation != carvex::Operation::Union) return false;
    return true;
}

QString stepName(const RegionStep& step) {
    if (step.isOffset()) return QStringLiteral("offset %1").arg(step.distance);
    return operationName(step.operation) + QLatin1Char(' ') + step.path;
}

carvex::ShapeResult applyStep(const FileRegion& result, const RegionStep& step, double threshold) {
    if (step.isOffset())
        return carvex::offset(result.shape, result.fill, step.distance, step.offset.join,
                              step.offset.miterLimit, threshold);
    carvex::RegionOptions options;
    options.fillA = result.fill;
    options.fillB = step.region->fill;
    options.threshold = threshold;
    return carvex::combine(result.shape, step.region->shape, step.operation, options);
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
        progress.setStep(QStringLiteral("applying %1 of %2: %3")
                             .arg(i + 1)
                             .arg(steps.size())
                             .arg(stepName(step)));
        carvex::ShapeResult answer = applyStep(result, step, threshold);
        if (!answer.ok()) {
            if (error)
                *error = QStringLiteral("step %1 (%2): %3: %4")
                             .arg(i + 1)
                             .arg(stepName(step),
                                  step.isOffset() ? QStringLiteral("the offset cannot be drawn")
                                                  : QStringLiteral("the shapes cannot be combined"),
                                  carvex::describe(answer));
            return false;
        }
        result.shape = std::move(answer.shape);
        // The answer's loops neither cross nor overlap, outer ones one way
        // and holes the other: both rules fill it alike.
        result.fill = carvex::FillRule::NonZero;
    }
    return true;
}
