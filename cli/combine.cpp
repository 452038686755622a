#include "combine.h"

#include <QVector>

#include "boolean/boolean.h"
#include "operations.h"
#include "pairing/pairing.h"

namespace {

constexpr int kMaxNotesPerStep = 10;

struct SplineState {
    bool closed = false;
    int knots = 0;
};

QVector<SplineState> statesOf(const Shape& shape) {
    QVector<SplineState> states;
    for (const Spline* s : shape)
        states.append({s->closed, int(s->size())});
    return states;
}

// Why the engine refused a pair, told from the splines as they stood
// before the operand was applied.
QString refusalReason(int operation, const SplineState& base, const SplineState& operand) {
    if (!base.closed) return QStringLiteral("the base spline is open");
    if (!operand.closed) return QStringLiteral("the operand spline is open");
    if (base.knots < 3) return QStringLiteral("the base spline has fewer than 3 knots");
    if (operand.knots < 3) return QStringLiteral("the operand spline has fewer than 3 knots");
    if (operation == SubtrA || operation == SubtrB)
        return QStringLiteral("the outlines cross fewer than two times");
    return QStringLiteral(
        "the outlines neither cross nor lie one inside the other (the answer "
        "would be two loops), or they cross an odd number of times");
}

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
        const QVector<SplineState> baseBefore = statesOf(result);
        const QVector<SplineState> operandBefore = statesOf(*operand.shape);
        qint64 uncombined = 0;
        qint64 pairs = 0;
        applyOperandByPairs(
            result, *operand.shape, operand.operation, threshold,
            [&](int baseIndex, int operandIndex, bool combined) {
                ++pairs;
                if (combined) return;
                // Shapes of many splines have many disjoint pairs: name the
                // first few, count the rest.
                if (++uncombined > kMaxNotesPerStep) return;
                const SplineState base = baseBefore.value(baseIndex);
                const SplineState other = operandBefore.value(operandIndex);
                const QString effect =
                    operand.operation == SubtrB
                        ? QStringLiteral("the base spline was replaced by the operand spline")
                        : QStringLiteral("the base spline is unchanged");
                progress.message(
                    QStringLiteral("carvex: note: %1: base spline %2 and operand spline "
                                   "%3 of %4 were not combined: %5; %6")
                        .arg(step)
                        .arg(baseIndex)
                        .arg(operandIndex)
                        .arg(operand.path, refusalReason(operand.operation, base, other), effect));
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
