#include "ui/AppColors.h"

namespace quillon::AppColors {

QColor grey(qreal w)
{
    return QColor::fromRgbF(float(w), float(w), float(w));
}

QColor whiteAt(qreal a)
{
    return QColor::fromRgbF(1, 1, 1, float(a));
}

QColor blackAt(qreal a)
{
    return QColor::fromRgbF(0, 0, 0, float(a));
}

static QColor rgb(float r, float g, float b)
{
    return QColor::fromRgbF(r, g, b);
}

QColor accentIn(bool isDarkMode)
{
    return isDarkMode ? grey(0.96) : grey(0.1);
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor accent(const QPalette& palette)
{
    return accentIn(isDark(palette));
}

QColor onAccent(const QPalette& palette)
{
    return accent(palette).lightnessF() > 0.6 ? blackAt(0.9) : whiteAt(1);
}

QColor accent(bool isDarkMode)
{
    return isDarkMode ? grey(0.8) : grey(0.2);
}

QColor sidebarBackground(bool isDarkMode)
{
    return isDarkMode ? rgb(0.12f, 0.12f, 0.12f) : rgb(0.97f, 0.97f, 0.96f);
}

QColor sidebarRowHover(bool isDarkMode)
{
    return isDarkMode ? whiteAt(0.04) : blackAt(0.03);
}

QColor sidebarRowSelected(bool isDarkMode)
{
    return isDarkMode ? whiteAt(0.09) : blackAt(0.07);
}

QColor panelDivider(bool isDarkMode)
{
    return isDarkMode ? whiteAt(0.15) : blackAt(0.12);
}

QColor panelDividerHover(bool isDarkMode)
{
    return isDarkMode ? whiteAt(0.45) : blackAt(0.35);
}

QColor folderIcon(bool isDarkMode)
{
    return isDarkMode ? grey(0.96) : grey(0.1);
}

QColor fileIcon(bool isDarkMode, bool isSelected)
{
    if (isSelected)
        return accentIn(isDarkMode);
    return isDarkMode ? grey(0.55) : grey(0.5);
}

QColor chevronIcon(bool)
{
    return grey(0.55);
}

QColor sidebarText(bool isDarkMode, bool isSelected)
{
    if (isSelected)
        return isDarkMode ? whiteAt(1) : blackAt(1);
    return isDarkMode ? whiteAt(0.85) : blackAt(0.8);
}

QColor sidebarSubtext(bool isDarkMode)
{
    return isDarkMode ? whiteAt(0.4) : blackAt(0.4);
}

QColor gray()
{
    return grey(0.56);
}

QColor sectionHeader()
{
    QColor c = gray();
    c.setAlphaF(0.7f);
    return c;
}

QColor secondaryLabel(bool isDarkMode)
{
    return isDarkMode ? whiteAt(0.55) : blackAt(0.5);
}

QColor sidebarGitButtonText(bool isDarkMode, bool isHovered)
{
    if (isHovered)
        return accentIn(isDarkMode);
    return isDarkMode ? whiteAt(1) : blackAt(1);
}

QColor sidebarLinkText(bool isDarkMode, bool isHovered)
{
    if (isHovered)
        return isDarkMode ? whiteAt(1) : blackAt(1);
    return isDarkMode ? whiteAt(0.75) : blackAt(0.7);
}

QColor sidebarSettingsText(bool isDarkMode, bool isHovered)
{
    if (isHovered)
        return isDarkMode ? whiteAt(1) : blackAt(1);
    return isDarkMode ? whiteAt(0.7) : blackAt(0.65);
}

QColor sidebarActionButtonIcon(bool isDarkMode, bool isHovered)
{
    if (isHovered)
        return accentIn(isDarkMode);
    QColor c = secondaryLabel(isDarkMode);
    c.setAlphaF(c.alphaF() * 0.8f);
    return c;
}

QColor sidebarSettingsIcon(bool isDarkMode, bool isHovered)
{
    if (isHovered)
        return isDarkMode ? whiteAt(1) : blackAt(1);
    QColor c = secondaryLabel(isDarkMode);
    c.setAlphaF(c.alphaF() * 0.7f);
    return c;
}

QColor sidebarHeaderPlusIcon(bool isDarkMode)
{
    return isDarkMode ? grey(0.55) : grey(0.5);
}

QColor gitSynced(bool isDarkMode)
{
    return isDarkMode ? rgb(0.35f, 0.72f, 0.35f) : rgb(0.22f, 0.54f, 0.22f);
}

QColor gitLocal(bool isDarkMode)
{
    return isDarkMode ? rgb(0.35f, 0.75f, 0.75f) : rgb(0.15f, 0.55f, 0.55f);
}

QColor gitPending()
{
    return rgb(0.95f, 0.6f, 0.2f);
}

QColor gitSyncing()
{
    return rgb(0.25f, 0.55f, 0.95f);
}

QColor gitError()
{
    return rgb(0.9f, 0.3f, 0.3f);
}

QColor windowBackground(bool isDarkMode)
{
    return isDarkMode ? grey(0.1) : grey(1);
}

QColor topBarBackground(bool isDarkMode)
{
    return isDarkMode ? grey(0.11) : rgb(0.95f, 0.95f, 0.94f);
}

QColor topBarRule(bool isDarkMode)
{
    return isDarkMode ? whiteAt(0.15) : blackAt(0.12);
}

QPalette palette(bool isDarkMode)
{
    QPalette p;
    const QColor text = isDarkMode ? grey(0.92) : grey(0.1);
    const QColor window = isDarkMode ? grey(0.14) : rgb(0.95f, 0.95f, 0.94f);
    const QColor base = windowBackground(isDarkMode);
    const QColor button = isDarkMode ? grey(0.2) : grey(0.98);
    const QColor disabled = isDarkMode ? grey(0.45) : grey(0.6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, isDarkMode ? grey(0.13) : grey(0.96));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, isDarkMode ? grey(1) : grey(0));
    p.setColor(QPalette::ToolTipBase, isDarkMode ? grey(0.2) : grey(1));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, isDarkMode ? grey(0.5) : grey(0.55));
    p.setColor(QPalette::Highlight, isDarkMode ? rgb(0.2f, 0.36f, 0.6f) : rgb(0.7f, 0.82f, 1.0f));
    p.setColor(QPalette::HighlightedText, text);
    p.setColor(QPalette::Link, isDarkMode ? rgb(0.45f, 0.65f, 1.0f) : rgb(0.1f, 0.35f, 0.8f));
    p.setColor(QPalette::Light, isDarkMode ? grey(0.3) : grey(1));
    p.setColor(QPalette::Midlight, isDarkMode ? grey(0.25) : grey(0.9));
    p.setColor(QPalette::Mid, isDarkMode ? grey(0.2) : grey(0.75));
    p.setColor(QPalette::Dark, isDarkMode ? grey(0.08) : grey(0.6));
    p.setColor(QPalette::Shadow, grey(0));
    for (auto role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

} // namespace quillon::AppColors
