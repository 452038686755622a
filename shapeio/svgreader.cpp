#include <QColor>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>

#include "shapeio/filleddrawing.h"
#include "shapeio/numbertext.h"
#include "shapeio/pathdata.h"
#include "shapeio/shapecheck.h"
#include "shapeio/strokepaint.h"
#include "shapeio/stylesheet.h"
#include "shapeio/subpathbuilder.h"
#include "shapeio/svgio.h"
#include "shapeio/textplace.h"
#include "shaperegion/shaperegion.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr int kMaxGroupDepth = 256;

// A <use> may draw an element that holds uses of its own: at most this many
// deep, and at most this many drawn in all, so that uses of uses cannot
// multiply without bound (each draws its target's text again).
constexpr int kMaxUseDepth = 32;
constexpr int kMaxUsesDrawn = 10000;

const QString kSvgNamespace = QStringLiteral("http://www.w3.org/2000/svg");

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

void skipSeparators(const QString& s, int& pos) {
    while (pos < s.size() && (isBlank(s[pos]) || s[pos] == QLatin1Char(',')))
        ++pos;
}

void skipBlanks(const QString& s, int& pos) {
    while (pos < s.size() && isBlank(s[pos]))
        ++pos;
}

using Place = TextPlace;

// Qt's XML reader compares every attribute of a tag with each before it,
// looks every element's namespace up through every declaration in scope, and
// expands each reference to a declared entity (up to 4096 characters) anew:
// unbounded by these, a file of a few megabytes could take hours.
constexpr int kMaxAttributes = 256;
constexpr int kMaxNamespaceDeclarations = 1000;
constexpr int kMaxEntityReferences = 1000;
// The reader also checks every start tag against every attribute-list
// declaration and keeps the declarations in lists it searches: a document
// type definition of any size would make reading quadratic. Real files have
// a few entity declarations at most (some editors name their namespaces
// with them) and no attribute lists to speak of.
constexpr int kMaxDtdChars = 64 * 1024;
constexpr int kMaxAttlistDeclarations = 64;
// Each start tag costs a look at every attribute declared: their text is
// kept short.
constexpr int kMaxAttlistChars = 1024;
constexpr int kMaxEntityDeclarations = 256;

struct MarkupProblem {
    int offset = -1;
    QString message;
};

bool isNameStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char(':');
}

bool isNameChar(QChar c) {
    return isNameStart(c) || c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('.');
}

// Checks those limits in one pass over the text, before the XML reader
// sees it. Attributes are counted by their '=' outside quoted values;
// comments, CDATA sections and processing instructions are passed over.
bool checkMarkup(const QString& text, MarkupProblem* problem) {
    auto fail = [&](int offset, const QString& message) {
        *problem = {offset, message};
        return false;
    };
    const int n = text.size();
    int references = 0;
    int namespaces = 0;
    int attlists = 0;
    int attlistChars = 0;
    int entities = 0;
    int dtdStart = -1;
    bool dtdMeasured = false;
    auto dtdTooLong = [&](int end) {
        return dtdStart >= 0 && !dtdMeasured && end - dtdStart > kMaxDtdChars;
    };
    const QString dtdMessage =
        QStringLiteral("a document type definition of more than %1 characters").arg(kMaxDtdChars);
    bool inTag = false;
    int tagStart = 0;
    int equals = 0;
    QChar quote;
    for (int pos = 0; pos < n; ++pos) {
        const QChar c = text[pos];
        if ((c == QLatin1Char('&') || c == QLatin1Char('%')) && pos + 1 < n &&
            isNameStart(text[pos + 1])) {
            int end = pos + 1;
            while (end < n && isNameChar(text[end]))
                ++end;
            const QStringRef name = text.midRef(pos + 1, end - pos - 1);
            const bool predefined =
                c == QLatin1Char('&') &&
                (name == QLatin1String("lt") || name == QLatin1String("gt") ||
                 name == QLatin1String("amp") || name == QLatin1String("apos") ||
                 name == QLatin1String("quot"));
            if (end < n && text[end] == QLatin1Char(';') && !predefined &&
                ++references > kMaxEntityReferences)
                return fail(
                    pos,
                    QStringLiteral("more than %1 entity references").arg(kMaxEntityReferences));
            pos = end - 1;
            continue;
        }
        if (inTag) {
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
            } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
            } else if (c == QLatin1Char('=')) {
                if (++equals > kMaxAttributes)
                    return fail(
                        tagStart,
                        QStringLiteral("a tag with more than %1 attributes").arg(kMaxAttributes));
            } else if (c == QLatin1Char('x') && text.midRef(pos, 5) == QLatin1String("xmlns") &&
                       pos > 0 && !isNameChar(text[pos - 1]) &&
                       ++namespaces > kMaxNamespaceDeclarations) {
                return fail(pos, QStringLiteral("more than %1 namespace declarations")
                                     .arg(kMaxNamespaceDeclarations));
            } else if (c == QLatin1Char('>') || c == QLatin1Char('<')) {
                inTag = false;
                if (c == QLatin1Char('<')) --pos;
            }
            continue;
        }
        if (c != QLatin1Char('<')) continue;
        auto skipPast = [&](const char* end) {
            const int at = text.indexOf(QLatin1String(end), pos);
            pos = at < 0 ? n : at + int(qstrlen(end)) - 1;
        };
        if (text.midRef(pos, 4) == QLatin1String("<!--")) {
            skipPast("-->");
        } else if (text.midRef(pos, 9) == QLatin1String("<![CDATA[")) {
            skipPast("]]>");
        } else if (text.midRef(pos, 2) == QLatin1String("<?")) {
            skipPast("?>");
        } else {
            // Start and end tags, and declarations: an entity's value may
            // hold a tag, which is met here.
            if (text.midRef(pos, 9) == QLatin1String("<!DOCTYPE") && dtdStart < 0) dtdStart = pos;
            if (text.midRef(pos, 9) == QLatin1String("<!ATTLIST")) {
                if (++attlists > kMaxAttlistDeclarations)
                    return fail(pos, QStringLiteral("more than %1 attribute-list declarations")
                                         .arg(kMaxAttlistDeclarations));
                const int end = text.indexOf(QLatin1Char('>'), pos);
                attlistChars += (end < 0 ? n : end) - pos;
                if (attlistChars > kMaxAttlistChars)
                    return fail(pos, QStringLiteral("attribute-list declarations of more than %1 "
                                                    "characters")
                                         .arg(kMaxAttlistChars));
            }
            if (text.midRef(pos, 8) == QLatin1String("<!ENTITY") &&
                ++entities > kMaxEntityDeclarations)
                return fail(
                    pos,
                    QStringLiteral("more than %1 entity declarations").arg(kMaxEntityDeclarations));
            // The first element ends the document type definition.
            if (pos + 1 < n && isNameStart(text[pos + 1])) {
                if (dtdTooLong(pos)) return fail(dtdStart, dtdMessage);
                dtdMeasured = dtdStart >= 0;
            }
            inTag = true;
            tagStart = pos;
            equals = 0;
        }
    }
    if (dtdTooLong(n)) return fail(dtdStart, dtdMessage);
    return true;
}

