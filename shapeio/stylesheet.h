#pragma once

// The style sheets of an SVG document (<style> elements), as far as they
// decide what is filled: rules whose selectors name an element by type,
// class and id, and their declarations. Selectors with combinators,
// attributes or pseudo-classes, and at-rules, are passed over.

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

    // The declarations that apply to an element, names lowercased, in the
    // order of the cascade: a later one overrides an earlier one.
    QHash<QString, QString> declarationsFor(const QString& element, const QString& id,
                                            const QString& classAttribute) const;

private:
    struct Rule {
        QString type;  // empty for any
        QString id;    // empty for any
        QStringList classes;
        int specificity = 0;
        int order = 0;
        QHash<QString, QString> declarations;
    };
    std::vector<Rule> rules_;
};

// The declarations of a style attribute or a rule's body, names lowercased;
// later ones win.
QHash<QString, QString> styleDeclarations(const QString& style);

}  // namespace carvex
