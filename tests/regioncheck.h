#pragma once

// Checks of a region answer that share no code with the engine: a raster
// comparison with the region computed pixel by pixel from the inputs, a
// search for loops that cross themselves or each other on a fine
// flattening, and the orientation of outer loops and holes.

#include <string>

#include "drawnshapes.h"
#include "shaperegion/shaperegion.h"

namespace regioncheck {

struct RasterReport {
    int size = 0;            // the picture is size x size pixels
    int compared = 0;        // pixels outside the boundary band
    int expectedFilled = 0;  // of those, pixels the expected region covers
    int wrongNonZero = 0;    // compared pixels where the answer filled nonzero differs
    int wrongEvenOdd = 0;    // the same with the answer filled even-odd
    bool ok() const { return wrongNonZero == 0 && wrongEvenOdd == 0; }
    std::string text() const;
};

// Whether a point inside both, either, ... belongs to the answer of op.
bool inResult(bool inA, bool inB, carvex::Operation op);

// Fills each input with its own fill rule into a mask, combines the masks
// pixel by pixel with op, fills the answer with both fill rules, and counts
// the pixels that differ, leaving out a band of `band` pixels either side
// of the inputs' outlines (where rasterising the same curve twice may
// differ). The view holds the inputs and the answer.
RasterReport rasterCompare(const Shape& a, carvex::FillRule fillA, const Shape& b,
                           carvex::FillRule fillB, carvex::Operation op, const Shape& answer,
                           int size = 400, double band = 2.0);

// Empty when no loop of the answer crosses itself or another loop; else a
// description of the first crossing found. Loops are flattened to within
// 1e-6 of their extent; a crossing must reach more than a few times that
// beyond the other outline to count, so touching at points and along
// edges passes and crossings at angles below about a fifth of a degree may
// go unseen.
std::string findCrossing(const Shape& answer);

// Empty when every loop nested in an even number of other loops runs
// counterclockwise and every other loop clockwise, and no loop has zero
// area; else what is wrong.
std::string checkOrientation(const Shape& answer);

// The area an answer of non-crossing loops covers when filled even-odd,
// whatever the loops' directions: loops inside an even number of others
// add their area, the rest take it away. For answers whose orientation
// follows another convention.
double evenOddArea(const Shape& answer);

}  // namespace regioncheck