// What an element inherits from its groups for painting: SVG's fill,
// fill-rule, stroke, color and visibility properties.
struct Paint {
    bool filled = true;
    QString colour = QStringLiteral("black");
    carvex::FillRule rule = carvex::FillRule::NonZero;
    QString color = QStringLiteral("black");  // what currentColor stands for
    bool visible = true;
    StrokePaint stroke;
};

// A colour as written, when it is one SVG and this program both take;
// otherwise an empty string.
QString colourText(const QString& text) {
    const QString lower = text.trimmed().toLower();
    if (lower.isEmpty() || lower.contains(QLatin1Char('"')) || lower.contains(QLatin1Char('<')) ||
        lower.contains(QLatin1Char('&')))
        return QString();
    if (QColor::isValidColor(lower)) return lower;
    for (const char* function : {"rgb(", "rgba(", "hsl(", "hsla("})
        if (lower.startsWith(QLatin1String(function)) && lower.endsWith(QLatin1Char(')')))
            return lower;
    return QString();
}

// The colour a fill or stroke paint stands for: currentColor's, a
// gradient's fallback (black without one), or the colour written; empty for
// none and for values this reader does not know.
QString paintColour(const QString& text, const QString& currentColour) {
    const QString value = text.trimmed();
    const QString lower = value.toLower();
    if (lower == QLatin1String("currentcolor")) return currentColour;
    if (lower.startsWith(QLatin1String("url("))) {
        const QString fallback = colourText(value.mid(value.indexOf(QLatin1Char(')')) + 1));
        return fallback.isEmpty() ? QStringLiteral("black") : fallback;
    }
    return colourText(value);
}

// Applies one fill value to paint. Values this reader does not know leave
// the inherited paint, as an invalid property value does.
void applyFill(const QString& text, Paint* paint) {
    const QString value = text.trimmed();
    const QString lower = value.toLower();
    if (lower.isEmpty() || lower == QLatin1String("inherit")) return;
    if (lower == QLatin1String("none")) {
        paint->filled = false;
    } else if (lower == QLatin1String("currentcolor")) {
        paint->filled = true;
        paint->colour = paint->color;
    } else if (lower.startsWith(QLatin1String("url("))) {
        // A gradient or pattern fills the region; its fallback colour, if
        // any, is the nearest plain colour.
        paint->filled = true;
        const QString fallback = colourText(value.mid(value.indexOf(QLatin1Char(')')) + 1));
        paint->colour = fallback.isEmpty() ? QStringLiteral("black") : fallback;
    } else if (!colourText(value).isEmpty()) {
        paint->filled = true;
        paint->colour = colourText(value);
    }
}

// The paint of an element: its parent's, changed by presentation
// attributes, then by the document's style sheets, then by the style
// attribute, which takes precedence.
Paint elementPaint(const QXmlStreamAttributes& attributes, const QHash<QString, QString>& sheet,
                   const Paint& parent) {
    Paint paint = parent;
    const QHash<QString, QString> style =
        carvex::styleDeclarations(attributes.value(QLatin1String("style")).toString());
    auto property = [&](const char* name, auto apply) {
        const QStringRef attribute = attributes.value(QLatin1String(name));
        if (!attribute.isNull()) apply(attribute.toString().trimmed());
        const auto fromSheet = sheet.constFind(QLatin1String(name));
        if (fromSheet != sheet.constEnd()) apply(fromSheet.value());
        const auto declared = style.constFind(QLatin1String(name));
        if (declared != style.constEnd()) apply(declared.value());
    };
    // color first: currentColor in fill reads this element's color.
    property("color", [&](const QString& v) {
        const QString c = colourText(v);
        if (!c.isEmpty()) paint.color = c;
    });
    property("fill", [&](const QString& v) { applyFill(v, &paint); });
    property("fill-rule", [&](const QString& v) {
        carvex::FillRule rule;
        if (fillRuleFromName(v.trimmed().toLower(), &rule)) paint.rule = rule;
    });
    for (const char* const* name = strokePropertyNames(); *name; ++name)
        property(*name, [&](const QString& v) {
            applyStrokeProperty(QLatin1String(*name), v, paintColour(v, paint.color),
                                &paint.stroke);
        });
    property("visibility", [&](const QString& v) {
        const QString lower = v.trimmed().toLower();
        if (lower == QLatin1String("visible")) paint.visible = true;
        if (lower == QLatin1String("hidden") || lower == QLatin1String("collapse"))
            paint.visible = false;
    });
    return paint;
}

class SvgReader {
public:
    // The reader works on decoded text so that its character offsets index
    // the same text as the place finder; SVG is UTF-8 unless a byte order
    // mark says otherwise.
    SvgReader(const QByteArray& data, const QString& fileName, Shape& shape)
        : text_(decodeText(data)),
          places_(text_),
          document_(text_),
          fileName_(fileName),
          shape_(shape) {}

    // Reads as a renderer fills: one element per filled shape element.
    void readFilled(FilledDrawing* drawing) { drawing_ = drawing; }

