#include "SidebarHarness.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QScrollBar>

namespace quillon::test {
namespace {

using FileTreeTest = SidebarTest;

TEST_F(FileTreeTest, ClicksOpenDocumentsAndToggleFoldersWithFreshListings)
{
    tree.write("notes.md", "# Notes\n");
    tree.write("b/inner.md", "x");
    tree.write("A.md", "a");
    tree.write("c.md", "c");
    open();
    EXPECT_EQ(shownRows(), QStringList({ "b", "A.md", "c.md", "notes.md" }));

    click("notes.md");
    EXPECT_EQ(state->activeTabURL(), path("notes.md"));
    EXPECT_EQ(state->selectedURL(), path("notes.md"));
    EXPECT_TRUE(row("notes.md").data(FileTreeModel::IsSelectedRole).toBool());

    tree.write("b/added later.md", "y"); // listed on the expand, not before
    click("b");
    EXPECT_TRUE(state->isExpanded(path("b")));
    EXPECT_EQ(state->selectedURL(), path("b"));
    EXPECT_EQ(shownRows(),
        QStringList({ "b", "  added later.md", "  inner.md", "A.md", "c.md", "notes.md" }));
    EXPECT_EQ(row("b").data(FileTreeModel::SymbolRole).toString(), "folder.fill");

    click("b");
    EXPECT_FALSE(state->isExpanded(path("b")));
    EXPECT_EQ(shownRows(), QStringList({ "b", "A.md", "c.md", "notes.md" }));
    EXPECT_EQ(row("b").data(FileTreeModel::SymbolRole).toString(), "folder");
}

TEST_F(FileTreeTest, SelectionFollowsTheActiveTabUntilARowIsClicked)
{
    tree.write("one.md", "1");
    tree.write("two.md", "2");
    open();
    state->openFile(path("one.md"));
    state->openFile(path("two.md"));
    EXPECT_TRUE(row("two.md").data(FileTreeModel::IsSelectedRole).toBool());
    state->selectTab(path("one.md"));
    EXPECT_TRUE(row("one.md").data(FileTreeModel::IsSelectedRole).toBool());
    EXPECT_FALSE(row("two.md").data(FileTreeModel::IsSelectedRole).toBool());

    click("two.md");
    state->selectTab(path("one.md"));
    EXPECT_TRUE(row("two.md").data(FileTreeModel::IsSelectedRole).toBool());
    EXPECT_FALSE(row("one.md").data(FileTreeModel::IsSelectedRole).toBool());
}

TEST_F(FileTreeTest, ARebuiltTreeKeepsExpansionSelectionAndScrollPosition)
{
    for (int i = 0; i < 60; ++i)
        tree.write(QStringLiteral("deep/file %1.md").arg(i, 2, 10, QLatin1Char('0')), "x");
    open();
    click("deep");
    click("deep/file 03.md");
    treeView()->verticalScrollBar()->setValue(300);
    tree.write("deep/file 00 new.md", "x");
    state->refreshFolder(); // what the folder watcher does
    settle();
    EXPECT_TRUE(treeView()->isExpanded(row("deep")));
    EXPECT_TRUE(row("deep/file 03.md").data(FileTreeModel::IsSelectedRole).toBool());
    EXPECT_EQ(treeView()->verticalScrollBar()->value(), 300);
    EXPECT_EQ(shownRows().size(), 62);
}

TEST_F(FileTreeTest, ContextMenusOfFoldersAndFiles)
{
    tree.write("dir/a.md", "a");
    open();
    EXPECT_EQ(menuItems("dir"),
        QStringList({ "New File", "New Folder", "-", "Rename", "Delete Folder" }));
    EXPECT_FALSE(row("dir/a.md").isValid()); // not shown while collapsed
    click("dir");
    EXPECT_EQ(menuItems("dir/a.md"), QStringList({ "Rename", "Delete" }));
}

TEST_F(FileTreeTest, NewFileAndNewFolderFromTheMenuLandInsideTheFolder)
{
    tree.mkdir("dir");
    open();
    chooseFromMenu("dir", "New File");
    EXPECT_EQ(tree.read("dir/Untitled.md"), "# Untitled\n\n");
    EXPECT_EQ(state->activeTabURL(), path("dir/Untitled.md"));
    EXPECT_FALSE(treeView()->renameField()); // creating starts no rename

    chooseFromMenu("dir", "New Folder");
    EXPECT_TRUE(QFileInfo(path("dir/New Folder")).isDir());
    EXPECT_EQ(state->selectedURL(), path("dir/New Folder"));
    EXPECT_TRUE(row("dir/New Folder").isValid());
    EXPECT_TRUE(treeView()->isExpanded(row("dir")));
}

TEST_F(FileTreeTest, DeleteAsksWhenConfirmationIsOnAndOnlyThen)
{
    tree.write("keep.md", "k");
    tree.write("gone.md", "g");
    open();
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    chooseFromMenu("keep.md", "Delete");
    EXPECT_TRUE(QFileInfo::exists(path("keep.md")));
    ASSERT_EQ(prompts->alerts().size(), 1);
    EXPECT_EQ(prompts->alerts().first().message, "Delete 'keep.md'?");

    prompts->queueAlertAnswer(QStringLiteral("Move to Trash"));
    chooseFromMenu("keep.md", "Delete");
    EXPECT_FALSE(QFileInfo::exists(path("keep.md")));
    EXPECT_FALSE(row("keep.md").isValid());

    state->setConfirmFileDeletion(false);
    chooseFromMenu("gone.md", "Delete");
    EXPECT_FALSE(QFileInfo::exists(path("gone.md")));
    EXPECT_EQ(prompts->alerts().size(), 2);
}

} // namespace
} // namespace quillon::test
