#pragma once

#include <QByteArray>
#include <QString>

#include "geometry/shape.h"
#include "region/region.h"

// The engine's own model as JSON, lossless: every double is written in its
// shortest round-trip form and reads back bit for bit.
//
//   {
//     "format": "carvex-shape",
//     "version": 1,
//     "fillRule": "nonzero",                           (optional, nonzero if absent)
//     "frame": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]],      (optional, identity if absent)
//     "splines": [
//       {"closed": true,
//        "frame": [...],                                (optional)
//        "knots": [{"point": [x,y,z], "inVec": [x,y,z], "outVec": [x,y,z], "type": 1}, ...]}
//     ]
//   }
//
// type is the knot type code: 0 Corner, 1 Bezier, 2 BezierCorner, 3 Smooth.
// Handles are kept as written whatever the type, as the engine keeps them.
// fillRule ("nonzero" or "evenodd") is the rule that fills the splines
// together, as SVG's fill-rule does.

extern const char* const kShapeJsonFormat;
constexpr int kShapeJsonVersion = 1;

// The document for shape. Fails (naming the knot) on a non-finite value,
// which JSON cannot hold.
bool writeJson(const Shape& shape, QByteArray* document, QString* error);
bool writeJson(const Shape& shape, carvex::FillRule fill, QByteArray* document, QString* error);

// Replaces the content and the frame of shape by a document written by
// writeJson. Messages read "FILE:LINE:COLUMN: what is wrong", naming the
// member for content errors ("splines[2].knots[0].point: expected an array
// of 3 numbers"). Coordinates must be at most 1e9 in magnitude, the knots
// at most kMaxShapeKnots, the values at most 2000000. shape is left as it
// was on failure.
bool readJson(const QByteArray& data, const QString& fileName, Shape& shape, QString* error);
// The same, giving the document's fill rule too (when fill is not null).
bool readJson(const QByteArray& data, const QString& fileName, Shape& shape, carvex::FillRule* fill,
              QString* error);
