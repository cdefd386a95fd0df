#pragma once

#include <QMutex>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <optional>

class QThread;

namespace quillon {

class TransactionUpdateSource;
class UserDefaults;

// Watches a free trial started through the purchase preset and sends
// "Beacon.Purchase.convertedFromTrial" once when a paid transaction of the same subscription
// arrives. The trial is kept in memory and in the client's settings suite ("lastTrial"), so it
// survives a restart. Thread-safe.
class TrialConversionTracker
{
public:
    struct StoredTrial
    {
        QString productID;
        quint64 originalTransactionID = 0;
        bool operator==(const StoredTrial&) const = default;
    };

    // Over TransactionUpdateQueue::shared() and the client's settings suite.
    static TrialConversionTracker& shared();

    // storeOverride: the store to use instead of the client's settings suite.
    explicit TrialConversionTracker(
        std::shared_ptr<TransactionUpdateSource> updates, UserDefaults* storeOverride = nullptr);
    ~TrialConversionTracker();

    std::optional<StoredTrial> currentTrial() const;
    void setCurrentTrial(const std::optional<StoredTrial>& trial);

    // Replaces any running observation with a new one.
    void startObservingTransactions();
    // Ends the observation and waits for it (not from the observation itself).
    void stopObserving();
    bool isObserving() const;
    // Blocks until queued writes of the stored trial have landed.
    void waitForPersistence();

private:
    UserDefaults* store() const;
    void observe(std::shared_ptr<std::atomic<bool>> cancelled);
    void endObservationFromLoop(const std::shared_ptr<std::atomic<bool>>& cancelled);

    std::shared_ptr<TransactionUpdateSource> m_updates;
    UserDefaults* const m_storeOverride;
    mutable QMutex m_mutex;
    std::optional<StoredTrial> m_currentTrial;
    QThread* m_task = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    QThreadPool m_persistenceQueue;
};

} // namespace quillon
