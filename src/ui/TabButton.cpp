#include "ui/TabButton.h"

#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace quillon {

namespace {
constexpr int kPadX = 11;
constexpr int kPadY = 7;
constexpr int kOuterPadY = 4;
constexpr int kSpacing = 6;
constexpr int kIconSize = 11;
constexpr int kCloseSize = 16;

void fillRounded(QPainter& p, const QRectF& rect, qreal radius, const QColor& color)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    p.fillPath(path, color);
}
} // namespace

TabButton::TabButton(const QString& title, const QString& symbol, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
    , m_symbol(symbol)
{
    setMouseTracking(true);
    setToolTip(title);
    // Its own width: a strip too narrow for its tabs scrolls rather than squeezing them.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TabButton::setActive(bool active)
{
    if (m_isActive == active)
        return;
    m_isActive = active;
    updateGeometry();
    update();
}

void TabButton::setDarkMode(bool dark)
{
    if (m_isDarkMode == dark)
        return;
    m_isDarkMode = dark;
    update();
}

QFont TabButton::titleFont() const
{
    QFont f = font();
    f.setPixelSize(12);
    f.setWeight(m_isActive ? QFont::Medium : QFont::Normal);
    return f;
}

QSize TabButton::sizeHint() const
{
    const QFontMetrics fm(titleFont());
    const int content
        = kIconSize + kSpacing + fm.horizontalAdvance(m_title) + kSpacing + kCloseSize;
    // A little slack: a name that just fits is measured a pixel short of how it is drawn.
    const int w = qBound(kMinWidth, content + 2 * kPadX + 4, kMaxWidth);
    const int h = qMax(fm.height(), kCloseSize) + 2 * kPadY + 2 * kOuterPadY;
    return QSize(w, h);
}

QRect TabButton::closeRect() const
{
    return QRect(width() - kPadX - kCloseSize, (height() - kCloseSize) / 2, kCloseSize, kCloseSize);
}

QRect TabButton::titleRect() const
{
    const int x = kPadX + kIconSize + kSpacing;
    return QRect(
        x, kOuterPadY, qMax(0, closeRect().left() - kSpacing - x), height() - 2 * kOuterPadY);
}

QString TabButton::shownTitle() const
{
    return QFontMetrics(titleFont()).elidedText(m_title, Qt::ElideRight, titleRect().width());
}

void TabButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(0, kOuterPadY, 0, -kOuterPadY);
    if (m_isActive)
        fillRounded(p, body, 5, m_isDarkMode ? AppColors::whiteAt(0.12) : AppColors::blackAt(0.06));
    else if (m_isHovering)
        fillRounded(p, body, 5, m_isDarkMode ? AppColors::whiteAt(0.06) : AppColors::blackAt(0.03));

    const QColor secondary = AppColors::secondaryLabel(m_isDarkMode);
    const QColor primary = m_isDarkMode ? AppColors::grey(0.92) : AppColors::grey(0.1);
    const QColor iconColor = m_isActive ? AppColors::accent(palette()) : secondary;
    p.drawPixmap(kPadX, (height() - kIconSize) / 2,
        SymbolIcons::pixmap(m_symbol, kIconSize, iconColor, devicePixelRatioF()));

    p.setFont(titleFont());
    p.setPen(m_isActive ? primary : secondary);
    p.drawText(titleRect(), Qt::AlignVCenter | Qt::AlignLeft, shownTitle());

    QColor mark = secondary;
    if (m_isCloseHovering)
        mark = QColor(Qt::red);
    else
        mark.setAlphaF(mark.alphaF() * 0.7f);
    const QRect close = closeRect();
    p.drawPixmap(close.topLeft() + QPoint(4, 4),
        SymbolIcons::pixmap(QStringLiteral("xmark"), 8, mark, devicePixelRatioF()));
}

void TabButton::enterEvent(QEnterEvent*)
{
    m_isHovering = true;
    update();
}

void TabButton::leaveEvent(QEvent*)
{
    m_isHovering = false;
    m_isCloseHovering = false;
    update();
}

void TabButton::mouseMoveEvent(QMouseEvent* event)
{
    const bool over = closeRect().contains(event->position().toPoint());
    if (over != m_isCloseHovering) {
        m_isCloseHovering = over;
        update();
    }
}

void TabButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    if (closeRect().contains(event->position().toPoint()))
        Q_EMIT closeRequested();
    else
        Q_EMIT selectRequested();
}

ThemeToggleButton::ThemeToggleButton(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(28, 28);
    setCursor(Qt::PointingHandCursor);
}

void ThemeToggleButton::setDarkMode(bool dark)
{
    if (m_isDarkMode == dark)
        return;
    m_isDarkMode = dark;
    update();
}

QString ThemeToggleButton::symbol() const
{
    return m_isDarkMode ? QStringLiteral("sun.max") : QStringLiteral("moon");
}

void ThemeToggleButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QColor color = m_isDarkMode ? AppColors::gray() : AppColors::grey(0.4);
    if (m_isHovering)
        color = AppColors::accent(palette());
    const int s = 16;
    p.drawPixmap((width() - s) / 2, (height() - s) / 2,
        SymbolIcons::pixmap(symbol(), s, color, devicePixelRatioF()));
}

void ThemeToggleButton::enterEvent(QEnterEvent*)
{
    m_isHovering = true;
    update();
}

void ThemeToggleButton::leaveEvent(QEvent*)
{
    m_isHovering = false;
    update();
}

void ThemeToggleButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

PillToggleButton::PillToggleButton(const QString& symbol, const QString& label, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_label(label)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PillToggleButton::setOn(bool on)
{
    if (m_isOn == on)
        return;
    m_isOn = on;
    update();
}

void PillToggleButton::setDarkMode(bool dark)
{
    if (m_isDarkMode == dark)
        return;
    m_isDarkMode = dark;
    update();
}

QFont PillToggleButton::labelFont() const
{
    QFont f = font();
    f.setPixelSize(12);
    f.setWeight(QFont::Medium);
    return f;
}

QColor PillToggleButton::fillColor() const
{
    if (m_isOn) {
        QColor c = AppColors::accentIn(m_isDarkMode);
        c.setAlphaF(0.18f);
        return c;
    }
    return m_isDarkMode ? AppColors::whiteAt(0.06) : AppColors::blackAt(0.04);
}

QColor PillToggleButton::foregroundColor() const
{
    if (m_isOn)
        return AppColors::accentIn(m_isDarkMode);
    return m_isDarkMode ? AppColors::whiteAt(1) : AppColors::blackAt(1);
}

QSize PillToggleButton::sizeHint() const
{
    const QFontMetrics fm(labelFont());
    return QSize(8 + 12 + 4 + fm.horizontalAdvance(m_label) + 8, qMax(12, fm.height()) + 10);
}

void PillToggleButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    fillRounded(p, rect(), 6, fillColor());
    const QColor fg = foregroundColor();
    p.drawPixmap(
        8, (height() - 12) / 2, SymbolIcons::pixmap(m_symbol, 12, fg, devicePixelRatioF()));
    p.setFont(labelFont());
    p.setPen(fg);
    p.drawText(
        QRect(8 + 12 + 4, 0, width() - 24, height()), Qt::AlignVCenter | Qt::AlignLeft, m_label);
}

void PillToggleButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace quillon