    bool read(QString* error) {
        error_ = error;
        MarkupProblem markup;
        if (!checkMarkup(text_, &markup)) return failAt(places_.at(markup.offset), markup.message);
        if (!nextStartElement()) return xmlFailure(QStringLiteral("no root element"));
        rootPlace_ = elementPlace_;
        if (reader_->name() == QLatin1String("svg") && !isSvgElement())
            return failAt(elementPlace_,
                          QStringLiteral("not an SVG document: the root element <%1> is in the "
                                         "namespace '%2', not in %3")
                              .arg(reader_->qualifiedName().toString(),
                                   reader_->namespaceUri().toString(), kSvgNamespace));
        if (!isSvgElement() || reader_->name() != QLatin1String("svg"))
            return failAt(elementPlace_, QStringLiteral("not an SVG document: the root element "
                                                        "is <%1>, not <svg>")
                                             .arg(reader_->qualifiedName().toString()));
        Matrix3d root;
        if (!readTransformAttribute(&root)) return false;
        const QXmlStreamAttributes rootAttributes = reader_->attributes();
        if (drawing_) {
            SvgViewport& viewport = drawing_->viewport;
            viewport.viewBox = rootAttributes.value(QLatin1String("viewBox")).toString().trimmed();
            viewport.width = rootAttributes.value(QLatin1String("width")).toString().trimmed();
            viewport.height = rootAttributes.value(QLatin1String("height")).toString().trimmed();
            viewport.preserveAspectRatio =
                rootAttributes.value(QLatin1String("preserveAspectRatio")).toString().trimmed();
        }
        readStyleSheets();
        indexUseTargets();
        const InAncestry atRoot(ancestry_, facts());
        if (!readChildren(root, 1, elementPaint(rootAttributes, sheetDeclarations(), Paint())))
            return false;
        while (!reader_->atEnd())
            advance();
        if (reader_->hasError()) return xmlFailure(reader_->errorString());
        if (drawing_ ? shapeElements_ == 0 : shape_.isEmpty())
            return failAt(rootPlace_, QStringLiteral("the document has no shape (no path, rect, "
                                                     "circle, ellipse, polygon, polyline or line "
                                                     "that draws anything)"));
        return true;
    }

private:
    // Elements a <use> may draw, by id: where their text lies and, for the
    // style sheet, what their ancestors are.
    struct UseTarget {
        QString name;
        int start = 0;
        int end = 0;
        std::vector<carvex::StyleSheet::Element> ancestors;
    };
    // The size a <use> gives a symbol; negative where it gives none.
    struct UseViewport {
        double width = -1.0;
        double height = -1.0;
    };

    QXmlStreamReader::TokenType advance() { return reader_->readNext(); }

    // Where the current start tag begins: the reader stands just past its
    // '>', and no '<' can occur inside a tag.
    Place startTagPlace() {
        const int end = readerBase_ + int(reader_->characterOffset());
        return places_.at(int(text_.lastIndexOf(QLatin1Char('<'), std::max(0, end - 1))));
    }

    bool nextStartElement() {
        while (!reader_->atEnd()) {
            if (advance() == QXmlStreamReader::StartElement) {
                elementPlace_ = startTagPlace();
                return true;
            }
        }
        return false;
    }

    bool isSvgElement() const {
        const QStringRef ns = reader_->namespaceUri();
        return ns.isEmpty() || ns == kSvgNamespace;
    }

    bool failAt(const Place& place, const QString& message) {
        if (error_)
            *error_ = QStringLiteral("%1:%2:%3: %4")
                          .arg(fileName_)
                          .arg(place.line)
                          .arg(place.column)
                          .arg(message);
        return false;
    }

    bool xmlFailure(const QString& message) {
        // The reader stands on the last character it took, the one at fault.
        const Place place =
            reader_ == &document_
                ? Place{reader_->lineNumber(), std::max<qint64>(1, reader_->columnNumber())}
                : places_.at(readerBase_ + std::max(0, int(reader_->characterOffset()) - 1));
        return failAt(place, QStringLiteral("XML error: %1").arg(message));
    }

    QString elementName() const { return reader_->name().toString(); }

    bool attributeFailure(const QString& attribute, const QString& message, int offset = -1) {
        QString where = QStringLiteral("<%1> attribute '%2'").arg(elementName(), attribute);
        if (offset >= 0) where += QStringLiteral(", offset %1").arg(offset);
        return failAt(elementPlace_, where + QStringLiteral(": ") + message);
    }

    // Reads the children of the current element until its end tag.
    bool readChildren(const Matrix3d& parentTransform, int depth, const Paint& parentPaint) {
        while (!reader_->atEnd()) {
            const auto token = advance();
            if (token == QXmlStreamReader::EndElement) return true;
            if (token != QXmlStreamReader::StartElement) continue;
            elementPlace_ = startTagPlace();
            if (!readElement(parentTransform, depth, parentPaint)) return false;
        }
        if (reader_->hasError()) return xmlFailure(reader_->errorString());
        return true;
    }

    void skipElement() {
        int depth = 1;
        while (depth > 0 && !reader_->atEnd()) {
            const auto token = advance();
            if (token == QXmlStreamReader::StartElement) ++depth;
            if (token == QXmlStreamReader::EndElement) --depth;
        }
    }

    // The rules of every <style> element, wherever it stands: a sheet
    // applies to the whole document. Only a filled reading asks for paint.
    void readStyleSheets() {
        if (!drawing_ || !text_.contains(QLatin1String("<style"))) return;
        QXmlStreamReader pass(text_);
        while (!pass.atEnd()) {
            if (pass.readNext() != QXmlStreamReader::StartElement) continue;
            const QStringRef ns = pass.namespaceUri();
            if (pass.name() != QLatin1String("style") || !(ns.isEmpty() || ns == kSvgNamespace))
                continue;
            const Place place = places_.at(int(text_.lastIndexOf(
                QLatin1Char('<'), std::max<qint64>(0, pass.characterOffset() - 1))));
            const QString type =
                pass.attributes().value(QLatin1String("type")).toString().trimmed().toLower();
            const QString css = pass.readElementText(QXmlStreamReader::SkipChildElements);
            if (!type.isEmpty() && type != QLatin1String("text/css")) continue;
            if (!sheet_.add(css))
                drawing_->notes.append(
                    QStringLiteral("%1:%2:%3: <style> partly read: only rules that name elements "
                                   "by type, class, id and attributes, joined by descendant "
                                   "and child combinators, are taken, at most %4")
                        .arg(fileName_)
                        .arg(place.line)
                        .arg(place.column)
                        .arg(carvex::StyleSheet::kMaxRules));
        }
    }

    // What the style sheet may ask of the current element.
    carvex::StyleSheet::Element facts() const { return factsOf(*reader_, sheet_.needsAncestry()); }

    // The sheet's declarations for the current element, which stands last in
    // ancestry_.
    QHash<QString, QString> sheetDeclarations() const {
        if (sheet_.isEmpty()) return {};
        return sheet_.declarationsFor(ancestry_);
    }

