#include "analytics/AnalyticsManager.h"

#include "analytics/AnalyticsSettings.h"
#include "analytics/MainThreadObject.h"
#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"
#include "analytics/beacon/TerminationSignals.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMutex>

namespace quillon {

namespace {

const QString kOptOutKey = AnalyticsSettings::telemetryOptOut.key();
const QString kBuiltInAppID = QStringLiteral("6F1C2A9E-3B7D-4E58-9A0C-D2E4B6F81357");

// The manager's progress lines are diagnostics: off the terminal unless asked for with
// QT_LOGGING_RULES ("quillon.analytics.info=true").
Q_LOGGING_CATEGORY(lcAnalytics, "quillon.analytics", QtWarningMsg)

void writeLine(const QString& line)
{
    qCInfo(lcAnalytics, "%s", qUtf8Printable(line));
}

} // namespace

AnalyticsManager& AnalyticsManager::shared()
{
    static AnalyticsManager* instance = onMainThread(new AnalyticsManager);
    return *instance;
}

AnalyticsManager::AnalyticsManager()
    : m_appID(kBuiltInAppID)
{
}

void AnalyticsManager::configure(const QString& appID)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_isConfigured)
            return;
        if (!appID.isEmpty())
            m_appID = appID;
        auto configuration = std::make_shared<TelemetryManagerConfiguration>(m_appID);
        configuration->setLogHandler(LogHandler::standard(LogHandler::LogLevel::debug));
        // Opted out means nothing at all leaves the machine, the client's own signals included.
        configuration->setAnalyticsDisabled(telemetryOptOut());
        Beacon::initialize(configuration);
        m_isConfigured = true;
    }
    TerminationSignals::install();
    writeLine(QStringLiteral("[AnalyticsManager] Beacon configured with App ID: %1 (Opt-Out: %2)")
                  .arg(this->appID(),
                      telemetryOptOut() ? QStringLiteral("true") : QStringLiteral("false")));
}

void AnalyticsManager::track(const AnalyticsEvent& event)
{
    const bool optedOut = telemetryOptOut();
    applyOptOutToClient(optedOut);
    if (optedOut) {
        writeLine(
            QStringLiteral("[AnalyticsManager] Event skipped (User opted out): ") + event.name());
        return;
    }
    // Before configure() there is no client, and the event goes nowhere.
    Beacon::signal(event.name(), event.params());
    writeLine(QStringLiteral("[AnalyticsManager] Tracked event '") + event.name()
        + QStringLiteral("' | params: ") + describeParams(event.params()));
}

bool AnalyticsManager::telemetryOptOut() const
{
    return UserDefaults::standard()
        .boolValue(kOptOutKey)
        .value_or(AnalyticsSettings::telemetryOptOut.defaultValue);
}

void AnalyticsManager::setTelemetryOptOut(bool optOut)
{
    UserDefaults::standard().setBool(kOptOutKey, optOut);
    applyOptOutToClient(optOut);
    Q_EMIT telemetryOptOutChanged();
}

void AnalyticsManager::applyOptOutToClient(bool optOut)
{
    if (!isConfigured())
        return;
    if (const std::shared_ptr<TelemetryManager> manager = TelemetryManager::shared())
        manager->configuration()->setAnalyticsDisabled(optOut);
}

QString AnalyticsManager::appID() const
{
    QMutexLocker lock(&m_mutex);
    return m_appID;
}

bool AnalyticsManager::isConfigured() const
{
    QMutexLocker lock(&m_mutex);
    return m_isConfigured;
}

QString AnalyticsManager::describeParams(const QMap<QString, QString>& params)
{
    if (params.isEmpty())
        return QStringLiteral("[:]");
    QStringList parts;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        parts << QStringLiteral("\"%1\": \"%2\"").arg(it.key(), it.value());
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace quillon
