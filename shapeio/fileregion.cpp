#include "shapeio/fileregion.h"

namespace {

void appendCopies(const Shape& from, Shape& to) {
    for (const Spline* s : from) {
        auto copy = new Spline();
        copy->copyFrom(*s);
        to.addSpline(copy);
    }
}

}  // namespace

bool regionOfDrawing(const FilledDrawing& drawing, const QString& fileName, double threshold,
                     FileRegion* region, QString* error) {
    region->shape.clear();
    region->fill = carvex::FillRule::NonZero;
    if (drawing.elements.size() == 1) {
        appendCopies(drawing.elements.front().shape, region->shape);
        region->fill = drawing.elements.front().fill;
        return true;
    }
    // Each element's own winding counts only under its own rule: a second
    // element drawn the other way round must not cut a hole into the first.
    for (const FilledElement& element : drawing.elements) {
        carvex::ShapeResult resolved = carvex::resolve(element.shape, element.fill, threshold);
        if (!resolved.ok()) {
            region->shape.clear();
            if (error)
                *error = QStringLiteral("%1: the shape cannot be resolved: %2")
                             .arg(fileName, carvex::describe(resolved));
            return false;
        }
        while (!resolved.shape.isEmpty())
            region->shape.addSpline(resolved.shape.takeFirst());
    }
    return true;
}

bool dissolveDrawing(const FilledDrawing& drawing, const QString& fileName, double threshold,
                     Shape* region, QString* error) {
    std::vector<carvex::FilledShape> shapes;
    shapes.reserve(drawing.elements.size());
    for (const FilledElement& element : drawing.elements)
        shapes.push_back({&element.shape, element.fill});
    carvex::ShapeResult united = carvex::unionAll(shapes, threshold);
    if (!united.ok()) {
        if (error)
            *error = QStringLiteral("%1: the region cannot be resolved: %2")
                         .arg(fileName, carvex::describe(united));
        return false;
    }
    *region = std::move(united.shape);
    return true;
}

bool readFileRegion(const QString& path, double threshold, FileRegion* region, QStringList* notes,
                    QString* error) {
    FilledDrawing drawing;
    if (!readFilledDrawing(path, &drawing, error)) return false;
    if (notes) *notes = drawing.notes;
    return regionOfDrawing(drawing, path, threshold, region, error);
}

bool encodeRegionFile(ShapeFormat format, const FileRegion& region, QByteArray* contents,
                      QString* error) {
    AnswerStyle style;
    style.look.fill = region.fill;
    return encodeAnswerFile(format, region.shape, style, {}, contents, error);
}

bool writeRegionFile(const QString& path, const FileRegion& region, QString* error) {
    const ShapeFormat format = formatForPath(path);
    if (format == ShapeFormat::Unknown) {
        if (error)
            *error = QStringLiteral("output '%1': unknown file type (use .svg, .json or .png)")
                         .arg(path);
        return false;
    }
    QByteArray contents;
    return encodeRegionFile(format, region, &contents, error) &&
           writeFilesAtomically({{path, contents}}, error);
}
