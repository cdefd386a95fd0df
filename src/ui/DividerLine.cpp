#include "ui/DividerLine.h"

#include "ui/AppColors.h"

#include <QPainter>

namespace quillon {

DividerLine::DividerLine(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent)
    , m_orientation(orientation)
{
    if (orientation == Qt::Horizontal) {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else {
        setFixedWidth(1);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
}

void DividerLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), AppColors::panelDivider(AppColors::isDark(palette())));
}

} // namespace quillon
