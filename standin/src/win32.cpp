#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "hostsdk.h"
#include "standin/host.h"
#include "standin/resourcescript.h"

namespace standin {

namespace {

std::mutex& lock() {
    static std::mutex m;
    return m;
}

struct RegisteredClass {
    WNDCLASSEXW wc;
    std::wstring name;
    QString context;  // assembly of the activation context in force at registration
};

// A module's side-by-side manifest, as an activation context.
struct ActivationContext {
    QString assembly;
};

// Activated contexts, innermost last, with their cookies.
std::vector<std::pair<ActivationContext*, ULONG_PTR>>& activeContexts() {
    static std::vector<std::pair<ActivationContext*, ULONG_PTR>> stack;
    return stack;
}

QString currentContext() {
    const auto& stack = activeContexts();
    return stack.empty() ? QString() : stack.back().first->assembly;
}

std::map<std::wstring, RegisteredClass>& windowClasses() {
    static std::map<std::wstring, RegisteredClass> classes;
    return classes;
}

QSet<HMODULE>& quietModules() {
    static QSet<HMODULE> modules;
    return modules;
}

struct CachedScript {
    QString path;
    std::unique_ptr<ResourceScript> script;
    QString error;
};

std::map<HINSTANCE, CachedScript>& scripts() {
    static std::map<HINSTANCE, CachedScript> cache;
    return cache;
}

}  // namespace

QString moduleFileName(HINSTANCE instance) {
    if (!instance) return QString();
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(instance), &info) || !info.dli_fname) return QString();
    if (info.dli_fbase != reinterpret_cast<void*>(instance)) return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

QString moduleResourceFolder(HINSTANCE instance) {
    const QString file = moduleFileName(instance);
    if (file.isEmpty()) return QString();
    return QStringLiteral(":/standin-modules/") + QFileInfo(file).completeBaseName();
}

const ResourceScript* moduleResources(HINSTANCE instance, QString* error) {
    std::lock_guard<std::mutex> guard(lock());
    const QString file = moduleFileName(instance);
    CachedScript& entry = scripts()[instance];
    // A module loaded later at the same address is another module.
    if (!entry.script || entry.path != file) {
        entry.path = file;
        entry.script.reset();
        entry.error.clear();
        const QString folder = moduleResourceFolder(instance);
        const QStringList rc = QDir(folder).entryList({"*.rc"}, QDir::Files);
        if (folder.isEmpty()) {
            entry.error = QStringLiteral("no module at that handle");
        } else if (rc.size() != 1) {
            entry.error = QStringLiteral("%1 holds %2 resource scripts").arg(folder).arg(rc.size());
        } else {
            auto script = std::make_unique<ResourceScript>();
            if (script->parse(folder + '/' + rc.first(), &entry.error))
                entry.script = std::move(script);
        }
    }
    if (!entry.script && error) *error = entry.error;
    return entry.script.get();
}

QString windowClassContext(const QString& className) {
    std::lock_guard<std::mutex> guard(lock());
    const auto it = windowClasses().find(className.toStdWString());
    return it == windowClasses().end() ? QString() : it->second.context;
}

const WNDCLASSEXW* findClass(const std::wstring& name) {
    std::lock_guard<std::mutex> guard(lock());
    const auto it = windowClasses().find(name);
    return it == windowClasses().end() ? nullptr : &it->second.wc;
}

bool threadCallsDisabled(HMODULE module) {
    std::lock_guard<std::mutex> guard(lock());
    return quietModules().contains(module);
}

}  // namespace standin

BOOL WINAPI DisableThreadLibraryCalls(HMODULE module) {
    if (!module) return FALSE;
    std::lock_guard<std::mutex> guard(standin::lock());
    standin::quietModules().insert(module);
    return TRUE;
}

int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) return 0;
    buffer[0] = 0;
    const standin::ResourceScript* script = standin::moduleResources(instance);
    if (!script) return 0;
    const std::optional<QString> text = script->string(static_cast<int>(id));
    if (!text) return 0;
    const std::wstring w = text->toStdWString();
    const int n = std::min(static_cast<int>(w.size()), bufferMax - 1);
    std::copy(w.begin(), w.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName || !wc->lpfnWndProc)
        return 0;
    std::lock_guard<std::mutex> guard(standin::lock());
    auto& classes = standin::windowClasses();
    const std::wstring name = wc->lpszClassName;
    if (classes.count(name)) return 0;
    standin::RegisteredClass& rc = classes[name];
    rc.wc = *wc;
    rc.name = name;
    rc.wc.lpszClassName = rc.name.c_str();
    rc.wc.lpszMenuName = nullptr;
    rc.context = standin::currentContext();
    return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL WINAPI GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* wc) {
    if (!className || !wc) return FALSE;
    std::lock_guard<std::mutex> guard(standin::lock());
    const auto& classes = standin::windowClasses();
    const auto it = classes.find(className);
    if (it == classes.end() || it->second.wc.hInstance != instance) return FALSE;
    *wc = it->second.wc;
    return TRUE;
}

HANDLE WINAPI CreateActCtxW(const ACTCTXW* context) {
    if (!context || context->cbSize != sizeof(ACTCTXW)) return INVALID_HANDLE_VALUE;
    // Only manifests compiled into a module, named by number.
    const DWORD needed = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    if ((context->dwFlags & needed) != needed || !IS_INTRESOURCE(context->lpResourceName))
        return INVALID_HANDLE_VALUE;
    const standin::ResourceScript* script = standin::moduleResources(context->hModule);
    const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(context->lpResourceName));
    const standin::FileResource* manifest = script ? script->file(24, id) : nullptr;
    if (!manifest) return INVALID_HANDLE_VALUE;
    QFile f(manifest->path);
    if (!f.open(QIODevice::ReadOnly)) return INVALID_HANDLE_VALUE;
    // The first assembly identity is the manifest's own.
    static const QRegularExpression identity(
        QStringLiteral("<assemblyIdentity\\b[^>]*\\bname=\"([^\"]+)\""));
    const QRegularExpressionMatch m = identity.match(QString::fromUtf8(f.readAll()));
    if (!m.hasMatch()) return INVALID_HANDLE_VALUE;
    return new standin::ActivationContext{m.captured(1)};
}

BOOL WINAPI ActivateActCtx(HANDLE context, ULONG_PTR* cookie) {
    if (!context || context == INVALID_HANDLE_VALUE || !cookie) return FALSE;
    static ULONG_PTR next = 0;
    std::lock_guard<std::mutex> guard(standin::lock());
    *cookie = ++next;
    standin::activeContexts().push_back(
        {static_cast<standin::ActivationContext*>(context), *cookie});
    return TRUE;
}

BOOL WINAPI DeactivateActCtx(DWORD, ULONG_PTR cookie) {
    std::lock_guard<std::mutex> guard(standin::lock());
    auto& stack = standin::activeContexts();
    // Contexts are deactivated innermost first.
    if (stack.empty() || stack.back().second != cookie) return FALSE;
    stack.pop_back();
    return TRUE;
}

void WINAPI ReleaseActCtx(HANDLE context) {
    if (!context || context == INVALID_HANDLE_VALUE) return;
    std::lock_guard<std::mutex> guard(standin::lock());
    auto& stack = standin::activeContexts();
    for (const auto& active : stack)
        if (active.first == context) return;  // still in force: a release now is refused
    delete static_cast<standin::ActivationContext*>(context);
}
