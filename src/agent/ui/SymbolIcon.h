#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace quillon {

// Draws the named symbol (the names the transcript's pills and the panel use, such as "sparkles"
// or "checkmark.circle.fill") from the desktop's symbolic icon theme, tinted in one colour.
// An unknown name gives a transparent image of the size asked for.
namespace SymbolIcon {

QString themeName(const QString& symbol);
QPixmap pixmap(const QString& symbol, qreal size, const QColor& color, qreal devicePixelRatio = 1);

} // namespace SymbolIcon

} // namespace quillon
