#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class QAction;
class QMainWindow;

namespace quillon {

class ContentView;
class Updater;

// The menu bar: one action per command, each with its key, connected to the window's handler.
namespace AppMenus {

// A menu item and the window's handler it calls.
struct Command
{
    QString menu; // "File", "Edit", "Find", "View", "Git"
    QString title;
    QList<QKeySequence> keys;
    void (ContentView::*handle)() = nullptr;
    bool separatorBefore = false;
};

// The window's commands, in menu order.
QList<Command> commands();

// Fills the window's menu bar: File, Edit, Find, View, Git, Help. Edit's items act on the
// focused widget. "Check for Updates..." follows the updater. Also adds the window-wide Ctrl+W.
void install(ContentView& window, Updater* updater);

// The window's action with this title (tests and the smoke test use it).
QAction* findAction(const QMainWindow& window, const QString& title);

} // namespace AppMenus

} // namespace quillon
