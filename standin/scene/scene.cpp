#include "scene.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "shapeio/shapecheck.h"
#include "shapeio/shapeio.h"

namespace standin {

// The scene itself holds every node and modifier, as the host's scene root
// does, so that a modifier lives while the scene knows it.
class SceneRoot : public ReferenceMaker {
public:
    SClass_ID SuperClassID() override { return 0; }
    int NumRefs() override { return static_cast<int>(targets.size()); }
    RefTargetHandle GetReference(int i) override {
        return i >= 0 && i < NumRefs() ? targets[static_cast<size_t>(i)] : nullptr;
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
    void hold(ReferenceTarget* t) {
        targets.push_back(nullptr);
        ReplaceReference(NumRefs() - 1, t);
    }
    // What is still there, in the order it came: deleted targets leave a gap.
    QVector<ReferenceTarget*> held() const {
        QVector<ReferenceTarget*> out;
        for (ReferenceTarget* t : targets)
            if (t) out.push_back(t);
        return out;
    }

private:
    void SetReference(int i, RefTargetHandle t) override {
        if (i >= 0 && i < NumRefs()) targets[static_cast<size_t>(i)] = t;
    }
    std::vector<ReferenceTarget*> targets;
};

namespace {

bool fail(QString* error, const QString& where, const QString& what) {
    if (error) *error = where.isEmpty() ? what : where + ": " + what;
    return false;
}

// Knots in all the inline splines of a scene, counted before any is made,
// with the place where the count passes the limit that shape files have.
bool countKnots(const QJsonValue& v, const QString& where, int& count, QString* error) {
    if (v.isArray()) {
        const QJsonArray a = v.toArray();
        for (int i = 0; i < a.size(); ++i)
            if (!countKnots(a[i], QStringLiteral("%1[%2]").arg(where).arg(i), count, error))
                return false;
    } else if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString at = where.isEmpty() ? it.key() : where + "." + it.key();
            if (it.key() == QLatin1String("knots") && it.value().isArray()) {
                count += std::min(it.value().toArray().size(), kMaxShapeKnots + 1);
                if (count > kMaxShapeKnots) return fail(error, at, tooManyKnotsMessage());
            } else if (!countKnots(it.value(), at, count, error)) {
                return false;
            }
        }
    }
    return true;
}

bool readPoint(const QJsonValue& v, Point3& p) {
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 3) return false;
    for (const QJsonValue& c : a)
        if (!c.isDouble() || !(std::fabs(c.toDouble()) <= kMaxFileCoordinate)) return false;
    p = Point3(a[0].toDouble(), a[1].toDouble(), a[2].toDouble());
    return true;
}

QJsonArray pointJson(const Point3& p) {
    return {static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z)};
}

bool readMatrix(const QJsonValue& v, Matrix3& m) {
    const QJsonArray rows = v.toArray();
    if (!v.isArray() || rows.size() != 4) return false;
    for (int r = 0; r < 4; ++r) {
        Point3 row;
        if (!readPoint(rows[r], row)) return false;
        m.SetRow(r, row);
    }
    return true;
}

QJsonArray matrixJson(const Matrix3& m) {
    QJsonArray rows;
    for (int r = 0; r < 4; ++r)
        rows.append(pointJson(m.GetRow(r)));
    return rows;
}

const QMap<QString, int>& knotTypes() {
    static const QMap<QString, int> t = {{"auto", KTYPE_AUTO},
                                         {"corner", KTYPE_CORNER},
                                         {"bezier", KTYPE_BEZIER},
                                         {"bezierCorner", KTYPE_BEZIER_CORNER}};
    return t;
}

const QMap<QString, int>& lineTypes() {
    static const QMap<QString, int> t = {{"curve", LTYPE_CURVE}, {"line", LTYPE_LINE}};
    return t;
}

