// Outputs on a disk that fills up: every writer of the command, the stand-in
// host and its pictures must fail with its error, leave the file that was
// there untouched and leave no temporary file beside it, whatever the size.
// A file size limit (RLIMIT_FSIZE) stands for the full disk: a write past it
// fails as a write to a full disk does, and needs no privileges.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "scene.h"
#include "shapeio/shapeio.h"

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// While it lives, no file of this process may grow past `bytes`.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, SIG_DFL);
    }
    bool active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};

// The folder's file names, but for the ones listed.
QStringList othersIn(const QString& folder, const QStringList& known) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& k : known)
        names.removeAll(k);
    return names;
}

const QByteArray kOld = "<svg>the file that was there</svg>\n";

}  // namespace

// Small outputs sit in the write buffer until the commit flushes them: that
// flush failing must stop the rename, as a failing write does for large ones.
TEST(FullDisk, AtomicWritesFailWholeForSmallAndLargeOutputs) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = dir.filePath("keep.svg");
    const QString second = dir.filePath("other.json");
    for (int size : {200, 5000, 100000, 3000000}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(writeFile(first, kOld));
        ASSERT_TRUE(writeFile(second, kOld));
        QString error;
        bool written = true;
        {
            FileSizeLimit full(100);
            ASSERT_TRUE(full.active());
            written = writeFilesAtomically(
                {{first, QByteArray(size, 'a')}, {second, QByteArray(size, 'b')}}, &error);
        }
        EXPECT_FALSE(written);
        EXPECT_TRUE(error.startsWith(first + ": cannot write")) << error.toStdString();
        EXPECT_EQ(contents(first), kOld);
        EXPECT_EQ(contents(second), kOld);
        EXPECT_EQ(othersIn(dir.path(), {"keep.svg", "other.json"}), QStringList());
    }
    // With room, both are replaced.
    QString error;
    EXPECT_TRUE(writeFilesAtomically({{first, "new a"}, {second, "new b"}}, &error));
    EXPECT_EQ(contents(first), "new a");
    EXPECT_EQ(contents(second), "new b");
}

TEST(FullDisk, SavedSceneFailsAndKeepsTheOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("saved.json");
    ASSERT_TRUE(writeFile(path, kOld));
    standin::Scene scene({});
    QString error;
    bool saved = true;
    {
        FileSizeLimit full(10);
        ASSERT_TRUE(full.active());
        saved = scene.save(path, &error);
    }
    EXPECT_FALSE(saved);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_EQ(contents(path), kOld);
    EXPECT_EQ(othersIn(dir.path(), {"saved.json"}), QStringList());
}

// The command as a user meets it: exit code 3, and every -o target untouched.
TEST(FullDisk, CommandExitsWithItsCodeAndTouchesNoTarget) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString a = dir.filePath("a.svg");
    const QString b = dir.filePath("b.svg");
    ASSERT_TRUE(writeFile(a,
                          "<svg xmlns='http://www.w3.org/2000/svg'>"
                          "<rect x='0' y='0' width='10' height='10'/></svg>"));
    ASSERT_TRUE(writeFile(b,
                          "<svg xmlns='http://www.w3.org/2000/svg'>"
                          "<rect x='5' y='5' width='10' height='10'/></svg>"));
    const QString keep = dir.filePath("keep.svg");
    const QString json = dir.filePath("keep.json");
    ASSERT_TRUE(writeFile(keep, kOld));
    ASSERT_TRUE(writeFile(json, kOld));
    QProcess run;
    // 1 block of 512 bytes: the result's few hundred bytes do not fit
    // beside the inputs' picture data.
    run.start("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"", CARVEX_CLI_PATH, a,
                          "union", b, "-o", keep, "-o", json, "--show-inputs"});
    ASSERT_TRUE(run.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(run.readAllStandardError());
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 3) << err.toStdString();
    EXPECT_TRUE(err.contains("cannot write")) << err.toStdString();
    EXPECT_EQ(contents(keep), kOld);
    EXPECT_EQ(contents(json), kOld);
    EXPECT_EQ(othersIn(dir.path(), {"a.svg", "b.svg", "keep.svg", "keep.json"}), QStringList());
}
