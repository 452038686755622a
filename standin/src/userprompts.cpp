// Message boxes, the save dialog, the documents folder and the keyboard:
// what the system asks of the person at the host, handed to the user in
// force (standin/user.h).

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <algorithm>
#include <atomic>
#include <iostream>
#include <string>

#include "hostsdk.h"
#include "standin/user.h"

namespace standin {

namespace {

std::atomic<User*> chosenUser{nullptr};

QString fromWide(LPCWSTR s) {
    return s ? QString::fromWCharArray(s) : QString();
}

// The buttons a box of that type offers, or none for types not offered here.
QVector<int> buttonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return {IDOK};
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_YESNOCANCEL:
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        default:
            return {};
    }
}

QString buttonName(int button) {
    switch (button) {
        case IDOK:
            return QStringLiteral("OK");
        case IDCANCEL:
            return QStringLiteral("Cancel");
        case IDYES:
            return QStringLiteral("Yes");
        case IDNO:
            return QStringLiteral("No");
        default:
            return QString();
    }
}

// A folder separator is '/' on this system; the host's paths may carry '\'.
QString withSlashes(QString path) {
    return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// "name\0pattern\0...\0\0" into pairs.
QVector<QPair<QString, QString>> filterPairs(LPCWSTR filter) {
    QVector<QPair<QString, QString>> pairs;
    if (!filter) return pairs;
    while (*filter) {
        const QString name = QString::fromWCharArray(filter);
        filter += name.size() + 1;
        if (!*filter) break;
        const QString pattern = QString::fromWCharArray(filter);
        filter += pattern.size() + 1;
        pairs.push_back({name, pattern});
    }
    return pairs;
}

int askBox(const QString& caption, const QString& text, UINT type) {
    MessageBoxPrompt box{caption, text, type};
    const int answer = currentUser()->answer(box);
    return buttonsOf(type).contains(answer) ? answer : cancellingAnswer(type);
}

thread_local DWORD dialogError = 0;

// One line of standard input; the stream keeps what follows for the next.
QString readLine(bool* ended) {
    std::string line;
    *ended = !std::getline(std::cin, line);
    return QString::fromLocal8Bit(line.c_str()).trimmed();
}

}  // namespace

int cancellingAnswer(UINT type) {
    const QVector<int> buttons = buttonsOf(type);
    if (buttons.contains(IDCANCEL)) return IDCANCEL;
    if (buttons.contains(IDNO)) return IDNO;
    return IDOK;
}

User* currentUser() {
    static AbsentUser nobody;
    User* user = chosenUser.load();
    return user ? user : &nobody;
}

void setCurrentUser(User* user) {
    chosenUser.store(user);
}

QString AbsentUser::documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

// ---------------------------------------------------------------------------

int ScriptedUser::answer(const MessageBoxPrompt& box) {
    Shown s;
    s.box = box;
    if (boxAnswers.empty()) {
        s.scripted = false;
        s.answer = cancellingAnswer(box.type);
    } else {
        s.answer = boxAnswers.front();
        boxAnswers.pop_front();
    }
    shown.push_back(s);
    return s.answer;
}

std::optional<QString> ScriptedUser::chooseSaveFile(const SaveFilePrompt& dialog) {
    Shown s;
    s.isBox = false;
    s.dialog = dialog;
    std::optional<QString> choice;
    if (fileAnswers.empty()) {
        s.scripted = false;
    } else {
        choice = fileAnswers.front();
        fileAnswers.pop_front();
    }
    s.chosen = choice.value_or(QString());
    shown.push_back(s);
    return choice;
}

int ScriptedUser::unscripted() const {
    return static_cast<int>(
        std::count_if(shown.begin(), shown.end(), [](const Shown& s) { return !s.scripted; }));
}

QStringList ScriptedUser::boxTexts() const {
    QStringList texts;
    for (const Shown& s : shown)
        if (s.isBox) texts << s.box.text;
    return texts;
}

// ---------------------------------------------------------------------------

namespace {

// Texts may come from a server: control characters (an escape sequence
// could rewrite the terminal) are shown as \xNN instead of being sent.
QString printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\t') ||
            (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format))
            out += c;
        else
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return out;
}

}  // namespace

int TerminalUser::answer(const MessageBoxPrompt& box) {
    const QVector<int> buttons = buttonsOf(box.type);
    QTextStream out(stdout);
    out << "\n[" << printable(box.caption) << "]\n" << printable(box.text) << "\n";
    for (;;) {
        QStringList choices;
        for (int b : buttons)
            choices << buttonName(b);
        out << choices.join(QStringLiteral(" / ")) << "? " << Qt::flush;
        bool ended = false;
        const QString line = readLine(&ended);
        if (ended) return cancellingAnswer(box.type);
        for (int b : buttons) {
            const QString name = buttonName(b);
            if (line.compare(name, Qt::CaseInsensitive) == 0 ||
                line.compare(name.left(1), Qt::CaseInsensitive) == 0)
                return b;
        }
        if (line.isEmpty() && buttons.size() == 1) return buttons.first();
    }
}

std::optional<QString> TerminalUser::chooseSaveFile(const SaveFilePrompt& dialog) {
    QTextStream out(stdout);
    out << "\n[" << printable(dialog.title) << "]\n";
    for (const auto& f : dialog.filters)
        out << "  " << printable(f.first) << " (" << printable(f.second) << ")\n";
    out << "File name [" << printable(dialog.initialPath)
        << "] (Enter keeps it, '-' cancels): " << Qt::flush;
    bool ended = false;
    const QString line = readLine(&ended);
    if (ended || line == QLatin1String("-")) return std::nullopt;
    return line.isEmpty() ? dialog.initialPath : line;
}

