#include "shapeio/strokepaint.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>
#include <cmath>

#include "shapeio/numbertext.h"

bool userLength(const QString& text, double* value) {
    const QString t = text.trimmed();
    int pos = 0;
    double number = 0.0;
    if (!scanNumber(t, pos, &number) || !std::isfinite(number)) return false;
    double scale = 1.0;
    if (!userUnitsPer(t.mid(pos).trimmed().toLower(), &scale)) return false;
    *value = number * scale;
    return true;
}

namespace {

// A dash array: lengths parted by commas or blanks, none negative; "none"
// is an empty one.
bool dashArray(const QString& text, std::vector<double>* dashes) {
    const QString t = text.trimmed();
    dashes->clear();
    if (t.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0) return true;
    const QStringList parts =
        t.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return false;
    for (const QString& part : parts) {
        double v = 0.0;
        if (!userLength(part, &v) || v < 0.0) return false;
        dashes->push_back(v);
    }
    return true;
}

}  // namespace

const char* const* strokePropertyNames() {
    static const char* const names[] = {
        "stroke",         "stroke-width",     "stroke-linejoin",   "stroke-miterlimit",
        "stroke-linecap", "stroke-dasharray", "stroke-dashoffset", nullptr};
    return names;
}

bool applyStrokeProperty(const QString& name, const QString& value, const QString& colour,
                         StrokePaint* paint) {
    const QString v = value.trimmed();
    const QString lower = v.toLower();
    carvex::StrokeStyle& style = paint->style;
    double number = 0.0;
    if (lower == QLatin1String("inherit") || lower.isEmpty()) return true;
    if (name == QLatin1String("stroke")) {
        if (lower == QLatin1String("none")) {
            paint->stroked = false;
        } else if (!colour.isEmpty()) {
            paint->stroked = true;
            paint->colour = colour;
        }
    } else if (name == QLatin1String("stroke-width")) {
        if (userLength(v, &number) && number >= 0.0) style.width = number;
    } else if (name == QLatin1String("stroke-linejoin")) {
        static const QHash<QString, carvex::LineJoin> joins = {
            {QStringLiteral("miter"), carvex::LineJoin::Miter},
            {QStringLiteral("round"), carvex::LineJoin::Round},
            {QStringLiteral("bevel"), carvex::LineJoin::Bevel},
            {QStringLiteral("miter-clip"), carvex::LineJoin::Miter},
            {QStringLiteral("arcs"), carvex::LineJoin::Miter},
        };
        const auto join = joins.constFind(lower);
        if (join != joins.constEnd()) {
            style.join = join.value();
            paint->joinReadAsMiter =
                lower == QLatin1String("miter-clip") || lower == QLatin1String("arcs") ? lower
                                                                                       : QString();
        }
    } else if (name == QLatin1String("stroke-miterlimit")) {
        // Below 1 a miter would be shorter than the pen: SVG takes none.
        bool ok = false;
        number = v.toDouble(&ok);
        if (ok && std::isfinite(number) && number >= 1.0) style.miterLimit = number;
    } else if (name == QLatin1String("stroke-linecap")) {
        if (lower == QLatin1String("butt")) style.cap = carvex::LineCap::Butt;
        if (lower == QLatin1String("round")) style.cap = carvex::LineCap::Round;
        if (lower == QLatin1String("square")) style.cap = carvex::LineCap::Square;
    } else if (name == QLatin1String("stroke-dasharray")) {
        std::vector<double> dashes;
        if (dashArray(v, &dashes)) style.dashes = dashes;
    } else if (name == QLatin1String("stroke-dashoffset")) {
        if (userLength(v, &number)) style.dashOffset = number;
    } else {
        return false;
    }
    return true;
}
