// What the update check relies on the stand-in for, met as a plug-in meets
// it: the Internet calls against a real https server on this machine, the
// per-user registry in the settings store, and the save dialog answered by
// a scripted user.

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstring>
#include <string>
#include <vector>

#include "hosttest.h"
#include "standin/user.h"
#include "updateserver.h"

namespace {

// Blocking Internet calls run the application's event loop; settings go to
// a folder of the test's own.
class ServicesEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "update_test";
        static char* argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
        ASSERT_TRUE(settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    }
    void TearDown() override { delete app; }

    QTemporaryDir settings;

private:
    QCoreApplication* app = nullptr;
};

auto* const environment =
    static_cast<ServicesEnvironment*>(::testing::AddGlobalTestEnvironment(new ServicesEnvironment));

// Reads the whole reply in chunks of `chunk` bytes.
QByteArray readAll(HINTERNET request, DWORD chunk) {
    QByteArray all;
    std::vector<char> buffer(chunk);
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, buffer.data(), chunk, &got)) {
            ADD_FAILURE() << "read failed with " << GetLastError();
            break;
        }
        if (got == 0) break;
        EXPECT_LE(got, chunk);
        all.append(buffer.data(), static_cast<int>(got));
    }
    return all;
}

DWORD queryNumber(HINTERNET request, DWORD what) {
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_TRUE(HttpQueryInfoW(request, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr));
    return value;
}

class InternetTest : public UpdateServerSuite {
protected:
    void SetUp() override {
        ASSERT_GT(server->port, 0);
        server->clearRequests();
        qputenv("STANDIN_CA_BUNDLE", server->certificate().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("STANDIN_CA_BUNDLE"); }
};

}  // namespace

