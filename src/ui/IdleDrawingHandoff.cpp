#include "ui/IdleDrawingHandoff.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBackingStore>
#include <QPaintEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace quillon {

void IdleDrawingHandoff::install(QWidget& window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    new IdleDrawingHandoff(window);
}

IdleDrawingHandoff::IdleDrawingHandoff(QWidget& window)
    : QObject(&window)
    , m_window(window)
{
    qApp->installEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(
            dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &IdleDrawingHandoff::onIdle);
}

bool IdleDrawingHandoff::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::UpdateRequest:
        break;
    case QEvent::Paint:
        if (watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->window() == &m_window && !widget->isWindow()) {
                const QRect drawn = static_cast<QPaintEvent*>(event)->rect();
                if (!drawn.isEmpty())
                    m_drawnLast = widget->mapTo(&m_window, drawn.topLeft());
            }
        }
        break;
    default:
        // Anything else may have scrolled a view over the point drawn: the server's copy of a
        // scrolled area is then the only true one, and beginning a paint over it would tell the
        // window that its own copy holds the area.
        m_drawnLast.reset();
    }
    return false;
}

void IdleDrawingHandoff::onIdle()
{
    const std::optional<QPoint> drawn = std::exchange(m_drawnLast, std::nullopt);
    if (!drawn)
        return;
    QBackingStore* store = m_window.backingStore();
    const QWindow* handle = m_window.windowHandle();
    // A window with an alpha channel clears what a paint begins over: it is left alone.
    if (!store || !handle || !m_window.isVisible() || handle->format().hasAlpha())
        return;
    // Beginning a paint over a point just drawn and handed waits for the server to have read it
    // (the whole of what was handed); nothing is drawn, and that point, drawn already, is sent
    // with the next flush that covers it as it would have been.
    store->beginPaint(QRegion(QRect(*drawn, QSize(1, 1))));
    store->endPaint();
}

} // namespace quillon
