#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace quillon {

// Turns a stream of change notices into flushes at most once per interval, always on a later turn
// of the event loop: a fast agent's thousands of chunks become a few dozen repaints a second, and
// the last change is always flushed.
class StreamThrottle : public QObject
{
    Q_OBJECT
public:
    static constexpr int defaultIntervalMs = 30;

    explicit StreamThrottle(int intervalMs = defaultIntervalMs, QObject* parent = nullptr);

    // Something changed; a flush follows, no sooner than the interval after the previous one.
    void markDirty();
    bool isPending() const { return m_timer.isActive(); }
    // Flushes a pending change now (for instance before a scroll that needs the final layout).
    void flushPending();

Q_SIGNALS:
    void flush();

private:
    void fire();

    int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastFlushMs = -1;
};

} // namespace quillon
