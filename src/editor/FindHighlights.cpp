#include "editor/FindHighlights.h"

#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/WorkspaceState.h"

#include <QPointer>
#include <QTextEdit>

namespace quillon {

QList<TextRange> FindHighlights::apply(
    QTextEdit& view, const QString& text, const QString& query, int activeIndex, bool isDarkMode)
{
    const QList<MarkdownTextViewSupport::SearchHighlight> highlights
        = MarkdownTextViewSupport::searchHighlights(text, query, activeIndex, isDarkMode);
    QList<TextRange> matches;
    matches.reserve(highlights.size());
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(highlights.size());
    for (const auto& highlight : highlights) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(view.document());
        selection.cursor.setPosition(int(highlight.range.location));
        selection.cursor.setPosition(int(highlight.range.end()), QTextCursor::KeepAnchor);
        selection.format.setBackground(highlight.background);
        if (highlight.foreground)
            selection.format.setForeground(*highlight.foreground);
        selections.append(selection);
        matches.append(highlight.range);
    }
    view.setExtraSelections(selections);
    return matches;
}

void FindHighlights::clear(QTextEdit& view)
{
    if (!view.extraSelections().isEmpty())
        view.setExtraSelections({});
}

void FindHighlights::postMatchCount(QObject& context, WorkspaceState& workspace, int count)
{
    QPointer<WorkspaceState> target(&workspace);
    QMetaObject::invokeMethod(
        &context,
        [target, count] {
            if (target && target->totalLocalMatchCount() != count)
                target->setTotalLocalMatchCount(count);
        },
        Qt::QueuedConnection);
}

} // namespace quillon
