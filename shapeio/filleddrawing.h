#pragma once

// A shape file read as a renderer paints it: the filled elements, each with
// the splines it draws and the rule that fills them. The region a file
// stands for is the union of its elements' regions.
//
// readShapeFile (shapeio.h) stays the plain reading, every subpath a spline
// as written, for callers that want the outlines themselves.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "geometry/shape.h"
#include "region/region.h"

// One filled element: a path or a basic shape of an SVG document, or the
// whole of a JSON document.
struct FilledElement {
    // Every subpath closed, as filling closes it (a subpath that ends on its
    // start point ends there, any other gets a straight closing segment),
    // transforms baked in, each knot tagged with its type. Plain paths cost
    // a sixth of the per-pair model's knots, which large drawings feel.
    carvex::Paths paths;
    // The z of every knot's point, in and out handle, knot after knot, where
    // the file gives any other than +0 (JSON only): the per-pair model
    // carries z along. Empty for a flat drawing.
    std::vector<double> depths;
    carvex::FillRule fill = carvex::FillRule::NonZero;
    // The fill paint as a colour SVG understands ("#336699", "red",
    // "rgb(0,0,255)"); black when none is given or the paint is a gradient
    // or pattern without a fallback colour.
    QString colour = QStringLiteral("black");

    // The paths as splines of the per-pair model, their lengths measured.
    Shape splines() const;
};

// The root element's viewport attributes, as written; empty when absent.
struct SvgViewport {
    QString viewBox;
    QString width;
    QString height;
    QString preserveAspectRatio;

    bool isEmpty() const { return viewBox.isEmpty() && width.isEmpty() && height.isEmpty(); }
};

struct FilledDrawing {
    std::vector<FilledElement> elements;
    // Elements that draw no region and were left out, one sentence each,
    // starting "FILE:LINE:COLUMN: ".
    QStringList notes;
    SvgViewport viewport;

    // The colour of the first filled element, black when there is none.
    QString colour() const;
    // The fill rule of the first filled element, nonzero when there is none.
    carvex::FillRule fill() const;
    // Every spline of every element in one shape, in file order (copies).
    Shape allSplines() const;
};

// Closes an open spline as filling does: one that ends on its start point
// ends there (the repeated knot goes, its incoming handle kept), any other
// gets a straight closing segment. False, leaving it open, when nothing is
// left to fill (fewer than two knots, or one segment from a point back to
// itself).
bool closeForFilling(Spline& spline);

// The paths that splines fill: each closed as closeForFilling closes it,
// those with nothing to fill left out, frames applied. Takes the splines.
carvex::Paths filledPaths(Shape& splines);

// FilledElement::depths for splines with identity frames.
std::vector<double> depthsOf(const Shape& splines);

// The SVG fill-rule keyword for a rule, and back (false for anything else).
QString fillRuleName(carvex::FillRule rule);
bool fillRuleFromName(const QString& name, carvex::FillRule* rule);

// Reads an SVG document: every path, rect, circle, ellipse, polygon and
// polyline that is filled becomes one element, with fill, fill-rule and
// color taken from presentation attributes and the style attribute and
// inherited through groups, and transforms baked in as readSvg does.
// Elements with fill none, lines (which enclose nothing), and elements made
// invisible are left out with a note; display none (attribute or style)
// draws nothing and is skipped quietly. Errors as readSvg; a document whose
// elements are all left out reads as an empty region with notes.
bool readSvgDrawing(const QByteArray& data, const QString& fileName, FilledDrawing* drawing,
                    QString* error);

// Reads .svg as readSvgDrawing and .json as one element with the
// document's fill rule, with readShapeFile's limits and messages.
bool readFilledDrawing(const QString& path, FilledDrawing* drawing, QString* error);
