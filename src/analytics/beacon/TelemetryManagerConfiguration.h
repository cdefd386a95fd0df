#pragma once

#include "analytics/beacon/LogHandler.h"
#include "analytics/beacon/SignalEnricher.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace quillon {

// Every setting of the analytics client. One instance is shared (by std::shared_ptr) between
// the installed manager and its parts; every accessor is thread-safe.
class TelemetryManagerConfiguration
{
public:
    using DefaultParameters = std::function<QMap<QString, QString>()>;

    explicit TelemetryManagerConfiguration(const QString& appID,
        const std::optional<QString>& salt = std::nullopt, const QUrl& baseURL = {},
        const std::optional<QString>& namespaceName = std::nullopt);

    // The ingest base URL used when none is given: QUILLON_ANALYTICS_BASE_URL when set, else the
    // built-in one.
    static QUrl defaultBaseURL();

    QString telemetryAppID() const { return m_telemetryAppID; }
    QUrl apiBaseURL() const { return m_apiBaseURL; }
    std::optional<QString> namespaceName() const { return m_namespace; }
    QString salt() const { return m_salt; }

    std::optional<QString> defaultUser() const;
    void setDefaultUser(const std::optional<QString>& user);
    std::optional<QString> defaultSignalPrefix() const;
    void setDefaultSignalPrefix(const std::optional<QString>& prefix);
    std::optional<QString> defaultParameterPrefix() const;
    void setDefaultParameterPrefix(const std::optional<QString>& prefix);
    // Evaluated anew for every signal, on the thread that sends it.
    DefaultParameters defaultParameters() const;
    void setDefaultParameters(DefaultParameters function);
    bool sendNewSessionBeganSignal() const;
    void setSendNewSessionBeganSignal(bool send);

    QUuid sessionID() const;
    // Every assignment starts a new session: statistics (when enabled) and the session-start
    // signal (when enabled).
    void setSessionID(const QUuid& sessionID);

    int cacheLimit() const;
    void setCacheLimit(int limit);
    // Seconds between send attempts; also the throttle of an immediate sync.
    double transmitInterval() const;
    void setTransmitInterval(double seconds);
    double maxBackoffInterval() const;
    void setMaxBackoffInterval(double seconds);

    bool testMode() const;
    void setTestMode(bool on);
    bool swiftUIPreviewMode() const;
    void setSwiftUIPreviewMode(bool on);
    bool analyticsDisabled() const;
    void setAnalyticsDisabled(bool disabled);
    bool reservedParameterWarningsEnabled() const;
    void setReservedParameterWarningsEnabled(bool enabled);
    bool sessionStatsEnabled() const;
    void setSessionStatsEnabled(bool enabled);

    std::optional<LogHandler> logHandler() const;
    void setLogHandler(const std::optional<LogHandler>& handler);
    // Logs through the current handler, if any.
    void log(LogHandler::LogLevel level, const QString& message) const;

    QList<std::shared_ptr<SignalEnricher>> metadataEnrichers() const;
    void setMetadataEnrichers(const QList<std::shared_ptr<SignalEnricher>>& enrichers);

private:
    const QString m_telemetryAppID;
    const QUrl m_apiBaseURL;
    const std::optional<QString> m_namespace;
    const QString m_salt;

    mutable QMutex m_mutex;
    std::optional<QString> m_defaultUser;
    std::optional<QString> m_defaultSignalPrefix;
    std::optional<QString> m_defaultParameterPrefix;
    DefaultParameters m_defaultParameters;
    bool m_sendNewSessionBeganSignal = true;
    QUuid m_sessionID;
    int m_cacheLimit = 10000;
    double m_transmitInterval = 10;
    double m_maxBackoffInterval = 300;
    std::optional<bool> m_testMode;
    std::optional<bool> m_swiftUIPreviewMode;
    bool m_analyticsDisabled = false;
    bool m_reservedParameterWarningsEnabled = true;
    bool m_sessionStatsEnabled = true;
    std::optional<LogHandler> m_logHandler;
    QList<std::shared_ptr<SignalEnricher>> m_metadataEnrichers;
};

} // namespace quillon
