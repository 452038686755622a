#pragma once

// The tests' update server (updateserver.py): https and plain http on one
// port of 127.0.0.1, with a self-signed certificate made at start. The test
// owns its folder, writes the replies there and reads what was asked.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QVector>

class TestUpdateServer {
public:
    TestUpdateServer() = default;
    TestUpdateServer(const TestUpdateServer&) = delete;
    TestUpdateServer& operator=(const TestUpdateServer&) = delete;
    ~TestUpdateServer() { stop(); }

    // Starts the server and waits (30 s at most) until it listens.
    bool start(QString* why) {
        if (!folder.isValid()) return fail(why, QStringLiteral("no temporary folder"));
        process.setProgram(QStringLiteral(CARVEX_PYTHON));
        process.setArguments({QStringLiteral(CARVEX_UPDATE_SERVER_SCRIPT), folder.path(),
                              QStringLiteral("--lifetime"), QStringLiteral("300")});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(30000)) return fail(why, process.errorString());
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return fail(why, QStringLiteral("the server did not say its port"));
        }
        const QByteArray line = process.readLine().trimmed();
        if (!line.startsWith("port ")) return fail(why, QString::fromUtf8(line));
        port = line.mid(5).toInt();
        return port > 0;
    }

    void stop() {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    QString httpsAddress() const { return QStringLiteral("https://127.0.0.1:%1").arg(port); }
    QString httpAddress() const { return QStringLiteral("http://127.0.0.1:%1").arg(port); }
    QString certificate() const { return folder.filePath(QStringLiteral("cert.pem")); }

    // What https requests get; plain http requests get the `plain` ones.
    void setInfo(const QByteArray& xml) { write(QStringLiteral("info.xml"), xml); }
    void setRelease(const QByteArray& bytes) { write(QStringLiteral("release/Carvex.zip"), bytes); }
    void setPlainRelease(const QByteArray& bytes) {
        write(QStringLiteral("plain/release/Carvex.zip"), bytes);
    }
    void setPlainInfo(const QByteArray& xml) { write(QStringLiteral("plain/info.xml"), xml); }
    // Makes the https replies to path misbehave (see updateserver.py).
    void setMode(const QString& path, const QString& mode) {
        QFile f(folder.filePath(QStringLiteral("modes")));
        if (f.open(QIODevice::Append)) f.write((path + QLatin1Char(' ') + mode + "\n").toUtf8());
    }
    void clearModes() { QFile::remove(folder.filePath(QStringLiteral("modes"))); }
    void removeRelease() { QFile::remove(folder.filePath(QStringLiteral("release/Carvex.zip"))); }

    // Every request since the last clear, in order.
    QVector<QJsonObject> requests() const {
        QVector<QJsonObject> all;
        QFile log(folder.filePath(QStringLiteral("requests.log")));
        if (!log.open(QIODevice::ReadOnly)) return all;
        while (!log.atEnd())
            all << QJsonDocument::fromJson(log.readLine()).object();
        return all;
    }
    // The requests once there are at least n of them, or after 20 s.
    QVector<QJsonObject> waitForRequests(int n) const {
        QDeadlineTimer deadline(20000);
        QVector<QJsonObject> all = requests();
        while (all.size() < n && !deadline.hasExpired()) {
            QThread::msleep(20);
            all = requests();
        }
        return all;
    }
    void clearRequests() { QFile::remove(folder.filePath(QStringLiteral("requests.log"))); }

    int port = 0;

private:
    static bool fail(QString* why, const QString& reason) {
        if (why) *why = reason;
        return false;
    }
    void write(const QString& name, const QByteArray& bytes) {
        const QString path = folder.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
    }

    QTemporaryDir folder;
    QProcess process;
};

// Bytes of a made-up archive whose pattern shows any byte out of place.
inline QByteArray patterned(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + i / 509) & 0xFF);
    return bytes;
}

// Tests that share one server, started once for the whole suite.
class UpdateServerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new TestUpdateServer;
        QString why;
        if (!server->start(&why)) FAIL() << "no update server: " << why.toStdString();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    inline static TestUpdateServer* server = nullptr;
};