bool readSplines(const QJsonArray& splines, BezierShape& shape, const QString& where,
                 QString* error) {
    for (int s = 0; s < splines.size(); ++s) {
        const QString at = QStringLiteral("%1.splines[%2]").arg(where).arg(s);
        const QJsonObject so = splines[s].toObject();
        auto* spline = new Spline3D;
        shape.AddSpline(spline);
        const QJsonArray knots = so.value("knots").toArray();
        for (int k = 0; k < knots.size(); ++k) {
            const QString kat = QStringLiteral("%1.knots[%2]").arg(at).arg(k);
            const QJsonObject ko = knots[k].toObject();
            Point3 p, in, out;
            if (!readPoint(ko.value("point"), p))
                return fail(error, kat,
                            QStringLiteral("point: expected [x, y, z], each at most 1e9 in "
                                           "magnitude"));
            in = out = p;
            if (ko.contains("inVec") && !readPoint(ko.value("inVec"), in))
                return fail(error, kat, QStringLiteral("inVec: expected [x, y, z]"));
            if (ko.contains("outVec") && !readPoint(ko.value("outVec"), out))
                return fail(error, kat, QStringLiteral("outVec: expected [x, y, z]"));
            const QString type = ko.value("type").toString("corner");
            const QString line = ko.value("line").toString(type == "corner" ? "line" : "curve");
            if (!knotTypes().contains(type))
                return fail(error, kat, "unknown knot type '" + type + "'");
            if (!lineTypes().contains(line))
                return fail(error, kat, "unknown line type '" + line + "'");
            SplineKnot knot(knotTypes().value(type), lineTypes().value(line), p, in, out);
            spline->AddKnot(knot);
        }
        spline->SetClosed(so.value("closed").toBool(false) ? 1 : 0);
    }
    shape.UpdateSels();
    return true;
}

QJsonArray splinesJson(const BezierShape& shape) {
    QJsonArray splines;
    for (int s = 0; s < shape.SplineCount(); ++s) {
        const Spline3D* spline = shape.GetSpline(s);
        QJsonArray knots;
        for (int k = 0; k < spline->KnotCount(); ++k) {
            const SplineKnot knot = spline->GetKnot(k);
            knots.append(QJsonObject{{"point", pointJson(knot.Knot())},
                                     {"inVec", pointJson(knot.InVec())},
                                     {"outVec", pointJson(knot.OutVec())},
                                     {"type", knotTypes().key(knot.Ktype(), "bezierCorner")},
                                     {"line", lineTypes().key(knot.Ltype(), "curve")}});
        }
        splines.append(QJsonObject{{"closed", spline->Closed() != 0}, {"knots", knots}});
    }
    return splines;
}

QString colourName(DWORD c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c)).name();
}

// Where a file name may not carry a character, it carries an underscore.
QString fileNameFor(const QString& nodeName) {
    QString n = nodeName;
    n.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
    return n.isEmpty() ? QStringLiteral("_") : n;
}

}  // namespace

Scene::Scene(QVector<const PluginLibrary*> plugins)
    : libraries(std::move(plugins)), root(new SceneRoot) {}

Scene::~Scene() {
    if (converted) converted->DeleteThis();
    for (INode* n : nodes())
        n->DeleteMe();
    // Modifiers go once nothing holds them any more.
    root->DeleteAllRefsFromMe();
    delete root;
}

INode* Scene::addNode(const QString& name, Object* object) {
    auto* n = new INode;
    n->SetName(name.toStdWString().c_str());
    if (object) n->SetObjectRef(object);
    root->hold(n);
    return n;
}

Modifier* Scene::createModifier(const QString& className, const QString& id) {
    for (const PluginLibrary* lib : libraries) {
        ClassDesc* cd = lib->classByInternalName(className);
        if (!cd || cd->SuperClassID() != OSM_CLASS_ID) continue;
        auto* mod = static_cast<Modifier*>(static_cast<Animatable*>(cd->Create(FALSE)));
        if (!mod) return nullptr;
        ids.insert(mod, id.isEmpty() ? QStringLiteral("m%1").arg(ids.size() + 1) : id);
        root->hold(mod);
        return mod;
    }
    return nullptr;
}

