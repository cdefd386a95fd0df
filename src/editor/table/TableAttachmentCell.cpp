#include "editor/table/TableAttachmentCell.h"

#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/ProjectedDocument.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillon {

namespace {

QColor grey(qreal white)
{
    return QColor::fromRgbF(white, white, white);
}

Qt::Alignment alignmentOf(const MarkdownTable& table, int column)
{
    if (table.alignments.isEmpty())
        return Qt::AlignLeft;
    switch (table.alignments.at(qMin<qsizetype>(table.alignments.size() - 1, column))) {
    case MarkdownTable::Alignment::Center:
        return Qt::AlignHCenter;
    case MarkdownTable::Alignment::Right:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

// A column is as wide as its widest text unless that is wider than a column may be: only then
// may a cell's text be cut short. Finding where to cut shapes the text once more than drawing it.
bool mayCut(const TableLayout& layout, int column)
{
    return column >= layout.columnWidths.size()
        || layout.columnWidths.at(column) >= TableLayout::Metrics::maxColumnWidth;
}

void drawCellText(QPainter& painter, const QRectF& cell, const QString& text, const QFont& font,
    Qt::Alignment alignment, bool cut)
{
    using M = TableLayout::Metrics;
    const QRectF inner
        = cell.adjusted(M::cellPaddingX, M::cellPaddingY, -M::cellPaddingX, -M::cellPaddingY);
    if (inner.width() <= 0)
        return;
    if (painter.font() != font)
        painter.setFont(font);
    const QString shown = cut ? QFontMetricsF(font).elidedText(
                              TableAttachmentCell::displayText(text), Qt::ElideRight, inner.width())
                              : TableAttachmentCell::displayText(text);
    painter.drawText(inner, int(alignment | Qt::AlignTop | Qt::TextSingleLine), shown);
}

// Whether the painter maps its coordinates to the device's by whole pixels alone.
bool translatesByWholePixels(const QPainter& painter)
{
    const QTransform t = painter.deviceTransform();
    return t.type() <= QTransform::TxTranslate && t.dx() == std::round(t.dx())
        && t.dy() == std::round(t.dy());
}

// `box` moved up and left to the nearest whole device pixel.
QRectF onWholePixel(const QPainter& painter, const QRectF& box)
{
    if (!translatesByWholePixels(painter))
        return box;
    return QRectF(QPointF(std::floor(box.left()), std::floor(box.top())), box.size());
}

} // namespace

bool TableAttachmentCell::GridPictures::draw(
    QPainter& painter, const QRectF& frame, const std::shared_ptr<const TableAttachment>& table)
{
    if (!translatesByWholePixels(painter) || frame.left() != std::round(frame.left())
        || frame.top() != std::round(frame.top()))
        return false;
    // A pixel to spare past the right and the bottom: the grid's last lines may end there.
    const QSize size(int(std::ceil(frame.width())) + 1, int(std::ceil(frame.height())) + 1);
    const qsizetype bytes = qsizetype(size.width()) * size.height() * 4;
    if (bytes <= 0 || bytes > kMaxPictureBytes)
        return false;
    std::erase_if(m_pictures, [this](const Picture& picture) {
        if (!picture.table.expired())
            return false;
        m_bytes -= picture.image.sizeInBytes();
        return true;
    });
    auto found = std::find_if(m_pictures.begin(), m_pictures.end(),
        [&](const Picture& picture) { return picture.key == table.get(); });
    if (found == m_pictures.end()) {
        // The least recently drawn make room.
        while (!m_pictures.empty() && m_bytes + bytes > kMaxBytes) {
            const auto oldest = std::min_element(m_pictures.begin(), m_pictures.end(),
                [](const Picture& a, const Picture& b) { return a.used < b.used; });
            m_bytes -= oldest->image.sizeInBytes();
            m_pictures.erase(oldest);
        }
        Picture picture { table.get(), table, QImage(size, QImage::Format_ARGB32_Premultiplied) };
        picture.image.fill(Qt::transparent);
        {
            QPainter into(&picture.image);
            into.setRenderHints(painter.renderHints());
            into.setFont(painter.font());
            TableAttachmentCell::drawGrid(into, QRectF(QPointF(0, 0), frame.size()), *table, {});
        }
        m_bytes += picture.image.sizeInBytes();
        m_pictures.push_back(std::move(picture));
        found = std::prev(m_pictures.end());
    }
    found->used = ++m_clock;
    painter.drawImage(frame.topLeft(), found->image);
    return true;
}

QSizeF TableAttachmentCell::intrinsicSize(
    QTextDocument* document, int position, const QTextFormat& format)
{
    const TextAttachmentPtr attachment = ProjectedDocument::attachmentOf(format);
    const auto* table = dynamic_cast<const TableAttachment*>(attachment.get());
    if (!table)
        return QSizeF(0, 0);
    qreal lineWidth = std::numeric_limits<qreal>::max();
    if (const auto* layout = qobject_cast<const BlockDocumentLayout*>(document->documentLayout()))
        lineWidth = layout->lineWidth(position);
    return shownSize(table->layout(), lineWidth);
}

void TableAttachmentCell::drawObject(
    QPainter* painter, const QRectF& rect, QTextDocument*, int, const QTextFormat& format)
{
    const TextAttachmentPtr attachment = ProjectedDocument::attachmentOf(format);
    const auto* table = dynamic_cast<const TableAttachment*>(attachment.get());
    if (!table)
        return;
    painter->save();
    draw(*painter, rect, *table, editingCell(table), scrollOffset(table), &m_pictures,
        std::static_pointer_cast<const TableAttachment>(attachment));
    painter->restore();
}

qreal TableAttachmentCell::scrollOffset(const TableAttachment* table) const
{
    const auto found = m_offsets.find(table);
    if (found == m_offsets.end() || found->second.first.expired())
        return 0;
    return found->second.second;
}

void TableAttachmentCell::setScrollOffset(
    const std::shared_ptr<const TableAttachment>& table, qreal offset)
{
    std::erase_if(m_offsets, [](const auto& entry) { return entry.second.first.expired(); });
    if (table)
        m_offsets[table.get()] = { table, qMax<qreal>(0, offset) };
}

QSizeF TableAttachmentCell::shownSize(const TableLayout& layout, qreal lineWidth)
{
    const QSizeF size = layout.size();
    if (size.width() <= lineWidth)
        return size;
    return { std::floor(lineWidth), size.height() + kScrollBarGap + kScrollBarHeight };
}

bool TableAttachmentCell::scrolls(const TableLayout& layout, qreal shownWidth)
{
    return shownWidth < layout.size().width() - 0.5;
}

qreal TableAttachmentCell::boundedOffset(const TableLayout& layout, qreal shownWidth, qreal offset)
{
    return qBound<qreal>(0, offset, qMax<qreal>(0, layout.size().width() - shownWidth));
}

QRectF TableAttachmentCell::scrollBarTrack(const TableLayout& layout, const QRectF& box)
{
    if (!scrolls(layout, box.width()))
        return {};
    return { box.left(), box.top() + layout.size().height() + kScrollBarGap, box.width(),
        kScrollBarHeight };
}

QRectF TableAttachmentCell::scrollBarThumb(
    const TableLayout& layout, const QRectF& box, qreal offset)
{
    const QRectF track = scrollBarTrack(layout, box);
    if (track.isEmpty())
        return {};
    const qreal range = layout.size().width() - box.width();
    const qreal width = qMin(track.width(),
        qMax<qreal>(3 * kScrollBarHeight, track.width() * box.width() / layout.size().width()));
    const qreal travel = track.width() - width;
    const qreal left = track.left() + travel * boundedOffset(layout, box.width(), offset) / range;
    return { left, track.top(), width, track.height() };
}

qreal TableAttachmentCell::offsetForThumb(
    const TableLayout& layout, const QRectF& box, qreal thumbLeft)
{
    const QRectF track = scrollBarTrack(layout, box);
    const QRectF thumb = scrollBarThumb(layout, box, 0);
    const qreal travel = track.width() - thumb.width();
    if (travel <= 0)
        return 0;
    const qreal range = layout.size().width() - box.width();
    return boundedOffset(layout, box.width(), (thumbLeft - track.left()) / travel * range);
}

void TableAttachmentCell::setEditingCell(
    const TableAttachment* table, std::optional<TableLayout::CellIndex> cell)
{
    m_editingTable = cell ? table : nullptr;
    m_editingCell = cell.value_or(TableLayout::CellIndex {});
}

std::optional<TableLayout::CellIndex> TableAttachmentCell::editingCell(
    const TableAttachment* table) const
{
    if (!table || table != m_editingTable)
        return std::nullopt;
    return m_editingCell;
}

QString TableAttachmentCell::displayText(const QString& cellText)
{
    QString text = cellText;
    text.replace(QStringLiteral("\\|"), QStringLiteral("|"));
    return text;
}

void TableAttachmentCell::draw(QPainter& painter, const QRectF& given, const TableAttachment& table,
    std::optional<TableLayout::CellIndex> editingCell, qreal offset, GridPictures* pictures,
    const std::shared_ptr<const TableAttachment>& shared)
{
    const TableLayout& layout = table.layout();
    const QSizeF size = layout.size();
    // The grid starts on a whole pixel, drawn or copied: a picture of it is then the same
    // wherever the table moves, and opening a cell editor (which draws it) moves nothing.
    const QRectF box = onWholePixel(painter, given);
    const auto grid = [&](const QRectF& frame) {
        if (editingCell || !pictures || !shared || !pictures->draw(painter, frame, shared))
            drawGrid(painter, frame, table, editingCell);
    };
    if (!scrolls(layout, box.width())) {
        grid(QRectF(box.topLeft(), size));
        return;
    }
    offset = boundedOffset(layout, box.width(), offset);
    painter.save();
    painter.setClipRect(
        QRectF(box.topLeft(), QSizeF(box.width(), size.height())), Qt::IntersectClip);
    grid(QRectF(QPointF(std::round(box.left() - offset), box.top()), size));
    painter.restore();

    const bool dark = table.isDarkMode();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    const qreal radius = kScrollBarHeight / 2;
    painter.setBrush(dark ? grey(0.2) : grey(0.93));
    painter.drawRoundedRect(scrollBarTrack(layout, box), radius, radius);
    painter.setBrush(dark ? grey(0.45) : grey(0.68));
    painter.drawRoundedRect(scrollBarThumb(layout, box, offset), radius, radius);
    painter.restore();
}

void TableAttachmentCell::drawGrid(QPainter& painter, const QRectF& frame,
    const TableAttachment& table, std::optional<TableLayout::CellIndex> editingCell)
{
    const bool dark = table.isDarkMode();
    const TableLayout& layout = table.layout();
    const MarkdownTable& model = table.table();
    const QSizeF size = layout.size();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(frame, dark ? grey(0.13) : QColor(Qt::white));
    painter.fillRect(QRectF(frame.topLeft(), QSizeF(size.width(), layout.headerHeight)),
        dark ? grey(0.18) : grey(0.95));

    // Lines sit on pixel centres inside the frame, so the outer ones are never cut off, and end
    // on the centre of the last line's pixels, so that none reaches past the frame.
    const qreal right = std::floor(frame.right()) - 0.5;
    const qreal bottom = std::floor(frame.bottom()) - 0.5;
    auto snap = [](qreal v, qreal limit) { return qMin(std::floor(v) + 0.5, limit); };
    QPainterPath grid;
    qreal x = frame.left();
    for (int column = 0; column <= layout.columnWidths.size(); ++column) {
        grid.moveTo(snap(x, right), frame.top());
        grid.lineTo(snap(x, right), bottom);
        if (column < layout.columnWidths.size())
            x += layout.columnWidths.at(column);
    }
    qreal y = frame.top();
    for (int row = -1; row <= layout.rowCount; ++row) {
        grid.moveTo(frame.left(), snap(y, bottom));
        grid.lineTo(right, snap(y, bottom));
        y += row < 0 ? layout.headerHeight : layout.rowHeight;
    }
    painter.setPen(QPen(dark ? grey(0.3) : grey(0.82), TableLayout::Metrics::borderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(grid);

    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(dark ? grey(0.92) : grey(0.15));
    const QPointF origin = frame.topLeft();
    const int columns = int(model.columnCount());
    for (int column = 0; column < columns; ++column) {
        if (editingCell && *editingCell == TableLayout::CellIndex { -1, column })
            continue;
        drawCellText(painter, layout.cellRect(-1, column).translated(origin),
            model.headers.at(column), table.headerFont(), alignmentOf(model, column),
            mayCut(layout, column));
    }
    // Only the rows the painter may draw on: a table of thousands of rows shows a few.
    int firstRow = 0;
    int endRow = int(model.rows.size());
    if (painter.hasClipping() && layout.rowHeight > 0) {
        const QRectF shown = painter.clipBoundingRect();
        const qreal rowsTop = origin.y() + layout.headerHeight;
        firstRow = qBound(0, int(std::floor((shown.top() - rowsTop) / layout.rowHeight)), endRow);
        endRow = qBound(
            firstRow, int(std::ceil((shown.bottom() - rowsTop) / layout.rowHeight)) + 1, endRow);
    }
    for (int row = firstRow; row < endRow; ++row) {
        const QStringList& cells = model.rows.at(row);
        for (int column = 0; column < qMin<int>(columns, int(cells.size())); ++column) {
            if (editingCell && *editingCell == TableLayout::CellIndex { row, column })
                continue;
            drawCellText(painter, layout.cellRect(row, column).translated(origin), cells.at(column),
                table.cellFont(), alignmentOf(model, column), mayCut(layout, column));
        }
    }
}

} // namespace quillon
