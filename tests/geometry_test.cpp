#include <gtest/gtest.h>

#include <random>

#include "geometry/shape.h"
#include "testshapes.h"

namespace {

Matrix3d randomMatrix(std::mt19937& rng) {
    std::uniform_real_distribution<double> d(-3.0, 3.0);
    Matrix3d m;
    for (auto& row : m.m)
        for (double& v : row)
            v = d(rng);
    return m;
}

void expectNear(const Matrix3d& a, const Matrix3d& b, double tol) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << r << "," << c;
}

void expectPoint(const Point3d& a, const Point3d& b, double tol = 0.0) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

}  // namespace

TEST(Matrix, ConstructionAndNormalise) {
    EXPECT_EQ(Matrix3d(1), Matrix3d());
    const Matrix3d two(2);
    EXPECT_EQ(two.m[0][0], 2.0);
    EXPECT_EQ(two.m[3][0], 0.0);
    Point3d tiny(1e-11, 0, 0);
    expectPoint(normalise(tiny), Point3d());
    Point3d v(3, 4, 0);
    expectPoint(normalise(v), Point3d(0.6, 0.8, 0));
}

TEST(Matrix, ComposeAppliesLeftFirst) {
    std::mt19937 rng(7);
    for (int k = 0; k < 50; ++k) {
        const Matrix3d a = randomMatrix(rng);
        const Matrix3d b = randomMatrix(rng);
        const Point3d p(1.5, -2.25, 0.75);
        expectPoint(map(p, a * b), map(map(p, a), b), 1e-12);
    }
    // Translation then 90 degree rotation about z differs from the reverse.
    Matrix3d rot;
    rot.m[0][0] = 0;
    rot.m[0][1] = 1;
    rot.m[1][0] = -1;
    rot.m[1][1] = 0;
    const Matrix3d t = translation({5, 0, 0});
    expectPoint(map({1, 0, 0}, t * rot), {0, 6, 0});
    expectPoint(map({1, 0, 0}, rot * t), {5, 1, 0});
}

TEST(Matrix, InverseRoundTrip) {
    EXPECT_EQ(inverseOf(Matrix3d()), Matrix3d());
    expectNear(inverseOf(translation({2, -3, 4})), translation({-2, 3, -4}), 0.0);
    std::mt19937 rng(11);
    for (int k = 0; k < 200; ++k) {
        const Matrix3d m = randomMatrix(rng);
        const Matrix3d inv = inverseOf(m);
        // Skip the rare ill-conditioned draw; the inversion itself is exact enough.
        if (std::fabs(inv.m[0][0]) > 1e3) continue;
        expectNear(m * inv, Matrix3d(), 1e-12);
        expectNear(inv * m, Matrix3d(), 1e-12);
    }
    const Matrix3d original = randomMatrix(rng);
    Matrix3d copy = original;
    inverseOf(copy);
    EXPECT_EQ(copy, original);
}

TEST(Matrix, SingularInverseIsFilled) {
    const double fill = singularFill();
    EXPECT_DOUBLE_EQ(fill, 6.196334159211e+223);

    // Zero scale on y: row 1 and column 1 never serve as pivots.
    Matrix3d m;
    m.m[1][1] = 0.0;
    const Matrix3d inv = inverseOf(m);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(inv.m[1][c], fill) << c;
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(inv.m[r][1], fill) << r;
    EXPECT_EQ(inv.m[0][0], 1.0);
    EXPECT_EQ(inv.m[2][2], 1.0);
    EXPECT_EQ(inv.m[3][0], 0.0);

    // All-zero linear part: everything that is not the translation column pivot is filled.
    const Matrix3d zero(0);
    const Matrix3d zinv = inverseOf(zero);
    EXPECT_EQ(zinv.m[0][0], fill);
    EXPECT_EQ(zinv.m[3][2], fill);

    // NaN entries never win the pivot search.
    Matrix3d nan;
    for (auto& row : nan.m)
        for (double& v : row)
            v = std::nan("");
    EXPECT_EQ(inverseOf(nan).m[0][0], fill);
}

