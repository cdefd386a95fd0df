#include "ui/TabStrip.h"

#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace quillon {

TabItem::TabItem(const QString& path, const QString& title, const QString& symbol, int rowHeight,
    QWidget* parent)
    : QWidget(parent)
    , m_path(path)
    , m_title(title)
    , m_symbol(symbol)
    , m_rowHeight(rowHeight)
{
    setMouseTracking(true);
    setToolTip(path);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TabItem::setActive(bool active)
{
    m_isActive = active;
    update();
}

void TabItem::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    update();
}

void TabItem::setEmbeddedInToolbar(bool embedded)
{
    m_isEmbedded = embedded;
    update();
}

QFont TabItem::titleFont() const
{
    QFont f = font();
    f.setPixelSize(12);
    return f;
}

QSize TabItem::sizeHint() const
{
    const int text = QFontMetrics(titleFont()).horizontalAdvance(m_title);
    return QSize(qBound(kMinWidth, text + 70, kMaxWidth), m_rowHeight);
}

QRect TabItem::iconRect() const
{
    return QRect(12, (height() - 14) / 2, 14, 14);
}

QRect TabItem::closeRect() const
{
    return QRect(width() - 28, (height() - 20) / 2, 20, 20);
}

QRect TabItem::titleRect() const
{
    const int left = iconRect().right() + 1 + 6;
    const int w = qMax(0, closeRect().left() - (iconRect().right() + 1) - 10);
    return QRect(left, (height() - 16) / 2, w, 16);
}

QColor TabItem::backgroundColor() const
{
    if (!m_isActive || m_isEmbedded)
        return Qt::transparent;
    return m_isDarkMode ? AppColors::grey(0.15) : AppColors::grey(1);
}

void TabItem::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), backgroundColor());
    const QColor secondary = AppColors::secondaryLabel(m_isDarkMode);
    p.drawPixmap(iconRect().topLeft(),
        SymbolIcons::pixmap(m_symbol, 14, m_isActive ? AppColors::accent(palette()) : secondary,
            devicePixelRatioF()));
    p.setFont(titleFont());
    p.setPen(m_isActive ? palette().color(QPalette::WindowText) : secondary);
    p.drawText(titleRect(), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(titleFont()).elidedText(m_title, Qt::ElideRight, titleRect().width()));
    const QColor mark = m_isCloseHovering
        ? QColor(Qt::red)
        : (m_isDarkMode ? AppColors::gray() : AppColors::grey(0.5));
    p.drawPixmap(closeRect().topLeft() + QPoint(5, 5),
        SymbolIcons::pixmap(QStringLiteral("xmark"), 10, mark, devicePixelRatioF()));
    if (m_isActive)
        p.fillRect(QRect(0, height() - 2, width(), 2), AppColors::accent(palette()));
}

void TabItem::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (closeRect().contains(event->position().toPoint()))
        Q_EMIT closeRequested();
    else
        Q_EMIT selectRequested();
}

void TabItem::mouseMoveEvent(QMouseEvent* event)
{
    const bool over = closeRect().contains(event->position().toPoint());
    if (over != m_isCloseHovering) {
        m_isCloseHovering = over;
        update();
    }
}

void TabItem::leaveEvent(QEvent*)
{
    if (m_isCloseHovering) {
        m_isCloseHovering = false;
        update();
    }
}

TabStrip::TabStrip(QWidget* parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(kHeight);
    // A click on a tab leaves the keys where they were: the strip has no keys of its own.
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);
    m_row = new QWidget(this);
    m_layout = new QHBoxLayout(m_row);
    m_layout->setContentsMargins(8, 0, 8, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch();
    setWidget(m_row);
    m_row->setAutoFillBackground(false);
}

QSize TabStrip::sizeHint() const
{
    return QSize(m_row->sizeHint().width(), kHeight);
}

QList<TabItem*> TabStrip::items() const
{
    return m_row->findChildren<TabItem*>(QString(), Qt::FindDirectChildrenOnly);
}

void TabStrip::setTabs(const QList<Tab>& tabs, const QString& activePath)
{
    qDeleteAll(items());
    int index = 0;
    for (const Tab& tab : tabs) {
        auto* item = new TabItem(tab.path, tab.title, tab.symbol, kHeight, m_row);
        item->setActive(tab.path == activePath);
        item->setDarkMode(m_isDarkMode);
        item->setEmbeddedInToolbar(m_isEmbedded);
        const QString path = tab.path;
        connect(
            item, &TabItem::selectRequested, this, [this, path] { Q_EMIT selectRequested(path); });
        connect(
            item, &TabItem::closeRequested, this, [this, path] { Q_EMIT closeRequested(path); });
        m_layout->insertWidget(index++, item);
    }
}

void TabStrip::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    for (TabItem* item : items())
        item->setDarkMode(dark);
}

void TabStrip::setEmbeddedInToolbar(bool embedded)
{
    m_isEmbedded = embedded;
    for (TabItem* item : items())
        item->setEmbeddedInToolbar(embedded);
}

void TabStrip::wheelEvent(QWheelEvent* event)
{
    const QPoint delta
        = event->pixelDelta().isNull() ? event->angleDelta() / 8 : event->pixelDelta();
    const int d = delta.x() != 0 ? delta.x() : delta.y();
    if (d == 0) {
        QScrollArea::wheelEvent(event);
        return;
    }
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(qBound(0, bar->value() - d, bar->maximum()));
    event->accept();
}

} // namespace quillon
