#include "geometry/shape.h"

Shape::~Shape() {
    clear();
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
