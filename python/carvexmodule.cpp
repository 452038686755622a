// The carvex Python module: shape files and path data in and out, the region
// engine's Booleans, the per-pair operation with its outcome, and the exact
// enclosed area. A Python Shape is a region: splines and the rule that fills
// them, so that a file read here means what the command reads it to mean. Work on shapes runs
// without the GIL, so threads run in parallel; a shape is never changed by an operation, so one
// shape may be used by several threads at once.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "boolean/boolean.h"
#include "geometry/shape.h"
#include "shapeio/fileregion.h"
#include "shapeio/jsonio.h"
#include "shapeio/pathdata.h"
#include "shapeio/shapecheck.h"
#include "shapeio/shapeio.h"
#include "shapeio/svgio.h"
#include "shaperegion/shaperegion.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// The exceptions, by what the command's exit code would say.
PyObject* gError = nullptr;        // carvex.Error, the base of the others
PyObject* gInputError = nullptr;   // unreadable or malformed input (exit code 2)
PyObject* gWriteError = nullptr;   // an output that cannot be written (exit code 3)
PyObject* gRegionError = nullptr;  // input the region engine cannot combine

[[noreturn]] void raise(PyObject* type, const QString& message) {
    PyErr_SetString(type, message.toUtf8().constData());
    throw py::error_already_set();
}

QString qstr(const std::string& s) {
    return QString::fromUtf8(s.data(), int(s.size()));
}

