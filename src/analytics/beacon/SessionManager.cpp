#include "analytics/beacon/SessionManager.h"

#include "analytics/MainThreadObject.h"
#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/Clock.h"
#include "analytics/beacon/ForegroundTransitions.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>

namespace quillon {

namespace {

const QString kRecentSessions = QStringLiteral("recentSessions");
const QString kDeletedSessionsCount = QStringLiteral("deletedSessionsCount");
const QString kFirstSessionDate = QStringLiteral("firstSessionDate");
const QString kDistinctDaysUsed = QStringLiteral("distinctDaysUsed");
constexpr qint64 kRetentionWindowSeconds = 7776000; // 90 days
constexpr int kTickMs = 1000;

QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
}

} // namespace

SessionManager& SessionManager::shared()
{
    static SessionManager* instance = [] {
        SessionManager* created = onMainThread(new SessionManager);
        // Lives as long as the process; its last writes must be done before the settings they
        // go to are torn down at exit.
        qAddPostRoutine([] { SessionManager::shared().waitForPersistence(); });
        return created;
    }();
    return *instance;
}

SessionManager::SessionManager(UserDefaults* defaultsOverride)
    : m_defaultsOverride(defaultsOverride)
    , m_currentSessionStartedAt(distantPast())
{
    m_persistenceQueue.setMaxThreadCount(1);
    m_persistenceQueue.setExpiryTimeout(-1);

    if (UserDefaults* defaults = store()) {
        m_deletedSessionsCount = defaults->intValue(kDeletedSessionsCount).value_or(0);
        QList<StoredSession> loaded;
        bool decoded = false;
        if (const std::optional<QByteArray> data = defaults->dataValue(kRecentSessions)) {
            const QJsonDocument document = QJsonDocument::fromJson(*data);
            decoded = document.isArray();
            for (const QJsonValue& value : document.array()) {
                const QJsonObject object = value.toObject();
                if (!object.value(QStringLiteral("st")).isDouble()
                    || !object.value(QStringLiteral("dn")).isDouble()) {
                    decoded = false;
                    break;
                }
                loaded.append(
                    { QDateTime::fromSecsSinceEpoch(
                          qint64(object.value(QStringLiteral("st")).toDouble()), QTimeZone::utc()),
                        qint64(object.value(QStringLiteral("dn")).toDouble()) });
            }
        }
        if (decoded) {
            const QDateTime cutoff = Clock::now().addSecs(-kRetentionWindowSeconds);
            QList<StoredSession> kept;
            for (const StoredSession& session : std::as_const(loaded))
                if (session.startedAt > cutoff)
                    kept.append(session);
            const qint64 dropped = loaded.size() - kept.size();
            m_recentSessions = kept;
            m_deletedSessionsCount += dropped;
            // The shortened list and the count go out together, so a short run that never
            // persists a session cannot count the same dropped sessions again next time.
            persist([this, kept, deleted = m_deletedSessionsCount](UserDefaults& target) {
                writeSessions(target, kept);
                target.setInt(kDeletedSessionsCount, deleted);
            });
        }
    }

    const QString today = Clock::todayISODate();
    QStringList days = distinctDaysUsed();
    if (days.isEmpty() || days.last() != today) {
        days.append(today);
        persist([days](UserDefaults& target) { target.setStringList(kDistinctDaysUsed, days); });
    }

    followForegroundTransitions(
        this, [this] { handleWillEnterForegroundNotification(); },
        [this] { handleDidEnterBackgroundNotification(); });
}

SessionManager::~SessionManager()
{
    m_persistenceQueue.waitForDone();
}

UserDefaults* SessionManager::store() const
{
    return m_defaultsOverride ? m_defaultsOverride : Beacon::customDefaults();
}

void SessionManager::persist(std::function<void(UserDefaults&)> write)
{
    UserDefaults* target = store();
    if (!target)
        return;
    m_persistenceQueue.start([target, write = std::move(write)] { write(*target); });
}

