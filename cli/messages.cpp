#include "messages.h"

#include <cstdio>

namespace {

thread_local MessageCapture* tCapture = nullptr;

}  // namespace

MessageCapture::MessageCapture() : outer_(tCapture) {
    tCapture = this;
}

MessageCapture::~MessageCapture() {
    tCapture = outer_;
}

bool MessageCapture::keep(const QString& line) {
    if (!tCapture) return false;
    tCapture->lines_.append(line);
    return true;
}

bool MessageCapture::active() {
    return tCapture != nullptr;
}

void printMessage(const QString& line) {
    if (MessageCapture::keep(line)) return;
    std::fputs(qPrintable(line + QLatin1Char('\n')), stderr);
}
