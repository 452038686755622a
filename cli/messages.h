#pragma once

#include <QString>
#include <QStringList>

// Where the command's messages go. A single run writes them to standard
// error as they come; a job of a job list runs among others on its own
// thread, so its messages are held back and printed together, under its
// line number, when it ends.

// Prints one message line (without its newline), or keeps it when a
// MessageCapture is active on this thread.
void printMessage(const QString& line);

// While alive, keeps this thread's messages instead of printing them.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const QStringList& lines() const { return lines_; }
    // Keeps a line; true when a capture is active on this thread.
    static bool keep(const QString& line);
    static bool active();

private:
    QStringList lines_;
    MessageCapture* outer_;
};
