#include "shapeio/filleddrawing.h"

#include <cmath>

#include "shapeio/subpathbuilder.h"
#include "shaperegion/shaperegion.h"

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

carvex::Paths filledPaths(Shape& splines) {
    Shape closed;
    closed.frame = splines.frame;
    while (!splines.isEmpty()) {
        Spline* spline = splines.takeFirst();
        if (closeForFilling(*spline))
            closed.addSpline(spline);
        else
            delete spline;
    }
    carvex::Paths paths;
    carvex::pathsOf(closed, &paths, nullptr);
    return paths;
}

QString FilledDrawing::colour() const {
    return elements.empty() ? QStringLiteral("black") : elements.front().colour;
}

carvex::FillRule FilledDrawing::fill() const {
    return elements.empty() ? carvex::FillRule::NonZero : elements.front().fill;
}

Shape FilledElement::splines() const {
    Shape shape = carvex::shapeOf(paths);
    size_t next = 0;
    for (Spline* spline : shape) {
        if (!depths.empty()) {
            for (Knot* k : *spline) {
                k->point.z = depths[next++];
                k->inVec.z = depths[next++];
                k->outVec.z = depths[next++];
            }
        }
        spline->updateLengths();
    }
    return shape;
}

std::vector<double> depthsOf(const Shape& splines) {
    std::vector<double> depths;
    bool flat = true;
    for (const Spline* spline : splines)
        for (const Knot* k : *spline)
            for (double z : {k->point.z, k->inVec.z, k->outVec.z}) {
                depths.push_back(z);
                flat = flat && z == 0.0 && !std::signbit(z);
            }
    if (flat) depths.clear();
    return depths;
}

Shape FilledDrawing::allSplines() const {
    Shape all;
    for (const FilledElement& element : elements) {
        Shape shape = element.splines();
        while (!shape.isEmpty())
            all.addSpline(shape.takeFirst());
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