void SessionManager::writeSessions(UserDefaults& target, const QList<StoredSession>& sessions)
{
    QJsonArray array;
    for (const StoredSession& session : sessions)
        array.append(QJsonObject { { QStringLiteral("st"), session.startedAt.toSecsSinceEpoch() },
            { QStringLiteral("dn"), session.durationInSeconds } });
    target.setData(kRecentSessions, QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void SessionManager::waitForPersistence()
{
    m_persistenceQueue.waitForDone();
}

void SessionManager::stopTimer()
{
    delete m_sessionDurationUpdater;
    m_sessionDurationUpdater = nullptr;
    m_sessionDurationLastUpdatedAt.reset();
}

void SessionManager::startTimer()
{
    delete m_sessionDurationUpdater;
    m_sessionDurationUpdater = new QTimer(this);
    connect(
        m_sessionDurationUpdater, &QTimer::timeout, this, &SessionManager::updateSessionDuration);
    m_sessionDurationUpdater->start(kTickMs);
}

bool SessionManager::isCounting() const
{
    return m_sessionDurationUpdater != nullptr;
}

void SessionManager::startNewSession()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this] { startNewSession(); }, Qt::QueuedConnection);
        return;
    }
    stopTimer();
    bool firstStart;
    {
        QMutexLocker lock(&m_sessionsLock);
        firstStart = m_recentSessions.isEmpty();
    }
    if (firstStart) {
        const QString today = Clock::todayISODate();
        setFirstSessionDate(today);
        Beacon::internalSignal(QStringLiteral("Beacon.Acquisition.newInstallDetected"),
            { { QStringLiteral("Beacon.Acquisition.firstSessionDate"), today } });
    }
    m_currentSessionStartedAt = Clock::now();
    m_currentSessionDuration = 0;
    updateSessionDuration();
    startTimer();
}

void SessionManager::updateSessionDuration()
{
    const QDateTime now = Clock::now();
    if (m_sessionDurationLastUpdatedAt)
        m_currentSessionDuration += double(m_sessionDurationLastUpdatedAt->msecsTo(now)) / 1000.0;
    m_sessionDurationLastUpdatedAt = now;
    if (m_currentSessionDuration < 1.0)
        return;

    const QDateTime startedAt = m_currentSessionStartedAt;
    const qint64 seconds = qint64(m_currentSessionDuration);
    QList<StoredSession> copy;
    {
        QMutexLocker lock(&m_sessionsLock);
        auto it = std::find_if(m_recentSessions.rbegin(), m_recentSessions.rend(),
            [&](const StoredSession& s) { return s.startedAt == startedAt; });
        if (it != m_recentSessions.rend())
            it->durationInSeconds = seconds;
        else
            m_recentSessions.append({ startedAt, seconds });
        copy = m_recentSessions;
    }
    persist([this, copy](UserDefaults& target) { writeSessions(target, copy); });
}

void SessionManager::handleDidEnterBackgroundNotification()
{
    updateSessionDuration();
    stopTimer();
}

void SessionManager::handleWillEnterForegroundNotification()
{
    updateSessionDuration();
    startTimer();
}

qint64 SessionManager::totalSessionsCount() const
{
    QMutexLocker lock(&m_sessionsLock);
    return m_recentSessions.size() + m_deletedSessionsCount;
}

qint64 SessionManager::averageSessionSeconds() const
{
    QMutexLocker lock(&m_sessionsLock);
    if (m_recentSessions.isEmpty())
        return -1;
    if (m_recentSessions.size() == 1)
        return m_recentSessions.first().durationInSeconds;
    qint64 sum = 0;
    for (qsizetype i = 0; i + 1 < m_recentSessions.size(); ++i)
        sum += m_recentSessions[i].durationInSeconds;
    return sum / (m_recentSessions.size() - 1);
}

std::optional<qint64> SessionManager::previousSessionSeconds() const
{
    QMutexLocker lock(&m_sessionsLock);
    if (m_recentSessions.size() < 2)
        return std::nullopt;
    return m_recentSessions[m_recentSessions.size() - 2].durationInSeconds;
}

QStringList SessionManager::distinctDaysUsed() const
{
    if (UserDefaults* defaults = store())
        return defaults->stringListValue(kDistinctDaysUsed).value_or(QStringList());
    return {};
}

std::optional<QString> SessionManager::storedFirstSessionDate() const
{
    if (UserDefaults* defaults = store())
        return defaults->stringValue(kFirstSessionDate);
    return std::nullopt;
}

QString SessionManager::firstSessionDate() const
{
    return storedFirstSessionDate().value_or(Clock::todayISODate());
}

void SessionManager::setFirstSessionDate(const QString& date)
{
    persist([date](UserDefaults& target) { target.setString(kFirstSessionDate, date); });
}

} // namespace quillon
