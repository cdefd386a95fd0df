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

// Inline-code texts are recorded in text order by the first inline pass; each later pass walks
// the list with a cursor as its matches advance through the text.
struct InlineCodeSpans
{
    std::vector<TextSpan> spans;
    size_t cursor = 0;

    void restart() { cursor = 0; }
    bool contains(qsizetype position)
    {
        if (cursor > 0 && cursor <= spans.size() && spans[cursor - 1].location > position)
            cursor = 0; // a new segment or pass began behind us
        while (cursor < spans.size() && spans[cursor].end() <= position)
            ++cursor;
        return cursor < spans.size() && spans[cursor].contains(position);
    }
};

QFont fontAt(const Context& c, qsizetype position)
{
    const QFont* font = c.storage.attribute<A::Font>(position);
    return font ? *font : c.baseFont;
}

void styleInlineCode(
    Context& c, InlineCodeSpans& code, const QRegularExpressionMatch& m, qsizetype offset)
{
    if (m.capturedLength(1) <= 0)
        return;
    const TextSpan whole { offset + m.capturedStart(0), m.capturedLength(0) };
    const TextSpan inner { offset + m.capturedStart(1), m.capturedLength(1) };
    c.storage.addAttribute<A::Font>(whole, c.codeFont);
    c.storage.addAttribute<A::ForegroundColor>(whole, c.palette.codeTextColor);
    c.storage.addAttribute<A::InlineCode>(inner, c.palette.codeBackgroundColor);
    code.spans.push_back(inner);
    hideInlineMarkers(c, whole.location, whole.end() - 1, 1);
}

void styleBold(
    Context& c, InlineCodeSpans& code, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (code.contains(start))
        return;
    const TextSpan inner { offset + m.capturedStart(1), m.capturedLength(1) };
    c.storage.addAttribute<A::Font>(inner, c.bolded(fontAt(c, inner.location)));
    hideInlineMarkers(c, start, inner.end(), 2);
}

void styleItalic(
    Context& c, InlineCodeSpans& code, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (code.contains(start))
        return;
    const int group = m.capturedStart(1) >= 0 ? 1 : (m.capturedStart(2) >= 0 ? 2 : 0);
    if (group == 0)
        return;
    const TextSpan inner { offset + m.capturedStart(group), m.capturedLength(group) };
    c.storage.addAttribute<A::Font>(inner, c.italicised(fontAt(c, inner.location)));
    hideInlineMarkers(c, start, inner.end(), 1);
}

void styleStrike(
    Context& c, InlineCodeSpans& code, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (code.contains(start))
        return;
    const TextSpan inner { offset + m.capturedStart(1), m.capturedLength(1) };
    c.storage.addAttribute<A::StrikethroughStyle>(inner, 1);
    c.storage.addAttribute<A::ForegroundColor>(inner, c.palette.markerColor);
    hideInlineMarkers(c, start, inner.end(), 2);
}

void styleLink(
    Context& c, InlineCodeSpans& code, const QRegularExpressionMatch& m, qsizetype offset)
{
    const qsizetype start = offset + m.capturedStart(0);
    if (code.contains(start))
        return;
    const QStringView targetText = m.capturedView(2);
    if (targetText != c.lastLinkTarget) {
        c.lastLinkTarget = targetText.toString();
        // Strict: a target with a space, a line break or another character that a URL cannot
        // hold is no URL, and the text stays plain (a tolerant parse would escape them).
        c.lastLinkURL = QUrl(c.lastLinkTarget, QUrl::StrictMode);
    }
    const QUrl& url = c.lastLinkURL;
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
    InlineCodeSpans code;
    // A text without a pattern's marker character cannot match it.
    auto run = [&](const QRegularExpression& regex, bool possible, auto style) {
        if (!possible)
            return;
        code.restart();
        c.enumerateProse(regex,
            [&](const QRegularExpressionMatch& m, qsizetype offset) { style(c, code, m, offset); });
    };
    const QString& t = c.text;
    run(re.inlineCode, t.contains(u'`'), styleInlineCode);
    run(re.bold, t.contains(u'*'), styleBold);
    run(re.italic, t.contains(u'*') || t.contains(u'_'), styleItalic);
    run(re.strike, t.contains(u'~'), styleStrike);
    run(re.link, t.contains(u'['), styleLink);
}

} // namespace quillon::highlighting
