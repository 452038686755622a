#include "combine.h"

#include <QVector>

#include "boolean/boolean.h"
#include "operations.h"
#include "shapeio/shapecheck.h"
#include "shapeio/shapeio.h"

bool loadShape(const QString& path, Shape& shape, QString* error) {
    if (!readShapeFile(path, shape, error)) return false;
    bool framed = shape.frame != Matrix3d();
    for (const Spline* s : shape)
        framed = framed || s->frame != Matrix3d();
    if (!framed) return true;
    shape.setFrame(Matrix3d(), true);
    CoordinateProblem problem;
    if (!checkCoordinates(shape, &problem)) {
        if (error)
            *error = QStringLiteral("%1: spline %2 after applying the frames: %3")
                         .arg(path)
                         .arg(problem.splineIndex)
                         .arg(problem.describe());
        return false;
    }
    // Baking moved the knots; the engine reads cached lengths.
    for (Spline* s : shape)
        s->updateLengths();
    return true;
}

std::unique_ptr<Shape> cloneShape(const Shape& shape) {
    auto copy = std::make_unique<Shape>();
    copy->frame = shape.frame;
    copy->name = shape.name;
    for (const Spline* s : shape) {
        auto spline = new Spline();
        spline->copyFrom(*s);
        copy->addSpline(spline);
    }
    return copy;
}

namespace {

constexpr int kMaxNotesPerStep = 10;

}  // namespace

void applyOperands(Shape& result, const QList<Operand*>& operands, double threshold,
                   ProgressLine& progress) {
    for (int i = 0; i < operands.size(); ++i) {
        Operand& operand = *operands[i];
        const QString step = QStringLiteral("step %1 (%2 %3)")
                                 .arg(i + 1)
                                 .arg(operationName(operand.operation), operand.path);
        progress.setStep(QStringLiteral("applying %1 of %2: %3 %4")
                             .arg(i + 1)
                             .arg(operands.size())
                             .arg(operationName(operand.operation), operand.path));
        QList<PairOutcome> outcomes;
        applyOperand(result, *operand.shape, operand.operation, threshold, &outcomes);
        int uncombined = 0;
        for (const PairOutcome& outcome : outcomes) {
            if (outcome.combined) continue;
            // Shapes of many splines have many disjoint pairs: name the first
            // few, count the rest.
            if (++uncombined > kMaxNotesPerStep) continue;
            const QString effect =
                operand.operation == SubtrB
                    ? QStringLiteral("the base spline was replaced by the operand spline")
                    : QStringLiteral("the base spline is unchanged");
            progress.message(
                QStringLiteral("carvex: note: %1: base spline %2 and operand spline "
                               "%3 of %4 were not combined: %5; %6")
                    .arg(step)
                    .arg(outcome.baseIndex)
                    .arg(outcome.operandIndex)
                    .arg(operand.path, pairReasonText(outcome.reason), effect));
        }
        if (uncombined > kMaxNotesPerStep)
            progress.message(QStringLiteral("carvex: note: %1: %2 more pairs of splines were not "
                                            "combined (%3 of %4 pairs in all)")
                                 .arg(step)
                                 .arg(uncombined - kMaxNotesPerStep)
                                 .arg(uncombined)
                                 .arg(outcomes.size()));
    }
}
