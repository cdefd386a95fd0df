// The real file dialogs behind the open panels: what their confirm button says.
#include "app/WidgetUserPrompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

using namespace quillon;

namespace {

// Runs the panel, reads the dialog it shows (its confirm button, or its title), and cancels it.
QString shownByPanel(const UserPrompts::OpenPanel& panel, bool title = false)
{
    QString shown;
    QTimer::singleShot(0, [&shown, title] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                shown = title ? dialog->windowTitle() : dialog->labelText(QFileDialog::Accept);
                dialog->reject();
            }
        }
    });
    WidgetUserPrompts prompts;
    EXPECT_EQ(prompts.runOpenPanel(panel), std::nullopt);
    return shown;
}

QString confirmButtonOf(const UserPrompts::OpenPanel& panel)
{
    return shownByPanel(panel);
}

} // namespace

TEST(WidgetUserPrompts, AnAlertTakesThePaletteOfItsWindow)
{
    QWidget window;
    QPalette dark = window.palette();
    dark.setColor(QPalette::Window, QColor(26, 26, 26));
    window.setPalette(dark);
    window.show();
    QApplication::setActiveWindow(&window);
    QColor shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->palette().color(QPalette::Window);
            box->reject();
        }
    });
    UserPrompts::Alert alert;
    alert.message = QStringLiteral("Delete?");
    alert.buttons = { QStringLiteral("Move to Trash"), QStringLiteral("Cancel") };
    EXPECT_EQ(WidgetUserPrompts().runAlert(alert), 1);
    EXPECT_EQ(shown, QColor(26, 26, 26));
}

TEST(WidgetUserPrompts, OpenPanelsConfirmWithTheirPrompt)
{
    UserPrompts::OpenPanel folder;
    folder.chooseFiles = false;
    folder.chooseDirectories = true;
    EXPECT_EQ(confirmButtonOf(folder), QStringLiteral("Open"));
    EXPECT_EQ(confirmButtonOf(UserPrompts::OpenPanel {}), QStringLiteral("Open"));
    folder.prompt = QStringLiteral("Select Folder");
    EXPECT_EQ(confirmButtonOf(folder), QStringLiteral("Select Folder"));
}

// A panel asked for without a title shows none of the dialog's own ("Find Directory", "Open").
TEST(WidgetUserPrompts, OpenPanelsShowTheTitleTheyAreGivenAndNoOther)
{
    UserPrompts::OpenPanel folder;
    folder.chooseFiles = false;
    folder.chooseDirectories = true;
    folder.prompt = QStringLiteral("Select Folder");
    EXPECT_EQ(shownByPanel(folder, true), QString());
    EXPECT_EQ(shownByPanel(UserPrompts::OpenPanel {}, true), QString());
    folder.title = QStringLiteral("Open Workspace Folder");
    EXPECT_EQ(shownByPanel(folder, true), QStringLiteral("Open Workspace Folder"));
}
