#include "app/EditorArea.h"

#include "ui/Divider.h"

#include <cmath>

namespace quillon {

EditorArea::EditorArea(QWidget* parent)
    : QWidget(parent)
{
    m_divider = new ResizableDivider(this);
    m_divider->setPosition(m_splitPosition);
    connect(m_divider, &ResizableDivider::positionRequested, this, &EditorArea::setSplitPosition);
}

void EditorArea::setMode(EditorMode mode)
{
    if (m_mode == mode)
        return;
    m_mode = mode;
    relayout();
    Q_EMIT modeChanged(mode);
}

void EditorArea::setSplitPosition(double fraction)
{
    if (m_splitPosition == fraction)
        return;
    m_splitPosition = fraction;
    m_divider->setPosition(fraction);
    relayout();
    Q_EMIT splitPositionChanged(fraction);
}

void EditorArea::setDarkMode(bool dark)
{
    m_divider->setDarkMode(dark);
}

static void replacePane(QPointer<QWidget>& slot, QWidget* pane, QWidget* area)
{
    if (slot == pane)
        return;
    delete slot.data();
    slot = pane;
    if (pane)
        pane->setParent(area);
}

void EditorArea::setSourcePane(QWidget* pane)
{
    replacePane(m_sourcePane, pane, this);
    relayout();
}

void EditorArea::setBlocksPane(QWidget* pane)
{
    replacePane(m_blocksPane, pane, this);
    relayout();
}

void EditorArea::resizeEvent(QResizeEvent*)
{
    relayout();
}

void EditorArea::relayout()
{
    const int w = width();
    const int h = height();
    const bool split = m_mode == EditorMode::BlocksSplit;
    const bool showSource = m_mode != EditorMode::Blocks;
    const bool showBlocks = m_mode != EditorMode::SourceOnly;
    const int left = split ? int(std::lround(w * m_splitPosition)) : (showSource ? w : 0);
    if (m_sourcePane) {
        m_sourcePane->setGeometry(0, 0, left, h);
        m_sourcePane->setVisible(showSource);
    }
    m_divider->setGeometry(left, 0, 1, h);
    m_divider->setVisible(split);
    if (m_blocksPane) {
        const int x = split ? left + 1 : 0;
        m_blocksPane->setGeometry(x, 0, qMax(0, w - x), h);
        m_blocksPane->setVisible(showBlocks);
    }
    m_divider->raise();
}

} // namespace quillon
