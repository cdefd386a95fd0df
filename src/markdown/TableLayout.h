#pragma once

#include "markdown/MarkdownTable.h"

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace quillon {

// Geometry of a table drawn as a grid: shared by drawing, hit-testing and the cell editor.
// Coordinates are logical pixels relative to the table's top-left corner, y growing downwards.
struct TableLayout
{
    struct CellIndex
    {
        int row = -1; // -1 is the header row, 0 and up the body rows
        int column = 0;
        friend bool operator==(const CellIndex&, const CellIndex&) = default;
    };

    struct Metrics
    {
        static constexpr qreal cellPaddingX = 10;
        static constexpr qreal cellPaddingY = 6;
        static constexpr qreal minColumnWidth = 56;
        static constexpr qreal maxColumnWidth = 320;
        static constexpr qreal borderWidth = 1;
    };

    QList<qreal> columnWidths; // one per header column
    qreal rowHeight = 0;
    qreal headerHeight = 0;
    int rowCount = 0;

    // Widths from the texts as stored (escapes included), clamped to 56..320; only the header's
    // columns count.
    static TableLayout measure(
        const MarkdownTable& table, const QFont& font, const QFont& headerFont);

    QSizeF size() const;
    // The zero rectangle for a column outside the table; any negative row is the header.
    QRectF cellRect(int row, int column) const;
    std::optional<CellIndex> cell(QPointF point) const;

    friend bool operator==(const TableLayout&, const TableLayout&) = default;
};

} // namespace quillon
