#include "editor/table/TableEditingController.h"

#include "editor/block/ProjectedDocument.h"
#include "editor/table/TableAttachmentCell.h"
#include "markdown/MarkdownTableProjection.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

namespace quillon {

namespace {

QColor grey(qreal white)
{
    return QColor::fromRgbF(white, white, white);
}

QString cellText(const MarkdownTable& table, TableLayout::CellIndex cell)
{
    if (cell.row < 0)
        return table.headers.value(cell.column);
    return table.rows.value(cell.row).value(cell.column);
}

} // namespace

TableEditingController::TableEditingController(QTextEdit& view, const ProjectedDocument& projected,
    TableAttachmentCell& renderer, ApplyAttachment apply)
    : m_view(view)
    , m_projected(projected)
    , m_renderer(renderer)
    , m_apply(std::move(apply))
{
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeField(); });
    connect(view.horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeField(); });
    view.installEventFilter(this);
    view.viewport()->installEventFilter(this);
}

TableEditingController::~TableEditingController()
{
    m_isDismissing = true;
    delete m_field;
}

void TableEditingController::setAppearance(bool isDarkMode, qreal fontSize)
{
    m_isDarkMode = isDarkMode;
    m_fontSize = fontSize;
}

std::shared_ptr<const TableAttachment> TableEditingController::tableAt(int index) const
{
    const qsizetype at = m_projected.toStorage(index);
    if (!MarkdownTableProjection::tableAt(m_projected.storage(), at))
        return nullptr;
    const auto* value = m_projected.storage().attribute<TextAttribute::Attachment>(at);
    return value ? std::dynamic_pointer_cast<const TableAttachment>(*value) : nullptr;
}

std::optional<QRectF> TableEditingController::boxOf(int index) const
{
    const QTextDocument* document = m_view.document();
    const QTextBlock block = document->findBlock(index);
    const auto* table
        = MarkdownTableProjection::tableAt(m_projected.storage(), m_projected.toStorage(index));
    if (!block.isValid() || !table || !block.layout())
        return std::nullopt;
    document->documentLayout()->blockBoundingRect(block); // lays the block out if needed
    const QTextLayout* layout = block.layout();
    const int offset = index - block.position();
    const QTextLine line = layout->lineForTextPosition(offset);
    if (!line.isValid())
        return std::nullopt;
    // The object is as wide as the line let it be; it stands on the baseline with its whole
    // height above it.
    const qreal left = line.cursorToX(offset);
    const QSizeF size
        = TableAttachmentCell::shownSize(table->layout(), qAbs(line.cursorToX(offset + 1) - left));
    const QPointF documentPoint(layout->position().x() + left,
        layout->position().y() + line.y() + line.ascent() - size.height());
    return QRectF(documentPoint
            - QPointF(m_view.horizontalScrollBar()->value(), m_view.verticalScrollBar()->value()),
        size);
}

std::optional<QPointF> TableEditingController::originOf(int index) const
{
    if (const std::optional<QRectF> box = boxOf(index))
        return box->topLeft();
    return std::nullopt;
}

std::optional<TableEditingController::Hit> TableEditingController::attachment(
    const QPoint& viewportPoint) const
{
    const QPointF documentPoint = QPointF(viewportPoint)
        + QPointF(m_view.horizontalScrollBar()->value(), m_view.verticalScrollBar()->value());
    const int position = m_view.document()->documentLayout()->hitTest(documentPoint, Qt::FuzzyHit);
    if (position < 0)
        return std::nullopt;
    // The nearest character may be the table or the position right after it.
    for (int index : { position, position - 1 }) {
        const qsizetype at = m_projected.toStorage(index);
        if (index < 0 || at >= m_projected.windowEnd())
            continue;
        if (!MarkdownTableProjection::tableAt(m_projected.storage(), at))
            continue;
        auto table = tableAt(index);
        const std::optional<QRectF> box = boxOf(index);
        if (table && box)
            return Hit { table, index, box->topLeft(), *box, scrollOffset(index) };
    }
    return std::nullopt;
}