    // Keeps the current element in ancestry_ while it is read.
    struct InAncestry {
        InAncestry(std::vector<carvex::StyleSheet::Element>& list,
                   carvex::StyleSheet::Element element)
            : list_(list) {
            list_.push_back(std::move(element));
        }
        ~InAncestry() { list_.pop_back(); }
        InAncestry(const InAncestry&) = delete;
        InAncestry& operator=(const InAncestry&) = delete;
        std::vector<carvex::StyleSheet::Element>& list_;
    };

    bool readElement(const Matrix3d& parentTransform, int depth, const Paint& parentPaint) {
        const QString name = elementName();
        const QXmlStreamAttributes attributes = reader_->attributes();
        const InAncestry here(ancestry_, facts());
        const QHash<QString, QString> fromSheet = sheetDeclarations();
        bool hidden = attributes.value(QLatin1String("display")).trimmed() == QLatin1String("none");
        if (drawing_) {
            auto none = [](const QString& v) {
                return v.trimmed().toLower() == QLatin1String("none");
            };
            hidden =
                hidden || none(fromSheet.value(QStringLiteral("display"))) ||
                none(carvex::styleDeclarations(attributes.value(QLatin1String("style")).toString())
                         .value(QStringLiteral("display")));
        }
        // What this program's pictures draw only to show the inputs.
        hidden = hidden || attributes.hasAttribute(QLatin1String("data-carvex-picture"));
        if (!isSvgElement() || hidden) {
            skipElement();
            return true;
        }
        const bool group = name == QLatin1String("g") || name == QLatin1String("a") ||
                           name == QLatin1String("switch") || name == QLatin1String("svg");
        const bool drawn = name == QLatin1String("path") || name == QLatin1String("rect") ||
                           name == QLatin1String("circle") || name == QLatin1String("ellipse") ||
                           name == QLatin1String("polygon") || name == QLatin1String("polyline") ||
                           name == QLatin1String("line");
        if (name == QLatin1String("use"))
            return readUse(parentTransform, depth,
                           elementPaint(attributes, fromSheet, parentPaint));
        if (!group && !drawn) {
            // defs, symbol, clipPath, mask, text and the like draw no shape here.
            skipElement();
            return true;
        }
        Matrix3d own;
        if (!readTransformAttribute(&own)) return false;
        if (name == QLatin1String("svg")) {
            // A nested viewport: its x and y move its content.
            double x = 0.0;
            double y = 0.0;
            if (!length(QStringLiteral("x"), &x) || !length(QStringLiteral("y"), &y)) return false;
            own = own * translation(Point3d(x, y, 0.0));
        }
        // Row vectors: the element's own transform applies before its parents'.
        const Matrix3d transform = own * parentTransform;
        if (group) {
            // Each level is a C++ call; drawings nest a few levels, not hundreds.
            if (depth >= kMaxGroupDepth)
                return failAt(
                    elementPlace_,
                    QStringLiteral("groups nested more than %1 deep").arg(kMaxGroupDepth));
            return readChildren(transform, depth + 1,
                                elementPaint(attributes, fromSheet, parentPaint));
        }
        if (!readShapeElement(name, transform, elementPaint(attributes, fromSheet, parentPaint)))
            return false;
        skipElement();
        return true;
    }

    static carvex::StyleSheet::Element factsOf(const QXmlStreamReader& xml, bool attributes) {
        static const QRegularExpression blanks(QStringLiteral("\\s+"));
        carvex::StyleSheet::Element e;
        e.type = xml.name().toString();
        const QXmlStreamAttributes all = xml.attributes();
        e.id = all.value(QLatin1String("id")).toString();
        e.classes = all.value(QLatin1String("class")).toString().split(blanks, Qt::SkipEmptyParts);
        if (attributes)
            for (const QXmlStreamAttribute& a : all)
                e.attributes.insert(a.qualifiedName().toString(), a.value().toString());
        return e;
    }

    // Where each element with an id lies, for the uses that draw it; the
    // first of two with one id counts, as renderers take it.
    void indexUseTargets() {
        if (!text_.contains(QLatin1String("<use"))) return;
        QXmlStreamReader pass(text_);
        std::vector<carvex::StyleSheet::Element> open;
        QStringList openIds;
        while (!pass.atEnd()) {
            const auto token = pass.readNext();
            if (token == QXmlStreamReader::StartElement) {
                carvex::StyleSheet::Element e = factsOf(pass, sheet_.needsAncestry());
                const QString id = e.id;
                const bool first = !id.isEmpty() && !useTargets_.contains(id);
                if (first) {
                    UseTarget& t = useTargets_[id];
                    t.name = e.type;
                    t.start = int(text_.lastIndexOf(
                        QLatin1Char('<'), std::max<qint64>(0, pass.characterOffset() - 1)));
                    t.ancestors = open;
                }
                open.push_back(std::move(e));
                openIds.append(first ? id : QString());
            } else if (token == QXmlStreamReader::EndElement && !open.empty()) {
                if (!openIds.last().isEmpty())
                    useTargets_[openIds.last()].end = int(pass.characterOffset());
                open.pop_back();
                openIds.removeLast();
            }
        }
    }

    // The element a <use> names, checked; null with the error given.
    const UseTarget* useTarget(const QString& href) {
        const QString what = QStringLiteral("<use> href '%1': ").arg(href);
        if (!href.startsWith(QLatin1Char('#'))) {
            failAt(elementPlace_, what + QStringLiteral("only elements of the same file (#id) "
                                                        "are read"));
            return nullptr;
        }
        const QString id = href.mid(1);
        const auto found = useTargets_.constFind(id);
        if (found == useTargets_.constEnd() || found->end <= found->start) {
            failAt(elementPlace_, what + QStringLiteral("no element has the id '%1'").arg(id));
            return nullptr;
        }
        if (usesOpen_.contains(id)) {
            failAt(elementPlace_, what + QStringLiteral("the reference leads back to itself"));
            return nullptr;
        }
        if (usesOpen_.size() >= kMaxUseDepth || usesDrawn_ >= kMaxUsesDrawn) {
            failAt(elementPlace_,
                   what + QStringLiteral("uses nested more than %1 deep or more than %2 drawn in "
                                         "all")
                              .arg(kMaxUseDepth)
                              .arg(kMaxUsesDrawn));
            return nullptr;
        }
        return &*found;
    }

