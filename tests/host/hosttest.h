#pragma once

// Shared by the host tests: the plug-in loaded once per process through the
// dynamic loader, and small builders for host shapes.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QString>
#include <QVector>
#include <memory>

#include "hostsdk.h"
#include "scene.h"
#include "standin/host.h"

namespace hosttest {

// A GUI application for the tests that open rollouts: text is drawn only
// inside one, and the offscreen platform needs no display.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "carvex_host_test";
        static char* argv[] = {name, nullptr};
        app = new QGuiApplication(argc, argv);
    }
    void TearDown() override { delete app; }

private:
    QGuiApplication* app = nullptr;
};

// The built Carvex.dlm, loaded as the host loads it.
inline standin::PluginLibrary& plugin() {
    static standin::PluginLibrary* lib = [] {
        auto* l = new standin::PluginLibrary;
        QString why;
        if (!l->load(QStringLiteral(CARVEX_MODULE_PATH), &why))
            ADD_FAILURE() << "cannot load the plug-in: " << why.toStdString();
        return l;
    }();
    return *lib;
}

inline ClassDesc2* carvexDesc() {
    using ClassFn = ClassDesc* (*)(int);
    auto fn = reinterpret_cast<ClassFn>(plugin().symbol("LibClassDesc"));
    return fn ? static_cast<ClassDesc2*>(fn(0)) : nullptr;
}

inline Modifier* newCarvex() {
    ClassDesc2* cd = carvexDesc();
    return cd ? static_cast<Modifier*>(static_cast<Animatable*>(cd->Create(FALSE))) : nullptr;
}

// "Whole_shapes" of the modifier's block.
constexpr ParamID kWholeShapesParam = 4;

// The modifier set to combine pair by pair, as scenes saved before whole
// shapes existed evaluate.
inline Modifier* perPair(Modifier* mod) {
    if (mod) mod->GetParamBlock(0)->SetValue(kWholeShapesParam, 0, 0);
    return mod;
}

struct P {
    float x, y;
};

// A closed spline of corner knots through the points.
inline Spline3D* polygon(const QVector<P>& points) {
    auto* s = new Spline3D;
    for (const P& p : points) {
        const Point3 q(p.x, p.y, 0.0f);
        SplineKnot k(KTYPE_CORNER, LTYPE_LINE, q, q, q);
        s->AddKnot(k);
    }
    s->SetClosed();
    return s;
}

inline Spline3D* rectangle(float x0, float y0, float x1, float y1) {
    return polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

inline SplineShape* shapeOf(std::initializer_list<Spline3D*> splines) {
    auto* s = new SplineShape;
    for (Spline3D* spline : splines)
        s->shape.AddSpline(spline);
    s->shape.UpdateSels();
    return s;
}

// Every knot of the spline lies on one of the expected points and every
// expected point has a knot, within tolerance, in the node's own space.
inline ::testing::AssertionResult outlineIs(const Spline3D* s, const QVector<P>& expected,
                                            float tolerance = 1e-3f) {
    if (!s) return ::testing::AssertionFailure() << "no spline";
    auto near = [&](const Point3& a, const P& b) {
        return std::abs(a.x - b.x) < tolerance && std::abs(a.y - b.y) < tolerance;
    };
    QString knots;
    for (int k = 0; k < s->KnotCount(); ++k)
        knots += QStringLiteral(" (%1, %2)").arg(s->GetKnotPoint(k).x).arg(s->GetKnotPoint(k).y);
    for (int k = 0; k < s->KnotCount(); ++k) {
        bool found = false;
        for (const P& e : expected)
            found = found || near(s->GetKnotPoint(k), e);
        if (!found)
            return ::testing::AssertionFailure() << "unexpected knot in" << knots.toStdString();
    }
    for (const P& e : expected) {
        bool found = false;
        for (int k = 0; k < s->KnotCount(); ++k)
            found = found || near(s->GetKnotPoint(k), e);
        if (!found)
            return ::testing::AssertionFailure()
                   << "no knot at (" << e.x << ", " << e.y << ") in" << knots.toStdString();
    }
    if (!s->Closed()) return ::testing::AssertionFailure() << "not closed";
    return ::testing::AssertionSuccess();
}

// A scene over the loaded plug-in.
inline std::unique_ptr<standin::Scene> newScene() {
    return std::make_unique<standin::Scene>(QVector<const standin::PluginLibrary*>{&plugin()});
}

// A node with the shape and, on its stack, the modifier.
inline INode* modifiedNode(standin::Scene& scene, const QString& name, Object* object,
                           Modifier* mod) {
    IDerivedObject* d = CreateDerivedObject(object);
    d->AddModifier(mod);
    return scene.addNode(name, d);
}

inline void addOperand(Modifier* mod, INode* node, int code) {
    IParamBlock2* pb = mod->GetParamBlock(0);
    const int row = pb->Count(0);
    pb->SetCount(0, row + 1);
    pb->SetCount(2, row + 1);
    pb->SetValue(0, 0, node, row);
    pb->SetValue(2, 0, code, row);
}

}  // namespace hosttest
