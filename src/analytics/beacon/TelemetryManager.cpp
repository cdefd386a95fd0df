#include "analytics/beacon/TelemetryManager.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/CryptoHashing.h"
#include "analytics/beacon/SignalManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include <QCoreApplication>
#include <QReadWriteLock>
#include <QTimeZone>
#include <QTimer>
#include <QUuid>

namespace quillon {

namespace {

constexpr int kSessionStartDelayMs = 500;
constexpr qint64 kForegroundSessionGapSeconds = 300;

struct Storage
{
    QReadWriteLock lock;
    std::shared_ptr<TelemetryManager> manager;
};

Storage& storage()
{
    static Storage s;
    return s;
}

QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
}

} // namespace

TelemetryManager::TelemetryManager(
    std::shared_ptr<TelemetryManagerConfiguration> configuration, const QString& cacheFilePath)
    : m_signalManager(std::make_unique<SignalManager>(configuration, cacheFilePath))
    , m_configuration(std::move(configuration))
    , m_lastTimeImmediateSyncRequested(distantPast())
    , m_lastDateAppEnteredBackground(distantPast())
{
    scheduleSessionStart();
}

TelemetryManager::TelemetryManager(std::shared_ptr<TelemetryManagerConfiguration> configuration,
    std::unique_ptr<SignalManageable> signalManager)
    : m_signalManager(std::move(signalManager))
    , m_configuration(std::move(configuration))
    , m_lastTimeImmediateSyncRequested(distantPast())
    , m_lastDateAppEnteredBackground(distantPast())
{
    scheduleSessionStart();
}

TelemetryManager::~TelemetryManager() = default;

void TelemetryManager::scheduleSessionStart()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QTimer::singleShot(kSessionStartDelayMs, app, [] {
        if (const std::shared_ptr<TelemetryManager> manager = shared())
            manager->configuration()->setSessionID(QUuid::createUuid());
    });
}

std::shared_ptr<TelemetryManager> TelemetryManager::shared()
{
    Storage& s = storage();
    {
        QReadLocker lock(&s.lock);
        if (s.manager)
            return s.manager;
    }
    if (qEnvironmentVariable("XCODE_RUNNING_FOR_PREVIEWS") != QLatin1String("1"))
        return nullptr;
    QWriteLocker lock(&s.lock);
    if (!s.manager)
        s.manager = std::make_shared<TelemetryManager>(
            std::make_shared<TelemetryManagerConfiguration>(QString()));
    return s.manager;
}

bool TelemetryManager::isInitialized()
{
    Storage& s = storage();
    QReadLocker lock(&s.lock);
    return bool(s.manager);
}

void TelemetryManager::initialize(
    std::shared_ptr<TelemetryManagerConfiguration> configuration, const QString& cacheFilePath)
{
    install(std::make_shared<TelemetryManager>(std::move(configuration), cacheFilePath));
}

void TelemetryManager::install(std::shared_ptr<TelemetryManager> manager)
{
    // The send thread must stop while Qt is still there, not among the static destructors.
    static const bool cleanupRegistered = [] {
        if (QCoreApplication::instance())
            qAddPostRoutine([] { terminate(); });
        return true;
    }();
    Q_UNUSED(cleanupRegistered);
    std::shared_ptr<TelemetryManager> replaced;
    Storage& s = storage();
    {
        QWriteLocker lock(&s.lock);
        replaced = std::exchange(s.manager, std::move(manager));
    }
    // The replaced manager (if nobody else holds it) goes away here, outside the lock.
}

void TelemetryManager::terminate()
{
    install(nullptr);
}

void TelemetryManager::send(const QString& signalName, const QMap<QString, QString>& parameters)
{
    Beacon::signal(signalName, parameters);
}

void TelemetryManager::send(const QString& signalName, const std::optional<QString>& customUserID,
    std::optional<double> floatValue, const QMap<QString, QString>& parameters)
{
    Beacon::signal(signalName, parameters, floatValue, customUserID);
}

void TelemetryManager::requestImmediateSync()
{
    Beacon::requestImmediateSync();
}

void TelemetryManager::updateDefaultUser(const std::optional<QString>& user)
{
    Beacon::updateDefaultUserID(user);
}

void TelemetryManager::generateNewSession()
{
    Beacon::generateNewSession();
}

std::shared_ptr<TelemetryManagerConfiguration> TelemetryManager::configuration() const
{
    QMutexLocker lock(&m_mutex);
    return m_configuration;
}

QString TelemetryManager::hashedDefaultUser() const
{
    return CryptoHashing::sha256(m_signalManager->defaultUserIdentifier(), configuration()->salt());
}

QDateTime TelemetryManager::lastTimeImmediateSyncRequested() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastTimeImmediateSyncRequested;
}

QDateTime TelemetryManager::lastDateAppEnteredBackground() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastDateAppEnteredBackground;
}

bool TelemetryManager::tryGrantImmediateSync(const QDateTime& now, double minimumSeconds)
{
    QMutexLocker lock(&m_mutex);
    const double elapsed = double(m_lastTimeImmediateSyncRequested.msecsTo(now)) / 1000.0;
    if (elapsed <= minimumSeconds)
        return false;
    m_lastTimeImmediateSyncRequested = now;
    return true;
}

void TelemetryManager::willEnterForeground()
{
    if (lastDateAppEnteredBackground().addSecs(kForegroundSessionGapSeconds)
        < QDateTime::currentDateTimeUtc())
        Beacon::generateNewSession();
}

void TelemetryManager::didEnterBackground()
{
    QMutexLocker lock(&m_mutex);
    m_lastDateAppEnteredBackground = QDateTime::currentDateTimeUtc();
}

} // namespace quillon
