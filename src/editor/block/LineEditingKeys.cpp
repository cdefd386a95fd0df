#include "editor/block/LineEditingKeys.h"

#include "platform/TextLines.h"

namespace quillon {

std::optional<MarkdownLineEditing::Edit> LineEditingKeys::editFor(MarkdownTextView::EditingKey key,
    const QString& text, TextRange selection, qsizetype outsideFences)
{
    using Key = MarkdownTextView::EditingKey;
    const bool inFence
        = MarkdownLineEditing::isInsideFencedCode(text, selection.location, outsideFences);
    if (key == Key::Tab)
        return inFence ? MarkdownLineEditing::indentEdit(text, selection) : std::nullopt;
    if (key == Key::Backtab)
        return inFence ? MarkdownLineEditing::outdentEdit(text, selection) : std::nullopt;
    if (selection.length != 0)
        return std::nullopt;
    const qsizetype caret = selection.location;
    const textlines::LineBounds bounds = textlines::lineBounds(text, caret);
    const TextRange lineRange { bounds.start, bounds.contentsEnd - bounds.start };
    const QStringView line = bounds.contents(text);
    if (inFence) {
        if (key == Key::Backspace)
            return std::nullopt;
        return MarkdownLineEditing::codeReturnEdit(line, lineRange, caret);
    }
    if (key == Key::Return)
        return MarkdownLineEditing::returnEdit(line, lineRange, caret);
    return MarkdownLineEditing::backspaceEdit(line, lineRange, caret);
}

} // namespace quillon
