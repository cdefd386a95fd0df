#pragma once

#include "analytics/beacon/StoreTransaction.h"

#include <QMutex>
#include <QQueue>
#include <QWaitCondition>

#include <memory>
#include <optional>

namespace quillon {

// The store's stream of transaction updates, as the trial tracker reads it.
class TransactionUpdateSource
{
public:
    virtual ~TransactionUpdateSource() = default;
    // Waits up to timeoutMs for the next update; nothing on time-out or once the stream ended.
    virtual std::optional<TransactionUpdate> waitForUpdate(int timeoutMs) = 0;
    virtual bool hasEnded() const = 0;
};

// A thread-safe update stream fed by push(): the process-wide one (shared()) is where a store
// integration delivers its updates.
class TransactionUpdateQueue : public TransactionUpdateSource
{
public:
    static std::shared_ptr<TransactionUpdateQueue> shared();

    void push(const TransactionUpdate& update);
    // Ends the stream once the queued updates have been read.
    void finish();

    std::optional<TransactionUpdate> waitForUpdate(int timeoutMs) override;
    bool hasEnded() const override;

private:
    mutable QMutex m_mutex;
    QWaitCondition m_available;
    QQueue<TransactionUpdate> m_updates;
    bool m_finished = false;
};

} // namespace quillon
