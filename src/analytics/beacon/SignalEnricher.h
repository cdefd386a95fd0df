#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace quillon {

// A source of extra parameters for every signal. Called on the transmission thread.
class SignalEnricher
{
public:
    virtual ~SignalEnricher() = default;
    virtual QMap<QString, QString> extraParameters(const QString& signalType,
        const std::optional<QString>& customUserID, std::optional<double> floatValue)
        = 0;
};

} // namespace quillon
