#pragma once

// A shape file as one region: what a renderer paints of it, the same for the
// command, the library, Python and the stand-in host.

#include <QString>
#include <QStringList>
#include <vector>

#include "geometry/shape.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/shapeio.h"
#include "shaperegion/shaperegion.h"

// A region: splines and the rule that fills them.
struct FileRegion {
    Shape shape;
    carvex::FillRule fill = carvex::FillRule::NonZero;
};

// The region of a drawing, the union of its elements' regions: one element
// is taken as it is, with its own rule; several are each resolved under
// their own rule, and their loops (outer boundaries one way, holes the
// other) together fill their union under nonzero. False when an element
// cannot be resolved, with an error naming fileName and the reason.
bool regionOfDrawing(const FilledDrawing& drawing, const QString& fileName, double threshold,
                     FileRegion* region, QString* error);

// The same region as loops that neither cross nor overlap (outer boundaries
// counterclockwise, holes clockwise): every element resolved under its own
// rule and all of them united in one pass, the elements let go of as the
// pass reads them. False with the error, naming fileName, when the engine
// refuses.
bool dissolveDrawing(std::vector<FilledElement>&& elements, const QString& fileName,
                     double threshold, Shape* region, QString* error);

// Reads a .svg or .json file as the region it paints (readFilledDrawing,
// then regionOfDrawing). The sentences about elements left out go to
// *notes when given. False with the error, naming the file and the place.
bool readFileRegion(const QString& path, double threshold, FileRegion* region, QStringList* notes,
                    QString* error);

// The file contents that stand for a region, as the command writes its
// answers: SVG as one path under the region's rule (so that reading it back
// gives the same region), JSON with the rule, PNG as the picture.
bool encodeRegionFile(ShapeFormat format, const FileRegion& region, QByteArray* contents,
                      QString* error);

// Writes a region to path, in the format its extension names, whole or not
// at all.
bool writeRegionFile(const QString& path, const FileRegion& region, QString* error);
