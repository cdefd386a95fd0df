#pragma once
#include "workspace/WorkspaceSettings.h"

namespace quillon::FontZoom {

inline const double kMinSize = *WorkspaceSettings::editorFontSize.minimum;
inline const double kMaxSize = *WorkspaceSettings::editorFontSize.maximum;
inline const double kDefaultSize = WorkspaceSettings::editorFontSize.defaultValue;

// One point larger, never above the maximum.
inline double zoomedIn(double size)
{
    return size + 1 > kMaxSize ? kMaxSize : size + 1;
}

// One point smaller, never below the minimum.
inline double zoomedOut(double size)
{
    return size - 1 <= kMinSize ? kMinSize : size - 1;
}

} // namespace quillon::FontZoom
