#pragma once

// Shape files in and out: the formats by file name extension.
//
//   .svg   read and written; reading takes every drawn shape element,
//          writing gives cubic path data (see svgio.h)
//   .json  read and written; the engine's model, lossless (see jsonio.h)
//   .png   written only: a picture (see drawing.h)
//
// Every message names the file and, where there is one, the place in it:
// "FILE:LINE:COLUMN: ...", or for path data the offset in the attribute.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "geometry/shape.h"
#include "shapeio/svgio.h"

enum class ShapeFormat { Unknown, Svg, Json, Png };

// The format that a file name's extension names (case-insensitive).
ShapeFormat formatForPath(const QString& path);

// Replaces the content of shape by the shape file at path (.svg or .json).
// On failure shape is left as it was and error tells what is wrong where.
// A file of more than kMaxShapeFileBytes bytes or kMaxShapeKnots knots
// (shapecheck.h) is refused, so that reading and combining stay bounded.
bool readShapeFile(const QString& path, Shape& shape, QString* error);

// The file contents for shape in a format; inputs, when given, are drawn
// faintly under it (SVG and PNG; JSON holds the shape alone).
bool encodeShapeFile(ShapeFormat format, const Shape& shape, const QList<const Shape*>& inputs,
                     QByteArray* contents, QString* error);

// How an answer of the command is written: SVG as a file that can take the
// base's place (or, with preview, the picture look over faint inputs), JSON
// with the answer's fill rule, PNG always as the picture.
struct AnswerStyle {
    SvgAnswerLook look;
    bool preview = false;
    PictureFill picture = PictureFill::PerSpline;
};

bool encodeAnswerFile(ShapeFormat format, const Shape& answer, const AnswerStyle& style,
                      const QList<const Shape*>& inputs, QByteArray* contents, QString* error);

// Writes shape to path, in the format its extension names, atomically: the
// file is whole or not there at all, and an existing file is untouched when
// writing fails.
bool writeShapeFile(const QString& path, const Shape& shape, QString* error);
bool writeShapeFile(const QString& path, const Shape& shape, const QList<const Shape*>& inputs,
                    QString* error);

// The file a path to be written reaches, whether or not it exists yet:
// symbolic links and "." and ".." resolved, so that two paths name one
// file exactly when writing to them would write one file.
QString fileReachedBy(const QString& path);

// Writes several files as nearly as one step as a file system allows: every
// file is first written in full beside its target, and only when all of them
// are complete are they renamed into place. A failure before the renames
// (a missing folder, no permission, a full disk) touches no target.
bool writeFilesAtomically(const QList<QPair<QString, QByteArray>>& files, QString* error);
