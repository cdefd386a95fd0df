#pragma once

#include <QMutex>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class QThreadPool;

namespace quillon {

// A serial queue of git jobs for one repository folder: jobs run one after another on a pool
// thread, never two at once. A job with a coalescing key replaces a job of the same key that is
// still waiting, so a burst of requests gives at most one running and one waiting job.
class GitJobQueue : public std::enable_shared_from_this<GitJobQueue>
{
public:
    explicit GitJobQueue(QThreadPool* pool);

    void enqueue(std::function<void()> job, const QString& coalesceKey = {});
    // Jobs waiting or running.
    int pendingCount() const;

private:
    void drain();

    struct Entry
    {
        QString key;
        std::function<void()> job;
    };

    QThreadPool* m_pool;
    mutable QMutex m_mutex;
    std::deque<Entry> m_waiting;
    bool m_running = false;
};

} // namespace quillon
