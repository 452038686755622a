#include "shapeio/fileregion.h"

namespace {

QString reasonOf(const carvex::RegionResult& refused) {
    return QString::fromStdString(carvex::describe(refused.status, refused.first, refused.second));
}

}  // namespace

bool regionOfDrawing(const FilledDrawing& drawing, const QString& fileName, double threshold,
                     FileRegion* region, QString* error) {
    region->shape.clear();
    region->fill = carvex::FillRule::NonZero;
    if (drawing.elements.size() == 1) {
        region->shape = drawing.elements.front().splines();
        region->fill = drawing.elements.front().fill;
        return true;
    }
    // Each element's own winding counts only under its own rule: a second
    // element drawn the other way round must not cut a hole into the first.
    for (const FilledElement& element : drawing.elements) {
        const carvex::RegionResult resolved =
            carvex::resolve(element.paths, element.fill, threshold);
        if (!resolved.ok()) {
            region->shape.clear();
            if (error)
                *error = QStringLiteral("%1: the shape cannot be resolved: %2")
                             .arg(fileName, reasonOf(resolved));
            return false;
        }
        Shape loops = carvex::shapeOf(resolved.loops);
        while (!loops.isEmpty())
            region->shape.addSpline(loops.takeFirst());
    }
    return true;
}

bool dissolveDrawing(std::vector<FilledElement>&& elements, const QString& fileName,
                     double threshold, Shape* region, QString* error) {
    std::vector<carvex::FilledPaths> regions;
    regions.reserve(elements.size());
    for (FilledElement& element : elements)
        regions.push_back({std::move(element.paths), element.fill});
    std::vector<FilledElement>().swap(elements);
    const carvex::RegionResult united = carvex::unionAll(std::move(regions), threshold);
    if (!united.ok()) {
        if (error)
            *error = QStringLiteral("%1: the region cannot be resolved: %2")
                         .arg(fileName, reasonOf(united));
        return false;
    }
    *region = carvex::shapeOf(united.loops);
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
