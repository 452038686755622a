#include <gtest/gtest.h>

#include <memory>

#include "assembly/assembly.h"
#include "geometry/shape.h"
#include "intersection/beziersegment.h"
#include "testshapes.h"

namespace {

using SplinePtr = std::unique_ptr<Spline>;

Knot corner(const Point3d& p) {
    return Knot(p, p, p, 0.0, Knot::Corner);
}

Knot bezier(const Point3d& p, const Point3d& in, const Point3d& out, int type = Knot::Bezier) {
    return Knot(p, in, out, 0.0, type);
}

SplinePtr splineOf(std::initializer_list<Knot> knots, bool closed = false) {
    auto s = std::make_unique<Spline>();
    s->closed = closed;
    for (const Knot& k : knots)
        s->append(new Knot(k));
    s->updateLengths();
    return s;
}

QList<Point3d> pointsOf(const Spline& s) {
    QList<Point3d> pts;
    for (const Knot* k : s)
        pts.append(k->point);
    return pts;
}

void expectNear(const Point3d& a, const Point3d& b, double tol = 1e-12) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// A five-knot closed polygon with distinguishable points.
SplinePtr pentagon() {
    return polygon({{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 2, 0}, {-1, 1, 0}});
}

}  // namespace

// --- extractPiece ---------------------------------------------------------

TEST(ExtractPiece, ForwardRunIncludesBothEnds) {
    auto src = pentagon();
    src->name = "Outline";
    src->colour = Qt::red;
    src->frame = translation({5, 0, 0});
    src->setFlag(0x100);
    SplinePtr run(extractPiece(*src, 1, 3, true));
    EXPECT_EQ(pointsOf(*run), (QList<Point3d>{{2, 0, 0}, {3, 1, 0}, {1, 2, 0}}));
    // Copies, not shared knots, with the source's parameters.
    EXPECT_NE(run->at(0), src->at(1));
    EXPECT_EQ(run->at(1)->param, src->at(2)->param);
    // The property copy: closed, style and flags, but neither name nor frame.
    EXPECT_TRUE(run->closed);
    EXPECT_EQ(run->colour, QColor(Qt::red));
    EXPECT_TRUE(run->hasFlag(0x100));
    EXPECT_EQ(run->name, QStringLiteral("Spline"));
    EXPECT_EQ(run->frame, Matrix3d());
}

TEST(ExtractPiece, WrapsPastTheEnd) {
    auto src = pentagon();
    SplinePtr forward(extractPiece(*src, 3, 1, true));
    EXPECT_EQ(pointsOf(*forward), (QList<Point3d>{{1, 2, 0}, {-1, 1, 0}, {0, 0, 0}, {2, 0, 0}}));
    SplinePtr backward(extractPiece(*src, 1, 3, false));
    EXPECT_EQ(pointsOf(*backward), (QList<Point3d>{{2, 0, 0}, {0, 0, 0}, {-1, 1, 0}, {1, 2, 0}}));
}

TEST(ExtractPiece, BackwardSwapsHandlesAndKeepsType) {
    auto e = ellipse(0, 0, 4, 2);
    SplinePtr run(extractPiece(*e, 3, 1, false));
    ASSERT_EQ(run->size(), 3);
    for (int r = 0; r < 3; ++r) {
        const Knot& k = *run->at(r);
        const Knot& s = *e->at(3 - r);
        EXPECT_EQ(k.point, s.point);
        EXPECT_EQ(k.inVec, s.outVec);
        EXPECT_EQ(k.outVec, s.inVec);
        EXPECT_EQ(k.type, Knot::Bezier);
        // The stored copy keeps its own values.
        EXPECT_EQ(k.savedInVec, s.savedInVec);
        EXPECT_EQ(k.savedOutVec, s.savedOutVec);
    }
    // The run traces the source's segment 2-3 the other way round.
    const BezierSegment there = e->segment(2, 3);
    const BezierSegment back = run->segment(0, 1);
    EXPECT_EQ(back.p0, there.p3);
    EXPECT_EQ(back.p1, there.p2);
    EXPECT_EQ(back.p2, there.p1);
    EXPECT_EQ(back.p3, there.p0);
}

