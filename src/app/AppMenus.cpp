#include "app/AppMenus.h"

#include "app/ContentView.h"
#include "app/Updater.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace quillon::AppMenus {

QList<Command> commands()
{
    using K = QKeySequence;
    const auto ctrl = [](int key, Qt::KeyboardModifiers more = {}) {
        return K(QKeyCombination(Qt::ControlModifier | more, Qt::Key(key)));
    };
    const QString file = QStringLiteral("File"), edit = QStringLiteral("Edit"),
                  find = QStringLiteral("Find"), view = QStringLiteral("View"),
                  git = QStringLiteral("Git");
    return {
        { file, QStringLiteral("Open..."), { ctrl(Qt::Key_O) }, &ContentView::openFile },
        { file, QStringLiteral("Open Folder..."), { ctrl(Qt::Key_O, Qt::ShiftModifier) },
            &ContentView::openFolder },
        { file, QStringLiteral("Open Git Repository..."), {}, &ContentView::openGitRepository },
        { file, QStringLiteral("Save"), { ctrl(Qt::Key_S) }, &ContentView::saveFile, true },
        { file, QStringLiteral("Save As..."), { ctrl(Qt::Key_S, Qt::ShiftModifier) },
            &ContentView::saveFileAs },
        { edit, QStringLiteral("Settings..."), { ctrl(Qt::Key_Comma) }, &ContentView::openSettings,
            true },
        { find, QStringLiteral("Find in Document..."), { ctrl(Qt::Key_F) },
            &ContentView::toggleFindInDocument },
        { find, QStringLiteral("Find in Project..."), { ctrl(Qt::Key_F, Qt::ShiftModifier) },
            &ContentView::focusProjectSearch },
        { view, QStringLiteral("Toggle AI Assistant"), { ctrl(Qt::Key_A, Qt::ShiftModifier) },
            &ContentView::toggleAssistant },
        { view, QStringLiteral("Zoom In"), { ctrl(Qt::Key_Plus), ctrl(Qt::Key_Equal) },
            &ContentView::zoomIn, true },
        { view, QStringLiteral("Zoom Out"), { ctrl(Qt::Key_Minus) }, &ContentView::zoomOut },
        { view, QStringLiteral("Actual Size"), { ctrl(Qt::Key_0) }, &ContentView::zoomReset },
        { git, QStringLiteral("Sync Now"), { ctrl(Qt::Key_S, Qt::AltModifier) },
            &ContentView::syncGit },
        { git, QStringLiteral("Connect Git Repository..."), {}, &ContentView::openGitRepository },
    };
}

namespace {

// The standard editing keys, sent to whatever has focus, so each widget does its own undo, copy
// or paste (the block editor's undo is its own, not the text document's).
void addEditItems(QMenu* menu, QMainWindow& window)
{
    struct Item
    {
        QString title;
        QKeySequence::StandardKey key;
        bool separatorBefore;
    };
    const Item items[] = {
        { QStringLiteral("Undo"), QKeySequence::Undo, false },
        { QStringLiteral("Redo"), QKeySequence::Redo, false },
        { QStringLiteral("Cut"), QKeySequence::Cut, true },
        { QStringLiteral("Copy"), QKeySequence::Copy, false },
        { QStringLiteral("Paste"), QKeySequence::Paste, false },
        { QStringLiteral("Select All"), QKeySequence::SelectAll, false },
    };
    for (const Item& item : items) {
        if (item.separatorBefore)
            menu->addSeparator();
        QAction* action = menu->addAction(item.title);
        const QList<QKeySequence> keys = QKeySequence::keyBindings(item.key);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        if (keys.isEmpty())
            continue;
        const QKeyCombination combo = keys.first()[0];
        QObject::connect(action, &QAction::triggered, &window, [combo] {
            static bool forwarding = false;
            QWidget* focus = QApplication::focusWidget();
            if (!focus || forwarding)
                return;
            forwarding = true;
            QKeyEvent press(QEvent::KeyPress, combo.key(), combo.keyboardModifiers());
            QApplication::sendEvent(focus, &press);
            QKeyEvent release(QEvent::KeyRelease, combo.key(), combo.keyboardModifiers());
            QApplication::sendEvent(focus, &release);
            forwarding = false;
        });
    }
}

} // namespace

void install(ContentView& window, Updater* updater)
{
    QMenuBar* bar = window.menuBar();
    QHash<QString, QMenu*> menus;
    for (const QString& title :
        { QStringLiteral("File"), QStringLiteral("Edit"), QStringLiteral("Find"),
            QStringLiteral("View"), QStringLiteral("Git"), QStringLiteral("Help") })
        menus.insert(title, bar->addMenu(QStringLiteral("&") + title));
    addEditItems(menus.value(QStringLiteral("Edit")), window);

    for (const Command& command : commands()) {
        QMenu* menu = menus.value(command.menu);
        if (command.separatorBefore)
            menu->addSeparator();
        QAction* action = menu->addAction(command.title);
        action->setShortcuts(command.keys);
        QObject::connect(action, &QAction::triggered, &window, command.handle);
    }

    QMenu* file = menus.value(QStringLiteral("File"));
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu* help = menus.value(QStringLiteral("Help"));
    QAction* check = help->addAction(QStringLiteral("Check for Updates..."));
    check->setEnabled(updater && updater->canCheckForUpdates());
    if (updater) {
        QObject::connect(updater, &Updater::canCheckForUpdatesChanged, check, &QAction::setEnabled);
        QObject::connect(check, &QAction::triggered, updater, &Updater::checkForUpdates);
    }
    QAction* about = help->addAction(QStringLiteral("About Quillon"));
    QObject::connect(about, &QAction::triggered, &window, [&window] {
        QMessageBox::about(&window, QStringLiteral("About Quillon"),
            QStringLiteral("Quillon %1\nA Markdown editor for folders of documents.")
                .arg(QStringLiteral(QUILLON_VERSION)));
    });

    // Closing the active tab has a key but no menu item.
    auto* closeTab = new QAction(QStringLiteral("Close Tab"), &window);
    closeTab->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_W));
    window.addAction(closeTab);
    QObject::connect(closeTab, &QAction::triggered, &window, &ContentView::closeActiveTab);
}

QAction* findAction(const QMainWindow& window, const QString& title)
{
    const QList<QAction*> all = window.findChildren<QAction*>();
    for (QAction* a : all) {
        if (a->text() == title)
            return a;
    }
    return nullptr;
}

} // namespace quillon::AppMenus
