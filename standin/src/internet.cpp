// The Internet functions over Qt Network: a session is a network access
// manager, a request a reply. Calls block, running a local event loop until
// what they wait for has come, the reply has ended, or the wait has lasted
// too long. Only this machine is reached.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "hostsdk.h"

namespace {

// A call that waits this long is given up, unless the handle says otherwise.
constexpr int kDefaultWaitMs = 30000;
// What a reply may hold unread: a server sending without end is held back
// by the transport instead of filling the memory.
constexpr qint64 kReplyBufferBytes = 64 * 1024;

enum class Kind { Session, Connection, Request };

struct Handle {
    Kind kind;
    Handle* parent = nullptr;

    // Sessions
    QString agent;
    // INTERNET_OPTION_RECEIVE_TIMEOUT, 0 when unset; any kind of handle.
    DWORD receiveTimeoutMs = 0;
    std::unique_ptr<QNetworkAccessManager> manager;
    // The authorities file its connections were made with.
    QString caBundle;

    // Connections
    QString server;
    quint16 port = 0;

    // Requests
    QByteArray verb;
    QUrl url;
    DWORD flags = 0;
    QByteArray accept;
    QByteArray referrer;
    std::unique_ptr<QNetworkReply> reply;
    bool redirectRefused = false;
    bool timedOut = false;