std::string utf8(const QString& s) {
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// What Python calls a Shape.
using Region = FileRegion;

// Values Python can make that name nothing are refused (RegionError, a
// ValueError), never taken for something else.
carvex::Operation checked(carvex::Operation op) {
    carvex::Operation named = op;
    if (!carvex::operationOfCode(carvex::operationCode(op), &named))
        raise(gRegionError,
              QStringLiteral("Op(%1) names no operation").arg(carvex::operationCode(op)));
    return op;
}

carvex::FillRule checked(carvex::FillRule fill) {
    if (fill != carvex::FillRule::NonZero && fill != carvex::FillRule::EvenOdd)
        raise(gRegionError, QStringLiteral("FillRule(%1) names no fill rule").arg(int(fill)));
    return fill;
}

std::optional<carvex::FillRule> checked(std::optional<carvex::FillRule> fill) {
    if (fill) checked(*fill);
    return fill;
}

carvex::LineJoin checked(carvex::LineJoin join) {
    if (join != carvex::LineJoin::Miter && join != carvex::LineJoin::Round &&
        join != carvex::LineJoin::Bevel)
        raise(gRegionError, QStringLiteral("Join(%1) names no join").arg(int(join)));
    return join;
}

carvex::LineCap checked(carvex::LineCap cap) {
    if (cap != carvex::LineCap::Butt && cap != carvex::LineCap::Round &&
        cap != carvex::LineCap::Square)
        raise(gRegionError, QStringLiteral("Cap(%1) names no cap").arg(int(cap)));
    return cap;
}

// A length of a pen or an offset: finite, within what coordinates may be.
double checkedLength(const char* what, double value, bool negativeAllowed) {
    if (std::isfinite(value) && std::fabs(value) <= carvex::kMaxRegionCoordinate &&
        (negativeAllowed || value >= 0.0))
        return value;
    char text[160];
    std::snprintf(text, sizeof text, "%s %g is out of range: it must be %sfinite and at most 1e9",
                  what, value, negativeAllowed ? "" : "0 or more, ");
    throw py::value_error(text);
}

// The command's range; 0, where allowed, lets the region engine choose.
double checkedThreshold(double threshold, bool zeroAllowed) {
    if ((zeroAllowed && threshold == 0.0) ||
        (threshold >= carvex::kMinUserThreshold && threshold <= carvex::kMaxUserThreshold))
        return threshold;
    char text[160];
    std::snprintf(text, sizeof text,
                  "threshold %g is out of range: it must %slie between 0.00001 and 100000000",
                  threshold, zeroAllowed ? "be 0 or " : "");
    raise(gRegionError, QString::fromUtf8(text));
}

// Python strings may hold a NUL, which no file name can: refused rather than
// cut there.
const std::string& checkedPath(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        raise(gInputError, QStringLiteral("path holds a NUL byte"));
    return path;
}

std::unique_ptr<Shape> copyOf(const Shape& shape) {
    auto copy = std::make_unique<Shape>();
    copy->frame = shape.frame;
    copy->name = shape.name;
    for (const Spline* s : shape) {
        auto spline = new Spline();
        spline->copyFrom(*s);
        copy->addSpline(spline);
    }
    return copy;
}

std::unique_ptr<Region> regionOf(std::unique_ptr<Shape> shape,
                                 carvex::FillRule fill = carvex::FillRule::NonZero) {
    auto region = std::make_unique<Region>();
    region->shape = std::move(*shape);
    region->fill = fill;
    return region;
}

std::unique_ptr<Region> copyOf(const Region& region) {
    return regionOf(copyOf(region.shape), region.fill);
}

// The sentences about elements a file left out, as the command prints them
// on standard error, become warnings.
void warnAbout(const QStringList& notes) {
    for (const QString& note : notes)
        if (PyErr_WarnEx(PyExc_UserWarning, note.toUtf8().constData(), 1) < 0)
            throw py::error_already_set();
}

// Frames folded into the knots, as the command reads files, so that every
// knot is in the file's own coordinates; false (with the command's message)
// when that carries a coordinate out of range.
bool bakeFrames(const QString& source, Shape& shape, QString* error) {
    bool framed = shape.frame != Matrix3d();
    for (const Spline* s : shape)
        framed = framed || s->frame != Matrix3d();
    if (!framed) return true;
    shape.setFrame(Matrix3d(), true);
    CoordinateProblem problem;
    if (!checkCoordinates(shape, &problem)) {
        *error = QStringLiteral("%1: spline %2 after applying the frames: %3")
                     .arg(source)
                     .arg(problem.splineIndex)
                     .arg(problem.describe());
        return false;
    }
    for (Spline* s : shape)
        s->updateLengths();
    return true;
}

// Reading runs without the GIL; the exception is raised once it is back.
std::unique_ptr<Region> readFile(const std::string& path, double threshold) {
    checkedPath(path);
    checkedThreshold(threshold, true);
    auto region = std::make_unique<Region>();
    QStringList notes;
    QString error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        ok = readFileRegion(qstr(path), threshold, region.get(), &notes, &error);
    }
    if (!ok) raise(gInputError, error);
    warnAbout(notes);
    return region;
}

// Every subpath as written, filled or not, for the per-pair engine.
std::unique_ptr<Region> readSplines(const std::string& path) {
    checkedPath(path);
    auto shape = std::make_unique<Shape>();
    QString error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        const QString file = qstr(path);
        ok = readShapeFile(file, *shape, &error) && bakeFrames(file, *shape, &error);
    }
    if (!ok) raise(gInputError, error);
    return regionOf(std::move(shape));
}

void writeFile(const std::string& path, const Region& region) {
    checkedPath(path);
    QString error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        ok = writeRegionFile(qstr(path), region, &error);
    }
    if (!ok) raise(gWriteError, error);
}

std::unique_ptr<Region> fromPathData(const std::string& data, carvex::FillRule fill) {
    checked(fill);
    auto shape = std::make_unique<Shape>();
    PathDataError problem;
    bool ok = false;
    {
        py::gil_scoped_release release;
        ok = parsePathData(qstr(data), *shape, &problem);
    }
    if (!ok)
        raise(gInputError,
              QStringLiteral("path data, offset %1: %2").arg(problem.offset).arg(problem.message));
    return regionOf(std::move(shape), fill);
}

