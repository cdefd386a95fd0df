#include "editor/document/DocumentBinding.h"

#include "editor/document/HeldInput.h"
#include "workspace/WorkspaceState.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <utility>

namespace quillon {

namespace {

// The turn that shows other views' edits. Qt asks for a repaint at low priority; this comes
// after it, so that a key reaches the screen in the pane it was typed in first, and the other
// pane shows it on the same turn of the event loop, one repaint later.
const QEvent::Type kFollowEvent = QEvent::Type(QEvent::registerEventType());
constexpr int kAfterRepaint = Qt::LowEventPriority - 1;

} // namespace

DocumentBinding::DocumentBinding(Document& document, WorkspaceState& workspace, QWidget& origin,
    BoundPane& pane, bool isDarkMode)
    : m_document(document)
    , m_workspace(workspace)
    , m_origin(origin)
    , m_pane(pane)
    , m_isDarkMode(isDarkMode)
    , m_fontSize(workspace.editorFontSize())
{
}

void DocumentBinding::start()
{
    connect(&m_document, &Document::edited, this, &DocumentBinding::onEdited);
    connect(&m_document, &Document::replaced, this, &DocumentBinding::onReplaced);
    // A document that could not be read, or may not be written, is shown, never edited: an edit
    // would be written over the file.
    connect(&m_document, &Document::editableChanged, this,
        [this] { m_pane.setEditable(m_document.isEditable()); });
    connect(&m_workspace, &WorkspaceState::editorFontSizeChanged, this,
        [this] { setFontSize(m_workspace.editorFontSize()); });
}

void DocumentBinding::caughtUp()
{
    m_pending.clear();
    m_reloadPending = false;
    m_pendingFromOutside = false;
}

void DocumentBinding::onEdited(const TextEdit& edit, const QObject* origin)
{
    if (origin == &m_origin)
        return; // made in the pane: it shows it already
    if (m_pane.takeEditNow(edit))
        return;
    m_pending.append(edit);
    queueFollow();
}

void DocumentBinding::queueFollow()
{
    if (std::exchange(m_followQueued, true))
        return;
    QCoreApplication::postEvent(this, new QEvent(kFollowEvent), kAfterRepaint);
}

bool DocumentBinding::event(QEvent* event)
{
    if (event->type() != kFollowEvent)
        return QObject::event(event);
    m_pane.followQueued();
    return true;
}

void DocumentBinding::onReplaced()
{
    // Replaced from outside (the file read again, a replacement of the whole text): never from
    // inside a view's change handler, so it is shown at once. A change of a few lines is applied
    // where it lands, after the edits of other views still waiting, which lead up to the text it
    // was made on.
    const ReplacedStretch stretch = m_document.lastReplacement();
    const ChunkedText& text = m_document.text();
    if (m_reloadPending || !m_pane.mayApplyOutsideEdit() || !stretch.isSmallNextTo(text.size())) {
        caughtUp();
        m_reloadPending = true;
        m_reload = stretch;
    } else {
        m_pending.append({ stretch.position, stretch.removedLength,
            text.mid(stretch.position, stretch.insertedLength), text.size(), m_document.version(),
            {} });
        m_pendingFromOutside = true;
    }
    follow();
}

void DocumentBinding::follow()
{
    m_followQueued = false;
    if (m_reloadPending) {
        caughtUp();
        m_pane.showReplaced(std::exchange(m_reload, {}));
        return;
    }
    m_pane.finishLoading();
    if (m_pending.isEmpty())
        return;
    const QList<TextEdit> edits = std::exchange(m_pending, {});
    if (std::exchange(m_pendingFromOutside, false)) {
        const ReplacedStretch outside = m_document.lastReplacement();
        m_pane.followEdits(edits, &outside);
    } else {
        m_pane.followEdits(edits, nullptr);
    }
}

void DocumentBinding::beforeInput(const QEvent& event)
{
    // The user edits the text as the document has it: what other views changed is shown first.
    if ((hasPending() || m_pane.isLoading()) && mayEditText(event))
        follow();
}

std::optional<QString> DocumentBinding::shownText() const
{
    QString text = m_document.text().toString();
    for (auto edit = m_pending.crbegin(); edit != m_pending.crend(); ++edit) {
        if (edit->removed.size() != edit->removedLength)
            return std::nullopt;
        text.replace(edit->position, edit->inserted.size(), edit->removed);
    }
    return text;
}

qsizetype DocumentBinding::shownLength() const
{
    if (m_pending.isEmpty())
        return m_document.text().size();
    const TextEdit& first = m_pending.first();
    return first.resultLength - first.inserted.size() + first.removedLength;
}

void DocumentBinding::takeEditBehind(
    qsizetype position, qsizetype removedLength, const QString& inserted)
{
    const std::optional<QString> before = shownText();
    // Each waiting edit moves the change as a later edit of the same text would: an edit wholly
    // before it shifts it, one wholly after it leaves it; one it overlaps keeps its own text,
    // and the pane's text goes in where the change began, taking nothing away.
    qsizetype start = position, end = position + removedLength;
    for (const TextEdit& edit : std::as_const(m_pending)) {
        const qsizetype editEnd = edit.position + edit.removedLength;
        const qsizetype shift = edit.inserted.size() - edit.removedLength;
        if (editEnd <= start) {
            start += shift;
            end += shift;
        } else if (end > edit.position) {
            start = start < edit.position ? start : edit.position + edit.inserted.size();
            end = start;
        }
    }
    QString shown;
    if (before) {
        shown = *before;
        shown.replace(position, removedLength, inserted);
    }
    m_document.applyEdit(start, end - start, inserted, &m_origin, Document::EditKind::Command);
    // The pane shows its own change on the older text: it takes the document's text whole,
    // its caret staying on the text it was on.
    m_pending.clear();
    m_pendingFromOutside = false;
    m_reloadPending = true;
    m_reload = before ? ReplacedStretch::between(ChunkedText(shown), m_document.text().toString())
                      : ReplacedStretch { 0, 0, 0, {} };
    queueFollow();
}

void DocumentBinding::undo()
{
    if (m_pane.prepareForStep())
        showStep(m_document.undo(&m_origin));
}

void DocumentBinding::redo()
{
    if (m_pane.prepareForStep())
        showStep(m_document.redo(&m_origin));
}

void DocumentBinding::showStep(const std::optional<MarkdownReplacement>& step)
{
    if (step)
        m_pane.showStep(*step);
}

bool DocumentBinding::canUndo() const
{
    return m_document.canUndo() && m_pane.mayEdit();
}

bool DocumentBinding::canRedo() const
{
    return m_document.canRedo() && m_pane.mayEdit();
}

void DocumentBinding::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    // A pane out of sight (a hidden tab's, or one pane of the two) takes it when it is shown
    // again: a change of theme or size restyles what is on screen, not every document kept.
    if (m_origin.isVisible())
        m_pane.showAppearance();
}

void DocumentBinding::setFontSize(qreal size)
{
    m_fontSize = size;
    if (m_origin.isVisible())
        m_pane.showAppearance();
}

void DocumentBinding::shown()
{
    m_pane.showAppearance();
}

ReplacedStretch DocumentBinding::stretchOf(const QList<TextEdit>& edits)
{
    // Offsets of an edit are those of the text after the edits before it.
    qsizetype from = 0, oldEnd = 0, newEnd = 0;
    bool first = true;
    for (const TextEdit& edit : edits) {
        const qsizetype removedEnd = edit.position + edit.removedLength;
        const qsizetype delta = edit.inserted.size() - edit.removedLength;
        if (std::exchange(first, false)) {
            from = edit.position;
            oldEnd = removedEnd;
            newEnd = edit.position + edit.inserted.size();
        } else {
            oldEnd += qMax<qsizetype>(0, removedEnd - newEnd);
            newEnd = qMax(newEnd, removedEnd) + delta;
            from = qMin(from, edit.position);
        }
    }
    return { from, oldEnd - from, newEnd - from, {} };
}

} // namespace quillon
