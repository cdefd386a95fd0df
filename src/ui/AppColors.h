#pragma once

#include <QColor>
#include <QPalette>

namespace quillon {

// The window chrome's palette: fixed colours per dark flag, hover and selection. Pure functions,
// callable from any thread.
namespace AppColors {

// The application accent follows the appearance that draws it, not a flag: pass the drawing
// widget's palette (grey 0.96 on a dark palette, grey 0.1 on a light one).
QColor accent(const QPalette& palette);
// The same accent resolved for an appearance given as a flag.
QColor accentIn(bool isDarkMode);
// Text drawn on an accent fill: black on the light accent of a dark palette, white otherwise.
QColor onAccent(const QPalette& palette);
// The flag-driven accent variant: grey 0.8 on dark, grey 0.2 on light.
QColor accent(bool isDarkMode);

QColor sidebarBackground(bool isDarkMode);
QColor sidebarRowHover(bool isDarkMode);
QColor sidebarRowSelected(bool isDarkMode);
QColor panelDivider(bool isDarkMode);
QColor panelDividerHover(bool isDarkMode);
QColor folderIcon(bool isDarkMode);
QColor fileIcon(bool isDarkMode, bool isSelected);
QColor chevronIcon(bool isDarkMode);
QColor sidebarText(bool isDarkMode, bool isSelected);
QColor sidebarSubtext(bool isDarkMode);
QColor sectionHeader();
QColor sidebarGitButtonText(bool isDarkMode, bool isHovered);
QColor sidebarLinkText(bool isDarkMode, bool isHovered);
QColor sidebarSettingsText(bool isDarkMode, bool isHovered);
QColor sidebarActionButtonIcon(bool isDarkMode, bool isHovered);
QColor sidebarSettingsIcon(bool isDarkMode, bool isHovered);
QColor sidebarHeaderPlusIcon(bool isDarkMode);
QColor gitSynced(bool isDarkMode);
QColor gitLocal(bool isDarkMode);
QColor gitPending();
QColor gitSyncing();
QColor gitError();

// The toolkit's secondary label colour and its plain grey, as the chrome uses them.
QColor secondaryLabel(bool isDarkMode);
QColor gray();

// The main window's own surfaces.
QColor windowBackground(bool isDarkMode);
QColor topBarBackground(bool isDarkMode);
QColor topBarRule(bool isDarkMode);

// grey w at opacity 1, pure white or black at opacity a.
QColor grey(qreal w);
QColor whiteAt(qreal a);
QColor blackAt(qreal a);

// A whole widget palette for the appearance, so views that read their colours from the palette
// (dialogs, inputs, lists) follow the window's theme.
QPalette palette(bool isDarkMode);
// True when the palette's window colour is dark: the system appearance Qt 6.4 can observe.
bool isDark(const QPalette& palette);

} // namespace AppColors

} // namespace quillon
