#pragma once

#include <QtGlobal>

// One 32-bit flag word shared by knots, splines, polylines and shapes.
class CustomFlag {
public:
    enum : quint32 {
        // On a knot: leave it out of copies. On a spline: just emptied, so
        // style copies into it are refused until a walk refills it.
        Deleted = 4,
        // On a knot: it stands at a crossing of two splines.
        Crossing = 8,
    };

    virtual ~CustomFlag() = default;

    bool hasFlag(quint32 f) const { return (flags & f) != 0; }
    void setFlag(quint32 f) { flags |= f; }
    void clearFlag(quint32 f) { flags &= ~f; }

    quint32 flags = 0;
};
