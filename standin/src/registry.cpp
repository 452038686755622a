// The current user's registry, kept in the per-user settings store:
// "Software\Maker\Product\rest" is group "rest" of the settings of
// organisation "Maker", application "Product". Other paths live in the
// settings of "standin", "registry" under their full path.

#include <QSettings>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "hostsdk.h"

namespace {

struct OpenKey {
    QStringList path;  // below HKEY_CURRENT_USER
    REGSAM access = 0;
};

std::mutex& lock() {
    static std::mutex m;
    return m;
}

std::set<OpenKey*>& openKeys() {
    static std::set<OpenKey*> keys;
    return keys;
}

// The key's path below HKEY_CURRENT_USER and the access it was opened
// with; false for an unknown key.
bool lookUp(HKEY key, QStringList* path, REGSAM* access = nullptr) {
    OpenKey found{{}, KEY_ALL_ACCESS};
    if (key != HKEY_CURRENT_USER) {
        std::lock_guard<std::mutex> guard(lock());
        auto* open = reinterpret_cast<OpenKey*>(key);
        if (!openKeys().count(open)) return false;
        found = *open;
    }
    *path = found.path;
    if (access) *access = found.access;
    return true;
}

QStringList segments(LPCWSTR subKey) {
    if (!subKey) return {};
    return QString::fromWCharArray(subKey).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// The store that holds the key, entered at the key's group.
class KeyStore {
public:
    explicit KeyStore(const QStringList& path)
        : settings(QSettings::NativeFormat, QSettings::UserScope, organisation(path),
                   application(path)) {
        const QStringList group = groupOf(path);
        if (!group.isEmpty()) settings.beginGroup(group.join(QLatin1Char('/')));
    }
    bool exists() const {
        return !settings.childKeys().isEmpty() || !settings.childGroups().isEmpty();
    }
    QSettings settings;

private:
    static bool underProduct(const QStringList& path) {
        return path.size() >= 3 &&
               path[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0;
    }
    static QString organisation(const QStringList& path) {
        return underProduct(path) ? path[1] : QStringLiteral("standin");
    }
    static QString application(const QStringList& path) {
        return underProduct(path) ? path[2] : QStringLiteral("registry");
    }
    static QStringList groupOf(const QStringList& path) {
        return underProduct(path) ? QStringList(path.mid(3)) : path;
    }
};

// A value without a name is the key's default value.
QString valueKey(LPCWSTR name) {
    const QString n = name ? QString::fromWCharArray(name) : QString();
    return n.isEmpty() ? QStringLiteral("(Default)") : n;
}

HKEY openHandle(const QStringList& path, REGSAM access) {
    auto* key = new OpenKey{path, access};
    std::lock_guard<std::mutex> guard(lock());
    openKeys().insert(key);
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    QStringList path;
    if (!lookUp(key, &path)) return ERROR_INVALID_HANDLE;
    path += segments(subKey);
    if (!path.isEmpty() && !KeyStore(path).exists()) return ERROR_FILE_NOT_FOUND;
    *result = openHandle(path, desired);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM desired,
                               const SECURITY_ATTRIBUTES*, HKEY* result, LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    QStringList path;
    if (!lookUp(key, &path)) return ERROR_INVALID_HANDLE;
    path += segments(subKey);
    if (disposition)
        *disposition = KeyStore(path).exists() ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = openHandle(path, desired);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, BYTE* data,
                                LPDWORD size) {
    QStringList path;
    REGSAM access = 0;
    if (!lookUp(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if ((access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    KeyStore store(path);
    const QString name = valueKey(valueName);
    if (!store.settings.contains(name)) return ERROR_FILE_NOT_FOUND;
    const std::wstring value = store.settings.value(name).toString().toStdWString();
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
    if (type) *type = REG_SZ;
    if (!data) {
        if (size) *size = bytes;
        return ERROR_SUCCESS;
    }
    if (*size < bytes) {
        *size = bytes;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.c_str(), bytes);
    *size = bytes;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                              DWORD size) {
    QStringList path;
    REGSAM access = 0;
    if (!lookUp(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if ((access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (type != REG_SZ) return ERROR_NOT_SUPPORTED;
    if (!data && size) return ERROR_INVALID_PARAMETER;
    // The text runs to its terminator or to the end of the data.
    const auto* text = reinterpret_cast<const WCHAR*>(data);
    const size_t most = size / sizeof(WCHAR);
    const size_t length = text ? std::find(text, text + most, WCHAR(0)) - text : 0;
    KeyStore store(path);
    store.settings.setValue(valueKey(valueName),
                            QString::fromWCharArray(text, static_cast<int>(length)));
    store.settings.sync();
    return store.settings.status() == QSettings::NoError ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    std::lock_guard<std::mutex> guard(lock());
    auto* open = reinterpret_cast<OpenKey*>(key);
    if (!openKeys().erase(open)) return ERROR_INVALID_HANDLE;
    delete open;
    return ERROR_SUCCESS;
}
