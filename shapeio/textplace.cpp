#include "shapeio/textplace.h"

#include <QTextCodec>
#include <algorithm>

TextPlace TextPlaceFinder::at(int offset) {
    offset = std::max(0, std::min(offset, int(text_.size())));
    if (offset < scanned_) {
        scanned_ = 0;
        line_ = 1;
        lineStart_ = 0;
    }
    for (; scanned_ < offset; ++scanned_) {
        if (text_[scanned_] == QLatin1Char('\n')) {
            ++line_;
            lineStart_ = scanned_ + 1;
        }
    }
    return {line_, offset - lineStart_ + 1};
}

QString decodeText(const QByteArray& data) {
    return QTextCodec::codecForUtfText(data, QTextCodec::codecForName("UTF-8"))->toUnicode(data);
}
