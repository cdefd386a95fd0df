#include "workspace/WorkspaceState.h"

#include "platform/FileUtil.h"
#include "platform/UserDefaults.h"
#include "platform/UserPrompts.h"
#include "workspace/DocumentSession.h"
#include "workspace/DocumentStore.h"
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
    const DocumentStore::Document* doc = m_documents->find(standardized);
    if (isTemporaryFile(standardized)) {
        // A temporary document lives nowhere else: any text in it is worth asking about.
        if (doc)
            return !doc->text.isEmpty();
        return !FileUtil::readText(standardized).text.isEmpty();
    }
    // A tab that was never shown holds nothing that is not on disk.
    return doc && doc->hasLocalEdits();
}

WorkspaceState::DiskChoice WorkspaceState::askAboutDiskChange(const QString& path)
{
    UserPrompts::Alert alert;
    alert.message = tr("“%1” was changed by another program.").arg(fileName(path));
    alert.informativeText = tr("You have changes that are not on disk. Keep your version and "
                               "replace the file, or load the version on disk and lose your "
                               "changes?");
    alert.buttons = { tr("Keep My Version"), tr("Load Disk Version"), tr("Decide Later") };
    alert.warning = true;
    switch (UserPrompts::current().runAlert(alert)) {
    case 0:
        return DiskChoice::KeepMine;
    case 1:
        return DiskChoice::LoadDisk;
    default:
        return DiskChoice::Later;
    }
}

void WorkspaceState::takeDiskVersion(const QString& path)
{
    DocumentStore::Document* doc = m_documents->find(path);
    if (!doc || !DocumentStore::reload(*doc, path))
        return;
    if (isTabActive(path)) {
        setDocumentError({});
        publishCurrentFileContent(doc->text);
    }
}

WorkspaceState::SaveOutcome WorkspaceState::commitDocument(const QString& path, SaveRequest request)
{
    DocumentStore::Document* doc = m_documents->find(path);
    if (!doc || !doc->hasLocalEdits())
        return SaveOutcome::Unchanged;
    const QString name = fileName(path);
    if (!doc->readable()) {
        setLastSaveError(tr("“%1” was not saved: it could not be read, and writing it could "
                            "destroy what it holds. Use Save As to keep your text.")
                             .arg(name));
        return SaveOutcome::NotSaved;
    }
    if (!QFileInfo::exists(path)) {
        printLine(
            QStringLiteral("Quillon: Skipping writeToDisk for deleted file at path: ") + path);
        setLastSaveError(tr("“%1” was not saved: the file no longer exists.").arg(name));
        return SaveOutcome::NotSaved;
    }
    const QByteArray onDisk = FileUtil::digestOfFile(path);
    if (onDisk != doc->diskDigest) {
        const QString changed
            = tr("“%1” was not saved: it was changed by another program.").arg(name);
        if (request != SaveRequest::Explicit && !doc->postponedDigest.isEmpty()
            && doc->postponedDigest == onDisk) {
            setLastSaveError(changed);
            return SaveOutcome::NotSaved;
        }
        if (request == SaveRequest::Edit) {
            setLastSaveError(changed);
            return SaveOutcome::ChangedOnDisk;
        }
        switch (askAboutDiskChange(path)) {
        case DiskChoice::KeepMine:
            break;
        case DiskChoice::LoadDisk:
            takeDiskVersion(path);
            setLastSaveError({});
            return SaveOutcome::TookDiskVersion;
        case DiskChoice::Later:
            if (DocumentStore::Document* postponed = m_documents->find(path))
                postponed->postponedDigest = onDisk;
            setLastSaveError(
                tr("“%1” was not saved: it was changed by another program.").arg(name));
            return SaveOutcome::NotSaved;
        }
        doc = m_documents->find(path);
        if (!doc)
            return SaveOutcome::NotSaved;
    }
    QString error;
    QByteArray digest;
    if (!FileUtil::writeTextAtomic(path, doc->text, doc->lineEnds, &error, &digest)) {
        printLine(QStringLiteral("Failed to write to file: ") + error);
        setLastSaveError(tr("“%1” was not saved: %2").arg(name, error));
        return SaveOutcome::NotSaved;
    }
    doc->diskText = doc->text;
    doc->diskDigest = digest;
    doc->postponedDigest.clear();
    setLastSaveError({});
    return SaveOutcome::Written;
}

void WorkspaceState::saveCurrentFile(const QString& content)
{
    if (m_activeTabURL.isEmpty())
        return;
    if (content != m_currentFileContent) {
        m_session->setUserText(content);
        return;
    }
    // Showing a document is not editing it: a switch back to a tab whose last write failed or was
    // put off must not write (or ask) again.
    if (!m_publishingLoadedText)
        m_session->saveEdits();
}

