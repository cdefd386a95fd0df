#pragma once

#include "analytics/beacon/DeviceFacts.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimeZone>

namespace quillon {

class SessionManager;

// The automatic parameters every signal carries: device, program, locale, calendar and
// retention values, built afresh for each signal.
struct DefaultSignalPayload
{
    static constexpr const char* telemetryClientVersion = "2.14.2";

    // From the system's facts, the client's clock and SessionManager::shared(). Main thread.
    static QMap<QString, QString> parameters();
    static QMap<QString, QString> parameters(const DeviceFacts& facts, const QDateTime& now,
        const QTimeZone& zone, const SessionManager& sessions);

    // "UTC+5:30", "UTC-5", "UTC+0".
    static QString timeZoneText(int offsetSeconds);
    static QMap<QString, QString> calendarParameters(const QDateTime& now, const QTimeZone& zone);
    static QString region(const DeviceFacts& facts);
    static QString appLanguage(const DeviceFacts& facts);
    static QString preferredLanguage(const DeviceFacts& facts);
    // Shortest text that reads back as the same double, with at least one fractional digit.
    static QString decimalText(double value);
    // Elements that compare >= cutoff as plain text (chronological for yyyy-MM-dd).
    static int countISODatesOnOrAfter(const QStringList& dates, const QString& cutoffISODate);
};

} // namespace quillon
