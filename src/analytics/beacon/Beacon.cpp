#include "analytics/beacon/Beacon.h"

#include "analytics/beacon/CryptoHashing.h"
#include "analytics/beacon/SignalManageable.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QUuid>

namespace quillon {

namespace {

using Level = LogHandler::LogLevel;

const QString kReservedPrefix = QStringLiteral("Beacon.");
const QString kReservedPrefixLower = QStringLiteral("beacon.");
constexpr int kImmediateSyncDelayMs = 50;

std::shared_ptr<TelemetryManagerConfiguration> usableConfiguration(
    const std::shared_ptr<TelemetryManager>& manager)
{
    if (!manager)
        return nullptr;
    std::shared_ptr<TelemetryManagerConfiguration> configuration = manager->configuration();
    if (configuration->swiftUIPreviewMode() || configuration->analyticsDisabled())
        return nullptr;
    return configuration;
}

void warnAboutKey(const TelemetryManagerConfiguration& configuration, const QString& key)
{
    const QString lower = key.toLower();
    if (lower.startsWith(kReservedPrefixLower))
        configuration.log(Level::error,
            QStringLiteral("Sending parameter with reserved key prefix 'Beacon.' "
                           "will cause unexpected behavior. Please use another "
                           "prefix instead."));
    else if (Beacon::reservedKeysLowercased().contains(lower))
        configuration.log(Level::error,
            QStringLiteral("Sending parameter with reserved key '%1' will cause "
                           "unexpected behavior. Please use another key instead.")
                .arg(key));
}

} // namespace

void Beacon::initialize(std::shared_ptr<TelemetryManagerConfiguration> config)
{
    TelemetryManager::initialize(std::move(config));
}

void Beacon::terminate()
{
    TelemetryManager::terminate();
}

Beacon::Parameters Beacon::prefixedKeys(
    const Parameters& parameters, const std::optional<QString>& prefix)
{
    Parameters result;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        const QString key = it.key().startsWith(kReservedPrefix)
            ? it.key()
            : prefix.value_or(QString()) + it.key();
        result.insert(key, it.value());
    }
    return result;
}

void Beacon::signal(const QString& name, const Parameters& parameters,
    std::optional<double> floatValue, const std::optional<QString>& customUserID)
{
    const std::shared_ptr<TelemetryManagerConfiguration> configuration
        = usableConfiguration(TelemetryManager::shared());
    if (!configuration)
        return;
    const QString combinedName = configuration->defaultSignalPrefix().value_or(QString()) + name;
    const Parameters prefixed = prefixedKeys(parameters, configuration->defaultParameterPrefix());
    if (configuration->reservedParameterWarningsEnabled()) {
        const QString lower = combinedName.toLower();
        if (lower.startsWith(kReservedPrefixLower))
            configuration->log(Level::error,
                QStringLiteral("Sending signal with reserved prefix 'Beacon.' "
                               "will cause unexpected behavior. Please use another "
                               "prefix instead."));
        else if (reservedKeysLowercased().contains(lower))
            configuration->log(Level::error,
                QStringLiteral("Sending signal with reserved name '%1' will cause "
                               "unexpected behavior. Please use another name "
                               "instead.")
                    .arg(combinedName));
        for (auto it = prefixed.cbegin(); it != prefixed.cend(); ++it)
            warnAboutKey(*configuration, it.key());
    }
    internalSignal(combinedName, prefixed, floatValue, customUserID);
}

void Beacon::internalSignal(const QString& name, const Parameters& parameters,
    std::optional<double> floatValue, const std::optional<QString>& customUserID)
{
    const std::shared_ptr<TelemetryManager> manager = TelemetryManager::shared();
    const std::shared_ptr<TelemetryManagerConfiguration> configuration
        = usableConfiguration(manager);
    if (!configuration)
        return;
    const Parameters defaults = prefixedKeys(
        configuration->defaultParameters()(), configuration->defaultParameterPrefix());
    Parameters merged = defaults;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        merged.insert(it.key(), it.value());
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        warnAboutKey(*configuration, it.key());
    manager->signalManager().processSignal(name, merged, floatValue, customUserID, configuration);
}

void Beacon::requestImmediateSync()
{
    const std::shared_ptr<TelemetryManager> manager = TelemetryManager::shared();
    if (!manager)
        return;
    if (manager->tryGrantImmediateSync(
            QDateTime::currentDateTimeUtc(), manager->configuration()->transmitInterval()))
        manager->signalManager().attemptToSendNextBatchOfCachedSignals(kImmediateSyncDelayMs);
}

void Beacon::updateDefaultUserID(const std::optional<QString>& user)
{
    if (const std::shared_ptr<TelemetryManager> manager = TelemetryManager::shared())
        manager->configuration()->setDefaultUser(user);
}

void Beacon::generateNewSession()
{
    if (const std::shared_ptr<TelemetryManager> manager = TelemetryManager::shared())
        manager->configuration()->setSessionID(QUuid::createUuid());
}

UserDefaults* Beacon::customDefaults()
{
    const std::shared_ptr<TelemetryManager> manager = TelemetryManager::shared();
    if (!manager)
        return nullptr;
    const QString hash
        = CryptoHashing::sha256(manager->configuration()->telemetryAppID(), QString());
    return &UserDefaults::suite(reverseDNSPrefix() + hash.right(12));
}

QString Beacon::reverseDNSPrefix()
{
    return QStringLiteral("app.quillon.beacon.");
}

const QSet<QString>& Beacon::reservedKeysLowercased()
{
    static const QSet<QString> keys = [] {
        QSet<QString> set;
        for (const char* name :
            { "type", "clientUser", "appID", "sessionID", "floatValue", "newSessionBegan",
                "platform", "systemVersion", "majorSystemVersion", "majorMinorSystemVersion",
                "appVersion", "buildNumber", "isSimulator", "isDebug", "isTestFlight", "isAppStore",
                "modelName", "architecture", "operatingSystem", "targetEnvironment", "locale",
                "region", "appLanguage", "preferredLanguage", "telemetryClientVersion" })
            set.insert(QString::fromLatin1(name).toLower());
        return set;
    }();
    return keys;
}

} // namespace quillon
