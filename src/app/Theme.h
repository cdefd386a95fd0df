#pragma once

#include <QString>

namespace quillon::Theme {

// The stored "themeMode" values.
inline const QString kSystem = QStringLiteral("system");
inline const QString kDark = QStringLiteral("dark");
inline const QString kLight = QStringLiteral("light");

// "system" follows the system appearance; anything else is dark exactly when it is "dark".
inline bool isDarkMode(const QString& themeMode, bool systemIsDark)
{
    return themeMode == kSystem ? systemIsDark : themeMode == kDark;
}

// What the theme toggle stores: always explicit, the opposite of what is shown.
inline QString toggled(bool isDarkMode)
{
    return isDarkMode ? kLight : kDark;
}

} // namespace quillon::Theme