TEST_F(InternetTest, PostOverHttpsCarriesBodyHeadersAndAgentAndReadsInChunks) {
    const QByteArray xml =
        "<Update><Carvex Version=\"2.0.1.2\"/></Update>" + patterned(2000).toHex();
    server->setInfo(xml);
    HINTERNET internet = InternetOpenW(L"Agent 7", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(internet, nullptr);
    HINTERNET connection =
        InternetConnectW(internet, L"127.0.0.1", static_cast<INTERNET_PORT>(server->port), nullptr,
                         nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connection, nullptr);
    LPCWSTR accepted[] = {L"application/octet-stream", L"text/xml", nullptr};
    HINTERNET request = HttpOpenRequestW(connection, L"POST", L"/info.xml", L"HTTP/1.1", nullptr,
                                         accepted, INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE, 0);
    ASSERT_NE(request, nullptr);
    char body[] = "question";
    ASSERT_TRUE(HttpSendRequestW(request, L"Content-Type: application/octet-stream\r\nX-A: b",
                                 static_cast<DWORD>(-1), body, 8))
        << GetLastError();
    EXPECT_EQ(queryNumber(request, HTTP_QUERY_STATUS_CODE), 200u);
    EXPECT_EQ(queryNumber(request, HTTP_QUERY_CONTENT_LENGTH), static_cast<DWORD>(xml.size()));
    // An odd chunk size: every read but the last is full.
    EXPECT_EQ(readAll(request, 333), xml);
    // Closing the session closes what was opened from it.
    EXPECT_TRUE(InternetCloseHandle(internet));
    EXPECT_FALSE(InternetCloseHandle(request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    const QVector<QJsonObject> asked = server->requests();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0]["scheme"].toString(), "https");
    EXPECT_EQ(asked[0]["method"].toString(), "POST");
    EXPECT_EQ(asked[0]["path"].toString(), "/info.xml");
    EXPECT_EQ(asked[0]["body"].toString(), "question");
    EXPECT_EQ(asked[0]["agent"].toString(), "Agent 7");
    EXPECT_EQ(asked[0]["contentType"].toString(), "application/octet-stream");
    EXPECT_EQ(asked[0]["accept"].toString(), "application/octet-stream, text/xml");
}

TEST_F(InternetTest, OpenUrlSendsTheRangeAndReadsTheRest) {
    const QByteArray release = patterned(5000);
    server->setRelease(release);
    HINTERNET internet =
        InternetOpenW(L"downloader", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(internet, nullptr);
    const std::wstring url = (server->httpsAddress() + "/release/Carvex.zip").toStdWString();
    HINTERNET file = InternetOpenUrlW(internet, url.c_str(), L"Range:bytes=1200-",
                                      static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD, 0);
    ASSERT_NE(file, nullptr) << GetLastError();
    EXPECT_EQ(queryNumber(file, HTTP_QUERY_STATUS_CODE), 206u);
    EXPECT_EQ(queryNumber(file, HTTP_QUERY_CONTENT_LENGTH), 3800u);
    // As text the length comes without its terminator.
    WCHAR text[16];
    DWORD size = 2;
    EXPECT_FALSE(HttpQueryInfoW(file, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 5 * sizeof(WCHAR));
    size = sizeof text;
    ASSERT_TRUE(HttpQueryInfoW(file, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr));
    EXPECT_EQ(std::wstring(text), L"3800");
    EXPECT_EQ(size, 4 * sizeof(WCHAR));
    EXPECT_EQ(readAll(file, 512), release.mid(1200));
    InternetCloseHandle(file);
    InternetCloseHandle(internet);

    const QVector<QJsonObject> asked = server->requests();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0]["range"].toString(), "bytes=1200-");
    EXPECT_EQ(asked[0]["agent"].toString(), "downloader");
}

TEST_F(InternetTest, RefusesServersItCannotTrustOrThatAreNotOnThisMachine) {
    server->setRelease("genuine");
    HINTERNET internet = InternetOpenW(L"t", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(internet, nullptr);
    const std::wstring url = (server->httpsAddress() + "/release/Carvex.zip").toStdWString();

    // The test's certificate is trusted only while the test names it.
    qunsetenv("STANDIN_CA_BUNDLE");
    EXPECT_EQ(InternetOpenUrlW(internet, url.c_str(), nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_SECURITY_CHANNEL_ERROR));
    // The server notes the failed handshake once the client has gone.
    const QVector<QJsonObject> asked = server->waitForRequests(1);
    ASSERT_FALSE(asked.isEmpty());
    for (const QJsonObject& r : asked)
        EXPECT_EQ(r["scheme"].toString(), "tls-failed");

    // 0.0.0.0 would reach this machine's server too, yet it is no loopback
    // address: refused before any connection is made.
    server->clearRequests();
    qputenv("STANDIN_CA_BUNDLE", server->certificate().toLocal8Bit());
    const std::wstring elsewhere =
        QStringLiteral("https://0.0.0.0:%1/release/Carvex.zip").arg(server->port).toStdWString();
    EXPECT_EQ(InternetOpenUrlW(internet, elsewhere.c_str(), nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
    EXPECT_TRUE(server->requests().isEmpty());

    HINTERNET file = InternetOpenUrlW(internet, url.c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(file, nullptr) << GetLastError();
    EXPECT_EQ(readAll(file, 512), "genuine");
    InternetCloseHandle(internet);
}

TEST(Registry, KeysBelowSoftwareLiveInTheUsersSettingsOfMakerAndProduct) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Maker\\Product\\2021", 0, KEY_READ, &key),
        ERROR_FILE_NOT_FOUND);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Maker\\Product\\2021", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    const wchar_t value[] = L"12";
    EXPECT_EQ(RegSetValueExW(key, L"setting", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             sizeof value),
              ERROR_SUCCESS);
    // Opened for writing only.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"setting", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    // The store is the one Qt keeps for organisation "Maker", application "Product".
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Maker", "Product");
    EXPECT_EQ(store.value("2021/setting").toString(), "12");
    EXPECT_TRUE(QFileInfo(store.fileName()).exists());
    EXPECT_TRUE(store.fileName().startsWith(environment->settings.path()));

    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Maker\\Product\\2021", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    DWORD type = REG_NONE;
    size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"setting", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, sizeof value);
    wchar_t small[2] = {L'x', L'x'};
    size = sizeof small;
    EXPECT_EQ(
        RegQueryValueExW(key, L"setting", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof value);
    wchar_t read[8] = {0};
    size = sizeof read;
    EXPECT_EQ(
        RegQueryValueExW(key, L"setting", nullptr, &type, reinterpret_cast<BYTE*>(read), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(read), L"12");
    EXPECT_EQ(
        RegQueryValueExW(key, L"missing", nullptr, &type, reinterpret_cast<BYTE*>(read), &size),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExW(key, L"setting", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             sizeof value),
              ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

namespace {

// A save dialog as the update check opens it, over a file buffer of its own.
struct SaveDialog {
    explicit SaveDialog(const QString& suggested, DWORD chars = 520) : file(chars, 0) {
        const std::wstring s = suggested.toStdWString().substr(0, chars - 1);
        std::copy(s.begin(), s.end(), file.begin());
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFilter = L"Zip archive\0*.zip\0";
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = chars;
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN;
        ofn.lpstrDefExt = L"zip";
    }
    QString chosen() const { return QString::fromWCharArray(file.data()); }

    std::vector<WCHAR> file;
    OPENFILENAMEW ofn{};
};

}  // namespace

TEST(SaveDialog, AppendsTheExtensionAndAsksBeforeCreatingOrReplacing) {
    QTemporaryDir docs;
    ASSERT_TRUE(docs.isValid());
    QFile existing(docs.filePath("old.zip"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    QFile locked(docs.filePath("locked.zip"));
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.close();
    locked.setPermissions(QFile::ReadOwner);
    const bool lockHolds = !QFileInfo(locked.fileName()).isWritable();  // not for root

    standin::ScriptedUser user;
    standin::setCurrentUser(&user);
    // A suggestion with the host's separator; a name typed without extension.
    SaveDialog dialog(docs.path() + "\\Carvex");
    user.chooseFile("release");  // relative to the suggested file's folder
    user.answerBox(IDNO);        // do not create release.zip: the dialog asks again
    if (lockHolds) user.chooseFile(docs.filePath("locked.zip"));
    if (lockHolds) user.answerBox(IDOK);  // read-only: asks again
    user.chooseFile(docs.filePath("old"));
    user.answerBox(IDYES);  // replace old.zip
    ASSERT_TRUE(GetSaveFileNameW(&dialog.ofn));
    EXPECT_EQ(dialog.chosen(), docs.filePath("old.zip"));
    EXPECT_EQ(dialog.ofn.nFileOffset, docs.path().size() + 1);
    EXPECT_EQ(dialog.ofn.nFileExtension, dialog.chosen().size() - 3);
    EXPECT_EQ(user.leftover(), 0);
    EXPECT_EQ(user.unscripted(), 0);

    ASSERT_FALSE(user.shown.isEmpty());
    const standin::SaveFilePrompt& shown = user.shown[0].dialog;
    EXPECT_EQ(shown.initialPath, docs.path() + "/Carvex");
    ASSERT_EQ(shown.filters.size(), 1);
    EXPECT_EQ(shown.filters[0].first, "Zip archive");
    EXPECT_EQ(shown.filters[0].second, "*.zip");
    QStringList expected = {"release.zip\nThis file does not exist.\nDo you want to create it?"};
    if (lockHolds)
        expected
            << "locked.zip\nThis file is set to read-only.\nTry again with a different file name.";
    expected << "old.zip already exists.\nDo you want to replace it?";
    EXPECT_EQ(user.boxTexts(), expected);

    // Cancelled: no error. A path longer than the buffer: an error.
    SaveDialog cancelled(docs.path() + "/Carvex");
    user.cancelDialog();
    EXPECT_FALSE(GetSaveFileNameW(&cancelled.ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    SaveDialog tooSmall(docs.path() + "/Carvex", 8);
    user.chooseFile(docs.filePath("old.zip"));
    user.answerBox(IDYES);
    EXPECT_FALSE(GetSaveFileNameW(&tooSmall.ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    standin::setCurrentUser(nullptr);
    locked.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}