TEST(ExtractPiece, EmptyRuns) {
    auto src = pentagon();
    src->colour = Qt::green;
    SplinePtr same(extractPiece(*src, 2, 2, true));
    EXPECT_TRUE(same->isEmpty());
    EXPECT_EQ(same->colour, QColor(Qt::green));
    SplinePtr sameBack(extractPiece(*src, 2, 2, false));
    EXPECT_TRUE(sameBack->isEmpty());

    // An open source does not wrap forward...
    src->closed = false;
    SplinePtr none(extractPiece(*src, 3, 1, true));
    EXPECT_TRUE(none->isEmpty());
    EXPECT_FALSE(none->closed);
    // ...but a forward run within it is kept.
    SplinePtr some(extractPiece(*src, 1, 3, true));
    EXPECT_EQ(some->size(), 3);

    // Indices outside the source give nothing rather than a runaway walk.
    SplinePtr outside(extractPiece(*src, 7, 1, true));
    EXPECT_TRUE(outside->isEmpty());
    SplinePtr fromEmpty(extractPiece(Spline(), 0, 1, true));
    EXPECT_TRUE(fromEmpty->isEmpty());
}

TEST(ExtractPiece, SkipsDeletedKnots) {
    auto src = pentagon();
    src->at(2)->setFlag(CustomFlag::Deleted);
    SplinePtr run(extractPiece(*src, 1, 3, true));
    EXPECT_EQ(pointsOf(*run), (QList<Point3d>{{2, 0, 0}, {1, 2, 0}}));
    // Even the end knots are left out when they are Deleted.
    SplinePtr endsDeleted(extractPiece(*src, 0, 2, true));
    EXPECT_EQ(pointsOf(*endsDeleted), (QList<Point3d>{{0, 0, 0}, {2, 0, 0}}));
}

TEST(ExtractPiece, MergesCoincidentKnots) {
    const Point3d p(1, 1, 0);
    auto src = splineOf(
        {corner({0, 0, 0}), bezier(p, {0.5, 1, 0}, {1.2, 1, 0}),
         bezier(p + Point3d(5e-11, 0, 0), {1.1, 0.9, 0}, {1.5, 1.5, 0}), corner({2, 2, 0})},
        true);
    SplinePtr forward(extractPiece(*src, 0, 3, true));
    ASSERT_EQ(forward->size(), 3);
    // The survivor keeps its own point and inVec and takes the next outVec.
    EXPECT_EQ(forward->at(1)->point, p);
    EXPECT_EQ(forward->at(1)->inVec, Point3d(0.5, 1, 0));
    EXPECT_EQ(forward->at(1)->outVec, Point3d(1.5, 1.5, 0));

    // Backwards the handles are swapped before merging.
    SplinePtr backward(extractPiece(*src, 3, 0, false));
    ASSERT_EQ(backward->size(), 3);
    EXPECT_EQ(backward->at(1)->point, p + Point3d(5e-11, 0, 0));
    EXPECT_EQ(backward->at(1)->inVec, Point3d(1.5, 1.5, 0));
    EXPECT_EQ(backward->at(1)->outVec, Point3d(0.5, 1, 0));

    // Points 1e-9 apart are two knots.
    src->at(2)->point = p + Point3d(1e-9, 0, 0);
    SplinePtr apart(extractPiece(*src, 0, 3, true));
    EXPECT_EQ(apart->size(), 4);
}

// --- appendKnot -----------------------------------------------------------

TEST(AppendKnot, CopiesMergesAndSkips) {
    Spline s;
    Knot first = bezier({0, 0, 0}, {-1, 0, 0}, {1, 0, 0});
    first.setFlag(CustomFlag::Crossing);
    first.segLength = 9.0;
    appendKnot(s, first);
    ASSERT_EQ(s.size(), 1);
    EXPECT_NE(s.at(0), &first);
    EXPECT_EQ(s.at(0)->inVec, first.inVec);
    EXPECT_TRUE(s.at(0)->hasFlag(CustomFlag::Crossing));
    EXPECT_EQ(s.at(0)->segLength, 0.0);

    // Coincident: the last knot takes the outVec and nothing else.
    appendKnot(s, bezier({0, 5e-11, 0}, {7, 7, 0}, {0, 3, 0}, Knot::Smooth));
    ASSERT_EQ(s.size(), 1);
    EXPECT_EQ(s.at(0)->point, Point3d(0, 0, 0));
    EXPECT_EQ(s.at(0)->inVec, Point3d(-1, 0, 0));
    EXPECT_EQ(s.at(0)->outVec, Point3d(0, 3, 0));
    EXPECT_EQ(s.at(0)->type, Knot::Bezier);

    appendKnot(s, corner({0, 1e-9, 0}));
    EXPECT_EQ(s.size(), 2);

    Knot gone = corner({5, 5, 0});
    gone.setFlag(CustomFlag::Deleted);
    appendKnot(s, gone);
    EXPECT_EQ(s.size(), 2);
    Spline empty;
    appendKnot(empty, gone);
    EXPECT_TRUE(empty.isEmpty());
}

