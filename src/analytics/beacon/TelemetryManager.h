#pragma once

#include <QDateTime>
#include <QMap>
#include <QMutex>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

class SignalManageable;
class TelemetryManagerConfiguration;

// The analytics client's central object: owns the configuration and the signal manager, and
// starts a session half a second after it is created. One manager at a time is installed.
class TelemetryManager
{
public:
    // cacheFilePath: where the signal cache lives; empty for the default location.
    explicit TelemetryManager(std::shared_ptr<TelemetryManagerConfiguration> configuration,
        const QString& cacheFilePath = {});
    // For tests: a manager over a signal manager of the caller's.
    TelemetryManager(std::shared_ptr<TelemetryManagerConfiguration> configuration,
        std::unique_ptr<SignalManageable> signalManager);
    ~TelemetryManager();

    // The installed manager, or null when none is installed (outside preview mode).
    static std::shared_ptr<TelemetryManager> shared();
    static bool isInitialized();
    static void initialize(std::shared_ptr<TelemetryManagerConfiguration> configuration,
        const QString& cacheFilePath = {});
    // Installs a manager made by the caller (tests).
    static void install(std::shared_ptr<TelemetryManager> manager);
    static void terminate();

    static void send(const QString& signalName, const QMap<QString, QString>& parameters = {});
    static void send(const QString& signalName, const std::optional<QString>& customUserID,
        std::optional<double> floatValue, const QMap<QString, QString>& parameters);
    static void requestImmediateSync();
    static void updateDefaultUser(const std::optional<QString>& user);
    static void generateNewSession();

    std::shared_ptr<TelemetryManagerConfiguration> configuration() const;
    SignalManageable& signalManager() const { return *m_signalManager; }
    QString hashedDefaultUser() const;

    QDateTime lastTimeImmediateSyncRequested() const;
    QDateTime lastDateAppEnteredBackground() const;
    // Grants an immediate sync when more than minimumSeconds passed since the last one granted;
    // the check and the update are one step.
    bool tryGrantImmediateSync(const QDateTime& now, double minimumSeconds);

    void willEnterForeground();
    void didEnterBackground();

private:
    void scheduleSessionStart();

    std::unique_ptr<SignalManageable> m_signalManager;
    mutable QMutex m_mutex;
    std::shared_ptr<TelemetryManagerConfiguration> m_configuration;
    QDateTime m_lastTimeImmediateSyncRequested;
    QDateTime m_lastDateAppEnteredBackground;
};

} // namespace quillon
