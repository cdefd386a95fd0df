#include "editor/EditorFindController.h"

#include "editor/FindHighlights.h"
#include "workspace/WorkspaceState.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

namespace quillon {

namespace {

// Scrolls the match into view without moving the caret.
void reveal(QTextEdit& view, const TextRange& match)
{
    const QTextBlock block = view.document()->findBlock(int(match.location));
    if (!block.isValid())
        return;
    view.document()->documentLayout()->blockBoundingRect(block);
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineForTextPosition(int(match.location - block.position()));
    if (!line.isValid())
        return;
    const int top = int(layout->position().y() + line.y());
    const int bottom = int(top + line.height());
    QScrollBar* bar = view.verticalScrollBar();
    const int height = view.viewport()->height();
    if (top < bar->value())
        bar->setValue(top - height / 3);
    else if (bottom > bar->value() + height)
        bar->setValue(bottom - 2 * height / 3);
}

} // namespace

EditorFindController::EditorFindController(
    QTextEdit& view, WorkspaceState& workspace, QObject* parent)
    : QObject(parent)
    , m_view(&view)
    , m_workspace(workspace)
{
    connect(&workspace, &WorkspaceState::isLocalSearchVisibleChanged, this,
        &EditorFindController::refreshAndReveal);
    connect(&workspace, &WorkspaceState::localSearchQueryChanged, this,
        &EditorFindController::refreshAndReveal);
    connect(&workspace, &WorkspaceState::currentLocalMatchIndexChanged, this,
        &EditorFindController::refreshAndReveal);
}

void EditorFindController::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    refresh();
}

void EditorFindController::refresh()
{
    if (!m_workspace.isLocalSearchVisible() || m_workspace.localSearchQuery().isEmpty()) {
        m_matches.clear();
        FindHighlights::clear(*m_view);
        return;
    }
    const int active = m_workspace.currentLocalMatchIndex();
    m_matches = FindHighlights::apply(*m_view, m_view->document()->toRawText(),
        m_workspace.localSearchQuery(), active, m_isDarkMode);
    FindHighlights::postMatchCount(*this, m_workspace, int(m_matches.size()));
}

void EditorFindController::refreshAndReveal()
{
    refresh();
    const int count = int(m_matches.size());
    if (count > 0) {
        const int active = m_workspace.currentLocalMatchIndex();
        reveal(*m_view, m_matches.at(qMin(count - 1, qMax(0, active))));
    }
}

} // namespace quillon
