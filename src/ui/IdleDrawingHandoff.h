#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QPoint>

#include <optional>

class QWidget;

namespace quillon {

// On X11 a window's drawing is handed to the server through shared memory, and before drawing
// again over what it handed last, the window waits for the server to have read it: a round trip
// at the start of the next paint, which is the next key's paint while typing. Made once the
// window has been idle for a moment after drawing, that wait is off the path of the next key.
class IdleDrawingHandoff : public QObject
{
public:
    // Watches `window` (a top-level widget), whose child it becomes; does nothing where the
    // window's drawing does not go to an X server.
    static void install(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    explicit IdleDrawingHandoff(QWidget& window);

    QWidget& m_window;
    // A point of the window drawn by its last paint, while nothing else has happened since.
    std::optional<QPoint> m_drawnLast;
    QBasicTimer m_quiet;
};

} // namespace quillon
