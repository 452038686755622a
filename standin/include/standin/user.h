#pragma once

// The person at the host: answers message boxes and save dialogs, names the
// documents folder and holds keys down. Plug-ins reach them through
// MessageBoxW, GetSaveFileNameW, SHGetFolderPathW and GetAsyncKeyState; the
// host decides who they are: a script in tests, the terminal in the
// stand-in host program, nobody until one of those is set.

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <deque>
#include <functional>
#include <optional>

#include "hostsdk.h"

namespace standin {

struct MessageBoxPrompt {
    QString caption;
    QString text;
    UINT type = MB_OK;  // buttons and icon, as MessageBoxW was given them
};

struct SaveFilePrompt {
    QString title;
    // Name and pattern of each filter, and the one offered first (from 1).
    QVector<QPair<QString, QString>> filters;
    int filterIndex = 1;
    // The suggested file, with '/' as the folder separator.
    QString initialPath;
    QString defaultExtension;
};

class User {
public:
    virtual ~User() = default;
    // One of the buttons the box offers: IDOK, IDCANCEL, IDYES or IDNO.
    virtual int answer(const MessageBoxPrompt& box) = 0;
    // The file typed or picked (relative to the suggested file's folder
    // when not absolute); nothing when the dialog is cancelled.
    virtual std::optional<QString> chooseSaveFile(const SaveFilePrompt& dialog) = 0;
    virtual QString documentsFolder() = 0;
    virtual bool isKeyDown(int virtualKey) = 0;
};

// The answer that closes a box without agreeing: No, Cancel, or OK when
// that is all it offers.
int cancellingAnswer(UINT type);

// The user in force; nobody (an AbsentUser) until one is set. The caller
// keeps ownership; null puts nobody there again.
User* currentUser();
void setCurrentUser(User* user);

// Nobody at the host: every box gets its cancelling answer, every dialog is
// cancelled, no key is down, and the documents folder is the system's.
class AbsentUser : public User {
public:
    int answer(const MessageBoxPrompt& box) override { return cancellingAnswer(box.type); }
    std::optional<QString> chooseSaveFile(const SaveFilePrompt&) override { return std::nullopt; }
    QString documentsFolder() override;
    bool isKeyDown(int) override { return false; }
};

// Answers from a script, in order, and keeps everything it was shown. A
// prompt that finds no scripted answer is answered as by nobody and counted.
class ScriptedUser : public User {
public:
    struct Shown {
        bool isBox = true;
        MessageBoxPrompt box;
        SaveFilePrompt dialog;
        int answer = 0;  // a box's answer
        QString chosen;  // a dialog's file; empty when cancelled
        bool scripted = true;
    };

    // The next message box gets this button.
    void answerBox(int button) { boxAnswers.push_back(button); }
    // The next save dialog gets this file, or is cancelled.
    void chooseFile(const QString& path) { fileAnswers.emplace_back(path); }
    void cancelDialog() { fileAnswers.emplace_back(std::nullopt); }

    int answer(const MessageBoxPrompt& box) override;
    std::optional<QString> chooseSaveFile(const SaveFilePrompt& dialog) override;
    QString documentsFolder() override { return documents; }
    bool isKeyDown(int virtualKey) override { return keys && keys(virtualKey); }

    // Prompts that found no scripted answer.
    int unscripted() const;
    // Scripted answers that no prompt took.
    int leftover() const { return static_cast<int>(boxAnswers.size() + fileAnswers.size()); }
    // The texts of the boxes shown, in order.
    QStringList boxTexts() const;

    QString documents;
    // Asked each time a key's state is polled; null: no key is down.
    std::function<bool(int virtualKey)> keys;
    QVector<Shown> shown;

private:
    std::deque<int> boxAnswers;
    std::deque<std::optional<QString>> fileAnswers;
};

// Asks on the terminal: boxes and dialogs on standard output, answers from
// standard input (end of input cancels). Escape counts as down when an
// Escape character is waiting on standard input.
class TerminalUser : public User {
public:
    int answer(const MessageBoxPrompt& box) override;
    std::optional<QString> chooseSaveFile(const SaveFilePrompt& dialog) override;
    QString documentsFolder() override;
    bool isKeyDown(int virtualKey) override;
};

}  // namespace standin