// --- appendPiece ----------------------------------------------------------

TEST(AppendPiece, IntoEmptyResultActsLikeAppendKnot) {
    auto run =
        splineOf({corner({0, 0, 0}), corner({1, 0, 0}), corner({1, 1e-11, 0}), corner({1, 1, 0})});
    run->at(3)->setFlag(CustomFlag::Deleted);
    Spline r;
    appendPiece(r, *run, 0);
    EXPECT_EQ(pointsOf(r), (QList<Point3d>{{0, 0, 0}, {1, 0, 0}}));
    EXPECT_TRUE(r.lengthsValid);
    EXPECT_DOUBLE_EQ(r.length, 1.0);

    Spline skipFirst;
    appendPiece(skipFirst, *run, 1);
    EXPECT_EQ(pointsOf(skipFirst), (QList<Point3d>{{1, 0, 0}}));
}

TEST(AppendPiece, JointWithinToleranceMergesIntoLast) {
    const Knot n = bezier({0.0005, 0, 0}, {-0.5, 0, 0}, {0.5, 0.5, 0});
    for (int start : {0, 1}) {
        auto r = splineOf({corner({-1, 0, 0}), corner({0, 0, 0})});
        auto run = start == 0 ? splineOf({n, corner({2, 0, 0})})
                              : splineOf({corner({0, 0, 0}), n, corner({2, 0, 0})});
        appendPiece(*r, *run, start);
        ASSERT_EQ(r->size(), 3) << start;
        const Knot& L = *r->at(1);
        EXPECT_EQ(L.type, Knot::BezierCorner) << start;
        EXPECT_EQ(L.point, Point3d(0, 0, 0));
        EXPECT_EQ(L.inVec, Point3d(0, 0, 0));
        EXPECT_EQ(L.outVec, Point3d(0.5, 0.5, 0));
        EXPECT_EQ(r->at(2)->point, Point3d(2, 0, 0));
        EXPECT_TRUE(r->lengthsValid);
    }

    // A Corner meeting a Corner stays one, and a non-Corner L keeps its type.
    auto r = splineOf({corner({-1, 0, 0}), corner({0, 0, 0})});
    appendPiece(*r, *splineOf({corner({0, 0.0009, 0}), corner({2, 0, 0})}), 0);
    EXPECT_EQ(r->at(1)->type, Knot::Corner);
    EXPECT_EQ(r->at(1)->outVec, Point3d(0, 0.0009, 0));
    auto smooth = splineOf({corner({-1, 0, 0}), bezier({0, 0, 0}, {-0.3, 0, 0}, {0.3, 0, 0})});
    appendPiece(*smooth, *splineOf({corner({0, 0.0009, 0}), corner({2, 0, 0})}), 0);
    EXPECT_EQ(smooth->at(1)->type, Knot::Bezier);
    auto both = splineOf({corner({-1, 0, 0}), bezier({0, 0, 0}, {-0.3, 0, 0}, {0.3, 0, 0})});
    appendPiece(*both, *splineOf({bezier({0, 0.0009, 0}, {0, 0, 0}, {1, 1, 0}), corner({2, 0, 0})}),
                0);
    EXPECT_EQ(both->at(1)->type, Knot::Bezier);
    EXPECT_EQ(both->at(1)->outVec, Point3d(1, 1, 0));

    // 0.001 exactly is no longer a joint to merge.
    auto edge = splineOf({corner({-1, 0, 0}), corner({0, 0, 0})});
    appendPiece(*edge, *splineOf({corner({0.001, 0, 0}), corner({2, 0, 0})}), 0);
    EXPECT_EQ(edge->size(), 4);
}

