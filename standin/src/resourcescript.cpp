#include "standin/resourcescript.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace standin {

namespace {

// Window-system constants that resource scripts take from the system headers.
const QHash<QString, qint64>& systemConstants() {
    static const QHash<QString, qint64> table = {
        {"WS_OVERLAPPED", 0x0},
        {"WS_POPUP", 0x80000000LL},
        {"WS_CHILD", 0x40000000},
        {"WS_VISIBLE", 0x10000000},
        {"WS_DISABLED", 0x08000000},
        {"WS_CLIPSIBLINGS", 0x04000000},
        {"WS_CLIPCHILDREN", 0x02000000},
        {"WS_CAPTION", 0x00C00000},
        {"WS_BORDER", 0x00800000},
        {"WS_DLGFRAME", 0x00400000},
        {"WS_VSCROLL", 0x00200000},
        {"WS_HSCROLL", 0x00100000},
        {"WS_SYSMENU", 0x00080000},
        {"WS_THICKFRAME", 0x00040000},
        {"WS_GROUP", 0x00020000},
        {"WS_TABSTOP", 0x00010000},
        {"WS_EX_STATICEDGE", 0x00020000},
        {"WS_EX_CLIENTEDGE", 0x00000200},
        {"DS_3DLOOK", 0x4},
        {"DS_FIXEDSYS", 0x8},
        {"DS_SETFONT", 0x40},
        {"DS_MODALFRAME", 0x80},
        {"DS_CONTROL", 0x400},
        {"SS_LEFT", 0x0},
        {"SS_CENTER", 0x1},
        {"SS_RIGHT", 0x2},
        {"SS_BITMAP", 0xE},
        {"SS_NOTIFY", 0x100},
        {"SS_CENTERIMAGE", 0x200},
        {"SS_SUNKEN", 0x1000},
        {"BS_PUSHBUTTON", 0x0},
        {"BS_DEFPUSHBUTTON", 0x1},
        {"BS_CHECKBOX", 0x2},
        {"BS_AUTOCHECKBOX", 0x3},
        {"BS_MULTILINE", 0x2000},
        {"BS_RADIOBUTTON", 0x4},
        {"BS_3STATE", 0x5},
        {"BS_AUTO3STATE", 0x6},
        {"BS_GROUPBOX", 0x7},
        {"BS_AUTORADIOBUTTON", 0x9},
        {"ES_LEFT", 0x0},
        {"ES_AUTOHSCROLL", 0x80},
        {"LBS_NOTIFY", 0x1},
        {"CBS_SIMPLE", 0x1},
        {"SBS_HORZ", 0x0},
        {"IDC_STATIC", -1},
        {"IDOK", 1},
        {"IDCANCEL", 2},
        {"LANG_NEUTRAL", 0x00},
        {"LANG_ENGLISH", 0x09},
        {"SUBLANG_NEUTRAL", 0x00},
        {"SUBLANG_DEFAULT", 0x01},
        {"SUBLANG_ENGLISH_US", 0x01},
        {"VS_VERSION_INFO", 1},
        {"VS_FFI_FILEFLAGSMASK", 0x3F},
        {"VS_FF_DEBUG", 0x1},
        {"VOS_NT", 0x40000},
        {"VOS__WINDOWS32", 0x4},
        {"VOS_NT_WINDOWS32", 0x40004},
        {"VFT_APP", 0x1},
        {"VFT_DLL", 0x2},
        {"VFT2_UNKNOWN", 0x0},
        {"CREATEPROCESS_MANIFEST_RESOURCE_ID", 1},
        {"ISOLATIONAWARE_MANIFEST_RESOURCE_ID", 2},
        {"RT_MANIFEST", 24},
    };
    return table;
}

// System headers stand behind the table above.
bool isSystemHeader(const QString& name) {
    static const QStringList headers = {"windows.h", "winres.h",   "winresrc.h",
                                        "afxres.h",  "commctrl.h", "winver.h"};
    return headers.contains(name.toLower());
}

const QHash<QString, int>& resourceTypes() {
    static const QHash<QString, int> table = {
        {"CURSOR", 1}, {"BITMAP", 2}, {"ICON", 3}, {"RCDATA", 10}, {"RT_MANIFEST", 24}};
    return table;
}

// Attributes that may follow a resource type; they change nothing here.
bool isMemoryOption(const QString& word) {
    static const QStringList words = {"DISCARDABLE", "MOVEABLE", "FIXED",     "PURE",
                                      "IMPURE",      "PRELOAD",  "LOADONCALL"};
    return words.contains(word);
}

struct Token {
    enum Kind { Word, Number, String, Punct, End } kind = End;
    QString text;
    qint64 value = 0;
    int line = 0;
};

// A line of the script after preprocessing, with where it came from.
struct SourceLine {
    QString text;
    QString file;
    int line;
};

QString stripComments(const QString& in, bool& inBlock) {
    QString out;
    bool inString = false;
    for (int i = 0; i < in.size(); ++i) {
        const QChar c = in[i];
        const QChar next = i + 1 < in.size() ? in[i + 1] : QChar();
        if (inBlock) {
            if (c == '*' && next == '/') {
                inBlock = false;
                ++i;
            }
            continue;
        }
        if (inString) {
            out += c;
            if (c == '\\' && i + 1 < in.size()) {
                out += next;
                ++i;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
            out += c;
        } else if (c == '/' && next == '/') {
            break;
        } else if (c == '/' && next == '*') {
            inBlock = true;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

class ScriptParser {
public:
    explicit ScriptParser(ResourceScript& s) : script(s) {}

    bool run(const QString& path) {
        baseDir = QFileInfo(path).path();
        if (!preprocess(path)) return false;
        tokenize();
        return parseStatements();
    }

    QString error;

private:
    // -- preprocessing -------------------------------------------------------

    bool fail(const QString& file, int line, const QString& what) {
        if (error.isEmpty()) error = QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what);
        return false;
    }

    bool preprocess(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return fail(path, 0, QStringLiteral("cannot be read"));
        QTextStream in(&f);
        QVector<bool> active;  // one entry per open conditional
        QVector<bool> taken;   // whether a branch of it was chosen already
        bool inBlockComment = false;
        int lineNo = 0;
        QString pending;
        int pendingLine = 0;
        while (!in.atEnd()) {
            QString raw = in.readLine();
            ++lineNo;
            if (raw.endsWith('\\')) {  // continued line
                if (pending.isEmpty()) pendingLine = lineNo;
                pending += raw.left(raw.size() - 1);
                continue;
            }
            const int at = pending.isEmpty() ? lineNo : pendingLine;
            raw = pending + raw;
            pending.clear();
            const QString text = stripComments(raw, inBlockComment).trimmed();
            const bool on = !active.contains(false);
            if (text.startsWith('#')) {
                const QString body = text.mid(1).trimmed();
                const QString directive = body.section(QRegExp("\\s+"), 0, 0);
                const QString rest = body.mid(directive.size()).trimmed();
                if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
                    bool cond = false;
                    if (on) {
                        if (directive == "if") {
                            bool ok = true;
                            cond = evalCondition(rest, ok) != 0;
                            if (!ok) return fail(path, at, "cannot evaluate #if " + rest);
                        } else {
                            cond = isDefined(rest) == (directive == "ifdef");
                        }
                    }
                    active.push_back(cond);
                    taken.push_back(cond);
                } else if (directive == "elif") {
                    if (active.isEmpty()) return fail(path, at, "#elif without #if");
                    active.back() = false;
                    if (!taken.back() && !active.mid(0, active.size() - 1).contains(false)) {
                        bool ok = true;
                        const bool cond = evalCondition(rest, ok) != 0;
                        if (!ok) return fail(path, at, "cannot evaluate #elif " + rest);
                        active.back() = cond;
                        taken.back() = cond;
                    }
                } else if (directive == "else") {
                    if (active.isEmpty()) return fail(path, at, "#else without #if");
                    active.back() = !taken.back();
                    taken.back() = true;
                } else if (directive == "endif") {
                    if (active.isEmpty()) return fail(path, at, "#endif without #if");
                    active.pop_back();
                    taken.pop_back();
                } else if (!on) {
                    continue;
                } else if (directive == "define") {
                    const QString name = rest.section(QRegExp("\\s+"), 0, 0);
                    const QString value = rest.mid(name.size()).trimmed();
                    bool ok = true;
                    const qint64 v = value.isEmpty() ? 1 : evalCondition(value, ok);
                    // Macros that are not numbers (paths, strings) are only "defined".
                    macros.insert(name, ok ? v : 1);
                    if (ok) script.defines.insert(name, v);
                } else if (directive == "undef") {
                    macros.remove(rest);
                    script.defines.remove(rest);
                } else if (directive == "include") {
                    QString name = rest;
                    name.remove('"').remove('<').remove('>');
                    name = name.trimmed();
                    const QString local = baseDir + '/' + name;
                    if (QFileInfo::exists(local)) {
                        if (!preprocess(local)) return false;
                    } else if (!isSystemHeader(name)) {
                        return fail(path, at, "cannot find " + name);
                    }
                } else if (directive == "pragma" || directive == "error" || directive.isEmpty()) {
                    if (directive == "error") return fail(path, at, "#error " + rest);
                } else {
                    return fail(path, at, "unknown directive #" + directive);
                }
                continue;
            }
            // Header files contribute macros only.
            if (on && !text.isEmpty() && !path.endsWith(".h", Qt::CaseInsensitive))
                lines.push_back({text, path, at});
        }
        if (!active.isEmpty()) return fail(path, lineNo, "#if without #endif");
        return true;
    }

    bool isDefined(const QString& name) const {
        return macros.contains(name) || systemConstants().contains(name);
    }

    // #if expressions and #define values: numbers, macros, defined(),
    // !, ~, unary -, |, &, +, -, &&, ||, == and != with parentheses.
    qint64 evalCondition(const QString& text, bool& ok) {
        exprText = text;
        exprPos = 0;
        ok = true;
        const qint64 v = exprOr(ok);
        skipSpaces();
        if (exprPos != exprText.size()) ok = false;
        return v;
    }
    void skipSpaces() {
        while (exprPos < exprText.size() && exprText[exprPos].isSpace())
            ++exprPos;
    }
    bool eat(const QString& op) {
        skipSpaces();
        if (exprText.midRef(exprPos, op.size()) != op) return false;
        // "|" must not eat half of "||", nor "&" half of "&&".
        if (op.size() == 1 && (op == "|" || op == "&") && exprText.midRef(exprPos, 2) == op + op)
            return false;
        exprPos += op.size();
        return true;
    }
    qint64 exprOr(bool& ok) {
        qint64 v = exprAnd(ok);
        while (eat("||"))
            v = (exprAnd(ok) || v) ? 1 : 0;
        return v;
    }
    qint64 exprAnd(bool& ok) {
        qint64 v = exprEq(ok);
        while (eat("&&"))
            v = (exprEq(ok) && v) ? 1 : 0;
        return v;
    }
    qint64 exprEq(bool& ok) {
        qint64 v = exprBits(ok);
        for (;;) {
            if (eat("==")) {
                v = v == exprBits(ok);
            } else if (eat("!=")) {
                v = v != exprBits(ok);
            } else {
                return v;
            }
        }
    }
    qint64 exprBits(bool& ok) {
        qint64 v = exprSum(ok);
        for (;;) {
            if (eat("|")) {
                v |= exprSum(ok);
            } else if (eat("&")) {
                v &= exprSum(ok);
            } else {
                return v;
            }
        }
    }
    qint64 exprSum(bool& ok) {
        qint64 v = exprUnary(ok);
        for (;;) {
            if (eat("+")) {
                v += exprUnary(ok);
            } else if (eat("-")) {
                v -= exprUnary(ok);
            } else {
                return v;
            }
        }
    }
    qint64 exprUnary(bool& ok) {
        if (eat("!")) return exprUnary(ok) ? 0 : 1;
        if (eat("~")) return ~exprUnary(ok);
        if (eat("-")) return -exprUnary(ok);
        if (eat("(")) {
            const qint64 v = exprOr(ok);
            if (!eat(")")) ok = false;
            return v;
        }
        skipSpaces();
        const int start = exprPos;
        while (exprPos < exprText.size() &&
               (exprText[exprPos].isLetterOrNumber() || exprText[exprPos] == '_'))
            ++exprPos;
        const QString word = exprText.mid(start, exprPos - start);
        if (word.isEmpty()) {
            ok = false;
            return 0;
        }
        if (word == "defined") {
            const bool paren = eat("(");
            skipSpaces();
            const int s = exprPos;
            while (exprPos < exprText.size() &&
                   (exprText[exprPos].isLetterOrNumber() || exprText[exprPos] == '_'))
                ++exprPos;
            const QString name = exprText.mid(s, exprPos - s);
            if (paren && !eat(")")) ok = false;
            return isDefined(name) ? 1 : 0;
        }
        if (word[0].isDigit()) {
            QString digits = word;
            while (digits.endsWith('L', Qt::CaseInsensitive) ||
                   digits.endsWith('U', Qt::CaseInsensitive))
                digits.chop(1);
            bool good = false;
            const qint64 v = digits.toLongLong(&good, 0);
            if (!good) ok = false;
            return v;
        }
        if (macros.contains(word)) return macros.value(word);
        if (systemConstants().contains(word)) return systemConstants().value(word);
        return 0;  // an unknown macro counts as 0, as the preprocessor has it
    }

    // -- tokens ---------------------------------------------------------------

    void tokenize() {
        for (const SourceLine& l : lines) {
            const QString& s = l.text;
            int i = 0;
            while (i < s.size()) {
                const QChar c = s[i];
                if (c.isSpace()) {
                    ++i;
                    continue;
                }
                Token t;
                t.line = l.line;
                lineFile.insert(tokens.size(), l.file);
                if (c == '"' || (c == 'L' && i + 1 < s.size() && s[i + 1] == '"')) {
                    if (c == 'L') ++i;
                    ++i;
                    QString text;
                    while (i < s.size()) {
                        const QChar d = s[i];
                        if (d == '"') {
                            if (i + 1 < s.size() && s[i + 1] == '"') {  // "" is a quote
                                text += '"';
                                i += 2;
                                continue;
                            }
                            ++i;
                            break;
                        }
                        if (d == '\\' && i + 1 < s.size()) {
                            const QChar e = s[i + 1];
                            i += 2;
                            if (e == 'n') {
                                text += '\n';
                            } else if (e == 't') {
                                text += '\t';
                            } else if (e == 'r') {
                                text += '\r';
                            } else if (e == '0') {
                                text += QChar(0);
                            } else {
                                text += e;
                            }
                            continue;
                        }
                        text += d;
                        ++i;
                    }
                    t.kind = Token::String;
                    t.text = text;
                } else if (c.isDigit()) {
                    const int start = i;
                    while (i < s.size() && (s[i].isLetterOrNumber()))
                        ++i;
                    QString digits = s.mid(start, i - start);
                    t.text = digits;
                    while (digits.endsWith('L', Qt::CaseInsensitive) ||
                           digits.endsWith('U', Qt::CaseInsensitive))
                        digits.chop(1);
                    t.kind = Token::Number;
                    t.value = digits.toLongLong(nullptr, 0);
                } else if (c.isLetter() || c == '_') {
                    const int start = i;
                    while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == '_'))
                        ++i;
                    t.kind = Token::Word;
                    t.text = s.mid(start, i - start);
                } else {
                    t.kind = Token::Punct;
                    t.text = c;
                    ++i;
                }
                tokens.push_back(t);
            }
        }
        Token end;
        end.line = lines.isEmpty() ? 0 : lines.back().line;
        tokens.push_back(end);
    }

    const Token& peek(int ahead = 0) const {
        return tokens[std::min(pos + ahead, static_cast<int>(tokens.size()) - 1)];
    }
    Token next() {
        const Token t = peek();
        if (pos < tokens.size() - 1) ++pos;
        return t;
    }
    bool isWord(const QString& w, int ahead = 0) const {
        return peek(ahead).kind == Token::Word && peek(ahead).text == w;
    }
    bool isPunct(const QString& p) const { return peek().kind == Token::Punct && peek().text == p; }
    bool syntax(const QString& what) {
        QString file = lineFile.value(pos);
        for (int i = pos; i >= 0 && file.isEmpty(); --i)
            file = lineFile.value(i);
        return fail(file, peek().line, what);
    }
    bool comma() {
        if (isPunct(",")) {
            next();
            return true;
        }
        return false;
    }
    bool openBlock() {
        if (isWord("BEGIN") || isPunct("{")) {
            next();
            return true;
        }
        return syntax(QStringLiteral("BEGIN expected"));
    }
    bool closesBlock() const { return isWord("END") || isPunct("}"); }
    bool atStatementEnd() const {
        return peek().kind == Token::End || closesBlock() || isWord("BEGIN") || isPunct("{");
    }

    // A numeric value: terms joined by | + -, with NOT clearing bits from
    // what came before (start carries a statement's default style).
    bool number(qint64& v, qint64 start = 0) {
        v = start;
        bool first = true;
        char op = '|';
        for (;;) {
            bool negate = false;
            bool complement = false;
            bool clear = false;
            if (isWord("NOT")) {
                next();
                clear = true;
            }
            while (isPunct("-") || isPunct("~")) {
                if (next().text == "-") {
                    negate = !negate;
                } else {
                    complement = !complement;
                }
            }
            qint64 term = 0;
            if (isPunct("(")) {
                next();
                if (!number(term)) return false;
                if (!isPunct(")")) return syntax(QStringLiteral(") expected"));
                next();
            } else if (peek().kind == Token::Number) {
                term = next().value;
            } else if (peek().kind == Token::Word) {
                const QString w = next().text;
                if (script.defines.contains(w)) {
                    term = script.defines.value(w);
                } else if (systemConstants().contains(w)) {
                    term = systemConstants().value(w);
                } else {
                    return syntax("unknown name " + w);
                }
            } else {
                return syntax(QStringLiteral("number expected"));
            }
            if (negate) term = -term;
            if (complement) term = ~term;
            if (clear) {
                v &= ~term;
            } else if (first && start == 0) {
                v = term;
            } else if (op == '+') {
                v += term;
            } else if (op == '-') {
                v -= term;
            } else {
                v |= term;
            }
            first = false;
            if (isPunct("|") || isPunct("+") || (isPunct("-"))) {
                op = next().text[0].toLatin1();
            } else if (isWord("NOT")) {
                op = '|';
            } else {
                return true;
            }
        }
    }
    bool integer(int& v) {
        qint64 w = 0;
        if (!number(w)) return false;
        v = static_cast<int>(w);
        return true;
    }
    bool text(QString& s) {
        if (peek().kind != Token::String) return syntax(QStringLiteral("string expected"));
        s = next().text;
        return true;
    }

    // -- statements -----------------------------------------------------------

    bool parseStatements() {
        while (peek().kind != Token::End) {
            if (isWord("LANGUAGE")) {
                next();
                if (!language(currentLanguage)) return false;
            } else if (isWord("STRINGTABLE")) {
                next();
                if (!stringTable()) return false;
            } else {
                if (!resource()) return false;
            }
        }
        return true;
    }

    bool language(int& lang) {
        int primary = 0, sub = 0;
        if (!integer(primary) || !comma() || !integer(sub))
            return syntax("LANGUAGE needs two values");
        lang = (sub << 10) | primary;
        return true;
    }

    bool stringTable() {
        int lang = currentLanguage;
        while (!isWord("BEGIN") && !isPunct("{")) {
            if (isWord("LANGUAGE")) {
                next();
                if (!language(lang)) return false;
            } else if (peek().kind == Token::Word) {
                next();  // memory options, CHARACTERISTICS, VERSION
                if (peek().kind == Token::Number) next();
            } else {
                return syntax(QStringLiteral("BEGIN expected"));
            }
        }
        openBlock();
        while (!closesBlock()) {
            if (peek().kind == Token::End) return syntax(QStringLiteral("END expected"));
            int id = 0;
            QString s;
            if (!integer(id)) return false;
            comma();
            if (!text(s)) return false;
            script.stringTables[lang].insert(id, s);
        }
        next();
        return true;
    }

    bool resource() {
        // Name: a number or a macro that gives one.
        int id = 0;
        if (peek().kind == Token::Word && !script.defines.contains(peek().text) &&
            !systemConstants().contains(peek().text))
            return syntax("resource name " + peek().text + " is not a number");
        if (!integer(id)) return false;
        if (isWord("DIALOG") || isWord("DIALOGEX")) return dialog(id);
        if (isWord("VERSIONINFO")) {
            next();
            return version();
        }
        int type = 0;
        if (peek().kind == Token::Word && resourceTypes().contains(peek().text)) {
            type = resourceTypes().value(next().text);
        } else if (peek().kind == Token::Word) {
            // A type of its own (TEXTINCLUDE and the like): its data is skipped.
            next();
            type = -1;
        } else if (!integer(type)) {
            return false;
        }
        while (peek().kind == Token::Word && isMemoryOption(peek().text))
            next();
        if (peek().kind == Token::String) {
            FileResource f;
            f.type = type;
            f.id = id;
            f.path = baseDir + '/' + next().text;
            if (type >= 0) script.files.push_back(f);
            return true;
        }
        if (!openBlock()) return false;
        for (int depth = 1; depth > 0;) {
            if (peek().kind == Token::End) return syntax(QStringLiteral("END expected"));
            if (isWord("BEGIN") || isPunct("{")) ++depth;
            if (closesBlock()) --depth;
            next();
        }
        return true;
    }

    bool dialog(int id) {
        DialogTemplate d;
        d.id = id;
        d.extended = next().text == "DIALOGEX";
        if (!integer(d.x) || !comma() || !integer(d.y) || !comma() || !integer(d.width) ||
            !comma() || !integer(d.height))
            return syntax(QStringLiteral("dialog position and size expected"));
        if (comma()) {
            int help = 0;
            if (!integer(help)) return false;
        }
        while (!isWord("BEGIN") && !isPunct("{")) {
            if (peek().kind != Token::Word) return syntax(QStringLiteral("BEGIN expected"));
            const QString w = next().text;
            qint64 v = 0;
            if (w == "STYLE") {
                if (!number(v)) return false;
                d.style = static_cast<quint32>(v);
            } else if (w == "EXSTYLE") {
                if (!number(v)) return false;
                d.exStyle = static_cast<quint32>(v);
            } else if (w == "CAPTION") {
                if (!text(d.caption)) return false;
            } else if (w == "FONT") {
                if (!integer(d.fontSize) || !comma() || !text(d.fontFace)) return false;
                while (comma()) {
                    int ignored = 0;
                    if (!integer(ignored)) return false;
                }
            } else if (w == "LANGUAGE") {
                int lang = 0;
                if (!language(lang)) return false;
            } else if (w == "CLASS" || w == "MENU") {
                next();
            } else if (w == "CHARACTERISTICS" || w == "VERSION") {
                if (!number(v)) return false;
            } else if (!isMemoryOption(w)) {
                return syntax("unknown dialog statement " + w);
            }
        }
        openBlock();
        while (!closesBlock()) {
            if (peek().kind != Token::Word) return syntax(QStringLiteral("control expected"));
            DialogControl c;
            if (!control(c)) return false;
            d.controls.push_back(c);
        }
        next();
        script.dialogs.insert(id, d);
        return true;
    }

    bool control(DialogControl& c) {
        // Controls of the generic form: class and default style by keyword.
        struct Kind {
            const char* className;
            qint64 style;
            bool hasText;
        };
        static const QHash<QString, Kind> kinds = {
            {"LTEXT", {"Static", 0x0 | 0x00020000, true}},
            {"RTEXT", {"Static", 0x2 | 0x00020000, true}},
            {"CTEXT", {"Static", 0x1 | 0x00020000, true}},
            {"PUSHBUTTON", {"Button", 0x0 | 0x00010000, true}},
            {"DEFPUSHBUTTON", {"Button", 0x1 | 0x00010000, true}},
            {"GROUPBOX", {"Button", 0x7, true}},
            {"CHECKBOX", {"Button", 0x2 | 0x00010000, true}},
            {"AUTOCHECKBOX", {"Button", 0x3 | 0x00010000, true}},
            {"RADIOBUTTON", {"Button", 0x4, true}},
            {"AUTORADIOBUTTON", {"Button", 0x9, true}},
            {"EDITTEXT", {"Edit", 0x00800000 | 0x00010000, false}},
            {"LISTBOX", {"ListBox", 0x1 | 0x00800000, false}},
            {"COMBOBOX", {"ComboBox", 0x1 | 0x00010000, false}},
            {"SCROLLBAR", {"ScrollBar", 0x0, false}},
        };
        static const QHash<QString, QString> predefinedClasses = {
            {"BUTTON", "Button"},   {"STATIC", "Static"},     {"EDIT", "Edit"},
            {"LISTBOX", "ListBox"}, {"COMBOBOX", "ComboBox"}, {"SCROLLBAR", "ScrollBar"}};
        const qint64 childVisible = 0x40000000 | 0x10000000;
        const QString keyword = next().text;
        qint64 v = 0;
        if (keyword == "CONTROL") {
            if (!text(c.text) || !comma() || !integer(c.id) || !comma()) return false;
            if (peek().kind == Token::String) {
                c.className = next().text;
            } else if (peek().kind == Token::Word && predefinedClasses.contains(peek().text)) {
                c.className = predefinedClasses.value(next().text);
            } else {
                return syntax(QStringLiteral("control class expected"));
            }
            if (!comma() || !number(v, childVisible)) return false;
            c.style = static_cast<quint32>(v);
            if (!comma() || !rect(c)) return false;
        } else if (kinds.contains(keyword)) {
            const Kind k = kinds.value(keyword);
            c.className = k.className;
            if (k.hasText && (!text(c.text) || !comma())) return false;
            if (!integer(c.id) || !comma() || !rect(c)) return false;
            c.style = static_cast<quint32>(k.style | childVisible);
            if (comma()) {
                if (!number(v, c.style)) return false;
                c.style = static_cast<quint32>(v);
            }
        } else {
            return syntax("control " + keyword + " is not supported");
        }
        if (comma()) {
            if (!number(v)) return false;
            c.exStyle = static_cast<quint32>(v);
        }
        if (comma()) {
            int help = 0;
            if (!integer(help)) return false;
        }
        return true;
    }

    bool rect(DialogControl& c) {
        return integer(c.x) && comma() && integer(c.y) && comma() && integer(c.width) && comma() &&
               integer(c.height);
    }

    bool version() {
        VersionInfo info;
        while (!isWord("BEGIN") && !isPunct("{")) {
            if (peek().kind != Token::Word) return syntax(QStringLiteral("BEGIN expected"));
            const QString w = next().text;
            qint64 v = 0;
            if (w == "FILEVERSION" || w == "PRODUCTVERSION") {
                quint16* parts = w == "FILEVERSION" ? info.fileVersion : info.productVersion;
                for (int i = 0; i < 4; ++i) {
                    if (i > 0 && !comma()) break;
                    if (!number(v)) return false;
                    parts[i] = static_cast<quint16>(v);
                }
            } else if (w == "FILEFLAGSMASK" || w == "FILEFLAGS" || w == "FILEOS" ||
                       w == "FILETYPE" || w == "FILESUBTYPE") {
                if (!number(v)) return false;
                quint32* field = w == "FILEFLAGSMASK" ? &info.fileFlagsMask
                                 : w == "FILEFLAGS"   ? &info.fileFlags
                                 : w == "FILEOS"      ? &info.fileOS
                                 : w == "FILETYPE"    ? &info.fileType
                                                      : &info.fileSubtype;
                *field = static_cast<quint32>(v);
            } else {
                return syntax("unknown version statement " + w);
            }
        }
        if (!versionBlock(info, QString())) return false;
        script.versionInfo = info;
        return true;
    }

    bool versionBlock(VersionInfo& info, const QString& prefix) {
        if (!openBlock()) return false;
        while (!closesBlock()) {
            if (isWord("BLOCK")) {
                next();
                QString name;
                if (!text(name)) return false;
                if (!versionBlock(info, prefix + name + '/')) return false;
            } else if (isWord("VALUE")) {
                next();
                QString key;
                if (!text(key)) return false;
                QStringList parts;
                while (comma()) {
                    if (peek().kind == Token::String) {
                        parts << next().text;
                    } else {
                        qint64 v = 0;
                        if (!number(v)) return false;
                        parts << QString::number(v);
                    }
                }
                info.values.insert(prefix + key, parts.join(", "));
            } else {
                return syntax(QStringLiteral("BLOCK or VALUE expected"));
            }
        }
        next();
        return true;
    }

    ResourceScript& script;
    QString baseDir;
    QHash<QString, qint64> macros;
    QVector<SourceLine> lines;
    QVector<Token> tokens;
    QHash<int, QString> lineFile;  // token index -> file it came from
    int pos = 0;
    int currentLanguage = 1033;
    QString exprText;
    int exprPos = 0;
};

const DialogControl* DialogTemplate::control(int controlId) const {
    for (const DialogControl& c : controls)
        if (c.id == controlId) return &c;
    return nullptr;
}

bool ResourceScript::parse(const QString& path, QString* error) {
    *this = ResourceScript();
    ScriptParser p(*this);
    if (p.run(path)) return true;
    if (error) *error = p.error;
    return false;
}

std::optional<QString> ResourceScript::string(int id, int language) const {
    const auto table = stringTables.find(language);
    if (table != stringTables.end() && table->contains(id)) return table->value(id);
    for (const auto& t : stringTables)
        if (t.contains(id)) return t.value(id);
    return std::nullopt;
}

const DialogTemplate* ResourceScript::dialog(int id) const {
    const auto it = dialogs.find(id);
    return it == dialogs.end() ? nullptr : &*it;
}

const FileResource* ResourceScript::file(int type, int id) const {
    for (const FileResource& f : files)
        if (f.type == type && f.id == id) return &f;
    return nullptr;
}

std::optional<qint64> ResourceScript::define(const QString& name) const {
    const auto it = defines.find(name);
    if (it == defines.end()) return std::nullopt;
    return *it;
}

}  // namespace standin
