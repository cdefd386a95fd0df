#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/SessionManager.h"

namespace quillon {

namespace {

const char kBuiltInBaseURL[] = "https://ingest.quillon.app";

template <typename T> T locked(QMutex& mutex, const T& value)
{
    QMutexLocker lock(&mutex);
    return value;
}

} // namespace

TelemetryManagerConfiguration::TelemetryManagerConfiguration(const QString& appID,
    const std::optional<QString>& salt, const QUrl& baseURL,
    const std::optional<QString>& namespaceName)
    : m_telemetryAppID(appID)
    , m_apiBaseURL(baseURL.isValid() && !baseURL.isEmpty() ? baseURL : defaultBaseURL())
    , m_namespace(namespaceName)
    , m_salt(salt.value_or(QString()))
    , m_defaultParameters([] { return QMap<QString, QString>(); })
    , m_sessionID(QUuid::createUuid())
    , m_logHandler(LogHandler::standard(LogHandler::LogLevel::info))
{
}

QUrl TelemetryManagerConfiguration::defaultBaseURL()
{
    const QString fromEnvironment = qEnvironmentVariable("QUILLON_ANALYTICS_BASE_URL");
    if (!fromEnvironment.isEmpty()) {
        const QUrl url(fromEnvironment, QUrl::StrictMode);
        if (url.isValid())
            return url;
    }
    return QUrl(QString::fromLatin1(kBuiltInBaseURL));
}

std::optional<QString> TelemetryManagerConfiguration::defaultUser() const
{
    return locked(m_mutex, m_defaultUser);
}

void TelemetryManagerConfiguration::setDefaultUser(const std::optional<QString>& user)
{
    QMutexLocker lock(&m_mutex);
    m_defaultUser = user;
}

std::optional<QString> TelemetryManagerConfiguration::defaultSignalPrefix() const
{
    return locked(m_mutex, m_defaultSignalPrefix);
}

void TelemetryManagerConfiguration::setDefaultSignalPrefix(const std::optional<QString>& prefix)
{
    QMutexLocker lock(&m_mutex);
    m_defaultSignalPrefix = prefix;
}

std::optional<QString> TelemetryManagerConfiguration::defaultParameterPrefix() const
{
    return locked(m_mutex, m_defaultParameterPrefix);
}

void TelemetryManagerConfiguration::setDefaultParameterPrefix(const std::optional<QString>& prefix)
{
    QMutexLocker lock(&m_mutex);
    m_defaultParameterPrefix = prefix;
}

TelemetryManagerConfiguration::DefaultParameters
TelemetryManagerConfiguration::defaultParameters() const
{
    return locked(m_mutex, m_defaultParameters);
}

void TelemetryManagerConfiguration::setDefaultParameters(DefaultParameters function)
{
    QMutexLocker lock(&m_mutex);
    m_defaultParameters = function ? std::move(function)
                                   : DefaultParameters([] { return QMap<QString, QString>(); });
}

bool TelemetryManagerConfiguration::sendNewSessionBeganSignal() const
{
    return locked(m_mutex, m_sendNewSessionBeganSignal);
}

void TelemetryManagerConfiguration::setSendNewSessionBeganSignal(bool send)
{
    QMutexLocker lock(&m_mutex);
    m_sendNewSessionBeganSignal = send;
}

QUuid TelemetryManagerConfiguration::sessionID() const
{
    return locked(m_mutex, m_sessionID);
}

void TelemetryManagerConfiguration::setSessionID(const QUuid& sessionID)
{
    {
        QMutexLocker lock(&m_mutex);
        m_sessionID = sessionID;
    }
    if (sessionStatsEnabled())
        SessionManager::shared().startNewSession();
    if (sendNewSessionBeganSignal())
        Beacon::internalSignal(QStringLiteral("Beacon.Session.started"));
}

int TelemetryManagerConfiguration::cacheLimit() const
{
    return locked(m_mutex, m_cacheLimit);
}

void TelemetryManagerConfiguration::setCacheLimit(int limit)
{
    QMutexLocker lock(&m_mutex);
    m_cacheLimit = limit;
}

double TelemetryManagerConfiguration::transmitInterval() const
{
    return locked(m_mutex, m_transmitInterval);
}

void TelemetryManagerConfiguration::setTransmitInterval(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_transmitInterval = seconds;
}

double TelemetryManagerConfiguration::maxBackoffInterval() const
{
    return locked(m_mutex, m_maxBackoffInterval);
}

void TelemetryManagerConfiguration::setMaxBackoffInterval(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_maxBackoffInterval = seconds;
}

bool TelemetryManagerConfiguration::testMode() const
{
    QMutexLocker lock(&m_mutex);
    return m_testMode.value_or(false);
}

void TelemetryManagerConfiguration::setTestMode(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_testMode = on;
}

bool TelemetryManagerConfiguration::swiftUIPreviewMode() const
{
    QMutexLocker lock(&m_mutex);
    if (m_swiftUIPreviewMode)
        return *m_swiftUIPreviewMode;
    return qEnvironmentVariable("XCODE_RUNNING_FOR_PREVIEWS") == QLatin1String("1");
}

void TelemetryManagerConfiguration::setSwiftUIPreviewMode(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_swiftUIPreviewMode = on;
}

bool TelemetryManagerConfiguration::analyticsDisabled() const
{
    return locked(m_mutex, m_analyticsDisabled);
}

void TelemetryManagerConfiguration::setAnalyticsDisabled(bool disabled)
{
    QMutexLocker lock(&m_mutex);
    m_analyticsDisabled = disabled;
}

bool TelemetryManagerConfiguration::reservedParameterWarningsEnabled() const
{
    return locked(m_mutex, m_reservedParameterWarningsEnabled);
}

void TelemetryManagerConfiguration::setReservedParameterWarningsEnabled(bool enabled)
{
    QMutexLocker lock(&m_mutex);
    m_reservedParameterWarningsEnabled = enabled;
}

bool TelemetryManagerConfiguration::sessionStatsEnabled() const
{
    return locked(m_mutex, m_sessionStatsEnabled);
}

void TelemetryManagerConfiguration::setSessionStatsEnabled(bool enabled)
{
    QMutexLocker lock(&m_mutex);
    m_sessionStatsEnabled = enabled;
}

std::optional<LogHandler> TelemetryManagerConfiguration::logHandler() const
{
    return locked(m_mutex, m_logHandler);
}

void TelemetryManagerConfiguration::setLogHandler(const std::optional<LogHandler>& handler)
{
    QMutexLocker lock(&m_mutex);
    m_logHandler = handler;
}

void TelemetryManagerConfiguration::log(LogHandler::LogLevel level, const QString& message) const
{
    if (const std::optional<LogHandler> handler = logHandler())
        handler->log(level, message);
}

QList<std::shared_ptr<SignalEnricher>> TelemetryManagerConfiguration::metadataEnrichers() const
{
    return locked(m_mutex, m_metadataEnrichers);
}

void TelemetryManagerConfiguration::setMetadataEnrichers(
    const QList<std::shared_ptr<SignalEnricher>>& enrichers)
{
    QMutexLocker lock(&m_mutex);
    m_metadataEnrichers = enrichers;
}

} // namespace quillon
