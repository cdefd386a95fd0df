#pragma once

#include "analytics/beacon/LogHandler.h"
#include "analytics/beacon/SignalPostBody.h"

#include <QList>
#include <QReadWriteLock>
#include <QString>

#include <latch>
#include <optional>
#include <thread>

namespace quillon {

// The bounded first-in-first-out queue of records not yet delivered. Created with its signal
// manager, it takes over the records saved by the previous run; backupCache() saves the queue
// when the program quits. Thread-safe. The saved records are read on a thread of the cache's own,
// so creating it never waits for the disk; every other call waits until they are in.
class SignalCache
{
public:
    static constexpr int maximumNumberOfSignalsToPopAtOnce = 100;

    // An empty filePath means the default location. A negative limit counts as 0.
    SignalCache(std::optional<LogHandler> logHandler, int cacheLimit, const QString& filePath = {});
    SignalCache(const SignalCache&) = delete;
    SignalCache& operator=(const SignalCache&) = delete;

    static QString defaultFilePath();

    void push(const SignalPostBody& signal);
    void push(const QList<SignalPostBody>& signals);
    // The oldest records, at most 100, oldest first.
    QList<SignalPostBody> pop();
    int count() const;
    // Writes every record not yet delivered (including those saved earlier in this run) to the
    // cache file and, on success, empties the queue.
    void backupCache();

    QString filePath() const { return m_filePath; }

private:
    void log(LogHandler::LogLevel level, const QString& message) const;
    void loadFromDiskLocked();
    void trimToCacheLimitLocked();

    std::optional<LogHandler> m_logHandler;
    const int m_cacheLimit;
    const QString m_filePath;
    mutable QReadWriteLock m_lock;
    QList<SignalPostBody> m_cachedSignals;
    // Records written by an earlier backup of this run; a later backup keeps them in the file.
    QList<SignalPostBody> m_savedSignals;
    std::latch m_loaded { 1 };
    // Last, so it is joined before anything it uses goes away.
    std::jthread m_loader;
};

} // namespace quillon
