#include "uisession.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

#include "scene.h"
#include "shapeio/shapeio.h"
#include "standin/ui.h"

namespace standin {

namespace {

// Ids of the list control and of the parameter tables this session reads;
// the session knows the operand rollout as a person knows it, by sight.
constexpr int kListControl = 1001;
constexpr ParamID kSplineNode = 0;
constexpr ParamID kOperationTypes = 2;
constexpr int kFirstRowTop = 2;
constexpr int kRowHeight = 15;

class Session {
public:
    Session(Scene& s, const QString& folder, int sc, QTextStream& l)
        : scene(s), pictures(folder), scale(std::max(sc, 1)), log(l) {}
    ~Session() { close(); }

    bool run(const QString& path, QString* error) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            *error = path + ": cannot be read";
            return false;
        }
        if (!pictures.isEmpty() && !QDir().mkpath(pictures)) {
            *error = pictures + ": cannot be made";
            return false;
        }
        int lineNo = 0;
        while (!file.atEnd()) {
            ++lineNo;
            QString line = QString::fromUtf8(file.readLine());
            line = line.left(line.indexOf('#')).trimmed();
            if (line.isEmpty()) continue;
            QString why;
            if (!command(line, &why)) {
                *error = QStringLiteral("%1:%2: %3").arg(path).arg(lineNo).arg(why);
                return false;
            }
            if (!standin::rollouts().isEmpty() && !save(line, &why)) {
                *error = why;
                return false;
            }
        }
        close();
        return true;
    }

private:
    bool command(const QString& line, QString* why) {
        const QStringList words = line.split(QRegularExpression("\\s+"));
        const QString verb = words.first().toLower();
        const QString rest = line.mid(words.first().size()).trimmed();
        if (verb == "open") return open(words, why);
        if (verb == "snapshot") return snapshot(rest, why);
        if (!modifier) return fail(why, "no rollout is open (use open NODE first)");
        if (verb == "close") {
            close();
            log << "closed the rollouts\n";
            return true;
        }
        if (verb == "press") return press(rest, why);
        if (verb == "pick") {
            INode* node = scene.node(rest);
            if (!node) return fail(why, "no node named '" + rest + "'");
            const bool picked = viewportClick(node);
            log << "pick " << rest << (picked ? "" : ": not picked") << "\n";
            return report();
        }
        if (verb == "rightclick") {
            log << (viewportRightClick() ? "right click: the pick mode ended\n"
                                         : "right click: nothing to end\n");
            return report();
        }
        if (verb == "select" || verb == "click") return click(verb, words, why);
        if (verb == "scroll") return scroll(words, why);
        if (verb == "wheel") {
            bool ok = false;
            const int notches = rest.toInt(&ok);
            if (!ok) return fail(why, "wheel NOTCHES expected");
            log << "wheel " << notches
                << (mouseWheel(list(), notches * WHEEL_DELTA) ? "" : ": ignored") << "\n";
            return report();
        }
        if (verb == "threshold") return threshold(rest, why);
        if (verb == "evaluate") {
            const BezierShape* shape = scene.evaluate(node);
            log << "evaluate " << QString::fromWCharArray(node->GetName()) << ": "
                << (shape ? shape->SplineCount() : 0) << " spline(s)\n";
            return report();
        }
        if (verb == "expand" || verb == "collapse") {
            for (const Rollout& r : rollouts())
                if (r.title.compare(rest, Qt::CaseInsensitive) == 0)
                    return setRolloutOpen(r.window, verb == "expand");
            return fail(why, "no rollout titled '" + rest + "'");
        }
        return fail(why, "unknown command '" + verb + "'");
    }

    bool open(const QStringList& words, QString* why) {
        if (words.size() < 2) return fail(why, "open NODE [N] expected");
        close();
        INode* node = scene.node(words[1]);
        if (!node) return fail(why, "no node named '" + words[1] + "'");
        auto* derived = dynamic_cast<IDerivedObject*>(node->GetObjectRef());
        const int index = words.size() > 2 ? words[2].toInt() : 0;
        if (!derived || index < 0 || index >= derived->NumModifiers())
            return fail(why, words[1] + " has no modifier " + QString::number(index));
        modifier = derived->GetModifier(index);
        this->node = node;
        modifier->BeginEditParams(static_cast<IObjParam*>(GetCOREInterface()), 0, nullptr);
        log << "opened the rollouts of modifier " << index << " on " << words[1] << "\n";
        return report();
    }

    void close() {
        if (!modifier) return;
        modifier->EndEditParams(static_cast<IObjParam*>(GetCOREInterface()), 0, nullptr);
        modifier = nullptr;
    }

    bool press(const QString& text, QString* why) {
        for (const Rollout& r : rollouts()) {
            HWND button = findWindowByText(r.window, text);
            if (!button) continue;
            RECT c;
            GetClientRect(button, &c);
            const bool taken = r.open && mouseClick(button, QPoint(c.right / 2, c.bottom / 2));
            log << "press " << text << (taken ? "" : ": ignored (closed or disabled)") << "\n";
            return report();
        }
        return fail(why, "no button showing '" + text + "'");
    }

