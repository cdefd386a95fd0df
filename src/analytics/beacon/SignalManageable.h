#pragma once

#include <QMap>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

class TelemetryManagerConfiguration;

// What the client manager needs of its signal manager.
class SignalManageable
{
public:
    virtual ~SignalManageable() = default;
    // Queues one signal; returns at once.
    virtual void processSignal(const QString& signalName, const QMap<QString, QString>& parameters,
        std::optional<double> floatValue, const std::optional<QString>& customUserID,
        const std::shared_ptr<TelemetryManagerConfiguration>& configuration)
        = 0;
    // One send attempt, after delayMs milliseconds. Callable from any thread.
    virtual void attemptToSendNextBatchOfCachedSignals(int delayMs = 0) = 0;
    virtual QString defaultUserIdentifier() const = 0;
};

} // namespace quillon
