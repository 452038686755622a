#include "shapeio/numbertext.h"

#include <QHash>

#include <charconv>
#include <cmath>
#include <string>

void appendShortestText(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "nan";
    } else if (std::isinf(v)) {
        out += v > 0 ? "inf" : "-inf";
    } else {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
        out.append(buffer, result.ptr);
    }
}

QString shortestText(double v) {
    std::string text;
    appendShortestText(text, v);
    return QString::fromLatin1(text.data(), int(text.size()));
}

static bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool scanNumber(const QString& text, int& pos, double* value, bool* overflow) {
    if (overflow) *overflow = false;
    const int n = text.size();
    int i = pos;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    const int mantissaStart = i;
    int digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        const int dot = i++;
        int fraction = 0;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++fraction;
        }
        // A lone "." is no number; "1." is.
        if (digits == 0 && fraction == 0) i = dot;
        digits += fraction;
    }
    if (digits == 0) return false;
    bool negativeExponent = false;
    // An exponent needs digits; "1e" is the number 1 followed by an "e".
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            negativeExponent = text[j] == QLatin1Char('-');
            ++j;
        }
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }

    // from_chars reads bytes and takes no leading '+', so the sign is applied
    // here. The characters scanned are all ASCII; they are copied to the
    // stack, as large files hold hundreds of thousands of numbers, unless
    // the number is written out at a length no double needs.
    const int length = i - mantissaStart;
    char onStack[64];
    std::string longNumber;
    char* digitsText = onStack;
    if (length > int(sizeof onStack)) {
        longNumber.resize(size_t(length));
        digitsText = longNumber.data();
    }
    const QChar* chars = text.constData() + mantissaStart;
    for (int k = 0; k < length; ++k)
        digitsText[k] = char(chars[k].unicode());
    double v = 0.0;
    const auto result = std::from_chars(digitsText, digitsText + length, v);
    if (result.ec == std::errc::result_out_of_range) {
        if (!negativeExponent) {
            if (overflow) *overflow = true;
            return false;
        }
        v = 0.0;  // below the smallest subnormal
    } else if (result.ec != std::errc() || result.ptr != digitsText + length) {
        return false;
    }
    *value = negative ? -v : v;
    pos = i;
    return true;
}

bool parseWholeNumber(const QString& text, double* value) {
    const QString t = text.trimmed();
    int pos = 0;
    double v = 0.0;
    if (!scanNumber(t, pos, &v) || pos != t.size() || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

bool userUnitsPer(const QString& unit, double* scale) {
    static const QHash<QString, double> units = {
        {QString(), 1.0},
        {QStringLiteral("px"), 1.0},
        {QStringLiteral("pt"), 4.0 / 3.0},
        {QStringLiteral("pc"), 16.0},
        {QStringLiteral("mm"), 96.0 / 25.4},
        {QStringLiteral("cm"), 96.0 / 2.54},
        {QStringLiteral("in"), 96.0},
    };
    const auto found = units.constFind(unit);
    if (found == units.constEnd()) return false;
    *scale = found.value();
    return true;
}
