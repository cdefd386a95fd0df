// A first start through to a restart, and the tabs a user opens and closes on the way.
#include "E2EHarness.h"

#include "app/StartPage.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStandardPaths>

using namespace quillon;
using namespace quillon::test;

namespace {

TEST_F(EndToEndTest, FirstStartEditBothPanesQuitAndComeBack)
{
    const QByteArray original = "# Notes\n\nFirst paragraph.\n\n- item one\n- item two\n";
    const QString doc = tree.write("notes.md", original);
    tree.write("other.md", "# Other\n");

    start();
    EXPECT_TRUE(window->isShowingStartPage());

    prompts->queueOpenPanelAnswer(tree.path());
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    settle(300);
    ASSERT_EQ(ws().folderURL(), tree.path());
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(doc); }, 5000));
    ASSERT_EQ(ws().activeTabURL(), doc);
    EXPECT_FALSE(window->isShowingStartPage());

    // In the block editor: the end of the document, then a word.
    ASSERT_NE(blocks(), nullptr);
    QWidget* blockInput = blocks()->textView();
    QTest::mouseClick(blocks()->textView()->viewport(), Qt::LeftButton, {}, QPoint(40, 20));
    QTest::keyClick(blockInput, Qt::Key_End, Qt::ControlModifier);
    type(blockInput, QStringLiteral(" BLOCKS"));
    // In the source pane: the start of the document, then a word.
    ASSERT_NE(source(), nullptr);
    QWidget* sourceInput = source()->textView();
    QTest::mouseClick(source()->textView()->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::keyClick(sourceInput, Qt::Key_Home, Qt::ControlModifier);
    type(sourceInput, QStringLiteral("SOURCE"));
    // Each pane shows what was typed in the other.
    EXPECT_TRUE(ws().currentFileContent().startsWith("SOURCE# Notes"));

    quit();
    const QByteArray onDisk = readFile(doc);
    EXPECT_EQ(onDisk.count("BLOCKS"), 1) << onDisk.toStdString();
    EXPECT_TRUE(onDisk.startsWith("SOURCE# Notes")) << onDisk.toStdString();
    QByteArray without = onDisk;
    without.replace("SOURCE", "").replace(" BLOCKS", "");
    EXPECT_EQ(without, original) << "nothing but the typed words changed";
    EXPECT_EQ(readFile(tree.filePath("other.md")), "# Other\n");

    reloadStandardDefaults();
    start();
    ASSERT_TRUE(waitUntil([&] { return ws().activeTabURL() == doc; }, 5000));
    EXPECT_EQ(ws().folderURL(), tree.path());
    EXPECT_EQ(ws().openTabs(), QStringList { doc });
    EXPECT_EQ(ws().currentFileContent().toUtf8(), onDisk);
}

TEST_F(EndToEndTest, ClosingUnsavedTabsAsksAndTabsFollowRenamesAndMoves)
{
    const QString kept = tree.write("kept.md", "# Kept\n");
    tree.mkdir("archive");
    // Documents in the program's own temporary folder live nowhere else until saved.
    const QString scratchDir = QDir::tempPath() + "/quillon";
    QDir().mkpath(scratchDir);
    const QString dropped = scratchDir + "/e2e-dropped.md";
    const QString saved = scratchDir + "/e2e-saved.md";
    for (const QString& path : { dropped, saved }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    start();
    prompts->queueOpenPanelAnswer(tree.path());
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    settle(300);
    for (const QString& path : { dropped, saved }) {
        prompts->queueOpenPanelAnswer(path);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        settle();
        source()->textView()->setFocus();
        type(source()->textView(), QStringLiteral("draft of ") + QFileInfo(path).baseName());
    }
    ASSERT_EQ(ws().openTabs().size(), 2);

    // "Don't Save": the tab goes and so does its scratch file.
    prompts->queueAlertAnswer(QStringLiteral("Don't Save"));
    ws().selectTab(dropped);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    settle();
    EXPECT_FALSE(ws().openTabs().contains(dropped));
    EXPECT_FALSE(QFile::exists(dropped));

    // "Save": the text goes where the user says, and only then does the tab close.
    const QString target = tree.filePath("saved.md");
    prompts->queueAlertAnswer(QStringLiteral("Save"));
    prompts->queueSavePanelAnswer(target);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    settle(300);
    EXPECT_EQ(readFile(target), "draft of e2e-saved");
    EXPECT_FALSE(ws().openTabs().contains(saved));

    // Rename and move a document while it is open: its tab follows, its text is whole.
    ASSERT_TRUE(clickTreeRow(kept));
    settle(500); // the watcher's report of the saved file rebuilds the tree; let it pass
    ASSERT_TRUE(chooseFromTreeMenu(kept, QStringLiteral("Rename")));
    QLineEdit* field = sidebar()->fileTree()->renameField();
    ASSERT_NE(field, nullptr);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("renamed"));
    QTest::keyClick(field, Qt::Key_Return);
    settle(300);
    const QString renamed = tree.filePath("renamed.md");
    EXPECT_TRUE(ws().openTabs().contains(renamed));
    EXPECT_EQ(ws().activeTabURL(), renamed);
    EXPECT_EQ(readFile(renamed), "# Kept\n");

    dropOnTreeRow(renamed, tree.filePath("archive"));
    const QString moved = tree.filePath("archive/renamed.md");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(moved); }, 3000));
    EXPECT_EQ(ws().activeTabURL(), moved);
    EXPECT_EQ(ws().currentFileContent(), "# Kept\n");
    EXPECT_EQ(readFile(moved), "# Kept\n");
}

TEST_F(EndToEndTest, TypingInAFolderThatMayNotBeWrittenReachesTheDisk)
{
    const QString folder = tree.filePath("shared");
    const QString doc = tree.write("shared/notes.md", "# Notes\n");
    // The window, and the writer thread it starts, are bound by the folder's permissions.
    const ObeyFilePermissions obey;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (!obey.active() || QFile(folder + "/probe").open(QIODevice::WriteOnly))
        GTEST_SKIP() << "file permissions cannot be made to apply here";

    start();
    prompts->queueOpenPanelAnswer(folder);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    settle(300);
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(doc); }, 5000));
    ASSERT_NE(source(), nullptr);
    QWidget* input = source()->textView();
    QTest::mouseClick(source()->textView()->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::keyClick(input, Qt::Key_End, Qt::ControlModifier);
    type(input, QStringLiteral("Saved where no new file may be made."));
    ASSERT_TRUE(waitUntil(
        [&] { return readFile(doc) == "# Notes\nSaved where no new file may be made."; }));
    EXPECT_TRUE(ws().saveError(doc).isEmpty()) << ws().saveError(doc).toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList { "notes.md" });
}

} // namespace
