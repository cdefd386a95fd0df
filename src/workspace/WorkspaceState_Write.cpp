// The workspace's side of saving: one writer for every document, its reports handed to the
// document they are about, and the documents told when other programs changed their files.
#include "workspace/WorkspaceState.h"

#include "platform/BackgroundWriter.h"
#include "platform/FileUtil.h"
#include "workspace/Document.h"

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

void WorkspaceState::followChangesOnDisk()
{
    for (Document* doc : m_documents.values()) {
        // A change of permissions comes this way too.
        doc->checkWritable();
        doc->followChangeOnDisk();
    }
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
