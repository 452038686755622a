#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>
#include <vector>

#include "shapeio/drawing.h"
#include "shapeio/filleddrawing.h"
#include "shapeio/jsonio.h"
#include "shapeio/shapecheck.h"
#include "shapeio/shapeio.h"
#include "shapeio/svgio.h"

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
    // tells no size (a pipe), from one that fits.
    *data = file.read(kMaxShapeFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read: %1").arg(file.errorString()));
    if (data->size() > kMaxShapeFileBytes) return fail(tooLarge);
    return true;
}

}  // namespace

bool readShapeFile(const QString& path, Shape& shape, QString* error) {
    ShapeFormat format = ShapeFormat::Unknown;
    QByteArray data;
    if (!readShapeBytes(path, &format, &data, error)) return false;
    return format == ShapeFormat::Svg ? readSvg(data, path, shape, error)
                                      : readJson(data, path, shape, error);
}

bool readFilledDrawing(const QString& path, FilledDrawing* drawing, QString* error) {
    ShapeFormat format = ShapeFormat::Unknown;
    QByteArray data;
    if (!readShapeBytes(path, &format, &data, error)) return false;
    if (format == ShapeFormat::Svg) return readSvgDrawing(data, path, drawing, error);
    FilledElement element;
    if (!readJson(data, path, element.shape, &element.fill, error)) return false;
    // Filling closes every spline; the model keeps frames, a drawing bakes them.
    element.shape.setFrame(Matrix3d(), true);
    CoordinateProblem problem;
    if (!checkCoordinates(element.shape, &problem)) {
        if (error)
            *error = QStringLiteral("%1: spline %2 after applying the frames: %3")
                         .arg(path)
                         .arg(problem.splineIndex)
                         .arg(problem.describe());
        return false;
    }
    FilledDrawing parsed;
    // Baking moved the knots; the per-pair engine reads cached lengths.
    for (Spline* spline : element.shape) {
        closeForFilling(*spline);
        spline->updateLengths();
    }
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

bool writeFilesAtomically(const QList<QPair<QString, QByteArray>>& files, QString* error) {
    // Unfinished QSaveFiles remove their temporary files when destroyed.
    std::vector<std::unique_ptr<QSaveFile>> pending;
    for (const auto& file : files) {
        if (QFileInfo(file.first).isDir()) {
            if (error) *error = QStringLiteral("%1: cannot write: is a directory").arg(file.first);
            return false;
        }
        auto out = std::make_unique<QSaveFile>(file.first);
        if (!out->open(QIODevice::WriteOnly) || out->write(file.second) != file.second.size()) {
            if (error)
                *error = QStringLiteral("%1: cannot write: %2").arg(file.first, out->errorString());
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
