#pragma once

#include "markdown/TableAttachment.h"
#include "markdown/TableLayout.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include <QLineEdit>
class QTextEdit;

namespace quillon {

class ProjectedDocument;
class TableAttachmentCell;

// Edits one table cell at a time in a borderless field laid exactly over the cell. Tab and
// Shift-Tab move between cells (committing), Enter commits, Escape cancels, losing the focus
// commits. A commit hands the block editor a new attachment for the changed table.
class TableEditingController : public QObject
{
    Q_OBJECT
public:
    // Replaces the table character at `index` with `replacement`, as one undoable change; must
    // refuse when `index` no longer holds `expected`.
    using ApplyAttachment = std::function<bool(
        qsizetype index, const TableAttachment* expected, TextAttachmentPtr replacement)>;

    struct Hit
    {
        std::shared_ptr<const TableAttachment> table;
        int index = 0;
        QPointF origin; // top-left corner of the grid, viewport coordinates
        QRectF box; // what the table shows of its grid, and its scroll bar; viewport coordinates
        qreal offset = 0; // how far its grid is scrolled to the left
    };

    TableEditingController(QTextEdit& view, const ProjectedDocument& projected,
        TableAttachmentCell& renderer, ApplyAttachment apply);
    ~TableEditingController() override;

    void setAppearance(bool isDarkMode, qreal fontSize);

    // The table under a viewport point (the nearest character must be a table).
    std::optional<Hit> attachment(const QPoint& viewportPoint) const;
    // Top-left corner of the table character at `index`, viewport coordinates.
    std::optional<QPointF> originOf(int index) const;
    // The box the table at `index` is shown in (its grid cut to the line and, when cut, the
    // scroll bar under it), viewport coordinates.
    std::optional<QRectF> boxOf(int index) const;
    // How far the grid of the table at `index` is scrolled to the left.
    qreal scrollOffset(int index) const;
    // Scrolls the grid of a table wider than its line; the open cell's field moves with it.
    void scrollTable(int index, qreal offset);

    // A click on a table's cell opens that cell; true when the click was consumed.
    bool handleClick(const QPoint& viewportPoint);
    void present(
        std::shared_ptr<const TableAttachment> table, TableLayout::CellIndex cell, int index);
    bool commit();
    void teardown();
    // An open cell taken from its table, with the text typed in it.
    struct OpenCell
    {
        std::shared_ptr<const TableAttachment> table;
        TableLayout::CellIndex cell;
        int index = -1;
        QString text;
    };
    // Closes the open cell and gives it, to be written into its table later (commitCell), as
    // when the text changes around it; nothing when no cell is open.
    std::optional<OpenCell> takeOpenCell();
    // Writes what was typed in `open` into its table, which stands now at `index`: false when it
    // does not stand there any more, or the text is the cell's own.
    bool commitCell(const OpenCell& open, int index);
    bool moveToAdjacentCell(bool forward);

    bool isEditing() const { return m_field != nullptr; }
    // The table whose character stands at `index` of the view, if any.
    std::shared_ptr<const TableAttachment> tableAt(int index) const;
    QLineEdit* field() const { return m_field; }
    std::optional<TableLayout::CellIndex> activeCell() const { return m_activeCell; }
    std::optional<int> activeIndex() const { return m_activeIndex; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeField();
    // Scrolls the open cell's table so that the cell is in view.
    void revealActiveCell();
    void invalidate(int index);
    // Wheel and scroll-bar drags over a table wider than its line; true when consumed.
    bool viewportEvent(QEvent* event);

    QTextEdit& m_view;
    const ProjectedDocument& m_projected;
    TableAttachmentCell& m_renderer;
    ApplyAttachment m_apply;
    QPointer<QLineEdit> m_field;
    std::shared_ptr<const TableAttachment> m_activeTable;
    std::optional<TableLayout::CellIndex> m_activeCell;
    std::optional<int> m_activeIndex;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    bool m_isDismissing = false;
    struct ScrollBarDrag
    {
        int index = 0;
        qreal grab = 0; // where the thumb was taken, from its left edge
    };
    std::optional<ScrollBarDrag> m_drag;
};

} // namespace quillon