QString TerminalUser::documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

bool TerminalUser::isKeyDown(int virtualKey) {
    if (virtualKey != VK_ESCAPE) return false;
    // Read what is waiting without waiting for a line: a terminal is put in
    // character mode for the moment of the look.
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    bool escape = false;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
        char c[64];
        const ssize_t n = read(STDIN_FILENO, c, sizeof c);
        if (n <= 0) break;
        escape = escape || std::find(c, c + n, '\x1b') != c + n;
    }
    if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return escape;
}

}  // namespace standin

// ---------------------------------------------------------------------------

int WINAPI MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (standin::buttonsOf(type).isEmpty()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    // The system's caption when none is given.
    const QString title = caption ? standin::fromWide(caption) : QStringLiteral("Error");
    return standin::askBox(title, standin::fromWide(text), type);
}

BOOL WINAPI GetSaveFileNameW(OPENFILENAMEW* ofn) {
    using namespace standin;
    dialogError = 0;
    if (!ofn || ofn->lStructSize != sizeof(OPENFILENAMEW)) {
        dialogError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
        dialogError = CDERR_INITIALIZATION;
        return FALSE;
    }

    SaveFilePrompt prompt;
    prompt.title = ofn->lpstrTitle ? fromWide(ofn->lpstrTitle) : QStringLiteral("Save As");
    prompt.filters = filterPairs(ofn->lpstrFilter);
    prompt.filterIndex = static_cast<int>(std::max<DWORD>(ofn->nFilterIndex, 1));
    prompt.defaultExtension = fromWide(ofn->lpstrDefExt);
    QString initial = withSlashes(fromWide(ofn->lpstrFile));
    const QString initialDir = withSlashes(fromWide(ofn->lpstrInitialDir));
    if (QFileInfo(initial).isRelative()) {
        const QString base = initialDir.isEmpty() ? QDir::currentPath() : initialDir;
        initial = QDir(base).filePath(initial);
    }
    prompt.initialPath = QDir::cleanPath(initial);
    const QDir startFolder = QFileInfo(prompt.initialPath).dir();

    User* user = currentUser();
    for (;;) {
        const std::optional<QString> choice = user->chooseSaveFile(prompt);
        if (!choice) return FALSE;
        QString path = withSlashes(choice->trimmed());
        if (path.isEmpty()) continue;
        if (QFileInfo(path).isRelative()) path = startFolder.filePath(path);
        path = QDir::cleanPath(path);
        if (!prompt.defaultExtension.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += QLatin1Char('.') + prompt.defaultExtension;

        const QFileInfo file(path);
        const QString name = file.fileName();
        if (!file.dir().exists()) {
            askBox(prompt.title, path + "\nPath does not exist.\nCheck the path and try again.",
                   MB_OK | MB_ICONWARNING);
            continue;
        }
        if (file.isDir()) continue;  // the dialog opens a folder rather than returning it
        if ((ofn->Flags & OFN_NOREADONLYRETURN) && file.exists() && !file.isWritable()) {
            askBox(prompt.title,
                   name + "\nThis file is set to read-only.\nTry again with a different file name.",
                   MB_OK | MB_ICONWARNING);
            continue;
        }
        if ((ofn->Flags & OFN_OVERWRITEPROMPT) && file.exists() &&
            askBox(prompt.title, name + " already exists.\nDo you want to replace it?",
                   MB_YESNO | MB_ICONWARNING) != IDYES)
            continue;
        if ((ofn->Flags & OFN_CREATEPROMPT) && !file.exists() &&
            askBox(prompt.title, name + "\nThis file does not exist.\nDo you want to create it?",
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
            continue;

        const std::wstring chosen = path.toStdWString();
        if (chosen.size() + 1 > ofn->nMaxFile) {
            dialogError = FNERR_BUFFERTOOSMALL;
            return FALSE;
        }
        std::copy(chosen.begin(), chosen.end(), ofn->lpstrFile);
        ofn->lpstrFile[chosen.size()] = 0;
        const int nameAt = path.size() - name.size();
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        ofn->nFileOffset = static_cast<WORD>(nameAt);
        ofn->nFileExtension = static_cast<WORD>(dot < 0 ? path.size() : nameAt + dot + 1);
        return TRUE;
    }
}

DWORD WINAPI CommDlgExtendedError() {
    return standin::dialogError;
}

HRESULT WINAPI SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
    // The high bits ask to create the folder, or not to check it.
    if (!path || (folder & 0xFF) != CSIDL_PERSONAL) return E_INVALIDARG;
    path[0] = 0;
    const std::wstring documents = standin::currentUser()->documentsFolder().toStdWString();
    if (documents.empty() || documents.size() >= MAX_PATH) return E_FAIL;
    std::copy(documents.begin(), documents.end(), path);
    path[documents.size()] = 0;
    return S_OK;
}

SHORT WINAPI GetAsyncKeyState(int key) {
    return standin::currentUser()->isKeyDown(key) ? static_cast<SHORT>(0x8000) : 0;
}

void WINAPI DisableProcessWindowsGhosting() {
    // Nothing here ghosts: the stand-in shows a window's image only when the
    // host asks for it, answering or not.
}