TEST(Knot, ConstructionCopyAndTransform) {
    const Knot corner({1, 1, 0}, {5, 5, 0}, {-5, 0, 0}, 0.25, Knot::Corner);
    expectPoint(corner.inVec, {1, 1, 0});
    expectPoint(corner.outVec, {1, 1, 0});
    expectPoint(corner.savedOutVec, {1, 1, 0});

    const Knot crossing({2, 3, 0}, 0.5);
    EXPECT_EQ(crossing.type, Knot::Corner);
    EXPECT_EQ(crossing.flags, quint32(CustomFlag::Crossing));
    EXPECT_EQ(crossing.param, 0.5);

    Knot k({0, 0, 0}, {-1, 0, 0}, {2, 0, 0}, 0.5, Knot::Bezier);
    k.segLength = 7;
    k.lengthBefore = 3;
    k.aux = 1.5;
    k.flags = CustomFlag::Deleted;
    const Knot copy(k);
    EXPECT_EQ(copy.segLength, 0.0);
    EXPECT_EQ(copy.lengthBefore, 0.0);
    EXPECT_EQ(copy.aux, 1.5);
    EXPECT_EQ(copy.flags, quint32(CustomFlag::Deleted));
    expectPoint(copy.outVec, {2, 0, 0});
    expectPoint(k.outVector(true), {1, 0, 0});
    expectPoint(k.inVector(false), {-1, 0, 0});
    expectPoint(Knot({1, 1, 1}, 0.0).inVector(true), {});

    k.transform(translation({10, 0, 0}));
    expectPoint(k.point, {10, 0, 0});
    expectPoint(k.inVec, {9, 0, 0});
    expectPoint(k.savedPoint, {0, 0, 0});
    expectPoint(k.savedInVec, {-1, 0, 0});
}

TEST(Spline, CopyMergesCoincidentKnotsAndSkipsDeleted) {
    Spline s(QStringLiteral("Named"), true);
    s.append(new Knot({0, 0, 0}, {0, -1, 0}, {1, 0, 0}, 0, Knot::Bezier));
    s.append(new Knot({0, 0, 0}, {0, 5, 0}, {0, 2, 0}, 0, Knot::Bezier));
    s.append(new Knot({10, 0, 0}, {10, 0, 0}, {10, 0, 0}, 0, Knot::Corner));
    Knot* deleted = new Knot({5, 5, 0}, 0.0);
    deleted->flags = CustomFlag::Deleted;
    s.append(deleted);
    s.append(new Knot({10, 10, 0}, {10, 10, 0}, {10, 10, 0}, 0, Knot::Corner));
    s.flags = CustomFlag::Crossing;
    s.frame = translation({1, 2, 3});

    const Spline copy(s);
    ASSERT_EQ(copy.size(), 3);
    expectPoint(copy[0]->inVec, {0, -1, 0});
    expectPoint(copy[0]->outVec, {0, 2, 0});
    expectPoint(copy[1]->point, {10, 0, 0});
    expectPoint(copy[2]->point, {10, 10, 0});
    EXPECT_EQ(copy.name, QStringLiteral("Named"));
    EXPECT_TRUE(copy.closed);
    EXPECT_EQ(copy.frame, s.frame);
    EXPECT_EQ(copy.flags, s.flags);
    EXPECT_TRUE(copy.lengthsValid);
    EXPECT_GT(copy.length, 30.0);

    // copyFrom keeps every knot, Deleted ones and duplicates included.
    Spline dest;
    dest.append(new Knot({99, 99, 0}, 0.0));
    dest.copyFrom(s);
    EXPECT_EQ(dest.size(), 5);
    EXPECT_EQ(dest.frame, s.frame);
    EXPECT_TRUE(dest.closed);
    dest.copyFrom(dest);
    EXPECT_EQ(dest.size(), 5);
}

TEST(Spline, AttributesAndClearing) {
    Spline source(QStringLiteral("Source"), true, 2.0, QColor(Qt::red), true, QColor(Qt::blue));
    source.flags = 0x100;

    Spline target;
    target.copyAttributes(source);
    EXPECT_TRUE(target.closed);
    EXPECT_EQ(target.colour, QColor(Qt::red));
    EXPECT_EQ(target.colour2, QColor(Qt::blue));
    EXPECT_EQ(target.flags, 0x100u);
    EXPECT_EQ(target.name, QStringLiteral("Spline"));

    Spline cleared;
    cleared.append(new Knot({1, 1, 0}, 0.0));
    cleared.frame = translation({1, 0, 0});
    cleared.clearKnots();
    EXPECT_TRUE(cleared.isEmpty());
    EXPECT_EQ(cleared.frame, Matrix3d());
    EXPECT_TRUE(cleared.hasFlag(CustomFlag::Deleted));
    cleared.copyAttributes(source);
    EXPECT_TRUE(cleared.closed);
    EXPECT_EQ(cleared.colour, QColor(Qt::black));
    EXPECT_EQ(cleared.flags, quint32(CustomFlag::Deleted));
}

