#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include "standin/host.h"

namespace standin {

class SceneRoot;

// A scene of the stand-in host: named nodes with transforms, wire colours
// and object pipelines (objects with stacks of modifiers, compound shapes
// with branches, references to other objects), read from and saved to a
// JSON scene file. Modifiers are made through the class descriptors of the
// plug-in libraries given; one modifier may sit on several stacks.
//
//   {
//     "format": "carvex-scene", "version": 1, "time": 0,
//     "modifiers": [{"id": "cut", "class": "Carvex",
//                    "params": {"Threshold": 0.0001, "Type": 0,
//                               "Spline_Node": ["Disc"], "Operation_types": [2]},
//                    "versions": {"params": 1}}],                (block versions; none: 0)
//     "nodes": [{"name": "Plate", "wireColor": "#1f77b4",
//                "transform": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]],   (or "position": [x,y,z]
//                                                                   and "rotation": degrees about
//                                                                   z)
//                "objectOffset": [[...]],                           (optional)
//                "object": OBJECT, "modifiers": ["cut"]}]          (modifiers applied in order)
//   }
//
// OBJECT is one of
//   {"type": "splineShape", "file": "plate.svg"}          (.svg or .json shape file)
//   {"type": "splineShape", "steps": 6, "splines": [{"closed": true, "knots": [
//        {"point": [x,y,z], "inVec": [..], "outVec": [..], "type": "corner", "line": "line"}]}]}
//        (knot types "auto", "corner", "bezier", "bezierCorner"; line types "curve", "line";
//         handles default to the point)
//   {"type": "rectangle", "width": w, "length": l}
//   {"type": "box", "size": [x,y,z]}                       (no shape; cannot become one)
//   {"type": "merge", "branches": [{"object": OBJECT, "modifiers": [...]}, ...]}
//   {"type": "xref", "source": {"object": OBJECT, "modifiers": [...]}}
//
// Parameters are written by their internal names; node parameters hold node
// names (null for an empty row). Saving writes every shape inline.
class Scene {
public:
    explicit Scene(QVector<const PluginLibrary*> plugins);
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    ~Scene();

    // Adds what the file holds to this scene. Relative shape file paths are
    // taken from the scene file's folder. On failure the scene may hold part
    // of the file.
    bool load(const QString& path, QString* error);
    bool loadJson(const QByteArray& document, const QString& folder, QString* error);
    QByteArray saveJson() const;
    bool save(const QString& path, QString* error) const;

    TimeValue time = 0;

    // Host operations, used by the loader and by code that builds scenes itself.
    INode* addNode(const QString& name, Object* object);
    Modifier* createModifier(const QString& className, const QString& id = QString());
    INode* node(const QString& name) const;
    QVector<INode*> nodes() const;
    QString modifierId(Modifier* mod) const;

    // Nodes with at least one modifier on their own stack, in scene order.
    QVector<INode*> modifiedNodes() const;
    // Tells every modifier a render begins, evaluates the node and answers
    // its shape, converted to a spline shape when needed (null if it cannot
    // be); the answer lives until the next evaluation of the scene.
    BezierShape* evaluate(INode* node);
    // Evaluates the modified nodes and writes each one's shape to
    // folder/NAME.EXT (ext "svg", "json" or
    // "png", a picture). Lists what was written.
    bool writeResults(const QString& folder, const QString& ext, QStringList* written,
                      QString* error);

private:
    Object* readObject(const QJsonObject& o, const QString& folder, const QString& where,
                       QString* error);
    Object* readPipeline(const QJsonObject& o, const QString& folder, const QString& where,
                         QString* error);
    // Blocks saved by an older version of their descriptor than the plug-in's
    // are brought up to date before their values are read.
    bool upgradeBlocks(Modifier* mod, const QJsonObject& versions, const QString& where,
                       QString* error);
    bool readParams(Modifier* mod, const QJsonObject& params, const QString& where, QString* error);
    QJsonObject writePipeline(Object* obj) const;
    QJsonObject writeObject(Object* obj) const;
    ClassDesc* classOf(Animatable* a) const;
    void beginRender();
    void endRender();

    QVector<const PluginLibrary*> libraries;
    SceneRoot* root;
    QVector<Modifier*> modifiers() const;
    QMap<Modifier*, QString> ids;
    Object* converted = nullptr;  // the last evaluation's conversion, owned
};

// Host shapes to and from shape files, with the knot and line types that
// the host and the engine share.
bool readHostShape(const QString& path, BezierShape& shape, QString* error);
bool writeHostShape(const QString& path, const BezierShape& shape, QString* error);

}  // namespace standin
