#pragma once

#include <QString>

// A place in a text as people count: 1-based line and column.
struct TextPlace {
    qint64 line = 1;
    qint64 column = 1;
};

// Turns character offsets into lines and columns. Offsets that grow from one
// call to the next cost only the text between them.
class TextPlaceFinder {
public:
    explicit TextPlaceFinder(const QString& text) : text_(text) {}
    TextPlace at(int offset);

private:
    const QString& text_;
    int scanned_ = 0;
    qint64 line_ = 1;
    int lineStart_ = 0;
};

// Decodes a file's bytes: UTF-8 unless a byte order mark says otherwise.
QString decodeText(const QByteArray& data);
