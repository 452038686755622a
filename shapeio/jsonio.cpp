#include "shapeio/jsonio.h"

#include <cmath>
#include <cstring>

#include "shapeio/filleddrawing.h"
#include "shapeio/jsontext.h"
#include "shapeio/numbertext.h"
#include "shapeio/shapecheck.h"
#include "shapeio/textplace.h"

const char* const kShapeJsonFormat = "carvex-shape";

namespace {

QString numberText(double v, bool* ok) {
    if (!std::isfinite(v)) *ok = false;
    QString t = shortestText(v);
    // "-0" would read back as the integer 0 and lose its sign.
    if (v == 0.0 && std::signbit(v)) t = QStringLiteral("-0.0");
    return t;
}

QString tripleText(const Point3d& p, bool* ok) {
    return QLatin1Char('[') + numberText(p.x, ok) + QStringLiteral(", ") + numberText(p.y, ok) +
           QStringLiteral(", ") + numberText(p.z, ok) + QLatin1Char(']');
}

QString frameText(const Matrix3d& m, bool* ok) {
    QStringList rows;
    for (const auto& row : m.m)
        rows.append(tripleText({row[0], row[1], row[2]}, ok));
    return QLatin1Char('[') + rows.join(QStringLiteral(", ")) + QLatin1Char(']');
}

struct JsonFailure {
    int offset = 0;
    QString where;
    QString what;
};

bool failAt(const JsonValue& value, const QString& where, const QString& what,
            JsonFailure* failure) {
    *failure = {value.offset, where, what};
    return false;
}

bool readTriple(const JsonValue& value, const QString& where, Point3d* p, JsonFailure* failure) {
    const auto& a = value.items;
    if (value.kind != JsonValue::Array || a.size() != 3 || a[0].kind != JsonValue::Number ||
        a[1].kind != JsonValue::Number || a[2].kind != JsonValue::Number)
        return failAt(value, where, QStringLiteral("expected an array of 3 numbers"), failure);
    *p = Point3d(a[0].number, a[1].number, a[2].number);
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(a[i].number) > kMaxFileCoordinate)
            return failAt(a[i], where,
                          QStringLiteral("coordinate %1 is beyond the accepted magnitude of 1e9")
                              .arg(shortestText(a[i].number)),
                          failure);
    }
    return true;
}

// A member that must be there; a missing one is reported at its object.
const JsonValue& required(const JsonValue& object, const char* key, bool* missing) {
    static const JsonValue absent;
    const JsonValue* v = object.member(QLatin1String(key));
    *missing = v == nullptr;
    return v ? *v : absent;
}

// A frame is left out only when it is the identity to the bit: a -0 that
// compares equal to 0 must still come back as -0.
bool isIdentityBits(const Matrix3d& frame) {
    const Matrix3d identity;
    return std::memcmp(frame.m, identity.m, sizeof frame.m) == 0;
}

bool readFrame(const JsonValue& object, const QString& where, Matrix3d* frame,
               JsonFailure* failure) {
    *frame = Matrix3d();
    const JsonValue* value = object.member(QStringLiteral("frame"));
    if (!value) return true;
    const QString place =
        where.isEmpty() ? QStringLiteral("frame") : where + QStringLiteral(".frame");
    if (value->kind != JsonValue::Array || value->items.size() != 4)
        return failAt(*value, place, QStringLiteral("expected 4 rows of 3 numbers"), failure);
    for (int r = 0; r < 4; ++r) {
        Point3d row;
        if (!readTriple(value->items[r], place + QStringLiteral("[%1]").arg(r), &row, failure))
            return false;
        frame->m[r][0] = row.x;
        frame->m[r][1] = row.y;
        frame->m[r][2] = row.z;
    }
    return true;
}

