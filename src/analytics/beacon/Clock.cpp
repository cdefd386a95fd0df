#include "analytics/beacon/Clock.h"

#include <QMutex>

namespace quillon {

namespace {

struct Override
{
    QMutex mutex;
    std::function<QDateTime()> now;
    QTimeZone zone;
};

Override& state()
{
    static Override o;
    return o;
}

} // namespace

QDateTime Clock::now()
{
    Override& o = state();
    QMutexLocker lock(&o.mutex);
    return o.now ? o.now() : QDateTime::currentDateTimeUtc();
}

QTimeZone Clock::timeZone()
{
    Override& o = state();
    QMutexLocker lock(&o.mutex);
    return o.zone.isValid() ? o.zone : QTimeZone::systemTimeZone();
}

QDateTime Clock::localNow()
{
    return now().toTimeZone(timeZone());
}

QString Clock::todayISODate()
{
    return localNow().date().toString(Qt::ISODate);
}

void Clock::setForTesting(std::function<QDateTime()> now, const QTimeZone& zone)
{
    Override& o = state();
    QMutexLocker lock(&o.mutex);
    o.now = std::move(now);
    o.zone = zone;
}

void Clock::resetForTesting()
{
    setForTesting({}, QTimeZone());
}

} // namespace quillon
