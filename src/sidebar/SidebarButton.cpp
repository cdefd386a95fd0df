#include "sidebar/SidebarButton.h"

#include "sidebar/RowPainting.h"
#include "ui/AppColors.h"

#include <QEasingCurve>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace quillon {

namespace {

constexpr int kPadX = 8;
constexpr int kPadY = 5;
constexpr int kSymbolFrame = 14;
constexpr int kSpacing = 8;

QColor scaledAlpha(QColor color, qreal factor)
{
    color.setAlphaF(float(color.alphaF() * factor));
    return color;
}

} // namespace

SidebarButton::SidebarButton(
    Look look, const QString& symbol, const QString& title, QWidget* parent)
    : QAbstractButton(parent)
    , m_look(look)
    , m_symbol(symbol)
    , m_fade(new QVariantAnimation(this))
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_fade->setDuration(120);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_highlight = value.toReal();
        QWidget::update();
    });
}

void SidebarButton::setDarkMode(bool dark)
{
    m_dark = dark;
    QWidget::update();
}

int SidebarButton::symbolSize() const
{
    return m_look == Look::Link ? 14 : 12;
}

QFont SidebarButton::titleFont() const
{
    return RowPainting::font(m_look == Look::Link ? 14 : 12);
}

QSize SidebarButton::sizeHint() const
{
    const QFontMetrics metrics(titleFont());
    return QSize(2 * kPadX + kSymbolFrame + kSpacing + metrics.horizontalAdvance(text()),
        2 * kPadY + qMax(metrics.height(), symbolSize()));
}

void SidebarButton::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    m_fade->stop();
    m_fade->setStartValue(m_highlight);
    m_fade->setEndValue(hovered ? 1.0 : 0.0);
    m_fade->start();
}

void SidebarButton::enterEvent(QEnterEvent* event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void SidebarButton::leaveEvent(QEvent* event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void SidebarButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_highlight > 0) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        const QColor fill = m_dark ? AppColors::whiteAt(0.08) : AppColors::blackAt(0.05);
        painter.fillPath(path, scaledAlpha(fill, m_highlight));
    }
    const bool link = m_look == Look::Link;
    const QColor symbolColor = link
        ? (m_hovered ? AppColors::accentIn(m_dark)
                     : scaledAlpha(AppColors::secondaryLabel(m_dark), 0.8))
        : AppColors::sidebarSettingsIcon(m_dark, m_hovered);
    const QColor textColor = link ? AppColors::sidebarLinkText(m_dark, m_hovered)
                                  : AppColors::sidebarSettingsText(m_dark, m_hovered);
    RowPainting::drawSymbol(
        painter, m_symbol, symbolSize(), symbolColor, kPadX, kSymbolFrame, rect());
    const int x = kPadX + kSymbolFrame + kSpacing;
    RowPainting::drawLine(
        painter, text(), titleFont(), textColor, x, 0, width() - x - kPadX, height());
}

} // namespace quillon