bool readKnot(const JsonValue& value, const QString& where, Spline& spline, JsonFailure* failure) {
    if (value.kind != JsonValue::Object)
        return failAt(value, where, QStringLiteral("expected a knot object"), failure);
    Point3d handles[3];
    const char* names[3] = {"point", "inVec", "outVec"};
    for (int i = 0; i < 3; ++i) {
        const QString place = where + QLatin1Char('.') + QLatin1String(names[i]);
        bool missing = false;
        const JsonValue& v = required(value, names[i], &missing);
        if (missing) return failAt(value, place, QStringLiteral("missing"), failure);
        if (!readTriple(v, place, &handles[i], failure)) return false;
    }
    bool missing = false;
    const JsonValue& type = required(value, "type", &missing);
    const QString typePlace = where + QStringLiteral(".type");
    if (missing) return failAt(value, typePlace, QStringLiteral("missing"), failure);
    const double t = type.number;
    if (type.kind != JsonValue::Number || !(t == 0 || t == 1 || t == 2 || t == 3))
        return failAt(type, typePlace, QStringLiteral("expected a knot type 0, 1, 2 or 3"),
                      failure);
    // Constructed as a non-Corner knot so that the handles stay as written: a
    // Corner knot of the engine's results may have moved handles.
    auto knot = new Knot(handles[0], handles[1], handles[2], 0.0, Knot::BezierCorner);
    knot->type = int(t);
    spline.append(knot);
    return true;
}

bool readShape(const JsonValue& root, Shape& shape, carvex::FillRule* fill, JsonFailure* failure) {
    if (root.kind != JsonValue::Object)
        return failAt(root, QStringLiteral("document"), QStringLiteral("expected an object"),
                      failure);
    bool missing = false;
    const JsonValue& format = required(root, "format", &missing);
    if (format.kind != JsonValue::String || format.string != QLatin1String(kShapeJsonFormat))
        return failAt(missing ? root : format, QStringLiteral("format"),
                      QStringLiteral("expected \"%1\": not a Carvex shape file")
                          .arg(QLatin1String(kShapeJsonFormat)),
                      failure);
    const JsonValue& version = required(root, "version", &missing);
    if (version.kind != JsonValue::Number || version.number != kShapeJsonVersion)
        return failAt(missing ? root : version, QStringLiteral("version"),
                      QStringLiteral("version %1 is not supported (expected %2)")
                          .arg(version.kind == JsonValue::Number ? shortestText(version.number)
                               : missing                         ? QStringLiteral("(missing)")
                                                                 : QStringLiteral("(not a number)"))
                          .arg(kShapeJsonVersion),
                      failure);
    if (!readFrame(root, QString(), &shape.frame, failure)) return false;
    *fill = carvex::FillRule::NonZero;
    if (const JsonValue* rule = root.member(QStringLiteral("fillRule"))) {
        if (rule->kind != JsonValue::String || !fillRuleFromName(rule->string, fill))
            return failAt(*rule, QStringLiteral("fillRule"),
                          QStringLiteral("expected \"nonzero\" or \"evenodd\""), failure);
    }
    const JsonValue& splines = required(root, "splines", &missing);
    if (splines.kind != JsonValue::Array)
        return failAt(missing ? root : splines, QStringLiteral("splines"),
                      QStringLiteral("expected an array of splines"), failure);
    int knotCount = 0;
    for (int s = 0; s < splines.items.size(); ++s) {
        const JsonValue& o = splines.items[s];
        const QString where = QStringLiteral("splines[%1]").arg(s);
        if (o.kind != JsonValue::Object)
            return failAt(o, where, QStringLiteral("expected a spline object"), failure);
        const JsonValue& closed = required(o, "closed", &missing);
        if (closed.kind != JsonValue::Bool)
            return failAt(missing ? o : closed, where + QStringLiteral(".closed"),
                          QStringLiteral("expected true or false"), failure);
        const JsonValue& knots = required(o, "knots", &missing);
        if (knots.kind != JsonValue::Array)
            return failAt(missing ? o : knots, where + QStringLiteral(".knots"),
                          QStringLiteral("expected an array of knots"), failure);
        knotCount += knots.items.size();
        if (knotCount > kMaxShapeKnots)
            return failAt(knots, where + QStringLiteral(".knots"), tooManyKnotsMessage(), failure);
        auto spline = new Spline();
        shape.addSpline(spline);
        spline->closed = closed.boolean;
        if (!readFrame(o, where, &spline->frame, failure)) return false;
        for (int k = 0; k < knots.items.size(); ++k)
            if (!readKnot(knots.items[k], where + QStringLiteral(".knots[%1]").arg(k), *spline,
                          failure))
                return false;
        spline->updateLengths();
    }
    return true;
}

}  // namespace