    // A <use>: its target drawn as if it stood here, moved by x and y, with
    // this element's paint to inherit and its own ancestors for the sheet.
    bool readUse(const Matrix3d& parentTransform, int depth, const Paint& paint) {
        const QXmlStreamAttributes attributes = reader_->attributes();
        QString href = attributes.value(QLatin1String("href")).toString().trimmed();
        if (href.isEmpty())
            href = attributes.value(QLatin1String("xlink:href")).toString().trimmed();
        if (href.isEmpty()) {  // a use of nothing draws nothing
            skipElement();
            return true;
        }
        const UseTarget* target = useTarget(href);
        if (!target) return false;
        Matrix3d own;
        double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
        bool hasWidth = false, hasHeight = false;
        if (!readTransformAttribute(&own) || !length(QStringLiteral("x"), &x) ||
            !length(QStringLiteral("y"), &y) ||
            !nonNegativeLength(QStringLiteral("width"), &width, &hasWidth) ||
            !nonNegativeLength(QStringLiteral("height"), &height, &hasHeight))
            return false;
        skipElement();
        const Matrix3d placed = translation(Point3d(x, y, 0.0)) * own * parentTransform;
        const UseViewport viewport{hasWidth ? width : -1.0, hasHeight ? height : -1.0};
        return drawUseTarget(*target, href.mid(1), placed, depth, paint, viewport);
    }

    // Reads the target's text with a reader of its own, then goes back to
    // where the use stood.
    bool drawUseTarget(const UseTarget& target, const QString& id, const Matrix3d& placed,
                       int depth, const Paint& paint, const UseViewport& viewport) {
        QXmlStreamReader fragment(text_.mid(target.start, target.end - target.start));
        // Prefixes declared above the target are not in its text.
        fragment.setNamespaceProcessing(false);
        QXmlStreamReader* const outer = reader_;
        const int outerBase = readerBase_;
        const Place outerPlace = elementPlace_;
        std::vector<carvex::StyleSheet::Element> outerAncestry = target.ancestors;
        ancestry_.swap(outerAncestry);
        reader_ = &fragment;
        readerBase_ = target.start;
        usesOpen_.append(id);
        ++usesDrawn_;
        bool ok = nextStartElement();
        if (ok) {
            ok = reader_->name() == QLatin1String("symbol")
                     ? readSymbol(placed, depth + 1, paint, viewport)
                     : readElement(placed, depth + 1, paint);
        }
        usesOpen_.removeLast();
        reader_ = outer;
        readerBase_ = outerBase;
        elementPlace_ = outerPlace;
        ancestry_.swap(outerAncestry);
        return ok;
    }

    // A symbol a use draws: its children, its viewBox fitted into the use's
    // width and height (or its own), as preserveAspectRatio says.
    bool readSymbol(const Matrix3d& placed, int depth, const Paint& usePaint,
                    const UseViewport& viewport) {
        const QXmlStreamAttributes attributes = reader_->attributes();
        const InAncestry here(ancestry_, facts());
        const QHash<QString, QString> fromSheet = sheetDeclarations();
        Matrix3d fit;
        if (!symbolFit(viewport, &fit)) return false;
        if (depth >= kMaxGroupDepth)
            return failAt(elementPlace_,
                          QStringLiteral("groups nested more than %1 deep").arg(kMaxGroupDepth));
        return readChildren(fit * placed, depth + 1, elementPaint(attributes, fromSheet, usePaint));
    }

    // The map from a symbol's viewBox into its viewport; identity without a
    // viewBox or without a size to fit it in.
    bool symbolFit(const UseViewport& viewport, Matrix3d* fit) {
        *fit = Matrix3d();
        const QString box =
            reader_->attributes().value(QLatin1String("viewBox")).toString().trimmed();
        if (box.isEmpty()) return true;
        const QStringList parts =
            box.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
        double v[4] = {0, 0, 0, 0};
        bool ok = parts.size() == 4;
        for (int i = 0; ok && i < 4; ++i)
            v[i] = parts[i].toDouble(&ok);
        if (!ok || !(v[2] > 0.0) || !(v[3] > 0.0) || !std::isfinite(v[0] + v[1] + v[2] + v[3]))
            return attributeFailure(QStringLiteral("viewBox"),
                                    QStringLiteral("'%1' is not four numbers with a positive "
                                                   "width and height")
                                        .arg(box));
        // The use's size, else the symbol's own, else the viewBox's.
        double width = viewport.width, height = viewport.height;
        if (width < 0.0 && !ownLength(QStringLiteral("width"), v[2], &width)) return false;
        if (height < 0.0 && !ownLength(QStringLiteral("height"), v[3], &height)) return false;
        const QStringList ratio = reader_->attributes()
                                      .value(QLatin1String("preserveAspectRatio"))
                                      .toString()
                                      .simplified()
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        *fit = viewBoxFit(v, width, height, ratio.value(0, QStringLiteral("xMidYMid")),
                          ratio.value(1, QStringLiteral("meet")));
        return true;
    }

    bool ownLength(const QString& attribute, double fallback, double* value) {
        bool present = false;
        if (!nonNegativeLength(attribute, value, &present)) return false;
        if (!present) *value = fallback;
        return true;
    }

    // SVG's viewBox transform: scale, then align the box in the viewport.
    static Matrix3d viewBoxFit(const double box[4], double width, double height,
                               const QString& align, const QString& meetOrSlice) {
        double sx = width / box[2], sy = height / box[3];
        double tx = -box[0] * sx, ty = -box[1] * sy;
        if (align != QLatin1String("none")) {
            const double s =
                meetOrSlice == QLatin1String("slice") ? std::max(sx, sy) : std::min(sx, sy);
            sx = sy = s;
            const double spareX = width - box[2] * s, spareY = height - box[3] * s;
            const double fx = align.contains(QLatin1String("xMid"))   ? 0.5
                              : align.contains(QLatin1String("xMax")) ? 1.0
                                                                      : 0.0;
            const double fy = align.contains(QLatin1String("YMid"))   ? 0.5
                              : align.contains(QLatin1String("YMax")) ? 1.0
                                                                      : 0.0;
            tx = -box[0] * s + fx * spareX;
            ty = -box[1] * s + fy * spareY;
        }
        return svgMatrix(sx, 0.0, 0.0, sy, tx, ty);
    }

    bool readTransformAttribute(Matrix3d* matrix) {
        *matrix = Matrix3d();
        const QStringRef text = reader_->attributes().value(QLatin1String("transform"));
        if (text.isNull()) return true;
        QString message;
        int offset = -1;
        if (!parseTransformList(text.toString(), matrix, &message, &offset))
            return attributeFailure(QStringLiteral("transform"), message, offset);
        return true;
    }

