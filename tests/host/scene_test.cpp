// Scenes of the stand-in host: read, evaluated, written and saved again.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "hosttest.h"

using namespace hosttest;

namespace {

// Everything a node's evaluated shape holds, for exact comparison. Corner
// knots are drawn without handles, so without cornerHandles theirs are left out.
QStringList dump(const BezierShape* shape, bool cornerHandles = true) {
    QStringList out;
    if (!shape) return {"<no shape>"};
    out << QStringLiteral("steps %1").arg(shape->steps);
    auto pt = [](const Point3& p) {
        return QStringLiteral("%1 %2 %3")
            .arg(p.x, 0, 'g', 9)
            .arg(p.y, 0, 'g', 9)
            .arg(p.z, 0, 'g', 9);
    };
    for (int s = 0; s < shape->SplineCount(); ++s) {
        const Spline3D* spline = shape->GetSpline(s);
        out << QStringLiteral("spline closed=%1").arg(spline->Closed());
        for (int k = 0; k < spline->KnotCount(); ++k) {
            const bool handles = cornerHandles || spline->GetKnotType(k) != KTYPE_CORNER;
            out << QStringLiteral("  %1 | %2 | %3 | %4 %5")
                       .arg(pt(spline->GetKnotPoint(k)),
                            handles ? pt(spline->GetInVec(k)) : QStringLiteral("-"),
                            handles ? pt(spline->GetOutVec(k)) : QStringLiteral("-"))
                       .arg(spline->GetKnotType(k))
                       .arg(spline->GetLineType(k));
        }
    }
    return out;
}

QMap<QString, QStringList> evaluateAll(standin::Scene& scene) {
    QMap<QString, QStringList> results;
    for (INode* n : scene.modifiedNodes())
        results.insert(QString::fromWCharArray(n->GetName()), dump(scene.evaluate(n)));
    return results;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

const char* kScene = R"({
  "format": "carvex-scene", "version": 1, "time": 0,
  "modifiers": [
    {"id": "cut", "class": "Carvex",
     "params": {"Threshold": 0.001, "Type": 2,
                "Spline_Node": ["Grow", "Hole", "Rect"], "Operation_types": [0, 2, 3]}},
    {"id": "inner", "class": "Carvex",
     "params": {"Spline_Node": ["FromFile"], "Operation_types": [1]}}
  ],
  "nodes": [
    {"name": "Grow", "wireColor": "#ff8000", "position": [105, 52, 0],
     "object": {"type": "splineShape", "splines": [{"closed": true, "knots": [
        {"point": [0, 0, 0]}, {"point": [10, 0, 0]},
        {"point": [10, 6, 0], "inVec": [11, 4, 0], "outVec": [9, 7, 0], "type": "bezierCorner"},
        {"point": [0, 6, 0]}]}]}},
    {"name": "Hole", "position": [101, 51, 0], "rotation": 15,
     "object": {"type": "rectangle", "width": 2, "length": 3}},
    {"name": "Rect", "position": [100, 58, 0],
     "object": {"type": "rectangle", "width": 4, "length": 3}},
    {"name": "FromFile", "object": {"type": "splineShape", "file": "disc.svg"}},
    {"name": "Plate", "wireColor": "#1f77b4", "position": [100, 50, 0],
     "objectOffset": [[1, 0, 0], [0, 1, 0], [0, 0, 1], [0.5, 0, 0]],
     "object": {"type": "splineShape", "steps": 4, "splines": [{"closed": true, "knots": [
        {"point": [0, 0, 0]}, {"point": [10, 0, 0]}, {"point": [10, 10, 0]},
        {"point": [0, 10, 0], "inVec": [2, 11, 0], "outVec": [-1, 8, 0], "type": "bezier"}]}]},
     "modifiers": ["cut"]},
    {"name": "Twin", "position": [100, 50, 0],
     "object": {"type": "merge", "branches": [
        {"object": {"type": "splineShape", "splines": [{"closed": true, "knots": [
           {"point": [0, 0, 0]}, {"point": [10, 0, 0]}, {"point": [10, 10, 0]}, {"point": [0, 10, 0]}]}]},
         "modifiers": ["inner"]},
        {"object": {"type": "xref", "source": {"object": {"type": "rectangle", "width": 1, "length": 1}}}}]},
     "modifiers": ["cut"]},
    {"name": "Solid", "object": {"type": "box", "size": [1, 2, 3]}}
  ]
})";

const char* kDisc = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 20 20">
  <circle cx="8" cy="8" r="5"/>
</svg>)";

}  // namespace

