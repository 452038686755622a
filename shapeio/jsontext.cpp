#include "shapeio/jsontext.h"

#include <QSet>
#include <cmath>

#include "shapeio/numbertext.h"

const JsonValue* JsonValue::member(const QString& key) const {
    for (const auto& m : members)
        if (m.first == key) return &m.second;
    return nullptr;
}

namespace {

// Deeper documents are not shapes; the limit keeps the recursion bounded.
constexpr int kMaxDepth = 64;
// More values than a shape file of kMaxShapeKnots knots needs (14 a knot);
// the limit keeps the memory of the parsed tree bounded.
constexpr int kMaxValues = 2000000;

class JsonParser {
public:
    explicit JsonParser(const QString& text) : t_(text) {}

    bool parse(JsonValue* value, JsonSyntaxError* error) {
        error_ = error;
        skipBlanks();
        if (!readValue(value, 0)) return false;
        skipBlanks();
        if (pos_ < t_.size()) return fail(QStringLiteral("unexpected text after the document"));
        return true;
    }

private:
    bool fail(const QString& message) {
        if (error_) *error_ = {pos_, message};
        return false;
    }

    void skipBlanks() {
        while (pos_ < t_.size() && (t_[pos_] == QLatin1Char(' ') || t_[pos_] == QLatin1Char('\t') ||
                                    t_[pos_] == QLatin1Char('\n') || t_[pos_] == QLatin1Char('\r')))
            ++pos_;
    }

    bool literal(const char* word) {
        const QLatin1String w(word);
        if (t_.midRef(pos_, w.size()) != w) return false;
        pos_ += w.size();
        return true;
    }

    bool readValue(JsonValue* v, int depth) {
        if (depth > kMaxDepth) return fail(QStringLiteral("nesting too deep"));
        if (++values_ > kMaxValues)
            return fail(QStringLiteral("more than %1 values").arg(kMaxValues));
        v->offset = pos_;
        if (pos_ >= t_.size()) return fail(QStringLiteral("unexpected end of the document"));
        const QChar c = t_[pos_];
        if (c == QLatin1Char('{')) return readObject(v, depth);
        if (c == QLatin1Char('[')) return readArray(v, depth);
        if (c == QLatin1Char('"')) {
            v->kind = JsonValue::String;
            return readString(&v->string);
        }
        if (c == QLatin1Char('-') || c.isDigit()) return readNumber(v);
        if (literal("true") || literal("false")) {
            v->kind = JsonValue::Bool;
            v->boolean = c == QLatin1Char('t');
            return true;
        }
        if (literal("null")) return true;
        return fail(QStringLiteral("expected a value, found '%1'").arg(c));
    }

    bool readNumber(JsonValue* v) {
        // JSON's grammar is stricter than the scanner's: no '+', no ".5",
        // no "1.", no leading zeros.
        int i = pos_;
        if (t_[i] == QLatin1Char('-')) ++i;
        auto digit = [&](int k) {
            return k < t_.size() && t_[k].isDigit() && t_[k].unicode() < 128;
        };
        if (!digit(i)) return fail(QStringLiteral("expected a digit"));
        if (t_[i] == QLatin1Char('0') && digit(i + 1)) {
            pos_ = i + 1;
            return fail(QStringLiteral("a number must not have leading zeros"));
        }
        while (digit(i))
            ++i;
        if (i < t_.size() && t_[i] == QLatin1Char('.')) {
            if (!digit(++i)) {
                pos_ = i;
                return fail(QStringLiteral("expected a digit after '.'"));
            }
            while (digit(i))
                ++i;
        }
        if (i < t_.size() && (t_[i] == QLatin1Char('e') || t_[i] == QLatin1Char('E'))) {
            ++i;
            if (i < t_.size() && (t_[i] == QLatin1Char('+') || t_[i] == QLatin1Char('-'))) ++i;
            if (!digit(i)) {
                pos_ = i;
                return fail(QStringLiteral("expected a digit in the exponent"));
            }
            while (digit(i))
                ++i;
        }
        int scan = pos_;
        bool overflow = false;
        if (!scanNumber(t_, scan, &v->number, &overflow) || scan != i)
            return fail(overflow ? QStringLiteral("number out of range")
                                 : QStringLiteral("malformed number"));
        v->kind = JsonValue::Number;
        pos_ = i;
        return true;
    }