bool TableEditingController::handleClick(const QPoint& viewportPoint)
{
    const std::optional<Hit> hit = attachment(viewportPoint);
    if (!hit)
        return false;
    // Only the part of the grid the box shows takes clicks.
    const QRectF shownGrid(
        hit->box.topLeft(), QSizeF(hit->box.width(), hit->table->layout().size().height()));
    if (!shownGrid.contains(viewportPoint))
        return false;
    const std::optional<TableLayout::CellIndex> cell
        = hit->table->layout().cell(QPointF(viewportPoint) - hit->origin + QPointF(hit->offset, 0));
    if (!cell)
        return false;
    commit();
    // A commit that changed a cell replaced the attachment: open the cell on the new one.
    auto table = tableAt(hit->index);
    if (!table)
        return false;
    present(table, *cell, hit->index);
    return true;
}

void TableEditingController::present(
    std::shared_ptr<const TableAttachment> table, TableLayout::CellIndex cell, int index)
{
    if (!table)
        return;
    m_activeTable = std::move(table);
    m_activeCell = cell;
    m_activeIndex = index;

    auto* field = new QLineEdit(m_view.viewport());
    field->setObjectName(QStringLiteral("tableCellField"));
    field->setFrame(false);
    using M = TableLayout::Metrics;
    // The line edit keeps a margin of its own (2 across, 1 down): the rest of the cell's padding
    // puts the text where the grid draws it.
    field->setTextMargins(
        int(M::cellPaddingX - M::borderWidth) - 2, int(M::cellPaddingY - M::borderWidth) - 1, 0, 0);
    field->setText(TableAttachmentCell::displayText(cellText(m_activeTable->table(), cell)));
    QFont font = cell.row < 0 ? m_activeTable->headerFont() : m_activeTable->cellFont();
    field->setFont(font);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, m_isDarkMode ? grey(0.22) : grey(1.0));
    palette.setColor(QPalette::Text, m_isDarkMode ? grey(0.95) : grey(0.1));
    field->setPalette(palette);
    const auto& alignments = m_activeTable->table().alignments;
    Qt::Alignment alignment = Qt::AlignLeft;
    if (!alignments.isEmpty()) {
        const auto a = alignments.at(qMin<qsizetype>(alignments.size() - 1, cell.column));
        alignment = a == MarkdownTable::Alignment::Center ? Qt::AlignHCenter
            : a == MarkdownTable::Alignment::Right        ? Qt::AlignRight
                                                          : Qt::AlignLeft;
    }
    field->setAlignment(alignment | Qt::AlignTop);
    field->installEventFilter(this);
    // What is typed shows where the user looks, also after the table was scrolled away.
    connect(field, &QLineEdit::textEdited, this, [this] { revealActiveCell(); });
    m_field = field;
    revealActiveCell();
    placeField();
    field->show();
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();

    m_renderer.setEditingCell(m_activeTable.get(), cell);
    invalidate(index);
}

void TableEditingController::placeField()
{
    if (!m_field || !m_activeIndex || !m_activeCell || !m_activeTable)
        return;
    const std::optional<QRectF> box = boxOf(*m_activeIndex);
    if (!box)
        return;
    const qreal b = TableLayout::Metrics::borderWidth;
    const TableLayout& layout = m_activeTable->layout();
    const QRectF r = layout.cellRect(m_activeCell->row, m_activeCell->column);
    const qreal offset = scrollOffset(*m_activeIndex);
    QRectF field(box->left() + r.left() - offset + b, box->top() + r.top() + b, r.width() - 2 * b,
        r.height() - 2 * b);
    // Never beyond the part of the grid that is shown.
    field.setLeft(qMax(field.left(), box->left()));
    field.setRight(qMin(field.right(), box->right()));
    m_field->setGeometry(field.width() > 0 ? field.toAlignedRect() : QRect());
}

bool TableEditingController::commit()
{
    const std::optional<OpenCell> open = takeOpenCell();
    return open && commitCell(*open, open->index);
}

std::optional<TableEditingController::OpenCell> TableEditingController::takeOpenCell()
{
    if (!m_field || !m_activeTable || !m_activeCell || !m_activeIndex)
        return std::nullopt;
    OpenCell open { m_activeTable, *m_activeCell, *m_activeIndex, m_field->text() };
    teardown();
    return open;
}

