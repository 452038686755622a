// The About rollout and its update check, driven as a person drives them:
// the rollout opened in the command panel, "Check for update" clicked, the
// boxes and the save dialog answered by a scripted user, Escape held down
// during a download. The update server is a real https server on this
// machine (updateserver.py) with a certificate that only these tests trust.

#include <fcntl.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "hosttest.h"
#include "resource.h"
#include "standin/ui.h"
#include "standin/user.h"
#include "updateserver.h"

using namespace hosttest;

namespace {

// A GUI application for the rollouts and the event loops of the network
// calls, and a settings store of the tests' own in which automatic checks
// start switched off, before the plug-in is loaded.
class AboutEnvironment : public GuiEnvironment {
public:
    void SetUp() override {
        GuiEnvironment::SetUp();
        ASSERT_TRUE(settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings("Carvex", "Carvex").setValue("2021/autocheckversion", "0");
    }

private:
    QTemporaryDir settings;
};

const auto* const aboutEnvironment = ::testing::AddGlobalTestEnvironment(new AboutEnvironment);

QString savedAutoCheck() {
    return QSettings("Carvex", "Carvex").value("2021/autocheckversion").toString();
}

// Writes the setting and has the library read it again, as it does at load.
void setAutoCheckAndInitialise(bool on) {
    QSettings("Carvex", "Carvex").setValue("2021/autocheckversion", on ? "1" : "0");
    reinterpret_cast<int (*)()>(plugin().symbol("LibInitialize"))();
}

QByteArray reply(const QString& version, const QString& info = QString()) {
    QString element = QStringLiteral("<Carvex Version=\"%1\"").arg(version);
    if (!info.isNull()) element += QStringLiteral(" Info=\"%1\"").arg(info);
    return ("<?xml version=\"1.0\"?>\n<Update>\n  " + element + "/>\n</Update>\n").toUtf8();
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

const QString kNewerQuestionEnd = QStringLiteral("Do you want to download new version?");
const QString kNewestQuestion =
    QStringLiteral("You use last version.\n\nDo you want to enable auto check version?");

// A modifier on a node, its rollouts open with About unfolded, the update
// check pointed at the tests' server and a scripted user at the host.
class AboutTest : public UpdateServerSuite {
protected:
    void SetUp() override {
        ASSERT_GT(server->port, 0);
        ASSERT_TRUE(documents.isValid());
        server->clearRequests();
        server->clearModes();
        server->setInfo(reply("2.0.1.2"));
        server->setRelease(patterned(3000));
        qputenv("CARVEX_UPDATE_SERVER", server->httpsAddress().toLocal8Bit());
        qputenv("STANDIN_CA_BUNDLE", server->certificate().toLocal8Bit());
        user.documents = documents.path();
        user.keys = [this](int key) { return key == VK_ESCAPE && escape(); };
        standin::setCurrentUser(&user);

        scene = newScene();
        mod = scene->createModifier("Carvex");
        ASSERT_NE(mod, nullptr);
        modifiedNode(*scene, "Base", shapeOf({rectangle(0, 0, 10, 10)}), mod);
        openRollouts();
    }
    void TearDown() override {
        closeRollouts();
        scene.reset();
        standin::setCurrentUser(nullptr);
        qunsetenv("CARVEX_UPDATE_SERVER");
        qunsetenv("STANDIN_CA_BUNDLE");
        qunsetenv("CARVEX_UPDATE_TIMEOUT_MS");
        // Automatic checks off again for the next test in this process.
        setAutoCheckAndInitialise(false);
    }

    void openRollouts() {
        mod->BeginEditParams(ip(), 0, nullptr);
        open = true;
        ASSERT_NE(about(), nullptr);
        standin::setRolloutOpen(about(), true);
    }
    void closeRollouts() {
        if (open) mod->EndEditParams(ip(), 0, nullptr);
        open = false;
    }
    void reopenRollouts() {
        closeRollouts();
        openRollouts();
    }

    static IObjParam* ip() { return static_cast<IObjParam*>(GetCOREInterface()); }
    static HWND about() {
        for (const standin::Rollout& r : standin::rollouts())
            if (r.title == "About") return r.window;
        return nullptr;
    }
    void pressCheckForUpdate() {
        HWND button = GetDlgItem(about(), IDC_CHECK_UPDATE);
        RECT r;
        GetClientRect(button, &r);
        ASSERT_TRUE(standin::mouseClick(button, QPoint(r.right / 2, r.bottom / 2)));
    }
    static HWND progressBar() {
        for (HWND child : standin::childWindows(about()))
            if (standin::windowClassName(child) == "msctls_progress32") return child;
        return nullptr;
    }
    int infoRequests() const {
        const QVector<QJsonObject> all = server->requests();
        return static_cast<int>(std::count_if(all.begin(), all.end(), [](const QJsonObject& r) {
            return r["path"].toString() == "/info.xml";
        }));
    }
    QVector<QJsonObject> releaseRequests() const {
        QVector<QJsonObject> found;
        for (const QJsonObject& r : server->requests())
            if (r["path"].toString().startsWith("/release/")) found << r;
        return found;
    }
    // Yes to the newer version, then the file, then Yes to creating it.
    void acceptDownloadInto(const QString& path) {
        user.answerBox(IDYES);
        user.chooseFile(path);
        user.answerBox(IDYES);
        user.answerBox(IDOK);
    }

    // Polled once before each read of a download; by default never down.
    std::function<bool()> escape = [] { return false; };

    QTemporaryDir documents;
    standin::ScriptedUser user;
    std::unique_ptr<standin::Scene> scene;
    Modifier* mod = nullptr;
    bool open = false;
};

}  // namespace

TEST_F(AboutTest, ShowsThePictureTheVersionAndTheButtonOnEveryOpening) {
    const QImage bitmap(":/standin-modules/Carvex/Carvex.bmp");
    ASSERT_EQ(bitmap.size(), QSize(160, 56));
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        if (opening) reopenRollouts();
        WCHAR text[64] = {0};
        GetDlgItemTextW(about(), IDC_VERSION, text, 64);
        EXPECT_EQ(QString::fromWCharArray(text), "Version: 2.0.1.2");
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(about(), IDC_CHECK_UPDATE)));

