#include "shapeio/pathdata.h"

#include <cmath>

#include "shapeio/numbertext.h"
#include "shapeio/subpathbuilder.h"

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

int argumentCount(QChar command) {
    switch (command.toUpper().toLatin1()) {
        case 'M':
        case 'L':
        case 'T':
            return 2;
        case 'H':
        case 'V':
            return 1;
        case 'C':
            return 6;
        case 'S':
        case 'Q':
            return 4;
        case 'A':
            return 7;
        case 'Z':
            return 0;
        default:
            return -1;
    }
}

class PathDataReader {
public:
    PathDataReader(const QString& data, Shape& shape, int maxKnots, QVector<Point3d>* dots)
        : d_(data), builder_(shape), maxKnots_(maxKnots) {
        builder_.keepDots(dots);
    }

    bool read(PathDataError* error) {
        skipBlanks();
        if (pos_ < d_.size() && !isCommand(d_[pos_]))
            return fail(error, QStringLiteral("path data must start with a move command (M or m)"));
        bool first = true;
        while (pos_ < d_.size()) {
            const QChar command = d_[pos_];
            if (!isCommand(command)) {
                return fail(error,
                            QStringLiteral("expected a command letter, found '%1'").arg(command));
            }
            if (first && command.toUpper() != QLatin1Char('M'))
                return fail(error, QStringLiteral("path data must start with a move command "
                                                  "(M or m), found '%1'")
                                       .arg(command));
            first = false;
            ++pos_;
            if (!readCommand(command, error)) return false;
        }
        builder_.finish();
        if (builder_.knotCount() > maxKnots_) return fail(error, tooManyKnotsMessage());
        return true;
    }

private:
    static bool isCommand(QChar c) { return argumentCount(c) >= 0; }

    bool fail(PathDataError* error, const QString& message) {
        if (error) {
            error->offset = pos_;
            error->message = message;
        }
        return false;
    }

    void skipBlanks() {
        while (pos_ < d_.size() && isBlank(d_[pos_]))
            ++pos_;
    }

    // Blanks, at most one comma, blanks.
    void skipSeparator() {
        skipBlanks();
        if (pos_ < d_.size() && d_[pos_] == QLatin1Char(',')) {
            ++pos_;
            skipBlanks();
        }
    }

    bool startsNumber() const {
        if (pos_ >= d_.size()) return false;
        const QChar c = d_[pos_];
        return c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
               c == QLatin1Char('+');
    }

    bool readNumber(double* value, QChar command, PathDataError* error) {
        bool overflow = false;
        if (!scanNumber(d_, pos_, value, &overflow)) {
            if (overflow) return fail(error, QStringLiteral("number out of range"));
            if (pos_ >= d_.size())
                return fail(
                    error, QStringLiteral("path data ends where '%1' needs a number").arg(command));
            return fail(
                error,
                QStringLiteral("expected a number for '%1', found '%2'").arg(command, d_[pos_]));
        }
        return true;
    }

    // Arc flags are single characters and need no separator after them.
    bool readFlag(bool* flag, QChar command, PathDataError* error) {
        if (pos_ < d_.size() && (d_[pos_] == QLatin1Char('0') || d_[pos_] == QLatin1Char('1'))) {
            *flag = d_[pos_] == QLatin1Char('1');
            ++pos_;
            return true;
        }
        return fail(error, QStringLiteral("expected an arc flag (0 or 1) for '%1'").arg(command));
    }

    bool readArguments(QChar command, double* args, PathDataError* error) {
        const bool arc = command.toUpper() == QLatin1Char('A');
        const int count = argumentCount(command);
        for (int i = 0; i < count; ++i) {
            if (i > 0) skipSeparator();
            if (arc && (i == 3 || i == 4)) {
                bool flag = false;
                if (!readFlag(&flag, command, error)) return false;
                args[i] = flag ? 1.0 : 0.0;
            } else if (!readNumber(&args[i], command, error)) {
                return false;
            }
        }
        return true;
    }

