#include "progress.h"

#include "messages.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

// Quiet runs stay quiet: nothing shows before this much time has passed.
constexpr qint64 kShowAfterMs = 1000;

}  // namespace

// A job of a job list shares the terminal with others: it draws no status line.
ProgressLine::ProgressLine() : terminal_(isatty(STDERR_FILENO) == 1 && !MessageCapture::active()) {
    clock_.start();
    if (terminal_) ticker_ = std::thread([this] { tick(); });
}

ProgressLine::~ProgressLine() {
    finish();
}

void ProgressLine::setStep(const QString& step) {
    std::lock_guard<std::mutex> lock(mutex_);
    step_ = step;
    if (shown_) draw();
}

void ProgressLine::message(const QString& text) {
    if (MessageCapture::keep(text)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (shown_) clear();
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
    if (shown_) draw();
    std::fflush(stderr);
}

void ProgressLine::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (done_) return;
        done_ = true;
        if (shown_) clear();
        shown_ = false;
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
}

void ProgressLine::tick() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
        wake_.wait_for(lock, std::chrono::milliseconds(250));
        if (done_) break;
        if (clock_.elapsed() < kShowAfterMs || step_.isEmpty()) continue;
        shown_ = true;
        draw();
    }
}

void ProgressLine::draw() {
    const QString line = QStringLiteral("\r\x1b[Kcarvex: %1 ... %2 s")
                             .arg(step_)
                             .arg(clock_.elapsed() / 1000.0, 0, 'f', 1);
    std::fputs(qPrintable(line), stderr);
    std::fflush(stderr);
}

void ProgressLine::clear() {
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
}
