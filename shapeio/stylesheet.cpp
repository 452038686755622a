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

// Reads one compound selector at pos (a type or '*', then classes, ids and
// attribute tests with nothing between them); false on anything else.
bool readCompound(const QString& text, int& pos, StyleSheet::Compound* out, bool* never) {
    static const QRegularExpression name(QStringLiteral("\\G-?[A-Za-z_][A-Za-z0-9_-]*"));
    static const QRegularExpression attribute(QStringLiteral(
        "\\G\\[\\s*([A-Za-z_:][A-Za-z0-9_:.-]*)\\s*(?:([~^$*]?=)\\s*(?:\"([^\"]*)\"|'([^']*)'|"
        "([A-Za-z0-9_-]+))\\s*)?\\]"));
    const int start = pos;
    bool ids = false;
    if (pos < text.size() && text[pos] == QLatin1Char('*')) {
        ++pos;
    } else {
        const QRegularExpressionMatch type = name.match(text, pos);
        if (type.hasMatch()) {
            out->type = type.captured(0);
            pos = type.capturedEnd();
        }
    }
    while (pos < text.size()) {
        const QChar c = text[pos];
        if (c == QLatin1Char('.') || c == QLatin1Char('#')) {
            const QRegularExpressionMatch m = name.match(text, pos + 1);
            if (!m.hasMatch()) return false;
            if (c == QLatin1Char('.')) out->classes.append(m.captured(0));
            // Two different ids match nothing: the rule is dropped, quietly.
            if (c == QLatin1Char('#') && ids && out->id != m.captured(0)) *never = true;
            if (c == QLatin1Char('#')) out->id = m.captured(0), ids = true;
            pos = m.capturedEnd();
        } else if (c == QLatin1Char('[')) {
            const QRegularExpressionMatch m = attribute.match(text, pos);
            if (!m.hasMatch()) return false;
            StyleSheet::AttributeTest test;
            test.name = m.captured(1);
            const QString op = m.captured(2);
            test.op = op.isEmpty() ? QChar() : op[0];
            test.value = m.captured(3) + m.captured(4) + m.captured(5);
            out->attributes.push_back(test);
            pos = m.capturedEnd();
        } else {
            break;
        }
    }
    return pos > start;
}

// A selector of compounds joined by blanks (descendant) and '>' (child).
bool readSelector(const QString& text, std::vector<StyleSheet::Compound>* out, bool* never) {
    int pos = 0;
    bool child = false;
    while (true) {
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
        if (pos >= text.size()) return !out->empty() && !child;
        if (text[pos] == QLatin1Char('>')) {
            if (out->empty() || child) return false;
            child = true;
            ++pos;
            continue;
        }
        StyleSheet::Compound compound;
        if (!readCompound(text, pos, &compound, never)) return false;
        compound.childOfNext = false;
        if (!out->empty()) out->back().childOfNext = child;
        child = false;
        out->push_back(compound);
    }
}

int specificityOf(const std::vector<StyleSheet::Compound>& compounds) {
    int ids = 0, classes = 0, types = 0;
    for (const StyleSheet::Compound& c : compounds) {
        ids += c.id.isEmpty() ? 0 : 1;
        classes += int(c.classes.size() + c.attributes.size());
        types += c.type.isEmpty() ? 0 : 1;
    }
    return ids * 10000 + classes * 100 + types;
}

bool passes(const StyleSheet::AttributeTest& test, const QHash<QString, QString>& attributes) {
    const auto found = attributes.constFind(test.name);
    if (found == attributes.constEnd()) return false;
    const QString& v = found.value();
    switch (test.op.unicode()) {
        case 0:
            return true;
        case '=':
            return v == test.value;
        case '~':
            return v.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)
                .contains(test.value);
        case '^':
            return !test.value.isEmpty() && v.startsWith(test.value);
        case '$':
            return !test.value.isEmpty() && v.endsWith(test.value);
        case '*':
            return !test.value.isEmpty() && v.contains(test.value);
    }
    return false;
}

bool matches(const StyleSheet::Compound& c, const StyleSheet::Element& e) {
    if (!c.type.isEmpty() && c.type != e.type) return false;
    if (!c.id.isEmpty() && c.id != e.id) return false;
    for (const QString& name : c.classes)
        if (!e.classes.contains(name)) return false;
    for (const StyleSheet::AttributeTest& test : c.attributes)
        if (!passes(test, e.attributes)) return false;
    return true;
}

// Whether compounds[0..k] match with compounds[k] on ancestry[at], the
// earlier compounds on its ancestors as their combinators ask.
bool matchesFrom(const std::vector<StyleSheet::Compound>& compounds, int k,
                 const std::vector<StyleSheet::Element>& ancestry, int at) {
    if (!matches(compounds[size_t(k)], ancestry[size_t(at)])) return false;
    if (k == 0) return true;
    if (compounds[size_t(k - 1)].childOfNext)
        return at > 0 && matchesFrom(compounds, k - 1, ancestry, at - 1);
    for (int up = at - 1; up >= 0; --up)
        if (matchesFrom(compounds, k - 1, ancestry, up)) return true;
    return false;
}

}  // namespace

bool StyleSheet::add(const QString& text) {
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
            Rule rule;
            bool never = false;
            if (!readSelector(written.trimmed(), &rule.compounds, &never)) {
                whole = false;
                continue;
            }
            if (never) continue;
            if (int(rules_.size()) >= kMaxRules) return false;
            rule.specificity = specificityOf(rule.compounds);
            rule.declarations = declarations;
            needsAncestry_ = needsAncestry_ || rule.compounds.size() > 1 ||
                             !rule.compounds.back().attributes.empty();
            rules_.push_back(rule);
        }
    }
    return whole;
}

QHash<QString, QString> StyleSheet::declarationsFor(const std::vector<Element>& ancestry) const {
    QHash<QString, QString> out;
    if (rules_.empty() || ancestry.empty()) return out;
    std::vector<const Rule*> matching;
    const int last = int(ancestry.size()) - 1;
    for (const Rule& rule : rules_)
        if (matchesFrom(rule.compounds, int(rule.compounds.size()) - 1, ancestry, last))
            matching.push_back(&rule);
    std::stable_sort(matching.begin(), matching.end(),
                     [](const Rule* a, const Rule* b) { return a->specificity < b->specificity; });
    for (const Rule* rule : matching)
        for (auto it = rule->declarations.constBegin(); it != rule->declarations.constEnd(); ++it)
            out.insert(it.key(), it.value());
    return out;
}

}  // namespace carvex
