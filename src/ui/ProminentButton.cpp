#include "ui/ProminentButton.h"

#include "ui/AppColors.h"

#include <QPainter>

#include <algorithm>

namespace quillon {

namespace {

constexpr qreal kRadius = 6;
constexpr qreal kFocusRing = 2; // pixels kept around the fill for the keyboard focus ring
constexpr int kPaddingX = 12; // between the fill's sides and the title

} // namespace

ProminentButton::ProminentButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
}

QColor ProminentButton::fillColor() const
{
    QColor accent = AppColors::accent(palette());
    if (!isEnabled()) {
        // A faint shape of the button, so that it still reads as one.
        accent.setAlphaF(0.15f);
        return accent;
    }
    if (!isDown())
        return accent;
    // Pressed: a step towards the page, whichever way the accent leans.
    return AppColors::isDark(palette()) ? accent.darker(120) : accent.lighter(200);
}

QSize ProminentButton::sizeHint() const
{
    const QSize base = QPushButton::sizeHint();
    const int title = fontMetrics().size(Qt::TextShowMnemonic, text()).width();
    return QSize(std::max(base.width(), title + 2 * (kPaddingX + int(kFocusRing))), base.height());
}

void ProminentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QRectF fill = outer.adjusted(kFocusRing, kFocusRing, -kFocusRing, -kFocusRing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fillColor());
    painter.drawRoundedRect(fill, kRadius, kRadius);
    if (hasFocus() && isEnabled()) {
        QColor ring = AppColors::accent(palette());
        ring.setAlphaF(0.45f);
        painter.setPen(QPen(ring, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(outer, kRadius + kFocusRing, kRadius + kFocusRing);
    }
    painter.setPen(isEnabled() ? AppColors::onAccent(palette())
                               : palette().color(QPalette::Disabled, QPalette::ButtonText));
    painter.setFont(font());
    painter.drawText(fill, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

} // namespace quillon
