// The crossing search's caps: inputs that reach them are refused with the
// cap and the segments named, never answered in part.

#include <gtest/gtest.h>

#include <cmath>

#include "regionshapes.h"
#include "shaperegion/shaperegion.h"

using namespace carvex;

namespace {

// The shape turned by angle about (cx, cy) and scaled about it.
Shape turned(const Shape& s, double angle, double cx, double cy, double scale) {
    auto place = [&](const Point3d& p) {
        const double x = p.x - cx;
        const double y = p.y - cy;
        return Point3d(cx + scale * (std::cos(angle) * x - std::sin(angle) * y),
                       cy + scale * (std::sin(angle) * x + std::cos(angle) * y), 0.0);
    };
    Shape out;
    for (const Spline* sp : s) {
        auto* copy = new Spline();
        copy->copyFrom(*sp);
        for (Knot* k : *copy) {
            k->point = place(k->point);
            k->inVec = place(k->inVec);
            k->outVec = place(k->outVec);
        }
        out.addSpline(copy);
    }
    return out;
}

ShapeResult nearCopyUnion(double angle, double scale, double threshold) {
    const Shape disc = shapeOf(circle(0, 0, 1));
    RegionOptions options;
    options.threshold = threshold;
    return combine(disc, turned(disc, angle, 1, 0, scale), Operation::Union, options);
}

}  // namespace

// A disc and its copy turned about a point of its rim run within the merge
// distance of each other along a stretch and touch all along it: the search
// runs into a cap, and the pieces, within twice the merge distance from end
// to end, are taken as sharing the stretch. Turned by 3e-3 the centres lie
// 3e-3 apart and the union is the disc grown by that much across.
TEST(RegionCaps, ANearCopyTouchingAllAlongIsTakenAsSharingTheStretch) {
    const ShapeResult r = nearCopyUnion(3e-3, 1.0, 1e-4);
    ASSERT_TRUE(r.ok()) << describe(r).toStdString();
    const double disc = exactArea(*circle(0, 0, 1));
    EXPECT_NEAR(enclosedArea(r.shape), disc + 2.0 * 2.0 * std::sin(1.5e-3), 1e-4);
    // Turned by 1e-3 with a threshold of 1e-3, the stretch would join the
    // crossings into one run: refused for the threshold, not answered.
    EXPECT_FALSE(nearCopyUnion(1e-3, 1.0, 1e-3).ok());
}

// Grown a little as well, the copy runs within the threshold of the disc
// along a stretch of its rim but not from end to end: that stretch is taken
// as shared, and the region is the copy's, up to the threshold along it.
TEST(RegionCaps, ANearCopyTouchingAlongPartOfItsRimSharesThatStretch) {
    const double threshold = 1e-4;
    const ShapeResult u = nearCopyUnion(1e-3, 1.001, threshold);
    ASSERT_TRUE(u.ok()) << describe(u).toStdString();
    const Shape disc = shapeOf(circle(0, 0, 1));
    RegionOptions options;
    options.threshold = threshold;
    const Shape copy = turned(disc, 1e-3, 1, 0, 1.001);
    const ShapeResult i = combine(disc, copy, Operation::Intersect, options);
    ASSERT_TRUE(i.ok()) << describe(i).toStdString();
    const double slack = threshold * 2.0 * M_PI;  // the threshold along the whole rim
    EXPECT_NEAR(enclosedArea(u.shape), enclosedArea(copy), slack);
    EXPECT_NEAR(enclosedArea(i.shape), enclosedArea(disc), slack);
    EXPECT_NEAR(enclosedArea(u.shape) + enclosedArea(i.shape),
                enclosedArea(disc) + enclosedArea(copy), slack);
    EXPECT_EQ(u.shape.size(), 1);
}

// Copies apart by more than the merge distance cross where they cross, and
// copies closer than it are one outline: neither comes near a cap.
TEST(RegionCaps, CopiesClearlyApartOrClearlyTogetherAreAnswered) {
    const Shape disc = shapeOf(circle(0, 0, 1));
    for (double angle : {1e-2, 0.3}) {
        const ShapeResult r = nearCopyUnion(angle, 1.0, 0.0);
        ASSERT_TRUE(r.ok()) << describe(r).toStdString();
        EXPECT_GT(enclosedArea(r.shape), enclosedArea(disc));
        EXPECT_EQ(r.first.operand, -1);
    }
    const ShapeResult same = nearCopyUnion(1e-9, 1.0, 1e-6);
    ASSERT_TRUE(same.ok()) << describe(same).toStdString();
    EXPECT_NEAR(enclosedArea(same.shape), enclosedArea(disc), 1e-6);
}
