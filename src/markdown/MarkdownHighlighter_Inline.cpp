// Inline spans (code, bold, italic, strikethrough, links) and the hiding of their markers.

#include "markdown/MarkdownHighlighter_Context.h"

#include <QUrl>

namespace quillon::highlighting {

namespace {

// Markers of a span: opening at `open`, closing at `close`, both `length` units long. The caret
// reveals them just before or on the opening marker, and on or just after the closing one.
void hideInlineMarkers(Context& c, qsizetype open, qsizetype close, qsizetype length)
{
    if (!c.options.isReadingMode)
        return;
    if (c.hasCaret()) {
        const qsizetype caret = c.caret();
        if ((open <= caret && caret < open + length) || (close <= caret && caret <= close + length))
            return;
    }
    c.collapse({ open, length });
    c.collapse({ close, length });
}

bool isInsideInlineCode(const Context& c, qsizetype position)
{
    return position >= 0 && position < c.n && c.storage.hasAttribute(A::InlineCode, position);
}

QFont fontAt(const Context& c, qsizetype position)
{
    const QFont* font = c.storage.attribute<A::Font>(position);
    return font ? *font : c.baseFont;
}

void styleInlineCode(Context& c, const QRegularExpressionMatch& m, qsizetype offset)
{
    if (m.capturedLength(1) <= 0)
        return;
    const TextSpan whole { offset + m.capturedStart(0), m.capturedLength(0) };
    const TextSpan code { offset + m.capturedStart(1), m.capturedLength(1) };
    c.storage.addAttribute<A::Font>(whole, c.codeFont);
    c.storage.addAttribute<A::ForegroundColor>(whole, c.palette.codeTextColor);
    c.storage.addAttribute<A::InlineCode>(code, c.palette.codeBackgroundColor);
    hideInlineMarkers(c, whole.location, whole.end() - 1, 1);
}

void styleBold(Context& c, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (isInsideInlineCode(c, start))
        return;
    const TextSpan inner { offset + m.capturedStart(1), m.capturedLength(1) };
    c.storage.addAttribute<A::Font>(inner, c.bolded(fontAt(c, inner.location)));
    hideInlineMarkers(c, start, inner.end(), 2);
}

void styleItalic(Context& c, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (isInsideInlineCode(c, start))
        return;
    const int group = m.capturedStart(1) >= 0 ? 1 : (m.capturedStart(2) >= 0 ? 2 : 0);
    if (group == 0)
        return;
    const TextSpan inner { offset + m.capturedStart(group), m.capturedLength(group) };
    c.storage.addAttribute<A::Font>(inner, c.italicised(fontAt(c, inner.location)));
    hideInlineMarkers(c, start, inner.end(), 1);
}

void styleStrike(Context& c, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (isInsideInlineCode(c, start))
        return;
    const TextSpan inner { offset + m.capturedStart(1), m.capturedLength(1) };
    c.storage.addAttribute<A::StrikethroughStyle>(inner, 1);
    c.storage.addAttribute<A::ForegroundColor>(inner, c.palette.markerColor);
    hideInlineMarkers(c, start, inner.end(), 2);
}

void styleLink(Context& c, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (isInsideInlineCode(c, start))
        return;
    const QUrl url(m.captured(2), QUrl::TolerantMode);
    if (!url.isValid() || url.isEmpty())
        return;
    const TextSpan label { offset + m.capturedStart(1), m.capturedLength(1) };
    const TextSpan target { offset + m.capturedStart(2), m.capturedLength(2) };
    c.storage.addAttribute<A::Link>(label, url);
    c.storage.addAttribute<A::ForegroundColor>(label, c.palette.linkColor);
    c.storage.addAttribute<A::UnderlineStyle>(label, 1);

    const TextSpan syntax[4] = { { start, 1 }, { label.end(), 2 }, target, { target.end(), 1 } };
    bool revealed = false;
    if (c.hasCaret()) {
        const qsizetype caret = c.caret();
        revealed = (start <= caret && caret < start + 1)
            || (label.end() <= caret && caret <= target.end() + 1);
    }
    if (!c.options.isReadingMode || revealed) {
        for (const TextSpan& r : syntax) {
            if (c.within(r))
                c.storage.addAttribute<A::ForegroundColor>(r, c.palette.markerColor);
        }
    } else {
        for (const TextSpan& r : syntax)
            c.collapse(r);
    }
}

} // namespace

void styleInline(Context& c)
{
    const Regexes& re = Regexes::shared();
    // Each pattern needs its marker character; a segment without it cannot match.
    auto run = [&](const QRegularExpression& regex, QChar required, auto style) {
        if (!c.text.contains(required))
            return;
        c.enumerateProse(regex,
            [&](const QRegularExpressionMatch& m, qsizetype offset) { style(c, m, offset); });
    };
    run(re.inlineCode, u'`', styleInlineCode);
    run(re.bold, u'*', styleBold);
    if (c.text.contains(u'*') || c.text.contains(u'_'))
        c.enumerateProse(re.italic,
            [&](const QRegularExpressionMatch& m, qsizetype offset) { styleItalic(c, m, offset); });
    run(re.strike, u'~', styleStrike);
    run(re.link, u'[', styleLink);
}

} // namespace quillon::highlighting
