#pragma once

#include "editor/table/TableBlock.h"

#include <QAbstractTableModel>
#include <QWidget>

class QTableView;

namespace quillon {

// A TableBlock as a Qt table model: one column per header, one row per body row; a cell a row
// does not hold reads as empty. Storing a text into a short row first pads it with empty cells
// up to that column; storing the text a cell already holds changes nothing.
class TableBlockModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TableBlockModel(QObject* parent = nullptr);

    const TableBlock& table() const { return m_table; }
    // Same headers: the rows are reloaded and the columns kept; other headers: every column is
    // built again.
    void setTable(const TableBlock& table);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

Q_SIGNALS:
    // A user edit changed the table (the whole new table).
    void tableEdited(const TableBlock& table);

private:
    TableBlock m_table;
};

// An editable grid over a TableBlock: the embedder sets the table and hears every edit through
// tableChanged. Rows are 28 pixels tall; columns start 150 wide and shrink to no less than 80.
class EditableTableView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 28;
    static constexpr int kColumnWidth = 150;
    static constexpr int kMinimumColumnWidth = 80;

    explicit EditableTableView(QWidget* parent = nullptr);

    const TableBlock& table() const { return m_model->table(); }
    void setTable(const TableBlock& table);
    // No colour of this view depends on it; kept for the embedder's symmetry.
    void setDarkMode(bool dark) { m_isDarkMode = dark; }

    QTableView* tableView() const { return m_view; }

Q_SIGNALS:
    void tableChanged(const TableBlock& table);

private:
    TableBlockModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    bool m_isDarkMode = false;
};

} // namespace quillon
