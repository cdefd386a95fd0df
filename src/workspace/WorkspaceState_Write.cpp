// The workspace's side of saving: one writer for every document, its reports handed to the
// document they are about, and the documents told when other programs changed their files.
#include "workspace/WorkspaceState.h"

#include "platform/BackgroundWriter.h"
#include "platform/FileUtil.h"
#include "workspace/Document.h"
#include "workspace/OpenFileWatcher.h"

#include <QCoreApplication>
#include <QThread>

namespace quillon {

void WorkspaceState::flushPendingWrites()
{
    m_writer->flush();
}

QString WorkspaceState::saveError(const QString& path) const
{
    const Document* doc = document(path);
    return doc ? doc->saveError() : QString();
}

void WorkspaceState::onWriteFinished(const BackgroundWriter::Result& result)
{
    // The document that asked, wherever its file went meanwhile; a closed one has nothing to
    // learn from it.
    for (Document* doc : std::as_const(m_documents)) {
        if (doc->writerOwner() == result.owner) {
            doc->takeWriteResult(result);
            return;
        }
    }
}

std::shared_ptr<WorkspaceState::WriteHold> WorkspaceState::holdWrites()
{
    if (m_writeHolds++ == 0) {
        for (Document* doc : std::as_const(m_documents))
            doc->setWritesHeld(true);
    }
    // The write in flight, and those already asked for, land before git looks.
    m_writer->flush();
    return std::make_shared<WriteHold>(*this);
}

void WorkspaceState::releaseWriteHold()
{
    if (m_writeHolds == 0 || --m_writeHolds > 0)
        return;
    for (Document* doc : m_documents.values())
        doc->setWritesHeld(false);
}

WorkspaceState::WriteHold::WriteHold(WorkspaceState& state)
    : m_state(&state)
{
}

WorkspaceState::WriteHold::~WriteHold()
{
    release();
}

void WorkspaceState::WriteHold::release()
{
    if (m_released.exchange(true))
        return;
    // Dropped with a git job that never ran or whose result nobody took: the workspace hears of
    // it on its own thread.
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        if (m_state)
            m_state->releaseWriteHold();
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [state = m_state] {
            if (state)
                state->releaseWriteHold();
        },
        Qt::QueuedConnection);
}

void WorkspaceState::followChangesOnDisk()
{
    for (Document* doc : m_documents.values()) {
        // A change of permissions comes this way too.
        doc->checkWritable();
        doc->followChangeOnDisk();
    }
}

void WorkspaceState::watchDocumentsOutsideFolder()
{
    // A folder that could not be watched, or only in part (too many watches, no permission to
    // read it), tells of no change: its open documents are then watched one by one, as files
    // outside it are.
    const bool folderWatched = !m_folderURL.isEmpty() && m_folderWatchError.isEmpty();
    QStringList outside;
    for (const QString& path : m_documents.keys()) {
        if (!folderWatched || !FileUtil::isUnder(path, m_folderURL))
            outside.append(path);
    }
    outside.sort();
    m_outsideWatcher->setFiles(outside);
}

void WorkspaceState::reloadOpenDocumentsFromDisk()
{
    m_writer->flush();
    for (const QString& path : m_documents.keys()) {
        // A question may have closed a tab meanwhile.
        if (Document* doc = m_documents.value(path))
            doc->reloadAfterOutsideChange();
    }
}

} // namespace quillon
