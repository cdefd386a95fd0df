#include "editor/LineRestyler.h"

#include "platform/TextLines.h"

#include <QTextBlock>
#include <QTextDocument>

namespace quillon {

std::optional<TextSpan> LineRestyler::isolatedRange(
    const AttributedText& storage, const QTextDocument& document, int firstBlock, int lastBlock)
{
    const QTextBlock first = document.findBlockByNumber(qMax(0, firstBlock));
    QTextBlock last = document.findBlockByNumber(lastBlock);
    if (!first.isValid())
        return std::nullopt;
    if (!last.isValid())
        last = document.lastBlock();
    const qsizetype start = first.position();
    const qsizetype end = qMin<qsizetype>(last.position() + last.length(), storage.length());
    if (start > end)
        return std::nullopt;
    const TextSpan range { start, end - start };
    const QStringView text = QStringView(storage.text()).mid(range.location, range.length);
    if (text.contains(u"```") || text.contains(u"~~~"))
        return std::nullopt;
    for (QChar c : text) {
        if (c == u'|' || c == QChar::ObjectReplacementCharacter
            || (c != u'\n' && textlines::isLineBreak(c)))
            return std::nullopt;
    }
    bool inCode = false;
    storage.enumerateAttribute<TextAttribute::CodeBlock>(
        range, [&](TextSpan, const CodeBlockDecoration* value) { inCode = inCode || value; });
    if (inCode)
        return std::nullopt;
    return range;
}

void LineRestyler::highlight(AttributedText& storage, TextSpan range, HighlightOptions options)
{
    if (range.length <= 0)
        return;
    AttributedText piece = storage.subText(range);
    options.cursorLocation
        = options.cursorLocation >= range.location && options.cursorLocation <= range.end()
        ? options.cursorLocation - range.location
        : -1;
    MarkdownHighlighter::highlight(piece, options);
    storage.replaceCharacters(range, piece);
}

} // namespace quillon
