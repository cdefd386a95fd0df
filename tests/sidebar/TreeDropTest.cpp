#include "SidebarHarness.h"

#include "sidebar/TreeActions.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace quillon::test {
namespace {

using TreeDropTest = SidebarTest;

TEST_F(TreeDropTest, DropsOnFolderAndFileRowsMoveIntoThatFolder)
{
    tree.write("x.md", "x");
    tree.write("y.md", "y");
    tree.write("dir/inner.md", "i");
    open();
    state->openFile(path("x.md"));
    drop({ path("x.md") }, rowCenter("dir"));
    EXPECT_EQ(tree.read("dir/x.md"), "x");
    EXPECT_FALSE(QFileInfo::exists(path("x.md")));
    EXPECT_EQ(state->activeTabURL(), path("dir/x.md"));

    click("dir");
    drop({ path("y.md") }, rowCenter("dir/inner.md")); // a file row means its folder
    EXPECT_EQ(tree.read("dir/y.md"), "y");
}

TEST_F(TreeDropTest, DropsThatWouldMoveNothingAreNotTakenAndChangeNothing)
{
    tree.write("dir/sub/deep.md", "d");
    tree.write("dir/a.md", "a");
    tree.write("top.md", "t");
    open();
    click("dir");
    click("dir/sub");
    // Onto itself, into its own subtree, into the folder that already holds it.
    EXPECT_FALSE(dragOver(path("dir"), rowCenter("dir")));
    EXPECT_FALSE(dragOver(path("dir"), rowCenter("dir/sub")));
    EXPECT_FALSE(dragOver(path("dir"), rowCenter("dir/a.md")));
    EXPECT_FALSE(dragOver(path("dir/a.md"), rowCenter("dir")));
    EXPECT_FALSE(dragOver(path("top.md"), emptyArea()));
    EXPECT_FALSE(treeView()->dropTarget().isValid());
    EXPECT_TRUE(dragOver(path("top.md"), rowCenter("dir")));
    EXPECT_FALSE(treeView()->dropTarget().isValid()); // the highlight left with the drag

    drop({ path("dir") }, rowCenter("dir/sub"));
    drop({ path("dir/a.md") }, rowCenter("dir/a.md"));
    EXPECT_EQ(tree.read("dir/a.md"), "a");
    EXPECT_EQ(tree.read("dir/sub/deep.md"), "d");
    EXPECT_TRUE(treeView()->notice().isEmpty());
}

TEST_F(TreeDropTest, TheEmptyAreaMeansTheWorkspaceFolderAndOnlyTheFirstItemMoves)
{
    tree.write("dir/one.md", "1");
    tree.write("dir/two.md", "2");
    open();
    click("dir");
    drop({ path("dir/one.md"), path("dir/two.md") }, emptyArea());
    EXPECT_EQ(tree.read("one.md"), "1");
    EXPECT_EQ(tree.read("dir/two.md"), "2");
    EXPECT_FALSE(QFileInfo::exists(path("two.md")));
}

TEST_F(TreeDropTest, ItemsFromOutsideMoveInButNeverReplaceAnything)
{
    tree.write("dir/report.md", "ours");
    open();
    QTemporaryDir outside;
    QFile fresh(outside.filePath("fresh.md"));
    ASSERT_TRUE(fresh.open(QIODevice::WriteOnly));
    fresh.write("fresh");
    fresh.close();
    // Reported as a copy: the program it came from must not delete it before it is moved.
    EXPECT_EQ(drop({ outside.filePath("fresh.md") }, rowCenter("dir")), Qt::CopyAction);
    EXPECT_EQ(tree.read("dir/fresh.md"), "fresh");
    EXPECT_FALSE(QFileInfo::exists(outside.filePath("fresh.md"))); // moved, not copied

    QFile clash(outside.filePath("report.md"));
    ASSERT_TRUE(clash.open(QIODevice::WriteOnly));
    clash.write("theirs");
    clash.close();
    drop({ outside.filePath("report.md") }, rowCenter("dir"));
    EXPECT_EQ(tree.read("dir/report.md"), "ours");
    EXPECT_TRUE(QFileInfo::exists(outside.filePath("report.md")));
    EXPECT_FALSE(treeView()->notice().isEmpty());
    EXPECT_TRUE(treeView()->notice().contains("report.md")) << treeView()->notice().toStdString();
}

TEST_F(TreeDropTest, WithNoFolderOpenNothingIsTaken)
{
    tree.write("a.md", "a");
    open(false);
    EXPECT_FALSE(dragOver(path("a.md"), QPoint(50, 50)));
}

TEST(TreeActions, MovesSomewhereOnlyWhenTheItemChangesFolder)
{
    EXPECT_FALSE(TreeActions::movesSomewhere("/w/a", "/w/a"));
    EXPECT_FALSE(TreeActions::movesSomewhere("/w/a", "/w/a/b"));
    EXPECT_FALSE(TreeActions::movesSomewhere("/w/a/x.md", "/w/a"));
    EXPECT_TRUE(TreeActions::movesSomewhere("/w/a", "/w/ab"));
    EXPECT_TRUE(TreeActions::movesSomewhere("/w/a/x.md", "/w"));
    EXPECT_TRUE(TreeActions::movesSomewhere("/x.md", "/w"));
    EXPECT_FALSE(TreeActions::movesSomewhere("/w/x.md", "/w/"));
    EXPECT_EQ(TreeActions::renamedName("/w/notes.md", false, " ideas "), "ideas.md");
    EXPECT_EQ(TreeActions::renamedName("/w/docs", true, "docs2"), "docs2");
    EXPECT_EQ(TreeActions::renamedName("/w/Makefile", false, "Build"), "Build");
}

} // namespace
} // namespace quillon::test