bool TableEditingController::commitCell(const OpenCell& open, int index)
{
    const std::shared_ptr<const TableAttachment>& table = open.table;
    const TableLayout::CellIndex cell = open.cell;
    const QString& newText = open.text;
    if (TableAttachmentCell::displayText(cellText(table->table(), cell)) == newText)
        return false;
    MarkdownTable changed = table->table();
    changed.setCell(cell.row, cell.column, newText);
    std::shared_ptr<const TableAttachment> replacement = table->withTable(changed);
    if (replacement->isDarkMode() != m_isDarkMode || replacement->fontSize() != m_fontSize)
        replacement = replacement->withAppearance(m_isDarkMode, m_fontSize);
    // The new table shows the part of the grid the old one showed.
    m_renderer.setScrollOffset(replacement, m_renderer.scrollOffset(table.get()));
    return m_apply && m_apply(index, table.get(), replacement);
}

void TableEditingController::teardown()
{
    m_isDismissing = true;
    if (m_activeIndex) {
        m_renderer.setEditingCell(nullptr, std::nullopt);
        invalidate(*m_activeIndex);
    }
    if (m_field) {
        QLineEdit* field = m_field;
        const bool hadFocus = field->hasFocus() || !QApplication::focusWidget();
        field->removeEventFilter(this);
        field->hide();
        field->deleteLater();
        if (hadFocus)
            m_view.setFocus(Qt::OtherFocusReason);
    }
    m_field = nullptr;
    m_activeTable.reset();
    m_activeCell.reset();
    m_activeIndex.reset();
    m_isDismissing = false;
}

bool TableEditingController::moveToAdjacentCell(bool forward)
{
    if (!m_activeCell || !m_activeIndex || !m_activeTable)
        return false;
    const int columns = int(m_activeTable->table().columnCount());
    const int rows = int(m_activeTable->table().rows.size());
    TableLayout::CellIndex target = *m_activeCell;
    target.column += forward ? 1 : -1;
    if (target.column >= columns) {
        target.column = 0;
        ++target.row;
    } else if (target.column < 0) {
        target.column = columns - 1;
        --target.row;
    }
    const int index = *m_activeIndex;
    if (target.row < -1 || target.row >= rows) {
        commit();
        return false;
    }
    commit();
    auto table = tableAt(index);
    if (!table)
        return false;
    present(table, target, index);
    return true;
}

void TableEditingController::invalidate(int index)
{
    if (const std::optional<QRectF> box = boxOf(index))
        m_view.viewport()->update(box->adjusted(-2, -2, 2, 2).toAlignedRect());
    else
        m_view.viewport()->update();
}

bool TableEditingController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view.viewport())
        return viewportEvent(event);
    if (watched == &m_view) {
        // The view went out of sight (another view mode, the window closed) while its document
        // stays: the cell is saved now, as nothing may come back to it.
        if (event->type() == QEvent::Hide && !m_isDismissing)
            commit();
        return false;
    }
    if (watched != m_field)
        return false;
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Tab:
            if (key->modifiers() & Qt::ShiftModifier)
                moveToAdjacentCell(false);
            else
                moveToAdjacentCell(true);
            return true;
        case Qt::Key_Backtab:
            moveToAdjacentCell(false);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            commit();
            return true;
        case Qt::Key_Escape:
            teardown();
            return true;
        default:
            break;
        }
        // Every other key is the field's. One it has no use for would go on to the text view
        // around the table and move its caret under the open cell (Ctrl+End to the end of what
        // a long document's view holds, not of the document): it ends here.
        QLineEdit* field = m_field;
        if (key->matches(QKeySequence::MoveToStartOfDocument))
            field->home(false);
        else if (key->matches(QKeySequence::MoveToEndOfDocument))
            field->end(false);
        else if (key->matches(QKeySequence::SelectStartOfDocument))
            field->home(true);
        else if (key->matches(QKeySequence::SelectEndOfDocument))
            field->end(true);
        else
            static_cast<QObject*>(field)->event(event);
        return true;
    }
    if (event->type() == QEvent::FocusOut && !m_isDismissing) {
        // Clicking elsewhere, or the window losing focus, saves the cell.
        QMetaObject::invokeMethod(
            this,
            [this, field = m_field] {
                if (field && field == m_field && !field->hasFocus())
                    commit();
            },
            Qt::QueuedConnection);
    }
    return false;
}

} // namespace quillon
