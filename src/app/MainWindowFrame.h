#pragma once

#include <QMargins>
#include <QRect>
#include <QString>

class QWidget;

// The main window as the desktop sees it: its title and its first size on the screen.
namespace quillon::MainWindowFrame {

// What the window list and the task switcher show: "README.md — Quillon" for the active
// document, "Quillon" with none.
QString title(const QString& activeDocument);

// The frame (the contents and the window manager's `margins` around them) of a window placed at
// `frame`: contents of `wanted` size where `available` has room for them, else as much as there
// is but never smaller than `minimum`; moved only as far as it takes to lie in `available`, or,
// larger than that, to show its top left corner (the title bar's grip).
QRect fittedFrame(const QRect& frame, const QMargins& margins, QSize wanted, QSize minimum,
    const QRect& available);

// Gives the new `window` contents of `wanted` size where its screen has room, and once the window
// manager has put its frame around it, makes that frame fit as well: all of the window is on the
// screen, its bottom edge included. A window somebody has resized in between is left alone.
void fitToScreen(QWidget* window, QSize wanted);

} // namespace quillon::MainWindowFrame
