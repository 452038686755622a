// The last error, module file names and version resources. A module's
// version resource comes from the resource script compiled into it, found
// by the module file's name, as the system finds it in the file.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>

#include "hostsdk.h"
#include "standin/host.h"
#include "standin/resourcescript.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// The block GetFileVersionInfoW fills: a mark, the fixed part, then each
// string value as two zero-terminated wide strings, key and value.
constexpr char kBlockMark[8] = {'S', 'T', 'V', 'E', 'R', 'S', '1', 0};

struct BlockHeader {
    char mark[8];
    VS_FIXEDFILEINFO fixed;
    DWORD stringCount;
};

DWORD words(quint16 high, quint16 low) {
    return (static_cast<DWORD>(high) << 16) | low;
}

// The module's version resource as a block; empty with lastError set when
// the file or its resource is missing.
std::vector<char> versionBlock(LPCWSTR fileName) {
    if (!fileName) {
        lastError = ERROR_INVALID_PARAMETER;
        return {};
    }
    const QFileInfo file(QString::fromWCharArray(fileName));
    if (!file.exists()) {
        lastError = ERROR_FILE_NOT_FOUND;
        return {};
    }
    // Resources of a module live in the module: here, compiled in as Qt
    // resources named after the file, so only a loaded module shows them.
    const QString folder = QStringLiteral(":/standin-modules/") + file.completeBaseName();
    const QStringList scripts = QDir(folder).entryList({QStringLiteral("*.rc")}, QDir::Files);
    standin::ResourceScript script;
    if (scripts.size() != 1 || !script.parse(folder + '/' + scripts.first()) || !script.version()) {
        lastError = ERROR_RESOURCE_TYPE_NOT_FOUND;
        return {};
    }
    const standin::VersionInfo& info = *script.version();

    BlockHeader header{};
    std::memcpy(header.mark, kBlockMark, sizeof kBlockMark);
    VS_FIXEDFILEINFO& f = header.fixed;
    f.dwSignature = 0xFEEF04BD;
    f.dwStrucVersion = 0x00010000;
    f.dwFileVersionMS = words(info.fileVersion[0], info.fileVersion[1]);
    f.dwFileVersionLS = words(info.fileVersion[2], info.fileVersion[3]);
    f.dwProductVersionMS = words(info.productVersion[0], info.productVersion[1]);
    f.dwProductVersionLS = words(info.productVersion[2], info.productVersion[3]);
    f.dwFileFlagsMask = info.fileFlagsMask;
    f.dwFileFlags = info.fileFlags;
    f.dwFileOS = info.fileOS;
    f.dwFileType = info.fileType;
    f.dwFileSubtype = info.fileSubtype;
    header.stringCount = static_cast<DWORD>(info.values.size());

    std::vector<char> block(sizeof header);
    std::memcpy(block.data(), &header, sizeof header);
    auto append = [&block](const QString& s) {
        const std::wstring w = s.toStdWString();
        const size_t at = block.size();
        block.resize(at + (w.size() + 1) * sizeof(WCHAR));
        std::memcpy(block.data() + at, w.c_str(), (w.size() + 1) * sizeof(WCHAR));
    };
    for (auto it = info.values.begin(); it != info.values.end(); ++it) {
        append(it.key());
        append(it.value());
    }
    return block;
}

}  // namespace

DWORD WINAPI GetLastError() {
    return lastError;
}

void WINAPI SetLastError(DWORD error) {
    lastError = error;
}

DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    if (!fileName || size == 0) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    // No module: the program itself.
    const QString file = module ? standin::moduleFileName(module)
                                : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (file.isEmpty()) {
        fileName[0] = 0;
        lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    const std::wstring w = file.toStdWString();
    const DWORD n = static_cast<DWORD>(std::min<size_t>(w.size(), size - 1));
    std::copy(w.begin(), w.begin() + n, fileName);
    fileName[n] = 0;
    if (n < w.size()) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return size;
    }
    return n;
}

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
    if (handle) *handle = 0;
    return static_cast<DWORD>(versionBlock(fileName).size());
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD length, LPVOID data) {
    if (!data) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const std::vector<char> block = versionBlock(fileName);
    if (block.empty()) return FALSE;
    if (length < block.size()) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length) {
    if (!block || !subBlock || !buffer) return FALSE;
    const auto* header = static_cast<const BlockHeader*>(block);
    if (std::memcmp(header->mark, kBlockMark, sizeof kBlockMark) != 0) return FALSE;
    const QString path = QString::fromWCharArray(subBlock);
    if (path == QLatin1String("\\")) {
        *buffer = const_cast<VS_FIXEDFILEINFO*>(&header->fixed);
        if (length) *length = sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    }
    // "\StringFileInfo\040904b0\FileVersion" is kept as "StringFileInfo/040904b0/FileVersion".
    const QString key = path.mid(path.startsWith('\\') ? 1 : 0).replace('\\', '/');
    const auto* at =
        reinterpret_cast<const WCHAR*>(static_cast<const char*>(block) + sizeof(BlockHeader));
    for (DWORD i = 0; i < header->stringCount; ++i) {
        const WCHAR* name = at;
        const WCHAR* value = name + std::wcslen(name) + 1;
        at = value + std::wcslen(value) + 1;
        if (QString::fromWCharArray(name).compare(key, Qt::CaseInsensitive) == 0) {
            *buffer = const_cast<WCHAR*>(value);
            if (length) *length = static_cast<UINT>(std::wcslen(value) + 1);
            return TRUE;
        }
    }
    return FALSE;
}
