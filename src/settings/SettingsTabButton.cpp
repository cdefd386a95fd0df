#include "settings/SettingsTabButton.h"

#include "settings/SettingsStyle.h"
#include "ui/SymbolIcons.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace quillon {

namespace S = SettingsStyle;

namespace {
constexpr int symbolSize = 12;
constexpr int gap = 6;
constexpr int padX = 8;
constexpr int padY = 6;
} // namespace

SettingsTabButton::SettingsTabButton(const QString& title, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setFont(S::font(12.5));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SettingsTabButton::setSelected(bool selected)
{
    m_selected = selected;
    setFont(S::font(12.5, selected ? QFont::DemiBold : QFont::Normal));
    updateGeometry();
    update();
}

void SettingsTabButton::setDarkMode(bool dark)
{
    m_dark = dark;
    update();
}

QSize SettingsTabButton::sizeHint() const
{
    // Wide enough for the semibold title, so selecting a tab does not shift the row.
    const QFontMetrics metrics(S::font(12.5, QFont::DemiBold));
    return QSize(padX * 2 + symbolSize + gap + metrics.horizontalAdvance(text()),
        padY * 2 + std::max(metrics.height(), symbolSize));
}

void SettingsTabButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_selected) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(path, S::selectedTabFill(m_dark));
    }
    const QColor colour = S::tabText(m_dark, m_selected);
    const QRect content = rect().adjusted(padX, padY, -padX, -padY);
    painter.drawPixmap(QPoint(content.left(), content.center().y() - symbolSize / 2 + 1),
        SymbolIcons::pixmap(m_symbol, symbolSize, colour, devicePixelRatioF()));
    painter.setPen(colour);
    painter.setFont(font());
    painter.drawText(content.adjusted(symbolSize + gap, 0, 0, 0),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

} // namespace quillon