TEST(Scene, SavedAndReloadedSceneEvaluatesTheSame) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(writeFile(dir.filePath("disc.svg"), kDisc));
    ASSERT_TRUE(writeFile(dir.filePath("scene.json"), kScene));

    auto first = newScene();
    QString why;
    ASSERT_TRUE(first->load(dir.filePath("scene.json"), &why)) << why.toStdString();
    ASSERT_EQ(first->modifiedNodes().size(), 2);
    const QMap<QString, QStringList> before = evaluateAll(*first);
    // The operations did something: the plate is no longer the shape it started from.
    ASSERT_TRUE(before.contains("Plate"));
    auto* plateStack = static_cast<IDerivedObject*>(first->node("Plate")->GetObjectRef());
    EXPECT_NE(before["Plate"], dump(&static_cast<SplineShape*>(plateStack->GetObjRef())->shape));
    const QByteArray saved = first->saveJson();
    first.reset();  // nothing of the first scene is left for the second to lean on

    auto second = newScene();
    ASSERT_TRUE(second->loadJson(saved, dir.path(), &why)) << why.toStdString();
    const QMap<QString, QStringList> after = evaluateAll(*second);
    EXPECT_EQ(after.keys(), before.keys());
    for (const QString& name : before.keys())
        EXPECT_EQ(after[name].join("\n").toStdString(), before[name].join("\n").toStdString())
            << name.toStdString();
    // Saving again gives the same file: nothing was lost on the way.
    EXPECT_EQ(second->saveJson(), saved);

    // The instance is one modifier on two stacks, and its rows name nodes.
    const QJsonObject doc = QJsonDocument::fromJson(saved).object();
    const QJsonArray mods = doc.value("modifiers").toArray();
    ASSERT_EQ(mods.size(), 2);
    const QJsonObject params = mods[0].toObject().value("params").toObject();
    EXPECT_EQ(params.value("Spline_Node").toArray(), QJsonArray({"Grow", "Hole", "Rect"}));
    EXPECT_EQ(params.value("Operation_types").toArray(), QJsonArray({0, 2, 3}));
    EXPECT_EQ(params.value("Threshold").toDouble(), static_cast<double>(0.001f));
    EXPECT_EQ(params.value("Type").toInt(), 2);
}

TEST(Scene, ResultsAreWrittenAsShapeFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(writeFile(dir.filePath("disc.svg"), kDisc));
    auto scene = newScene();
    QString why;
    ASSERT_TRUE(scene->loadJson(kScene, dir.path(), &why)) << why.toStdString();

    for (const QString ext : {"json", "svg"}) {
        SCOPED_TRACE(ext.toStdString());
        QStringList written;
        ASSERT_TRUE(scene->writeResults(dir.filePath("out"), ext, &written, &why))
            << why.toStdString();
        EXPECT_EQ(written,
                  QStringList({dir.filePath("out/Plate." + ext), dir.filePath("out/Twin." + ext)}));
        // What a file holds is what the node evaluates to (JSON keeps it exactly).
        // Corner knots are written with their handles on the knot, as the host draws them.
        BezierShape plate;
        ASSERT_TRUE(standin::readHostShape(written[0], plate, &why)) << why.toStdString();
        const BezierShape* evaluated = scene->evaluate(scene->node("Plate"));
        ASSERT_EQ(plate.SplineCount(), evaluated->SplineCount());
        if (ext == "json") {
            plate.steps = evaluated->steps;
            EXPECT_EQ(dump(&plate, false).join("\n").toStdString(),
                      dump(evaluated, false).join("\n").toStdString());
        }
    }
    EXPECT_FALSE(scene->writeResults(dir.filePath("out"), "txt", nullptr, &why));
}

TEST(Scene, MistakesAreReportedWithTheirPlace) {
    struct Case {
        const char* json;
        const char* message;
    };
    const Case cases[] = {
        {R"({"nodes": [{"name": "A", "object": {"type": "circle"}}]})",
         "nodes[0].object: unknown object type 'circle'"},
        {R"({"nodes": [{"name": "A", "object": {"type": "box"}, "modifiers": ["m"]}]})",
         "nodes[0].modifiers[0]: no modifier with id 'm'"},
        {R"({"modifiers": [{"id": "m", "class": "Sphere"}]})",
         "modifiers[0]: no plug-in makes a modifier of class 'Sphere'"},
        {R"({"nodes": [{"name": "A", "object": {"type": "splineShape", "splines": [
             {"knots": [{"point": [0, 0, 0], "type": "sharp"}]}]}}]})",
         "nodes[0].object.splines[0].knots[0]: unknown knot type 'sharp'"},
        // A node cannot be an operand of the stack it carries.
        {R"({"modifiers": [{"id": "m", "class": "Carvex",
                           "params": {"Spline_Node": ["A"], "Operation_types": [0]}}],
             "nodes": [{"name": "A", "object": {"type": "rectangle"}, "modifiers": ["m"]}]})",
         "modifiers[0].params.Spline_Node: 'A' would make the modifier depend on itself"},
        {R"({"modifiers": [{"id": "m", "class": "Carvex", "params": {"Threshold": "small"}}]})",
         "modifiers[0].params.Threshold: value of the wrong type"},
        {R"({"nodes": [{"name": "A", "object": {"type": "box"}}, {"name": "A", "object": {"type": "box"}}]})",
         "nodes[1]: a node named 'A' exists already"},
    };
    for (const Case& c : cases) {
        auto scene = newScene();
        QString why;
        EXPECT_FALSE(scene->loadJson(c.json, QDir::tempPath(), &why)) << c.json;
        EXPECT_EQ(why.toStdString(), c.message);
    }
}