        // Bitmap 102 at the picture control's top left, clipped to the control.
        HWND picture = GetDlgItem(about(), IDC_ABOUT_IMAGE);
        RECT place, size;
        GetWindowRect(picture, &place);
        GetClientRect(picture, &size);
        const QImage shown = standin::renderWindow(about());
        int differing = 0;
        for (int y = 0; y < std::min<int>(56, size.bottom); ++y)
            for (int x = 0; x < std::min<int>(160, size.right); ++x)
                differing += shown.pixel(place.left + x, place.top + y) != bitmap.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
    EXPECT_TRUE(user.shown.isEmpty());
    EXPECT_EQ(infoRequests(), 0);  // automatic checks are off
}

TEST_F(AboutTest, ComparesVersionsPartByPartAsNumbers) {
    // The plug-in is 2.0.1.2.
    const QVector<QPair<QString, bool>> cases = {
        {"2.0.1.10", true}, {"2.0.1", false},   {"2.0.1.2", false},  {"2.0.1.1", false},
        {"2.0.2", true},    {"3", true},        {"2.0.1.2.1", true}, {"2.0.1.2.0", false},
        {"2..0.1.3", true}, {"2.0.1.x", false}, {"", false},         {"1.99.99.99", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.toStdString());
        server->setInfo(reply(c.first));
        user.shown.clear();
        user.answerBox(IDNO);
        pressCheckForUpdate();
        ASSERT_EQ(user.shown.size(), 1);
        const QString text = user.shown[0].box.text;
        if (c.second) {
            EXPECT_TRUE(text.startsWith("Current version is: 2.0.1.2\nNew version " + c.first))
                << text.toStdString();
        } else {
            EXPECT_EQ(text, kNewestQuestion);
        }
    }
    EXPECT_EQ(user.unscripted(), 0);
}

