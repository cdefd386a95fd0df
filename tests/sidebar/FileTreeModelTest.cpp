#include "SidebarHarness.h"

#include "sidebar/SearchResultsModel.h"
#include "sidebar/SidebarText.h"
#include "workspace/FileNode.h"

#include <QAbstractItemModelTester>
#include <QDir>

namespace quillon::test {
namespace {

using FileTreeModelTest = SidebarTest;

// The model is checked for consistency on every change while folders are listed again, removed
// on disk and the tree is rebuilt under it.
TEST_F(FileTreeModelTest, StaysConsistentWhileFoldersReloadAndTheTreeIsRebuilt)
{
    tree.write("a/b/c/deep.md", "d");
    tree.write("a/b/two.md", "2");
    tree.write("a/one.md", "1");
    tree.write("z.md", "z");
    open();
    QAbstractItemModelTester tester(
        treeView()->treeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    click("a");
    click("a/b");
    click("a/b/c");
    EXPECT_EQ(shownRows(),
        QStringList({ "a", "  b", "    c", "      deep.md", "    two.md", "  one.md", "z.md" }));

    // Collapsing keeps the rows; expanding lists the folder again from disk.
    click("a/b");
    QDir(path("a/b/c")).removeRecursively();
    tree.write("a/b/three.md", "3");
    click("a/b");
    EXPECT_EQ(
        shownRows(), QStringList({ "a", "  b", "    three.md", "    two.md", "  one.md", "z.md" }));

    state->refreshFolder();
    settle();
    EXPECT_EQ(
        shownRows(), QStringList({ "a", "  b", "    three.md", "    two.md", "  one.md", "z.md" }));
    state->setFolderURL({});
    settle();
    EXPECT_TRUE(shownRows().isEmpty());
}

TEST_F(FileTreeModelTest, RowsShowKindAndExtensionIcons)
{
    tree.write("notes.MD", "n");
    tree.write("script.sh", "s");
    tree.write("data.JSON", "{}");
    tree.write(".env", "x");
    tree.write("Makefile", "m");
    state = makeState();
    state->setActiveFileExtensions({ QStringLiteral("*") });
    state->setShowHiddenFiles(true);
    state = nullptr;
    open();
    EXPECT_EQ(row("notes.MD").data(FileTreeModel::SymbolRole).toString(), "doc.text");
    EXPECT_EQ(row("script.sh").data(FileTreeModel::SymbolRole).toString(), "terminal.fill");
    EXPECT_EQ(row("data.JSON").data(FileTreeModel::SymbolRole).toString(), "doc.badge.gearshape");
    EXPECT_EQ(row(".env").data(FileTreeModel::SymbolRole).toString(), "doc");
    EXPECT_EQ(row("Makefile").data(FileTreeModel::SymbolRole).toString(), "doc");
}

TEST(SearchResultRows, NameHitsShowAFolderAndNoLineAndTopLevelHitsNoPath)
{
    SearchResult nameHit;
    nameHit.fileName = QStringLiteral("plans.md");
    nameHit.relativePath = QStringLiteral("plans.md");
    nameHit.lineContent = nameHit.fileName;
    nameHit.isFileNameMatch = true;
    EXPECT_EQ(SearchResultsModel::symbolOf(nameHit), "folder.fill");
    EXPECT_EQ(SearchResultsModel::lineLabelOf(nameHit), "");
    EXPECT_EQ(SearchResultsModel::lineTextOf(nameHit), "");
    EXPECT_EQ(SearchResultsModel::pathTextOf(nameHit), "");

    SearchResult lineHit = nameHit;
    lineHit.isFileNameMatch = false;
    lineHit.lineNumber = 12;
    lineHit.lineContent = QStringLiteral("the plans");
    lineHit.relativePath = QStringLiteral("docs/plans.md");
    EXPECT_EQ(SearchResultsModel::symbolOf(lineHit), "doc.text");
    EXPECT_EQ(SearchResultsModel::lineLabelOf(lineHit), ":12");
    EXPECT_EQ(SearchResultsModel::lineTextOf(lineHit), "the plans");
    EXPECT_EQ(SearchResultsModel::pathTextOf(lineHit), "docs/plans.md");
    lineHit.lineContent.clear();
    EXPECT_EQ(SearchResultsModel::lineTextOf(lineHit), "");

    EXPECT_EQ(SidebarText::parentPath(QStringLiteral("/top.md")), "/");
    EXPECT_EQ(SidebarText::parentPath(QStringLiteral("/w/a/b.md")), "/w/a");
    EXPECT_EQ(SidebarText::extensionOf(QStringLiteral(".env")), "");
}

} // namespace
} // namespace quillon::test
