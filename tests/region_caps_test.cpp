// The crossing search's caps: inputs that reach them are refused with the
// cap and the segments named, never answered in part.

#include <gtest/gtest.h>

#include <cmath>

#include "shaperegion/shaperegion.h"
#include "regionshapes.h"

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

// A disc and its copy turned about a point of its rim stay within the merge
// distance of each other along a long stretch without sharing it: the
// search cuts them into ever more boxes.
TEST(RegionCaps, ANearCopyThatKeepsTheSearchBusyIsRefused) {
    const ShapeResult r = nearCopyUnion(1e-3, 1.0, 1e-3);
    EXPECT_EQ(r.status, RegionStatus::SearchBudgetExhausted);
    EXPECT_TRUE(r.shape.isEmpty());
    EXPECT_EQ(r.first.spline, 0);
    EXPECT_EQ(r.second.spline, 0);
    EXPECT_NE(r.first.operand, r.second.operand);
    EXPECT_GE(r.first.knot, 0);
    EXPECT_LT(r.first.knot, 4);
    const QString text = describe(r);
    EXPECT_TRUE(text.contains(QStringLiteral("budget of 4000"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("of spline 0 of the first shape")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("of spline 0 of the second shape")))
        << text.toStdString();
}

// Grown a little as well, the copy meets the disc within the merge distance
// at more places than two cubics can cross.
TEST(RegionCaps, ANearCopyMeetingAtTooManyPlacesIsRefused) {
    const ShapeResult r = nearCopyUnion(1e-3, 1.001, 1e-3);
    EXPECT_EQ(r.status, RegionStatus::TooManyMeetings);
    EXPECT_TRUE(r.shape.isEmpty());
    EXPECT_NE(r.first.operand, r.second.operand);
    EXPECT_TRUE(describe(r).contains(QStringLiteral("more than 24 places")));
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
