#include "app/StartPageButtons.h"

#include "ui/AppColors.h"
#include "ui/PointerHover.h"
#include "ui/SymbolIcons.h"
#include "workspace/IconForExtension.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace quillon {

namespace {
QColor mix(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
        float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t),
        float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor withAlpha(QColor c, qreal a)
{
    c.setAlphaF(float(a));
    return c;
}

QPainterPath rounded(const QRectF& r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// A soft shadow: a few widening, fading copies of the shape below it.
void drawShadow(QPainter& p, const QRectF& r, qreal radius, qreal opacity, qreal blur, qreal dy)
{
    const int steps = 4;
    for (int i = steps; i >= 1; --i) {
        const qreal grow = blur * i / steps;
        p.fillPath(rounded(r.adjusted(-grow / 2, -grow / 2 + dy, grow / 2, grow / 2 + dy),
                       radius + grow / 2),
            AppColors::blackAt(opacity / steps));
    }
}
} // namespace

StartPageActionButton::StartPageActionButton(
    const QString& icon, const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent)
    , m_icon(icon)
    , m_title(title)
    , m_subtitle(subtitle)
{
    setCursor(Qt::PointingHandCursor);
    setMaximumWidth(440);
    setMinimumHeight(70);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(title);
    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(150);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toReal();
        update();
    });
}

void StartPageActionButton::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    update();
}

void StartPageActionButton::animateTo(qreal end)
{
    m_animation->stop();
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(end);
    m_animation->start();
}

void StartPageActionButton::enterEvent(QEnterEvent*)
{
    m_isHovered = true;
    animateTo(1);
}

void StartPageActionButton::leaveEvent(QEvent*)
{
    m_isHovered = false;
    animateTo(0);
}

void StartPageActionButton::moveEvent(QMoveEvent*)
{
    followPointer();
}

void StartPageActionButton::resizeEvent(QResizeEvent*)
{
    followPointer();
}

void StartPageActionButton::followPointer()
{
    const bool over = pointerIsOver(*this);
    if (over == m_isHovered)
        return;
    m_isHovered = over;
    animateTo(over ? 1 : 0);
}

void StartPageActionButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void StartPageActionButton::paintEvent(QPaintEvent*)
{
    const bool dark = m_isDarkMode;
    const qreal t = m_progress;
    const QColor accent = AppColors::accent(palette());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal scale = 1 + 0.015 * t;
    p.translate(width() / 2.0, height() / 2.0);
    p.scale(scale, scale);
    p.translate(-width() / 2.0, -height() / 2.0);

    const QRectF card = QRectF(rect()).adjusted(6, 3, -6, -9);
    drawShadow(p, card, 12, (dark ? 0.2 : 0.03) + ((dark ? 0.4 : 0.08) - (dark ? 0.2 : 0.03)) * t,
        3 + 5 * t, 1 + 2 * t);
    const QColor rest = dark ? AppColors::grey(0.14) : AppColors::whiteAt(0.9);
    const QColor hover = dark ? AppColors::grey(0.18) : AppColors::grey(1);
    p.fillPath(rounded(card, 12), mix(rest, hover, t));
    const QColor outlineRest = dark ? AppColors::whiteAt(0.08) : AppColors::blackAt(0.08);
    p.setPen(QPen(mix(outlineRest, withAlpha(accent, 0.6), t), 1 + 0.5 * t));
    p.drawPath(rounded(card, 12));

    const QRectF tile(card.left() + 16, card.center().y() - 21, 42, 42);
    const QColor tileRest = dark ? AppColors::whiteAt(0.08) : withAlpha(accent, 0.1);
    p.fillPath(rounded(tile, 10), mix(tileRest, withAlpha(accent, 0.2), t));
    const QColor iconColor = dark && !m_isHovered ? AppColors::whiteAt(0.9) : accent;
    p.drawPixmap(QPointF(tile.center().x() - 11, tile.center().y() - 11),
        SymbolIcons::pixmap(m_icon, 22, iconColor, devicePixelRatioF()));

    const qreal textX = tile.right() + 16;
    QFont titleFont = font();
    titleFont.setPixelSize(15);
    titleFont.setWeight(QFont::DemiBold);
    const QColor titleRest = dark ? AppColors::whiteAt(0.9) : AppColors::grey(0.15);
    const QColor titleHover = dark ? AppColors::whiteAt(1) : AppColors::blackAt(1);
    p.setFont(titleFont);
    p.setPen(mix(titleRest, titleHover, t));
    const qreal textWidth = card.right() - 40 - textX;
    p.drawText(QRectF(textX, card.top() + 12, textWidth, 20), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(titleFont).elidedText(m_title, Qt::ElideRight, int(textWidth)));
    QFont subFont = font();
    subFont.setPixelSize(12);
    p.setFont(subFont);
    p.setPen(dark ? AppColors::gray() : AppColors::secondaryLabel(false));
    p.drawText(QRectF(textX, card.top() + 34, textWidth, 16), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(subFont).elidedText(m_subtitle, Qt::ElideRight, int(textWidth)));

    const QColor chevronRest = dark ? AppColors::whiteAt(0.2) : AppColors::blackAt(0.25);
    p.drawPixmap(QPointF(card.right() - 30 + 2 * t, card.center().y() - 7),
        SymbolIcons::pixmap(
            QStringLiteral("chevron.right"), 14, mix(chevronRest, accent, t), devicePixelRatioF()));
}

