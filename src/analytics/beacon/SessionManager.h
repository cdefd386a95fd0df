#pragma once

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <optional>

class QTimer;

namespace quillon {

class UserDefaults;

// Measures the active time of each usage session, remembers the sessions of the last 90 days,
// the first session's date and the days the program was started, and reports a first start
// with "Beacon.Acquisition.newInstallDetected". Lives on the main thread; the figures may be
// read from any thread.
class SessionManager : public QObject
{
    Q_OBJECT

public:
    static SessionManager& shared();

    // defaultsOverride: the store to use instead of the client's settings suite.
    explicit SessionManager(UserDefaults* defaultsOverride = nullptr);
    ~SessionManager() override;

    void startNewSession();
    void updateSessionDuration();
    // The program lost or regained the user's focus.
    void handleDidEnterBackgroundNotification();
    void handleWillEnterForegroundNotification();

    qint64 totalSessionsCount() const;
    qint64 averageSessionSeconds() const;
    std::optional<qint64> previousSessionSeconds() const;
    QStringList distinctDaysUsed() const;
    QString firstSessionDate() const;
    void setFirstSessionDate(const QString& date);
    // The stored first-session date, if any.
    std::optional<QString> storedFirstSessionDate() const;

    bool isCounting() const;
    // Blocks until every queued write has landed (tests, quit).
    void waitForPersistence();

private:
    struct StoredSession
    {
        QDateTime startedAt;
        qint64 durationInSeconds = 0;
    };

    UserDefaults* store() const;
    void persist(std::function<void(UserDefaults&)> write);
    void writeSessions(UserDefaults& store, const QList<StoredSession>& sessions);
    void stopTimer();
    void startTimer();

    UserDefaults* const m_defaultsOverride;
    mutable QMutex m_sessionsLock;
    QList<StoredSession> m_recentSessions;
    qint64 m_deletedSessionsCount = 0;

    QDateTime m_currentSessionStartedAt;
    double m_currentSessionDuration = 0;
    QTimer* m_sessionDurationUpdater = nullptr;
    std::optional<QDateTime> m_sessionDurationLastUpdatedAt;
    QThreadPool m_persistenceQueue;
};

} // namespace quillon
