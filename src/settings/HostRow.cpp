#include "settings/HostRow.h"

#include "settings/SettingsStyle.h"
#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace quillon {

namespace S = SettingsStyle;

HostRow::HostRow(const QString& host, bool dark, QWidget* parent)
    : QWidget(parent)
    , m_host(host)
    , m_dark(dark)
    , m_edit(S::button(QStringLiteral("Edit"), 11, this))
    , m_delete(S::button(QStringLiteral("Delete"), 11, this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    auto* icon = new QLabel(this);
    icon->setPixmap(SymbolIcons::pixmap(
        QStringLiteral("server.rack"), 11, AppColors::accentIn(dark), devicePixelRatioF()));
    auto* name = new QLabel(host, this);
    name->setTextFormat(Qt::PlainText);
    name->setFont(S::font(12, QFont::Medium));
    auto* mask = new QLabel(QStringLiteral("••••••••"), this);
    mask->setFont(S::monospaceFont(11));
    S::setTextColour(mask, S::note());
    S::setTextColour(m_delete, S::danger());
    row->addWidget(icon);
    row->addWidget(name);
    row->addStretch(1);
    row->addWidget(mask);
    row->addWidget(m_edit);
    row->addWidget(m_delete);
    connect(m_edit, &QPushButton::clicked, this, [this] { Q_EMIT editRequested(m_host); });
    connect(m_delete, &QPushButton::clicked, this, [this] { Q_EMIT deleteRequested(m_host); });
}

void HostRow::setDarkMode(bool dark)
{
    m_dark = dark;
    update();
}

void HostRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 5, 5);
    painter.fillPath(path, S::rowFill(m_dark));
}

} // namespace quillon
