#pragma once

#include "markdown/TableAttachment.h"
#include "markdown/TableLayout.h"

#include <QObject>
#include <QTextObjectInterface>

#include <optional>

namespace quillon {

// Draws a table's object character as a grid: backgrounds, grid lines and cell texts, leaving
// out the one cell that the in-place editor covers.
class TableAttachmentCell : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
        const QTextFormat& format) override;

    // The cell of `table` not to draw (covered by the cell editor); nullptr for none.
    void setEditingCell(const TableAttachment* table, std::optional<TableLayout::CellIndex> cell);
    std::optional<TableLayout::CellIndex> editingCell(const TableAttachment* table) const;

    static void draw(QPainter& painter, const QRectF& frame, const TableAttachment& table,
        std::optional<TableLayout::CellIndex> editingCell);
    // The text a cell shows: escaped pipes as plain pipes.
    static QString displayText(const QString& cellText);

private:
    const TableAttachment* m_editingTable = nullptr;
    TableLayout::CellIndex m_editingCell;
};

} // namespace quillon