TEST(Spline, SetFrameKeepsParentPositions) {
    auto s = rectangle(0, 0, 2, 1);
    Matrix3d old;
    old.m[0][0] = 2;
    old.m[3][1] = 5;
    s->frame = old;
    QList<Point3d> before;
    for (const Knot* k : *s)
        before.append(map(k->point, s->frame));
    Matrix3d next;
    next.m[1][0] = 0.5;
    next.m[3][2] = -1;
    s->setFrame(next);
    EXPECT_EQ(s->frame, next);
    for (int i = 0; i < s->size(); ++i)
        expectPoint(map(s->at(i)->point, s->frame), before[i], 1e-12);
}

TEST(Spline, KnotAtWrapped) {
    auto closed = rectangle(0, 0, 1, 1);
    EXPECT_EQ(closed->knotAtWrapped(4), closed->at(0));
    EXPECT_EQ(closed->knotAtWrapped(-1), closed->at(3));
    EXPECT_EQ(closed->knotAtWrapped(-9), closed->at(3));
    closed->closed = false;
    EXPECT_EQ(closed->knotAtWrapped(4), nullptr);
    EXPECT_EQ(closed->knotAtWrapped(2), closed->at(2));
    EXPECT_EQ(Spline().knotAtWrapped(0), nullptr);
}

TEST(PLine, LengthIsCachedOnPointCount) {
    PLine p;
    EXPECT_EQ(p.length(), 0.0);
    p << Point3d(0, 0, 0) << Point3d(3, 4, 0) << Point3d(3, 4, 12);
    EXPECT_EQ(p.length(), 17.0);  // open: no edge back to the start
    p[2] = Point3d(3, 4, 100);
    EXPECT_EQ(p.length(), 17.0);
    p << Point3d(3, 4, 101);
    EXPECT_EQ(p.length(), 5.0 + 100.0 + 1.0);
}

TEST(Shape, SetFrameBakesOrCarries) {
    Shape empty;
    empty.setFrame(translation({1, 2, 3}), true);
    EXPECT_EQ(empty.frame, translation({1, 2, 3}));

    for (bool bake : {true, false}) {
        Shape shape;
        shape.frame = translation({5, 0, 0});
        auto s = std::make_unique<Spline>();
        s->append(new Knot({1, 0, 0}, 0.0));
        shape.addSpline(s.release());
        shape.addSpline(nullptr);
        ASSERT_EQ(shape.size(), 1);
        EXPECT_EQ(shape[0]->parent, &shape);
        shape.setFrame(Matrix3d(), bake);
        EXPECT_EQ(shape.frame, Matrix3d());
        if (bake) {
            expectPoint(shape[0]->first()->point, {6, 0, 0});
            EXPECT_EQ(shape[0]->frame, Matrix3d());
        } else {
            expectPoint(shape[0]->first()->point, {1, 0, 0});
            EXPECT_EQ(shape[0]->frame, translation({5, 0, 0}));
        }
    }

    // A rotated and scaled shape keeps every knot where it was in the parent.
    Shape shape;
    shape.addSpline(rectangle(0, 0, 3, 2).release());
    shape[0]->frame = translation({0, 1, 0});
    Matrix3d f;
    f.m[0][0] = 0;
    f.m[0][1] = 2;
    f.m[1][0] = -2;
    f.m[1][1] = 0;
    f.m[3][0] = 7;
    shape.frame = f;
    QList<Point3d> before;
    for (const Knot* k : *shape[0])
        before.append(map(map(k->point, shape[0]->frame), shape.frame));
    const Matrix3d target = translation({1, 1, 0});
    shape.setFrame(target, true);
    for (int i = 0; i < shape[0]->size(); ++i)
        expectPoint(map(shape[0]->at(i)->point, target), before[i], 1e-12);
    shape.clear();
    EXPECT_TRUE(shape.isEmpty());
    EXPECT_EQ(shape.frame, target);
}

TEST(Shape, MoveHandsSplinesOverWithTheirParent) {
    Shape a;
    a.addSpline(rectangle(0, 0, 3, 2).release());
    a.addSpline(rectangle(5, 5, 1, 1).release());
    a.frame = translation({1, 0, 0});
    Shape b(std::move(a));
    EXPECT_TRUE(a.isEmpty());
    ASSERT_EQ(b.size(), 2);
    for (const Spline* s : b)
        EXPECT_EQ(s->parent, &b);
    EXPECT_EQ(b.frame, translation({1, 0, 0}));

    Shape c;
    c.addSpline(rectangle(9, 9, 1, 1).release());
    c = std::move(b);
    ASSERT_EQ(c.size(), 2);
    for (const Spline* s : c)
        EXPECT_EQ(s->parent, &c);
    EXPECT_TRUE(b.isEmpty());  // the sanitizer build catches a leak or double free here
}
