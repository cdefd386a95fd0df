#pragma once

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace quillon::test {

// The box around the pixels of `widget` that the screen shows otherwise than the widget draws
// itself now: what a change left painted where it no longer belongs (or never painted). The
// offscreen platform hands out the window's painted pixels as the screen's. The caret must be
// steady or hidden.
// Keeps the caret from blinking while it lives.
struct SteadyCaretScope
{
    int flashTime = QApplication::cursorFlashTime();
    SteadyCaretScope() { QApplication::setCursorFlashTime(0); }
    ~SteadyCaretScope() { QApplication::setCursorFlashTime(flashTime); }
};

inline QRect stalePixels(QWidget* widget)
{
    QApplication::processEvents();
    const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
    const QImage shown = widget->screen()
                             ->grabWindow(widget->window()->winId(), at.x(), at.y(),
                                 widget->width(), widget->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage fresh = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < fresh.height(); ++y)
        for (int x = 0; x < fresh.width(); ++x)
            if (shown.pixel(x, y) != fresh.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace quillon::test
