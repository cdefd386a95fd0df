// The real file dialogs behind the open panels: what their confirm button says.
#include "app/WidgetUserPrompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

using namespace quillon;

namespace {

// Runs the panel, reads the dialog it shows, and cancels it.
QString confirmButtonOf(const UserPrompts::OpenPanel& panel)
{
    QString label;
    QTimer::singleShot(0, [&label] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                label = dialog->labelText(QFileDialog::Accept);
                dialog->reject();
            }
        }
    });
    WidgetUserPrompts prompts;
    EXPECT_EQ(prompts.runOpenPanel(panel), std::nullopt);
    return label;
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
    EXPECT_EQ(confirmButtonOf(UserPrompts::OpenPanel{}), QStringLiteral("Open"));
    folder.prompt = QStringLiteral("Select Folder");
    EXPECT_EQ(confirmButtonOf(folder), QStringLiteral("Select Folder"));
}
