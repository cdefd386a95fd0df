#pragma once

#include "platform/Setting.h"

#include <QString>

// The main window's own persisted settings.
namespace quillon::WindowSettings {

// "system", "dark" or "light".
inline const Setting<QString> themeMode { "themeMode", QStringLiteral("system") };

} // namespace quillon::WindowSettings
