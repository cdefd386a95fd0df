#include "editor/SourceFindController.h"

#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/WorkspaceState.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>

namespace quillon {

SourceFindController::SourceFindController(QPlainTextEdit& view, WorkspaceState& workspace,
    std::function<const QString&()> currentText, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_workspace(workspace)
    , m_currentText(std::move(currentText))
{
    connect(&workspace, &WorkspaceState::isLocalSearchVisibleChanged, this,
        &SourceFindController::refreshAndReveal);
    connect(&workspace, &WorkspaceState::localSearchQueryChanged, this,
        &SourceFindController::refreshAndReveal);
    connect(&workspace, &WorkspaceState::currentLocalMatchIndexChanged, this,
        &SourceFindController::refreshAndReveal);
}

void SourceFindController::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    if (!m_matches.isEmpty())
        refresh();
}

void SourceFindController::refresh()
{
    if (!m_workspace.isLocalSearchVisible() || m_workspace.localSearchQuery().isEmpty()) {
        m_matches.clear();
        if (!m_view.extraSelections().isEmpty())
            m_view.setExtraSelections({});
        return;
    }
    const int active = m_workspace.currentLocalMatchIndex();
    m_matches
        = MarkdownTextViewSupport::findMatches(m_currentText(), m_workspace.localSearchQuery());
    const MarkdownTextViewSupport::SearchColors colors
        = MarkdownTextViewSupport::searchColors(m_isDarkMode);
    QTextCharFormat other;
    other.setBackground(colors.otherBackground);
    QTextCharFormat current;
    current.setBackground(colors.activeBackground);
    current.setForeground(colors.activeForeground);
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(m_matches.size());
    QTextCursor cursor(m_view.document());
    for (int i = 0; i < m_matches.size(); ++i) {
        cursor.setPosition(int(m_matches[i].location));
        cursor.setPosition(int(m_matches[i].end()), QTextCursor::KeepAnchor);
        selections.append({ cursor, i == active ? current : other });
    }
    m_view.setExtraSelections(selections);
    const int count = int(m_matches.size());
    QPointer<SourceFindController> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, count] {
            if (self && self->m_workspace.totalLocalMatchCount() != count)
                self->m_workspace.setTotalLocalMatchCount(count);
        },
        Qt::QueuedConnection);
}

void SourceFindController::refreshAndReveal()
{
    refresh();
    const int count = int(m_matches.size());
    if (count > 0)
        reveal(m_matches.at(qBound(0, m_workspace.currentLocalMatchIndex(), count - 1)));
}

void SourceFindController::reveal(const TextRange& match)
{
    // Scrolls without moving the caret: the scroll bar counts laid-out lines.
    const QTextBlock block = m_view.document()->findBlock(int(match.location));
    if (!block.isValid())
        return;
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineForTextPosition(int(match.location - block.position()));
    const int lineNumber = block.firstLineNumber() + (line.isValid() ? line.lineNumber() : 0);
    QScrollBar* bar = m_view.verticalScrollBar();
    const QFontMetrics metrics(m_view.document()->defaultFont());
    const int visibleLines = qMax(1, m_view.viewport()->height() / qMax(1, metrics.lineSpacing()));
    if (lineNumber < bar->value() || lineNumber >= bar->value() + visibleLines - 1)
        bar->setValue(lineNumber - visibleLines / 3);
}

} // namespace quillon
