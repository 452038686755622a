#pragma once

#include <QElapsedTimer>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

// A status line on standard error for long runs. It shows only when
// standard error is a terminal and the run has taken more than a second;
// a ticker thread keeps the elapsed time current while one long step (one
// operand applied to a large shape) runs.
class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // What the run is doing now ("applying operand 2 of 5 (union b.svg)").
    void setStep(const QString& step);
    // Prints a message on its own line, keeping the status line below it.
    void message(const QString& text);
    // Clears the status line for good.
    void finish();

private:
    void tick();
    void draw();   // with mutex_ held
    void clear();  // with mutex_ held

    const bool terminal_;
    QElapsedTimer clock_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread ticker_;
    QString step_;
    bool shown_ = false;
    bool done_ = false;
};
