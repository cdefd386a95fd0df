#include "git/GitJobQueue.h"

#include <QMutexLocker>
#include <QThreadPool>

namespace quillon {

GitJobQueue::GitJobQueue(QThreadPool* pool)
    : m_pool(pool)
{
}

void GitJobQueue::enqueue(std::function<void()> job, const QString& coalesceKey)
{
    QMutexLocker lock(&m_mutex);
    if (!coalesceKey.isEmpty()) {
        for (Entry& entry : m_waiting) {
            if (entry.key == coalesceKey) {
                entry.job = std::move(job);
                return;
            }
        }
    }
    m_waiting.push_back({ coalesceKey, std::move(job) });
    if (m_running)
        return;
    m_running = true;
    lock.unlock();
    auto self = shared_from_this();
    m_pool->start([self] { self->drain(); });
}

void GitJobQueue::drain()
{
    for (;;) {
        std::function<void()> job;
        {
            QMutexLocker lock(&m_mutex);
            if (m_waiting.empty()) {
                m_running = false;
                return;
            }
            job = std::move(m_waiting.front().job);
            m_waiting.pop_front();
        }
        job();
    }
}

int GitJobQueue::pendingCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_waiting.size()) + (m_running ? 1 : 0);
}

} // namespace quillon
