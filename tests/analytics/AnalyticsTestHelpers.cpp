#include "AnalyticsTestHelpers.h"

#include <QTimeZone>

namespace quillon::test {

SignalPostBody makeRecord(int index, std::optional<double> floatValue)
{
    SignalPostBody body;
    body.receivedAt = QDateTime::fromMSecsSinceEpoch(1714564800123LL + index, QTimeZone::utc());
    body.appID = QStringLiteral("APP");
    body.clientUser = QStringLiteral("user");
    body.sessionID = QStringLiteral("SESSION");
    body.type = QStringLiteral("Signal.%1").arg(index);
    body.floatValue = floatValue;
    body.payload = { { QStringLiteral("index"), QString::number(index) } };
    body.isTestMode = QStringLiteral("false");
    return body;
}

QList<RecordingSignalManager::Call> RecordingSignalManager::callsNamed(const QString& name) const
{
    QMutexLocker lock(&mutex);
    QList<Call> result;
    for (const Call& call : calls)
        if (call.name == name)
            result.append(call);
    return result;
}

QList<RecordingSignalManager::Call> RecordingSignalManager::callsExcept(const QString& name) const
{
    QMutexLocker lock(&mutex);
    QList<Call> result;
    for (const Call& call : calls)
        if (call.name != name
            && call.name != QLatin1String("Beacon.Acquisition.newInstallDetected"))
            result.append(call);
    return result;
}

LogHandler LogCollector::handler(LogHandler::LogLevel level)
{
    std::shared_ptr<Shared> shared = m_shared;
    return LogHandler(level, [shared](LogHandler::LogLevel at, const QString& message) {
        QMutexLocker lock(&shared->mutex);
        shared->entries.append({ at, message });
    });
}

QStringList LogCollector::lines() const
{
    QMutexLocker lock(&m_shared->mutex);
    QStringList result;
    for (const auto& [level, message] : m_shared->entries)
        result << LogHandler::description(level) + QStringLiteral(": ") + message;
    return result;
}

QStringList LogCollector::linesAt(LogHandler::LogLevel level) const
{
    QMutexLocker lock(&m_shared->mutex);
    QStringList result;
    for (const auto& [at, message] : m_shared->entries)
        if (at == level)
            result << message;
    return result;
}

void LogCollector::clear()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->entries.clear();
}

RecordingTelemetry installRecordingTelemetry(std::optional<LogHandler> log)
{
    RecordingTelemetry telemetry;
    telemetry.configuration
        = std::make_shared<TelemetryManagerConfiguration>(QStringLiteral("APP"));
    if (log)
        telemetry.configuration->setLogHandler(*log);
    telemetry.configuration->setSendNewSessionBeganSignal(false);
    telemetry.configuration->setSessionStatsEnabled(false);
    auto recorder = std::make_unique<RecordingSignalManager>();
    telemetry.calls = recorder.get();
    telemetry.manager
        = std::make_shared<TelemetryManager>(telemetry.configuration, std::move(recorder));
    TelemetryManager::install(telemetry.manager);
    return telemetry;
}

} // namespace quillon::test
