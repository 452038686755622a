#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "shapeio/drawing.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/jsonio.h"
#include "shapeio/shapecheck.h"
#include "shapeio/shapeio.h"
#include "shapeio/svgio.h"
#include "shaperegion/shaperegion.h"

namespace {
constexpr int kMaxMessageChars = 400;
}  // namespace

ShapeFormat formatForPath(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("svg")) return ShapeFormat::Svg;
    if (suffix == QLatin1String("json")) return ShapeFormat::Json;
    if (suffix == QLatin1String("png")) return ShapeFormat::Png;
    return ShapeFormat::Unknown;
}

namespace {

// The bytes of a shape file to read, with readShapeFile's checks of type
// and size.
bool readShapeBytes(const QString& path, ShapeFormat* format, QByteArray* data, QString* error) {
    *format = formatForPath(path);
    auto fail = [&](const QString& message) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, message);
        return false;
    };
    // A pipe with no writer would block the open for ever, a device never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) return fail(QStringLiteral("not a regular file"));
    if (*format == ShapeFormat::Png)
        return fail(
            QStringLiteral("PNG files are pictures and cannot be read as shapes "
                           "(use .svg or .json)"));
    if (*format == ShapeFormat::Unknown)
        return fail(QStringLiteral("unknown file type (expected .svg or .json)"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read: %1").arg(file.errorString()));
    const QString tooLarge =
        QStringLiteral("larger than %1 bytes (32 MiB), the most a shape file may have")
            .arg(kMaxShapeFileBytes);
    if (file.size() > kMaxShapeFileBytes) return fail(tooLarge);
    // One byte past the limit tells a file that has grown since, or that
    // tells no size (a pipe), from one that fits. Read in pieces: one read
    // of the limit would hold that much memory for the smallest file.
    constexpr qint64 kPieceBytes = qint64(1) << 20;
    data->clear();
    while (data->size() <= kMaxShapeFileBytes) {
        const QByteArray piece = file.read(kPieceBytes);
        if (piece.isEmpty()) break;
        data->append(piece);
    }
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read: %1").arg(file.errorString()));
    if (data->size() > kMaxShapeFileBytes) return fail(tooLarge);
    return true;
}

// Messages quote what they found: a value of megabytes stays out of them.
bool shortenMessage(QString* error) {
    if (error && error->size() > kMaxMessageChars)
        *error = error->left(kMaxMessageChars) +
                 QStringLiteral("... (%1 more characters)").arg(error->size() - kMaxMessageChars);
    return false;
}

}  // namespace

bool readShapeFile(const QString& path, Shape& shape, QString* error) {
    ShapeFormat format = ShapeFormat::Unknown;
    QByteArray data;
    if (!readShapeBytes(path, &format, &data, error)) return false;
    const bool read = format == ShapeFormat::Svg ? readSvg(data, path, shape, error)
                                                 : readJson(data, path, shape, error);
    return read || shortenMessage(error);
}

bool readFilledDrawing(const QString& path, FilledDrawing* drawing, QString* error) {
    ShapeFormat format = ShapeFormat::Unknown;
    QByteArray data;
    if (!readShapeBytes(path, &format, &data, error)) return false;
    if (format == ShapeFormat::Svg)
        return readSvgDrawing(data, path, drawing, error) || shortenMessage(error);
    FilledElement element;
    Shape shape;
    if (!readJson(data, path, shape, &element.fill, error)) return shortenMessage(error);
    // Filling closes every spline; the model keeps frames, a drawing bakes them.
    shape.setFrame(Matrix3d(), true);
    CoordinateProblem problem;
    if (!checkCoordinates(shape, &problem)) {
        if (error)
            *error = QStringLiteral("%1: spline %2 after applying the frames: %3")
                         .arg(path)
                         .arg(problem.splineIndex)
                         .arg(problem.describe());
        return false;
    }
    FilledDrawing parsed;
    // A spline with nothing to fill stays as written, open.
    for (Spline* spline : shape)
        closeForFilling(*spline);
    carvex::pathsOf(shape, &element.paths, nullptr);
    element.depths = depthsOf(shape);
    parsed.elements.push_back(std::move(element));
    *drawing = std::move(parsed);
    return true;
}

