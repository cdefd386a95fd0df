// Line and block styling: fenced code, pipe-table lines, headings, quotes, lists, rules, blanks.

#include "markdown/CodeTokenizer.h"
#include "markdown/MarkdownHighlighter_Context.h"
#include "platform/TextLines.h"

#include <QFontMetricsF>

#include <cmath>

namespace quillon::highlighting {

namespace {

QColor grey(qreal g, qreal alpha = 1)
{
    return QColor::fromRgbF(g, g, g, alpha);
}

struct CodeColors
{
    QColor fill, border, text, fence, keyword, stringOrNumber, comment;
};

CodeColors codeColors(bool dark)
{
    if (dark) {
        return { grey(0.145), grey(1.0, 0.1), grey(0.8), grey(0.45),
            QColor::fromRgbF(1.0, 0.42, 0.23), QColor::fromRgbF(0.353, 0.671, 1.0), grey(0.48) };
    }
    return { grey(1.0), grey(0.0, 0.08), grey(0.3), grey(0.62),
        QColor::fromRgbF(0.784, 0.22, 0.039), QColor::fromRgbF(0.102, 0.396, 0.839), grey(0.58) };
}

void applySyntaxColors(
    Context& c, const MarkdownLineEditing::FencedBlock& block, const CodeColors& colors)
{
    if (block.contentRange.length <= 0)
        return;
    const auto language = CodeTokenizer::language(block.infoString);
    if (!language)
        return;
    const QStringView code
        = QStringView(c.text).mid(block.contentRange.location, block.contentRange.length);
    const qsizetype shift = block.contentRange.location;
    for (const CodeTokenizer::Token& token : CodeTokenizer::tokenize(code, language)) {
        const TextSpan r { token.range.location + shift, token.range.length };
        if (!c.within(r))
            continue;
        switch (token.kind) {
        case CodeTokenizer::TokenKind::Keyword:
            c.storage.addAttribute<A::ForegroundColor>(r, colors.keyword);
            break;
        case CodeTokenizer::TokenKind::String:
        case CodeTokenizer::TokenKind::Number:
            c.storage.addAttribute<A::ForegroundColor>(r, colors.stringOrNumber);
            break;
        case CodeTokenizer::TokenKind::Comment:
            c.storage.addAttribute<A::ForegroundColor>(r, colors.comment);
            break;
        }
    }
}

void styleCodeBlock(
    Context& c, const MarkdownLineEditing::FencedBlock& block, const CodeColors& colors)
{
    using Metrics = MarkdownHighlighter::CodeBlockMetrics;
    if (block.range.end() > c.n)
        return;
    const TextSpan whole = block.range;
    c.storage.addAttribute<A::Font>(whole, c.codeFont);
    c.storage.addAttribute<A::ForegroundColor>(whole, colors.text);
    c.storage.addAttribute<A::CodeBlock>(whole, CodeBlockDecoration { colors.fill, colors.border });
    c.storage.addAttribute<A::ForegroundColor>(block.openFenceLine, colors.fence);
    if (block.closeFenceLine)
        c.storage.addAttribute<A::ForegroundColor>(*block.closeFenceLine, colors.fence);

    qsizetype p = whole.location;
    while (p < whole.end()) {
        const textlines::LineBounds line = textlines::lineBounds(c.text, p);
        ParagraphStyle style;
        style.lineSpacing = 3;
        style.firstLineHeadIndent = Metrics::padLeft;
        style.headIndent = Metrics::padLeft;
        style.tailIndent = -Metrics::padRight;
        if (line.start == whole.location)
            style.paragraphSpacingBefore = Metrics::padTop;
        if (line.end >= whole.end())
            style.paragraphSpacing = Metrics::padBottom;
        const qsizetype from = qMax(line.start, whole.location);
        const qsizetype to = qMin(line.end, whole.end());
        if (to > from)
            c.storage.addAttribute<A::ParagraphStyle>({ from, to - from }, style);
        if (line.end == line.start)
            break;
        p = line.end;
    }
    applySyntaxColors(c, block, colors);
}

struct TableColors
{
    QColor headerFill, fillA, fillB, text, separatorText;
};

} // namespace

void styleCodeBlocks(Context& c)
{
    const CodeColors colors = codeColors(c.options.isDarkMode);
    for (const auto& block : c.blocks)
        styleCodeBlock(c, block, colors);
}

void styleTableLines(Context& c)
{
    // Every table line starts with a bar: a text without one (most lines restyled after a key)
    // skips the pattern.
    if (!c.text.contains(u'|'))
        return;
    const bool dark = c.options.isDarkMode;
    const TableColors colors = dark
        ? TableColors { grey(0.18), grey(0.14), grey(0.16), grey(0.98), grey(0.75) }
        : TableColors { grey(0.94), grey(0.98), grey(0.96), grey(0.1), grey(0.35) };

    // Groups of table lines separated only by line breaks (blank lines included). Each match is
    // one line, so a group's rows are its matches whichever line terminator ends them.
    std::vector<std::vector<TextSpan>> groups;
    qsizetype previousEnd = -1;
    c.enumerateProse(
        Regexes::shared().tableLine, [&](const QRegularExpressionMatch& m, qsizetype offset) {
            const TextSpan line { offset + m.capturedStart(0), m.capturedLength(0) };
            bool onlyBreaks = !groups.empty();
            for (qsizetype i = previousEnd; onlyBreaks && i < line.location; ++i)
                onlyBreaks = textlines::isLineBreak(c.text[i]);
            if (!onlyBreaks)
                groups.emplace_back();
            groups.back().push_back(line);
            previousEnd = line.end();
        });
    if (groups.empty())
        return;

    const QFont font = MarkdownHighlighter::monospacedFont(c.options.fontSize - 1);
    const QFont headerFont
        = MarkdownHighlighter::monospacedFont(c.options.fontSize - 1, QFont::DemiBold);
    ParagraphStyle style;
    style.lineSpacing = 4;
    style.paragraphSpacing = 0;

    auto isSeparator = [&](TextSpan r, QStringView marks) {
        return QStringView(c.text).mid(r.location, r.length).contains(marks);
    };
    for (const std::vector<TextSpan>& lines : groups) {
        bool hasSeparator = false;
        for (const TextSpan& r : lines)
            hasSeparator = hasSeparator || isSeparator(r, u"---");
        const int k = hasSeparator ? -2 : -1;
        for (int i = 0; i < int(lines.size()); ++i) {
            const TextSpan& r = lines[size_t(i)];
            c.storage.addAttribute<A::ParagraphStyle>(r, style);
            if (isSeparator(r, u"---") || isSeparator(r, u"===")) {
                c.storage.addAttribute<A::Font>(r, font);
                c.storage.addAttribute<A::ForegroundColor>(r, colors.separatorText);
                c.storage.addAttribute<A::BackgroundColor>(r, colors.headerFill);
            } else if (i == 0) {
                c.storage.addAttribute<A::Font>(r, headerFont);
                c.storage.addAttribute<A::ForegroundColor>(r, colors.text);
                c.storage.addAttribute<A::BackgroundColor>(r, colors.headerFill);
            } else {
                c.storage.addAttribute<A::Font>(r, font);
                c.storage.addAttribute<A::ForegroundColor>(r, colors.text);
                c.storage.addAttribute<A::BackgroundColor>(
                    r, (i + k) % 2 == 0 ? colors.fillA : colors.fillB);
            }
        }
    }
}

namespace {

struct HeadingStyle
{
    QStringView prefix;
    qreal paragraphSpacing;
    qreal spacingBefore;
    qreal sizeIncrease;
    QFont::Weight weight;
};

constexpr int kHeadingCount = 3;
const HeadingStyle kHeadings[kHeadingCount] = {
    { u"# ", 6, 14, 14, QFont::Bold },
    { u"## ", 5, 12, 8, QFont::Bold },
    { u"### ", 4, 10, 4, QFont::DemiBold },
};

int headingIndex(QStringView line)
{
    for (int h = 0; h < kHeadingCount; ++h) {
        if (line.startsWith(kHeadings[h].prefix))
            return h;
    }
    return -1;
}

bool isBlank(QStringView line)
{
    for (QChar ch : line) {
        if (!textlines::isHorizontalSpace(ch))
            return false;
    }
    return true;
}

// Shows a list marker the caret touches hanging left of the item's text.
void revealMarkerInGutter(Context& c, const MarkdownHighlighter::ListItem& item, QStringView line,
    TextSpan lineRange, TextSpan paragraphRange)
{
    const ParagraphStyle* current = c.storage.attribute<A::ParagraphStyle>(lineRange.location);
    if (!current)
        return;
    const qsizetype length
        = qMin<qsizetype>(line.size() - item.markerOffset, qsizetype(item.markerLength));
    const QString marker = line.mid(item.markerOffset, qMax<qsizetype>(0, length)).toString();
    const qreal width = QFontMetricsF(c.baseFont).horizontalAdvance(marker);
    ParagraphStyle style = *current;
    style.firstLineHeadIndent
        = qMax(style.headIndent - width, MarkdownHighlighter::ListMetrics::nestIndent * item.level);
    c.storage.addAttribute<A::ParagraphStyle>(paragraphRange, style);
}

void hideLineMarker(Context& c, const std::optional<MarkdownHighlighter::ListItem>& item,
    QStringView line, TextSpan lineRange)
{
    using Kind = MarkdownHighlighter::ListItem::Kind;
    if (!item) {
        qsizetype length = 0;
        if (line.startsWith(u"### "))
            length = 4;
        else if (line.startsWith(u"## "))
            length = 3;
        else if (line.startsWith(u"# "))
            length = 2;
        else if (line.startsWith(u"> "))
            length = 2;
        else if (line.startsWith(u">"))
            length = 1;
        c.collapse({ lineRange.location, length });
        return;
    }
    const qsizetype length
        = qMin(qMax<qsizetype>(line.size() - item->markerOffset, 0), qsizetype(item->markerLength));
    if (length <= 0 || item->kind == Kind::ordered)
        return;
    const TextSpan marker { lineRange.location + item->markerOffset, length };
    const qreal center = MarkdownHighlighter::ListMetrics::nestIndent * item->level
        + MarkdownHighlighter::ListMetrics::markerCenterX;
    c.collapse(marker);
    if (item->kind == Kind::bullet)
        c.storage.addAttribute<A::Bullet>(marker, center);
    else
        c.storage.addAttribute<A::Checkbox>(
            marker, CheckboxDecoration { item->kind == Kind::checkedTask, center });
}

void handleLineMarker(Context& c, const std::optional<MarkdownHighlighter::ListItem>& item,
    QStringView line, TextSpan lineRange, TextSpan paragraphRange)
{
    qsizetype offset = 0;
    qsizetype length = 0;
    if (item) {
        offset = item->markerOffset;
        length = item->markerLength;
    } else if (line.startsWith(u"### ")) {
        length = 4;
    } else if (line.startsWith(u"## ")) {
        length = 3;
    } else if (line.startsWith(u"# ")) {
        length = 2;
    } else if (line.startsWith(u"> ")) {
        length = 2;
    } else if (line.startsWith(u">")) {
        length = 1;
    } else {
        return;
    }
    const qsizetype m = lineRange.location + offset;
    if (c.hasCaret() && m <= c.caret() && c.caret() <= m + length) {
        if (item && item->kind != MarkdownHighlighter::ListItem::Kind::ordered)
            revealMarkerInGutter(c, *item, line, lineRange, paragraphRange);
        return;
    }
    hideLineMarker(c, item, line, lineRange);
}

} // namespace

void styleLines(Context& c)
{
    using Kind = MarkdownHighlighter::ListItem::Kind;
    using Metrics = MarkdownHighlighter::ListMetrics;
    // Measured, and the heading fonts made, only for a range that needs them: a line restyled
    // after a key seldom does, and looking a font's metrics up costs more than styling the line.
    std::optional<qreal> listLineHeightOnce;
    const auto listLineHeight = [&] {
        if (!listLineHeightOnce) {
            const QFontMetricsF baseMetrics(c.baseFont);
            listLineHeightOnce = std::ceil(baseMetrics.ascent() + baseMetrics.descent());
        }
        return *listLineHeightOnce;
    };

    ParagraphStyle blank;
    blank.lineSpacing = 1;
    ParagraphStyle quote;
    quote.lineSpacing = 4;
    quote.paragraphSpacing = 3;
    quote.firstLineHeadIndent = 24;
    quote.headIndent = 24;
    std::optional<QFont> headingFonts[kHeadingCount];
    const auto headingFont = [&](int h) -> const QFont& {
        if (!headingFonts[h]) {
            headingFonts[h] = MarkdownHighlighter::systemFont(
                c.options.fontSize + kHeadings[h].sizeIncrease, kHeadings[h].weight);
        }
        return *headingFonts[h];
    };
    ParagraphStyle headingStyles[kHeadingCount];
    for (int h = 0; h < kHeadingCount; ++h) {
        headingStyles[h].lineSpacing = 4;
        headingStyles[h].paragraphSpacing = kHeadings[h].paragraphSpacing;
        headingStyles[h].paragraphSpacingBefore = kHeadings[h].spacingBefore;
    }

    c.enumerateProseLines([&](TextSpan lineRange) {
        const QStringView line = QStringView(c.text).mid(lineRange.location, lineRange.length);
        if (line.startsWith(u'|'))
            return;
        const TextSpan paragraphRange { lineRange.location,
            lineRange.length + (lineRange.end() < c.n ? 1 : 0) };
        std::optional<MarkdownHighlighter::ListItem> item;

        if (isBlank(line)) {
            c.storage.addAttribute<A::ParagraphStyle>(paragraphRange, blank);
        } else if (const int h = headingIndex(line); h >= 0) {
            c.storage.addAttribute<A::ParagraphStyle>(paragraphRange, headingStyles[h]);
            c.storage.addAttribute<A::Font>(lineRange, headingFont(h));
            c.storage.addAttribute<A::ForegroundColor>(lineRange, c.palette.headingColor);
        } else if (line.startsWith(u'>')) {
            c.storage.addAttribute<A::ParagraphStyle>(paragraphRange, quote);
            c.storage.addAttribute<A::ForegroundColor>(lineRange, c.palette.textColor);
            c.storage.addAttribute<A::Font>(lineRange, c.baseFont);
            c.storage.addAttribute<A::BlockquoteBorder>(lineRange, c.palette.quoteBarColor);
        } else if ((item = MarkdownHighlighter::listItem(line))) {
            const qreal indent = Metrics::nestIndent * item->level;
            const bool ordered = item->kind == Kind::ordered;
            const qreal head = indent + (ordered ? Metrics::orderedGutter : Metrics::gutter);
            ParagraphStyle style;
            style.lineSpacing = 4;
            style.minimumLineHeight = listLineHeight();
            style.maximumLineHeight = listLineHeight();
            style.headIndent = head;
            style.firstLineHeadIndent = ordered ? indent : head;
            c.storage.addAttribute<A::ParagraphStyle>(paragraphRange, style);
            const TextSpan marker { lineRange.location + item->markerOffset,
                qMin(qMax<qsizetype>(lineRange.length - item->markerOffset, 0),
                    qsizetype(item->markerLength)) };
            c.storage.addAttribute<A::ForegroundColor>(marker, c.palette.markerColor);
            c.storage.addAttribute<A::Font>(marker, c.baseFont);
        } else if (line == u"---" || line == u"***" || line == u"___") {
            c.storage.addAttribute<A::ForegroundColor>(lineRange, c.palette.markerColor);
        }

        if (c.options.isReadingMode)
            handleLineMarker(c, item, line, lineRange, paragraphRange);
    });
}

} // namespace quillon::highlighting
