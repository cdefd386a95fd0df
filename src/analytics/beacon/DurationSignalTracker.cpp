#include "analytics/beacon/DurationSignalTracker.h"

#include "analytics/MainThreadObject.h"
#include "analytics/beacon/Clock.h"
#include "analytics/beacon/ForegroundTransitions.h"

namespace quillon {

DurationSignalTracker& DurationSignalTracker::shared()
{
    static DurationSignalTracker* instance = onMainThread(new DurationSignalTracker);
    return *instance;
}

DurationSignalTracker::DurationSignalTracker()
{
    followForegroundTransitions(
        this, [this] { handleWillEnterForegroundNotification(); },
        [this] { handleDidEnterBackgroundNotification(); });
}

void DurationSignalTracker::startTracking(
    const QString& signalName, const QMap<QString, QString>& parameters, bool includeBackgroundTime)
{
    QMutexLocker lock(&m_mutex);
    m_startedSignals.insert(signalName, { Clock::now(), parameters, includeBackgroundTime });
}

std::optional<DurationSignalTracker::Result> DurationSignalTracker::stopTracking(
    const QString& signalName)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_startedSignals.constFind(signalName);
    if (it == m_startedSignals.cend())
        return std::nullopt;
    const CachedData data = it.value();
    m_startedSignals.erase(it);
    return Result { double(data.startTime.msecsTo(Clock::now())) / 1000.0, data.parameters };
}

void DurationSignalTracker::handleDidEnterBackgroundNotification()
{
    QMutexLocker lock(&m_mutex);
    m_lastEnteredBackground = Clock::now();
}

void DurationSignalTracker::handleWillEnterForegroundNotification()
{
    QMutexLocker lock(&m_mutex);
    if (!m_lastEnteredBackground)
        return;
    const qint64 inactiveMs = m_lastEnteredBackground->msecsTo(Clock::now());
    for (CachedData& data : m_startedSignals)
        if (!data.includeBackgroundTime)
            data.startTime = data.startTime.addMSecs(inactiveMs);
    m_lastEnteredBackground.reset();
}

} // namespace quillon
