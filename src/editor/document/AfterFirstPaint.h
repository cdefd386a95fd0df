#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

namespace quillon {

// Runs `then` once: on a turn after `widget` is next painted (the paint is on screen by then),
// or after `waitMs` when no paint came, and once `ready` holds (work on another thread done),
// which is looked at again every few milliseconds rather than waited for. Dropped before, it
// runs nothing; `then` must not drop it. Those whose widgets were painted together run on turns
// of their own, one after the other, so that what reaches the window meanwhile (a window
// manager's ping, a key) is answered between them.
class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(
        QWidget& widget, int waitMs, std::function<bool()> ready, std::function<void()> then);
    ~AfterFirstPaint() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run();

    std::function<bool()> m_ready;
    std::function<void()> m_then;
    QTimer m_timer;
};

} // namespace quillon
