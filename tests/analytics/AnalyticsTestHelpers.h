#pragma once

#include "analytics/beacon/LogHandler.h"
#include "analytics/beacon/SignalManageable.h"
#include "analytics/beacon/SignalPostBody.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include <QList>
#include <QMutex>
#include <QStringList>

#include <memory>
#include <optional>

namespace quillon::test {

SignalPostBody makeRecord(int index, std::optional<double> floatValue = std::nullopt);

// A signal manager that only records what reaches it.
class RecordingSignalManager : public SignalManageable
{
public:
    struct Call
    {
        QString name;
        QMap<QString, QString> parameters;
        std::optional<double> floatValue;
        std::optional<QString> customUserID;
    };

    void processSignal(const QString& signalName, const QMap<QString, QString>& parameters,
        std::optional<double> floatValue, const std::optional<QString>& customUserID,
        const std::shared_ptr<TelemetryManagerConfiguration>&) override
    {
        QMutexLocker lock(&mutex);
        calls.append({ signalName, parameters, floatValue, customUserID });
    }
    void attemptToSendNextBatchOfCachedSignals(int) override
    {
        QMutexLocker lock(&mutex);
        ++attempts;
    }
    QString defaultUserIdentifier() const override { return QStringLiteral("USER"); }

    QList<Call> callsNamed(const QString& name) const;
    // Every call but those of the given name and the new-install signal.
    QList<Call> callsExcept(const QString& name) const;
    int attemptCount() const
    {
        QMutexLocker lock(&mutex);
        return attempts;
    }

    mutable QMutex mutex;
    QList<Call> calls;
    int attempts = 0;
};

// Collects log lines ("ERROR: text") from any thread.
class LogCollector
{
public:
    LogHandler handler(LogHandler::LogLevel level = LogHandler::LogLevel::debug);
    QStringList lines() const;
    QStringList linesAt(LogHandler::LogLevel level) const;
    void clear();

private:
    struct Shared
    {
        QMutex mutex;
        QList<QPair<LogHandler::LogLevel, QString>> entries;
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

// Installs as the shared manager a telemetry manager whose signals only reach a recorder; it sends
// no new-session signal and keeps no session stats.
struct RecordingTelemetry
{
    std::shared_ptr<TelemetryManagerConfiguration> configuration;
    std::shared_ptr<TelemetryManager> manager;
    RecordingSignalManager* calls = nullptr; // owned by the manager
};
RecordingTelemetry installRecordingTelemetry(std::optional<LogHandler> log = std::nullopt);

} // namespace quillon::test
