#pragma once

#include "markdown/MarkdownLineEditing.h"

#include <QRegularExpression>
#include <QStringView>

#include <optional>
#include <vector>

namespace quillon {

// Places where a Markdown text may be cut for styling: MarkdownHighlighter styling the parts on
// their own gives every character the attributes that styling the whole text gives it. That lets
// a long text be styled a stretch at a time, and the top of it before the rest.
//
// A cut is the start of a paragraph (just after a line feed) that nothing the engine styles as
// one reaches across: no fenced block (an unclosed one runs to the end of the text), no group of
// table lines (which may go on over blank lines), and no span of the engine's that may run over
// lines (underscore italics and links, which pair with their partner anywhere later in the same
// stretch of prose). Everything else the engine styles lies within one line.
//
// A line of many ten thousand characters is cut too, between words (textlines::cutsLongLine),
// where no such span runs over: a span within the line that runs over the cut may then be styled
// otherwise than in the whole line. That is the price of never styling megabytes in one go.
//
// The text is read forward once, no further than each answer needs: cuts are asked for in
// ascending order, and the text must stay unchanged (and in place) meanwhile.
class MarkdownStylingCuts
{
public:
    // `from` must be a cut of `text` itself (0 always is).
    explicit MarkdownStylingCuts(QStringView text, qsizetype from = 0);
    // The same for a text whose owner already knows whether it holds an unpaired surrogate.
    MarkdownStylingCuts(QStringView text, qsizetype from, bool validUtf16);

    // False for a text with a broken surrogate pair: the engine's matching then depends on
    // each stretch of prose as a whole, and only the end of the text is a cut.
    bool canCut() const { return m_canCut; }
    // The first cut at or after `atLeast` and at or after the last one returned; the text's
    // length when there is none.
    qsizetype next(qsizetype atLeast);
    // The ends of the fenced blocks the cuts went past, ascending. Where a fenced block ends is
    // settled by the text before that place alone, and nothing the engine styles reaches
    // across it: styling from the paragraph that follows it stays right whatever changes
    // after it.
    const std::vector<qsizetype>& fenceEnds() const { return m_fenceEnds; }

    // Lines from twice `length` on are cut into parts about `length` long; 0 restores the
    // default.
    static void setLinePartForTesting(qsizetype length);

private:
    // A paragraph start at or after `position`, or the text's length.
    qsizetype paragraphStart(qsizetype position) const;
    bool followsTableLine(qsizetype cut) const;
    // The start of the line holding `index`.
    qsizetype lineStart(qsizetype index) const;
    // The end of a span that the engine's pass of `re` over the current stretch of prose matches
    // across `cut`, if any. `resume` is where that pass is known to go on from.
    std::optional<qsizetype> spanAcross(
        const QRegularExpression& re, qsizetype& resume, qsizetype cut, qsizetype stretchEnd);
    void enterStretch(qsizetype start);

    QStringView m_text;
    bool m_canCut = true;
    qsizetype m_last = 0;
    qsizetype m_stretchStart = 0; // of the prose the cuts lie in, after a fenced block or at `from`
    bool m_fenceKnown = false;
    std::optional<MarkdownLineEditing::FencedBlock> m_fence; // the next one, in text offsets
    qsizetype m_italicResume = 0;
    qsizetype m_linkResume = 0;
    std::vector<qsizetype> m_fenceEnds;
    // The start of the line that the offset m_lineKnownAt lies in (-1: none known yet).
    mutable qsizetype m_lineKnownAt = -1;
    mutable qsizetype m_lineKnownStart = 0;
};

} // namespace quillon
