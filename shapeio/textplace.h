#pragma once

#include <QString>
#include <vector>

// A place in a text as people count: 1-based line and column.
struct TextPlace {
    qint64 line = 1;
    qint64 column = 1;
};

// Turns character offsets into lines and columns, in any order: the line
// starts are found once, then each offset is looked up among them.
class TextPlaceFinder {
public:
    explicit TextPlaceFinder(const QString& text) : text_(text) {}
    TextPlace at(int offset);

private:
    const QString& text_;
    std::vector<int> lineStarts_;  // empty until asked
};

// Decodes a file's bytes: UTF-8 unless a byte order mark says otherwise.
QString decodeText(const QByteArray& data);
