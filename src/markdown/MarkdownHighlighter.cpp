#include "markdown/MarkdownHighlighter.h"

#include "markdown/MarkdownHighlighter_Context.h"
#include "markdown/MarkdownTableProjection.h"
#include "platform/TextLines.h"

#include <QFontDatabase>

namespace quillon {

namespace highlighting {

namespace {

QRegularExpression compile(const QString& pattern)
{
    // "(*ANY)": every Unicode line terminator ends a line for "." and the anchors.
    QRegularExpression re(
        QStringLiteral("(*ANY)") + pattern, QRegularExpression::UseUnicodePropertiesOption);
    Q_ASSERT(re.isValid());
    if (!re.isValid())
        qFatal("Invalid built-in regular expression: %s", qPrintable(pattern));
    re.optimize();
    return re;
}

} // namespace

const Regexes& Regexes::shared()
{
    static const Regexes regexes {
        compile(QStringLiteral(R"(`([^`\n]+)`)")),
        compile(QStringLiteral(R"(\*\*(.*?)\*\*)")),
        compile(QStringLiteral(R"((?<!\*)\*(?!\*)(.*?)(?<!\*)\*(?!\*)|_([^_]+)_)")),
        compile(QStringLiteral(R"(~~(.*?)~~)")),
        compile(QStringLiteral(R"(\[([^\]]+)\]\(([^\)]+)\))")),
        compile(QStringLiteral(R"((?m)^\|.*$)")),
        compile(QStringLiteral(R"(^(?:\d{1,9}|[a-zA-Z]{1,4})[.)]\s)")),
    };
    return regexes;
}

Context::Context(AttributedText& storage, const HighlightOptions& options)
    : storage(storage)
    , text(storage.text())
    , n(text.size())
    , options(options)
    , palette(MarkdownHighlighter::palette(options.isDarkMode))
    , baseFont(MarkdownHighlighter::systemFont(options.fontSize))
    , codeFont(MarkdownHighlighter::monospacedFont(options.fontSize - 1))
{
    baseParagraph.lineSpacing = 4;
    baseParagraph.paragraphSpacing = 2;
    if (textlines::isValidUtf16(text))
        matchOptions = QRegularExpression::DontCheckSubjectStringMatchOption;
}

QFont Context::bolded(const QFont& font)
{
    for (const auto& [from, to] : boldCache) {
        if (from == font)
            return to;
    }
    boldCache.emplace_back(font, MarkdownHighlighter::boldFont(font));
    return boldCache.back().second;
}

QFont Context::italicised(const QFont& font)
{
    for (const auto& [from, to] : italicCache) {
        if (from == font)
            return to;
    }
    italicCache.emplace_back(font, MarkdownHighlighter::italicFont(font));
    return italicCache.back().second;
}

} // namespace highlighting

using namespace highlighting;

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// One to nine digits or one to four ASCII letters, "." or ")", then a space character.
bool couldBeOrderedMarker(QStringView rest)
{
    qsizetype i = 0;
    if (!rest.isEmpty() && rest[0].isDigit()) {
        while (i < rest.size() && i < 10 && rest[i].isDigit())
            ++i;
        if (i > 9)
            return false;
    } else {
        while (i < rest.size() && i < 5 && isAsciiLetter(rest[i]))
            ++i;
        if (i == 0 || i > 4)
            return false;
    }
    return i + 1 < rest.size() && (rest[i] == u'.' || rest[i] == u')') && rest[i + 1].isSpace();
}

} // namespace

MarkdownHighlighter::Palette MarkdownHighlighter::palette(bool dark)
{
    auto grey = [](qreal g) { return QColor::fromRgbF(g, g, g, 1); };
    if (dark) {
        return { grey(0.98), grey(1.0), grey(0.75), grey(0.75), QColor::fromRgbF(1.0, 0.55, 0.55),
            grey(0.15), QColor::fromRgbF(0.45, 0.75, 1.0) };
    }
    return { grey(0.1), grey(0.05), grey(0.35), grey(0.25), QColor::fromRgbF(0.85, 0.1, 0.3),
        grey(0.95), QColor::fromRgbF(0.0, 0.48, 1.0) };
}

