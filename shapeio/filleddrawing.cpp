#include "shapeio/filleddrawing.h"

#include "shapeio/subpathbuilder.h"

// An open spline's end knots have their handles on their points already,
// so the closing segment is straight.
bool closeForFilling(Spline& spline) {
    if (spline.closed) return true;
    if (spline.size() < 2) return false;
    if (distance(spline.last()->point, spline.first()->point) < 1e-10) {
        if (spline.size() == 2) return false;  // one segment from a point back to it
        spline.first()->inVec = spline.last()->inVec;
        delete spline.takeLast();
    }
    Knot& first = *spline.first();
    first.type = knotTypeFor(first.point, first.inVec, first.outVec);
    spline.closed = true;
    return true;
}

QString FilledDrawing::colour() const {
    return elements.empty() ? QStringLiteral("black") : elements.front().colour;
}

carvex::FillRule FilledDrawing::fill() const {
    return elements.empty() ? carvex::FillRule::NonZero : elements.front().fill;
}

Shape FilledDrawing::allSplines() const {
    Shape all;
    for (const FilledElement& element : elements) {
        for (const Spline* s : element.shape) {
            auto copy = new Spline();
            copy->copyFrom(*s);
            all.addSpline(copy);
        }
    }
    return all;
}

QString fillRuleName(carvex::FillRule rule) {
    return rule == carvex::FillRule::EvenOdd ? QStringLiteral("evenodd")
                                             : QStringLiteral("nonzero");
}

bool fillRuleFromName(const QString& name, carvex::FillRule* rule) {
    if (name == QLatin1String("nonzero")) {
        *rule = carvex::FillRule::NonZero;
        return true;
    }
    if (name == QLatin1String("evenodd")) {
        *rule = carvex::FillRule::EvenOdd;
        return true;
    }
    return false;
}
