#pragma once

#include <QLatin1String>
#include <QString>

#include <optional>

namespace quillon {

// One persisted setting as its owner and the settings sheet both see it: the name it is stored
// under in UserDefaults::standard(), its value type, the value used when nothing usable is
// stored, and for numbers the closed range a control offers. Owners declare theirs once, in a
// header of their own (WorkspaceSettings.h, AgentSettings.h, AnalyticsSettings.h).
template <typename T> struct Setting
{
    const char* name;
    T defaultValue;
    std::optional<T> minimum = std::nullopt;
    std::optional<T> maximum = std::nullopt;

    QString key() const { return QLatin1String(name); }
    bool inRange(const T& value) const
    {
        return (!minimum || !(value < *minimum)) && (!maximum || !(*maximum < value));
    }
    // The value moved into the range (a value already in it, or with no range, is unchanged).
    T clamped(const T& value) const
    {
        if (minimum && value < *minimum)
            return *minimum;
        if (maximum && *maximum < value)
            return *maximum;
        return value;
    }
};

} // namespace quillon
