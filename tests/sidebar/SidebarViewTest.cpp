#include "SidebarHarness.h"

#include "sidebar/RecentsView.h"
#include "sidebar/SearchField.h"
#include "sidebar/SearchResultsView.h"
#include "sidebar/SidebarButton.h"

#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QThreadPool>
#include <QToolButton>

namespace quillon::test {
namespace {

class SidebarViewTest : public SidebarTest
{
protected:
    QLineEdit* field() const { return view->searchField()->lineEdit(); }
    void waitForSearches()
    {
        QThreadPool::globalInstance()->waitForDone();
        settle();
    }
    void clickListRow(QListView* list, int row)
    {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        settle();
    }
};

TEST(SidebarContent, ResultsForAQueryWithMoreThanBlanksElseRecentsOrTree)
{
    EXPECT_EQ(sidebarContentFor("  ", false), SidebarContent::Recents);
    EXPECT_EQ(sidebarContentFor(" \n", true), SidebarContent::Tree);
    EXPECT_EQ(sidebarContentFor(" a ", false), SidebarContent::SearchResults);
    EXPECT_EQ(sidebarContentFor("a", true), SidebarContent::SearchResults);
}

TEST_F(SidebarViewTest, WithoutAFolderThereIsNoFolderHeaderAndTypingShowsNoMatches)
{
    open(false);
    EXPECT_EQ(view->content(), SidebarContent::Recents);
    EXPECT_TRUE(view->folderHeader()->isHidden());

    field()->setFocus();
    QTest::keyClicks(field(), "  ");
    EXPECT_EQ(state->globalSearchQuery(), "  ");
    EXPECT_TRUE(view->searchField()->clearButton()->isVisible()); // the raw text is not empty
    EXPECT_EQ(view->content(), SidebarContent::Recents);

    QTest::keyClicks(field(), "x");
    waitForSearches();
    EXPECT_EQ(view->content(), SidebarContent::SearchResults);
    EXPECT_EQ(view->searchResults()->countText(), "0");
    EXPECT_TRUE(view->searchResults()->isShowingNoMatches());

    QTest::mouseClick(view->searchField()->clearButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(state->globalSearchQuery(), "");
    EXPECT_EQ(field()->text(), "");
    EXPECT_FALSE(view->searchField()->clearButton()->isVisible());
    EXPECT_EQ(view->content(), SidebarContent::Recents);
}

TEST_F(SidebarViewTest, TheFieldAndTheQueryFollowEachOtherWithoutEchoesAndKeepTheCaret)
{
    open();
    QSignalSpy writes(state.get(), &WorkspaceState::globalSearchQueryChanged);
    field()->setFocus();
    QTest::keyClicks(field(), "abc");
    EXPECT_EQ(writes.count(), 3); // one write per keystroke, none echoed back
    QTest::keyClick(field(), Qt::Key_Left);
    state->setGlobalSearchQuery("abcd");
    EXPECT_EQ(field()->text(), "abcd");
    EXPECT_EQ(field()->cursorPosition(), 2);
    EXPECT_EQ(writes.count(), 4);
}

TEST_F(SidebarViewTest, TheFocusCommandPutsTheKeyboardInTheSearchField)
{
    tree.write("a.md", "a");
    open();
    click("a.md");
    ASSERT_FALSE(field()->hasFocus());
    view->focusSearchField();
    EXPECT_TRUE(field()->hasFocus());
    QTest::keyClicks(field(), "q");
    view->focusSearchField(); // again while focused: nothing changes
    EXPECT_EQ(field()->cursorPosition(), 1);
    EXPECT_FALSE(field()->hasSelectedText());
}

TEST_F(SidebarViewTest, ASearchHitOpensTheDocumentAtItsLineAndAFolderHitExpandsIt)
{
    tree.write("guide/setup.md", "intro\nmore\nthe zebra line\n");
    tree.write("zebra notes/other.md", "nothing\n");
    open();
    QSignalSpy chosen(view.get(), &SidebarView::searchHitChosen);
    field()->setFocus();
    QTest::keyClicks(field(), "zebra");
    waitForSearches();
    ASSERT_EQ(view->content(), SidebarContent::SearchResults);
    QListView* list = view->searchResults()->list();
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(view->searchResults()->countText(), "2");

    int lineHit = -1;
    int folderHit = -1;
    for (int i = 0; i < 2; ++i) {
        const auto hit = list->model()->index(i, 0).data(Qt::UserRole + 1).value<SearchResult>();
        (hit.isFileNameMatch ? folderHit : lineHit) = i;
    }
    ASSERT_GE(lineHit, 0);
    ASSERT_GE(folderHit, 0);
    clickListRow(list, lineHit);
    // The window shows the document at that line.
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), path("guide/setup.md"));
    EXPECT_EQ(chosen.at(0).at(1).value<std::optional<int>>(), std::optional<int>(3));

