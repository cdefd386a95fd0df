#include "app/WindowHarness.h"

#include "app/AppMenus.h"
#include "app/EditorArea.h"
#include "app/Updater.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "editor/document/DocumentViews.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

namespace quillon::test {
namespace {

class MenusTest : public WindowTest
{
protected:
    ContentView& openWithMenus()
    {
        updater = std::make_unique<Updater>(QUrl(), QStringLiteral("1.0"), *prompts);
        return open(
            QSize(1200, 800), [this](ContentView& w) { AppMenus::install(w, updater.get()); });
    }
    QAction* action(const QString& title) const { return AppMenus::findAction(*window, title); }
    std::unique_ptr<Updater> updater;
};

TEST(AppMenusTableTest, CommandsHaveTheirTitlesKeysAndOrder)
{
    QStringList rows;
    for (const AppMenus::Command& c : AppMenus::commands()) {
        QStringList keys;
        for (const QKeySequence& k : c.keys)
            keys.append(k.toString());
        rows.append(c.menu + u'/' + c.title + u'/' + keys.join(u','));
    }
    EXPECT_EQ(rows,
        QStringList({
            QStringLiteral("File/Open.../Ctrl+O"),
            QStringLiteral("File/Open Folder.../Ctrl+Shift+O"),
            QStringLiteral("File/Open Git Repository.../"),
            QStringLiteral("File/Save/Ctrl+S"),
            QStringLiteral("File/Save As.../Ctrl+Shift+S"),
            QStringLiteral("Edit/Settings.../Ctrl+,"),
            QStringLiteral("Find/Find in Document.../Ctrl+F"),
            QStringLiteral("Find/Find in Project.../Ctrl+Shift+F"),
            QStringLiteral("View/Toggle AI Assistant/Ctrl+Shift+A"),
            QStringLiteral("View/Zoom In/Ctrl++,Ctrl+="),
            QStringLiteral("View/Zoom Out/Ctrl+-"),
            QStringLiteral("View/Actual Size/Ctrl+0"),
            QStringLiteral("Git/Sync Now/Ctrl+Alt+S"),
            QStringLiteral("Git/Connect Git Repository.../"),
        }));
}

TEST_F(MenusTest, MenusAreInOrderAndNoKeyIsClaimedTwice)
{
    openWithMenus();
    QStringList menus;
    for (QAction* a : window->menuBar()->actions())
        menus.append(a->text().remove(u'&'));
    EXPECT_EQ(menus,
        QStringList({ QStringLiteral("File"), QStringLiteral("Edit"), QStringLiteral("Find"),
            QStringLiteral("View"), QStringLiteral("Git"), QStringLiteral("Help") }));
    QHash<QString, QString> owner;
    for (QAction* a : window->findChildren<QAction*>()) {
        for (const QKeySequence& k : a->shortcuts()) {
            EXPECT_FALSE(owner.contains(k.toString()))
                << k.toString().toStdString() << " on " << a->text().toStdString() << " and "
                << owner.value(k.toString()).toStdString();
            owner.insert(k.toString(), a->text());
        }
    }
    EXPECT_EQ(owner.value(QStringLiteral("Ctrl+Q")), QStringLiteral("Quit"));
    EXPECT_EQ(owner.value(QStringLiteral("Ctrl+W")), QStringLiteral("Close Tab"));
}

TEST_F(MenusTest, EachItemReachesItsHandler)
{
    openWithMenus();
    QSignalSpy connects(&ws(), &WorkspaceState::showingConnectGitModalChanged);
    action(QStringLiteral("Open Git Repository..."))->trigger();
    EXPECT_TRUE(ws().showingConnectGitModal());
    ws().setShowingConnectGitModal(false);
    action(QStringLiteral("Connect Git Repository..."))->trigger();
    EXPECT_TRUE(ws().showingConnectGitModal());
    EXPECT_EQ(connects.count(), 3);
    window->setSidebarVisible(false);
    action(QStringLiteral("Find in Project..."))->trigger();
    EXPECT_TRUE(window->isSidebarVisible());
    action(QStringLiteral("Toggle AI Assistant"))->trigger();
    EXPECT_TRUE(ws().isAgentChatOpen());
}

TEST_F(MenusTest, KeysReachTheCommandsThroughTheWindow)
{
    openWithMenus();
    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(ws().isAgentChatOpen());
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(ws().editorFontSize(), 16);
    QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(ws().editorFontSize(), 15);
    const QString doc = writeDoc(QStringLiteral("a.md"), "a\n");
    prompts->queueOpenPanelAnswer(doc);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(ws().activeTabURL(), doc);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(ws().openTabs().isEmpty());
}

TEST_F(MenusTest, EditMenuActsOnTheFocusedEditor)
{
    openWithMenus();
    const QString doc = writeDoc(QStringLiteral("a.md"), "hello\n");
    ws().openFile(doc);
    UnifiedBlockEditor* editor = window->documentViews().blockEditor();
    ASSERT_NE(editor, nullptr);
    editor->textView()->setFocus();
    QApplication::processEvents();
    action(QStringLiteral("Select All"))->trigger();
    action(QStringLiteral("Cut"))->trigger();
    editor->flushPendingWork();
    EXPECT_EQ(ws().currentFileContent(), QString());
    ws().flushPendingWrites();
    EXPECT_EQ(tree.read(QStringLiteral("a.md")), QByteArray());
    action(QStringLiteral("Undo"))->trigger();
    editor->flushPendingWork();
    EXPECT_EQ(ws().currentFileContent(), QStringLiteral("hello\n"));
    ws().flushPendingWrites();
    EXPECT_EQ(tree.read(QStringLiteral("a.md")), QByteArray("hello\n"));
    action(QStringLiteral("Paste"))->trigger();
    editor->flushPendingWork();
    EXPECT_TRUE(ws().currentFileContent().contains(QStringLiteral("hello")));
}

TEST_F(MenusTest, UpdateItemFollowsTheUpdater)
{
    ContentView bare(*prompts);
    Updater fresh(QUrl(), QStringLiteral("1.0"), *prompts);
    AppMenus::install(bare, &fresh);
    QAction* check = AppMenus::findAction(bare, QStringLiteral("Check for Updates..."));
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(check->isEnabled()); // before the updater's first report
    ASSERT_TRUE(waitUntil([&] { return check->isEnabled(); }));
    check->trigger();
    ASSERT_EQ(prompts->alerts().size(), 1);
    EXPECT_TRUE(prompts->alerts().at(0).message.contains(QStringLiteral("package manager")));
}

} // namespace
} // namespace quillon::test
