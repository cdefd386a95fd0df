#pragma once

namespace quillon::DividerMath {

// The split fraction after a drag of `dx` pixels over an area `total` pixels wide, from the
// fraction at the press; kept within 0.2 to 0.8. A non-positive total leaves the fraction.
double splitFraction(double initialFraction, double dx, double total);

// A side panel's width after a drag of `dx` pixels from `initialWidth`; on the panel's left edge a
// drag to the left widens it. Kept within [minWidth, maxWidth].
double panelWidth(
    double initialWidth, double dx, double minWidth, double maxWidth, bool isLeftEdge);

inline constexpr double kMinSplitFraction = 0.2;
inline constexpr double kMaxSplitFraction = 0.8;

} // namespace quillon::DividerMath
