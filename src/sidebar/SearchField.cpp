#include "sidebar/SearchField.h"

#include "sidebar/RowPainting.h"
#include "ui/AppColors.h"
#include "workspace/WorkspaceState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace quillon {

SearchField::SearchField(WorkspaceState& workspace, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_icon(new QLabel(this))
    , m_edit(new QLineEdit(this))
    , m_clear(new QToolButton(this))
{
    m_edit->setFrame(false);
    m_edit->setPlaceholderText(tr("Search in project..."));
    m_edit->setFont(RowPainting::font(12));
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_clear->setAutoRaise(true);
    m_clear->setCursor(Qt::PointingHandCursor);
    m_clear->setFocusPolicy(Qt::NoFocus);
    m_clear->setToolTip(tr("Clear"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 5, 8, 5);
    layout->setSpacing(6);
    layout->addWidget(m_icon);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_clear);

    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_workspace.globalSearchQuery() != text)
            m_workspace.setGlobalSearchQuery(text);
    });
    connect(m_clear, &QToolButton::clicked, this, [this] { m_workspace.setGlobalSearchQuery({}); });
    connect(&m_workspace, &WorkspaceState::globalSearchQueryChanged, this, &SearchField::showQuery);
    showQuery();
    setDarkMode(false);
}

void SearchField::showQuery()
{
    const QString query = m_workspace.globalSearchQuery();
    if (m_edit->text() != query) {
        const int caret = m_edit->cursorPosition();
        m_edit->setText(query);
        m_edit->setCursorPosition(qMin(caret, int(query.size())));
    }
    m_clear->setVisible(!query.isEmpty());
}

void SearchField::focusField()
{
    if (!m_edit->hasFocus())
        m_edit->setFocus(Qt::ShortcutFocusReason);
}

void SearchField::setDarkMode(bool dark)
{
    m_dark = dark;
    const QColor secondary = AppColors::secondaryLabel(dark);
    const qreal dpr = devicePixelRatioF();
    m_icon->setPixmap(RowPainting::symbol(QStringLiteral("magnifyingglass"), 11, secondary, dpr));
    m_clear->setIcon(QIcon(RowPainting::symbol(QStringLiteral("xmark"), 11, secondary, dpr)));
    m_clear->setIconSize(QSize(11, 11));
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, AppColors::sidebarText(dark, false));
    palette.setColor(QPalette::PlaceholderText, secondary);
    m_edit->setPalette(palette);
    update();
}

void SearchField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(box, m_dark ? AppColors::whiteAt(0.08) : AppColors::blackAt(0.05));
}

} // namespace quillon
