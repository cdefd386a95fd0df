#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quillon {

// The symbol names the views use ("doc.text", "folder.fill", "sparkles", ...) drawn with icons of
// the freedesktop theme, or with small drawings of our own where the theme has none. A symbol is
// drawn as a silhouette in one colour, so views colour it from AppColors.
namespace SymbolIcons {

// The theme icon name that stands for a symbol; empty when ours is drawn instead.
QString themeName(const QString& symbol);
// The symbol at `size` logical pixels in `color`, for a device pixel ratio. Never null: an
// unknown symbol is drawn as a generic document.
QPixmap pixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio = 1);
// The same as an icon (for buttons and menus).
QIcon icon(const QString& symbol, int size, const QColor& color);

} // namespace SymbolIcons

} // namespace quillon
