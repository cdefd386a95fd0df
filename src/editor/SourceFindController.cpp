#include "editor/SourceFindController.h"

#include "editor/FindHighlights.h"
#include "editor/FlagScope.h"
#include "editor/SourceTextEdit.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "platform/ChunkedText.h"
#include "workspace/WorkspaceState.h"

#include <QScrollBar>

#include <algorithm>

namespace quillon {

SourceFindController::SourceFindController(SourceTextEdit& view, WorkspaceState& workspace,
    std::function<const ChunkedText&()> currentText, QObject* parent)
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
        &SourceFindController::stepTo);
    // A scroll paints the matches it brings into view (a step paints once, after its scroll).
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_isStepping)
            paintVisible();
    });
    connect(view.verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (!m_isStepping)
            paintVisible();
    });
}

void SourceFindController::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    if (!m_matches.isEmpty())
        refresh();
}

void SourceFindController::setActive(bool active)
{
    if (active == m_isActive)
        return;
    m_isActive = active;
    if (active)
        refresh();
}

void SourceFindController::refresh()
{
    if (!m_isActive)
        return;
    if (!m_workspace.isLocalSearchVisible() || m_workspace.localSearchQuery().isEmpty()) {
        m_matches.clear();
        if (!m_view.extraSelections().isEmpty())
            m_view.setExtraSelections({});
        return;
    }
    m_matches = MarkdownTextViewSupport::findMatches(
        m_currentText().toString(), m_workspace.localSearchQuery());
    paintVisible();
    // A hidden pane may hold an older text: the shown editors count.
    if (!m_view.isVisible())
        return;
    FindHighlights::postMatchCount(*this, m_workspace, int(m_matches.size()));
}

void SourceFindController::followEdit(qsizetype position, qsizetype removed, qsizetype added)
{
    if (!m_isActive)
        return;
    const QString needle = m_workspace.localSearchQuery().trimmed();
    if (!m_workspace.isLocalSearchVisible() || needle.isEmpty()) {
        refresh();
        return;
    }
    // The search steps over each match it finds. The matches that end before the edit are found
    // the same way again; from the last of them the text is searched again until a match lands
    // on an old one past the edit, from where the old ones hold, moved by the edit.
    const ChunkedText& text = m_currentText();
    const qsizetype delta = added - removed;
    const qsizetype step = qMax<qsizetype>(needle.size(), 1);
    const auto kept = std::lower_bound(m_matches.cbegin(), m_matches.cend(), position,
        [](const TextRange& match, qsizetype at) { return match.end() <= at; });
    auto old = std::lower_bound(kept, m_matches.cend(), position + removed,
        [](const TextRange& match, qsizetype at) { return match.location < at; });
    QList<TextRange> matches(m_matches.cbegin(), kept);
    qsizetype from = matches.isEmpty() ? 0 : matches.last().location + step;
    while (from < text.size()) {
        const qsizetype at = text.indexOf(needle, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        if (at >= position + added) {
            while (old != m_matches.cend() && old->location + delta < at)
                ++old;
            if (old != m_matches.cend() && old->location + delta == at) {
                for (; old != m_matches.cend(); ++old)
                    matches.append({ old->location + delta, old->length });
                break;
            }
        }
        matches.append({ at, needle.size() });
        from = at + step;
    }
    m_matches = std::move(matches);
    paintVisible();
    if (m_view.isVisible())
        FindHighlights::postMatchCount(*this, m_workspace, int(m_matches.size()));
}

void SourceFindController::paintVisible()
{
    if (m_matches.isEmpty()) {
        if (!m_view.extraSelections().isEmpty())
            m_view.setExtraSelections({});
        return;
    }
    const int first = m_view.cursorForPosition(QPoint(0, 0)).position();
    const int last
        = m_view.cursorForPosition(QPoint(m_view.viewport()->width(), m_view.viewport()->height()))
              .position();
    const int active = m_workspace.currentLocalMatchIndex();
    const MarkdownTextViewSupport::SearchColors colors
        = MarkdownTextViewSupport::searchColors(m_isDarkMode);
    QTextCharFormat other;
    other.setBackground(colors.otherBackground);
    QTextCharFormat current;
    current.setBackground(colors.activeBackground);
    current.setForeground(colors.activeForeground);
    // A screen's margin on each side, so that scrolling a little shows painted matches at once.
    const int margin = qMax(1, last - first);
    auto it = std::lower_bound(m_matches.begin(), m_matches.end(), first - margin,
        [](const TextRange& match, int position) { return match.end() < position; });
    QList<QTextEdit::ExtraSelection> selections;
    QTextCursor cursor(m_view.document());
    for (; it != m_matches.end() && it->location <= last + margin; ++it) {
        cursor.setPosition(int(it->location));
        cursor.setPosition(int(it->end()), QTextCursor::KeepAnchor);
        const bool isActive = it - m_matches.begin() == active;
        selections.append({ cursor, isActive ? current : other });
    }
    m_view.setExtraSelections(selections);
}

void SourceFindController::stepTo()
{
    if (!m_isActive)
        return;
    // The matches are current: every change of the text searched again.
    const int count = int(m_matches.size());
    if (count > 0) {
        FlagScope stepping(m_isStepping);
        reveal(m_matches.at(qBound(0, m_workspace.currentLocalMatchIndex(), count - 1)));
    }
    paintVisible();
}

void SourceFindController::refreshAndReveal()
{
    if (!m_isActive)
        return;
    refresh();
    const int count = int(m_matches.size());
    if (count > 0)
        reveal(m_matches.at(qBound(0, m_workspace.currentLocalMatchIndex(), count - 1)));
}

bool SourceFindController::reveal(const TextRange& match)
{
    return m_view.revealPosition(int(match.location));
}

} // namespace quillon
