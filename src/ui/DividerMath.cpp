#include "ui/DividerMath.h"

#include <algorithm>

namespace quillon::DividerMath {

double splitFraction(double initialFraction, double dx, double total)
{
    const double p = total > 0 ? initialFraction + dx / total : initialFraction;
    return std::clamp(p, kMinSplitFraction, kMaxSplitFraction);
}

double panelWidth(double initialWidth, double dx, double minWidth, double maxWidth, bool isLeftEdge)
{
    double w = isLeftEdge ? initialWidth - dx : initialWidth + dx;
    if (w >= maxWidth)
        w = maxWidth;
    if (w < minWidth)
        w = minWidth;
    return w;
}

} // namespace quillon::DividerMath
