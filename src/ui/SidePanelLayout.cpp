#include "ui/SidePanelLayout.h"

#include <QWidget>

#include <algorithm>

namespace quillon {

SidePanelLayout::SidePanelLayout(QWidget* main, QWidget* divider, QWidget* panel, QWidget* parent)
    : QLayout(parent)
    , m_main(new QWidgetItemV2(main))
    , m_divider(new QWidgetItemV2(divider))
    , m_panel(new QWidgetItemV2(panel))
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
    for (QWidget* w : { main, divider, panel })
        addChildWidget(w);
}

SidePanelLayout::~SidePanelLayout() = default;

void SidePanelLayout::setWantedPanelWidth(int width)
{
    if (width == m_wanted)
        return;
    m_wanted = width;
    invalidate();
}

bool SidePanelLayout::panelShown() const
{
    return m_panel && !m_panel->isEmpty();
}

int SidePanelLayout::dividerWidth() const
{
    return m_divider && !m_divider->isEmpty() ? m_divider->sizeHint().width() : 0;
}

QSize SidePanelLayout::sizeHint() const
{
    QSize hint = m_main ? m_main->sizeHint() : QSize(0, 0);
    if (panelShown()) {
        const int panel = std::max(m_wanted, m_panel->minimumSize().width());
        hint.rwidth() += dividerWidth() + panel;
        hint.rheight() = std::max(hint.height(), m_panel->sizeHint().height());
    }
    return hint;
}

QSize SidePanelLayout::minimumSize() const
{
    QSize min = m_main ? m_main->minimumSize() : QSize(0, 0);
    if (panelShown()) {
        min.rwidth() += dividerWidth() + m_panel->minimumSize().width();
        min.rheight() = std::max(min.height(), m_panel->minimumSize().height());
    }
    return min;
}

void SidePanelLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    int shown = 0;
    int mainWidth = rect.width();
    const int mainMin = m_main ? m_main->minimumSize().width() : 0;
    if (panelShown()) {
        const int divider = dividerWidth();
        const int panelMin = m_panel->minimumSize().width();
        const int room = rect.width() - divider - mainMin;
        shown = std::max(panelMin, std::min(m_wanted, room));
        mainWidth = std::max(0, rect.width() - divider - shown);
        if (m_divider)
            m_divider->setGeometry(QRect(rect.x() + mainWidth, rect.y(), divider, rect.height()));
        m_panel->setGeometry(QRect(rect.x() + mainWidth + divider, rect.y(), shown, rect.height()));
    }
    if (m_main)
        m_main->setGeometry(QRect(rect.x(), rect.y(), mainWidth, rect.height()));
    if (shown != m_shown) {
        m_shown = shown;
        Q_EMIT panelWidthChanged(shown);
    }
}

void SidePanelLayout::addItem(QLayoutItem* item)
{
    // The three places are fixed at construction.
    delete item;
}

std::unique_ptr<QLayoutItem>* SidePanelLayout::place(int index)
{
    // Items taken out leave no gap: Qt walks a layout's items until the first null.
    for (std::unique_ptr<QLayoutItem>* item : { &m_main, &m_divider, &m_panel }) {
        if (*item && index-- == 0)
            return item;
    }
    return nullptr;
}

QLayoutItem* SidePanelLayout::itemAt(int index) const
{
    std::unique_ptr<QLayoutItem>* item = const_cast<SidePanelLayout*>(this)->place(index);
    return item ? item->get() : nullptr;
}

QLayoutItem* SidePanelLayout::takeAt(int index)
{
    std::unique_ptr<QLayoutItem>* item = place(index);
    return item ? item->release() : nullptr;
}

int SidePanelLayout::count() const
{
    return int(bool(m_main)) + int(bool(m_divider)) + int(bool(m_panel));
}

} // namespace quillon
