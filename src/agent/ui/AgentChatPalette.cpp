#include "agent/ui/AgentChatPalette.h"

#include "ui/AppColors.h"

#include <QFontDatabase>

namespace quillon::AgentChatPalette {

namespace {
QColor white(qreal alpha)
{
    return AppColors::whiteAt(alpha);
}
QColor black(qreal alpha)
{
    return AppColors::blackAt(alpha);
}
QColor grey(qreal level)
{
    return AppColors::grey(level);
}
} // namespace

QColor accent(bool dark)
{
    return AppColors::accentIn(dark);
}

QColor accent(bool dark, qreal alpha)
{
    QColor color = accent(dark);
    color.setAlphaF(float(alpha));
    return color;
}

QColor secondaryText(bool dark)
{
    return AppColors::secondaryLabel(dark);
}

QColor gray(qreal alpha)
{
    QColor color = AppColors::gray();
    color.setAlphaF(float(alpha));
    return color;
}

QColor red()
{
    return QColor::fromRgbF(1.0, 0.231, 0.188);
}

QColor primaryText(bool dark)
{
    return dark ? white(0.9) : black(0.85);
}

QColor panelBackground(bool dark)
{
    return dark ? grey(0.13) : grey(0.98);
}

QColor headerBackground(bool dark)
{
    return dark ? white(0.03) : black(0.02);
}

QColor badgeFill(bool dark)
{
    return dark ? white(0.10) : black(0.06);
}

QColor divider(bool dark)
{
    return dark ? white(0.15) : black(0.12);
}

QColor inputBackground(bool dark)
{
    return dark ? grey(0.12) : grey(0.97);
}

QColor chipFill(bool dark)
{
    return accent(dark, dark ? 0.15 : 0.08);
}

QColor chipStroke(bool dark)
{
    return accent(dark, 0.30);
}

QColor promptFill(bool dark)
{
    return dark ? white(0.06) : black(0.04);
}

QColor userBubble(bool dark)
{
    return accent(dark);
}

QColor userBubbleText(bool dark)
{
    // White on the accent, unless the accent itself is light (as it is on a dark window).
    return accent(dark).lightnessF() > 0.6 ? black(0.9) : white(1);
}

QColor otherBubble(bool dark)
{
    return dark ? white(0.08) : black(0.05);
}

QColor otherBubbleText(bool dark)
{
    return dark ? white(1) : black(1);
}

QColor pillFill(bool dark)
{
    return dark ? white(0.05) : black(0.04);
}

QFont font(qreal pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // Points at 96 logical dots per inch are exactly the pixel sizes the layout was drawn in,
    // and unlike setPixelSize they keep half sizes such as 12.5.
    font.setPointSizeF(pixelSize * 72.0 / 96.0);
    font.setWeight(weight);
    return font;
}

} // namespace quillon::AgentChatPalette
