#include "agent/ui/ContextChip.h"

#include "agent/ui/AgentChatPalette.h"

#include "ui/SymbolIcons.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace quillon {

namespace P = AgentChatPalette;

ContextChip::ContextChip(QWidget* parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(this))
    , m_remove(new QToolButton(this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 5, 10, 5);
    row->setSpacing(6);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setFont(P::font(11, QFont::Medium));
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_remove->setAutoRaise(true);
    m_remove->setCursor(Qt::ArrowCursor);
    m_remove->setToolTip(QStringLiteral("Remove attached context"));
    m_remove->setIconSize(QSize(12, 12));
    m_remove->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    m_remove->setIcon(
        QIcon(SymbolIcons::pixmap(QStringLiteral("xmark.circle.fill"), 12, P::gray(), 2)));
    row->addWidget(m_icon);
    row->addWidget(m_title, 1);
    row->addWidget(m_remove);
    connect(m_remove, &QToolButton::clicked, this, &ContextChip::removeRequested);
    refreshIcon();
}

void ContextChip::setContext(const QString& title, bool isSelection)
{
    m_title->setText(title);
    m_title->setToolTip(title);
    m_isSelection = isSelection;
    refreshIcon();
}

QString ContextChip::title() const
{
    return m_title->text();
}

void ContextChip::setDarkMode(bool dark)
{
    m_dark = dark;
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, P::primaryText(dark));
    m_title->setPalette(palette);
    refreshIcon();
    update();
}

void ContextChip::refreshIcon()
{
    const QString symbol
        = m_isSelection ? QStringLiteral("text.quote") : QStringLiteral("doc.text");
    m_icon->setPixmap(SymbolIcons::pixmap(symbol, 11, P::accent(m_dark), devicePixelRatioF()));
}

void ContextChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(path, P::chipFill(m_dark));
    painter.setPen(QPen(P::chipStroke(m_dark), 1));
    painter.drawPath(path);
}

} // namespace quillon
