#include "editor/block/LineRestyler.h"

#include "markdown/StructureAroundEdit.h"

#include <QTextBlock>
#include <QTextDocument>

#include <utility>

namespace quillon {

namespace {

bool isBlank(const QTextBlock& block)
{
    return block.text().trimmed().isEmpty();
}

// Characters of spans that may pair up with their partner on another line of the paragraph
// (links, underscores, inline code) or make the paragraph a table.
bool pairsAcrossLines(QStringView text)
{
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'|':
        case u'_':
        case u'[':
        case u']':
        case u'(':
        case u')':
        case u'`':
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

void LineRestyler::widenToParagraph(
    QTextBlock& first, QTextBlock& last, const std::function<bool(int block)>& startsSoftly)
{
    auto soft = [&](const QTextBlock& block) {
        return startsSoftly && startsSoftly(block.blockNumber());
    };
    for (bool crossed = false; first.previous().isValid() && !isBlank(first.previous());
         first = first.previous()) {
        if (soft(first) && std::exchange(crossed, true))
            break;
    }
    for (bool crossed = false; last.next().isValid() && !isBlank(last.next()); last = last.next()) {
        if (soft(last.next()) && std::exchange(crossed, true))
            break;
    }
}

std::optional<TextSpan> LineRestyler::isolatedRange(const AttributedText& storage,
    const QTextDocument& document, int firstBlock, int lastBlock, qsizetype offset,
    const std::function<bool(int block)>& startsSoftly)
{
    QTextBlock first = document.findBlockByNumber(qMax(0, firstBlock));
    QTextBlock last = document.findBlockByNumber(lastBlock);
    if (!first.isValid())
        return std::nullopt;
    if (!last.isValid() || last.blockNumber() < first.blockNumber())
        last = document.lastBlock();
    bool widen = false;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        widen = widen || pairsAcrossLines(block.text());
        if (block == last)
            break;
    }
    if (widen)
        widenToParagraph(first, last, startsSoftly);
    // A fenced block is styled whole, from its opening fence through its closing one: how its
    // lines look depends on those fences alone. Lines typed into it since its last styling
    // carry no code styling yet, so the block is followed line by line to its ends.
    auto hasCode = [&](const QTextBlock& block) {
        if (!block.isValid() || offset + block.position() >= storage.length())
            return false;
        const qsizetype length
            = qMin<qsizetype>(block.length(), storage.length() - offset - block.position());
        bool code = false;
        storage.enumerateAttribute<TextAttribute::CodeBlock>({ offset + block.position(), length },
            [&](TextSpan, const CodeBlockDecoration* value) { code = code || value; });
        return code;
    };
    // A line right below code (a fenced block left open at the end of the text, a line typed
    // since) may be in the same block: styled with it, the block's fences tell.
    bool touchesCode = hasCode(first.previous());
    for (QTextBlock block = first; block.isValid() && !touchesCode; block = block.next()) {
        touchesCode = hasCode(block);
        if (block == last)
            break;
    }
    if (touchesCode) {
        while (hasCode(first.previous()))
            first = first.previous();
        while (hasCode(last.next()))
            last = last.next();
    }
    // The paragraphs beyond a window's edge are not in the document: a stretch that reaches the
    // edge may go on past it.
    const qsizetype held = document.characterCount() - 1;
    if ((offset > 0 && first == document.firstBlock())
        || (offset + held < storage.length() && last == document.lastBlock()))
        return std::nullopt;
    const qsizetype start = offset + first.position();
    const qsizetype end
        = qMin<qsizetype>(offset + last.position() + last.length(), storage.length());
    // Empty lines at the end of the text have nothing to style: emptying the last line is a
    // line styled alone like any other, not a pass over everything before it.
    if (start >= end)
        return start == storage.length() ? std::optional(TextSpan { start, 0 }) : std::nullopt;
    for (QChar c : storage.textView({ start, end - start })) {
        switch (c.unicode()) {
        case u'\r':
        case 0x0085:
        case 0x2028:
        case 0x2029:
        case 0xFFFC:
            return std::nullopt;
        default:
            break;
        }
    }
    // A fence outside the fenced blocks taken whole would open or close a block beyond the range.
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        if (StructureAroundEdit::mayBeFence(block.text()) && !hasCode(block))
            return std::nullopt;
        if (block == last)
            break;
    }
    return TextSpan { start, end - start };
}

void LineRestyler::highlight(AttributedText& storage, TextSpan range, HighlightOptions options)
{
    if (range.length <= 0)
        return;
    // The highlighter sets every attribute afresh but the tables' attachments: the piece needs
    // the characters and those alone.
    AttributedText piece(storage.textView(range).toString());
    storage.enumerateAttribute<TextAttribute::Attachment>(
        range, [&](TextSpan run, const TextAttachmentPtr* attachment) {
            if (attachment && *attachment)
                piece.addAttribute<TextAttribute::Attachment>(
                    { run.location - range.location, run.length }, *attachment);
        });
    options.cursorLocation
        = options.cursorLocation >= range.location && options.cursorLocation <= range.end()
        ? options.cursorLocation - range.location
        : -1;
    MarkdownHighlighter::highlight(piece, options);
    // Attributes only: the characters are the same, and replacing them would move the whole rest
    // of a long text.
    storage.setAttributesFrom(range.location, piece);
}

} // namespace quillon
