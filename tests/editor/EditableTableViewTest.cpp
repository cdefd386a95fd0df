// The free-standing table: its strict encoded form, and the grid edited through the keyboard and
// the mouse.
#include "editor/table/EditableTableView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using namespace quillon;

namespace {

TableBlock sample()
{
    TableBlock table;
    table.headers = { QStringLiteral("Name"), QStringLiteral("Qty"), QStringLiteral("Note") };
    table.rows = { { QStringLiteral("apple"), QStringLiteral("3"), QStringLiteral("red") },
        { QStringLiteral("pear") } };
    table.alignment = { TableAlignment::Left, TableAlignment::Right };
    return table;
}

struct ShownTable
{
    EditableTableView view;
    QList<TableBlock> written;
    explicit ShownTable(const TableBlock& table)
    {
        view.setTable(table);
        QObject::connect(
            &view, &EditableTableView::tableChanged, &view, [this](const TableBlock& t) {
                written.append(t);
                view.setTable(t); // the embedder's binding brings the edit back
            });
        view.resize(600, 300);
        view.show();
        QApplication::setActiveWindow(&view);
        QApplication::processEvents();
    }
    QString shown(int row, int column) const
    {
        return view.tableView()->model()->index(row, column).data().toString();
    }
    // Double-clicks the cell, types over its text and presses Enter.
    void edit(int row, int column, const QString& text) const
    {
        QTableView* table = view.tableView();
        const QRect cell = table->visualRect(table->model()->index(row, column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
    }
};

} // namespace

TEST(TableBlock, EncodesItsKeysInOrderAndDecodesOnlyWhatIsWhole)
{
    const TableBlock table = sample();
    const QByteArray json = table.encode();
    EXPECT_TRUE(json.startsWith("{\"id\":\""));
    EXPECT_LT(json.indexOf("\"headers\""), json.indexOf("\"rows\""));
    EXPECT_LT(json.indexOf("\"rows\""), json.indexOf("\"alignment\""));
    EXPECT_EQ(TableBlock::decode(json), table);

    QString error;
    QByteArray noAlignment = json;
    noAlignment.replace(",\"alignment\":[\"left\",\"right\"]", "");
    EXPECT_FALSE(TableBlock::decode(noAlignment, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("alignment")));
    QByteArray justified = json;
    justified.replace("\"right\"", "\"justify\"");
    EXPECT_FALSE(TableBlock::decode(justified, &error));
    QByteArray numberCell = json;
    numberCell.replace("\"3\"", "3");
    EXPECT_FALSE(TableBlock::decode(numberCell, &error));
    QByteArray badId = json;
    badId.replace(json.mid(7, 36), "not-a-uuid");
    EXPECT_FALSE(TableBlock::decode(badId, &error));
    EXPECT_FALSE(TableBlock::decode("[]", &error));
}

TEST(EditableTable, ShowsEveryHeaderAndRowWithShortRowsAndAlignmentsFilledIn)
{
    ShownTable t(sample());
    QTableView* table = t.view.tableView();
    EXPECT_EQ(table->model()->columnCount(), 3);
    EXPECT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(t.shown(1, 2), QString());
    EXPECT_EQ(table->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Qty"));
    EXPECT_EQ(table->model()->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
        Qt::AlignRight);
    // No alignment for the third column: left.
    EXPECT_EQ(table->model()->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft,
        Qt::AlignLeft);
    EXPECT_EQ(table->rowHeight(0), 28);
    EXPECT_EQ(table->columnWidth(0), 150);

    TableBlock empty;
    empty.rows = { { QStringLiteral("x") }, {} };
    t.view.setTable(empty);
    EXPECT_EQ(table->model()->columnCount(), 0);
    EXPECT_EQ(table->model()->rowCount(), 2);
}

TEST(EditableTable, TypingIntoACellStoresItPaddingAShortRowAndAnUnchangedCellWritesNothing)
{
    ShownTable t(sample());
    t.edit(1, 2, QStringLiteral("green"));
    ASSERT_EQ(t.written.size(), 1);
    EXPECT_EQ(t.written.last().rows.at(1),
        (QStringList { QStringLiteral("pear"), QString(), QStringLiteral("green") }));
    EXPECT_EQ(t.shown(1, 2), QStringLiteral("green"));

    t.edit(0, 0, QStringLiteral("apple")); // the same text
    EXPECT_EQ(t.written.size(), 1);
    EXPECT_EQ(t.view.table().rows.at(0).size(), 3);
}

TEST(EditableTable, NewHeadersRebuildTheColumnsWhileNewCellsKeepThem)
{
    ShownTable t(sample());
    QTableView* table = t.view.tableView();
    table->setColumnWidth(0, 220);
    TableBlock cells = t.view.table();
    cells.rows[0][0] = QStringLiteral("plum");
    cells.rows.append({ QStringLiteral("fig") });
    t.view.setTable(cells);
    EXPECT_EQ(table->columnWidth(0), 220);
    EXPECT_EQ(t.shown(2, 0), QStringLiteral("fig"));

    TableBlock renamed = cells;
    renamed.headers[0] = QStringLiteral("Fruit");
    t.view.setTable(renamed);
    EXPECT_EQ(table->columnWidth(0), 150);
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Fruit"));
}
