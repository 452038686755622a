#include "update.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNodeList>
#include <QFile>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "plugin.h"

namespace {

// Our update server. The name is reserved for examples and never
// resolves; a build for release names the real one.
const QString kServerName = QStringLiteral("updates.carvex.example");
// The maker's segment of the settings key.
const QString kMakerKey = QStringLiteral("Carvex");
const wchar_t kAutoCheckValue[] = L"autocheckversion";

constexpr DWORD kReplySize = 32767;
constexpr DWORD kChunk = 512;
constexpr DWORD kFileNameChars = 520;
constexpr DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN;

std::wstring wide(const QString& s) {
    return s.toStdWString();
}

std::wstring settingsKey(const UpdateState& state) {
    return wide(QStringLiteral("Software\\%1\\%2\\%3")
                    .arg(kMakerKey, state.productName, state.hostVersion));
}

QString moduleVersion(HINSTANCE module) {
    std::vector<WCHAR> file(32768, 0);
    if (!GetModuleFileNameW(module, file.data(), static_cast<DWORD>(file.size()))) return QString();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.data(), &handle);
    if (!size) return QString();
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(file.data(), handle, size, block.data())) return QString();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return QString();
    return QString::asprintf("%d.%d.%d.%d", HIWORD(info->dwFileVersionMS),
                             LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                             LOWORD(info->dwFileVersionLS));
}

void closeAll(std::initializer_list<HINTERNET> handles) {
    for (HINTERNET h : handles)
        if (h) InternetCloseHandle(h);
}

// POSTs the buffer's text (up to its first zero byte) to path on the update
// server and reads the reply into the buffer, n bytes at most, the last of
// them always zero. True when the request was sent.
bool sendServerRequest(const UpdateServer& server, const QString& agent, const wchar_t* path,
                       const wchar_t* header, char* buffer, DWORD n) {
    HINTERNET internet =
        InternetOpenW(wide(agent).c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    HINTERNET connection = InternetConnectW(internet, wide(server.host).c_str(), server.port,
                                            nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    LPCWSTR accepted[] = {L"application/octet-stream", L"application/x-www-form-urlencoded",
                          nullptr};
    HINTERNET request =
        connection ? HttpOpenRequestW(connection, L"POST", path, L"HTTP/1.1", nullptr, accepted,
                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE, 0)
                   : nullptr;
    const bool sent = request && HttpSendRequestW(request, header, static_cast<DWORD>(-1), buffer,
                                                  static_cast<DWORD>(std::strlen(buffer)));
    if (sent) {
        std::memset(buffer, 0, std::min(kChunk, n));
        DWORD stored = 0;
        char chunk[kChunk];
        while (stored < n) {
            DWORD got = 0;
            if (!InternetReadFile(request, chunk, kChunk, &got) || got == 0) break;
            // What does not fit is dropped; the text stays terminated.
            if (stored + got < n) {
                std::memcpy(buffer + stored, chunk, got);
                stored += got;
            }
        }
    }
    closeAll({request, connection, internet});
    return sent;
}

QString releaseAddress(const UpdateServer& server, const QString& product) {
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(server.host);
    if (server.port != INTERNET_DEFAULT_HTTPS_PORT) url.setPort(server.port);
    url.setPath(QStringLiteral("/release/") + product + QStringLiteral(".zip"));
    return url.toString(QUrl::FullyEncoded);
}

// Downloads the release archive into path, showing its progress in a bar
// across the top of parent. Escape cancels; a cancelled or failed download
// leaves what was written.
bool downloadRelease(const UpdateState& state, const UpdateServer& server, HWND parent,
                     const QString& path) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const qint64 offset = out.pos();

    if (InternetAttemptConnect(0) != ERROR_SUCCESS) return false;
    HINTERNET internet =
        InternetOpenW(L"downloader", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    // Over https, like the check: whoever could change the archive on its
    // way could make the user run anything.
    const std::wstring address = wide(releaseAddress(server, state.productName));
    const std::wstring range = wide(QStringLiteral("Range:bytes=%1-").arg(offset));
    HINTERNET file =
        InternetOpenUrlW(internet, address.c_str(), range.c_str(), static_cast<DWORD>(-1),
                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    // A reply with an error status carries the server's page about the
    // error, not the archive.
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!file ||
        !HttpQueryInfoW(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr) ||
        (status != 200 && status != 206)) {
        closeAll({file, internet});
        return false;
    }
    DWORD length = 0;
    size = sizeof length;
    if (!HttpQueryInfoW(file, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                        nullptr)) {
        closeAll({file, internet});
        return false;
    }
    if (length == 0 || length == offset) {
        closeAll({file, internet});
        return true;
    }

    RECT client{};
    GetClientRect(parent, &client);
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, client.left + 3,
                               client.top + 5, client.right - client.left - 3, 16, parent, nullptr,
                               hInstance, nullptr);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    // The host stops answering while this runs; its windows keep showing.
    DisableProcessWindowsGhosting();

    bool complete = true;
    qint64 total = 0;
    char chunk[kChunk];
    for (;;) {
        DWORD got = 0;
        if ((GetAsyncKeyState(VK_ESCAPE) & 0x8000) ||
            !InternetReadFile(file, chunk, kChunk, &got) || out.write(chunk, got) != got) {
            complete = false;
            break;
        }
        total += got;
        if (got == 0) break;
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(total * 100 / length), 0);
    }
    if (bar) DestroyWindow(bar);
    closeAll({file, internet});
    out.close();
    return complete && out.error() == QFileDevice::NoError;
}