    bool readCommand(QChar command, PathDataError* error) {
        const QChar upper = command.toUpper();
        const bool relative = command.isLower();
        if (upper == QLatin1Char('Z')) {
            builder_.close();
            lastCubicHandle_ = false;
            lastQuadHandle_ = false;
            skipBlanks();
            if (startsNumber() || (pos_ < d_.size() && d_[pos_] == QLatin1Char(',')))
                return fail(error, QStringLiteral("'%1' takes no numbers").arg(command));
            return true;
        }
        skipBlanks();
        bool firstSet = true;
        do {
            double args[7] = {};
            const int start = pos_;
            if (!readArguments(command, args, error)) return false;
            if (!apply(firstSet ? command : implicitRepeat(command), relative, args)) {
                pos_ = start;
                return fail(error, QStringLiteral("number out of range"));
            }
            // Checked as the knots come, so that memory stays bounded too.
            if (builder_.knotCount() > maxKnots_) {
                pos_ = start;
                return fail(error, tooManyKnotsMessage());
            }
            firstSet = false;
            skipBlanks();
            if (pos_ < d_.size() && d_[pos_] == QLatin1Char(',')) {
                const int comma = pos_++;
                skipBlanks();
                if (!startsNumber()) {
                    pos_ = comma;
                    return fail(error, QStringLiteral("a comma must stand between two numbers"));
                }
            }
        } while (startsNumber());
        return true;
    }

    // Numbers after a move's first pair are line-to pairs.
    static QChar implicitRepeat(QChar command) {
        if (command == QLatin1Char('M')) return QLatin1Char('L');
        if (command == QLatin1Char('m')) return QLatin1Char('l');
        return command;
    }

    // Applies one argument set; false when a coordinate leaves the doubles.
    bool apply(QChar command, bool relative, const double* a) {
        const Point3d here = builder_.currentPoint();
        auto at = [&](double x, double y) {
            return relative ? Point3d(here.x + x, here.y + y, 0.0) : Point3d(x, y, 0.0);
        };
        bool cubicHandle = false;
        bool quadHandle = false;
        Point3d p;
        switch (command.toUpper().toLatin1()) {
            case 'M':
                p = at(a[0], a[1]);
                builder_.moveTo(p);
                break;
            case 'L':
                p = at(a[0], a[1]);
                builder_.lineTo(p);
                break;
            case 'H':
                p = Point3d(relative ? here.x + a[0] : a[0], here.y, 0.0);
                builder_.lineTo(p);
                break;
            case 'V':
                p = Point3d(here.x, relative ? here.y + a[0] : a[0], 0.0);
                builder_.lineTo(p);
                break;
            case 'C': {
                const Point3d c1 = at(a[0], a[1]);
                handle_ = at(a[2], a[3]);
                p = at(a[4], a[5]);
                if (!finite(c1) || !finite(handle_) || !finite(p)) return false;
                builder_.cubicTo(c1, handle_, p);
                cubicHandle = true;
                break;
            }
            case 'S': {
                // The first handle mirrors the previous cubic's second one.
                const Point3d c1 = lastCubicHandle_ ? here * 2.0 - handle_ : here;
                handle_ = at(a[0], a[1]);
                p = at(a[2], a[3]);
                if (!finite(c1) || !finite(handle_) || !finite(p)) return false;
                builder_.cubicTo(c1, handle_, p);
                cubicHandle = true;
                break;
            }
            case 'Q':
                handle_ = at(a[0], a[1]);
                p = at(a[2], a[3]);
                if (!finite(handle_) || !finite(p) || !builder_.quadTo(handle_, p)) return false;
                quadHandle = true;
                break;
            case 'T':
                handle_ = lastQuadHandle_ ? here * 2.0 - handle_ : here;
                p = at(a[0], a[1]);
                if (!finite(handle_) || !finite(p) || !builder_.quadTo(handle_, p)) return false;
                quadHandle = true;
                break;
            case 'A':
                p = at(a[5], a[6]);
                if (!finite(p) || !builder_.arcTo(a[0], a[1], a[2], a[3] != 0.0, a[4] != 0.0, p))
                    return false;
                break;
        }
        lastCubicHandle_ = cubicHandle;
        lastQuadHandle_ = quadHandle;
        return finite(p);
    }

    static bool finite(const Point3d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

    const QString& d_;
    int pos_ = 0;
    SubpathBuilder builder_;
    const int maxKnots_;
    Point3d handle_;
    bool lastCubicHandle_ = false;
    bool lastQuadHandle_ = false;
};

}  // namespace

bool parsePathData(const QString& data, Shape& shape, PathDataError* error, int maxKnots,
                   QVector<Point3d>* dots) {
    Shape parsed;
    QVector<Point3d> found;
    {
        PathDataReader reader(data, parsed, maxKnots, dots ? &found : nullptr);
        if (!reader.read(error)) return false;
    }
    if (dots) *dots += found;
    while (!parsed.isEmpty())
        shape.addSpline(parsed.takeFirst());
    return true;
}
