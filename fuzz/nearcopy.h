#pragma once

// Near-copies, stacks and far-off shapes for the region engine, decoded
// from bytes, and the area identities every answer must keep. Every byte
// string decodes to a case (missing bytes read as zero).
//
// Layout: u8 outline kind, u8 knots, u8 copies, u8 nudge, u8 flags, u8 seed,
// u8 place.
//   kind    0 blob, 1 star, 2 comb, 3 rounded rectangle, 4 circle
//   copies  1 to kMaxNearCopies copies of the outline, each moved one nudge
//           further than the last; some get a knot added
//   nudge   1e-9 to 1e-3 of the outline's size, log-uniform
//   flags   bit 0/1 even-odd for A/B; bit 2 A is the outline, else a square
//           over part of the stack; bit 3 the nudges turn as well as move;
//           bit 4 far from the origin; bit 5 tiny, bit 6 huge
//   place   how far off: 1e8 to 1e9

#include <cstddef>
#include <cstdint>
#include <string>

#include "geometry/shape.h"
#include "region/region.h"

// The deepest stack (count). Time grows as the copies squared, as their
// crossings do: fifty take up to two and a half minutes under the fuzzer's
// sanitizers. A smaller value builds a quicker driver.
#ifndef CARVEX_MAX_NEAR_COPIES
#define CARVEX_MAX_NEAR_COPIES 50
#endif
constexpr int kMaxNearCopies = CARVEX_MAX_NEAR_COPIES;

struct NearCopyCase {
    Shape a;
    Shape b;
    carvex::FillRule fillA = carvex::FillRule::NonZero;
    carvex::FillRule fillB = carvex::FillRule::NonZero;
    double size = 1.0;   // the outline's size
    double nudge = 0.0;  // between neighbouring copies, in the shapes' units
    int copies = 1;
    Point3d origin;       // where the shapes lie
    std::string summary;  // for a report
};

NearCopyCase decodeNearCopyCase(const std::uint8_t* data, std::size_t size);

// Empty when every answer keeps the identities; otherwise what broke.
std::string checkNearCopyCase(const NearCopyCase& c);
