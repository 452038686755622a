#include "shapeio/filleddrawing.h"

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
