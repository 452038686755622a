#pragma once

// The host side of the stand-in: what the host itself does and plug-ins
// never see. Module loading, module resources, and the few object types of
// the host's own that scenes are built from.

#include <QString>
#include <QVector>

#include "hostsdk.h"

namespace standin {

class ResourceScript;

// ---------------------------------------------------------------------------
// Modules

// The file a module handle (its load address) belongs to, or empty.
QString moduleFileName(HINSTANCE instance);
// Where a module's compiled-in resources live: ":/standin-modules/<file base name>".
QString moduleResourceFolder(HINSTANCE instance);
// The module's resource script, parsed once; null (with a reason) when the
// module has none or it does not parse.
const ResourceScript* moduleResources(HINSTANCE instance, QString* error = nullptr);
// Whether the module asked to hear no more of thread attach and detach.
bool threadCallsDisabled(HMODULE module);

// A plug-in library loaded as the host loads one: the version it was built
// for is checked, it is initialised, and its class descriptors are taken
// from its exports.
class PluginLibrary {
public:
    PluginLibrary() = default;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary() { unload(); }

    bool load(const QString& path, QString* error = nullptr);
    // Shuts the library down and unloads it; every object it made must be
    // gone by then.
    void unload();

    bool isLoaded() const { return library != nullptr; }
    QString path() const { return file; }
    QString description() const { return describe; }
    const QVector<ClassDesc*>& classes() const { return descs; }
    ClassDesc* classByInternalName(const QString& name) const;
    // An export of the library, or null.
    void* symbol(const char* name) const;

private:
    void* library = nullptr;
    QString file;
    QString describe;
    QVector<ClassDesc*> descs;
};

// ---------------------------------------------------------------------------
// Objects of the host's own

// A closed rectangle of corner knots centred on the origin; becomes a
// spline shape on request.
class RectangleShape : public ShapeObject {
public:
    RectangleShape(float width, float length) : width(width), length(length) {}

    Class_ID ClassID() override { return Class_ID(0x5A7E0001, 0); }
    ObjectState Eval(TimeValue) override { return ObjectState(this); }
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    RefTargetHandle Clone(RemapDir& remap) override;

    float width;
    float length;
};

// A solid that is no shape and cannot become one.
class BoxObject : public GeomObject {
public:
    explicit BoxObject(const Point3& size) : size(size) {}

    Class_ID ClassID() override { return Class_ID(0x5A7E0002, 0); }
    ObjectState Eval(TimeValue) override { return ObjectState(this); }
    RefTargetHandle Clone(RemapDir& remap) override;

    Point3 size;
};

// A compound shape whose pipe branches are objects with stacks of their own;
// as a spline shape it holds the splines of every branch in turn.
class MergeShape : public ShapeObject {
public:
    Class_ID ClassID() override { return Class_ID(0x5A7E0003, 0); }
    ObjectState Eval(TimeValue) override { return ObjectState(this); }
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    RefTargetHandle Clone(RemapDir& remap) override;

    int NumPipeBranches(bool = true) override { return static_cast<int>(branches.size()); }
    Object* GetPipeBranch(int i, bool = true) override;
    void AddBranch(Object* branch);

    int NumRefs() override { return static_cast<int>(branches.size()); }
    RefTargetHandle GetReference(int i) override;

private:
    void SetReference(int i, RefTargetHandle target) override;
    std::vector<Object*> branches;
};

// An object shown from another scene file: it evaluates to its source.
class XRefObject : public Object {
public:
    SClass_ID SuperClassID() override { return SYSTEM_CLASS_ID; }
    Class_ID ClassID() override { return XREFOBJ_CLASS_ID; }
    ObjectState Eval(TimeValue t) override;
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    RefTargetHandle Clone(RemapDir& remap) override;

    Object* Source() { return source; }
    void SetSource(Object* obj) { ReplaceReference(0, obj); }

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? source : nullptr; }

private:
    void SetReference(int i, RefTargetHandle target) override;
    Object* source = nullptr;
};

}  // namespace standin
