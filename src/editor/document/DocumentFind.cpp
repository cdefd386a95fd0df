#include "editor/document/DocumentFind.h"

#include "markdown/MarkdownTextViewSupport.h"
#include "platform/ChunkedText.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QPointer>

#include <utility>

namespace quillon {

namespace {

// Units of the text searched in one turn of the event loop: a few milliseconds.
constexpr qsizetype kSearchSlice = 1 << 20;

} // namespace

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
    m_pass.setSingleShot(true);
    m_pass.setInterval(0);
    connect(&m_pass, &QTimer::timeout, this, &DocumentFind::searchSlice);
    search();
}

void DocumentFind::setActive(bool active)
{
    if (active == m_isActive)
        return;
    m_isActive = active;
    // Edits are not followed while the document is not on screen.
    m_matches.clear();
    m_passFrom = -1;
    m_pass.stop();
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
    m_revealWhenDone = false;
    m_passFrom = -1;
    m_pass.stop();
    m_matches.clear();
    // The count keeps the value it had: a closed bar shows it again when reopened.
    if (!isSearching())
        return;
    if (m_document.text().size() <= kSearchSlice) {
        m_matches = MarkdownTextViewSupport::findMatches(
            m_document.text(), m_workspace.localSearchQuery());
        publishCount();
        return;
    }
    m_passFrom = 0;
    searchSlice();
}

void DocumentFind::searchSlice()
{
    if (!isPassRunning())
        return;
    const ChunkedText& text = m_document.text();
    const qsizetype needle = m_workspace.localSearchQuery().trimmed().size();
    const qsizetype from = m_passFrom;
    const qsizetype to = qMin(text.size(), from + kSearchSlice);
    // A match that begins in the slice may end past it; one that begins past it is the next
    // slice's.
    const QString slice = text.mid(from, to - from + qMax<qsizetype>(0, needle - 1));
    m_passFrom = to;
    for (const TextRange& match :
        MarkdownTextViewSupport::findMatches(slice, m_workspace.localSearchQuery())) {
        if (match.location >= to - from)
            break;
        m_matches.append({ from + match.location, match.length });
        m_passFrom = qMax(m_passFrom, from + match.end());
    }
    if (m_passFrom < text.size()) {
        m_pass.start();
        return;
    }
    m_passFrom = -1;
    publishCount();
    // The match to reveal for the query may have been found only now.
    if (std::exchange(m_revealWhenDone, false))
        Q_EMIT searched();
    else
        Q_EMIT resumed();
}

void DocumentFind::onSearchChanged()
{
    if (!m_isActive)
        return;
    search();
    m_revealWhenDone = isPassRunning() && revealedIndex() < activeIndex();
    Q_EMIT searched();
}

void DocumentFind::onEdited(const TextEdit& edit)
{
    if (!isSearching())
        return;
    if (isPassRunning()) {
        search();
        return;
    }
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
    if (isPassRunning() || !stretch.isSmallNextTo(m_document.text().size())) {
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
