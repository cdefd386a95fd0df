#pragma once

#include "platform/Setting.h"

// The analytics setting the user controls: the settings sheet's toggle shows its inverse.
namespace quillon::AnalyticsSettings {

inline const Setting<bool> telemetryOptOut { "telemetryOptOut", false };

} // namespace quillon::AnalyticsSettings
