#include "workspace/WorkspaceState.h"

#include "platform/FileUtil.h"
#include "platform/UserDefaults.h"
#include "platform/UserPrompts.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillon {

using FileUtil::fileName;

QString WorkspaceState::temporaryDocumentsFolder()
{
    return FileUtil::standardizedPath(QDir::tempPath() + QStringLiteral("/quillon"));
}

bool WorkspaceState::isTemporaryFile(const QString& path) const
{
    const QString folder = temporaryDocumentsFolder();
    const QString standardized = FileUtil::standardizedPath(path);
    return standardized != folder && FileUtil::isUnder(standardized, folder);
}

void WorkspaceState::removeTemporaryDocument(const QString& path)
{
    // A file we could never read as text was never shown, so nobody decided to discard it.
    const FileUtil::TextFile file = FileUtil::readText(path);
    if (file.ok || !QFileInfo(path).isFile())
        QFile::remove(path);
    UserDefaults::standard().remove(QStringLiteral("temp_") + path);
}

bool WorkspaceState::hasUnsavedChanges(const QString& path) const
{
    const QString standardized = FileUtil::standardizedPath(path);
    const Document* doc = document(standardized);
    if (isTemporaryFile(standardized)) {
        // A temporary document lives nowhere else: any text in it is worth asking about.
        if (doc)
            return !doc->text().isEmpty();
        return !FileUtil::readText(standardized).text.isEmpty();
    }
    // A tab that was never shown holds nothing that is not on disk.
    return doc && doc->hasLocalEdits();
}

void WorkspaceState::saveCurrentFile()
{
    Document* active = activeDocument();
    if (!active)
        return;
    if (isTemporaryFile(active->path())) {
        saveAs();
        return;
    }
    active->save();
}

void WorkspaceState::saveAs()
{
    saveDocumentAs(
        m_activeTabURL.isEmpty() ? QString() : FileUtil::standardizedPath(m_activeTabURL));
}

bool WorkspaceState::saveDocumentAs(const QString& path)
{
    m_writer->flush();
    // The document's own text, whatever tab is active by the time the panel is answered.
    const Document* doc = path.isEmpty() ? nullptr : document(path);
    const QString text = doc ? doc->text().toString() : QString();
    const LineEnds lineEnds = doc ? doc->lineEnds() : LineEnds();

    UserPrompts::SavePanel panel;
    panel.title = tr("Save File");
    panel.prompt = tr("Save");
    panel.directory = m_folderURL;
    if (path.isEmpty()) {
        // A name nothing holds yet, as New File picks it, so taking it replaces no file.
        if (panel.directory.isEmpty())
            panel.directory = FileUtil::standardizedPath(QDir::homePath());
        panel.proposedName = fileName(freeUntitledPath(panel.directory));
    } else {
        panel.proposedName = fileName(path);
    }
    panel.nameFilters = { tr("Plain text (*.md *.markdown *.txt *.text)"), tr("All files (*)") };
    panel.canCreateDirectories = true;
    const std::optional<QString> chosen = UserPrompts::current().runSavePanel(panel);
    if (!chosen || chosen->isEmpty())
        return false;
    const QString target = FileUtil::standardizedPath(*chosen);

    // What the writer remembers of that file is out of date now.
    m_writer->forget(target);
    QString error;
    if (!FileUtil::writeTextAtomic(target, text, lineEnds, &error)) {
        printLine(QStringLiteral("Failed to save file: ") + error);
        const QString why = tr("“%1” was not saved: %2").arg(fileName(target), error);
        if (Document* saved = path.isEmpty() ? nullptr : document(path))
            saved->setSaveError(why);
        else
            setLastSaveError(why);
        return false;
    }
    if (Document* saved = path.isEmpty() ? nullptr : document(path))
        saved->setSaveError({});
    else
        setLastSaveError({});
    // An open document of that file (the saved one itself included) now matches the disk, so its
    // next edit is not taken for another program's change.
    if (Document* written = document(target))
        written->adoptWrittenText(text, lineEnds);

    if (path.isEmpty() || target == path || !isTemporaryFile(path))
        return true;
    removeTemporaryDocument(path);
    QStringList tabs = m_openTabs;
    qsizetype index = -1;
    for (qsizetype i = 0; i < tabs.size() && index < 0; ++i) {
        if (FileUtil::standardizedPath(tabs.at(i)) == path)
            index = i;
    }
    if (index >= 0) {
        tabs.removeAt(index);
        setOpenTabs(tabs);
    }
    closeDocument(path);
    openFile(target);
    if (m_folderURL.isEmpty())
        setFolderURL(QFileInfo(target).absolutePath());
    else
        refreshSidebar();
    return true;
}

bool WorkspaceState::canSaveInPlace(const QString& path) const
{
    const QString standardized = FileUtil::standardizedPath(path);
    const Document* doc = document(standardized);
    return QFileInfo::exists(standardized) && (!doc || doc->isReadable());
}

void WorkspaceState::closeTabWithConfirmation(
    const QString& path, std::function<void(bool)> completion)
{
    const QString standardized = FileUtil::standardizedPath(path);
    const bool temporary = isTemporaryFile(standardized);
    // What a view still holds back belongs to the text that is asked about and written.
    if (Document* doc = document(standardized))
        doc->takeHeldInput();
    m_writer->flush();
    if (!hasUnsavedChanges(standardized)) {
        if (temporary)
            removeTemporaryDocument(standardized);
        completion(true);
        return;
    }
    // Where Save cannot write, the text can still go to another file.
    const bool saveElsewhere = temporary || !canSaveInPlace(standardized);
    UserPrompts::Alert alert;
    alert.message = tr("Do you want to save changes?");
    alert.informativeText = tr("Your changes will be lost if you don't save them.");
    if (const Document* doc = document(standardized);
        !temporary && doc && saveElsewhere && !doc->saveError().isEmpty())
        alert.informativeText.prepend(doc->saveError() + u' ');
    alert.buttons = { temporary || !saveElsewhere ? tr("Save") : tr("Save As..."), tr("Don't Save"),
        tr("Cancel") };
    alert.warning = true;
    switch (UserPrompts::current().runAlert(alert)) {
    case 0:
        selectTab(standardized);
        if (saveElsewhere) {
            // The tab may close only once its text is safely somewhere else.
            completion(saveDocumentAs(standardized));
        } else {
            Document* doc = document(standardized);
            completion(!doc || doc->save());
        }
        return;
    case 1:
        if (temporary)
            removeTemporaryDocument(standardized);
        completion(true);
        return;
    default:
        completion(false);
        return;
    }
}

} // namespace quillon
