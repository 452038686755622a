#pragma once

#include <QVector>

#include "geometry/customflag.h"
#include "geometry/point3d.h"

// A polyline; as a polygon it is closed implicitly from its last point back
// to its first.
class PLine : public QVector<Point3d>, public CustomFlag {
public:
    // Length of the open polyline, cached on the point count: moving points
    // without changing their number leaves it stale.
    double length();
    // Whether p lies on the polyline within tolerance; if so, param is its
    // position as a fraction of the cached length (call length() first).
    bool locatePoint(const Point3d& p, double tolerance, double& param) const;

    double cachedLength = 0.0;
    int lengthCount = -1;
};
