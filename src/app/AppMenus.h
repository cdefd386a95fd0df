#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class QAction;
class QMainWindow;

namespace quillon {

class CommandBus;
class Updater;

// The menu bar: one action per command, each with its key, posting through the command bus.
namespace AppMenus {

// A menu item that posts a command.
struct Command
{
    QString menu; // "File", "Edit", "Find", "View", "Git"
    QString title;
    QList<QKeySequence> keys;
    void (CommandBus::*post)() = nullptr;
    bool separatorBefore = false;
};

// The posting commands, in menu order.
QList<Command> commands();

// Fills the window's menu bar: File, Edit, Find, View, Git, Help. Edit's items act on the
// focused widget. "Check for Updates..." follows the updater. Also adds the window-wide Ctrl+W.
void install(QMainWindow& window, CommandBus& bus, Updater* updater);

// The window's action with this title (tests and the smoke test use it).
QAction* findAction(const QMainWindow& window, const QString& title);

} // namespace AppMenus

} // namespace quillon