bool encodeShapeFile(ShapeFormat format, const Shape& shape, const QList<const Shape*>& inputs,
                     QByteArray* contents, QString* error) {
    switch (format) {
        case ShapeFormat::Svg:
            return writeSvg(shape, inputs, contents, error);
        case ShapeFormat::Json:
            return writeJson(shape, contents, error);
        case ShapeFormat::Png: {
            // The picture is checked like the SVG so that no NaN is painted.
            QByteArray unused;
            if (!writeSvg(shape, inputs, &unused, error)) return false;
            return writePng(shape, inputs, contents, error);
        }
        case ShapeFormat::Unknown:
            break;
    }
    if (error) *error = QStringLiteral("unknown file type (expected .svg, .json or .png)");
    return false;
}

bool encodeAnswerFile(ShapeFormat format, const Shape& answer, const AnswerStyle& style,
                      const QList<const Shape*>& inputs, QByteArray* contents, QString* error) {
    switch (format) {
        case ShapeFormat::Svg:
            if (style.preview) return writeSvg(answer, inputs, contents, error, style.picture);
            return writeAnswerSvg(answer, style.look, contents, error);
        case ShapeFormat::Json:
            return writeJson(answer, style.look.fill, contents, error);
        case ShapeFormat::Png: {
            QByteArray unused;
            if (!writeSvg(answer, inputs, &unused, error)) return false;
            return writePng(answer, inputs, contents, error, 800, style.picture);
        }
        case ShapeFormat::Unknown:
            break;
    }
    if (error) *error = QStringLiteral("unknown file type (expected .svg, .json or .png)");
    return false;
}

bool writeShapeFile(const QString& path, const Shape& shape, QString* error) {
    return writeShapeFile(path, shape, {}, error);
}

bool writeShapeFile(const QString& path, const Shape& shape, const QList<const Shape*>& inputs,
                    QString* error) {
    QByteArray contents;
    QString why;
    if (!encodeShapeFile(formatForPath(path), shape, inputs, &contents, &why)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return writeFilesAtomically({{path, contents}}, error);
}

namespace {

// Writes the whole of data into an open save file and pushes it to the disk;
// the reason when that fails. A full disk often shows only when the buffer
// is flushed or the file is synced, and a failed flush alone does not stop
// commit() from renaming the short file into place: every step is checked.
QString writeWhole(QSaveFile& out, const QByteArray& data) {
    if (out.write(data) != data.size() || !out.flush()) return out.errorString();
#ifdef Q_OS_UNIX
    if (out.handle() >= 0 && ::fsync(out.handle()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
#endif
    if (out.error() != QFileDevice::NoError) return out.errorString();
    return QString();
}

}  // namespace

bool writeFilesAtomically(const QList<QPair<QString, QByteArray>>& files, QString* error) {
    // Unfinished QSaveFiles remove their temporary files when destroyed.
    std::vector<std::unique_ptr<QSaveFile>> pending;
    for (const auto& file : files) {
        if (QFileInfo(file.first).isDir()) {
            if (error) *error = QStringLiteral("%1: cannot write: is a directory").arg(file.first);
            return false;
        }
        auto out = std::make_unique<QSaveFile>(file.first);
        const QString why =
            out->open(QIODevice::WriteOnly) ? writeWhole(*out, file.second) : out->errorString();
        if (!why.isEmpty()) {
            if (error) *error = QStringLiteral("%1: cannot write: %2").arg(file.first, why);
            return false;
        }
        pending.push_back(std::move(out));
    }
    for (size_t i = 0; i < pending.size(); ++i) {
        if (!pending[i]->commit()) {
            if (error)
                *error = QStringLiteral("%1: cannot write: %2")
                             .arg(files[int(i)].first, pending[i]->errorString());
            return false;
        }
    }
    return true;
}

QString fileReachedBy(const QString& path) {
    QFileInfo info(path);
    // A link that leads nowhere yet is written through, to its target; a
    // few steps at most, since links can go round in a circle.
    for (int step = 0; step < 40 && info.isSymLink(); ++step) {
        const QString canonical = info.canonicalFilePath();
        if (!canonical.isEmpty()) return canonical;
        info = QFileInfo(info.symLinkTarget());
    }
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
}