TEST(AppendPiece, FirstRunIsAppendedAsItIs) {
    auto r = splineOf({corner({-1, 0, 0}), bezier({0, 0, 0}, {-0.3, 0.1, 0}, {0.3, 0.1, 0})});
    Knot n = bezier({1, 0, 0}, {0.7, -0.2, 0}, {1.3, 0.2, 0}, Knot::Smooth);
    n.setFlag(CustomFlag::Crossing);
    appendPiece(*r, *splineOf({n, corner({2, 0, 0})}), 0);
    ASSERT_EQ(r->size(), 4);
    const Knot& L = *r->at(1);
    EXPECT_EQ(L.type, Knot::Bezier);
    EXPECT_EQ(L.inVec, Point3d(-0.3, 0.1, 0));
    EXPECT_EQ(L.outVec, Point3d(0.3, 0.1, 0));
    const Knot& N = *r->at(2);
    EXPECT_EQ(N.type, Knot::Smooth);
    EXPECT_EQ(N.inVec, n.inVec);
    EXPECT_EQ(N.outVec, n.outVec);
    EXPECT_TRUE(N.hasFlag(CustomFlag::Crossing));
    EXPECT_TRUE(r->lengthsValid);

    // Past the joint the run is taken knot for knot: extraction already
    // cleaned it, so nothing is merged or skipped here.
    auto raw =
        splineOf({corner({0, 0, 0}), corner({1, 0, 0}), corner({1, 0, 0}), corner({2, 0, 0})});
    raw->at(3)->setFlag(CustomFlag::Deleted);
    auto target = splineOf({corner({-1, 0, 0}), corner({0, 0, 0})});
    appendPiece(*target, *raw, 1);
    EXPECT_EQ(pointsOf(*target),
              (QList<Point3d>{{-1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}}));
}

TEST(AppendPiece, CornerRunAfterJoint) {
    // Q and N both Corner, L Corner: L's handles collapse onto its point.
    auto r = splineOf({corner({-1, 0, 0}), corner({0, 0, 0})});
    r->last()->inVec = {-0.3, 0.2, 0};
    r->last()->outVec = {0.3, 0.2, 0};
    appendPiece(*r, *splineOf({corner({0, 0, 0}), corner({3, 6, 0})}), 1);
    ASSERT_EQ(r->size(), 3);
    EXPECT_EQ(r->at(1)->type, Knot::Corner);
    EXPECT_EQ(r->at(1)->inVec, Point3d(0, 0, 0));
    EXPECT_EQ(r->at(1)->outVec, Point3d(0, 0, 0));
    EXPECT_EQ(r->at(2)->point, Point3d(3, 6, 0));

    // L not Corner: a third of Q to N from L, L's inVec kept.
    auto curved = splineOf({corner({-1, 0, 0}), bezier({0, 0, 0}, {-1, 0, 0}, {1, 0.5, 0})});
    appendPiece(*curved, *splineOf({corner({10, 10, 0}), corner({13, 16, 0})}), 1);
    ASSERT_EQ(curved->size(), 3);
    const Knot& L = *curved->at(1);
    EXPECT_EQ(L.type, Knot::BezierCorner);
    EXPECT_EQ(L.inVec, Point3d(-1, 0, 0));
    expectNear(L.outVec, {1, 2, 0});

    // Q and N at one point: no handle at all.
    auto stub = splineOf({corner({-1, 0, 0}), bezier({0, 0, 0}, {-1, 0, 0}, {1, 0.5, 0})});
    appendPiece(*stub, *splineOf({corner({4, 4, 0}), corner({4, 4, 0})}), 1);
    EXPECT_EQ(stub->at(1)->outVec, Point3d(0, 0, 0));
}

