#include "scene.h"
#include "shapeio/shapeio.h"

namespace standin {

namespace {

int hostKnotType(int engineType) {
    switch (engineType) {
        case Knot::Corner:
            return KTYPE_CORNER;
        case Knot::Bezier:
            return KTYPE_BEZIER;
        case Knot::Smooth:
            return KTYPE_AUTO;
        default:
            return KTYPE_BEZIER_CORNER;
    }
}

int engineKnotType(int hostType) {
    switch (hostType) {
        case KTYPE_CORNER:
            return Knot::Corner;
        case KTYPE_BEZIER:
            return Knot::Bezier;
        case KTYPE_AUTO:
            return Knot::Smooth;
        default:
            return Knot::BezierCorner;
    }
}

Point3 placed(const Point3d& p, const Spline& spline, const Shape& shape) {
    const Point3d q = map(map(p, spline.frame), shape.frame);
    return Point3(q.x, q.y, q.z);
}

Point3d widened(const Point3& p) {
    return Point3d(static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z));
}

}  // namespace

bool readHostShape(const QString& path, BezierShape& shape, QString* error) {
    Shape file;
    if (!readShapeFile(path, file, error)) return false;
    shape.Init();
    for (const Spline* s : file) {
        auto* spline = new Spline3D;
        for (const Knot* k : *s) {
            SplineKnot knot(hostKnotType(k->type),
                            k->type == Knot::Corner ? LTYPE_LINE : LTYPE_CURVE,
                            placed(k->point, *s, file), placed(k->inVec, *s, file),
                            placed(k->outVec, *s, file));
            spline->AddKnot(knot);
        }
        spline->SetClosed(s->closed ? 1 : 0);
        shape.AddSpline(spline);
    }
    shape.UpdateSels();
    return true;
}

bool writeHostShape(const QString& path, const BezierShape& shape, QString* error) {
    Shape file;
    for (int i = 0; i < shape.SplineCount(); ++i) {
        const Spline3D* s = shape.GetSpline(i);
        auto* spline = new Spline;
        for (int k = 0; k < s->KnotCount(); ++k) {
            const SplineKnot hk = s->GetKnot(k);
            spline->append(new Knot(widened(hk.Knot()), widened(hk.InVec()), widened(hk.OutVec()),
                                    0.0, engineKnotType(hk.Ktype())));
        }
        spline->closed = s->Closed() != 0;
        spline->updateLengths();
        file.addSpline(spline);
    }
    if (formatForPath(path) != ShapeFormat::Png) return writeShapeFile(path, file, error);
    // Nested splines are holes, as extruders read a shape: so it is drawn.
    AnswerStyle style;
    style.picture = PictureFill::EvenOdd;
    QByteArray png;
    QString why;
    if (!encodeAnswerFile(ShapeFormat::Png, file, style, {}, &png, &why)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return writeFilesAtomically({{path, png}}, error);
}

}  // namespace standin