TEST_F(AboutTest, NewerVersionQuestionTellsBothVersionsAndTheInfo) {
    server->setInfo(reply("2.1.0.0", "Faster unions.\nFewer knots."));
    user.answerBox(IDNO);
    pressCheckForUpdate();
    ASSERT_EQ(user.shown.size(), 1);
    EXPECT_EQ(user.shown[0].box.text,
              "Current version is: 2.0.1.2\nNew version 2.1.0.0 is available for download.\n\n"
              "Faster unions.\nFewer knots.\n\nDo you want to download new version?");
    EXPECT_EQ(user.shown[0].box.caption, "Carvex");
    EXPECT_EQ(user.shown[0].box.type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));

    // No "Info", or an empty one: the question goes on at once.
    for (const QString& info : {QString(), QString("")}) {
        server->setInfo(reply("2.1.0.0", info));
        user.shown.clear();
        user.answerBox(IDNO);
        pressCheckForUpdate();
        ASSERT_EQ(user.shown.size(), 1);
        EXPECT_EQ(user.shown[0].box.text,
                  "Current version is: 2.0.1.2\nNew version 2.1.0.0 is available for "
                  "download.\n\nDo you want to download new version?");
    }
    // No means nothing is fetched.
    EXPECT_TRUE(releaseRequests().isEmpty());
}