QVector<INode*> Scene::nodes() const {
    QVector<INode*> out;
    for (ReferenceTarget* t : root->held())
        if (t->SuperClassID() == BASENODE_CLASS_ID) out.push_back(static_cast<INode*>(t));
    return out;
}

QVector<Modifier*> Scene::modifiers() const {
    QVector<Modifier*> out;
    for (ReferenceTarget* t : root->held())
        if (t->SuperClassID() == OSM_CLASS_ID) out.push_back(static_cast<Modifier*>(t));
    return out;
}

INode* Scene::node(const QString& name) const {
    for (INode* n : nodes())
        if (QString::fromWCharArray(n->GetName()) == name) return n;
    return nullptr;
}

QString Scene::modifierId(Modifier* mod) const {
    return ids.value(mod);
}

ClassDesc* Scene::classOf(Animatable* a) const {
    for (const PluginLibrary* lib : libraries)
        for (ClassDesc* cd : lib->classes())
            if (cd->ClassID() == a->ClassID() && cd->SuperClassID() == a->SuperClassID()) return cd;
    return nullptr;
}

// ---------------------------------------------------------------------------

bool Scene::load(const QString& path, QString* error) {
    // A pipe or a device could block the open for ever, or never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(error, path, QStringLiteral("not a regular file"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return fail(error, path, f.errorString());
    if (f.size() > kMaxShapeFileBytes)
        return fail(error, path,
                    QStringLiteral("larger than %1 bytes (32 MiB), the most a scene file may have")
                        .arg(kMaxShapeFileBytes));
    QString why;
    if (loadJson(f.read(kMaxShapeFileBytes), info.absolutePath(), &why)) return true;
    return fail(error, path, why);
}

bool Scene::loadJson(const QByteArray& document, const QString& folder, QString* error) {
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(document, &parseError);
    if (doc.isNull())
        return fail(error, QStringLiteral("offset %1").arg(parseError.offset),
                    parseError.errorString());
    const QJsonObject root = doc.object();
    if (root.value("format").toString("carvex-scene") != "carvex-scene")
        return fail(error, "format", QStringLiteral("not a scene file"));
    int knots = 0;
    if (!countKnots(root, QString(), knots, error)) return false;
    time = root.value("time").toInt(time);

    const QJsonArray mods = root.value("modifiers").toArray();
    QMap<QString, Modifier*> byId;
    for (int i = 0; i < mods.size(); ++i) {
        const QString where = QStringLiteral("modifiers[%1]").arg(i);
        const QJsonObject mo = mods[i].toObject();
        const QString id = mo.value("id").toString();
        const QString cls = mo.value("class").toString();
        if (id.isEmpty()) return fail(error, where, QStringLiteral("id missing"));
        if (byId.contains(id)) return fail(error, where, "id '" + id + "' used twice");
        Modifier* mod = createModifier(cls, id);
        if (!mod) return fail(error, where, "no plug-in makes a modifier of class '" + cls + "'");
        byId.insert(id, mod);
    }

    const QJsonArray nodes = root.value("nodes").toArray();
    QVector<INode*> made;
    for (int i = 0; i < nodes.size(); ++i) {
        const QString where = QStringLiteral("nodes[%1]").arg(i);
        const QJsonObject no = nodes[i].toObject();
        const QString name = no.value("name").toString();
        if (name.isEmpty()) return fail(error, where, QStringLiteral("name missing"));
        if (node(name)) return fail(error, where, "a node named '" + name + "' exists already");
        Object* obj = readPipeline(no, folder, where, error);
        if (!obj) return false;
        INode* n = addNode(name, obj);
        made.push_back(n);
        Matrix3 tm;
        if (no.contains("transform")) {
            if (!readMatrix(no.value("transform"), tm))
                return fail(error, where,
                            QStringLiteral("transform: expected 4 rows of 3 numbers"));
        } else {
            Point3 position;
            if (no.contains("position") && !readPoint(no.value("position"), position))
                return fail(error, where, QStringLiteral("position: expected [x, y, z]"));
            const double degrees = no.value("rotation").toDouble(0.0);
            tm = RotateZMatrix(static_cast<float>(degrees * M_PI / 180.0)) * TransMatrix(position);
        }
        n->SetNodeTM(time, tm);
        if (no.contains("objectOffset")) {
            Matrix3 offset;
            if (!readMatrix(no.value("objectOffset"), offset))
                return fail(error, where,
                            QStringLiteral("objectOffset: expected 4 rows of 3 numbers"));
            n->SetObjOffsetTM(offset);
        }
        if (no.contains("wireColor")) {
            const QColor c(no.value("wireColor").toString());
            if (!c.isValid())
                return fail(error, where, QStringLiteral("wireColor: expected #rrggbb"));
            n->SetWireColor(RGB(c.red(), c.green(), c.blue()));
        }
    }

    // Parameters last: node rows name nodes that now exist.
    for (int i = 0; i < mods.size(); ++i) {
        const QJsonObject mo = mods[i].toObject();
        Modifier* mod = byId.value(mo.value("id").toString());
        const QString where = QStringLiteral("modifiers[%1]").arg(i);
        if (!upgradeBlocks(mod, mo.value("versions").toObject(), where + ".versions", error) ||
            !readParams(mod, mo.value("params").toObject(), where + ".params", error))
            return false;
    }
    return true;
}

