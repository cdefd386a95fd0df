#pragma once

// Internal to the highlighter: the state of one highlight call shared by its passes.

#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownLineEditing.h"
#include "platform/TextLines.h"

#include <QList>
#include <QRegularExpression>
#include <QUrl>

#include <vector>

namespace quillon::highlighting {

using A = TextAttribute;

struct Regexes
{
    QRegularExpression inlineCode;
    QRegularExpression bold;
    QRegularExpression italic;
    QRegularExpression strike;
    QRegularExpression link;
    QRegularExpression tableLine;
    QRegularExpression orderedMarker;
    static const Regexes& shared();
};

struct Context
{
    AttributedText& storage;
    const QString text; // a shared copy: the passes never change characters
    const qsizetype n;
    // The text is checked for broken surrogate pairs once, not by every match.
    QRegularExpression::MatchOptions matchOptions;
    const HighlightOptions options;
    const MarkdownHighlighter::Palette palette;
    const QFont baseFont;
    const QFont codeFont;
    ParagraphStyle baseParagraph;
    QList<MarkdownLineEditing::FencedBlock> blocks;
    std::vector<TextSpan> segments;

    Context(AttributedText& storage, const HighlightOptions& options);

    bool within(TextSpan r) const { return r.location >= 0 && r.length >= 0 && r.end() <= n; }
    bool hasCaret() const { return options.isFocused && options.cursorLocation >= 0; }
    qsizetype caret() const { return options.cursorLocation; }

    // Runs `re` over every prose segment in order, each restricted to its segment.
    template <typename Visit> void enumerateProse(const QRegularExpression& re, Visit&& visit) const
    {
        for (const TextSpan& segment : segments) {
            const QStringView view = QStringView(text).mid(segment.location, segment.length);
            auto it = re.globalMatch(view, 0, QRegularExpression::NormalMatch, matchOptions);
            while (it.hasNext())
                visit(it.next(), segment.location);
        }
    }

    // Calls `visit` with every line of every prose segment, line break excluded, exactly as
    // the multi-line pattern "^.*$" matches them: an empty line between two breaks is a line,
    // the position after a break that ends the segment is none. Scanned by hand: a regular
    // expression match object per line costs more than all the styling of the line.
    template <typename Visit> void enumerateProseLines(Visit&& visit) const
    {
        for (const TextSpan& segment : segments) {
            const qsizetype end = segment.end();
            for (const textlines::LineBounds& line :
                textlines::Lines(QStringView(text).first(end), segment.location)) {
                if (line.start == end && line.start > segment.location)
                    break;
                visit(TextSpan { line.start, line.contentsEnd - line.start });
            }
        }
    }

    // Bold and italic variants of fonts already in the text, converted once per call.
    QFont bolded(const QFont& font);
    QFont italicised(const QFont& font);
    std::vector<std::pair<QFont, QFont>> boldCache;
    std::vector<std::pair<QFont, QFont>> italicCache;

    // The last link target and its URL: documents repeat their link targets.
    QString lastLinkTarget;
    QUrl lastLinkURL;

    void collapse(TextSpan r)
    {
        if (within(r) && r.length > 0)
            storage.addAttribute<A::Collapsed>(r, true);
    }
};

void styleCodeBlocks(Context& c);
void styleTableLines(Context& c);
void styleLines(Context& c);
void styleInline(Context& c);

} // namespace quillon::highlighting
