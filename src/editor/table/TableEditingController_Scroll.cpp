// A table wider than its line scrolls sideways inside its own box: the wheel, the scroll bar
// under its grid, and the open cell kept in view.
#include "editor/table/TableEditingController.h"

#include "editor/block/ProjectedDocument.h"
#include "editor/table/TableAttachmentCell.h"
#include "markdown/MarkdownTableProjection.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QTextEdit>
#include <QWheelEvent>

namespace quillon {

qreal TableEditingController::scrollOffset(int index) const
{
    const auto* table = MarkdownTableProjection::tableAt(m_projected.storage(), index);
    const std::optional<QRectF> box = boxOf(index);
    if (!table || !box)
        return 0;
    return TableAttachmentCell::boundedOffset(
        table->layout(), box->width(), m_renderer.scrollOffset(table));
}

void TableEditingController::scrollTable(int index, qreal offset)
{
    const std::shared_ptr<const TableAttachment> table = tableAt(index);
    const std::optional<QRectF> box = boxOf(index);
    if (!table || !box)
        return;
    offset = TableAttachmentCell::boundedOffset(table->layout(), box->width(), offset);
    if (offset == scrollOffset(index))
        return;
    m_renderer.setScrollOffset(table, offset);
    invalidate(index);
    placeField();
}

void TableEditingController::revealActiveCell()
{
    if (!m_activeIndex || !m_activeCell || !m_activeTable)
        return;
    const std::optional<QRectF> box = boxOf(*m_activeIndex);
    if (!box)
        return;
    // The cell with the grid line on its right.
    const QRectF r = m_activeTable->layout()
                         .cellRect(m_activeCell->row, m_activeCell->column)
                         .adjusted(0, 0, TableLayout::Metrics::borderWidth, 0);
    qreal offset = scrollOffset(*m_activeIndex);
    if (r.right() > offset + box->width())
        offset = r.right() - box->width();
    if (r.left() < offset)
        offset = r.left();
    scrollTable(*m_activeIndex, offset);
}

bool TableEditingController::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Wheel: {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint point = wheel->position().toPoint();
        const std::optional<Hit> hit = attachment(point);
        if (!hit || !hit->box.contains(point)
            || !TableAttachmentCell::scrolls(hit->table->layout(), hit->box.width()))
            return false;
        // Sideways: a horizontal wheel, or the vertical one with Shift held.
        qreal delta = wheel->pixelDelta().isNull() ? wheel->angleDelta().x() * 0.4
                                                   : wheel->pixelDelta().x();
        if (delta == 0 && (wheel->modifiers() & Qt::ShiftModifier))
            delta = wheel->pixelDelta().isNull() ? wheel->angleDelta().y() * 0.4
                                                 : wheel->pixelDelta().y();
        if (delta == 0)
            return false;
        scrollTable(hit->index, hit->offset - delta);
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint point = mouse->position().toPoint();
        const std::optional<Hit> hit = attachment(point);
        if (!hit)
            return false;
        const TableLayout& layout = hit->table->layout();
        const QRectF track = TableAttachmentCell::scrollBarTrack(layout, hit->box);
        if (track.isEmpty() || !track.adjusted(0, -2, 0, 2).contains(point))
            return false;
        QRectF thumb = TableAttachmentCell::scrollBarThumb(layout, hit->box, hit->offset);
        if (point.x() < thumb.left() || point.x() > thumb.right()) {
            // A press beside the thumb brings it under the pointer, to be dragged from there.
            scrollTable(hit->index,
                TableAttachmentCell::offsetForThumb(
                    layout, hit->box, point.x() - thumb.width() / 2));
            thumb = TableAttachmentCell::scrollBarThumb(layout, hit->box, scrollOffset(hit->index));
        }
        m_drag = ScrollBarDrag { hit->index, point.x() - thumb.left() };
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_drag)
            return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* table = MarkdownTableProjection::tableAt(m_projected.storage(), m_drag->index);
        const std::optional<QRectF> box = boxOf(m_drag->index);
        if (table && box)
            scrollTable(m_drag->index,
                TableAttachmentCell::offsetForThumb(
                    table->layout(), *box, mouse->position().x() - m_drag->grab));
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!m_drag)
            return false;
        m_drag.reset();
        return true;
    default:
        return false;
    }
}

} // namespace quillon
