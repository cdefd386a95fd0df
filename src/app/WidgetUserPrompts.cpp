#include "app/WidgetUserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace quillon {

namespace {

QString cancelTitle()
{
    return QStringLiteral("Cancel");
}

// A dialog is a window of its own and would not take the window's light or dark palette.
void followWindowPalette(QWidget& dialog)
{
    if (const QWidget* window = dialog.parentWidget())
        dialog.setPalette(window->palette());
}

} // namespace

int WidgetUserPrompts::runAlert(const Alert& alert)
{
    QMessageBox box(QApplication::activeWindow());
    followWindowPalette(box);
    box.setIcon(alert.warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setText(alert.message);
    box.setInformativeText(alert.informativeText);
    const QStringList titles
        = alert.buttons.isEmpty() ? QStringList { QStringLiteral("OK") } : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const QString& title = titles.at(i);
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        if (title == cancelTitle())
            role = QMessageBox::RejectRole;
        else if (i == 0)
            role = QMessageBox::AcceptRole;
        else if (title.startsWith(QStringLiteral("Don't")))
            role = QMessageBox::DestructiveRole;
        buttons.append(box.addButton(title, role));
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    // Escape picks "Cancel", or the last button, as the alert would on its own.
    const qsizetype cancel = titles.indexOf(cancelTitle());
    box.setEscapeButton(buttons.at(cancel >= 0 ? cancel : buttons.size() - 1));
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    if (chosen >= 0)
        return int(chosen);
    return int(cancel >= 0 ? cancel : buttons.size() - 1);
}

std::optional<QString> WidgetUserPrompts::runSavePanel(const SavePanel& panel)
{
    QFileDialog dialog(QApplication::activeWindow(), panel.title, panel.directory);
    followWindowPalette(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!panel.prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, panel.prompt);
    if (!panel.nameFilters.isEmpty())
        dialog.setNameFilters(panel.nameFilters);
    if (!panel.canCreateDirectories)
        dialog.setOption(QFileDialog::ReadOnly);
    if (!panel.proposedName.isEmpty())
        dialog.selectFile(panel.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> WidgetUserPrompts::runOpenPanel(const OpenPanel& panel)
{
    QFileDialog dialog(QApplication::activeWindow(), panel.title, panel.directory);
    followWindowPalette(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!panel.prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, panel.prompt);
    if (panel.chooseDirectories && !panel.chooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (!panel.nameFilters.isEmpty())
            dialog.setNameFilters(panel.nameFilters);
    }
    // Left without a title, the dialog would name itself ("Find Directory", "Open").
    if (panel.title.isEmpty())
        dialog.setWindowTitle(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace quillon
