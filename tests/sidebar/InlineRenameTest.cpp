#include "SidebarHarness.h"

#include <QFileInfo>
#include <QLineEdit>

namespace quillon::test {
namespace {

class InlineRenameTest : public SidebarTest
{
protected:
    QLineEdit* startRename(const QString& relative)
    {
        waitForQuietWatcher();
        chooseFromMenu(relative, "Rename");
        QLineEdit* field = treeView()->renameField();
        EXPECT_NE(field, nullptr);
        if (field) {
            EXPECT_TRUE(field->hasFocus());
        }
        return field;
    }
    void typeName(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
};

TEST_F(InlineRenameTest, ReturnRenamesOnceWithTheNameTrimmedAndTheExtensionKept)
{
    tree.write("notes.md", "text");
    open();
    state->openFile(path("notes.md"));
    QLineEdit* field = startRename("notes.md");
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "notes.md");
    typeName(field, "  ideas  ");
    QTest::keyClick(field, Qt::Key_Return);
    treeView()->setFocus(); // the loss of focus right after Return
    settle();
    EXPECT_FALSE(QFileInfo::exists(path("notes.md")));
    EXPECT_EQ(tree.read("ideas.md"), "text");
    EXPECT_EQ(state->activeTabURL(), path("ideas.md"));
    EXPECT_TRUE(state->lastFileOperationError().isEmpty()); // no second attempt on the old name
    EXPECT_TRUE(treeView()->notice().isEmpty());
    EXPECT_FALSE(treeView()->renameField());
}

TEST_F(InlineRenameTest, LosingFocusCommitsAndBlankOrUnchangedNamesDoNothing)
{
    tree.write("a.md", "a");
    tree.write("b.md", "b");
    open();
    QLineEdit* field = startRename("a.md");
    ASSERT_TRUE(field);
    typeName(field, "   ");
    treeView()->setFocus();
    settle();
    EXPECT_TRUE(QFileInfo::exists(path("a.md")));
    EXPECT_FALSE(treeView()->renameField());

    field = startRename("a.md");
    ASSERT_TRUE(field);
    typeName(field, "a");
    QTest::keyClick(field, Qt::Key_Return);
    settle();
    EXPECT_TRUE(QFileInfo::exists(path("a.md")));
    EXPECT_TRUE(treeView()->notice().isEmpty());

    field = startRename("b.md");
    ASSERT_TRUE(field);
    typeName(field, "c");
    click("a.md"); // a click elsewhere ends the rename and commits it
    EXPECT_TRUE(QFileInfo::exists(path("c.md")));
    EXPECT_EQ(state->activeTabURL(), path("a.md"));
}

TEST_F(InlineRenameTest, ARefusedNameLeavesTheRowAndSaysWhyBesideIt)
{
    tree.write("a.md", "a");
    tree.write("taken.md", "t");
    open();
    for (const QString& refused : { QStringLiteral("x/y.md"), QStringLiteral(".."),
             QStringLiteral("taken"), QStringLiteral("taken") }) {
        QLineEdit* field = startRename("a.md");
        ASSERT_TRUE(field);
        typeName(field, refused);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
        EXPECT_EQ(tree.read("a.md"), "a") << refused.toStdString();
        EXPECT_EQ(tree.read("taken.md"), "t");
        EXPECT_TRUE(row("a.md").isValid());
        // The same refusal twice is still explained the second time.
        EXPECT_FALSE(treeView()->notice().isEmpty()) << refused.toStdString();
        EXPECT_EQ(treeView()->notice(), state->lastFileOperationError());
    }
    click("taken.md"); // the next click puts the explanation away
    EXPECT_TRUE(treeView()->notice().isEmpty());
}

TEST_F(InlineRenameTest, ARebuildDuringTheRenameEndsItWithoutRenaming)
{
    tree.write("a.md", "a");
    open();
    QLineEdit* field = startRename("a.md");
    ASSERT_TRUE(field);
    typeName(field, "other");
    state->refreshFolder();
    settle();
    EXPECT_FALSE(treeView()->renameField());
    EXPECT_TRUE(QFileInfo::exists(path("a.md")));
    EXPECT_FALSE(QFileInfo::exists(path("other.md")));
}

TEST_F(InlineRenameTest, ClicksOnTheRowBeingRenamedKeepTheField)
{
    tree.write("a.md", "a");
    open();
    QLineEdit* field = startRename("a.md");
    ASSERT_TRUE(field);
    QTest::mouseClick(treeViewport(), Qt::LeftButton, {}, QPoint(4, rowCenter("a.md").y()));
    settle();
    EXPECT_EQ(treeView()->renameField(), field);
    EXPECT_TRUE(state->activeTabURL().isEmpty());
}

} // namespace
} // namespace quillon::test