TEST(AppendPiece, CurvedRunAfterJoint) {
    const Point3d nPoint(3, 6, 0);
    auto result = [](const Point3d& lIn) {
        auto r = splineOf({corner({-1, 0, 0}), bezier({0, 0, 0}, lIn, {0.5, -0.5, 0})});
        return r;
    };
    auto run = [&](const Point3d& qOut) {
        return splineOf(
            {bezier({0, 0, 0}, {-1, 1, 0}, qOut), bezier(nPoint, {2, 5, 0}, {4, 7, 0})});
    };

    // Q's outVec long enough: L takes it.
    for (double d1 : {0.001, 0.8}) {
        auto r = result({-1, 0, 0});
        appendPiece(*r, *run({0, d1, 0}), 1);
        ASSERT_EQ(r->size(), 3);
        EXPECT_EQ(r->at(1)->type, Knot::BezierCorner) << d1;
        EXPECT_EQ(r->at(1)->outVec, Point3d(0, d1, 0)) << d1;
        EXPECT_EQ(r->at(1)->inVec, Point3d(-1, 0, 0)) << d1;
        EXPECT_EQ(r->at(2)->inVec, Point3d(2, 5, 0));
    }

    // Both handles short: L becomes a Corner.
    {
        auto r = result({-0.0009, 0, 0});
        appendPiece(*r, *run({0.0009, 0, 0}), 1);
        EXPECT_EQ(r->at(1)->type, Knot::Corner);
        EXPECT_EQ(r->at(1)->inVec, Point3d(0, 0, 0));
        EXPECT_EQ(r->at(1)->outVec, Point3d(0, 0, 0));
    }

    // Q's outVec short but L's inVec not (0.001 counts as long).
    for (double d2 : {0.001, 2.0}) {
        auto r = result({-d2, 0, 0});
        appendPiece(*r, *run({0, 0, 0}), 1);
        EXPECT_EQ(r->at(1)->type, Knot::BezierCorner) << d2;
        EXPECT_EQ(r->at(1)->inVec, Point3d(-d2, 0, 0));
        expectNear(r->at(1)->outVec, {1, 2, 0});
    }
    // The handle follows Q to N, wherever L stands.
    auto r = result({-2, 0, 0});
    appendPiece(*r,
                *splineOf({bezier({10, 10, 0}, {9, 10, 0}, {10, 10, 0}),
                           bezier({13, 16, 0}, {12, 16, 0}, {14, 16, 0})}),
                1);
    expectNear(r->at(1)->outVec, {1, 2, 0});
}

TEST(AppendPiece, EmptyRunAppendsNothing) {
    auto r = splineOf({corner({0, 0, 0}), bezier({1, 0, 0}, {0.5, 0.5, 0}, {1.5, 0.5, 0})});
    Spline empty;
    appendPiece(*r, empty, 1);
    appendPiece(*r, empty, 0);
    ASSERT_EQ(r->size(), 2);
    EXPECT_EQ(r->at(1)->outVec, Point3d(1.5, 0.5, 0));
    // A run of one knot taken from index 1 has nothing to give either.
    appendPiece(*r, *splineOf({corner({5, 5, 0})}), 1);
    EXPECT_EQ(r->size(), 2);
    EXPECT_EQ(r->at(1)->type, Knot::Bezier);
}

// --- closeResult ----------------------------------------------------------

TEST(CloseResult, MergesDuplicateLastKnot) {
    auto r = splineOf({corner({0, 0, 0}), corner({1, 0, 0}), corner({1, 1, 0}), corner({0, 1, 0}),
                       bezier({0.0005, 0, 0}, {0.0005, 0.3, 0}, {0.5, -0.2, 0})});
    ASSERT_FALSE(r->closed);
    closeResult(*r);
    EXPECT_TRUE(r->closed);
    ASSERT_EQ(r->size(), 4);
    const Knot& F = *r->first();
    EXPECT_EQ(F.type, Knot::BezierCorner);
    EXPECT_EQ(F.point, Point3d(0, 0, 0));
    EXPECT_EQ(F.inVec, Point3d(0.0005, 0.3, 0));
    EXPECT_EQ(F.outVec, Point3d(0, 0, 0));
    // Measured as closed: the closing side counts.
    EXPECT_TRUE(r->lengthsValid);
    EXPECT_DOUBLE_EQ(r->length, 4.0);

    // Same types: F keeps its type but still takes L's inVec.
    auto same = splineOf(
        {corner({0, 0, 0}), corner({1, 0, 0}), corner({1, 1, 0}), corner({0.0009, 0.0001, 0})},
        true);
    closeResult(*same);
    ASSERT_EQ(same->size(), 3);
    EXPECT_EQ(same->first()->type, Knot::Corner);
    EXPECT_EQ(same->first()->inVec, Point3d(0.0009, 0.0001, 0));

    auto smooth = splineOf({bezier({0, 0, 0}, {0, 0.5, 0}, {0.5, 0, 0}, Knot::Smooth),
                            corner({1, 0, 0}), corner({1, 1, 0}), corner({0, 0, 0})});
    closeResult(*smooth);
    ASSERT_EQ(smooth->size(), 3);
    EXPECT_EQ(smooth->first()->type, Knot::BezierCorner);
    EXPECT_EQ(smooth->first()->inVec, Point3d(0, 0, 0));
}