// An SVG document's text read as the command reads an SVG file.
std::unique_ptr<Region> fromSvg(const std::string& text, const std::string& name,
                                double threshold) {
    checkedThreshold(threshold, true);
    auto region = std::make_unique<Region>();
    FilledDrawing drawing;
    QString error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        const QByteArray data(text.data(), int(text.size()));
        const QString source = qstr(name);
        ok = readSvgDrawing(data, source, &drawing, &error) &&
             regionOfDrawing(drawing, source, threshold, region.get(), &error);
    }
    if (!ok) raise(gInputError, error);
    warnAbout(drawing.notes);
    return region;
}

// The engine's model, frames and fill rule included.
std::unique_ptr<Region> fromJson(const std::string& text, const std::string& name) {
    auto region = std::make_unique<Region>();
    QString error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        const QByteArray data(text.data(), int(text.size()));
        const QString source = qstr(name);
        ok = readJson(data, source, region->shape, &region->fill, &error) &&
             bakeFrames(source, region->shape, &error);
    }
    if (!ok) raise(gInputError, error);
    return region;
}

std::string toDocument(const Region& region, ShapeFormat format) {
    QByteArray contents;
    QString error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        ok = encodeRegionFile(format, region, &contents, &error);
    }
    if (!ok) raise(gWriteError, error);
    return std::string(contents.constData(), std::size_t(contents.size()));
}

// An answer's loops neither cross nor overlap, outer ones one way and holes
// the other: nonzero fills it.
std::unique_ptr<Region> answerOf(carvex::ShapeResult result) {
    if (!result.ok()) raise(gRegionError, carvex::describe(result));
    return regionOf(std::make_unique<Shape>(std::move(result.shape)));
}

std::unique_ptr<Region> combine(const Region& a, const Region& b, carvex::Operation op,
                                std::optional<carvex::FillRule> fillA,
                                std::optional<carvex::FillRule> fillB, double threshold) {
    checked(op);
    checked(fillA);
    checked(fillB);
    checkedThreshold(threshold, true);
    carvex::RegionOptions options;
    options.fillA = fillA.value_or(a.fill);
    options.fillB = fillB.value_or(b.fill);
    options.threshold = threshold;
    carvex::ShapeResult result;
    {
        py::gil_scoped_release release;
        result = carvex::combine(a.shape, b.shape, op, options);
    }
    return answerOf(std::move(result));
}

std::unique_ptr<Region> resolve(const Region& region, std::optional<carvex::FillRule> fill,
                                double threshold) {
    checked(fill);
    checkedThreshold(threshold, true);
    carvex::ShapeResult result;
    {
        py::gil_scoped_release release;
        result = carvex::resolve(region.shape, fill.value_or(region.fill), threshold);
    }
    return answerOf(std::move(result));
}

// Every shape's region under its own fill rule, united in one pass.
std::unique_ptr<Region> unionAll(const std::vector<const Region*>& regions, double threshold) {
    checkedThreshold(threshold, true);
    std::vector<carvex::FilledShape> shapes;
    shapes.reserve(regions.size());
    for (const Region* r : regions) {
        if (!r) raise(PyExc_TypeError, QStringLiteral("union_all() takes shapes, not None"));
        shapes.push_back({&r->shape, r->fill});
    }
    carvex::ShapeResult result;
    {
        py::gil_scoped_release release;
        result = carvex::unionAll(shapes, threshold);
    }
    if (!result.ok() && result.region >= 0)
        raise(gRegionError, QStringLiteral("shape %1 cannot be resolved: %2")
                                .arg(result.region)
                                .arg(carvex::describe(result)));
    return answerOf(std::move(result));
}

// The region a pen paints along the shape's splines, open ones with caps.
std::unique_ptr<Region> strokeOf(const Region& region, double width, carvex::LineJoin join,
                                 carvex::LineCap cap, double miterLimit,
                                 const std::vector<double>& dashes, double dashOffset,
                                 double threshold) {
    carvex::StrokeStyle style;
    style.width = checkedLength("width", width, false);
    style.join = checked(join);
    style.cap = checked(cap);
    if (!(miterLimit >= 1.0) || !std::isfinite(miterLimit))
        throw py::value_error("miter_limit must be 1 or more, and finite");
    style.miterLimit = miterLimit;
    for (double d : dashes)
        checkedLength("a dash length", d, false);
    style.dashes = dashes;
    style.dashOffset = checkedLength("dash_offset", dashOffset, true);
    checkedThreshold(threshold, true);
    carvex::ShapeResult result;
    {
        py::gil_scoped_release release;
        result = carvex::stroke(region.shape, style, threshold);
    }
    return answerOf(std::move(result));
}

