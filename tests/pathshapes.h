#pragma once

// Straight-sided outlines as the region engine's plain paths, for tests
// that use no spline model.

#include "region/paths.h"

namespace testshapes {

// The rectangle from (x0, y0) to (x1, y1), counterclockwise, its handles
// on its knots.
inline carvex::Path box(double x0, double y0, double x1, double y1) {
    carvex::Path p;
    p.closed = true;
    for (carvex::Vec2 c :
         {carvex::Vec2{x0, y0}, carvex::Vec2{x1, y0}, carvex::Vec2{x1, y1}, carvex::Vec2{x0, y1}})
        p.knots.push_back({c, c, c, -1});
    return p;
}

}  // namespace testshapes