bool writeJson(const Shape& shape, QByteArray* document, QString* error) {
    return writeJson(shape, carvex::FillRule::NonZero, document, error);
}

bool writeJson(const Shape& shape, carvex::FillRule fill, QByteArray* document, QString* error) {
    bool ok = true;
    QString text =
        QStringLiteral("{\n  \"format\": \"%1\",\n  \"version\": %2,\n  \"fillRule\": \"%3\",\n")
            .arg(QLatin1String(kShapeJsonFormat))
            .arg(kShapeJsonVersion)
            .arg(fillRuleName(fill));
    if (!isIdentityBits(shape.frame))
        text +=
            QStringLiteral("  \"frame\": ") + frameText(shape.frame, &ok) + QStringLiteral(",\n");
    text += QStringLiteral("  \"splines\": [");
    for (int s = 0; s < shape.size(); ++s) {
        const Spline& spline = *shape.at(s);
        text += s == 0 ? QStringLiteral("\n") : QStringLiteral(",\n");
        text += QStringLiteral("    {\n      \"closed\": %1,\n")
                    .arg(spline.closed ? QStringLiteral("true") : QStringLiteral("false"));
        if (!isIdentityBits(spline.frame))
            text += QStringLiteral("      \"frame\": ") + frameText(spline.frame, &ok) +
                    QStringLiteral(",\n");
        text += QStringLiteral("      \"knots\": [");
        for (int k = 0; k < spline.size(); ++k) {
            const Knot& knot = *spline.at(k);
            text += k == 0 ? QStringLiteral("\n") : QStringLiteral(",\n");
            text += QStringLiteral("        {\"point\": ") + tripleText(knot.point, &ok) +
                    QStringLiteral(", \"inVec\": ") + tripleText(knot.inVec, &ok) +
                    QStringLiteral(", \"outVec\": ") + tripleText(knot.outVec, &ok) +
                    QStringLiteral(", \"type\": ") + QString::number(knot.type) + QLatin1Char('}');
            if (!ok) {
                if (error)
                    *error = QStringLiteral(
                                 "spline %1, knot %2 has a non-finite coordinate, "
                                 "which JSON cannot hold")
                                 .arg(s)
                                 .arg(k);
                return false;
            }
        }
        text += spline.isEmpty() ? QStringLiteral("]\n    }") : QStringLiteral("\n      ]\n    }");
    }
    text += shape.isEmpty() ? QStringLiteral("]\n}\n") : QStringLiteral("\n  ]\n}\n");
    if (!ok) {
        if (error) *error = QStringLiteral("a frame holds a non-finite value");
        return false;
    }
    *document = text.toUtf8();
    return true;
}

bool readJson(const QByteArray& data, const QString& fileName, Shape& shape, QString* error) {
    return readJson(data, fileName, shape, nullptr, error);
}

bool readJson(const QByteArray& data, const QString& fileName, Shape& shape, carvex::FillRule* fill,
              QString* error) {
    const QString text = decodeText(data);
    TextPlaceFinder places(text);
    auto fail = [&](int offset, const QString& message) {
        const TextPlace place = places.at(offset);
        if (error)
            *error = QStringLiteral("%1:%2:%3: %4")
                         .arg(fileName)
                         .arg(place.line)
                         .arg(place.column)
                         .arg(message);
        return false;
    };
    JsonValue root;
    JsonSyntaxError syntax;
    if (!parseJsonText(text, &root, &syntax))
        return fail(syntax.offset, QStringLiteral("JSON error: ") + syntax.message);
    Shape parsed;
    carvex::FillRule parsedFill = carvex::FillRule::NonZero;
    JsonFailure failure;
    if (!readShape(root, parsed, &parsedFill, &failure))
        return fail(failure.offset, failure.where + QStringLiteral(": ") + failure.what);
    shape.clear();
    shape.frame = parsed.frame;
    while (!parsed.isEmpty())
        shape.addSpline(parsed.takeFirst());
    if (fill) *fill = parsedFill;
    return true;
}
