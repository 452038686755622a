#include "shapeio/drawing.h"

#include <QBuffer>
#include <QPainter>
#include <algorithm>
#include <cmath>

Point3d placedPoint(const Point3d& p, const Spline& spline, const Shape& shape) {
    const Matrix3d identity;
    Point3d q = p;
    if (spline.frame != identity) q = map(q, spline.frame);
    if (shape.frame != identity) q = map(q, shape.frame);
    return q;
}

QPainterPath splinePath(const Spline& spline, const Shape& shape) {
    QPainterPath path;
    const int n = spline.size();
    if (n < 2) return path;
    auto at = [&](const Point3d& p) {
        const Point3d q = placedPoint(p, spline, shape);
        return QPointF(q.x, q.y);
    };
    path.moveTo(at(spline.at(0)->point));
    const int segments = spline.closed ? n : n - 1;
    for (int i = 0; i < segments; ++i) {
        const Knot& a = *spline.at(i);
        const Knot& b = *spline.at((i + 1) % n);
        path.cubicTo(at(a.outVec), at(b.inVec), at(b.point));
    }
    if (spline.closed) path.closeSubpath();
    return path;
}

QPainterPath painterPath(const Shape& shape) {
    QPainterPath path;
    for (const Spline* spline : shape)
        path.addPath(splinePath(*spline, shape));
    return path;
}

QRectF drawingBounds(const Shape& result, const QList<const Shape*>& inputs) {
    QRectF bounds;
    bool any = false;
    auto add = [&](const Shape& shape) {
        const QPainterPath path = painterPath(shape);
        if (path.isEmpty()) return;
        const QRectF box = path.boundingRect();
        bounds = any ? bounds.united(box) : box;
        any = true;
    };
    add(result);
    for (const Shape* input : inputs)
        if (input) add(*input);
    return bounds;
}

QRectF withMargin(const QRectF& bounds) {
    const double side = std::max(bounds.width(), bounds.height());
    if (!(side > 0.0)) return bounds.adjusted(-0.5, -0.5, 0.5, 0.5);
    const double m = side * 0.05;
    return bounds.adjusted(-m, -m, m, m);
}

namespace {

const QList<QColor>& inputTints() {
    static const QList<QColor> tints = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e),
                                        QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                                        QColor(0x8c, 0x56, 0x4b)};
    return tints;
}

}  // namespace

namespace {

// Paints onto a transparent layer of the device's size and lays it over the
// device with one opacity: overlapping regions of one shape then show as
// their union, not darker and not as holes.
template <typename Paint>
void paintLayer(QPainter& painter, double opacity, Paint paint) {
    QImage layer(painter.device()->width(), painter.device()->height(),
                 QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing, true);
    paint(p);
    p.end();
    painter.setOpacity(opacity);
    painter.drawImage(0, 0, layer);
    painter.setOpacity(1.0);
}

QList<QPainterPath> splinePaths(const Shape& shape, const QTransform& toTarget, PictureFill fill) {
    QList<QPainterPath> paths;
    if (fill == PictureFill::EvenOdd) {
        QPainterPath all = toTarget.map(painterPath(shape));
        all.setFillRule(Qt::OddEvenFill);
        if (!all.isEmpty()) paths.append(all);
        return paths;
    }
    for (const Spline* spline : shape) {
        const QPainterPath path = splinePath(*spline, shape);
        if (!path.isEmpty()) paths.append(toTarget.map(path));
    }
    return paths;
}

}  // namespace

void paintShapes(QPainter& painter, const QRectF& target, const QRectF& scene, const Shape& result,
                 const QList<const Shape*>& inputs, PictureFill fill) {
    if (scene.width() <= 0.0 || scene.height() <= 0.0) return;
    const double scale = std::min(target.width() / scene.width(), target.height() / scene.height());
    // Centre the scene in the target.
    const double dx = target.left() + (target.width() - scene.width() * scale) / 2.0;
    const double dy = target.top() + (target.height() - scene.height() * scale) / 2.0;
    QTransform toTarget;
    toTarget.translate(dx, dy);
    toTarget.scale(scale, scale);
    toTarget.translate(-scene.left(), -scene.top());

    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Every spline is a region of its own, as the engine sees it. Input
    // fills lie under the result and input outlines over it, so that the
    // inputs stay visible without muddying the result's colour.
    QList<QList<QPainterPath>> inputPaths;
    for (const Shape* input : inputs)
        inputPaths.append(input ? splinePaths(*input, toTarget, fill) : QList<QPainterPath>());
    for (int i = 0; i < inputPaths.size(); ++i) {
        const QColor tint = inputTints()[i % inputTints().size()];
        paintLayer(painter, 0.10, [&](QPainter& p) {
            for (const QPainterPath& path : inputPaths[i])
                p.fillPath(path, tint);
        });
    }
    paintLayer(painter, 0.75, [&](QPainter& p) {
        const QList<QPainterPath> paths = splinePaths(result, toTarget, fill);
        for (const QPainterPath& path : paths)
            p.fillPath(path, QColor(0xd6, 0x27, 0x28));
        p.setPen(QPen(QColor(0x80, 0x10, 0x10), 1.6));
        p.setBrush(Qt::NoBrush);
        for (const QPainterPath& path : paths)
            p.drawPath(path);
    });
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < inputPaths.size(); ++i) {
        QColor line = inputTints()[i % inputTints().size()];
        line.setAlphaF(0.6);
        painter.setPen(QPen(line, 1.0, Qt::DashLine));
        for (const QPainterPath& path : inputPaths[i])
            painter.drawPath(path);
    }
    painter.restore();
}

QImage renderPicture(const Shape& result, const QList<const Shape*>& inputs, int maxSide,
                     PictureFill fill) {
    const QRectF scene = withMargin(drawingBounds(result, inputs));
    maxSide = std::max(maxSide, 16);
    int width = maxSide;
    int height = maxSide;
    if (scene.width() > 0.0 && scene.height() > 0.0) {
        const double aspect = scene.width() / scene.height();
        if (aspect >= 1.0)
            height = std::max(16, int(std::lround(maxSide / aspect)));
        else
            width = std::max(16, int(std::lround(maxSide * aspect)));
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintShapes(painter, QRectF(0, 0, width, height), scene, result, inputs, fill);
    painter.end();
    return image;
}

bool writePng(const Shape& result, const QList<const Shape*>& inputs, QByteArray* png,
              QString* error, int maxSide, PictureFill fill) {
    const QImage image = renderPicture(result, inputs, maxSide, fill);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        if (error) *error = QStringLiteral("the picture could not be encoded as PNG");
        return false;
    }
    *png = bytes;
    return true;
}