StartPageRecentRow::StartPageRecentRow(const RecentEntity& entity, QWidget* parent)
    : QWidget(parent)
    , m_entity(entity)
{
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(48);
    setProperty("path", entity.url);
    setToolTip(entity.url);
}

void StartPageRecentRow::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    update();
}

void StartPageRecentRow::enterEvent(QEnterEvent*)
{
    m_isHovering = true;
    update();
}

void StartPageRecentRow::leaveEvent(QEvent*)
{
    m_isHovering = false;
    update();
}

void StartPageRecentRow::moveEvent(QMoveEvent*)
{
    followPointer();
}

void StartPageRecentRow::resizeEvent(QResizeEvent*)
{
    followPointer();
}

void StartPageRecentRow::followPointer()
{
    const bool over = pointerIsOver(*this);
    if (over == m_isHovering)
        return;
    m_isHovering = over;
    update();
}

void StartPageRecentRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void StartPageRecentRow::paintEvent(QPaintEvent*)
{
    const bool dark = m_isDarkMode;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_isHovering)
        p.fillRect(rect(), dark ? AppColors::whiteAt(0.06) : AppColors::blackAt(0.04));
    const QFileInfo info(m_entity.url);
    const QString symbol
        = m_entity.isDirectory ? QStringLiteral("folder.fill") : iconForExtension(info.suffix());
    const QColor iconColor = m_entity.isDirectory
        ? (dark ? AppColors::grey(0.96) : AppColors::grey(0.1))
        : (dark ? AppColors::grey(0.55) : AppColors::grey(0.5));
    p.drawPixmap(14 + 2, (height() - 16) / 2,
        SymbolIcons::pixmap(symbol, 16, iconColor, devicePixelRatioF()));

    const int textX = 14 + 22 + 12;
    const int textWidth = width() - textX - 14 - 12 - 12;
    QFont nameFont = font();
    nameFont.setPixelSize(13);
    nameFont.setWeight(QFont::Medium);
    p.setFont(nameFont);
    p.setPen(dark ? AppColors::whiteAt(0.9) : AppColors::blackAt(0.85));
    p.drawText(QRect(textX, 7, textWidth, 18), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(nameFont).elidedText(info.fileName(), Qt::ElideRight, textWidth));
    QFont pathFont = font();
    pathFont.setPixelSize(11);
    p.setFont(pathFont);
    p.setPen(AppColors::gray());
    p.drawText(QRect(textX, 26, textWidth, 15), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(pathFont).elidedText(info.absolutePath(), Qt::ElideMiddle, textWidth));
    if (m_isHovering) {
        p.drawPixmap(width() - 14 - 12, (height() - 12) / 2,
            SymbolIcons::pixmap(QStringLiteral("arrow.up.right.square"), 12,
                AppColors::accent(palette()), devicePixelRatioF()));
    }
}

void StartPageCard::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    update();
}

void StartPageCard::paintEvent(QPaintEvent*)
{
    const bool dark = m_isDarkMode;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(2, 1, -2, -4);
    drawShadow(p, card, 12, dark ? 0.2 : 0.03, 4, 1);
    p.fillPath(rounded(card, 12), dark ? AppColors::grey(0.14) : AppColors::whiteAt(0.9));
    p.setPen(QPen(dark ? AppColors::whiteAt(0.08) : AppColors::blackAt(0.08), 1));
    p.drawPath(rounded(card, 12));
}

} // namespace quillon
