#include <QTextStream>
#include <algorithm>
#include <cmath>

#include "shapeio/drawing.h"
#include "shapeio/numbertext.h"
#include "shapeio/shapecheck.h"
#include "shapeio/svgio.h"

namespace {

bool finiteShape(const Shape& shape, const QString& what, QString* error) {
    const Matrix3d identity;
    for (int s = 0; s < shape.size(); ++s) {
        const Spline& spline = *shape.at(s);
        // Asked once a spline rather than once a point: most drawings have
        // no frames, and a map has hundreds of thousands of points.
        const bool placed = spline.frame != identity || shape.frame != identity;
        for (int k = 0; k < spline.size(); ++k) {
            const Knot& knot = *spline.at(k);
            for (const Point3d& p : {knot.point, knot.inVec, knot.outVec}) {
                const Point3d q = placed ? placedPoint(p, spline, shape) : p;
                if (std::isfinite(q.x) && std::isfinite(q.y)) continue;
                if (error)
                    *error = QStringLiteral("%1 spline %2, knot %3 has a non-finite coordinate")
                                 .arg(what)
                                 .arg(s)
                                 .arg(k);
                return false;
            }
        }
    }
    return true;
}

QString tintName(int i) {
    static const char* const tints[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#9467bd", "#8c564b"};
    return QString::fromLatin1(tints[i % 5]);
}

}  // namespace

namespace {

// A spline's path data appended to out: written straight into one buffer,
// since a drawing of a hundred thousand points would otherwise build a
// string for every number and every pair.
void appendSplinePathData(std::string& out, const Spline& spline, const Shape& shape) {
    const int n = spline.size();
    // One closed knot is a curve from the knot round to itself.
    if (n == 0 || (n == 1 && !spline.closed)) return;
    const Matrix3d identity;
    const bool splineMoves = spline.frame != identity;
    const bool shapeMoves = shape.frame != identity;
    auto at = [&](const char* before, Point3d p) {
        if (splineMoves) p = map(p, spline.frame);
        if (shapeMoves) p = map(p, shape.frame);
        out += before;
        appendShortestText(out, p.x);
        out += ' ';
        appendShortestText(out, p.y);
    };
    at("M ", spline.at(0)->point);
    const int segments = spline.closed ? n : n - 1;
    for (int i = 0; i < segments; ++i) {
        const Knot& a = *spline.at(i);
        const Knot& b = *spline.at((i + 1) % n);
        // Handles with the very bits of their knots print as the same text:
        // the segment is a line, and reading L builds those handles again.
        if (sameBits(a.outVec, a.point) && sameBits(b.inVec, b.point)) {
            at(" L ", b.point);
            continue;
        }
        at(" C ", a.outVec);
        at(" ", b.inVec);
        at(" ", b.point);
    }
    if (spline.closed) out += " Z";
}

// The shape's splines' path data, one after another.
std::string pathDataText(const Shape& shape) {
    std::string d;
    for (const Spline* spline : shape) {
        const size_t before = d.size();
        if (!d.empty()) d += ' ';
        const size_t start = d.size();
        appendSplinePathData(d, *spline, shape);
        if (d.size() == start) d.resize(before);
    }
    return d;
}

}  // namespace

QString svgSplinePathData(const Spline& spline, const Shape& shape) {
    std::string d;
    appendSplinePathData(d, spline, shape);
    return QString::fromLatin1(d.data(), int(d.size()));
}

QString svgPathData(const Shape& shape) {
    const std::string d = pathDataText(shape);
    return QString::fromLatin1(d.data(), int(d.size()));
}

bool writeSvg(const Shape& result, const QList<const Shape*>& inputs, QByteArray* document,
              QString* error, PictureFill fill) {
    if (!finiteShape(result, QStringLiteral("result"), error)) return false;
    for (int i = 0; i < inputs.size(); ++i)
        if (inputs[i] && !finiteShape(*inputs[i], QStringLiteral("input %1").arg(i), error))
            return false;

    const QRectF box = withMargin(drawingBounds(result, inputs));
    // Displayed size: the larger side 800 px, the other in proportion.
    const double side = std::max(box.width(), box.height());
    const double width = std::max(1.0, std::round(800.0 * box.width() / side));
    const double height = std::max(1.0, std::round(800.0 * box.height() / side));

    QString text;
    QTextStream out(&text);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" viewBox=\""
        << shortestText(box.left()) << ' ' << shortestText(box.top()) << ' '
        << shortestText(box.width()) << ' ' << shortestText(box.height()) << "\" width=\""
        << shortestText(width) << "\" height=\"" << shortestText(height) << "\">\n";
    // One path per spline: every spline is a region of its own, and a group
    // drawn with one opacity shows overlapping regions as their union.
    auto splinePaths = [&](const Shape& shape, const char* indent, const char* attributes) {
        if (fill == PictureFill::EvenOdd) {
            const QString d = svgPathData(shape);
            if (!d.isEmpty())
                out << indent << "<path d=\"" << d << "\" fill-rule=\"evenodd\"" << attributes
                    << "/>\n";
            return;
        }
        for (const Spline* spline : shape) {
            const QString d = svgSplinePathData(*spline, shape);
            if (!d.isEmpty()) out << indent << "<path d=\"" << d << "\"" << attributes << "/>\n";
        }
    };
    // The inputs are defined once and drawn twice, fills under the result and
    // outlines over it, as in pictures. Marked as picture, they are not read
    // back as shapes: reading this file gives the result alone.
    auto useInputs = [&](const char* attributes) {
        for (int i = 0; i < inputs.size(); ++i)
            if (inputs[i])
                out << "  <use data-carvex-picture=\"input\" href=\"#input-" << i
                    << "\" xlink:href=\"#input-" << i << "\" "
                    << QString::fromLatin1(attributes).arg(tintName(i)) << "/>\n";
    };
    if (!inputs.isEmpty()) {
        out << "  <defs>\n";
        for (int i = 0; i < inputs.size(); ++i) {
            if (!inputs[i]) continue;
            out << "    <g id=\"input-" << i << "\">\n";
            splinePaths(*inputs[i], "      ", " vector-effect=\"non-scaling-stroke\"");
            out << "    </g>\n";
        }
        out << "  </defs>\n";
        useInputs("fill=\"%1\" stroke=\"none\" opacity=\"0.1\"");
    }
    out << "  <g id=\"result\" fill=\"#d62728\" stroke=\"#801010\" stroke-width=\"1.6\" "
           "opacity=\"0.75\">\n";
    splinePaths(result, "    ", " vector-effect=\"non-scaling-stroke\"");
    out << "  </g>\n";
    useInputs(
        "fill=\"none\" stroke=\"%1\" stroke-opacity=\"0.6\" stroke-width=\"1\" "
        "stroke-dasharray=\"4 3\"");
    out << "</svg>\n";
    out.flush();
    *document = text.toUtf8();
    return true;
}

bool writeAnswerSvg(const Shape& answer, const SvgAnswerLook& look, QByteArray* document,
                    QString* error) {
    if (!finiteShape(answer, QStringLiteral("result"), error)) return false;
    auto attribute = [](const char* name, const QString& value) {
        return value.isEmpty()
                   ? QString()
                   : QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value.toHtmlEscaped());
    };
    QString viewport;
    if (!look.viewport.isEmpty()) {
        viewport = attribute("viewBox", look.viewport.viewBox) +
                   attribute("width", look.viewport.width) +
                   attribute("height", look.viewport.height) +
                   attribute("preserveAspectRatio", look.viewport.preserveAspectRatio);
    } else {
        const QRectF box = drawingBounds(answer, {});
        if (box.width() > 0.0 && box.height() > 0.0)
            viewport = attribute("viewBox",
                                 QStringLiteral("%1 %2 %3 %4")
                                     .arg(shortestText(box.left()), shortestText(box.top()),
                                          shortestText(box.width()), shortestText(box.height()))) +
                       attribute("width", shortestText(box.width())) +
                       attribute("height", shortestText(box.height()));
    }
    const QString colour = look.colour.isEmpty() ? QStringLiteral("black") : look.colour;
    // The path data, the bulk of a large answer, goes in as the bytes it
    // was written to: no wide copy of it, nor a converted one.
    QByteArray text = QStringLiteral(
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\"%1>\n"
                          "  <path fill=\"%2\" fill-rule=\"%3\" d=\"")
                          .arg(viewport, colour.toHtmlEscaped(), fillRuleName(look.fill))
                          .toUtf8();
    const std::string d = pathDataText(answer);
    const char tail[] = "\"/>\n</svg>\n";
    text.reserve(text.size() + int(d.size()) + int(sizeof tail));
    text.append(d.data(), int(d.size()));
    text.append(tail);
    *document = std::move(text);
    return true;
}
