#pragma once

namespace quillon::FontZoom {

inline constexpr double kMinSize = 10;
inline constexpr double kMaxSize = 36;
inline constexpr double kDefaultSize = 15;

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
