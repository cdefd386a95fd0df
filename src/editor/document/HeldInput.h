#pragma once

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QEvent>

namespace quillon {

// Input that may edit the text or place the caret in it: a view that has edits of other views
// still to show takes them in before such an event reaches it, so that the user edits the text
// the document has.
inline bool mayEditText(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::Drop:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

// After a drop into `view`: text dragged from another widget (the document's other pane, a
// table cell) is copied, not moved. The widget it came from would take it away once the drop
// is done, in a text that does not hold the drop yet: the other pane would then hand the
// document its whole text as it was before the drop.
inline void keepDragSourceText(QDropEvent& event, const QAbstractScrollArea& view)
{
    const QObject* source = event.source();
    if (event.isAccepted() && source && source != &view && source != view.viewport())
        event.setDropAction(Qt::CopyAction);
}

} // namespace quillon