    // A length attribute in user units; absent means 0.
    bool length(const QString& attribute, double* value, bool* present = nullptr) {
        *value = 0.0;
        const QStringRef ref = reader_->attributes().value(attribute);
        if (present) *present = !ref.isNull();
        if (ref.isNull()) return true;
        const QString text = ref.toString().trimmed();
        int pos = 0;
        double number = 0.0;
        bool overflow = false;
        if (!scanNumber(text, pos, &number, &overflow) || !std::isfinite(number)) {
            return attributeFailure(attribute,
                                    overflow ? QStringLiteral("number out of range")
                                             : QStringLiteral("'%1' is not a length").arg(text));
        }
        const QString unit = text.mid(pos).trimmed();
        double scale = 1.0;
        if (!userUnitsPer(unit, &scale))
            return attributeFailure(attribute,
                                    QStringLiteral("unit '%1' is not supported (use a plain "
                                                   "number, px, pt, pc, mm, cm or in)")
                                        .arg(unit));
        *value = number * scale;
        return true;
    }

    bool nonNegativeLength(const QString& attribute, double* value, bool* present = nullptr) {
        if (!length(attribute, value, present)) return false;
        if (*value < 0.0)
            return attributeFailure(attribute, QStringLiteral("must not be negative"));
        return true;
    }

    bool readShapeElement(const QString& name, const Matrix3d& transform, const Paint& paint) {
        ++shapeElements_;
        dots_.clear();
        Shape local;
        bool ok = true;
        if (name == QLatin1String("path")) {
            ok = readPath(local);
        } else if (name == QLatin1String("rect")) {
            ok = readRect(local);
        } else if (name == QLatin1String("circle")) {
            ok = readEllipse(local, true);
        } else if (name == QLatin1String("ellipse")) {
            ok = readEllipse(local, false);
        } else if (name == QLatin1String("polygon") || name == QLatin1String("polyline")) {
            ok = readPoints(local, name == QLatin1String("polygon"));
        } else if (name == QLatin1String("line")) {
            ok = readLine(local);
        }
        if (!ok) return false;
        int knots = 0;
        for (const Spline* s : local)
            knots += s->size();
        if (knots > kMaxShapeKnots - knots_)
            return failAt(elementPlace_,
                          QStringLiteral("<%1>: %2").arg(name, tooManyKnotsMessage()));
        for (const auto& row : transform.m)
            for (double v : row)
                if (!std::isfinite(v))
                    return failAt(elementPlace_, QStringLiteral("<%1>: the combined transform is "
                                                                "out of range")
                                                     .arg(name));
        // A transform that flattens the plane draws nothing.
        const double det =
            transform.m[0][0] * transform.m[1][1] - transform.m[0][1] * transform.m[1][0];
        if (det == 0.0) return true;
        // A stroke is laid out in the element's own units, then transformed.
        carvex::Paths userPaths;
        const bool nonScaling = drawing_ && paintsStroke(paint) && nonScalingStroke();
        if (nonScaling)
            note(QStringLiteral("<%1> stroke left out: with vector-effect non-scaling-stroke its "
                                "width is in pixels of the display, not in the drawing's units")
                     .arg(name));
        if (drawing_ && paintsStroke(paint) && !nonScaling) {
            carvex::pathsOf(local, &userPaths, nullptr);
            for (const Point3d& p : dots_) {
                const carvex::PathKnot k{{p.x, p.y}, {p.x, p.y}, {p.x, p.y}, -1};
                userPaths.push_back({{k, k}, false});
            }
        }
        dots_.clear();
        if (transform != Matrix3d()) {
            local.frame = transform;
            local.setFrame(Matrix3d(), true);
        }
        CoordinateProblem problem;
        if (!checkCoordinates(local, &problem))
            return failAt(elementPlace_, QStringLiteral("<%1> subpath %2: %3")
                                             .arg(name)
                                             .arg(problem.splineIndex)
                                             .arg(problem.describe()));
        if (drawing_) {
            // The fill first: the file's colour is its first element's.
            if (!addFilledElement(name, local, paint, knots)) return false;
            return addStroke(name, userPaths, transform, paint);
        }
        for (Spline* s : local)
            s->updateLengths();
        while (!local.isEmpty())
            shape_.addSpline(local.takeFirst());
        knots_ += knots;
        return true;
    }

    bool nonScalingStroke() const {
        const QXmlStreamAttributes attributes = reader_->attributes();
        QString value = attributes.value(QLatin1String("vector-effect")).toString();
        const QString styled =
            carvex::styleDeclarations(attributes.value(QLatin1String("style")).toString())
                .value(QStringLiteral("vector-effect"));
        if (!styled.isEmpty()) value = styled;
        return value.trimmed().toLower() == QLatin1String("non-scaling-stroke");
    }

    static bool paintsStroke(const Paint& paint) {
        return paint.visible && paint.stroke.stroked && paint.stroke.style.width > 0.0;
    }

    void note(const QString& text) {
        drawing_->notes.append(QStringLiteral("%1:%2:%3: %4")
                                   .arg(fileName_)
                                   .arg(elementPlace_.line)
                                   .arg(elementPlace_.column)
                                   .arg(text));
    }

    // The stroke's region as an element of its own, filled nonzero.
    bool addStroke(const QString& name, const carvex::Paths& userPaths, const Matrix3d& transform,
                   const Paint& paint) {
        if (userPaths.empty()) return true;
        const StrokePaint& stroke = paint.stroke;
        if (!stroke.joinReadAsMiter.isEmpty())
            note(QStringLiteral("<%1> stroke-linejoin '%2' is drawn as miter")
                     .arg(name, stroke.joinReadAsMiter));
        carvex::Affine toPage;
        toPage.a = transform.m[0][0];
        toPage.b = transform.m[0][1];
        toPage.c = transform.m[1][0];
        toPage.d = transform.m[1][1];
        toPage.e = transform.m[3][0];
        toPage.f = transform.m[3][1];
        carvex::RegionResult region = carvex::stroke(userPaths, stroke.style, toPage);
        if (!region.ok())
            return failAt(elementPlace_,
                          QStringLiteral("<%1> stroke: %2")
                              .arg(name, QString::fromStdString(carvex::describe(region.status))));
        if (region.loops.empty()) return true;
        FilledElement element;
        element.paths = std::move(region.loops);
        carvex::tagKnotTypes(element.paths);
        element.colour = stroke.colour;
        drawing_->elements.push_back(std::move(element));
        return true;
    }

