#pragma once

#include "sidebar/FileTreeModel.h"
#include "sidebar/FileTreeView.h"
#include "sidebar/SidebarView.h"
#include "workspace/WorkspaceTestSupport.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <memory>

namespace quillon::test {

// A sidebar on a real temp folder, shown offscreen, driven by mouse and key events.
class SidebarTest : public WorkspaceTest
{
protected:
    void open(bool withFolder = true)
    {
        state = makeState();
        if (withFolder)
            state->setFolderURL(tree.path());
        view = std::make_unique<SidebarView>(*state, *prompts);
        view->resize(280, 700);
        view->show();
        QApplication::setActiveWindow(view.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        settle();
    }

    // Waits until the folder watcher has reported what the test wrote: its rebuild would end a
    // rename under way, as it should.
    void waitForQuietWatcher()
    {
        QElapsedTimer quiet;
        quiet.start();
        const auto onRebuild = QObject::connect(
            state.get(), &WorkspaceState::rootNodeChanged, [&quiet] { quiet.restart(); });
        QElapsedTimer total;
        total.start();
        while (quiet.elapsed() < 400 && total.elapsed() < 3000)
            QTest::qWait(20);
        QObject::disconnect(onRebuild);
    }

    FileTreeView* treeView() const { return view->fileTree(); }
    QWidget* treeViewport() const { return view->fileTree()->viewport(); }
    QString path(const QString& relative) const { return tree.filePath(relative); }

    QModelIndex row(const QString& relative) const
    {
        return treeView()->treeModel()->indexOfPath(path(relative));
    }
    QPoint rowCenter(const QString& relative) const
    {
        const QModelIndex index = row(relative);
        EXPECT_TRUE(index.isValid()) << relative.toStdString();
        return treeView()->visualRect(index).center();
    }
    // The names of the rows shown, indented by two spaces per level.
    QStringList shownRows() const
    {
        QStringList out;
        for (QModelIndex i = treeView()->model()->index(0, 0); i.isValid();
             i = treeView()->indexBelow(i)) {
            out.append(
                QString(i.data(FileTreeModel::DepthRole).toInt() * 2, u' ') + i.data().toString());
        }
        return out;
    }

    void click(const QString& relative)
    {
        QTest::mouseClick(treeViewport(), Qt::LeftButton, {}, rowCenter(relative));
        settle();
    }

    // Right-clicks the row and picks the menu item.
    void chooseFromMenu(const QString& relative, const QString& item)
    {
        const QPoint at = rowCenter(relative);
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, at, treeViewport()->mapToGlobal(at), Qt::NoModifier);
        QApplication::sendEvent(treeViewport(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == item)
                chosen = action;
        }
        ASSERT_NE(chosen, nullptr) << item.toStdString();
        // By keyboard: a click is ignored by a menu when the pointer has not moved since it
        // opened, which depends on where earlier tests left the pointer.
        for (int i = 0; i < menu->actions().size() && menu->activeAction() != chosen; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        ASSERT_EQ(menu->activeAction(), chosen);
        QTest::keyClick(menu, Qt::Key_Return);
        settle();
        QApplication::setActiveWindow(view.get()); // what closing the popup does on screen
        settle();
    }

    QStringList menuItems(const QString& relative)
    {
        const QPoint at = rowCenter(relative);
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, at, treeViewport()->mapToGlobal(at), Qt::NoModifier);
        QApplication::sendEvent(treeViewport(), &event);
        QStringList out;
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions())
                out.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            menu->close();
        }
        settle();
        return out;
    }

    // Drags a file URL over the point of the tree; true when the tree would take it there.
    bool dragOver(const QString& source, const QPoint& at)
    {
        QMimeData mime;
        mime.setUrls({ QUrl::fromLocalFile(source) });
        QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(treeViewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(treeViewport(), &move);
        const bool accepted = enter.isAccepted() && move.isAccepted();
        QDragLeaveEvent leave;
        QApplication::sendEvent(treeViewport(), &leave);
        return accepted;
    }

    // Drags and drops file URLs at the point of the tree, as another program would; returns
    // what the drop reports back to it.
    Qt::DropAction drop(const QStringList& sources, const QPoint& at)
    {
        Qt::DropAction reported = Qt::IgnoreAction;
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& source : sources)
            urls.append(QUrl::fromLocalFile(source));
        mime.setUrls(urls);
        QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(treeViewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(treeViewport(), &move);
        if (move.isAccepted()) {
            QDropEvent dropped(
                QPointF(at), Qt::MoveAction | Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(treeViewport(), &dropped);
            if (dropped.isAccepted())
                reported = dropped.dropAction();
        }
        settle();
        return reported;
    }

    // A point below the last row.
    QPoint emptyArea() const { return QPoint(100, treeViewport()->height() - 10); }

    std::unique_ptr<WorkspaceState> state;
    std::unique_ptr<SidebarView> view;
};

} // namespace quillon::test