Object* Scene::readPipeline(const QJsonObject& o, const QString& folder, const QString& where,
                            QString* error) {
    Object* base = readObject(o.value("object").toObject(), folder, where + ".object", error);
    if (!base) return nullptr;
    const QJsonArray mods = o.value("modifiers").toArray();
    if (mods.isEmpty()) return base;
    IDerivedObject* derived = CreateDerivedObject(base);
    // Listed in the order they apply: each goes on top of the stack.
    for (int i = 0; i < mods.size(); ++i) {
        const QString id = mods[i].toString();
        Modifier* mod = ids.key(id);
        if (!mod) {
            derived->MaybeAutoDelete();
            fail(error, QStringLiteral("%1.modifiers[%2]").arg(where).arg(i),
                 "no modifier with id '" + id + "'");
            return nullptr;
        }
        derived->AddModifier(mod, nullptr, 0);
    }
    return derived;
}

Object* Scene::readObject(const QJsonObject& o, const QString& folder, const QString& where,
                          QString* error) {
    const QString type = o.value("type").toString();
    if (type == "splineShape") {
        auto* s = new SplineShape;
        bool ok = true;
        if (o.contains("file")) {
            const QString file = QDir(folder).absoluteFilePath(o.value("file").toString());
            QString why;
            ok = readHostShape(file, s->shape, &why);
            if (!ok) fail(error, where, why);
        } else {
            ok = readSplines(o.value("splines").toArray(), s->shape, where, error);
        }
        s->shape.steps = o.value("steps").toInt(s->shape.steps);
        if (ok) return s;
        s->DeleteThis();
        return nullptr;
    }
    if (type == "rectangle") {
        return new RectangleShape(static_cast<float>(o.value("width").toDouble(10.0)),
                                  static_cast<float>(o.value("length").toDouble(10.0)));
    }
    if (type == "box") {
        Point3 size(10.0f, 10.0f, 10.0f);
        if (o.contains("size") && !readPoint(o.value("size"), size)) {
            fail(error, where, QStringLiteral("size: expected [x, y, z]"));
            return nullptr;
        }
        return new BoxObject(size);
    }
    if (type == "merge") {
        auto* merge = new MergeShape;
        const QJsonArray branches = o.value("branches").toArray();
        for (int i = 0; i < branches.size(); ++i) {
            Object* b = readPipeline(branches[i].toObject(), folder,
                                     QStringLiteral("%1.branches[%2]").arg(where).arg(i), error);
            if (!b) {
                merge->MaybeAutoDelete();
                return nullptr;
            }
            merge->AddBranch(b);
        }
        return merge;
    }
    if (type == "xref") {
        Object* source =
            readPipeline(o.value("source").toObject(), folder, where + ".source", error);
        if (!source) return nullptr;
        auto* x = new XRefObject;
        x->SetSource(source);
        return x;
    }
    fail(error, where, "unknown object type '" + type + "'");
    return nullptr;
}