    const QStringList tabs = state->openTabs();
    clickListRow(list, folderHit);
    EXPECT_TRUE(state->isExpanded(path("zebra notes")));
    EXPECT_EQ(state->openTabs(), tabs);

    // Back in the tree the folder is open with its contents, although nothing listed it.
    QTest::mouseClick(view->searchField()->clearButton(), Qt::LeftButton);
    settle();
    ASSERT_EQ(view->content(), SidebarContent::Tree);
    EXPECT_TRUE(treeView()->isExpanded(row("zebra notes")));
    EXPECT_TRUE(row("zebra notes/other.md").isValid());
}

TEST_F(SidebarViewTest, RecentsOpenTheFolderOrTheFile)
{
    tree.write("project/readme.md", "r");
    tree.write("loose.md", "l");
    {
        auto earlier = makeState();
        earlier->setFolderURL(path("project"));
        earlier->setFolderURL({});
        earlier->openFile(path("loose.md"));
    }
    open(false);
    QListView* list = view->recents()->list();
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_TRUE(view->recents()->isShowingHeader());
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "loose.md");

    clickListRow(list, 0);
    EXPECT_EQ(state->activeTabURL(), path("loose.md"));
    EXPECT_EQ(view->content(), SidebarContent::Recents);

    clickListRow(list, 1);
    EXPECT_EQ(state->folderURL(), path("project"));
    EXPECT_EQ(view->content(), SidebarContent::Tree);
    EXPECT_EQ(view->folderTitle(), "project");
    EXPECT_EQ(shownRows(), QStringList({ "readme.md" }));
}

TEST_F(SidebarViewTest, NoRecentsShowNothing)
{
    open(false);
    EXPECT_FALSE(view->recents()->isShowingHeader());
    EXPECT_EQ(view->recents()->list()->model()->rowCount(), 0);
}

TEST_F(SidebarViewTest, HeaderActionsOpenFoldersFilesAndRaiseTheSheetFlags)
{
    tree.write("other/doc.md", "d");
    tree.write("single.md", "s");
    open(false);
    prompts->queueOpenPanelAnswer(path("other"));
    QTest::mouseClick(view->addFolderButton(), Qt::LeftButton, {}, QPoint(200, 8));
    EXPECT_EQ(state->folderURL(), path("other"));
    EXPECT_EQ(view->folderTitle(), "other");
    ASSERT_EQ(prompts->openPanels().size(), 1);
    EXPECT_TRUE(prompts->openPanels().first().chooseDirectories);
    EXPECT_FALSE(prompts->openPanels().first().chooseFiles);

    prompts->queueOpenPanelAnswer(path("single.md"));
    QTest::mouseClick(view->openFileButton(), Qt::LeftButton);
    EXPECT_EQ(state->activeTabURL(), path("single.md"));
    EXPECT_EQ(state->folderURL(), path("other"));
    prompts->queueOpenPanelAnswer(std::nullopt);
    QTest::mouseClick(view->addFolderButton(), Qt::LeftButton);
    EXPECT_EQ(state->folderURL(), path("other")); // cancelled: nothing changes

    QTest::mouseClick(view->connectGitButton(), Qt::LeftButton);
    EXPECT_TRUE(state->showingConnectGitModal());
    QTest::mouseClick(view->settingsButton(), Qt::LeftButton);
    EXPECT_TRUE(state->showingSettingsModal());
    EXPECT_TRUE(view->addFolderButton()->toolTip().contains("Ctrl+Shift+O"));
}

TEST_F(SidebarViewTest, HeaderNewFileAndFolderFollowTheSelection)
{
    tree.write("dir/a.md", "a");
    open();
    QTest::mouseClick(view->newFileButton(), Qt::LeftButton);
    EXPECT_EQ(tree.read("Untitled.md"), "# Untitled\n\n");
    click("dir");
    QTest::mouseClick(view->newFolderButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(state->selectedURL(), path("dir/New Folder"));
    EXPECT_TRUE(row("dir/New Folder").isValid());
}

TEST_F(SidebarViewTest, TheFooterTakesTheWindowsWidgetAboveSettings)
{
    open();
    auto* sync = new QWidget;
    sync->setMinimumHeight(20);
    view->setFooterWidget(sync);
    settle();
    EXPECT_EQ(sync->parentWidget(), view.get());
    EXPECT_LT(sync->geometry().bottom(), view->settingsButton()->geometry().top());
}

} // namespace
} // namespace quillon::test