std::unique_ptr<Region> offsetOf(const Region& region, double distance, carvex::LineJoin join,
                                 double miterLimit, std::optional<carvex::FillRule> fill,
                                 double threshold) {
    checkedLength("distance", distance, true);
    checked(join);
    checked(fill);
    if (!(miterLimit >= 1.0) || !std::isfinite(miterLimit))
        throw py::value_error("miter_limit must be 1 or more, and finite");
    checkedThreshold(threshold, true);
    carvex::ShapeResult result;
    {
        py::gil_scoped_release release;
        result = carvex::offset(region.shape, fill.value_or(region.fill), distance, join,
                                miterLimit, threshold);
    }
    return answerOf(std::move(result));
}

struct PairResult {
    std::unique_ptr<Region> shape;
    std::vector<PairOutcome> outcomes;
};

// The modifier's operation on copies of the inputs: every base spline with
// every operand spline, each pair's outcome reported.
PairResult combinePairs(const Region& base, const Region& operand, carvex::Operation operation,
                        double threshold) {
    checked(operation);
    checkedThreshold(threshold, false);
    if (operation == carvex::Operation::Xor)
        throw py::value_error("the per-pair engine has no xor: use combine()");
    PairResult answer;
    py::gil_scoped_release release;
    answer.shape = copyOf(base);
    const std::unique_ptr<Shape> other = copyOf(operand.shape);
    for (Spline* s : answer.shape->shape)
        s->updateLengths();
    for (Spline* s : *other)
        s->updateLengths();
    QList<PairOutcome> outcomes;
    applyOperand(answer.shape->shape, *other, operation, threshold, &outcomes);
    answer.outcomes.assign(outcomes.begin(), outcomes.end());
    return answer;
}

using KnotTuple = std::tuple<std::pair<double, double>, std::pair<double, double>,
                             std::pair<double, double>, int>;

// Every spline as (closed, knots), each knot as (point, in handle, out
// handle, type) in the shape's parent space.
std::vector<std::pair<bool, std::vector<KnotTuple>>> splinesOf(const Shape& shape) {
    std::vector<std::pair<bool, std::vector<KnotTuple>>> splines;
    for (const Spline* s : shape) {
        const Matrix3d M = s->frame * shape.frame;
        std::vector<KnotTuple> knots;
        for (const Knot* k : *s) {
            const Point3d p = map(k->point, M), in = map(k->inVec, M), out = map(k->outVec, M);
            knots.emplace_back(std::make_pair(p.x, p.y), std::make_pair(in.x, in.y),
                               std::make_pair(out.x, out.y), k->type);
        }
        splines.emplace_back(s->closed, std::move(knots));
    }
    return splines;
}

// Every spline's knot points in the shape's parent space.
std::vector<std::vector<std::vector<double>>> pointsOf(const Shape& shape) {
    std::vector<std::vector<std::vector<double>>> splines;
    for (const Spline* s : shape) {
        const Matrix3d M = s->frame * shape.frame;
        std::vector<std::vector<double>> points;
        for (const Knot* k : *s) {
            const Point3d p = map(k->point, M);
            points.push_back({p.x, p.y});
        }
        splines.push_back(std::move(points));
    }
    return splines;
}

// NumPy is optional: only the calls that give arrays need it.
py::module_ importNumpy() {
    try {
        return py::module_::import("numpy");
    } catch (py::error_already_set&) {
        PyErr_SetString(PyExc_ImportError, "point_arrays() needs NumPy; points() gives lists");
        throw py::error_already_set();
    }
}

