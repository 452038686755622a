#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QString>

#include "geometry/customflag.h"
#include "geometry/knot.h"
#include "geometry/matrix3d.h"

class Shape;
struct BezierSegment;

// The length of the segment from k to next (fastLength), taken from k's memo
// when it was measured from the same control points; measured and
// remembered otherwise.
double rememberedLength(Knot& k, const Knot& next);

// An ordered list of owned knots, open or closed, with its own frame and
// cached arc lengths. Segment i runs from knot i to knot (i + 1) mod n; the
// closing segment exists only on a closed spline.
class Spline : public QList<Knot*>, public CustomFlag {
public:
    explicit Spline(const QString& name = QStringLiteral("Spline"), bool closed = false,
                    double displayValue = -1.0, const QColor& colour = QColor(Qt::black),
                    bool displayFlag = false, const QColor& colour2 = QColor(Qt::gray));
    // Skips Deleted knots and merges a knot into its predecessor when they
    // coincide (below 1e-10); lengths are computed afresh.
    Spline(const Spline& other);
    Spline& operator=(const Spline&) = delete;
    ~Spline() override;

    // parent, closed and the style; neither knots nor frame nor name.
    void copyAttributes(const Spline& s);
    // Display attributes and the flag word, unless this spline is Deleted.
    void copyStyle(const Spline& s);
    void transformKnots(const Matrix3d& M);
    // Re-expresses the knots in a new frame without moving them in the parent.
    void setFrame(const Matrix3d& M);
    // Deletes every knot; frame identity, parent null, Deleted set, caches stale.
    void clearKnots();
    // Becomes a copy of s: every knot as it is, no merging, s's frame and attributes.
    void copyFrom(const Spline& s);
    // copyFrom for an s whose lengths were measured after its last change:
    // the copies take them over instead of being measured again, which gives
    // the same values.
    void copyFromMeasured(const Spline& s);
    // The knot at index i taken cyclically; null when the spline is empty or,
    // on an open spline, when i lies outside the list.
    Knot* knotAtWrapped(int i) const;

    // Arc-length parameterisation.
    BezierSegment segment(int i, int j) const;
    double updateLengths();
    double totalLength();
    int findSegment(double t, int& i, int& j) const;
    double localParameter(double t, int& i, int& j);
    Point3d pointAtParameter(double t);

    bool lengthsValid = false;
    double length = 0.0;
    Matrix3d frame;
    Shape* parent = nullptr;
    bool closed = false;
    QString name;

    // Display attributes: carried along, never read by the engine.
    QColor colour;
    bool displayFlag = false;
    QColor colour2;
    double displayValue = -1.0;
    double displayScale = 1.0;
    double displayWidth = 1.0;
    QPainterPath path;

private:
    void deleteKnots();
};
