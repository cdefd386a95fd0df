#pragma once

#include "ui/AppColors.h"

#include <QColor>

// The colours of the chrome around the editors (source pane, status bar, find bar, mode toggle),
// each a function of dark mode, so that no view holds a colour of its own; those the window
// shares come from its palette.
namespace quillon::ChromeColors {

inline QColor grey(qreal white, qreal alpha = 1)
{
    return QColor::fromRgbF(white, white, white, alpha);
}
// White in dark mode, black in light mode, at an opacity.
inline QColor contrast(bool dark, qreal alpha = 1)
{
    return grey(dark ? 1 : 0, alpha);
}
inline QColor accent(bool dark)
{
    return AppColors::accentIn(dark);
}
inline QColor editorBackground(bool dark)
{
    return AppColors::windowBackground(dark);
}
// Labels of lesser weight.
inline QColor secondary(bool dark)
{
    return AppColors::secondaryLabel(dark);
}
inline QColor green(bool dark)
{
    return dark ? QColor::fromRgbF(0.19, 0.82, 0.35) : QColor::fromRgbF(0.16, 0.65, 0.27);
}
inline QColor red(bool dark)
{
    return dark ? QColor::fromRgbF(1.0, 0.27, 0.23) : QColor::fromRgbF(0.9, 0.2, 0.17);
}
inline QColor blue(bool dark)
{
    return dark ? QColor::fromRgbF(0.04, 0.52, 1.0) : QColor::fromRgbF(0.0, 0.48, 1.0);
}
inline QColor gray()
{
    return AppColors::gray();
}

// The same greys as the top bar.
inline QColor statusBarBackground(bool dark)
{
    return AppColors::topBarBackground(dark);
}
inline QColor statusBarDivider(bool dark)
{
    return dark ? grey(1, 0.15 * 0.3) : grey(0, 0.5 * 0.25);
}

inline QColor findBarBackground(bool dark)
{
    return dark ? QColor::fromRgbF(0.16, 0.16, 0.18) : grey(1);
}
inline QColor findBarOutline(bool dark)
{
    return dark ? grey(1, 0.15) : grey(0, 0.12);
}
inline QColor findBarShadow()
{
    return grey(0, 0.18);
}

inline QColor toggleFill(bool dark, bool lit, bool hovered)
{
    if (lit) {
        QColor color = accent(dark);
        color.setAlphaF(0.18f);
        return color;
    }
    if (hovered)
        return contrast(dark, dark ? 0.1 : 0.08);
    return contrast(dark, dark ? 0.06 : 0.04);
}
inline QColor toggleText(bool dark, bool lit)
{
    return lit ? accent(dark) : contrast(dark);
}

} // namespace quillon::ChromeColors
