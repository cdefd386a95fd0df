#pragma once

#include "agent/AgentIntegration.h"
#include "app/AppMenus.h"
#include "app/ContentView.h"
#include "app/EditorArea.h"
#include "editor/block/ProjectedDocument.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "editor/document/DocumentViews.h"
#include "editor/source/CodeEditorView.h"
#include "git/GitIntegration.h"
#include "platform/UserDefaults.h"
#include "sidebar/FileTreeModel.h"
#include "sidebar/FileTreeView.h"
#include "sidebar/SidebarView.h"
#include "support/ScriptedUserPrompts.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace quillon::test {

// The whole program as a user meets it: the real window with its menus and the real cores (git,
// the agent bridge), on real files in the test's private HOME, driven by keys and clicks only.
// A "restart" destroys the window and builds a new one over what the first left on disk.
class EndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prompts = &resetSharedState();
        // Any edit that leaves the block editor's table index behind stops the test.
        ProjectedDocument::setVerifiesTableIndex(true);
    }
    void TearDown() override { quit(); }

    ContentView& start(QSize size = QSize(1200, 800))
    {
        window = std::make_unique<ContentView>(*prompts, [](WorkspaceState& workspace) {
            return ContentView::Services { &attachWorkspaceGit(workspace),
                &attachAgentBridge(workspace) };
        });
        AppMenus::install(*window, nullptr);
        window->resize(size);
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        settle();
        return *window;
    }

    // Ctrl+Q, then the process would end: the window goes away with everything it owns (also when
    // text not on disk was asked about and the scripted answer, by default "Cancel", kept it).
    void quit()
    {
        if (!window)
            return;
        QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        settle();
        window.reset();
        settle();
    }

    void restart()
    {
        quit();
        reloadStandardDefaults();
        start();
    }

    static void settle(int ms = 60)
    {
        waitUntil([] { return false; }, ms);
    }

    WorkspaceState& ws() const { return window->workspace(); }
    SidebarView* sidebar() const
    {
        return window->slot(ContentView::Slot::Sidebar)->findChild<SidebarView*>();
    }
    // The active document's views.
    UnifiedBlockEditor* blocks() const { return window->documentViews().blockEditor(); }
    CodeEditorView* source() const { return window->documentViews().sourceEditor(); }

    // Clicks the row of a path in the sidebar's file tree.
    bool clickTreeRow(const QString& path)
    {
        FileTreeView* tree = sidebar()->fileTree();
        const QModelIndex index = tree->treeModel()->indexOfPath(path);
        if (!index.isValid())
            return false;
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
        settle();
        return true;
    }

    // Right-clicks the tree row and picks the menu item by keyboard.
    bool chooseFromTreeMenu(const QString& path, const QString& item)
    {
        FileTreeView* tree = sidebar()->fileTree();
        const QModelIndex index = tree->treeModel()->indexOfPath(path);
        if (!index.isValid())
            return false;
        const QPoint at = tree->visualRect(index).center();
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at), Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return false;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == item)
                chosen = action;
        for (int i = 0; chosen && i < menu->actions().size() && menu->activeAction() != chosen; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        if (!chosen || menu->activeAction() != chosen) {
            menu->close();
            return false;
        }
        QTest::keyClick(menu, Qt::Key_Return);
        settle();
        QApplication::setActiveWindow(window.get());
        settle();
        return true;
    }

    // Drags a file onto a row of the tree and drops it there.
    void dropOnTreeRow(const QString& source, const QString& targetRow)
    {
        FileTreeView* tree = sidebar()->fileTree();
        const QPoint at = tree->visualRect(tree->treeModel()->indexOfPath(targetRow)).center();
        QMimeData mime;
        mime.setUrls({ QUrl::fromLocalFile(source) });
        QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree->viewport(), &move);
        if (move.isAccepted()) {
            QDropEvent dropped(
                QPointF(at), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(tree->viewport(), &dropped);
        }
        settle();
    }

    // Types text into a widget as key presses.
    static void type(QWidget* target, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &release);
        }
        settle(20);
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TempTree tree;
    ScriptedUserPrompts* prompts = nullptr;
    std::unique_ptr<ContentView> window;
};

} // namespace quillon::test
