#include "editor/LineEditingKeys.h"

namespace quillon {

std::optional<MarkdownLineEditing::Edit> LineEditingKeys::editFor(
    MarkdownTextView::EditingKey key, const QString& text, TextRange selection)
{
    using Key = MarkdownTextView::EditingKey;
    const bool inFence = MarkdownLineEditing::isInsideFencedCode(text, selection.location);
    if (key == Key::Tab)
        return inFence ? MarkdownLineEditing::indentEdit(text, selection) : std::nullopt;
    if (key == Key::Backtab)
        return inFence ? MarkdownLineEditing::outdentEdit(text, selection) : std::nullopt;
    if (selection.length != 0)
        return std::nullopt;
    const qsizetype caret = selection.location;
    qsizetype start = caret;
    while (start > 0 && text.at(start - 1) != QLatin1Char('\n'))
        --start;
    qsizetype end = caret;
    while (end < text.size() && text.at(end) != QLatin1Char('\n'))
        ++end;
    const TextRange lineRange { start, end - start };
    const QStringView line = QStringView(text).mid(start, end - start);
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