    bool readHex4(int* code) {
        if (pos_ + 4 > t_.size()) return fail(QStringLiteral("expected 4 hex digits after \\u"));
        bool ok = false;
        *code = t_.mid(pos_, 4).toInt(&ok, 16);
        if (!ok) return fail(QStringLiteral("expected 4 hex digits after \\u"));
        pos_ += 4;
        return true;
    }

    bool readString(QString* out) {
        ++pos_;  // '"'
        out->clear();
        while (true) {
            if (pos_ >= t_.size()) return fail(QStringLiteral("unterminated string"));
            const QChar c = t_[pos_];
            if (c == QLatin1Char('"')) {
                ++pos_;
                return true;
            }
            if (c.unicode() < 0x20) return fail(QStringLiteral("control character in a string"));
            if (c != QLatin1Char('\\')) {
                out->append(c);
                ++pos_;
                continue;
            }
            if (++pos_ >= t_.size()) return fail(QStringLiteral("unterminated string"));
            const char e = t_[pos_].toLatin1();
            ++pos_;
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out->append(QLatin1Char(e));
                    break;
                case 'b':
                    out->append(QLatin1Char('\b'));
                    break;
                case 'f':
                    out->append(QLatin1Char('\f'));
                    break;
                case 'n':
                    out->append(QLatin1Char('\n'));
                    break;
                case 'r':
                    out->append(QLatin1Char('\r'));
                    break;
                case 't':
                    out->append(QLatin1Char('\t'));
                    break;
                case 'u': {
                    int code = 0;
                    if (!readHex4(&code)) return false;
                    out->append(QChar(code));
                    break;
                }
                default:
                    --pos_;
                    return fail(QStringLiteral("unknown escape '\\%1'").arg(t_[pos_]));
            }
        }
    }

    bool readArray(JsonValue* v, int depth) {
        v->kind = JsonValue::Array;
        ++pos_;  // '['
        skipBlanks();
        if (pos_ < t_.size() && t_[pos_] == QLatin1Char(']')) {
            ++pos_;
            return true;
        }
        while (true) {
            JsonValue item;
            skipBlanks();
            if (!readValue(&item, depth + 1)) return false;
            v->items.append(item);
            skipBlanks();
            if (pos_ < t_.size() && t_[pos_] == QLatin1Char(',')) {
                ++pos_;
                continue;
            }
            if (pos_ < t_.size() && t_[pos_] == QLatin1Char(']')) {
                ++pos_;
                return true;
            }
            return fail(QStringLiteral("expected ',' or ']'"));
        }
    }

    bool readObject(JsonValue* v, int depth) {
        v->kind = JsonValue::Object;
        ++pos_;  // '{'
        skipBlanks();
        if (pos_ < t_.size() && t_[pos_] == QLatin1Char('}')) {
            ++pos_;
            return true;
        }
        // Names seen, so that finding a duplicate costs no scan of the members.
        QSet<QString> names;
        while (true) {
            skipBlanks();
            if (pos_ >= t_.size() || t_[pos_] != QLatin1Char('"'))
                return fail(QStringLiteral("expected a member name in double quotes"));
            const int keyOffset = pos_;
            QString key;
            if (!readString(&key)) return false;
            if (names.contains(key)) {
                pos_ = keyOffset;
                return fail(QStringLiteral("duplicate member \"%1\"").arg(key));
            }
            skipBlanks();
            if (pos_ >= t_.size() || t_[pos_] != QLatin1Char(':'))
                return fail(QStringLiteral("expected ':' after the member name"));
            ++pos_;
            skipBlanks();
            JsonValue member;
            if (!readValue(&member, depth + 1)) return false;
            names.insert(key);
            v->members.append({key, member});
            skipBlanks();
            if (pos_ < t_.size() && t_[pos_] == QLatin1Char(',')) {
                ++pos_;
                continue;
            }
            if (pos_ < t_.size() && t_[pos_] == QLatin1Char('}')) {
                ++pos_;
                return true;
            }
            return fail(QStringLiteral("expected ',' or '}'"));
        }
    }

    const QString& t_;
    int pos_ = 0;
    int values_ = 0;
    JsonSyntaxError* error_ = nullptr;
};

}  // namespace

bool parseJsonText(const QString& text, JsonValue* value, JsonSyntaxError* error) {
    JsonValue parsed;
    JsonParser parser(text);
    if (!parser.parse(&parsed, error)) return false;
    *value = parsed;
    return true;
}
