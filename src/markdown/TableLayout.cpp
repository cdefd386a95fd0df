#include "markdown/TableLayout.h"

#include <QFontMetricsF>

#include <cmath>

namespace quillon {

TableLayout TableLayout::measure(
    const MarkdownTable& table, const QFont& font, const QFont& headerFont)
{
    const QFontMetricsF cellMetrics(font);
    const QFontMetricsF headerMetrics(headerFont);
    TableLayout layout;
    const qsizetype columns = table.headers.size();
    layout.columnWidths.reserve(columns);
    for (const QString& header : table.headers)
        layout.columnWidths.append(
            headerMetrics.horizontalAdvance(header) + 2 * Metrics::cellPaddingX);
    for (const QStringList& row : table.rows) {
        for (qsizetype c = 0; c < row.size() && c < columns; ++c) {
            const qreal w = cellMetrics.horizontalAdvance(row[c]) + 2 * Metrics::cellPaddingX;
            layout.columnWidths[c] = qMax(layout.columnWidths[c], w);
        }
    }
    for (qreal& w : layout.columnWidths)
        w = qMin(Metrics::maxColumnWidth, qMax(Metrics::minColumnWidth, w));
    layout.rowHeight
        = std::ceil(cellMetrics.ascent() + cellMetrics.descent() + cellMetrics.leading())
        + 2 * Metrics::cellPaddingY;
    layout.headerHeight
        = std::ceil(headerMetrics.ascent() + headerMetrics.descent() + headerMetrics.leading())
        + 2 * Metrics::cellPaddingY;
    layout.rowCount = int(table.rows.size());
    return layout;
}

QSizeF TableLayout::size() const
{
    qreal width = 0;
    for (qreal w : columnWidths)
        width += w;
    return { width + Metrics::borderWidth,
        rowCount * rowHeight + headerHeight + Metrics::borderWidth };
}

QRectF TableLayout::cellRect(int row, int column) const
{
    if (column < 0 || column >= columnWidths.size())
        return {};
    qreal x = 0;
    for (int c = 0; c < column; ++c)
        x += columnWidths[c];
    if (row < 0)
        return { x, 0, columnWidths[column], headerHeight };
    return { x, headerHeight + row * rowHeight, columnWidths[column], rowHeight };
}

std::optional<TableLayout::CellIndex> TableLayout::cell(QPointF point) const
{
    if (point.x() < 0 || point.y() < 0 || columnWidths.isEmpty())
        return std::nullopt;
    int column = -1;
    qreal start = 0;
    for (int c = 0; c < columnWidths.size(); ++c) {
        if (point.x() >= start && point.x() < start + columnWidths[c]) {
            column = c;
            break;
        }
        start += columnWidths[c];
    }
    if (column < 0)
        return std::nullopt;
    if (point.y() < headerHeight)
        return CellIndex { -1, column };
    if (rowHeight <= 0)
        return std::nullopt;
    const int row = int((point.y() - headerHeight) / rowHeight);
    if (row >= 0 && row < rowCount)
        return CellIndex { row, column };
    return std::nullopt;
}

} // namespace quillon
