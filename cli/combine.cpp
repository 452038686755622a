#include "combine.h"

#include <QVector>

#include "boolean/boolean.h"
#include "operations.h"
#include "pairing/pairing.h"

namespace {

constexpr int kMaxNotesPerStep = 10;

}  // namespace

int applyOperands(Shape& result, const QList<Operand*>& operands, double threshold,
                  ProgressLine& progress) {
    int uncombinedInAll = 0;
    for (int i = 0; i < operands.size(); ++i) {
        Operand& operand = *operands[i];
        const QString step = QStringLiteral("step %1 (%2 %3)")
                                 .arg(i + 1)
                                 .arg(operationName(operand.operation), operand.path);
        progress.setStep(QStringLiteral("applying %1 of %2: %3 %4")
                             .arg(i + 1)
                             .arg(operands.size())
                             .arg(operationName(operand.operation), operand.path));
        qint64 uncombined = 0;
        qint64 pairs = 0;
        applyOperandByPairs(
            result, *operand.shape, operand.operation, threshold, [&](const PairOutcome& outcome) {
                ++pairs;
                if (outcome.combined) return;
                // Shapes of many splines have many disjoint pairs: name the
                // first few, count the rest.
                if (++uncombined > kMaxNotesPerStep) return;
                const QString effect =
                    operand.operation == carvex::Operation::SubtrB
                        ? QStringLiteral("the base spline was replaced by the operand spline")
                        : QStringLiteral("the base spline is unchanged");
                progress.message(
                    QStringLiteral("carvex: note: %1: base spline %2 and operand spline "
                                   "%3 of %4 were not combined: %5; %6")
                        .arg(step)
                        .arg(outcome.baseIndex)
                        .arg(outcome.operandIndex)
                        .arg(operand.path, pairReasonText(outcome.reason), effect));
            });
        uncombinedInAll += uncombined;
        if (uncombined > kMaxNotesPerStep)
            progress.message(QStringLiteral("carvex: note: %1: %2 more pairs of splines were not "
                                            "combined (%3 of %4 pairs in all)")
                                 .arg(step)
                                 .arg(uncombined - kMaxNotesPerStep)
                                 .arg(uncombined)
                                 .arg(pairs));
    }
    return uncombinedInAll;
}