TEST_F(AboutTest, UserCheckWithTheNewestAsksAboutAutomaticChecksAndSavesTheAnswer) {
    user.answerBox(IDYES);
    pressCheckForUpdate();
    ASSERT_EQ(user.shown.size(), 1);
    EXPECT_EQ(user.shown[0].box.text, kNewestQuestion);
    EXPECT_EQ(user.shown[0].box.caption, "Carvex");
    EXPECT_EQ(user.shown[0].box.type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(savedAutoCheck(), "1");

    user.answerBox(IDNO);
    pressCheckForUpdate();
    EXPECT_EQ(user.shown.size(), 2);
    EXPECT_EQ(savedAutoCheck(), "0");

    // Each check is one POST of an empty body over https, as the product.
    const QVector<QJsonObject> asked = server->requests();
    ASSERT_EQ(asked.size(), 2);
    for (const QJsonObject& r : asked) {
        EXPECT_EQ(r["scheme"].toString(), "https");
        EXPECT_EQ(r["method"].toString(), "POST");
        EXPECT_EQ(r["path"].toString(), "/info.xml");
        EXPECT_EQ(r["contentType"].toString(), "application/octet-stream");
        EXPECT_EQ(r["accept"].toString(),
                  "application/octet-stream, application/x-www-form-urlencoded");
        EXPECT_EQ(r["agent"].toString(), "Carvex");
        EXPECT_EQ(r["body"].toString(), "");
    }
}

TEST_F(AboutTest, ReplyWithoutTheProductShowsNothingAndLeavesAlreadyRunAsItWas) {
    setAutoCheckAndInitialise(true);
    // The well-formed reply last: it gets furthest.
    for (const QByteArray& answer : {QByteArray("not xml at all"), QByteArray(),
                                     QByteArray("<Update><Other Version=\"9.0\"/></Update>")}) {
        server->setInfo(answer);
        pressCheckForUpdate();
    }
    EXPECT_TRUE(user.shown.isEmpty());
    EXPECT_EQ(infoRequests(), 3);

    // The press set "already run" off and nothing set it on again, so the
    // next opening runs the automatic check; with the newest version it
    // shows nothing.
    server->setInfo(reply("2.0.1.2"));
    reopenRollouts();
    EXPECT_EQ(infoRequests(), 4);
    EXPECT_TRUE(user.shown.isEmpty());
}

TEST_F(AboutTest, AutomaticCheckRunsOncePerLoadAndFollowsTheSetting) {
    // The user switches automatic checks on; that check counts as the run.
    user.answerBox(IDYES);
    pressCheckForUpdate();
    ASSERT_EQ(savedAutoCheck(), "1");
    reopenRollouts();
    EXPECT_EQ(infoRequests(), 1);

    // A check that learns nothing leaves "already run" off, as the press set it.
    server->setInfo("<Update/>");
    pressCheckForUpdate();
    ASSERT_EQ(infoRequests(), 2);

    // Now the first opening checks, the ones after do not.
    server->setInfo(reply("2.2"));
    user.answerBox(IDNO);
    reopenRollouts();
    EXPECT_EQ(infoRequests(), 3);
    ASSERT_EQ(user.shown.size(), 2);
    EXPECT_TRUE(user.shown[1].box.text.endsWith(kNewerQuestionEnd));
    reopenRollouts();
    reopenRollouts();
    EXPECT_EQ(infoRequests(), 3);
    EXPECT_EQ(user.unscripted(), 0);

    // With the setting off, read at initialisation, no opening checks.
    setAutoCheckAndInitialise(false);
    server->setInfo("<Update/>");
    pressCheckForUpdate();
    reopenRollouts();
    EXPECT_EQ(infoRequests(), 4);
}

TEST_F(AboutTest, YesAndAFileDownloadTheServersBytesWithProgress) {
    const QByteArray release = patterned(100000);
    server->setRelease(release);
    server->setInfo(reply("2.1"));
    // The suggested name, typed without its extension.
    acceptDownloadInto(documents.path() + "/Carvex");
    QVector<int> positions;
    escape = [&] {
        HWND bar = progressBar();
        positions << (bar ? static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)) : -1);
        return false;
    };
    pressCheckForUpdate();

    EXPECT_EQ(user.unscripted(), 0);
    EXPECT_EQ(user.leftover(), 0);
    ASSERT_EQ(user.shown.size(), 4);
    EXPECT_TRUE(user.shown[0].box.text.endsWith(kNewerQuestionEnd));
    EXPECT_FALSE(user.shown[1].isBox);
    EXPECT_EQ(user.shown[1].dialog.initialPath, documents.path() + "/Carvex");
    EXPECT_EQ(user.shown[1].dialog.filters,
              (QVector<QPair<QString, QString>>{{"Zip archive", "*.zip"}}));
    EXPECT_EQ(user.shown[1].dialog.defaultExtension, "zip");
    EXPECT_EQ(user.shown[2].box.text,
              "Carvex.zip\nThis file does not exist.\nDo you want to create it?");
    EXPECT_EQ(user.shown[3].box.text, "Download complete");
    EXPECT_EQ(user.shown[3].box.caption, "Carvex");
    EXPECT_EQ(user.shown[3].box.type & MB_TYPEMASK, static_cast<UINT>(MB_OK));

    EXPECT_EQ(contents(documents.filePath("Carvex.zip")), release);
    const QVector<QJsonObject> fetched = releaseRequests();
    ASSERT_EQ(fetched.size(), 1);
    EXPECT_EQ(fetched[0]["scheme"].toString(), "https");
    EXPECT_EQ(fetched[0]["method"].toString(), "GET");
    EXPECT_EQ(fetched[0]["path"].toString(), "/release/Carvex.zip");
    EXPECT_EQ(fetched[0]["range"].toString(), "bytes=0-");
    EXPECT_EQ(fetched[0]["agent"].toString(), "downloader");

    // A look at Escape before each read of up to 512 bytes and while
    // waiting, the last finding the end; the bar climbs to 100 and is gone
    // afterwards.
    ASSERT_GE(positions.size(), (release.size() + 511) / 512 + 1);
    EXPECT_EQ(positions.first(), 0);
    EXPECT_EQ(positions.last(), 100);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(progressBar(), nullptr);
}

