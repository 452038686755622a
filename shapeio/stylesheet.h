#pragma once

// The style sheets of an SVG document (<style> elements), as far as they
// decide what is painted: rules whose selectors name elements by type,
// class, id and attributes ([name], [name=value], [name~=value],
// [name^=value], [name$=value], [name*=value]), joined by descendant and
// child combinators, and their declarations. Other selectors (pseudo-
// classes, sibling combinators) and at-rules are passed over.

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace carvex {

class StyleSheet {
public:
    // At most this many rules are kept, so that matching every element
    // against them stays quick; a sheet beyond it is cut there.
    static constexpr int kMaxRules = 1024;

    // Adds the rules of one <style> element's text; false when some were
    // passed over or cut (the caller may say so).
    bool add(const QString& css);

    bool isEmpty() const { return rules_.empty(); }

    // What a selector may ask of one element.
    struct Element {
        QString type;
        QString id;
        QStringList classes;
        QHash<QString, QString> attributes;  // by qualified name, as written
    };

    // The declarations that apply to the last element of ancestry (its
    // ancestors before it, the root first), names lowercased, in the order
    // of the cascade: a later one overrides an earlier one.
    QHash<QString, QString> declarationsFor(const std::vector<Element>& ancestry) const;

    // Whether any rule looks at ancestors or attributes: the caller needs to
    // keep them only then.
    bool needsAncestry() const { return needsAncestry_; }

    struct AttributeTest {
        QString name;
        QChar op;  // 0: present; '=', '~', '^', '$', '*'
        QString value;
    };
    struct Compound {
        QString type;  // empty for any
        QString id;    // empty for any
        QStringList classes;
        std::vector<AttributeTest> attributes;
        bool childOfNext = false;  // '>' before it; otherwise a descendant
    };

private:
    struct Rule {
        std::vector<Compound> compounds;  // the subject last
        int specificity = 0;
        QHash<QString, QString> declarations;
    };
    std::vector<Rule> rules_;
    bool needsAncestry_ = false;
};

// The declarations of a style attribute or a rule's body, names lowercased;
// later ones win.
QHash<QString, QString> styleDeclarations(const QString& style);

}  // namespace carvex
