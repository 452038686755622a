#include <dlfcn.h>

#include <QDir>
#include <QFileInfo>
#include <QMap>
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
};

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

LRESULT WINAPI DefWindowProcW(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
