#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace quillon {

// The analytics client's only channel for diagnostics. A message reaches the handler when its
// level is at least the handler's level.
class LogHandler
{
public:
    enum class LogLevel { debug = 0, info = 1, error = 2 };
    using Handler = std::function<void(LogLevel, const QString&)>;

    LogHandler(LogLevel logLevel, Handler handler);

    // Delivers through the "Beacon.LogHandler" logging category to standard error.
    static LogHandler standard(LogLevel logLevel);

    static QString description(LogLevel level);
    static std::optional<LogLevel> levelFromRawValue(int rawValue);

    LogLevel logLevel() const { return m_logLevel; }
    void log(LogLevel level, const QString& message) const;

private:
    LogLevel m_logLevel;
    Handler m_handler;
};

} // namespace quillon