    bool addFilledElement(const QString& name, Shape& local, const Paint& paint, int knots) {
        if (local.isEmpty()) return true;  // draws nothing: nothing to say
        const bool stroked = paintsStroke(paint);
        QString leftOut;
        if (name == QLatin1String("line") && !stroked)
            leftOut = QStringLiteral("a line encloses no region");
        else if (!paint.filled && !stroked)
            leftOut = QStringLiteral("it has no fill (fill none), so it encloses no region");
        else if (!paint.visible)
            leftOut = QStringLiteral("it is not visible");
        if (!leftOut.isEmpty()) note(QStringLiteral("<%1> left out: %2").arg(name, leftOut));
        if (!paint.filled || !paint.visible || name == QLatin1String("line")) {
            knots_ += knots;
            return true;
        }
        FilledElement element;
        element.fill = paint.rule;
        element.colour = paint.colour;
        element.paths = filledPaths(local);
        knots_ += knots;
        drawing_->elements.push_back(std::move(element));
        return true;
    }

    bool readPath(Shape& local) {
        const QString d = reader_->attributes().value(QLatin1String("d")).toString();
        PathDataError problem;
        if (!parsePathData(d, local, &problem, kMaxShapeKnots - knots_, &dots_))
            return attributeFailure(QStringLiteral("d"), problem.message, problem.offset);
        return true;
    }

    bool readRect(Shape& local) {
        double x = 0, y = 0, w = 0, h = 0, rx = 0, ry = 0;
        bool hasRx = false;
        bool hasRy = false;
        if (!length(QStringLiteral("x"), &x) || !length(QStringLiteral("y"), &y) ||
            !nonNegativeLength(QStringLiteral("width"), &w) ||
            !nonNegativeLength(QStringLiteral("height"), &h) ||
            !nonNegativeLength(QStringLiteral("rx"), &rx, &hasRx) ||
            !nonNegativeLength(QStringLiteral("ry"), &ry, &hasRy))
            return false;
        if (w == 0.0 || h == 0.0) return true;
        // One radius given stands for both; neither may pass half a side.
        if (hasRx && !hasRy) ry = rx;
        if (hasRy && !hasRx) rx = ry;
        rx = std::min(rx, w / 2.0);
        ry = std::min(ry, h / 2.0);
        SubpathBuilder path(local);
        if (rx == 0.0 || ry == 0.0) {
            path.moveTo({x, y, 0});
            path.lineTo({x + w, y, 0});
            path.lineTo({x + w, y + h, 0});
            path.lineTo({x, y + h, 0});
            path.close();
            return true;
        }
        // Corners are arcs of the ellipse, drawn as path arcs are drawn.
        const double right = x + w;
        const double bottom = y + h;
        path.moveTo({x + rx, y, 0});
        path.lineTo({right - rx, y, 0});
        path.arcTo(rx, ry, 0.0, false, true, {right, y + ry, 0});
        path.lineTo({right, bottom - ry, 0});
        path.arcTo(rx, ry, 0.0, false, true, {right - rx, bottom, 0});
        path.lineTo({x + rx, bottom, 0});
        path.arcTo(rx, ry, 0.0, false, true, {x, bottom - ry, 0});
        path.lineTo({x, y + ry, 0});
        path.arcTo(rx, ry, 0.0, false, true, {x + rx, y, 0});
        path.close();
        return true;
    }

    bool readEllipse(Shape& local, bool circle) {
        double cx = 0, cy = 0, rx = 0, ry = 0;
        if (!length(QStringLiteral("cx"), &cx) || !length(QStringLiteral("cy"), &cy)) return false;
        if (circle) {
            if (!nonNegativeLength(QStringLiteral("r"), &rx)) return false;
            ry = rx;
        } else if (!nonNegativeLength(QStringLiteral("rx"), &rx) ||
                   !nonNegativeLength(QStringLiteral("ry"), &ry)) {
            return false;
        }
        if (rx == 0.0 || ry == 0.0) return true;
        // From the rightmost point in the direction of increasing angle
        // (clockwise on screen, y being down), as SVG does: two half arcs.
        SubpathBuilder path(local);
        path.moveTo({cx + rx, cy, 0});
        path.arcTo(rx, ry, 0.0, false, true, {cx - rx, cy, 0});
        path.arcTo(rx, ry, 0.0, false, true, {cx + rx, cy, 0});
        path.close();
        return true;
    }

    bool readPoints(Shape& local, bool closed) {
        const QString text = reader_->attributes().value(QLatin1String("points")).toString();
        QVector<double> numbers;
        int pos = 0;
        skipBlanks(text, pos);
        while (pos < text.size()) {
            double v = 0.0;
            bool overflow = false;
            if (!scanNumber(text, pos, &v, &overflow))
                return attributeFailure(QStringLiteral("points"),
                                        overflow ? QStringLiteral("number out of range")
                                                 : QStringLiteral("expected a number"),
                                        pos);
            numbers.append(v);
            // Read no further than the knots a file may hold.
            if (numbers.size() / 2 > kMaxShapeKnots - knots_)
                return attributeFailure(QStringLiteral("points"), tooManyKnotsMessage(), pos);
            const int afterNumber = pos;
            skipBlanks(text, pos);
            if (pos < text.size() && text[pos] == QLatin1Char(',')) {
                ++pos;
                skipBlanks(text, pos);
                if (pos >= text.size())
                    return attributeFailure(QStringLiteral("points"),
                                            QStringLiteral("a comma must stand between two "
                                                           "numbers"),
                                            pos - 1);
            } else if (pos == afterNumber && pos < text.size() && text[pos] != QLatin1Char('-') &&
                       text[pos] != QLatin1Char('+') && text[pos] != QLatin1Char('.')) {
                return attributeFailure(QStringLiteral("points"),
                                        QStringLiteral("expected a number"), pos);
            }
        }
        if (numbers.size() % 2 != 0)
            return attributeFailure(QStringLiteral("points"),
                                    QStringLiteral("odd count of numbers (%1): the last x has no "
                                                   "y")
                                        .arg(numbers.size()),
                                    text.size());
        if (numbers.isEmpty()) return true;
        SubpathBuilder path(local);
        path.moveTo({numbers[0], numbers[1], 0});
        for (int i = 2; i + 1 < numbers.size(); i += 2)
            path.lineTo({numbers[i], numbers[i + 1], 0});
        if (closed) path.close();
        return true;
    }