QFont MarkdownHighlighter::systemFont(qreal size, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(qMax(1, qRound(size)));
    font.setWeight(weight);
    return font;
}

QFont MarkdownHighlighter::monospacedFont(qreal size, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(qMax(1, qRound(size)));
    font.setWeight(weight);
    return font;
}

QFont MarkdownHighlighter::boldFont(const QFont& font)
{
    QFont bold = font;
    bold.setWeight(QFont::Bold);
    return bold;
}

QFont MarkdownHighlighter::italicFont(const QFont& font)
{
    QFont italic = font;
    italic.setItalic(true);
    return italic;
}

std::optional<MarkdownHighlighter::ListItem> MarkdownHighlighter::listItem(QStringView line)
{
    int tabs = 0;
    int spaces = 0;
    qsizetype i = 0;
    for (; i < line.size(); ++i) {
        if (line[i] == u'\t')
            ++tabs;
        else if (line[i] == u' ')
            ++spaces;
        else
            break;
    }
    ListItem item;
    item.markerOffset = tabs + spaces;
    item.level = tabs + spaces / 2;
    const QStringView rest = line.mid(i);
    if (rest.startsWith(u"- ") || rest.startsWith(u"* ") || rest.startsWith(u"+ ")) {
        const QStringView after = rest.mid(2);
        for (const auto* box : { u"[ ] ", u"[x] ", u"[X] " }) {
            if (after.startsWith(QStringView(box))) {
                item.kind
                    = box[1] == u' ' ? ListItem::Kind::uncheckedTask : ListItem::Kind::checkedTask;
                item.markerLength = 6;
                return item;
            }
        }
        for (const auto* box : { u"[ ]", u"[x]", u"[X]" }) {
            if (after == QStringView(box)) {
                item.kind
                    = box[1] == u' ' ? ListItem::Kind::uncheckedTask : ListItem::Kind::checkedTask;
                item.markerLength = 5;
                return item;
            }
        }
        item.kind = ListItem::Kind::bullet;
        item.markerLength = 2;
        return item;
    }
    // Most lines are prose: reject them before asking the regular expression.
    if (!couldBeOrderedMarker(rest))
        return std::nullopt;
    const QRegularExpressionMatch m = Regexes::shared().orderedMarker.match(rest);
    if (!m.hasMatch())
        return std::nullopt;
    item.kind = ListItem::Kind::ordered;
    item.markerLength = int(m.capturedLength(0));
    return item;
}

void MarkdownHighlighter::highlight(AttributedText& storage, const HighlightOptions& options)
{
    if (storage.isEmpty())
        return;
    Context c(storage, options);

    c.blocks = MarkdownLineEditing::fencedBlocks(c.text);
    qsizetype p = 0;
    for (const auto& block : c.blocks) {
        const qsizetype start = qMin(block.range.location, c.n);
        if (p < start)
            c.segments.push_back({ p, start - p });
        p = qMax(p, block.range.end());
    }
    if (p < c.n)
        c.segments.push_back({ p, c.n - p });

    // Keep table attachments across the reset of every other attribute.
    std::vector<std::pair<TextSpan, TextAttachmentPtr>> attachments;
    storage.enumerateAttribute<A::Attachment>(
        { 0, c.n }, [&](TextSpan r, const TextAttachmentPtr* a) {
            if (a && *a)
                attachments.emplace_back(r, *a);
        });
    TextAttributes base;
    base.font = c.baseFont;
    base.foregroundColor = c.palette.textColor;
    base.paragraphStyle = c.baseParagraph;
    storage.setAttributes({ 0, c.n }, base);
    for (const auto& [range, attachment] : attachments) {
        storage.addAttribute<A::Attachment>(range, attachment);
        // A table keeps the spacing it was installed with, restyle after restyle.
        if (dynamic_cast<const TableAttachment*>(attachment.get()))
            storage.addAttribute<A::ParagraphStyle>(
                range, MarkdownTableProjection::tableParagraphStyle());
    }

    styleCodeBlocks(c);
    styleTableLines(c);
    styleLines(c);
    styleInline(c);
}

} // namespace quillon