bool Scene::upgradeBlocks(Modifier* mod, const QJsonObject& versions, const QString& where,
                          QString* error) {
    for (int b = 0; b < mod->NumParamBlocks(); ++b) {
        IParamBlock2* pb = mod->GetParamBlock(b);
        if (!pb) continue;
        ParamBlockDesc2* desc = pb->GetDesc();
        const QString name = QString::fromWCharArray(desc->int_name);
        const int saved = versions.value(name).toInt(0);
        if (saved > desc->Version())
            return fail(error, where + "." + name,
                        QStringLiteral("saved by version %1 of the block; this plug-in knows "
                                       "versions up to %2")
                            .arg(saved)
                            .arg(desc->Version()));
        if (saved < desc->Version() && desc->GetUpgrade()) desc->GetUpgrade()->Upgrade(pb, saved);
    }
    return true;
}

bool Scene::readParams(Modifier* mod, const QJsonObject& params, const QString& where,
                       QString* error) {
    for (auto it = params.begin(); it != params.end(); ++it) {
        const QString at = where + "." + it.key();
        IParamBlock2* pb = nullptr;
        const ParamDef* def = nullptr;
        for (int b = 0; b < mod->NumParamBlocks() && !def; ++b) {
            IParamBlock2* candidate = mod->GetParamBlock(b);
            if (!candidate) continue;
            for (const ParamDef& d : candidate->GetDesc()->paramdefs) {
                if (QString::fromWCharArray(d.int_name) == it.key()) {
                    pb = candidate;
                    def = &d;
                }
            }
        }
        if (!def) return fail(error, at, QStringLiteral("no such parameter"));
        const int type = base_type(def->type);
        // The limits the rollout's spinner keeps hold in a scene file too: a
        // threshold out of range loses shapes or turns one operation into
        // another.
        auto outOfRange = [&](const QJsonValue& v, QString* why) {
            if (!v.isDouble()) return false;
            const double value = v.toDouble();
            if (type == TYPE_INT &&
                (value != std::floor(value) || std::fabs(value) > 2147483647.0)) {
                *why = QStringLiteral("%1 is not a whole number").arg(value);
                return true;
            }
            if (!def->hasRange) return false;
            const double low = type == TYPE_FLOAT ? def->range_low.f : def->range_low.i;
            const double high = type == TYPE_FLOAT ? def->range_high.f : def->range_high.i;
            // A float parameter holds the value as a float: compare that.
            const double held = type == TYPE_FLOAT ? double(float(value)) : value;
            if (held >= low && held <= high) return false;
            *why = QStringLiteral("%1 is out of range: it must lie between %2 and %3")
                       .arg(value)
                       .arg(low)
                       .arg(high);
            return true;
        };
        QJsonArray rows;
        if (is_tab(def->type)) {
            if (!it.value().isArray()) return fail(error, at, QStringLiteral("expected an array"));
            rows = it.value().toArray();
            pb->SetCount(def->ID, rows.size());
        } else {
            rows.append(it.value());
        }
        for (int r = 0; r < rows.size(); ++r) {
            const QJsonValue v = rows[r];
            const QString rowAt = is_tab(def->type) ? QStringLiteral("%1[%2]").arg(at).arg(r) : at;
            QString why;
            if (outOfRange(v, &why)) return fail(error, rowAt, why);
            BOOL ok = FALSE;
            if (type == TYPE_FLOAT && v.isDouble()) {
                ok = pb->SetValue(def->ID, time, static_cast<float>(v.toDouble()), r);
            } else if (type == TYPE_INT && v.isDouble()) {
                ok = pb->SetValue(def->ID, time, v.toInt(), r);
            } else if (type == TYPE_INODE && (v.isNull() || v.isString())) {
                INode* n = v.isNull() ? nullptr : node(v.toString());
                if (v.isString() && !n)
                    return fail(error, at, "no node named '" + v.toString() + "'");
                ok = pb->SetValue(def->ID, time, n, r);
                if (!ok)
                    return fail(error, at,
                                "'" + v.toString() + "' would make the modifier depend on itself");
            } else {
                return fail(error, at, QStringLiteral("value of the wrong type"));
            }
            if (!ok) return fail(error, at, QStringLiteral("cannot be set"));
        }
    }
    return true;
}

