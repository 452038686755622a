#pragma once

// The stroke properties of SVG as an element inherits them: whether it is
// stroked, and the pen (width, joins, caps, dashes) in its user units.

#include <QString>

#include "region/stroke.h"

struct StrokePaint {
    bool stroked = false;
    QString colour = QStringLiteral("black");
    carvex::StrokeStyle style;
    // A join this reader draws as a miter ("miter-clip", "arcs"); empty
    // when the join is drawn as written.
    QString joinReadAsMiter;
};

// A length in user units: a number with no unit or px, pt, pc, mm, cm or
// in. False for anything else (percentages and font-relative units too).
bool userLength(const QString& text, double* value);

// Applies one stroke property (stroke, stroke-width, stroke-linejoin,
// stroke-miterlimit, stroke-linecap, stroke-dasharray, stroke-dashoffset)
// to paint; colour is what the stroke paint's colour would be for a paint
// of that text (empty when it is none of SVG's colours). Values this reader
// does not take leave the inherited ones, as an invalid property value
// does. False when name is not a stroke property.
bool applyStrokeProperty(const QString& name, const QString& value, const QString& colour,
                         StrokePaint* paint);

// The stroke property names applyStrokeProperty takes, in the order they
// are applied.
const char* const* strokePropertyNames();
