#pragma once

#include <QList>

#include "geometry/point3d.h"

// One place where two splines meet. Made by the segment intersection with
// positions along the two segment polylines; the finder turns them into knot
// indices and spline parameters.
struct Intersection {
    int indexA = -1;
    int indexB = -1;
    // Along the segment polyline when made; the knot's spline parameter
    // after the finder.
    double paramA = 0.0;
    double paramB = 0.0;
    // Arc length along each segment's polyline from its start to the point.
    double lengthA = 0.0;
    double lengthB = 0.0;
    Point3d point;
};

// An ordered list that owns its records: clearing or destroying it deletes
// them, copying it copies them.
class IntersectionList : public QList<Intersection*> {
public:
    IntersectionList() = default;
    IntersectionList(const IntersectionList& other) : QList<Intersection*>() {
        appendCopies(other);
    }
    IntersectionList(IntersectionList&& other) noexcept : QList<Intersection*>() { swap(other); }
    IntersectionList& operator=(const IntersectionList& other) {
        if (this != &other) {
            clear();
            appendCopies(other);
        }
        return *this;
    }
    IntersectionList& operator=(IntersectionList&& other) noexcept {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    ~IntersectionList() { clear(); }

    void clear() {
        qDeleteAll(*this);
        QList<Intersection*>::clear();
    }

private:
    void appendCopies(const IntersectionList& other) {
        for (const Intersection* r : other)
            append(new Intersection(*r));
    }
};