    ~Handle() {
        // A reply is aborted before it goes, so that it lets go of its
        // connection at once.
        if (reply && reply->isRunning()) reply->abort();
    }
};

std::mutex& lock() {
    static std::mutex m;
    return m;
}

// Never destroyed: handles still open at exit must not outlive their
// sessions in whatever order static objects go.
std::map<Handle*, std::unique_ptr<Handle>>& handles() {
    static auto* all = new std::map<Handle*, std::unique_ptr<Handle>>;
    return *all;
}

Handle* adopt(std::unique_ptr<Handle> h) {
    Handle* raw = h.get();
    std::lock_guard<std::mutex> guard(lock());
    handles()[raw] = std::move(h);
    return raw;
}

// The live handle of that kind, or null with the last error set.
Handle* find(HINTERNET h, Kind kind) {
    std::lock_guard<std::mutex> guard(lock());
    const auto it = handles().find(static_cast<Handle*>(h));
    if (it == handles().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (it->second->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return it->second.get();
}

// The longest a call on this request may wait: its own receive timeout, or
// the nearest one set on the handles it was opened from.
int waitLimitMs(const Handle* h) {
    for (; h; h = h->parent)
        if (h->receiveTimeoutMs)
            return static_cast<int>(std::min<DWORD>(h->receiveTimeoutMs, 1u << 30));
    return kDefaultWaitMs;
}

Handle* sessionOf(Handle* h) {
    while (h && h->kind != Kind::Session)
        h = h->parent;
    return h;
}

void close(Handle* h) {
    std::vector<Handle*> children;
    {
        std::lock_guard<std::mutex> guard(lock());
        for (const auto& entry : handles())
            if (entry.second->parent == h) children.push_back(entry.first);
    }
    for (Handle* child : children)
        close(child);
    std::unique_ptr<Handle> gone;
    {
        std::lock_guard<std::mutex> guard(lock());
        const auto it = handles().find(h);
        if (it == handles().end()) return;
        gone = std::move(it->second);
        handles().erase(it);
    }
}

QString fromWide(LPCWSTR s) {
    return s ? QString::fromWCharArray(s) : QString();
}

QString fromWide(LPCWSTR s, DWORD length) {
    if (!s) return QString();
    if (length == static_cast<DWORD>(-1)) return QString::fromWCharArray(s);
    return QString::fromWCharArray(s, static_cast<int>(length));
}

bool onThisMachine(const QString& host) {
    QHostAddress address;
    if (address.setAddress(host)) return address.isLoopback();
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

// A redirect stays on this machine and leads to https only: whatever the
// first request was, no hop may be readable or changeable on its way.
bool redirectAllowed(const QUrl& to) {
    return onThisMachine(to.host()) && to.scheme() == QLatin1String("https");
}

// The system's authorities and those the host was told to trust.
QSslConfiguration tlsConfiguration(const QString& bundle) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (!bundle.isEmpty()) config.addCaCertificates(QSslCertificate::fromPath(bundle, QSsl::Pem));
    return config;
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The reply's headers have come (a redirect's do not count).
bool headersArrived(QNetworkReply* reply) {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && !isRedirect(status.toInt());
}

// Waits, running the thread's events, until ready() holds or the reply
// ends; false when that took longer than limitMs in all.
bool waitFor(QNetworkReply* reply, const std::function<bool()>& ready, int limitMs) {
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    const QDeadlineTimer deadline(limitMs);
    QObject::connect(&silence, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::redirected, &loop, &QEventLoop::quit);
    while (!ready() && !reply->isFinished()) {
        if (deadline.hasExpired()) return false;
        silence.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

// Failures of the transport, as opposed to a reply with an error status.
bool transportFailed(const Handle* r) {
    if (r->redirectRefused || r->timedOut) return true;
    const QNetworkReply::NetworkError e = r->reply->error();
    if (e == QNetworkReply::NoError) return false;
    if (!r->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) return true;
    // The status came, then the connection broke or was cut.
    return e < QNetworkReply::ContentAccessDenied || e == QNetworkReply::ProtocolFailure;
}

DWORD errorOf(const Handle* r) {
    if (r->redirectRefused) return ERROR_HTTP_REDIRECT_FAILED;
    if (r->timedOut) return ERROR_INTERNET_TIMEOUT;
    switch (r->reply->error()) {
        case QNetworkReply::HostNotFoundError:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case QNetworkReply::ConnectionRefusedError:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case QNetworkReply::RemoteHostClosedError:
            return ERROR_INTERNET_CONNECTION_RESET;
        case QNetworkReply::TimeoutError:
            return ERROR_INTERNET_TIMEOUT;
        case QNetworkReply::OperationCanceledError:
            return ERROR_INTERNET_CONNECTION_ABORTED;
        case QNetworkReply::SslHandshakeFailedError:
            return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        case QNetworkReply::ProtocolUnknownError:
            return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case QNetworkReply::ProtocolFailure:
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        default:
            return ERROR_INTERNET_CANNOT_CONNECT;
    }
}

// Sends the request and waits for the reply's headers.
bool send(Handle* r, const QString& headers, const QByteArray& body) {
    if (!onThisMachine(r->url.host())) {
        SetLastError(ERROR_INTERNET_NAME_NOT_RESOLVED);
        return false;
    }
    if (r->reply) {
        r->reply->abort();
        r->reply.reset();
    }
    r->redirectRefused = false;
    r->timedOut = false;
    Handle* session = sessionOf(r);

    QNetworkRequest request(r->url);
    if (!session->agent.isEmpty()) request.setRawHeader("User-Agent", session->agent.toUtf8());
    if (!r->accept.isEmpty()) request.setRawHeader("Accept", r->accept);
    if (!r->referrer.isEmpty()) request.setRawHeader("Referer", r->referrer);
    for (const QString& line : headers.split(QRegularExpression(QStringLiteral("\r?\n")))) {
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0) continue;
        request.setRawHeader(line.left(colon).trimmed().toLatin1(),
                             line.mid(colon + 1).trimmed().toLatin1());
    }
    if (r->flags & INTERNET_FLAG_RELOAD)
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
    if (r->flags & INTERNET_FLAG_NO_CACHE_WRITE)
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    if (r->url.scheme() == QLatin1String("https")) {
        // Connections are kept for reuse with the trust they were made with.
        const QString bundle = qEnvironmentVariable("STANDIN_CA_BUNDLE");
        if (bundle != session->caBundle) session->manager->clearConnectionCache();
        session->caBundle = bundle;
        request.setSslConfiguration(tlsConfiguration(bundle));
    }

    QNetworkReply* reply = session->manager->sendCustomRequest(request, r->verb, body);
    r->reply.reset(reply);
    reply->setReadBufferSize(kReplyBufferBytes);
    QObject::connect(reply, &QNetworkReply::redirected, reply, [r, reply](const QUrl& to) {
        if (redirectAllowed(to)) {
            emit reply->redirectAllowed();
        } else {
            r->redirectRefused = true;
            reply->abort();
        }
    });

    if (!waitFor(
            reply, [reply] { return headersArrived(reply); }, waitLimitMs(r))) {
        r->timedOut = true;
        reply->abort();
    }
    if (transportFailed(r)) {
        SetLastError(errorOf(r));
        return false;
    }
    return true;
}

std::unique_ptr<Handle> newRequest(Handle* parent, const QByteArray& verb, const QUrl& url,
                                   DWORD flags) {
    auto r = std::make_unique<Handle>();
    r->kind = Kind::Request;
    r->parent = parent;
    r->verb = verb;
    r->url = url;
    r->flags = flags;
    return r;
}

}  // namespace

HINTERNET WINAPI InternetOpenW(LPCWSTR agent, DWORD, LPCWSTR, LPCWSTR, DWORD) {
    // Blocking calls run the thread's events: there must be an application.
    if (!QCoreApplication::instance()) {
        SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
        return nullptr;
    }
    auto session = std::make_unique<Handle>();
    session->kind = Kind::Session;
    session->agent = fromWide(agent);
    session->manager = std::make_unique<QNetworkAccessManager>();
    // Direct whatever was asked: only this machine is reached.
    session->manager->setProxy(QNetworkProxy::NoProxy);
    return adopt(std::move(session));
}

HINTERNET WINAPI InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT port,
                                  LPCWSTR, LPCWSTR, DWORD service, DWORD, DWORD_PTR) {
    Handle* session = find(internet, Kind::Session);
    if (!session) return nullptr;
    if (service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    const QString server = fromWide(serverName);
    if (server.isEmpty()) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    auto connection = std::make_unique<Handle>();
    connection->kind = Kind::Connection;
    connection->parent = session;
    connection->server = server;
    connection->port = port;
    return adopt(std::move(connection));
}

HINTERNET WINAPI HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR,
                                  LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR) {
    Handle* c = find(connection, Kind::Connection);
    if (!c) return nullptr;
    const bool secure = flags & INTERNET_FLAG_SECURE;
    QUrl base;
    base.setScheme(secure ? QStringLiteral("https") : QStringLiteral("http"));
    base.setHost(c->server);
    // Port 0 is the service's default.
    if (c->port) base.setPort(c->port);
    const QString object = objectName ? fromWide(objectName) : QStringLiteral("/");
    const QUrl url = base.resolved(QUrl(object));
    if (!url.isValid() || url.host().isEmpty()) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    const QString method = verb ? fromWide(verb) : QStringLiteral("GET");
    auto r = newRequest(c, method.toLatin1(), url, flags);
    QStringList accepted;
    for (LPCWSTR* t = acceptTypes; t && *t; ++t)
        accepted << fromWide(*t);
    r->accept = accepted.join(QStringLiteral(", ")).toLatin1();
    r->referrer = fromWide(referrer).toLatin1();
    return adopt(std::move(r));
}

BOOL WINAPI HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength,
                             LPVOID optional, DWORD optionalLength) {
    Handle* r = find(request, Kind::Request);
    if (!r) return FALSE;
    const QByteArray body =
        optional ? QByteArray(static_cast<const char*>(optional), static_cast<int>(optionalLength))
                 : QByteArray();
    return send(r, fromWide(headers, headersLength), body) ? TRUE : FALSE;
}

HINTERNET WINAPI InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                  DWORD headersLength, DWORD flags, DWORD_PTR) {
    Handle* session = find(internet, Kind::Session);
    if (!session) return nullptr;
    const QUrl address(fromWide(url), QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty()) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    if (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")) {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    Handle* r = adopt(newRequest(session, "GET", address, flags));
    if (!send(r, fromWide(headers, headersLength), QByteArray())) {
        const DWORD error = GetLastError();
        close(r);
        SetLastError(error);
        return nullptr;
    }
    return r;
}

BOOL WINAPI HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                           LPDWORD) {
    Handle* r = find(request, Kind::Request);
    if (!r) return FALSE;
    if (!r->reply || !headersArrived(r->reply.get())) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return FALSE;
    }
    if (!bufferLength) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    QByteArray value;
    switch (infoLevel & 0xFFFF) {
        case HTTP_QUERY_CONTENT_LENGTH:
            if (!r->reply->hasRawHeader("Content-Length")) {
                SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
                return FALSE;
            }
            value = r->reply->rawHeader("Content-Length").trimmed();
            break;
        case HTTP_QUERY_STATUS_CODE:
            value =
                r->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toString().toLatin1();
            break;
        default:
            SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
            return FALSE;
    }
    if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
        bool ok = false;
        const qulonglong number = value.toULongLong(&ok);
        if (!ok || number > 0xFFFFFFFFull) {
            SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
            return FALSE;
        }
        if (*bufferLength < sizeof(DWORD) || !buffer) {
            *bufferLength = sizeof(DWORD);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        const DWORD n = static_cast<DWORD>(number);
        std::memcpy(buffer, &n, sizeof n);
        *bufferLength = sizeof(DWORD);
        return TRUE;
    }
    const std::wstring text = QString::fromLatin1(value).toStdWString();
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    if (*bufferLength < bytes || !buffer) {
        *bufferLength = bytes;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, text.c_str(), bytes);
    // The length of the text, the terminator left out.
    *bufferLength = bytes - sizeof(WCHAR);
    return TRUE;
}

BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
    Handle* r = find(file, Kind::Request);
    if (!r) return FALSE;
    if (!read || (!buffer && toRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *read = 0;
    if (!r->reply) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return FALSE;
    }
    QNetworkReply* reply = r->reply.get();
    if (!waitFor(
            reply, [reply, toRead] { return reply->bytesAvailable() >= toRead; }, waitLimitMs(r))) {
        r->timedOut = true;
        reply->abort();
    }
    const qint64 n =
        reply->read(static_cast<char*>(buffer), std::min<qint64>(toRead, reply->bytesAvailable()));
    if (n > 0) {
        *read = static_cast<DWORD>(n);
        return TRUE;
    }
    // Nothing left: the end, or a reply cut short.
    if (transportFailed(r)) {
        SetLastError(errorOf(r));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI InternetQueryDataAvailable(HINTERNET file, LPDWORD available, DWORD, DWORD_PTR) {
    Handle* r = find(file, Kind::Request);
    if (!r) return FALSE;
    if (!available) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *available = 0;
    if (!r->reply) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return FALSE;
    }
    QNetworkReply* reply = r->reply.get();
    if (!waitFor(
            reply, [reply] { return reply->bytesAvailable() > 0; }, waitLimitMs(r))) {
        // The request stays as it was: the caller may wait again.
        SetLastError(ERROR_INTERNET_TIMEOUT);
        return FALSE;
    }
    const qint64 n = reply->bytesAvailable();
    if (n > 0) {
        *available = static_cast<DWORD>(std::min<qint64>(n, 0x7FFFFFFF));
        return TRUE;
    }
    if (transportFailed(r)) {
        SetLastError(errorOf(r));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
    Handle* h = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock());
        const auto it = handles().find(static_cast<Handle*>(handle));
        if (it != handles().end()) h = it->first;
    }
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (option != INTERNET_OPTION_RECEIVE_TIMEOUT) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (!buffer || length < sizeof(DWORD)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memcpy(&h->receiveTimeoutMs, buffer, sizeof(DWORD));
    return TRUE;
}

BOOL WINAPI InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length) {
    Handle* r = find(handle, Kind::Request);
    if (!r) return FALSE;
    if (option != INTERNET_OPTION_URL) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (!length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const QUrl url = r->reply ? r->reply->url() : r->url;
    const std::wstring text = url.toString(QUrl::FullyEncoded).toStdWString();
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    if (*length < bytes || !buffer) {
        *length = bytes;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, text.c_str(), bytes);
    *length = bytes - sizeof(WCHAR);
    return TRUE;
}

BOOL WINAPI InternetCloseHandle(HINTERNET handle) {
    Handle* h = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock());
        const auto it = handles().find(static_cast<Handle*>(handle));
        if (it != handles().end()) h = it->first;
    }
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(h);
    return TRUE;
}

DWORD WINAPI InternetAttemptConnect(DWORD) {
    // The loopback network is always there.
    return ERROR_SUCCESS;
}
