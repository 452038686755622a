#include "update.h"

#include <QDeadlineTimer>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNodeList>
#include <QSaveFile>
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
// The longest the whole check, and each wait for more of a download, may
// take; CARVEX_UPDATE_TIMEOUT_MS sets another (the tests' short waits).
constexpr int kDefaultWaitLimitMs = 30000;
// How often a wait looks at Escape and the clock.
constexpr int kPollMs = 100;
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

int waitLimitMs() {
    bool ok = false;
    const int chosen = qEnvironmentVariableIntValue("CARVEX_UPDATE_TIMEOUT_MS", &ok);
    return ok && chosen > 0 ? chosen : kDefaultWaitLimitMs;
}

void setReceiveTimeout(HINTERNET handle, qint64 ms) {
    DWORD value = static_cast<DWORD>(std::clamp<qint64>(ms, 1, 0x7FFFFFFF));
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
}

bool escapeDown() {
    return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
}

// Waits for more of a reply, looking at the clock (and at Escape, when it
// cancels) every kPollMs rather than only when a buffer is full: how many
// bytes can be read at once, 0 at the end, -1 when the wait failed, ran
// past the deadline or was cancelled.
qint64 waitForData(HINTERNET request, const QDeadlineTimer& deadline, bool escapeCancels) {
    for (;;) {
        if ((escapeCancels && escapeDown()) || deadline.hasExpired()) return -1;
        setReceiveTimeout(request, std::min<qint64>(kPollMs, deadline.remainingTime()));
        DWORD available = 0;
        if (InternetQueryDataAvailable(request, &available, 0, 0)) return available;
        if (GetLastError() != ERROR_INTERNET_TIMEOUT) return -1;
    }
}

// Whether the reply came over https, after every redirect: a reply that
// anyone on the way could have written is never believed.
bool cameOverHttps(HINTERNET request) {
    DWORD size = 0;
    InternetQueryOptionW(request, INTERNET_OPTION_URL, nullptr, &size);
    if (size == 0) return false;
    std::vector<WCHAR> url(size / sizeof(WCHAR) + 1, 0);
    size = static_cast<DWORD>(url.size() * sizeof(WCHAR));
    if (!InternetQueryOptionW(request, INTERNET_OPTION_URL, url.data(), &size)) return false;
    return QUrl(QString::fromWCharArray(url.data())).scheme() == QLatin1String("https");
}

DWORD statusOf(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr))
        return 0;
    return status;
}

// POSTs the buffer's text (up to its first zero byte) to path on the update
// server and reads the reply into the buffer, terminated. True only when
// the whole reply came over https within the deadline and fits, zero
// included, in n bytes: a reply cut short or with a piece dropped could
// still parse, and say something the server never said.
bool sendServerRequest(const UpdateServer& server, const QString& agent, const wchar_t* path,
                       const wchar_t* header, char* buffer, DWORD n) {
    const QDeadlineTimer deadline(waitLimitMs());
    HINTERNET internet =
        InternetOpenW(wide(agent).c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    setReceiveTimeout(internet, deadline.remainingTime());
    HINTERNET connection = InternetConnectW(internet, wide(server.host).c_str(), server.port,
                                            nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    LPCWSTR accepted[] = {L"application/octet-stream", L"application/x-www-form-urlencoded",
                          nullptr};
    HINTERNET request =
        connection ? HttpOpenRequestW(connection, L"POST", path, L"HTTP/1.1", nullptr, accepted,
                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE, 0)
                   : nullptr;
    bool whole = request &&
                 HttpSendRequestW(request, header, static_cast<DWORD>(-1), buffer,
                                  static_cast<DWORD>(std::strlen(buffer))) &&
                 cameOverHttps(request) && statusOf(request) == 200;
    std::memset(buffer, 0, n);
    DWORD stored = 0;
    char chunk[kChunk];
    while (whole) {
        const qint64 available = waitForData(request, deadline, false);
        if (available <= 0) {
            whole = available == 0;
            break;
        }
        DWORD got = 0;
        if (!InternetReadFile(request, chunk,
                              static_cast<DWORD>(std::min<qint64>(available, kChunk)), &got) ||
            got >= n - stored) {
            whole = false;
            break;
        }
        std::memcpy(buffer + stored, chunk, got);
        stored += got;
    }
    if (!whole) std::memset(buffer, 0, n);
    closeAll({request, connection, internet});
    return whole;
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
// across the top of parent. The bytes go to a temporary file beside path,
// which replaces it only when the whole archive has come: Escape, a read
// that waits too long, an error page or a cut reply leave the file that was
// there as it was.
bool downloadRelease(const UpdateState& state, const UpdateServer& server, HWND parent,
                     const QString& path) {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    const qint64 offset = out.pos();

    if (InternetAttemptConnect(0) != ERROR_SUCCESS) return false;
    HINTERNET internet =
        InternetOpenW(L"downloader", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    const int readLimitMs = waitLimitMs();
    setReceiveTimeout(internet, readLimitMs);
    // Over https, like the check: whoever could change the archive on its
    // way could make the user run anything.
    const std::wstring address = wide(releaseAddress(server, state.productName));
    const std::wstring range = wide(QStringLiteral("Range:bytes=%1-").arg(offset));
    HINTERNET file =
        InternetOpenUrlW(internet, address.c_str(), range.c_str(), static_cast<DWORD>(-1),
                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    // A reply with an error status carries the server's page about the
    // error, not the archive.
    const DWORD status = file ? statusOf(file) : 0;
    if (!file || !cameOverHttps(file) || (status != 200 && status != 206)) {
        closeAll({file, internet});
        return false;
    }
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!HttpQueryInfoW(file, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                        nullptr)) {
        closeAll({file, internet});
        return false;
    }
    if (length == 0 || length == offset) {
        closeAll({file, internet});
        return out.flush() && out.commit();
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
    // Every kChunk bytes must come within the limit: a server sending a
    // byte now and then would otherwise hold the host for ever.
    QDeadlineTimer readDeadline(readLimitMs);
    qint64 sinceDeadline = 0;
    for (;;) {
        const qint64 available = waitForData(file, readDeadline, true);
        if (available <= 0) {
            complete = available == 0;
            break;
        }
        DWORD got = 0;
        if (!InternetReadFile(file, chunk, static_cast<DWORD>(std::min<qint64>(available, kChunk)),
                              &got) ||
            out.write(chunk, got) != got || total + got > length) {
            complete = false;
            break;
        }
        total += got;
        sinceDeadline += got;
        if (sinceDeadline >= kChunk) {
            readDeadline = QDeadlineTimer(readLimitMs);
            sinceDeadline = 0;
        }
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(total * 100 / length), 0);
    }
    if (bar) DestroyWindow(bar);
    closeAll({file, internet});
    // Only the whole archive replaces the file; the unfinished temporary
    // file goes with `out`.
    return complete && total == length && out.flush() && out.commit();
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
