#include "geometry/spline.h"

#include <cmath>

#include "intersection/beziersegment.h"

Spline::Spline(const QString& n, bool c, double dv, const QColor& col, bool df, const QColor& col2)
    : closed(c), name(n), colour(col), displayFlag(df), colour2(col2), displayValue(dv) {}

Spline::Spline(const Spline& s) : QList<Knot*>(), CustomFlag() {
    flags = s.flags;
    for (const Knot* k : s) {
        if (k->hasFlag(Deleted)) continue;
        if (!isEmpty() && distance(last()->point, k->point) < 1e-10) {
            last()->outVec = k->outVec;
        } else {
            append(new Knot(*k));
        }
    }
    copyAttributes(s);
    name = s.name;
    frame = s.frame;
    updateLengths();
}

Spline::~Spline() {
    deleteKnots();
}

void Spline::deleteKnots() {
    qDeleteAll(*this);
    QList<Knot*>::clear();
}

void Spline::copyAttributes(const Spline& s) {
    parent = s.parent;
    closed = s.closed;
    copyStyle(s);
}

void Spline::copyStyle(const Spline& s) {
    if (hasFlag(Deleted)) return;
    colour = s.colour;
    colour2 = s.colour2;
    displayFlag = s.displayFlag;
    displayValue = s.displayValue;
    displayScale = s.displayScale;
    displayWidth = s.displayWidth;
    flags = s.flags;
}

void Spline::transformKnots(const Matrix3d& M) {
    for (Knot* k : *this)
        k->transform(M);
}

void Spline::setFrame(const Matrix3d& M) {
    transformKnots(frame * inverseOf(M));
    frame = M;
}

void Spline::clearKnots() {
    deleteKnots();
    frame = Matrix3d();
    parent = nullptr;
    setFlag(Deleted);
    lengthsValid = false;
}

void Spline::copyFrom(const Spline& s) {
    if (&s == this) return;
    deleteKnots();
    for (const Knot* k : s)
        append(new Knot(*k));
    frame = s.frame;
    copyAttributes(s);
    updateLengths();
}

Knot* Spline::knotAtWrapped(int i) const {
    const int n = size();
    if (n == 0) return nullptr;
    int w = i % n;
    if (w < 0) w += n;
    if (w != i && !closed) return nullptr;
    return at(w);
}

BezierSegment Spline::segment(int i, int j) const {
    const Knot* a = at(i);
    const Knot* b = at(j);
    return {a->point, a->outVec, b->inVec, b->point};
}

double Spline::updateLengths() {
    lengthsValid = false;
    const int n = size();
    if (n == 0) return 0.0;
    length = 0.0;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        Knot* k = at(i);
        if (j == 0 && !closed) {
            k->segLength = 0.0;
            k->lengthBefore = length;
        } else {
            k->segLength = segment(i, j).length();
            k->lengthBefore = length;
            length += k->segLength;
        }
    }
    if (!(length > 0.001)) return length;
    for (Knot* k : *this)
        k->param = k->lengthBefore / length;
    lengthsValid = true;
    return length;
}

double Spline::totalLength() {
    if (std::isnan(length)) updateLengths();
    return length;
}

int Spline::findSegment(double t, int& i, int& j) const {
    const int n = size();
    for (int a = 0; a < n; ++a) {
        const int b = (a + 1) % n;
        if (t >= at(a)->param && (at(b)->param >= t || (b < a && closed))) {
            i = a;
            j = b;
            return a;
        }
    }
    return -1;
}

double Spline::localParameter(double t, int& i, int& j) {
    const int n = size();
    if (n == 0) {
        i = j = -1;
        return 0.0;
    }
    if (!lengthsValid) updateLengths();
    if (closed) {
        // The same as adding or subtracting 1 one step at a time (each step is
        // exact below 2^52), without a loop that a huge t would never leave.
        if (t < 0.0) t += std::ceil(-t);
        if (t > 1.0) t -= std::ceil(t) - 1.0;
    } else if (t < 0.0) {
        t = 0.0;
    } else if (t > 1.0) {
        t = 1.0;
    }
    if (t > 0.0 && t < 1.0) {
        if (findSegment(t, i, j) >= 0)
            return segment(i, j).parameterAtLength((t - at(i)->param) * length, 1e-10);
        // Only stale parameters (an open spline too short to measure) get
        // here: take the start of the first segment.
        i = 0;
        j = n > 1 ? 1 : 0;
        return 0.0;
    }
    if (t < 0.5) {
        i = 0;
        j = n > 1 ? 1 : 0;
        return 0.0;
    }
    if (closed || n < 2) {
        i = n - 1;
        j = 0;
    } else {
        i = n - 2;
        j = n - 1;
    }
    return 1.0;
}

Point3d Spline::pointAtParameter(double t) {
    int i;
    int j;
    const double u = localParameter(t, i, j);
    if (i < 0) return Point3d();
    return segment(i, j).pointAt(u);
}
