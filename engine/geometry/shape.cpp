#include "geometry/shape.h"

#include <utility>

Shape::~Shape() {
    clear();
}

Shape::Shape(Shape&& other) noexcept
    : QList<Spline*>(std::move(static_cast<QList<Spline*>&>(other))),
      CustomFlag(other),
      frame(other.frame),
      name(std::move(other.name)) {
    other.QList<Spline*>::clear();
    for (Spline* s : *this)
        s->parent = this;
}

Shape& Shape::operator=(Shape&& other) noexcept {
    if (this == &other) return *this;
    clear();
    QList<Spline*>::swap(other);
    flags = other.flags;
    frame = other.frame;
    name = std::move(other.name);
    for (Spline* s : *this)
        s->parent = this;
    return *this;
}

void Shape::addSpline(Spline* s) {
    if (!s) return;
    s->parent = this;
    append(s);
}

void Shape::clear() {
    qDeleteAll(*this);
    QList<Spline*>::clear();
}

void Shape::setFrame(const Matrix3d& M, bool bake) {
    const Matrix3d d = frame * inverseOf(M);
    if (isEmpty()) {
        frame = M;
        return;
    }
    for (Spline* s : *this) {
        if (bake) s->setFrame(inverseOf(frame));
        s->frame = s->frame * d;
        if (bake) {
            s->transformKnots(s->frame);
            s->frame = Matrix3d();
        }
    }
    frame = M;
}
