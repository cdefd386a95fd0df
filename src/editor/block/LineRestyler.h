#pragma once

#include "markdown/MarkdownHighlighter.h"
#include "platform/AttributedText.h"

#include <QTextBlock>

#include <functional>
#include <optional>

class QTextDocument;

namespace quillon {

// Restyles a few paragraphs of the storage on their own when they hold no fence or table line
// and lie outside fenced blocks: what the whole-document pass gives them then depends on their
// own text, except for link and underscore spans that run over several lines. The editor sends
// edits that add or remove such syntax to the whole-document pass, and runs that pass once
// typing pauses, which also settles spans that a caret move revealed on another line.
class LineRestyler
{
public:
    // The storage range of paragraphs [firstBlock, lastBlock], line breaks included, when it can
    // be styled on its own. The document holds the storage from `start` on.
    // `startsSoftly(block)` tells a paragraph that is a part of a long line after its first:
    // a stretch widened for spans over lines takes in one such part on either side, no more, so
    // that a key in a line of megabytes restyles a few parts of it.
    static std::optional<TextSpan> isolatedRange(const AttributedText& storage,
        const QTextDocument& document, int firstBlock, int lastBlock, qsizetype start = 0,
        const std::function<bool(int block)>& startsSoftly = {});
    // Widens [first, last] to the paragraph around it, bounded by blank lines, and within a long
    // line to one part on either side.
    static void widenToParagraph(
        QTextBlock& first, QTextBlock& last, const std::function<bool(int block)>& startsSoftly);
    // Styles `range` as the whole-document pass would; the caret counts only inside it.
    static void highlight(AttributedText& storage, TextSpan range, HighlightOptions options);
};

} // namespace quillon