TEST(CloseResult, ShortensHandlesOfAWideClosingSegment) {
    // gap from L (3, 4) to F (0, 0) is 5.
    auto r = splineOf({bezier({0, 0, 0}, {0, 9, 0}, {0.5, 0, 0}), corner({3, 0, 0}),
                       bezier({3, 4, 0}, {3, 3, 0}, {-3, -4, 0})});
    closeResult(*r);
    EXPECT_TRUE(r->closed);
    ASSERT_EQ(r->size(), 3);
    expectNear(r->first()->inVec, {0, 5.0 / 3.0, 0});
    expectNear(r->last()->outVec, {3 - 0.6 * 5.0 / 3.0, 4 - 0.8 * 5.0 / 3.0, 0});
    EXPECT_EQ(r->first()->type, Knot::Bezier);
    EXPECT_EQ(r->first()->outVec, Point3d(0.5, 0, 0));
    EXPECT_EQ(r->last()->inVec, Point3d(3, 3, 0));
    // The caches describe the closed, adjusted spline.
    ASSERT_TRUE(r->lengthsValid);
    const Spline remeasured(*r);
    EXPECT_EQ(r->length, remeasured.length);
    EXPECT_GT(r->length, 12.0);

    // Handles no longer than the gap stay where they are.
    auto shortHandles = splineOf({bezier({0, 0, 0}, {0, 5, 0}, {0.5, 0, 0}), corner({3, 0, 0}),
                                  bezier({3, 4, 0}, {3, 3, 0}, {3, 3.5, 0})});
    closeResult(*shortHandles);
    EXPECT_EQ(shortHandles->first()->inVec, Point3d(0, 5, 0));
    EXPECT_EQ(shortHandles->last()->outVec, Point3d(3, 3.5, 0));
}

TEST(CloseResult, EmptyAndSingleKnot) {
    Spline empty;
    closeResult(empty);
    EXPECT_TRUE(empty.closed);
    EXPECT_TRUE(empty.isEmpty());

    auto single = splineOf({bezier({1, 1, 0}, {0, 1, 0}, {2, 1, 0})});
    closeResult(*single);
    EXPECT_TRUE(single->closed);
    ASSERT_EQ(single->size(), 1);
    EXPECT_EQ(single->first()->inVec, Point3d(0, 1, 0));
    EXPECT_EQ(single->first()->outVec, Point3d(2, 1, 0));
}

// --- prepareForWalk -------------------------------------------------------

TEST(PrepareForWalk, EmptiesButKeepsProperties) {
    Shape holder;
    auto a = rectangle(0, 0, 2, 2);
    a->name = "Outline";
    a->colour = Qt::red;
    a->colour2 = Qt::blue;
    a->displayFlag = true;
    a->displayValue = 2.5;
    a->displayWidth = 3.0;
    a->frame = translation({1, 2, 3});
    a->parent = &holder;
    a->setFlag(CustomFlag::Crossing | 0x100);
    const Spline copy(*a);

    prepareForWalk(*a, copy);
    EXPECT_TRUE(a->isEmpty());
    EXPECT_FALSE(a->hasFlag(CustomFlag::Deleted));
    EXPECT_EQ(a->flags, CustomFlag::Crossing | 0x100u);
    EXPECT_EQ(a->name, QStringLiteral("Outline"));
    EXPECT_TRUE(a->closed);
    EXPECT_EQ(a->parent, &holder);
    EXPECT_EQ(a->colour, QColor(Qt::red));
    EXPECT_EQ(a->colour2, QColor(Qt::blue));
    EXPECT_TRUE(a->displayFlag);
    EXPECT_EQ(a->displayValue, 2.5);
    EXPECT_EQ(a->displayWidth, 3.0);
    EXPECT_EQ(a->frame, Matrix3d());
    EXPECT_FALSE(a->lengthsValid);
    EXPECT_EQ(copy.size(), 4);
}

