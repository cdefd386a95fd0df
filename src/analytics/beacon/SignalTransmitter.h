#pragma once

#include "analytics/beacon/SignalPostBody.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace quillon {

class SignalCache;
class TelemetryManagerConfiguration;

// The send loop of a signal manager. Lives on the manager's own thread, where it owns the
// network access manager, the one-shot send timer and the failure counters.
class SignalTransmitter : public QObject
{
    Q_OBJECT

public:
    SignalTransmitter(std::shared_ptr<TelemetryManagerConfiguration> configuration,
        std::shared_ptr<SignalCache> signalCache);
    ~SignalTransmitter() override;

    // All of these run on the transmitter's thread.
    void startLoop();
    void attemptToSendNextBatch();
    void shutDown();

    // Thread-safe: puts every batch whose request has not finished back into the cache.
    void requeueBatchesInFlight();

    // Thread-safe figures for diagnostics and tests.
    int consecutiveFailures() const;
    int sendCompletions() const;
    QList<double> scheduledDelays() const;

private:
    void scheduleNextTransmission();
    void handleSendSuccess();
    void handleSendFailure(const QList<SignalPostBody>& requeue);
    void handleReply(QNetworkReply* reply, quint64 batchID);
    QList<SignalPostBody> takeBatchInFlight(quint64 batchID);
    void log(int level, const QString& message) const;

    std::shared_ptr<TelemetryManagerConfiguration> m_configuration;
    std::shared_ptr<SignalCache> m_signalCache;
    QNetworkAccessManager* m_network = nullptr;
    QTimer* m_sendTimer = nullptr;

    mutable QMutex m_mutex;
    int m_consecutiveFailures = 0;
    int m_sendCompletions = 0;
    QList<double> m_scheduledDelays;
    quint64 m_nextBatchID = 1;
    QHash<quint64, QList<SignalPostBody>> m_batchesInFlight;
    bool m_shuttingDown = false;
};

} // namespace quillon
