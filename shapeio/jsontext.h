#pragma once

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

// A small JSON reader that keeps where each value stands and reads numbers
// with correct rounding, so that a double written in its shortest form comes
// back bit for bit (negative zero and subnormals included).
struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Null;
    bool boolean = false;
    double number = 0.0;
    QString string;
    QVector<JsonValue> items;                    // Array
    QVector<QPair<QString, JsonValue>> members;  // Object, in document order
    int offset = 0;                              // character offset of the value

    // The member named key, or null when there is none.
    const JsonValue* member(const QString& key) const;
};

struct JsonSyntaxError {
    int offset = 0;
    QString message;
};

// Parses one JSON document (RFC 8259) from UTF-8 text. On failure returns
// false with the offending character's offset in text.
bool parseJsonText(const QString& text, JsonValue* value, JsonSyntaxError* error);
