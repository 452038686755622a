#include "shapeio/textplace.h"

#include <QTextCodec>
#include <algorithm>

TextPlace TextPlaceFinder::at(int offset) {
    offset = std::max(0, std::min(offset, int(text_.size())));
    if (lineStarts_.empty()) {
        lineStarts_.push_back(0);
        for (int i = 0; i < text_.size(); ++i)
            if (text_[i] == QLatin1Char('\n')) lineStarts_.push_back(i + 1);
    }
    const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const int line = int(next - lineStarts_.begin());
    return {line, offset - *(next - 1) + 1};
}

QString decodeText(const QByteArray& data) {
    return QTextCodec::codecForUtfText(data, QTextCodec::codecForName("UTF-8"))->toUnicode(data);
}
