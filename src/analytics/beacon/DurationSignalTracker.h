#pragma once

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>

#include <optional>

namespace quillon {

// Times named activities for the duration signals, optionally leaving out the time the
// program spends without the user's focus. Thread-safe; nothing is persisted.
class DurationSignalTracker : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        double duration = 0; // seconds
        QMap<QString, QString> parameters;
    };

    static DurationSignalTracker& shared();
    // follows the program's focus when a QGuiApplication exists.
    DurationSignalTracker();

    // Starts (or restarts) the timing of that name.
    void startTracking(const QString& signalName, const QMap<QString, QString>& parameters,
        bool includeBackgroundTime);
    // Ends the timing; nothing when no timing of that name runs.
    std::optional<Result> stopTracking(const QString& signalName);

    void handleDidEnterBackgroundNotification();
    void handleWillEnterForegroundNotification();

private:
    struct CachedData
    {
        QDateTime startTime;
        QMap<QString, QString> parameters;
        bool includeBackgroundTime = false;
    };

    QMutex m_mutex;
    QHash<QString, CachedData> m_startedSignals;
    std::optional<QDateTime> m_lastEnteredBackground;
};

} // namespace quillon
