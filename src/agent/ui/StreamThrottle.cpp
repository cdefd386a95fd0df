#include "agent/ui/StreamThrottle.h"

#include <algorithm>

namespace quillon {

StreamThrottle::StreamThrottle(int intervalMs, QObject* parent)
    : QObject(parent)
    , m_intervalMs(intervalMs)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &StreamThrottle::fire);
    m_clock.start();
}

void StreamThrottle::markDirty()
{
    if (m_timer.isActive())
        return;
    const qint64 now = m_clock.elapsed();
    const qint64 wait = m_lastFlushMs < 0 ? 0 : m_lastFlushMs + m_intervalMs - now;
    m_timer.start(int(std::clamp<qint64>(wait, 0, m_intervalMs)));
}

void StreamThrottle::flushPending()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    fire();
}

void StreamThrottle::fire()
{
    m_lastFlushMs = m_clock.elapsed();
    Q_EMIT flush();
}

} // namespace quillon
