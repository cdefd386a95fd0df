// The real file dialogs behind the open panels: what their confirm button says.
#include "app/WidgetUserPrompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
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
