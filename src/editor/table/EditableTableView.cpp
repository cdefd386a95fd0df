#include "editor/table/EditableTableView.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace quillon {

namespace {

constexpr int kCellFontSize = 13;

// Room between cells: 8 across and 4 down, half on each side of a cell.
constexpr int kCellSpacingX = 8;
constexpr int kCellSpacingY = 4;

class SpacedCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QRect inner(const QRect& cell)
    {
        return cell.adjusted(
            kCellSpacingX / 2, kCellSpacingY / 2, -kCellSpacingX / 2, -kCellSpacingY / 2);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override
    {
        QStyleOptionViewItem spaced = option;
        spaced.rect = inner(option.rect);
        QStyledItemDelegate::paint(painter, spaced, index);
    }
    void updateEditorGeometry(
        QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        editor->setGeometry(inner(option.rect));
    }
};

Qt::Alignment toQt(TableAlignment alignment)
{
    switch (alignment) {
    case TableAlignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case TableAlignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TableAlignment::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

TableBlockModel::TableBlockModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void TableBlockModel::setTable(const TableBlock& table)
{
    if (table.headers != m_table.headers) {
        beginResetModel();
        m_table = table;
        endResetModel();
        return;
    }
    const int before = int(m_table.rows.size());
    const int after = int(table.rows.size());
    if (after > before) {
        beginInsertRows({}, before, after - 1);
        m_table = table;
        endInsertRows();
    } else if (after < before) {
        beginRemoveRows({}, after, before - 1);
        m_table = table;
        endRemoveRows();
    } else {
        m_table = table;
    }
    if (after > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(after - 1, columnCount() - 1));
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, qMax(0, columnCount() - 1));
}

int TableBlockModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_table.rows.size());
}

int TableBlockModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_table.headers.size());
}

QVariant TableBlockModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_table.rows.size())
        return {};
    const QStringList& row = m_table.rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return index.column() < row.size() ? row.at(index.column()) : QString();
    case Qt::TextAlignmentRole:
        return int(toQt(m_table.alignmentOf(index.column())));
    default:
        return {};
    }
}

QVariant TableBlockModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_table.headers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_table.headers.at(section);
    if (role == Qt::TextAlignmentRole)
        return int(toQt(m_table.alignmentOf(section)));
    return {};
}

Qt::ItemFlags TableBlockModel::flags(const QModelIndex& index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool TableBlockModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_table.rows.size())
        return false;
    const QString text = value.typeId() == QMetaType::QString ? value.toString() : QString();
    TableBlock edited = m_table;
    QStringList& row = edited.rows[index.row()];
    while (row.size() <= index.column())
        row.append(QString());
    if (row.at(index.column()) == text)
        return false; // the padding goes too
    row[index.column()] = text;
    m_table = edited;
    Q_EMIT dataChanged(index, index);
    Q_EMIT tableEdited(m_table);
    return true;
}

EditableTableView::EditableTableView(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_model = new TableBlockModel(this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("editableTable"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new SpacedCellDelegate(m_view));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->setAlternatingRowColors(true);
    m_view->setShowGrid(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* columns = m_view->horizontalHeader();
    columns->setSectionsMovable(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setMinimumSectionSize(kMinimumColumnWidth);
    columns->setDefaultSectionSize(kColumnWidth);
    QFont cellFont = m_view->font();
    cellFont.setPixelSize(kCellFontSize);
    m_view->setFont(cellFont);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    layout->addWidget(m_view);
    connect(m_model, &TableBlockModel::tableEdited, this, &EditableTableView::tableChanged);
}

void EditableTableView::setTable(const TableBlock& table)
{
    const bool newColumns = table.headers != m_model->table().headers;
    m_model->setTable(table);
    // Columns built again start at their first width; widths the user gave them are lost.
    if (newColumns) {
        for (int column = 0; column < m_model->columnCount(); ++column)
            m_view->setColumnWidth(column, kColumnWidth);
    }
}

} // namespace quillon