// ---------------------------------------------------------------------------

QJsonObject Scene::writeObject(Object* obj) const {
    if (!obj) return {{"type", "none"}};
    if (obj->IsSubClassOf(splineShapeClassID)) {
        const BezierShape& shape = static_cast<SplineShape*>(obj)->shape;
        return {{"type", "splineShape"}, {"steps", shape.steps}, {"splines", splinesJson(shape)}};
    }
    if (auto* r = dynamic_cast<RectangleShape*>(obj))
        return {{"type", "rectangle"},
                {"width", static_cast<double>(r->width)},
                {"length", static_cast<double>(r->length)}};
    if (auto* b = dynamic_cast<BoxObject*>(obj))
        return {{"type", "box"}, {"size", pointJson(b->size)}};
    if (auto* m = dynamic_cast<MergeShape*>(obj)) {
        QJsonArray branches;
        for (int i = 0; i < m->NumPipeBranches(false); ++i)
            branches.append(writePipeline(m->GetPipeBranch(i, false)));
        return {{"type", "merge"}, {"branches", branches}};
    }
    if (auto* x = dynamic_cast<XRefObject*>(obj))
        return {{"type", "xref"}, {"source", writePipeline(x->Source())}};
    return {{"type", "unknown"}};
}

QJsonObject Scene::writePipeline(Object* obj) const {
    QJsonArray mods;  // top of the stack first while walking down
    while (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* d = static_cast<IDerivedObject*>(obj);
        for (int i = 0; i < d->NumModifiers(); ++i)
            mods.append(ids.value(d->GetModifier(i)));
        obj = d->GetObjRef();
    }
    QJsonArray applied;
    for (int i = mods.size() - 1; i >= 0; --i)
        applied.append(mods[i]);
    QJsonObject p{{"object", writeObject(obj)}};
    if (!applied.isEmpty()) p.insert("modifiers", applied);
    return p;
}

