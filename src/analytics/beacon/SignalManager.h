#pragma once

#include "analytics/beacon/SignalManageable.h"
#include "analytics/beacon/SignalPostBody.h"

#include <QList>
#include <QThread>
#include <QUrl>

#include <memory>

class QObject;
class QThreadPool;

namespace quillon {

class SignalCache;
class SignalTransmitter;
class TelemetryManagerConfiguration;

// The pipeline from a signal to the ingest service: builds a record per signal, queues it in
// the signal cache and sends batches from a thread of its own, backing off after failures.
// When the application is about to quit, the undelivered records are saved to the cache file.
class SignalManager : public SignalManageable
{
public:
    // cacheFilePath: empty for the default location.
    explicit SignalManager(std::shared_ptr<TelemetryManagerConfiguration> configuration,
        const QString& cacheFilePath = {});
    ~SignalManager() override;

    void processSignal(const QString& signalName, const QMap<QString, QString>& parameters,
        std::optional<double> floatValue, const std::optional<QString>& customUserID,
        const std::shared_ptr<TelemetryManagerConfiguration>& configuration) override;
    void attemptToSendNextBatchOfCachedSignals(int delayMs = 0) override;
    QString defaultUserIdentifier() const override;

    // The ingest endpoint: the base URL, one slash, then "v2/" or "v2/namespace/<ns>/".
    static std::optional<QUrl> getServiceUrl(
        const QUrl& baseURL, const std::optional<QString>& namespaceName);

    // Puts batches still in flight back into the cache and saves the cache to its file.
    void appWillTerminate();

    SignalCache& signalCache() { return *m_signalCache; }
    std::shared_ptr<TelemetryManagerConfiguration> configuration() const { return m_configuration; }
    // Figures of the send loop, for diagnostics and tests.
    int consecutiveFailures() const;
    int sendCompletions() const;
    QList<double> scheduledDelays() const;

private:
    static QString defaultUserIdentifier(const TelemetryManagerConfiguration& configuration);
    static std::optional<SignalPostBody> buildRecord(
        const TelemetryManagerConfiguration& configuration, const QString& signalName,
        const QMap<QString, QString>& defaults, const QMap<QString, QString>& parameters,
        std::optional<double> floatValue, const std::optional<QString>& customUserID,
        const QString& defaultUser);

    std::shared_ptr<TelemetryManagerConfiguration> m_configuration;
    std::shared_ptr<SignalCache> m_signalCache;
    std::shared_ptr<QThreadPool> m_recordQueue;
    QThread m_thread;
    SignalTransmitter* m_transmitter = nullptr;
    // Lives on the main thread: receives the quit notification and the main-thread hop.
    QObject* m_mainContext = nullptr;
};

} // namespace quillon