void WorkspaceState::saveCurrentFile()
{
    if (m_activeTabURL.isEmpty())
        return;
    const QString path = FileUtil::standardizedPath(m_activeTabURL);
    if (isTemporaryFile(path)) {
        saveAs();
        return;
    }
    DocumentStore::Document* doc = m_documents->find(path);
    if (!doc)
        return;
    doc->text = m_currentFileContent;
    if (doc->hasLocalEdits()) {
        commitDocument(path, SaveRequest::Explicit);
    } else if (!doc->readable()) {
        setLastSaveError(tr("“%1” was not saved: it could not be read.").arg(fileName(path)));
    } else if (!QFileInfo::exists(path)) {
        printLine(
            QStringLiteral("Quillon: Skipping writeToDisk for deleted file at path: ") + path);
        setLastSaveError(tr("“%1” was not saved: the file no longer exists.").arg(fileName(path)));
    } else if (DocumentStore::changedOnDisk(*doc, path)) {
        // Nothing of ours to write: show what is on disk now.
        takeDiskVersion(path);
    }
}

void WorkspaceState::saveAs()
{
    saveDocumentAs(
        m_activeTabURL.isEmpty() ? QString() : FileUtil::standardizedPath(m_activeTabURL));
}

bool WorkspaceState::saveDocumentAs(const QString& path)
{
    // The document's own text, whatever tab is active by the time the panel is answered.
    const DocumentStore::Document* doc = path.isEmpty() ? nullptr : m_documents->find(path);
    const QString text = doc ? doc->text : m_currentFileContent;
    const LineEnds lineEnds = doc ? doc->lineEnds : LineEnds();

    UserPrompts::SavePanel panel;
    panel.title = tr("Save File");
    panel.prompt = tr("Save");
    panel.proposedName = path.isEmpty() ? QStringLiteral("Untitled.md") : fileName(path);
    panel.directory = m_folderURL;
    panel.nameFilters = { tr("Plain text (*.md *.markdown *.txt *.text)"), tr("All files (*)") };
    panel.canCreateDirectories = true;
    const std::optional<QString> chosen = UserPrompts::current().runSavePanel(panel);
    if (!chosen || chosen->isEmpty())
        return false;
    const QString target = FileUtil::standardizedPath(*chosen);

    QString error;
    QByteArray digest;
    if (!FileUtil::writeTextAtomic(target, text, lineEnds, &error, &digest)) {
        printLine(QStringLiteral("Failed to save file: ") + error);
        setLastSaveError(tr("“%1” was not saved: %2").arg(fileName(target), error));
        return false;
    }
    setLastSaveError({});
    // An open document of that file (the saved one itself included) now matches the disk, so its
    // next edit is not taken for another program's change.
    if (DocumentStore::Document* written = m_documents->find(target)) {
        written->text = written->diskText = text;
        written->diskDigest = digest;
        written->lineEnds = lineEnds;
        written->readError.clear();
    }

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
    m_documents->remove(path);
    openFile(target);
    if (m_folderURL.isEmpty())
        setFolderURL(QFileInfo(target).absolutePath());
    else
        refreshSidebar();
    return true;
}

void WorkspaceState::closeTabWithConfirmation(
    const QString& path, std::function<void(bool)> completion)
{
    const QString standardized = FileUtil::standardizedPath(path);
    const bool temporary = isTemporaryFile(standardized);
    if (!hasUnsavedChanges(standardized)) {
        if (temporary)
            removeTemporaryDocument(standardized);
        completion(true);
        return;
    }
    UserPrompts::Alert alert;
    alert.message = tr("Do you want to save changes?");
    alert.informativeText = tr("Your changes will be lost if you don't save them.");
    alert.buttons = { tr("Save"), tr("Don't Save"), tr("Cancel") };
    alert.warning = true;
    switch (UserPrompts::current().runAlert(alert)) {
    case 0:
        selectTab(standardized);
        if (temporary) {
            // The tab may close only once its text is safely somewhere else.
            completion(saveDocumentAs(standardized));
        } else {
            completion(
                commitDocument(standardized, SaveRequest::Explicit) != SaveOutcome::NotSaved);
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

void WorkspaceState::reloadOpenDocumentsFromDisk()
{
    for (const QString& path : m_documents->paths()) {
        DocumentStore::Document* doc = m_documents->find(path);
        if (!doc)
            continue;
        if (!doc->readable()) {
            if (isTabActive(path) && DocumentStore::reload(*doc, path)) {
                setDocumentError({});
                publishCurrentFileContent(doc->text);
            }
            continue;
        }
        if (!QFileInfo::exists(path) || !DocumentStore::changedOnDisk(*doc, path))
            continue;
        if (!doc->hasLocalEdits()) {
            takeDiskVersion(path);
            continue;
        }
        switch (askAboutDiskChange(path)) {
        case DiskChoice::KeepMine:
            // What is on disk now becomes the version we knowingly replace.
            doc->diskDigest = FileUtil::digestOfFile(path);
            if (commitDocument(path, SaveRequest::Explicit) == SaveOutcome::Written)
                checkGitStatus();
            break;
        case DiskChoice::LoadDisk:
            takeDiskVersion(path);
            break;
        case DiskChoice::Later:
            break;
        }
    }
}

} // namespace quillon
