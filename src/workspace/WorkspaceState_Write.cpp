// Writing documents: through the background writer, asking (never from inside an edit) when
// another program changed a file, and remembering each document's own save error.
#include "workspace/WorkspaceState.h"

#include "platform/BackgroundWriter.h"
#include "platform/FileUtil.h"
#include "platform/UserPrompts.h"
#include "workspace/DocumentSession.h"
#include "workspace/DocumentStore.h"

#include <QFileInfo>
#include <QTextStream>

namespace quillon {

namespace {

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

void printLine(const QString& line)
{
    QTextStream(stdout) << line << Qt::endl;
}

} // namespace

void WorkspaceState::flushPendingWrites()
{
    m_writer->flush();
}

QString WorkspaceState::saveError(const QString& path) const
{
    const DocumentStore::Document* doc = m_documents->find(FileUtil::standardizedPath(path));
    return doc ? doc->saveError : QString();
}

void WorkspaceState::setSaveError(const QString& path, const QString& error)
{
    if (DocumentStore::Document* doc = path.isEmpty() ? nullptr : m_documents->find(path))
        doc->saveError = error;
    if (path.isEmpty() || isTabActive(path))
        setLastSaveError(error);
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
        setLastSaveError({});
        publishCurrentFileContent(doc->text);
    }
}

void WorkspaceState::queueWrite(const QString& path, bool replaceAnyChange)
{
    DocumentStore::Document* doc = m_documents->find(path);
    if (!doc)
        return;
    BackgroundWriter::Request request { path, {}, doc->lineEnds, doc->diskSignature, doc->diskText,
        doc->diskLineEnds, replaceAnyChange };
    if (doc->writerHasText) {
        // Only the edits travel: the text itself stays unshared, so the next key edits it in
        // place.
        request.hasText = false;
        request.changes = std::exchange(doc->unsentChanges, {});
    } else {
        request.text = doc->text;
        doc->writerHasText = true;
        doc->unsentChanges.clear();
    }
    request.length = doc->text.size();
    doc->queuedWrite = m_writer->write(std::move(request));
}

WorkspaceState::SaveOutcome WorkspaceState::writeNow(const QString& path, bool replaceAnyChange)
{
    m_lastWriteOutcome.remove(path);
    queueWrite(path, replaceAnyChange);
    m_writer->flush();
    return m_lastWriteOutcome.value(path, SaveOutcome::NotSaved);
}

void WorkspaceState::onWriteFinished(const BackgroundWriter::Result& result)
{
    DocumentStore::Document* doc = m_documents->find(result.path);
    if (!doc)
        return; // closed meanwhile
    doc->finishedWrite = std::max(doc->finishedWrite, result.ticket);
    if (result.needsText) {
        // The writer lost track of the text: it gets the whole of it again.
        doc->textReplaced();
        queueWrite(result.path, false);
        return;
    }
    const QString name = fileName(result.path);
    SaveOutcome outcome = SaveOutcome::NotSaved;
    switch (result.status) {
    case BackgroundWriter::Status::Written:
        DocumentStore::markWritten(*doc, result.text, result.lineEnds, result.signature);
        setSaveError(result.path, {});
        outcome = SaveOutcome::Written;
        checkGitStatus();
        break;
    case BackgroundWriter::Status::ChangedOnDisk:
        setSaveError(
            result.path, tr("“%1” was not saved: it was changed by another program.").arg(name));
        // A version the user chose to decide about later is not asked about again on every edit.
        if (doc->postponedDigest.isEmpty() || doc->postponedDigest != result.diskDigest) {
            outcome = SaveOutcome::ChangedOnDisk;
            m_session->queueDiskQuestion(result.path);
        }
        break;
    case BackgroundWriter::Status::Missing:
        printLine(QStringLiteral("Quillon: Skipping writeToDisk for deleted file at path: ")
            + result.path);
        setSaveError(result.path, tr("“%1” was not saved: the file no longer exists.").arg(name));
        break;
    case BackgroundWriter::Status::Failed:
        printLine(QStringLiteral("Failed to write to file: ") + result.error);
        setSaveError(result.path, tr("“%1” was not saved: %2").arg(name, result.error));
        break;
    }
    m_lastWriteOutcome.insert(result.path, outcome);
}

