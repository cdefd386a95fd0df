// What is typed into a table cell of the block editor reaches the file however the user leaves
// the cell: another tab, closing the tab, a project-search hit, another view mode, the window
// losing the focus or going away.
#include "E2EHarness.h"

#include "app/TopBar.h"
#include "editor/chrome/ViewModeToggle.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"
#include "sidebar/SearchField.h"
#include "sidebar/SearchResultsView.h"
#include "ui/TabButton.h"

#include <QLineEdit>
#include <QListView>

using namespace quillon;
using namespace quillon::test;

namespace {

// Tables as the editor writes them back: a committed cell changes only its own text.
std::string tableDoc(const char* title, const char* cell)
{
    return std::string("# ") + title + "\n\n| Item | Price |\n| ---- | ----- |\n| " + cell
        + " | 3     |\n\nEnd.\n";
}

class TableCellEndToEndTest : public EndToEndTest
{
protected:
    QString first;
    QString second;

    void openBoth()
    {
        first = tree.write("first.md", QByteArray::fromStdString(tableDoc("First", "tea ")));
        second = tree.write("second.md", QByteArray::fromStdString(tableDoc("Second", "tea ")));
        tree.write("notes.md", "# Notes\n\nthe zebra crossing\n");
        start();
        prompts->queueOpenPanelAnswer(tree.path());
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        settle(300);
        ASSERT_TRUE(waitUntil([&] { return clickTreeRow(second); }, 5000));
        ASSERT_TRUE(clickTreeRow(first));
        ASSERT_EQ(ws().activeTabURL(), first);
    }

    // Clicks the body cell of the shown document's table and types `text` over its contents.
    void typeIntoCell(const QString& text)
    {
        const AttributedText& storage = blocks()->projected().storage();
        const int index = int(storage.text().indexOf(QChar::ObjectReplacementCharacter));
        const auto* table = MarkdownTableProjection::tableAt(storage, index);
        const auto origin = blocks()->tableEditor().originOf(index);
        ASSERT_TRUE(table && origin);
        const QPoint cell = (table->layout().cellRect(0, 0).center() + *origin).toPoint();
        QTest::mouseClick(blocks()->textView()->viewport(), Qt::LeftButton, {}, cell);
        QLineEdit* field = blocks()->tableEditor().field();
        ASSERT_NE(field, nullptr);
        QTest::keyClicks(field, text);
    }

    // The file once every write asked for so far is done.
    std::string onDisk(const QString& path)
    {
        ws().flushPendingWrites();
        return readFile(path).toStdString();
    }

    void clickTab(const QString& path)
    {
        TabButton* tab = window->topBar()->tab(path);
        ASSERT_NE(tab, nullptr);
        QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(20, tab->height() / 2));
        settle();
    }
};

TEST_F(TableCellEndToEndTest, AnOpenCellIsWrittenBeforeItsDocumentStopsBeingShown)
{
    openBoth();
    {
        SCOPED_TRACE("another tab clicked");
        typeIntoCell(QStringLiteral("milk"));
        clickTab(second);
        ASSERT_EQ(ws().activeTabURL(), second);
        EXPECT_EQ(onDisk(first), tableDoc("First", "milk"));
        EXPECT_EQ(onDisk(second), tableDoc("Second", "tea "));
    }
    {
        SCOPED_TRACE("a project-search hit opening another document");
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClicks(sidebar()->searchField()->lineEdit(), QStringLiteral("zebra"));
        QListView* results = sidebar()->searchResults()->list();
        ASSERT_TRUE(waitUntil([&] { return results->model()->rowCount() > 0; }));
        QModelIndex hit;
        for (int row = 0; row < results->model()->rowCount() && !hit.isValid(); ++row) {
            if (results->model()->index(row, 0).flags() & Qt::ItemIsSelectable)
                hit = results->model()->index(row, 0);
        }
        ASSERT_TRUE(hit.isValid());
        typeIntoCell(QStringLiteral("soda"));
        QTest::mouseClick(
            results->viewport(), Qt::LeftButton, {}, results->visualRect(hit).center());
        ASSERT_TRUE(waitUntil([&] { return ws().activeTabURL() == tree.filePath("notes.md"); }));
        EXPECT_EQ(onDisk(second), tableDoc("Second", "soda"));
    }
    {
        SCOPED_TRACE("Ctrl+W on the tab");
        clickTab(first);
        typeIntoCell(QStringLiteral("beer"));
        QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
        settle();
        EXPECT_FALSE(ws().openTabs().contains(first));
        EXPECT_EQ(onDisk(first), tableDoc("First", "beer"));
    }
}

TEST_F(TableCellEndToEndTest, AnOpenCellIsWrittenWhenTheBlockViewIsHiddenOrTheWindowGoes)
{
    openBoth();
    auto* toggle = window->slot(ContentView::Slot::ViewModeToggle)->findChild<ViewModeToggle*>();
    ASSERT_NE(toggle, nullptr);
    ASSERT_EQ(window->editorArea()->mode(), EditorMode::BlocksSplit);
    {
        SCOPED_TRACE("the source pane alone");
        typeIntoCell(QStringLiteral("milk"));
        QTest::mouseClick(toggle->editorButton(), Qt::LeftButton);
        ASSERT_EQ(window->editorArea()->mode(), EditorMode::SourceOnly);
        settle();
        EXPECT_EQ(onDisk(first), tableDoc("First", "milk"));
        EXPECT_EQ(source()->textView()->toPlainText().toStdString(), tableDoc("First", "milk"));
        QTest::mouseClick(toggle->editorButton(), Qt::LeftButton);
        settle();
    }
    {
        SCOPED_TRACE("the window loses the focus");
        typeIntoCell(QStringLiteral("soda"));
        QApplication::setActiveWindow(nullptr);
        settle();
        EXPECT_EQ(onDisk(first), tableDoc("First", "soda"));
        QApplication::setActiveWindow(window.get());
        settle();
    }
    {
        SCOPED_TRACE("the window closed");
        typeIntoCell(QStringLiteral("beer"));
        // The program ends with the window: nothing queued meanwhile runs.
        window->close();
        EXPECT_EQ(onDisk(first), tableDoc("First", "beer"));
    }
}

} // namespace
