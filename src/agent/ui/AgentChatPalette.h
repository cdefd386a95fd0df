#pragma once

#include <QColor>
#include <QFont>

namespace quillon {

// The assistant panel's colours and fonts, each a function of dark mode. Sizes are logical pixels.
namespace AgentChatPalette {

QColor accent(bool dark);
QColor accent(bool dark, qreal alpha);
QColor secondaryText(bool dark);
QColor gray(qreal alpha = 1);
QColor red();
QColor primaryText(bool dark);

QColor panelBackground(bool dark);
QColor headerBackground(bool dark);
QColor badgeFill(bool dark);
QColor divider(bool dark);
QColor inputBackground(bool dark);
QColor chipFill(bool dark);
QColor chipStroke(bool dark);
QColor promptFill(bool dark);
QColor userBubble(bool dark);
// Readable on the user's bubble, whatever the accent.
QColor userBubbleText(bool dark);
QColor otherBubble(bool dark);
QColor otherBubbleText(bool dark);
QColor pillFill(bool dark);

// The system font at a pixel size and weight.
QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace AgentChatPalette

} // namespace quillon
