#include "editor/document/DocumentFind.h"

#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QPointer>

namespace quillon {

DocumentFind::DocumentFind(Document& document, WorkspaceState& workspace, QObject* parent)
    : QObject(parent)
    , m_document(document)
    , m_workspace(workspace)
{
    connect(&workspace, &WorkspaceState::isLocalSearchVisibleChanged, this,
        &DocumentFind::onSearchChanged);
    connect(
        &workspace, &WorkspaceState::localSearchQueryChanged, this, &DocumentFind::onSearchChanged);
    connect(&workspace, &WorkspaceState::currentLocalMatchIndexChanged, this, [this] {
        if (m_isActive)
            Q_EMIT stepped();
    });
    // Made before the document's views, so it is current by the time they hear of a change.
    connect(&document, &Document::edited, this, &DocumentFind::onEdited);
    connect(&document, &Document::replaced, this, &DocumentFind::onReplaced);
    search();
}

void DocumentFind::setActive(bool active)
{
    if (active == m_isActive)
        return;
    m_isActive = active;
    // Edits are not followed while the document is not on screen.
    m_matches.clear();
    if (!active)
        return;
    search();
    Q_EMIT resumed();
}

int DocumentFind::activeIndex() const
{
    return m_workspace.currentLocalMatchIndex();
}

int DocumentFind::revealedIndex() const
{
    if (m_matches.isEmpty())
        return -1;
    return qBound(0, m_workspace.currentLocalMatchIndex(), int(m_matches.size()) - 1);
}

bool DocumentFind::isSearching() const
{
    return m_isActive && m_workspace.isLocalSearchVisible()
        && !m_workspace.localSearchQuery().isEmpty();
}

void DocumentFind::search()
{
    if (!isSearching()) {
        // The count keeps the value it had: a closed bar shows it again when reopened.
        m_matches.clear();
        return;
    }
    m_matches
        = MarkdownTextViewSupport::findMatches(m_document.text(), m_workspace.localSearchQuery());
    publishCount();
}

void DocumentFind::onSearchChanged()
{
    if (!m_isActive)
        return;
    search();
    Q_EMIT searched();
}

void DocumentFind::onEdited(const TextEdit& edit)
{
    if (!isSearching())
        return;
    m_matches = MarkdownTextViewSupport::matchesAfterEdit(m_document.text(),
        m_workspace.localSearchQuery(), m_matches, edit.position, edit.removedLength,
        edit.inserted.size());
    publishCount();
}

void DocumentFind::onReplaced()
{
    if (!isSearching())
        return;
    // A few lines changed from outside are searched again around the change only.
    const ReplacedStretch stretch = m_document.lastReplacement();
    if (!stretch.isSmallNextTo(m_document.text().size())) {
        search();
        return;
    }
    m_matches = MarkdownTextViewSupport::matchesAfterEdit(m_document.text(),
        m_workspace.localSearchQuery(), m_matches, stretch.position, stretch.removedLength,
        stretch.insertedLength);
    publishCount();
}

void DocumentFind::publishCount()
{
    // Never from inside the change that made it: the find bar is not re-entered.
    QPointer<WorkspaceState> target(&m_workspace);
    const int count = int(m_matches.size());
    QMetaObject::invokeMethod(
        this,
        [target, count] {
            if (target && target->totalLocalMatchCount() != count)
                target->setTotalLocalMatchCount(count);
        },
        Qt::QueuedConnection);
}

} // namespace quillon