PyObject* newException(py::module_& m, const char* name, PyObject* base, const char* doc) {
    const std::string qualified = std::string("carvex.") + name;
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
    if (!type) throw py::error_already_set();
    m.add_object(name, py::handle(type));
    return type;
}

}  // namespace

PYBIND11_MODULE(carvex, m) {
    m.doc() = "Booleans of closed cubic Bezier shapes; SVG and JSON shape files.";

    gError = newException(m, "Error", PyExc_Exception, "Base of the errors carvex raises.");
    gInputError = newException(
        m, "InputError",
        py::make_tuple(py::handle(gError), py::handle(PyExc_ValueError)).release().ptr(),
        "Input that cannot be read: the message names the file (or the path data) and the "
        "place, as the carvex command prints it.");
    gWriteError =
        newException(m, "WriteError",
                     py::make_tuple(py::handle(gError), py::handle(PyExc_OSError)).release().ptr(),
                     "An output that cannot be written; an existing file is left untouched.");
    gRegionError = newException(
        m, "RegionError",
        py::make_tuple(py::handle(gError), py::handle(PyExc_ValueError)).release().ptr(),
        "Shapes the region engine cannot combine (a coordinate not finite or too large, too "
        "many knots, a bad threshold).");

    // The command's names; the longer ones of earlier releases stay as
    // aliases, and PairOp is the same enum.
    py::enum_<carvex::Operation>(m, "Op", "A Boolean operation, named as the command names it.")
        .value("UNION", carvex::Operation::Union)
        .value("INTERSECT", carvex::Operation::Intersect)
        .value("SUBTR_A", carvex::Operation::SubtrA)
        .value("SUBTR_B", carvex::Operation::SubtrB)
        .value("XOR", carvex::Operation::Xor)
        .value("INTERSECTION", carvex::Operation::Intersect)
        .value("A_MINUS_B", carvex::Operation::SubtrA)
        .value("B_MINUS_A", carvex::Operation::SubtrB);
    m.attr("PairOp") = m.attr("Op");
    py::enum_<carvex::FillRule>(m, "FillRule", "Which points a shape's splines enclose.")
        .value("NONZERO", carvex::FillRule::NonZero)
        .value("EVENODD", carvex::FillRule::EvenOdd);

    py::enum_<carvex::LineJoin>(m, "Join", "How a stroke or an offset turns a corner.")
        .value("MITER", carvex::LineJoin::Miter)
        .value("ROUND", carvex::LineJoin::Round)
        .value("BEVEL", carvex::LineJoin::Bevel);

    py::enum_<carvex::LineCap>(m, "Cap", "How a stroke ends an open spline.")
        .value("BUTT", carvex::LineCap::Butt)
        .value("ROUND", carvex::LineCap::Round)
        .value("SQUARE", carvex::LineCap::Square);

    py::class_<PairOutcome>(m, "PairOutcome",
                            "What the per-pair engine did with one base spline and one operand "
                            "spline.")
        .def_readonly("base_index", &PairOutcome::baseIndex,
                      "The base spline's place in the base shape.")
        .def_readonly("operand_index", &PairOutcome::operandIndex,
                      "The operand spline's place in the operand shape.")
        .def_readonly("combined", &PairOutcome::combined,
                      "Whether the pair was combined into one loop.")
        .def_property_readonly(
            "reason",
            [](const PairOutcome& o) {
                return o.reason == PairReason::None ? std::string()
                                                    : utf8(pairReasonText(o.reason));
            },
            "Why the pair was left uncombined, as the command says it; empty when combined.")
        .def("__repr__", [](const PairOutcome& o) {
            std::string text = "PairOutcome(base_index=" + std::to_string(o.baseIndex) +
                               ", operand_index=" + std::to_string(o.operandIndex) +
                               ", combined=" + (o.combined ? "True" : "False");
            if (o.reason != PairReason::None)
                text += ", reason='" + utf8(pairReasonText(o.reason)) + "'";
            return text + ")";
        });

    py::class_<Region, std::unique_ptr<Region>> shapeClass(
        m, "Shape",
        "A region: closed and open cubic splines and the rule that fills them. Made by read(), "
        "from_path_data(), from_svg(), from_json() and the operations; never changed by an "
        "operation.");
    shapeClass
        // Made whole by __new__, so that a shape made without __init__
        // (as copy and pickle make them) is an empty shape, never an
        // instance without its value.
        .def_static(
            "__new__", [](const py::object&) { return std::make_unique<Region>(); },
            "An empty shape.")
        .def(
            "__init__", [](const py::object&) {}, "An empty shape.")
        .def("__len__", [](const Region& r) { return r.shape.size(); })
        .def_property(
            "fill", [](const Region& r) { return r.fill; },
            [](Region& r, carvex::FillRule fill) { r.fill = checked(fill); },
            "The rule that fills the splines; combine() and resolve() use it unless "
            "given another.")
        .def_property_readonly(
            "area",
            [](const Region& r) {
                py::gil_scoped_release release;
                return carvex::enclosedArea(r.shape);
            },
            "The exact signed area the splines enclose, each counted once whatever the fill "
            "rule (counterclockwise in x-y with y up is positive); an open spline counts as "
            "closed by a straight segment.")
        .def(
            "splines", [](const Region& r) { return splinesOf(r.shape); },
            "Every spline as (closed, knots), each knot as (point, in handle, out handle, "
            "type code).")
        .def(
            "path_data", [](const Region& r) { return utf8(svgPathData(r.shape)); },
            "SVG path data: M and C commands, Z on closed splines.")
        .def(
            "to_path_data", [](const Region& r) { return utf8(svgPathData(r.shape)); },
            "The same as path_data(): from_path_data(s.to_path_data()) gives the splines back.")
        .def(
            "points", [](const Region& r) { return pointsOf(r.shape); },
            "The knot points of every spline as plain lists: [[[x, y], ...], ...].")
        .def(
            "point_arrays",
            [](const Region& r) {
                const py::module_ numpy = importNumpy();
                py::list arrays;
                for (const auto& spline : pointsOf(r.shape))
                    arrays.append(numpy.attr("array")(py::cast(spline), "dtype"_a = "float64")
                                      .attr("reshape")(-1, 2));
                return arrays;
            },
            "The knot points of every spline as NumPy arrays of shape (n, 2); raises "
            "ImportError when NumPy is not installed.")
        .def(
            "to_svg", [](const Region& r) { return toDocument(r, ShapeFormat::Svg); },
            "An SVG document with the splines as one path under the shape's fill rule.")
        .def(
            "to_json", [](const Region& r) { return toDocument(r, ShapeFormat::Json); },
            "The engine's model as JSON, with the fill rule, lossless.")
        .def(
            "copy", [](const Region& r) { return copyOf(r); },
            "A copy that shares nothing with this shape.")
        .def("__repr__",
             [](const Region& r) {
                 int knots = 0;
                 for (const Spline* sp : r.shape)
                     knots += sp->size();
                 return "<carvex.Shape: " + std::to_string(r.shape.size()) + " splines, " +
                        std::to_string(knots) + " knots, " + utf8(fillRuleName(r.fill)) + ">";
             })
        // Pickled as lossless JSON, so shapes travel to worker processes:
        // an empty shape, then its state.
        .def("__reduce__",
             [](const py::object& self) {
                 const Region& r = self.cast<const Region&>();
                 return py::make_tuple(self.get_type(), py::tuple(),
                                       py::bytes(toDocument(r, ShapeFormat::Json)));
             })
        .def("_restore", [](Region& r, const py::bytes& state) {
            r = std::move(*fromJson(std::string(state), "pickled shape"));
        });
    // Set by hand: defined by name, pybind11 would take it for a constructor.
    shapeClass.attr("__setstate__") = shapeClass.attr("_restore");

    m.def("read", &readFile, py::arg("path"), py::arg("threshold") = 0.0,
          "Reads a .svg or .json file as the region it paints, as the carvex command reads it: "
          "filled elements each under their own fill rule, elements left out with a "
          "UserWarning each. Raises InputError with the command's message.");
    m.def("read_splines", &readSplines, py::arg("path"),
          "Reads every subpath of a .svg or .json file as written, filled or not, as the "
          "per-pair engine takes them; the fill rule is nonzero.");
    m.def("write", &writeFile, py::arg("path"), py::arg("shape"),
          "Writes a .svg, .json or .png file, whole or not at all, as the command writes its "
          "answers. Raises WriteError.");
    m.def("from_path_data", &fromPathData, py::arg("d"),
          py::arg("fill") = carvex::FillRule::NonZero,
          "A shape from SVG path data (the d attribute), one spline per subpath.");
    m.def(
        "to_path_data", [](const Region& r) { return utf8(svgPathData(r.shape)); },
        py::arg("shape"), "The same as Shape.to_path_data().");
    m.def("from_svg", &fromSvg, py::arg("text"), py::arg("name") = "SVG document",
          py::arg("threshold") = 0.0,
          "A shape from an SVG document's text, read as read() reads a file.");
    m.def("from_json", &fromJson, py::arg("text"), py::arg("name") = "JSON document",
          "A shape from the JSON that Shape.to_json() writes.");

    m.def("combine", &combine, py::arg("a"), py::arg("b"), py::arg("op"),
          py::arg("fill_a") = py::none(), py::arg("fill_b") = py::none(),
          py::arg("threshold") = 0.0,
          "The region of a op b, each under its own fill rule unless one is given, as "
          "non-crossing loops (outer boundaries counterclockwise, holes clockwise, filled "
          "nonzero). Raises RegionError.");
    m.def("resolve", &resolve, py::arg("shape"), py::arg("fill") = py::none(),
          py::arg("threshold") = 0.0,
          "The region of one shape under its fill rule (or the one given), as combine() "
          "answers.");
    m.def("union_all", &unionAll, py::arg("shapes"), py::arg("threshold") = 0.0,
          "The union of many shapes, each under its own fill rule, in one pass: what "
          "combine() would answer uniting them one by one, much faster for many shapes. An "
          "empty list gives an empty shape. Raises RegionError naming a shape that cannot be "
          "resolved.");
    m.def("stroke", &strokeOf, py::arg("shape"), py::arg("width") = 1.0,
          py::arg("join") = carvex::LineJoin::Miter, py::arg("cap") = carvex::LineCap::Butt,
          py::arg("miter_limit") = 4.0, py::arg("dashes") = std::vector<double>(),
          py::arg("dash_offset") = 0.0, py::arg("threshold") = 0.0,
          "The region a pen of that width paints along the shape's splines, as SVG strokes "
          "them: closed splines joined where they close, open ones capped, dashes (lengths on "
          "and off in turn) from dash_offset. Answered as combine() answers.");
    m.def("offset", &offsetOf, py::arg("shape"), py::arg("distance"),
          py::arg("join") = carvex::LineJoin::Round, py::arg("miter_limit") = 4.0,
          py::arg("fill") = py::none(), py::arg("threshold") = 0.0,
          "The shape's region (under its fill rule, or the one given) grown by distance, or "
          "shrunk where it is negative, corners shaped by join; curves stay curves.");
    m.def(
        "enclosed_area",
        [](const Region& r) {
            py::gil_scoped_release release;
            return carvex::enclosedArea(r.shape);
        },
        py::arg("shape"), "The same as Shape.area.");
    m.def(
        "combine_pairs",
        [](const Region& base, const Region& operand, carvex::Operation operation,
           double threshold) {
            PairResult r = combinePairs(base, operand, operation, threshold);
            return py::make_tuple(std::move(r.shape), r.outcomes);
        },
        py::arg("base"), py::arg("operand"), py::arg("op"), py::arg("threshold") = 0.0001,
        "The per-pair engine, as the plug-in runs it: every base spline with every operand "
        "spline. Returns (shape, outcomes), one PairOutcome per pair; the inputs are left "
        "as they are.");
}
