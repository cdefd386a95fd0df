#pragma once

#include <QDateTime>
#include <QTimeZone>

#include <functional>

namespace quillon {

// The analytics client's source of the current moment and of the user's time zone. Tests
// replace both, so calendar and retention values can be checked at chosen moments.
class Clock
{
public:
    static QDateTime now();
    static QTimeZone timeZone();
    // now() expressed in timeZone().
    static QDateTime localNow();
    // Today's date in the user's time zone as yyyy-MM-dd.
    static QString todayISODate();

    static void setForTesting(std::function<QDateTime()> now, const QTimeZone& zone);
    static void resetForTesting();
};

} // namespace quillon