WorkspaceState::SaveOutcome WorkspaceState::commitDocument(const QString& path, SaveRequest request)
{
    DocumentStore::Document* doc = m_documents->find(path);
    // While a write is on its way, the disk is about to hold another text than the one we know.
    if (!doc || (!doc->hasLocalEdits() && !(request == SaveRequest::Edit && doc->isWritePending())))
        return SaveOutcome::Unchanged;
    const QString name = fileName(path);
    if (!doc->readable()) {
        setSaveError(path,
            tr("“%1” was not saved: it could not be read, and writing it could destroy what it "
               "holds. Use Save As to keep your text.")
                .arg(name));
        return SaveOutcome::NotSaved;
    }
    if (request == SaveRequest::Edit) {
        queueWrite(path, false);
        return SaveOutcome::Queued;
    }
    // Decide on what the disk holds once the writes already asked for are done.
    m_writer->flush();
    doc = m_documents->find(path);
    if (!doc || !doc->hasLocalEdits())
        return SaveOutcome::Unchanged;
    if (!QFileInfo::exists(path)) {
        printLine(
            QStringLiteral("Quillon: Skipping writeToDisk for deleted file at path: ") + path);
        setSaveError(path, tr("“%1” was not saved: the file no longer exists.").arg(name));
        return SaveOutcome::NotSaved;
    }
    if (!DocumentStore::changedOnDisk(*doc, path))
        return writeNow(path, false);
    const QString changed = tr("“%1” was not saved: it was changed by another program.").arg(name);
    const QByteArray onDisk = FileUtil::digestOfFile(path);
    if (request == SaveRequest::Question && !doc->postponedDigest.isEmpty()
        && doc->postponedDigest == onDisk) {
        setSaveError(path, changed);
        return SaveOutcome::NotSaved;
    }
    switch (askAboutDiskChange(path)) {
    case DiskChoice::KeepMine:
        return writeNow(path, true);
    case DiskChoice::LoadDisk:
        takeDiskVersion(path);
        return SaveOutcome::TookDiskVersion;
    case DiskChoice::Later:
        if (DocumentStore::Document* postponed = m_documents->find(path))
            postponed->postponedDigest = onDisk;
        setSaveError(path, changed);
        return SaveOutcome::NotSaved;
    }
    return SaveOutcome::NotSaved;
}

void WorkspaceState::followChangesOnDisk()
{
    for (const QString& path : m_documents->paths()) {
        DocumentStore::Document* doc = m_documents->find(path);
        // A write on its way reports itself, whatever it finds; a deleted file keeps its text.
        if (!doc || !doc->readable() || doc->isWritePending() || !QFileInfo::exists(path))
            continue;
        // Most reports are of our own writes. Trusting the times here, even within a clock tick,
        // costs no read of a large file; a change they miss is still caught by the next write.
        if (FileSignature::of(path).sameFileVersion(doc->diskSignature)
            || !DocumentStore::changedOnDisk(*doc, path))
            continue;
        if (doc->hasLocalEdits())
            m_session->queueDiskQuestion(path);
        else
            takeDiskVersion(path);
    }
}

void WorkspaceState::reloadOpenDocumentsFromDisk()
{
    m_writer->flush();
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
            writeNow(path, true);
            break;
        case DiskChoice::LoadDisk:
            takeDiskVersion(path);
            break;
        case DiskChoice::Later:
            if (DocumentStore::Document* postponed = m_documents->find(path))
                postponed->postponedDigest = FileUtil::digestOfFile(path);
            break;
        }
    }
}

} // namespace quillon