// The file the user chooses for the archive; none when the dialog is
// cancelled or fails.
std::optional<QString> chooseArchiveFile(const UpdateState& state, HWND parent) {
    WCHAR documents[MAX_PATH] = {0};
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    const std::wstring suggested = std::wstring(documents) + L"\\" + wide(state.productName);
    std::vector<WCHAR> file(kFileNameChars, 0);
    std::copy_n(suggested.begin(), std::min<size_t>(suggested.size(), kFileNameChars - 1),
                file.begin());

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = parent;
    ofn.lpstrFilter = L"Zip archive\0*.zip\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kFileNameChars;
    ofn.Flags = kSaveFlags;
    // A typed name without an extension gets the archive's.
    ofn.lpstrDefExt = L"zip";
    if (!GetSaveFileNameW(&ofn)) return std::nullopt;
    return QString::fromWCharArray(file.data());
}

int ask(HWND parent, const QString& text, const UpdateState& state, UINT type) {
    return MessageBoxW(parent, wide(text).c_str(), wide(state.productName).c_str(), type);
}

}  // namespace

UpdateState& updateState() {
    static UpdateState state;
    return state;
}

void loadUpdateState(UpdateState& state, HINSTANCE module) {
    state.pluginVersion = moduleVersion(module);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsKey(state).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    WCHAR value[64] = {0};
    DWORD size = sizeof value - sizeof(WCHAR);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, kAutoCheckValue, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        state.autoCheck = std::wcstol(value, nullptr, 10) != 0;
    RegCloseKey(key);
}

void saveAutoCheck(const UpdateState& state) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settingsKey(state).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const wchar_t* value = state.autoCheck ? L"1" : L"0";
    RegSetValueExW(key, kAutoCheckValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

bool isOlderVersion(const QString& current, const QString& candidate) {
    QStringList a = current.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    QStringList b = candidate.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    while (a.size() < b.size())
        a << QStringLiteral("0");
    while (b.size() < a.size())
        b << QStringLiteral("0");
    for (int i = 0; i < a.size(); ++i) {
        // toInt gives 0 for a part that is no number.
        const int mine = a[i].toInt();
        const int theirs = b[i].toInt();
        if (mine != theirs) return mine < theirs;
    }
    return false;
}

std::optional<UpdateServer> updateServer() {
    const QString chosen = qEnvironmentVariable("CARVEX_UPDATE_SERVER");
    if (chosen.isEmpty()) return UpdateServer{kServerName, INTERNET_DEFAULT_HTTPS_PORT};
    const QUrl url(chosen, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty() ||
        !url.userInfo().isEmpty() || (!url.path().isEmpty() && url.path() != QLatin1String("/")))
        return std::nullopt;
    return UpdateServer{url.host(),
                        static_cast<INTERNET_PORT>(url.port(INTERNET_DEFAULT_HTTPS_PORT))};
}

void runUpdateCheck(UpdateState& state, HWND parent) {
    const std::optional<UpdateServer> server = updateServer();
    if (!server) return;
    std::vector<char> reply(kReplySize, 0);
    if (!sendServerRequest(*server, state.productName, L"/info.xml",
                           L"Content-Type: application/octet-stream", reply.data(), kReplySize))
        return;
    QDomDocument document;
    if (!document.setContent(QByteArray(reply.data()))) return;
    const QDomNodeList found = document.elementsByTagName(state.productName);
    if (found.isEmpty()) return;
    const QDomElement product = found.at(0).toElement();
    const QString newVersion = product.attribute(QStringLiteral("Version"));

    if (isOlderVersion(state.pluginVersion, newVersion)) {
        QString text =
            QStringLiteral("Current version is: %1\nNew version %2 is available for download.\n\n")
                .arg(state.pluginVersion, newVersion);
        const QString info = product.attribute(QStringLiteral("Info"));
        if (!info.isEmpty()) text += info + QStringLiteral("\n\n");
        text += QStringLiteral("Do you want to download new version?");
        if (ask(parent, text, state, MB_YESNO) == IDYES) {
            const std::optional<QString> file = chooseArchiveFile(state, parent);
            if (!file)
                ask(parent, QStringLiteral("Can't save file"), state, MB_OK);
            else if (downloadRelease(state, *server, parent, *file))
                ask(parent, QStringLiteral("Download complete"), state, MB_OK);
            else
                ask(parent, QStringLiteral("Can't download file"), state, MB_OK);
        }
    } else if (!state.alreadyRun) {
        // Asked for by the user, and nothing newer: offer automatic checks.
        state.autoCheck =
            ask(parent,
                QStringLiteral(
                    "You use last version.\n\nDo you want to enable auto check version?"),
                state, MB_YESNO) == IDYES;
        saveAutoCheck(state);
    }
    state.alreadyRun = true;
}
