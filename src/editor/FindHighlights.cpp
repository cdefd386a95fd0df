#include "editor/FindHighlights.h"

#include "markdown/MarkdownTextViewSupport.h"

#include <QTextEdit>

namespace quillon {

QList<TextRange> FindHighlights::apply(
    QTextEdit& view, const QString& text, const QString& query, int activeIndex, bool isDarkMode)
{
    const QList<TextRange> matches = MarkdownTextViewSupport::findMatches(text, query);
    const MarkdownTextViewSupport::SearchColors colors
        = MarkdownTextViewSupport::searchColors(isDarkMode);
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(matches.size());
    for (int i = 0; i < matches.size(); ++i) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(view.document());
        selection.cursor.setPosition(int(matches[i].location));
        selection.cursor.setPosition(int(matches[i].end()), QTextCursor::KeepAnchor);
        if (i == activeIndex) {
            selection.format.setBackground(colors.activeBackground);
            selection.format.setForeground(colors.activeForeground);
        } else {
            selection.format.setBackground(colors.otherBackground);
        }
        selections.append(selection);
    }
    view.setExtraSelections(selections);
    return matches;
}

void FindHighlights::clear(QTextEdit& view)
{
    if (!view.extraSelections().isEmpty())
        view.setExtraSelections({});
}

} // namespace quillon
