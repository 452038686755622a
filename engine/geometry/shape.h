#pragma once

#include <QList>
#include <QString>

#include "geometry/customflag.h"
#include "geometry/matrix3d.h"
#include "geometry/spline.h"

// An owning list of splines with a frame of its own: the engine's
// counterpart of one host shape object. A knot's position in the parent
// space is point * spline frame * shape frame.
class Shape : public QList<Spline*>, public CustomFlag {
public:
    Shape() = default;
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;
    // Moving hands the splines over; each spline's parent follows.
    Shape(Shape&& other) noexcept;
    Shape& operator=(Shape&& other) noexcept;
    ~Shape() override;

    // Takes ownership; null is ignored. A spline must not be in two shapes.
    void addSpline(Spline* s);
    // Deletes every spline; frame and name stay.
    void clear();
    // Gives the shape frame M without moving any knot in the parent space;
    // with bake, the frames are folded into the knots and every spline frame
    // becomes the identity.
    void setFrame(const Matrix3d& M, bool bake);

    Matrix3d frame;
    QString name = QStringLiteral("Shape");
};
