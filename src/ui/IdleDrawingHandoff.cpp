#include "ui/IdleDrawingHandoff.h"

#include <QApplication>
#include <QBackingStore>
#include <QPaintEvent>
#include <QTimerEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace quillon {

namespace {

// Long enough for the server to have read a large drawing (waiting for it right after drawing
// would put its work on the window's path), short beside the time between two keys.
constexpr int kQuietMs = 10;

} // namespace

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
}

bool IdleDrawingHandoff::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::UpdateRequest:
    case QEvent::KeyRelease: // no view scrolls on one, and it comes right after a typed key
        break;
    case QEvent::Paint:
        if (watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            const QRect drawn = static_cast<QPaintEvent*>(event)->rect();
            if (widget->window() == &m_window && !widget->isWindow() && !drawn.isEmpty()) {
                m_drawnLast = widget->mapTo(&m_window, drawn.topLeft());
                m_quiet.start(kQuietMs, this);
            }
        }
        break;
    case QEvent::Timer:
        if (watched == this)
            break;
        [[fallthrough]];
    default:
        // Anything else may have scrolled a view over the point drawn: the server's copy of a
        // scrolled area is then the only true one, and beginning a paint over it would tell the
        // window that its own copy holds the area.
        if (std::exchange(m_drawnLast, std::nullopt))
            m_quiet.stop();
    }
    return false;
}

void IdleDrawingHandoff::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_quiet.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_quiet.stop();
    const std::optional<QPoint> drawn = std::exchange(m_drawnLast, std::nullopt);
    QBackingStore* store = m_window.backingStore();
    const QWindow* handle = m_window.windowHandle();
    // A window with an alpha channel clears what a paint begins over: it is left alone.
    if (!drawn || !store || !handle || !m_window.isVisible() || handle->format().hasAlpha())
        return;
    // Beginning a paint over a point just drawn and handed waits for the server to have read it
    // (the whole of what was handed); nothing is drawn, and that point, drawn already, is sent
    // with the next flush that covers it as it would have been.
    store->beginPaint(QRegion(QRect(*drawn, QSize(1, 1))));
    store->endPaint();
}

} // namespace quillon
