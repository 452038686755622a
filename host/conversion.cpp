#include "conversion.h"

#include "assembly/assembly.h"

namespace {

Point3d widened(const Point3& p) {
    return Point3d(static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z));
}

Point3 narrowed(const Point3d& p) {
    return Point3(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
}

}  // namespace

int knotTypeFromHost(int hostType) {
    switch (hostType) {
        case KTYPE_AUTO:
            return Knot::Smooth;
        case KTYPE_CORNER:
            return Knot::Corner;
        case KTYPE_BEZIER:
            return Knot::Bezier;
        case KTYPE_BEZIER_CORNER:
            return Knot::BezierCorner;
        default:
            // The host knows no other types; keep the handles as given.
            return Knot::BezierCorner;
    }
}

int knotTypeToHost(int engineType) {
    switch (engineType) {
        case Knot::Corner:
            return KTYPE_CORNER;
        case Knot::Bezier:
            return KTYPE_BEZIER;
        case Knot::BezierCorner:
            return KTYPE_BEZIER_CORNER;
        case Knot::Smooth:
            return KTYPE_AUTO;
        default:
            return KTYPE_BEZIER_CORNER;
    }
}

Matrix3d matrixFromHost(const Matrix3& m) {
    Matrix3d d;
    for (int r = 0; r < 4; ++r) {
        const Point3 row = m.GetRow(r);
        d.m[r][0] = static_cast<double>(row.x);
        d.m[r][1] = static_cast<double>(row.y);
        d.m[r][2] = static_cast<double>(row.z);
    }
    return d;
}

void shapeFromHost(const BezierShape& source, Shape& target) {
    target.clear();
    for (int s = 0; s < source.SplineCount(); ++s) {
        const Spline3D* hostSpline = source.GetSpline(s);
        Spline spline;
        for (int k = 0; k < hostSpline->KnotCount(); ++k) {
            const SplineKnot hk = hostSpline->GetKnot(k);
            const Knot knot(widened(hk.Knot()), widened(hk.InVec()), widened(hk.OutVec()), 0.0,
                            knotTypeFromHost(hk.Ktype()));
            appendKnot(spline, knot);
        }
        spline.closed = hostSpline->Closed() != 0;
        if (spline.size() < 2) continue;
        spline.updateLengths();
        target.addSpline(new Spline(spline));
    }
}

void shapeToHost(const Shape& source, BezierShape& target) {
    target.Init();
    for (const Spline* spline : source) {
        if (spline->size() < 2) continue;
        auto* hostSpline = new Spline3D(KTYPE_AUTO, KTYPE_CORNER, PARM_UNIFORM);
        for (const Knot* knot : *spline) {
            SplineKnot hk(knotTypeToHost(knot->type),
                          knot->type == Knot::Corner ? LTYPE_LINE : LTYPE_CURVE,
                          narrowed(map(knot->point, spline->frame)),
                          narrowed(map(knot->inVec, spline->frame)),
                          narrowed(map(knot->outVec, spline->frame)), -1, -1, -1, -1.0f, -1.0f,
                          -1.0f, -1.0f, -1, -1, 0);
            hostSpline->AddKnot(hk, -1);
        }
        hostSpline->SetClosed(spline->closed ? 1 : 0);
        target.AddSpline(hostSpline);
    }
}
