#pragma once

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

} // namespace quillon
