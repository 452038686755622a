#include "geometry/spline.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "geometry/algorithm.h"

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

namespace {

// map(p, identity) without the arithmetic: for finite coordinates the sums
// leave every value as it is, except that -0 comes out as +0.
bool identityMoves(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const std::uint64_t exponent = 0x7ff0000000000000u;
    return (bits & exponent) == exponent || bits == 0x8000000000000000u;
}

void mapByIdentity(Point3d& p, const Matrix3d& identity) {
    if (!(identityMoves(p.x) || identityMoves(p.y) || identityMoves(p.z))) return;
    if (!(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))) {
        p = map(p, identity);
        return;
    }
    p = {p.x == 0.0 ? 0.0 : p.x, p.y == 0.0 ? 0.0 : p.y, p.z == 0.0 ? 0.0 : p.z};
}

}  // namespace

void Spline::transformKnots(const Matrix3d& M) {
    static const Matrix3d identity;
    if (!literalAlgorithm() && std::memcmp(&M, &identity, sizeof identity) == 0) {
        for (Knot* k : *this) {
            mapByIdentity(k->point, identity);
            mapByIdentity(k->inVec, identity);
            mapByIdentity(k->outVec, identity);
        }
        return;
    }
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

void Spline::copyFromMeasured(const Spline& s) {
    if (&s == this) return;
    // Measuring no knots changes no length: nothing to take over.
    if (s.isEmpty()) {
        copyFrom(s);
        return;
    }
    deleteKnots();
    for (const Knot* k : s) {
        auto* copy = new Knot(*k);
        copy->segLength = k->segLength;
        copy->lengthBefore = k->lengthBefore;
        append(copy);
    }
    frame = s.frame;
    copyAttributes(s);
    length = s.length;
    lengthsValid = s.lengthsValid;
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

namespace {}  // namespace

double rememberedLength(Knot& k, const Knot& next) {
    Knot::LengthMemo& memo = k.lengthMemo;
    if (memo.valid && sameBits(memo.controlPoints[0], k.point) &&
        sameBits(memo.controlPoints[1], k.outVec) && sameBits(memo.controlPoints[2], next.inVec) &&
        sameBits(memo.controlPoints[3], next.point))
        return memo.length;
    memo.length = fastLength({k.point, k.outVec, next.inVec, next.point});
    memo.controlPoints[0] = k.point;
    memo.controlPoints[1] = k.outVec;
    memo.controlPoints[2] = next.inVec;
    memo.controlPoints[3] = next.point;
    memo.valid = true;
    return memo.length;
}

double Spline::updateLengths() {
    lengthsValid = false;
    const bool literal = literalAlgorithm();
    const int n = size();
    if (n == 0) return 0.0;
    length = 0.0;
    if (literal) {
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
    } else {
        // The same sums in the same order. A list of pointers keeps them in
        // one array; reading it const does not detach a shared list.
        Knot* const* knots = &*constBegin();
        for (int i = 0; i < n; ++i) {
            const int j = i + 1 == n ? 0 : i + 1;
            Knot* k = knots[i];
            if (j == 0 && !closed) {
                k->segLength = 0.0;
                k->lengthBefore = length;
            } else {
                k->segLength = rememberedLength(*k, *knots[j]);
                k->lengthBefore = length;
                length += k->segLength;
            }
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
        const int b = a + 1 == n ? 0 : a + 1;
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
        if (findSegment(t, i, j) >= 0) {
            const double s = (t - at(i)->param) * length;
            return literalAlgorithm() ? segment(i, j).parameterAtLength(s, 1e-10)
                                      : fastParameterAtLength(segment(i, j), s, 1e-10);
        }
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
