#pragma once

#include <QCursor>
#include <QWidget>

namespace quillon {

// Whether the pointer is over the widget now. Qt tells a widget the pointer entered or left only
// when the pointer moves; a widget the layout moves, or that scrolls, under a resting pointer
// asks this instead.
inline bool pointerIsOver(const QWidget& widget)
{
    return widget.isVisible() && widget.rect().contains(widget.mapFromGlobal(QCursor::pos()));
}

} // namespace quillon
