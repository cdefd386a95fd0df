#pragma once

#include "markdown/TableAttachment.h"
#include "markdown/TableLayout.h"

#include <QImage>
#include <QObject>
#include <QTextObjectInterface>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quillon {

// Draws a table's object character as a grid: backgrounds, grid lines and cell texts, leaving
// out the one cell that the in-place editor covers.
//
// A table wider than the line it stands on is shown as wide as the line: its grid scrolls
// sideways inside that box (each table keeps its own offset), with a scroll bar drawn under it,
// so that the text column itself never needs to scroll.
class TableAttachmentCell : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    static constexpr qreal kScrollBarGap = 3; // between the grid and its scroll bar
    static constexpr qreal kScrollBarHeight = 8;

    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
        const QTextFormat& format) override;

    // The cell of `table` not to draw (covered by the cell editor); nullptr for none.
    void setEditingCell(const TableAttachment* table, std::optional<TableLayout::CellIndex> cell);
    std::optional<TableLayout::CellIndex> editingCell(const TableAttachment* table) const;

    // How far the grid of `table` is scrolled to the left (0 for a table never scrolled).
    qreal scrollOffset(const TableAttachment* table) const;
    void setScrollOffset(const std::shared_ptr<const TableAttachment>& table, qreal offset);

    // The box a table takes on a line `lineWidth` wide: the grid, cut to the line, and the
    // scroll bar under it when it was cut.
    static QSizeF shownSize(const TableLayout& layout, qreal lineWidth);
    static bool scrolls(const TableLayout& layout, qreal shownWidth);
    // The offset kept within what the grid can scroll in a box `shownWidth` wide.
    static qreal boundedOffset(const TableLayout& layout, qreal shownWidth, qreal offset);
    // The scroll bar's track and thumb for a table shown in `box`; empty when it fits.
    static QRectF scrollBarTrack(const TableLayout& layout, const QRectF& box);
    static QRectF scrollBarThumb(const TableLayout& layout, const QRectF& box, qreal offset);
    // The offset that puts the thumb's left edge at `thumbLeft` (box coordinates as above).
    static qreal offsetForThumb(const TableLayout& layout, const QRectF& box, qreal thumbLeft);

    // Pictures of the grids drawn last, so that a table redrawn unchanged (the text around it
    // moved, the view scrolled) is copied rather than drawn cell by cell.
    class GridPictures
    {
    public:
        // Draws `table`'s grid at `frame` from its picture, made now if it has none; false
        // (nothing drawn) where a picture would not match the drawing pixel for pixel (a scaled
        // painter) or would take too much memory.
        bool draw(QPainter& painter, const QRectF& frame,
            const std::shared_ptr<const TableAttachment>& table);
        int count() const { return int(m_pictures.size()); }

        static constexpr qsizetype kMaxBytes = 12 << 20; // all pictures together
        static constexpr qsizetype kMaxPictureBytes = 3 << 20; // a larger grid is drawn each time

    private:
        struct Picture
        {
            const TableAttachment* key = nullptr;
            std::weak_ptr<const TableAttachment> table; // gone: its address may be reused
            QImage image;
            quint64 used = 0;
        };
        std::vector<Picture> m_pictures;
        qsizetype m_bytes = 0;
        quint64 m_clock = 0;
    };

    // Draws the table into `box`, its grid scrolled left by `offset`, from `pictures` where given
    // and no cell is being edited.
    static void draw(QPainter& painter, const QRectF& box, const TableAttachment& table,
        std::optional<TableLayout::CellIndex> editingCell, qreal offset = 0,
        GridPictures* pictures = nullptr,
        const std::shared_ptr<const TableAttachment>& shared = {});
    const GridPictures& gridPictures() const { return m_pictures; }
    // The text a cell shows: escaped pipes as plain pipes.
    static QString displayText(const QString& cellText);

private:
    static void drawGrid(QPainter& painter, const QRectF& frame, const TableAttachment& table,
        std::optional<TableLayout::CellIndex> editingCell);

    GridPictures m_pictures;

    const TableAttachment* m_editingTable = nullptr;
    TableLayout::CellIndex m_editingCell;
    // By table; an entry whose table is gone counts for nothing (its address may be reused).
    std::unordered_map<const TableAttachment*,
        std::pair<std::weak_ptr<const TableAttachment>, qreal>>
        m_offsets;
};

} // namespace quillon