TEST(PrepareForWalk, TakesPlacementButNotStyleFromTheCopy) {
    Shape holder;
    auto a = rectangle(0, 0, 2, 2);
    a->colour = Qt::red;
    a->setFlag(CustomFlag::Deleted | 0x100);
    Spline other;
    other.closed = false;
    other.parent = &holder;
    other.colour = Qt::green;
    other.flags = 0x200;

    prepareForWalk(*a, other);
    EXPECT_FALSE(a->closed);
    EXPECT_EQ(a->parent, &holder);
    EXPECT_EQ(a->colour, QColor(Qt::red));
    EXPECT_EQ(a->flags, 0x100u);
    // Refilled, it takes style copies again.
    a->copyStyle(other);
    EXPECT_EQ(a->colour, QColor(Qt::green));
}

// --- whole walks ----------------------------------------------------------

namespace {

// Two 2 x 2 squares overlapping in the unit square (1,1)-(2,2), each with a
// knot at both crossings (2,1) and (1,2).
struct OverlappingSquares {
    SplinePtr a = splineOf({corner({0, 0, 0}), corner({2, 0, 0}), Knot({2, 1, 0}, 0.0),
                            corner({2, 2, 0}), Knot({1, 2, 0}, 0.0), corner({0, 2, 0})},
                           true);
    SplinePtr b = splineOf({corner({1, 1, 0}), Knot({2, 1, 0}, 0.0), corner({3, 1, 0}),
                            corner({3, 3, 0}), corner({1, 3, 0}), Knot({1, 2, 0}, 0.0)},
                           true);
    // Indices of the crossings (2,1) and (1,2) in A and in B.
    int a0 = 2, a1 = 4, b0 = 1, b1 = 5;
};

void appendRun(Spline& result, Spline* run, int start) {
    std::unique_ptr<Spline> owned(run);
    appendPiece(result, *owned, start);
}

}  // namespace

TEST(Walk, UnionOfOverlappingSquares) {
    OverlappingSquares sq;
    Spline& a = *sq.a;
    const Spline copy(a);
    prepareForWalk(a, copy);
    appendRun(a, extractPiece(copy, sq.a1, sq.a0, true), 0);
    appendRun(a, extractPiece(*sq.b, sq.b0, sq.b1, true), 1);
    closeResult(a);

    EXPECT_TRUE(a.closed);
    EXPECT_EQ(pointsOf(a), (QList<Point3d>{{1, 2, 0},
                                           {0, 2, 0},
                                           {0, 0, 0},
                                           {2, 0, 0},
                                           {2, 1, 0},
                                           {3, 1, 0},
                                           {3, 3, 0},
                                           {1, 3, 0}}));
    EXPECT_NEAR(area(a), 7.0, 1e-9);
    ASSERT_TRUE(a.lengthsValid);
    EXPECT_DOUBLE_EQ(a.length, 12.0);
    // The result owns fresh knots: nothing is shared with its sources.
    for (const Knot* k : a) {
        EXPECT_FALSE(copy.contains(const_cast<Knot*>(k)));
        EXPECT_FALSE(sq.b->contains(const_cast<Knot*>(k)));
    }
}

TEST(Walk, IntersectionAndSubtraction) {
    OverlappingSquares sq;
    Spline& a = *sq.a;
    const Spline copy(a);
    prepareForWalk(a, copy);
    appendRun(a, extractPiece(copy, sq.a0, sq.a1, true), 0);
    // B's run inside A, forward from (1,2) to (2,1).
    appendRun(a, extractPiece(*sq.b, sq.b1, sq.b0, true), 1);
    closeResult(a);
    EXPECT_EQ(pointsOf(a), (QList<Point3d>{{2, 1, 0}, {2, 2, 0}, {1, 2, 0}, {1, 1, 0}}));
    EXPECT_NEAR(area(a), 1.0, 1e-9);

    // A minus B: A's outer run, then B's inner run walked backwards.
    OverlappingSquares sub;
    Spline& s = *sub.a;
    const Spline subCopy(s);
    prepareForWalk(s, subCopy);
    appendRun(s, extractPiece(subCopy, sub.a1, sub.a0, true), 0);
    appendRun(s, extractPiece(*sub.b, sub.b0, sub.b1, false), 1);
    closeResult(s);
    EXPECT_EQ(pointsOf(s),
              (QList<Point3d>{{1, 2, 0}, {0, 2, 0}, {0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}}));
    EXPECT_NEAR(area(s), 3.0, 1e-9);
}
