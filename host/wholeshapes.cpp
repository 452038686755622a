#include "wholeshapes.h"

#include "region/region.h"
#include "shaperegion/shaperegion.h"

namespace {

carvex::Paths closedPaths(const Shape& shape) {
    carvex::Paths paths;
    carvex::RegionStatus status = carvex::RegionStatus::Ok;
    carvex::Paths all;
    // A frame that is not finite leaves no paths: the engine has nothing to read.
    if (!carvex::pathsOf(shape, &all, &status)) return paths;
    for (carvex::Path& p : all)
        if (p.closed && !p.knots.empty()) paths.push_back(std::move(p));
    return paths;
}

double signedArea(const carvex::Path& loop) {
    return carvex::enclosedArea(carvex::Paths{loop});
}

}  // namespace

WholeShapes startWholeShapes(const Shape& base) {
    WholeShapes state;
    state.region = closedPaths(base);
    return state;
}

void applyWholeOperand(WholeShapes& state, const Shape& operand, carvex::Operation op,
                       double threshold, const QString& rowName) {
    if (state.refused) return;
    carvex::RegionOptions options;
    // An answer's loops are oriented and do not overlap: either rule reads
    // them alike. The splines as drawn are read as extruders read them.
    options.fillA = state.resolved ? carvex::FillRule::NonZero : carvex::FillRule::EvenOdd;
    options.fillB = carvex::FillRule::EvenOdd;
    options.threshold = threshold;
    carvex::RegionResult result = carvex::combine(state.region, closedPaths(operand), op, options);
    if (!result.ok()) {
        state.refused = true;
        state.refusal = QStringLiteral("Left as it was: %1: %2")
                            .arg(rowName, QString::fromStdString(carvex::describe(
                                              result.status, result.first, result.second)));
        return;
    }
    state.region = std::move(result.loops);
    state.resolved = true;
    ++state.rowsApplied;
}

void finishWholeShapes(const WholeShapes& state, Shape& base) {
    if (state.refused || state.rowsApplied == 0) return;
    Shape answer = carvex::shapeOf(state.region);
    QList<Spline*> open;
    for (int i = base.size() - 1; i >= 0; --i)
        if (base[i] && !base[i]->closed) open.prepend(base.takeAt(i));
    base.clear();
    while (!answer.isEmpty())
        base.addSpline(answer.takeFirst());
    for (Spline* s : open)
        base.addSpline(s);
}

QString wholeShapesStatus(const WholeShapes& state) {
    if (state.refused) return state.refusal;
    if (state.rowsApplied == 0) return QString();
    int pieces = 0;
    int holes = 0;
    for (const carvex::Path& loop : state.region)
        (signedArea(loop) > 0 ? pieces : holes) += 1;
    if (pieces == 0 && holes == 0) return QStringLiteral("Whole shapes: the answer is empty");
    return QStringLiteral("Whole shapes: %1 %2, %3 %4")
        .arg(pieces)
        .arg(pieces == 1 ? "piece" : "pieces")
        .arg(holes)
        .arg(holes == 1 ? "hole" : "holes");
}
