#include "ui/SteadyScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace quillon {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
}

SteadyScrollBar::Shown SteadyScrollBar::shown() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return { style()->subControlRect(
                 QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum() };
}

void SteadyScrollBar::sliderChange(SliderChange change)
{
    const bool quiet = change == SliderRangeChange || change == SliderValueChange;
    if (quiet && m_painted && isVisible() && shown() == m_shown)
        return;
    QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event)
{
    m_shown = shown();
    m_painted = true;
    QScrollBar::paintEvent(event);
}

} // namespace quillon
