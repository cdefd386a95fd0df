#include "editor/EditorFindController.h"

#include "editor/FindHighlights.h"
#include "editor/FlagScope.h"
#include "editor/ProjectedDocument.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/WorkspaceState.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

#include <algorithm>

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

bool readsAsTheView(const QString& query)
{
    for (QChar c : query)
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator
            || c == ProjectedDocument::kCarriageReturnStandIn)
            return false;
    return true;
}

} // namespace

EditorFindController::EditorFindController(QTextEdit& view, WorkspaceState& workspace,
    std::function<const QString&()> text, QObject* parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_text(std::move(text))
{
    connect(&workspace, &WorkspaceState::isLocalSearchVisibleChanged, this,
        &EditorFindController::refreshAndReveal);
    connect(&workspace, &WorkspaceState::localSearchQueryChanged, this,
        &EditorFindController::refreshAndReveal);
    connect(&workspace, &WorkspaceState::currentLocalMatchIndexChanged, this,
        &EditorFindController::stepTo);
    setView(view);
}

void EditorFindController::setView(QTextEdit& view)
{
    if (m_view == &view)
        return;
    if (m_scrollBar)
        disconnect(m_scrollBar, nullptr, this, nullptr);
    m_view = &view;
    m_scrollBar = view.verticalScrollBar();
    // A scroll paints the matches it brings into view (a step paints once, after its scroll).
    auto paintUnlessStepping = [this] {
        if (!m_isStepping)
            paintVisible();
    };
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, paintUnlessStepping);
    connect(view.verticalScrollBar(), &QScrollBar::rangeChanged, this, paintUnlessStepping);
}

void EditorFindController::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    refresh();
}

void EditorFindController::setActive(bool active)
{
    if (active == m_isActive)
        return;
    m_isActive = active;
    // Edits are not followed while the view is not on screen.
    m_matchesCurrent = false;
    if (active)
        refresh();
}

void EditorFindController::refresh()
{
    if (!m_isActive)
        return;
    if (!m_workspace.isLocalSearchVisible() || m_workspace.localSearchQuery().isEmpty()) {
        m_matches.clear();
        m_matchesCurrent = false;
        FindHighlights::clear(*m_view);
        return;
    }
    if (!m_matchesCurrent || m_searchedLength != m_text().size())
        search();
    paintVisible();
    FindHighlights::postMatchCount(*this, m_workspace, int(m_matches.size()));
}

void EditorFindController::search()
{
    const QString query = m_workspace.localSearchQuery();
    // The storage reads as the view does, but for its paragraph breaks and carriage returns: a
    // query holding either is looked for in the view's own text.
    m_matches = readsAsTheView(query)
        ? MarkdownTextViewSupport::findMatches(m_text(), query)
        : MarkdownTextViewSupport::findMatches(m_view->document()->toRawText(), query);
    m_matchesCurrent = true;
    m_searchedLength = m_text().size();
}

void EditorFindController::followEdit(qsizetype position, qsizetype removed, qsizetype added)
{
    if (!m_isActive || !m_matchesCurrent)
        return;
    const QString query = m_workspace.localSearchQuery();
    if (!readsAsTheView(query)) {
        m_matchesCurrent = false;
        return;
    }
    m_matches = MarkdownTextViewSupport::matchesAfterEdit(
        m_text(), query, m_matches, position, removed, added);
    m_searchedLength += added - removed;
}

void EditorFindController::paintVisible()
{
    if (m_matches.isEmpty()) {
        FindHighlights::clear(*m_view);
        return;
    }
    // Only the matches on screen, and a screen's worth on each side, are painted: ten thousand
    // matches cost no more to show or to step through than ten.
    const QRect viewport = m_view->viewport()->rect();
    const int first = m_view->cursorForPosition(viewport.topLeft()).position();
    const int last = m_view->cursorForPosition(viewport.bottomRight()).position();
    const int margin = qMax(1, last - first);
    const int active = m_workspace.currentLocalMatchIndex();
    const MarkdownTextViewSupport::SearchColors colors
        = MarkdownTextViewSupport::searchColors(m_isDarkMode);
    auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), first - margin,
        [](const TextRange& match, int position) { return match.end() < position; });
    QList<QTextEdit::ExtraSelection> selections;
    for (; it != m_matches.cend() && it->location <= last + margin; ++it) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(m_view->document());
        selection.cursor.setPosition(int(it->location));
        selection.cursor.setPosition(int(it->end()), QTextCursor::KeepAnchor);
        if (it - m_matches.cbegin() == active) {
            selection.format.setBackground(colors.activeBackground);
            selection.format.setForeground(colors.activeForeground);
        } else {
            selection.format.setBackground(colors.otherBackground);
        }
        selections.append(selection);
    }
    m_view->setExtraSelections(selections);
}

void EditorFindController::stepTo()
{
    if (!m_isActive)
        return;
    // The matches are current: every change of the text searched again.
    const int count = int(m_matches.size());
    if (count > 0) {
        FlagScope stepping(m_isStepping);
        reveal(*m_view, m_matches.at(qBound(0, m_workspace.currentLocalMatchIndex(), count - 1)));
    }
    paintVisible();
}

void EditorFindController::refreshAndReveal()
{
    if (!m_isActive)
        return;
    m_matchesCurrent = false;
    refresh();
    const int count = int(m_matches.size());
    if (count > 0) {
        const int active = m_workspace.currentLocalMatchIndex();
        reveal(*m_view, m_matches.at(qMin(count - 1, qMax(0, active))));
    }
}

} // namespace quillon