TEST_F(AboutTest, EscapeCancelsTheDownloadAndLeavesTheChosenFileAsItWas) {
    const QByteArray release = patterned(4096);
    server->setRelease(release);
    server->setInfo(reply("2.1"));
    const QString file = documents.filePath("Carvex.zip");
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older download");
    old.close();
    user.answerBox(IDYES);
    user.chooseFile(file);
    user.answerBox(IDYES);
    user.answerBox(IDOK);

    // Escape goes down after two reads: 1024 of 4096 bytes, a quarter.
    int polls = 0;
    int position = -1;
    QImage shown;
    RECT barPlace{}, rollout{};
    escape = [&] {
        if (++polls < 3) return false;
        HWND bar = progressBar();
        if (bar) {
            position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
            GetWindowRect(bar, &barPlace);
            GetClientRect(about(), &rollout);
            shown = standin::renderWindow(about());
        }
        return true;
    };
    pressCheckForUpdate();

    ASSERT_EQ(user.shown.size(), 4);
    EXPECT_EQ(user.shown[3].box.text, "Can't download file");
    EXPECT_EQ(contents(file), "an older download");
    EXPECT_EQ(QDir(documents.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Carvex.zip"});
    EXPECT_EQ(progressBar(), nullptr);

    // The bar lay across the top of the rollout, a quarter filled.
    EXPECT_EQ(position, 25);
    EXPECT_EQ(barPlace.left, rollout.left + 3);
    EXPECT_EQ(barPlace.top, rollout.top + 5);
    EXPECT_EQ(barPlace.right - barPlace.left, rollout.right - rollout.left - 3);
    EXPECT_EQ(barPlace.bottom - barPlace.top, 16);
    ASSERT_FALSE(shown.isNull());
    const int width = barPlace.right - barPlace.left;
    const int middle = barPlace.top + 8;
    const QRgb filled = shown.pixel(barPlace.left + width / 10, middle);
    EXPECT_EQ(shown.pixel(barPlace.left + width / 5, middle), filled);
    EXPECT_NE(shown.pixel(barPlace.left + width * 2 / 5, middle), filled);
    EXPECT_NE(shown.pixel(barPlace.left + width * 4 / 5, middle), filled);
    // With the bar gone, what lies beneath shows again.
    EXPECT_NE(standin::renderWindow(about()).pixel(barPlace.left + width / 10, middle), filled);
}

TEST_F(AboutTest, EmptyReleaseCompletesWithAnEmptyFile) {
    server->setRelease(QByteArray());
    server->setInfo(reply("2.1"));
    const QString file = documents.filePath("Carvex.zip");
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older download");
    old.close();
    user.answerBox(IDYES);
    user.chooseFile(file);
    user.answerBox(IDYES);  // replace it
    user.answerBox(IDOK);
    int polls = 0;
    escape = [&] {
        ++polls;
        return false;
    };
    pressCheckForUpdate();

    ASSERT_EQ(user.shown.size(), 4);
    EXPECT_EQ(user.shown[2].box.text, "Carvex.zip already exists.\nDo you want to replace it?");
    EXPECT_EQ(user.shown[3].box.text, "Download complete");
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(contents(file), QByteArray());
    EXPECT_EQ(releaseRequests().size(), 1);
    // Nothing to read: no bar, no look at Escape.
    EXPECT_EQ(polls, 0);
}

TEST_F(AboutTest, CancelledSaveDialogCannotSave) {
    server->setInfo(reply("2.1"));
    user.answerBox(IDYES);
    user.cancelDialog();
    user.answerBox(IDOK);
    pressCheckForUpdate();
    ASSERT_EQ(user.shown.size(), 3);
    EXPECT_FALSE(user.shown[1].isBox);
    EXPECT_EQ(user.shown[2].box.text, "Can't save file");
    EXPECT_EQ(user.shown[2].box.caption, "Carvex");
    EXPECT_EQ(user.shown[2].box.type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(releaseRequests().isEmpty());
}

TEST_F(AboutTest, ErrorPageOrCutDownloadLeavesTheChosenFileAsItWas) {
    server->setInfo(reply("2.1"));
    const QString file = documents.filePath("Carvex.zip");
    for (const char* fault : {"404", "cut"}) {
        SCOPED_TRACE(fault);
        if (QByteArray(fault) == "404") {
            server->removeRelease();
        } else {
            server->setRelease(patterned(40000));
            server->setMode("/release/Carvex.zip", "cut");
        }
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
        old.write("an older download");
        old.close();
        user.shown.clear();
        acceptDownloadInto(file);
        pressCheckForUpdate();
        ASSERT_EQ(user.shown.size(), 4);
        EXPECT_EQ(user.shown[3].box.text, "Can't download file");
        EXPECT_EQ(contents(file), "an older download");
        EXPECT_EQ(QDir(documents.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"Carvex.zip"});
    }
}

// A redirect away from https, at the first hop or a later one, ends the
// check or the download: what came over plain http is never shown or saved.
TEST_F(AboutTest, RedirectToPlainHttpIsRefusedAtEveryHop) {
    server->setPlainInfo(reply("9.9", "tampered"));
    server->setPlainRelease("tampered archive");
    for (const char* mode : {"redirect-http", "redirect-hop"}) {
        SCOPED_TRACE(mode);
        server->clearModes();
        server->clearRequests();
        server->setMode("/info.xml", mode);
        user.shown.clear();
        pressCheckForUpdate();
        EXPECT_TRUE(user.shown.isEmpty());

        server->clearModes();
        server->setMode("/release/Carvex.zip", mode);
        server->setInfo(reply("2.1"));
        const QString file = documents.filePath(QStringLiteral("%1.zip").arg(mode));
        acceptDownloadInto(file);
        pressCheckForUpdate();
        ASSERT_EQ(user.shown.size(), 4);
        EXPECT_EQ(user.shown[3].box.text, "Can't download file");
        EXPECT_FALSE(QFileInfo::exists(file));
        for (const QJsonObject& r : server->requests())
            EXPECT_EQ(r["scheme"].toString(), "https") << r["path"].toString().toStdString();
        server->setInfo(reply("2.0.1.2"));
    }
}

// A reply too large for the buffer is refused whole: the piece that fits
// and the end of the reply would otherwise make a document the server
// never sent. An endless one ends the same way, and soon.
TEST_F(AboutTest, OversizedOrEndlessReplyIsRefusedNotSpliced) {
    const QByteArray head = "<?xml version=\"1.0\"?>\n<Update><Carvex Version=\"2.1\"/><!--";
    const QByteArray tail = "-->\n</Update>\n";
    // 63 full reads of 512 bytes fill all but the last 511 bytes of the
    // buffer; the last read of 100 bytes would still fit in.
    QByteArray xml = head + QByteArray(40 * 512 + 100 + 32768 - head.size() - tail.size(), 'x');
    xml += tail;
    ASSERT_EQ(xml.size() % 512, 100);
    ASSERT_GT(xml.size(), 32767);
    server->setInfo(xml);
    pressCheckForUpdate();
    EXPECT_TRUE(user.shown.isEmpty());

    server->setMode("/info.xml", "endless");
    QElapsedTimer clock;
    clock.start();
    pressCheckForUpdate();
    EXPECT_TRUE(user.shown.isEmpty());
    EXPECT_LT(clock.elapsed(), 10000);
}

// A server that sends a byte now and then is given up once a read (or the
// whole check) has lasted too long, and Escape is honoured while waiting,
// not only once a buffer is full.
TEST_F(AboutTest, TrickleIsBoundedByDeadlinesAndEscape) {
    qputenv("CARVEX_UPDATE_TIMEOUT_MS", "1000");
    server->setMode("/info.xml", "trickle");
    server->setInfo(reply("2.1"));
    QElapsedTimer clock;
    clock.start();
    pressCheckForUpdate();
    EXPECT_TRUE(user.shown.isEmpty());
    EXPECT_LT(clock.elapsed(), 5000);

    server->clearModes();
    server->setMode("/release/Carvex.zip", "trickle");
    server->setRelease(patterned(3000));
    const QString file = documents.filePath("Carvex.zip");
    acceptDownloadInto(file);
    clock.restart();
    pressCheckForUpdate();
    ASSERT_EQ(user.shown.size(), 4);
    EXPECT_EQ(user.shown[3].box.text, "Can't download file");
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(QFileInfo::exists(file));

    // With a long deadline, Escape ends it.
    qputenv("CARVEX_UPDATE_TIMEOUT_MS", "60000");
    user.shown.clear();
    acceptDownloadInto(file);
    escape = [&] { return progressBar() != nullptr && clock.elapsed() > 500; };
    clock.restart();
    pressCheckForUpdate();
    ASSERT_EQ(user.shown.size(), 4);
    EXPECT_EQ(user.shown[3].box.text, "Can't download file");
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(AboutTest, PlainHttpIsNeverUsed) {
    // Whoever answers plain http on the same server would hand out this.
    server->setRelease("genuine archive");
    server->setPlainRelease("tampered archive");
    server->setInfo(reply("2.1"));
    const QString file = documents.filePath("Carvex.zip");
    acceptDownloadInto(file);
    pressCheckForUpdate();
    ASSERT_EQ(user.shown.size(), 4);
    EXPECT_EQ(user.shown[3].box.text, "Download complete");
    EXPECT_EQ(contents(file), "genuine archive");
    QVector<QJsonObject> asked = server->requests();
    ASSERT_EQ(asked.size(), 2);
    for (const QJsonObject& r : asked)
        EXPECT_EQ(r["scheme"].toString(), "https");

    // A server named by a plain http address is not asked at all.
    server->clearRequests();
    user.shown.clear();
    qputenv("CARVEX_UPDATE_SERVER", server->httpAddress().toLocal8Bit());
    pressCheckForUpdate();
    EXPECT_TRUE(user.shown.isEmpty());
    EXPECT_TRUE(server->requests().isEmpty());
}

TEST_F(AboutTest, UntrustedServerEndsTheCheckSilently) {
    server->setInfo(reply("2.1"));
    qunsetenv("STANDIN_CA_BUNDLE");
    pressCheckForUpdate();
    EXPECT_TRUE(user.shown.isEmpty());
    // The server notes the failed handshake once the client has gone.
    const QVector<QJsonObject> asked = server->waitForRequests(1);
    ASSERT_FALSE(asked.isEmpty());
    for (const QJsonObject& r : asked)
        EXPECT_EQ(r["scheme"].toString(), "tls-failed");
}

// The person at a terminal reads the server's version and "Info" as text:
// escape sequences in them (which could retitle the window, clear the
// screen or forge a prompt) arrive as visible \xNN, lines and tabs as they
// are.
TEST_F(AboutTest, ServerTextsReachTheTerminalWithoutControlCharacters) {
    // ESC as a character reference, and C1 controls (CSI, OSC) as they
    // stand: XML carries both.
    server->setInfo(reply(QStringLiteral("2.1.0.0\u009b2J"),
                          QStringLiteral("Faster&#x1b;]0;owned&#x7;\n\tunions.\u009d2;x")));
    QTemporaryDir terminal;
    ASSERT_TRUE(terminal.isValid());
    const QString typed = terminal.filePath("typed");
    const QString shown = terminal.filePath("shown");
    QFile answers(typed);
    ASSERT_TRUE(answers.open(QIODevice::WriteOnly));
    answers.write("no\n");
    answers.close();

    // Standard input and output of this process become the two files for
    // the length of the check.
    std::fflush(stdout);
    const int savedIn = dup(STDIN_FILENO);
    const int savedOut = dup(STDOUT_FILENO);
    const int in = ::open(QFile::encodeName(typed).constData(), O_RDONLY);
    const int out = ::open(QFile::encodeName(shown).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_TRUE(savedIn >= 0 && savedOut >= 0 && in >= 0 && out >= 0);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    standin::TerminalUser person;
    standin::setCurrentUser(&person);
    pressCheckForUpdate();
    standin::setCurrentUser(&user);
    std::fflush(stdout);
    dup2(savedIn, STDIN_FILENO);
    dup2(savedOut, STDOUT_FILENO);
    for (int fd : {savedIn, savedOut, in, out})
        ::close(fd);
    std::cin.clear();

    const QString text = QString::fromUtf8(contents(shown));
    EXPECT_TRUE(text.contains("New version 2.1.0.0\\x9b2J is available")) << text.toStdString();
    EXPECT_TRUE(text.contains("Faster\\x1b]0;owned\\x07\n\tunions.\\x9d2;x")) << text.toStdString();
    for (const QChar c : text)
        EXPECT_TRUE(c == QLatin1Char('\n') || c == QLatin1Char('\t') ||
                    c.category() != QChar::Other_Control)
            << "control character " << c.unicode() << " in " << text.toStdString();
    // The question was asked and answered no: nothing was fetched.
    EXPECT_TRUE(text.contains("Yes / No? ")) << text.toStdString();
    EXPECT_TRUE(releaseRequests().isEmpty());
}
