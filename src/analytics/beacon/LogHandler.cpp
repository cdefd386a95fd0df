#include "analytics/beacon/LogHandler.h"

#include <QLoggingCategory>

namespace quillon {

// Debug and info lines stay off the terminal unless asked for with QT_LOGGING_RULES
// ("Beacon.LogHandler.debug=true"); errors always show.
Q_LOGGING_CATEGORY(lcBeacon, "Beacon.LogHandler", QtWarningMsg)

LogHandler::LogHandler(LogLevel logLevel, Handler handler)
    : m_logLevel(logLevel)
    , m_handler(std::move(handler))
{
}

LogHandler LogHandler::standard(LogLevel logLevel)
{
    return LogHandler(logLevel, [](LogLevel level, const QString& message) {
        switch (level) {
        case LogLevel::debug:
            qCDebug(lcBeacon, "%s", qUtf8Printable(message));
            break;
        case LogLevel::info:
            qCInfo(lcBeacon, "%s", qUtf8Printable(message));
            break;
        case LogLevel::error:
            qCCritical(lcBeacon, "%s", qUtf8Printable(message));
            break;
        }
    });
}

QString LogHandler::description(LogLevel level)
{
    switch (level) {
    case LogLevel::debug:
        return QStringLiteral("DEBUG");
    case LogLevel::info:
        return QStringLiteral("INFO");
    case LogLevel::error:
        return QStringLiteral("ERROR");
    }
    return {};
}

std::optional<LogHandler::LogLevel> LogHandler::levelFromRawValue(int rawValue)
{
    if (rawValue < 0 || rawValue > 2)
        return std::nullopt;
    return LogLevel(rawValue);
}

void LogHandler::log(LogLevel level, const QString& message) const
{
    if (int(m_logLevel) <= int(level) && m_handler)
        m_handler(level, message);
}

} // namespace quillon