    bool readLine(Shape& local) {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        if (!length(QStringLiteral("x1"), &x1) || !length(QStringLiteral("y1"), &y1) ||
            !length(QStringLiteral("x2"), &x2) || !length(QStringLiteral("y2"), &y2))
            return false;
        SubpathBuilder path(local);
        path.moveTo({x1, y1, 0});
        path.lineTo({x2, y2, 0});
        return true;
    }

    QString text_;
    TextPlaceFinder places_;
    QHash<QString, UseTarget> useTargets_;
    QStringList usesOpen_;  // the ids of the uses being drawn, outermost first
    int usesDrawn_ = 0;
    QXmlStreamReader document_;
    // The reader in use: the document's, or one over the text of an element
    // a <use> draws, which starts at readerBase_ in text_.
    QXmlStreamReader* reader_ = &document_;
    int readerBase_ = 0;
    QString fileName_;
    Shape& shape_;
    QString* error_ = nullptr;
    Place elementPlace_;
    Place rootPlace_;
    int knots_ = 0;  // in shape_, or in the drawing's elements
    FilledDrawing* drawing_ = nullptr;
    QVector<Point3d> dots_;  // of the path element being read
    carvex::StyleSheet sheet_;
    std::vector<carvex::StyleSheet::Element> ancestry_;  // the root first
    int shapeElements_ = 0;
};

bool readTransformNumbers(const QString& text, int& pos, QVector<double>* numbers, QString* error,
                          int* errorOffset) {
    skipBlanks(text, pos);
    bool needNumber = false;
    while (pos < text.size() && text[pos] != QLatin1Char(')')) {
        double v = 0.0;
        bool overflow = false;
        if (!scanNumber(text, pos, &v, &overflow)) {
            *error = overflow ? QStringLiteral("number out of range")
                              : QStringLiteral("expected a number or ')'");
            *errorOffset = pos;
            return false;
        }
        numbers->append(v);
        skipBlanks(text, pos);
        needNumber = false;
        if (pos < text.size() && text[pos] == QLatin1Char(',')) {
            ++pos;
            skipBlanks(text, pos);
            needNumber = true;
        }
    }
    if (pos >= text.size() || needNumber) {
        *error = needNumber ? QStringLiteral("expected a number after ','")
                            : QStringLiteral("missing ')'");
        *errorOffset = pos;
        return false;
    }
    ++pos;  // ')'
    return true;
}

}  // namespace

Matrix3d svgMatrix(double a, double b, double c, double d, double e, double f) {
    Matrix3d m;
    m.m[0][0] = a;
    m.m[0][1] = b;
    m.m[1][0] = c;
    m.m[1][1] = d;
    m.m[3][0] = e;
    m.m[3][1] = f;
    return m;
}

bool parseTransformList(const QString& text, Matrix3d* matrix, QString* error, int* errorOffset) {
    QString message;
    int offset = -1;
    auto fail = [&](const QString& why, int at) {
        if (error) *error = why;
        if (errorOffset) *errorOffset = at;
        return false;
    };
    Matrix3d total;
    int pos = 0;
    skipSeparators(text, pos);
    while (pos < text.size()) {
        const int nameStart = pos;
        while (pos < text.size() && text[pos].isLetter())
            ++pos;
        const QString name = text.mid(nameStart, pos - nameStart);
        if (name.isEmpty()) return fail(QStringLiteral("expected a transform name"), pos);
        skipBlanks(text, pos);
        if (pos >= text.size() || text[pos] != QLatin1Char('('))
            return fail(QStringLiteral("expected '(' after '%1'").arg(name), pos);
        ++pos;
        QVector<double> n;
        if (!readTransformNumbers(text, pos, &n, &message, &offset)) return fail(message, offset);
        auto arity = [&](std::initializer_list<int> counts) {
            for (int c : counts)
                if (n.size() == c) return true;
            return false;
        };
        Matrix3d step;
        const double toRadians = kPi / 180.0;
        bool countOk = true;
        if (name == QLatin1String("matrix")) {
            countOk = arity({6});
            if (countOk) step = svgMatrix(n[0], n[1], n[2], n[3], n[4], n[5]);
        } else if (name == QLatin1String("translate")) {
            countOk = arity({1, 2});
            if (countOk) step = svgMatrix(1, 0, 0, 1, n[0], n.size() > 1 ? n[1] : 0.0);
        } else if (name == QLatin1String("scale")) {
            countOk = arity({1, 2});
            if (countOk) step = svgMatrix(n[0], 0, 0, n.size() > 1 ? n[1] : n[0], 0, 0);
        } else if (name == QLatin1String("rotate")) {
            countOk = arity({1, 3});
            if (countOk) {
                const double a = n[0] * toRadians;
                const double c = std::cos(a);
                const double s = std::sin(a);
                step = svgMatrix(c, s, -s, c, 0, 0);
                if (n.size() == 3) {
                    // rotate(a, cx, cy) = translate(cx, cy) rotate(a) translate(-cx, -cy)
                    step = translation({-n[1], -n[2], 0}) * step * translation({n[1], n[2], 0});
                }
            }
        } else if (name == QLatin1String("skewX")) {
            countOk = arity({1});
            if (countOk) step = svgMatrix(1, 0, std::tan(n[0] * toRadians), 1, 0, 0);
        } else if (name == QLatin1String("skewY")) {
            countOk = arity({1});
            if (countOk) step = svgMatrix(1, std::tan(n[0] * toRadians), 0, 1, 0, 0);
        } else {
            return fail(QStringLiteral("unknown transform '%1'").arg(name), nameStart);
        }
        if (!countOk)
            return fail(QStringLiteral("'%1' does not take %2 numbers").arg(name).arg(n.size()),
                        nameStart);
        // In "A B" B applies first; with row vectors that is B * A.
        total = step * total;
        skipSeparators(text, pos);
    }
    *matrix = total;
    return true;
}

bool readSvg(const QByteArray& data, const QString& fileName, Shape& shape, QString* error) {
    Shape parsed;
    SvgReader reader(data, fileName, parsed);
    if (!reader.read(error)) return false;
    shape.clear();
    shape.frame = Matrix3d();
    while (!parsed.isEmpty())
        shape.addSpline(parsed.takeFirst());
    return true;
}

bool readSvgDrawing(const QByteArray& data, const QString& fileName, FilledDrawing* drawing,
                    QString* error) {
    Shape unused;
    FilledDrawing parsed;
    SvgReader reader(data, fileName, unused);
    reader.readFilled(&parsed);
    if (!reader.read(error)) return false;
    *drawing = std::move(parsed);
    return true;
}