QByteArray Scene::saveJson() const {
    QJsonArray mods;
    for (Modifier* mod : modifiers()) {
        QJsonObject params;
        QJsonObject versions;
        for (int b = 0; b < mod->NumParamBlocks(); ++b) {
            IParamBlock2* pb = mod->GetParamBlock(b);
            if (!pb) continue;
            if (pb->GetDesc()->flags & P_VERSION)
                versions.insert(QString::fromWCharArray(pb->GetDesc()->int_name),
                                pb->GetDesc()->Version());
            for (const ParamDef& d : pb->GetDesc()->paramdefs) {
                const int type = base_type(d.type);
                const int rows = is_tab(d.type) ? pb->Count(d.ID) : 1;
                QJsonArray values;
                for (int r = 0; r < rows; ++r) {
                    if (type == TYPE_FLOAT) {
                        values.append(static_cast<double>(pb->GetFloat(d.ID, time, r)));
                    } else if (type == TYPE_INT) {
                        values.append(pb->GetInt(d.ID, time, r));
                    } else if (INode* n = pb->GetINode(d.ID, time, r)) {
                        values.append(QString::fromWCharArray(n->GetName()));
                    } else {
                        values.append(QJsonValue::Null);
                    }
                }
                params.insert(QString::fromWCharArray(d.int_name),
                              is_tab(d.type) ? QJsonValue(values) : values.first());
            }
        }
        ClassDesc* cd = classOf(mod);
        QJsonObject mo{
            {"id", ids.value(mod)},
            {"class",
             cd && cd->InternalName() ? QString::fromWCharArray(cd->InternalName()) : QString()},
            {"params", params}};
        if (!versions.isEmpty()) mo.insert("versions", versions);
        mods.append(mo);
    }
    QJsonArray nodeArray;
    for (INode* n : nodes()) {
        QJsonObject no = writePipeline(n->GetObjectRef());
        no.insert("name", QString::fromWCharArray(n->GetName()));
        no.insert("wireColor", colourName(n->GetWireColor()));
        no.insert("transform", matrixJson(n->GetNodeTM(time)));
        if (!(n->GetObjOffsetTM() == Matrix3()))
            no.insert("objectOffset", matrixJson(n->GetObjOffsetTM()));
        nodeArray.append(no);
    }
    const QJsonObject root{{"format", "carvex-scene"},
                           {"version", 1},
                           {"time", time},
                           {"modifiers", mods},
                           {"nodes", nodeArray}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool Scene::save(const QString& path, QString* error) const {
    // Whole or not at all, a full disk included; the message names the file.
    return writeFilesAtomically({{path, saveJson()}}, error);
}

// ---------------------------------------------------------------------------

QVector<INode*> Scene::modifiedNodes() const {
    QVector<INode*> out;
    for (INode* n : nodes()) {
        Object* obj = n->GetObjectRef();
        if (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID &&
            static_cast<IDerivedObject*>(obj)->NumModifiers() > 0)
            out.push_back(n);
    }
    return out;
}

void Scene::beginRender() {
    for (Modifier* mod : modifiers())
        mod->RenderBegin(time);
}

void Scene::endRender() {
    for (Modifier* mod : modifiers())
        mod->RenderEnd(time);
}

BezierShape* Scene::evaluate(INode* n) {
    if (converted) converted->DeleteThis();
    converted = nullptr;
    if (!n) return nullptr;
    beginRender();
    Object* obj = n->EvalWorldState(time).obj;
    endRender();
    if (!obj) return nullptr;
    if (obj->IsSubClassOf(splineShapeClassID)) return &static_cast<SplineShape*>(obj)->shape;
    if (!obj->CanConvertToType(splineShapeClassID)) return nullptr;
    Object* c = obj->ConvertToType(time, splineShapeClassID);
    if (!c) return nullptr;
    if (c != obj) converted = c;
    return &static_cast<SplineShape*>(c)->shape;
}

bool Scene::writeResults(const QString& folder, const QString& ext, QStringList* written,
                         QString* error) {
    if (ext != "svg" && ext != "json" && ext != "png")
        return fail(error, QString(), "cannot write ." + ext + " shape files");
    if (!QDir().mkpath(folder)) return fail(error, folder, QStringLiteral("cannot be made"));
    for (INode* n : modifiedNodes()) {
        const QString name = QString::fromWCharArray(n->GetName());
        const BezierShape* shape = evaluate(n);
        if (!shape) return fail(error, name, QStringLiteral("does not evaluate to a shape"));
        const QString path = QDir(folder).filePath(fileNameFor(name) + "." + ext);
        if (!writeHostShape(path, *shape, error)) return false;
        if (written) written->append(path);
    }
    return true;
}

}  // namespace standin
