#include "shapeio/stylesheet.h"

#include <QRegularExpression>
#include <algorithm>

namespace carvex {

QHash<QString, QString> styleDeclarations(const QString& style) {
    QHash<QString, QString> declarations;
    for (const QString& item : style.split(QLatin1Char(';'))) {
        const int colon = item.indexOf(QLatin1Char(':'));
        if (colon < 0) continue;
        QString value = item.mid(colon + 1).trimmed();
        if (value.endsWith(QLatin1String("!important"), Qt::CaseInsensitive))
            value = value.left(value.size() - 10).trimmed();
        declarations.insert(item.left(colon).trimmed().toLower(), value);
    }
    return declarations;
}

namespace {

QString withoutComments(const QString& css) {
    QString out;
    out.reserve(css.size());
    for (int pos = 0; pos < css.size();) {
        const int open = css.indexOf(QLatin1String("/*"), pos);
        if (open < 0) {
            out += css.mid(pos);
            break;
        }
        out += css.mid(pos, open - pos);
        const int close = css.indexOf(QLatin1String("*/"), open + 2);
        if (close < 0) break;
        pos = close + 2;
    }
    return out;
}

// Past the block that starts at the '{' at open, braces nested inside it
// counted; the text's end when it does not close.
int pastBlock(const QString& css, int open) {
    int depth = 0;
    for (int pos = open; pos < css.size(); ++pos) {
        if (css[pos] == QLatin1Char('{')) ++depth;
        if (css[pos] == QLatin1Char('}') && --depth == 0) return pos + 1;
    }
    return int(css.size());
}

}  // namespace

bool StyleSheet::add(const QString& text) {
    // A type, then classes and an id, with nothing between them.
    static const QRegularExpression simple(
        QStringLiteral("^(\\*|[A-Za-z][A-Za-z0-9_-]*)?((?:[.#][A-Za-z_-][A-Za-z0-9_-]*)*)$"));
    static const QRegularExpression part(QStringLiteral("([.#])([A-Za-z0-9_-]+)"));
    const QString css = withoutComments(text);
    bool whole = true;
    for (int pos = 0; pos < css.size();) {
        const int open = css.indexOf(QLatin1Char('{'), pos);
        if (open < 0) break;
        const QString prelude = css.mid(pos, open - pos).trimmed();
        const int end = pastBlock(css, open);
        pos = end;
        // An at-rule (@media, @font-face, ...) may hold rules of its own
        // that apply only sometimes: all of it is passed over. A statement
        // at-rule such as @import ends at its semicolon, before the block.
        QString selectors = prelude;
        while (selectors.startsWith(QLatin1Char('@'))) {
            const int semicolon = selectors.indexOf(QLatin1Char(';'));
            if (semicolon < 0) break;
            selectors = selectors.mid(semicolon + 1).trimmed();
        }
        if (selectors.startsWith(QLatin1Char('@'))) {
            whole = false;
            continue;
        }
        const QHash<QString, QString> declarations =
            styleDeclarations(css.mid(open + 1, end - open - 2));
        for (const QString& written : selectors.split(QLatin1Char(','))) {
            const QString selector = written.trimmed();
            const QRegularExpressionMatch m = simple.match(selector);
            if (selector.isEmpty() || !m.hasMatch()) {
                whole = false;
                continue;
            }
            if (int(rules_.size()) >= kMaxRules) return false;
            Rule rule;
            rule.type = m.captured(1) == QLatin1String("*") ? QString() : m.captured(1);
            int ids = 0;
            bool matchesNothing = false;
            auto parts = part.globalMatch(m.captured(2));
            while (parts.hasNext()) {
                const QRegularExpressionMatch p = parts.next();
                if (p.captured(1) == QLatin1String("#")) {
                    matchesNothing = matchesNothing || (ids > 0 && rule.id != p.captured(2));
                    rule.id = p.captured(2);
                    ++ids;
                } else {
                    rule.classes.append(p.captured(2));
                }
            }
            if (matchesNothing) continue;  // two different ids
            rule.specificity =
                ids * 10000 + int(rule.classes.size()) * 100 + (rule.type.isEmpty() ? 0 : 1);
            rule.order = int(rules_.size());
            rule.declarations = declarations;
            rules_.push_back(rule);
        }
    }
    return whole;
}

QHash<QString, QString> StyleSheet::declarationsFor(const QString& element, const QString& id,
                                                    const QString& classAttribute) const {
    QHash<QString, QString> out;
    if (rules_.empty()) return out;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList classes = classAttribute.split(blanks, Qt::SkipEmptyParts);
    std::vector<const Rule*> matching;
    for (const Rule& rule : rules_) {
        if (!rule.type.isEmpty() && rule.type != element) continue;
        if (!rule.id.isEmpty() && rule.id != id) continue;
        bool all = true;
        for (const QString& c : rule.classes)
            all = all && classes.contains(c);
        if (all) matching.push_back(&rule);
    }
    std::stable_sort(matching.begin(), matching.end(),
                     [](const Rule* a, const Rule* b) { return a->specificity < b->specificity; });
    for (const Rule* rule : matching)
        for (auto it = rule->declarations.constBegin(); it != rule->declarations.constEnd(); ++it)
            out.insert(it.key(), it.value());
    return out;
}

}  // namespace carvex