    bool click(const QString& verb, const QStringList& words, QString* why) {
        QPoint at;
        if (verb == "select") {
            bool ok = false;
            const int row = words.value(1).toInt(&ok);
            if (!ok) return fail(why, "select ROW expected");
            const int first = GetScrollPos(list(), SB_VERT);
            // Rows far off the list are clicked far below it, not at a
            // wrapped-around place.
            const qint64 y = kFirstRowTop + (qint64(row) - first) * kRowHeight + kRowHeight / 2;
            at = QPoint(40, int(std::clamp<qint64>(y, -32768, 32767)));
        } else {
            bool okX = false, okY = false;
            at = QPoint(words.value(1).toInt(&okX), words.value(2).toInt(&okY));
            if (!okX || !okY) return fail(why, "click X Y expected");
        }
        log << line(words) << (mouseClick(list(), at) ? "" : ": ignored (the list is disabled)")
            << "\n";
        return report();
    }

    bool scroll(const QStringList& words, QString* why) {
        static const QMap<QString, int> requests = {{"up", SB_LINEUP},
                                                    {"down", SB_LINEDOWN},
                                                    {"pageup", SB_PAGEUP},
                                                    {"pagedown", SB_PAGEDOWN},
                                                    {"thumb", SB_THUMBTRACK}};
        const QString what = words.value(1).toLower();
        if (!requests.contains(what)) return fail(why, "scroll up|down|pageup|pagedown|thumb N");
        const bool taken = scrollBarRequest(list(), requests.value(what), words.value(2).toInt());
        log << line(words) << (taken ? "" : ": ignored") << "\n";
        return report();
    }

    bool threshold(const QString& value, QString* why) {
        bool ok = false;
        const float v = value.toFloat(&ok);
        if (!ok) return fail(why, "threshold VALUE expected");
        for (const Rollout& r : rollouts()) {
            for (HWND child : childWindows(r.window)) {
                if (windowClassName(child) != "SpinnerControl") continue;
                ISpinnerControl* spin = GetISpinner(child);
                spin->SetValue(v, TRUE);
                log << "threshold " << spin->GetFVal() << "\n";
                ReleaseISpinner(spin);
                return report();
            }
        }
        return fail(why, "no spinner in the rollouts");
    }

    bool snapshot(const QString& name, QString* why) {
        if (name.isEmpty()) return fail(why, "snapshot NAME expected");
        if (pictures.isEmpty()) return true;
        return write(QDir(pictures).filePath(name + ".png"), why);
    }

    bool save(const QString& command, QString* why) {
        if (pictures.isEmpty()) return true;
        QString slug = command.toLower();
        slug.replace(QRegularExpression("[^a-z0-9]+"), "-");
        const QString name = QStringLiteral("%1-%2.png").arg(++saved, 2, 10, QChar('0')).arg(slug);
        return write(QDir(pictures).filePath(name), why);
    }

    bool write(const QString& path, QString* why) {
        QImage image = renderRollouts();
        if (scale > 1)
            image =
                image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
            return fail(why, path + ": cannot be written");
        if (!writeFilesAtomically({{path, png}}, why)) return false;
        log << "  saved " << path << "\n";
        return true;
    }

    // The operand rows as the list has them.
    bool report() {
        if (!modifier) return true;
        IParamBlock2* pb = modifier->GetParamBlock(0);
        if (!pb) return true;
        static const char* labels[] = {"U", "I", "S_A", "S_B"};
        log << "  rows:";
        for (int row = 0; row < pb->Count(kSplineNode); ++row) {
            INode* node = pb->GetINode(kSplineNode, 0, row);
            const int code = pb->GetInt(kOperationTypes, 0, row);
            log << (row ? ", " : " ") << (node ? QString::fromWCharArray(node->GetName()) : "-")
                << " (" << (code >= 0 && code < 4 ? labels[code] : "?") << ")";
        }
        if (pb->Count(kSplineNode) == 0) log << " none";
        log << "; first visible row " << GetScrollPos(list(), SB_VERT)
            << (GetCOREInterface()->GetCurPickMode() ? "; picking" : "") << "\n";
        return true;
    }

    HWND list() const {
        for (const Rollout& r : rollouts())
            if (HWND l = GetDlgItem(r.window, kListControl)) return l;
        return nullptr;
    }

    static QString line(const QStringList& words) { return words.join(' '); }

    static bool fail(QString* why, const QString& what) {
        *why = what;
        return false;
    }

    Scene& scene;
    QString pictures;
    int scale;
    QTextStream& log;
    Modifier* modifier = nullptr;
    INode* node = nullptr;  // whose rollouts are open
    int saved = 0;
};

}  // namespace

bool runUiSession(Scene& scene, const QString& scriptPath, const QString& pictureFolder, int scale,
                  QTextStream& log, QString* error) {
    Session session(scene, pictureFolder, scale, log);
    QString why;
    const bool ok = session.run(scriptPath, &why);
    if (!ok && error) *error = why;
    return ok;
}

}  // namespace standin
