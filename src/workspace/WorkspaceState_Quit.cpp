// Quitting: every document whose text is not on disk is asked about before the program ends.
#include "workspace/WorkspaceState.h"

#include "platform/FileUtil.h"
#include "platform/UserPrompts.h"
#include "workspace/Document.h"

#include <QFileInfo>

namespace quillon {

namespace {

// The reason a save failed, ended as a sentence, before the sentence that follows it.
QString beforeSentence(const QString& reason, const QString& sentence)
{
    if (reason.isEmpty())
        return sentence;
    const QChar last = reason.back();
    const bool ended = last == u'.' || last == u'!' || last == u'?' || last == u'…';
    return reason + (ended ? QStringLiteral(" ") : QStringLiteral(". ")) + sentence;
}

} // namespace

QStringList WorkspaceState::documentsWithUnsavedText()
{
    // What a view still holds back (an open table cell) is part of the text.
    for (Document* doc : std::as_const(m_documents))
        doc->takeHeldInput();
    // A write still on its way is not a failure.
    m_writer->flush();
    QStringList paths;
    QStringList order;
    for (const QString& tab : std::as_const(m_openTabs))
        order.append(FileUtil::standardizedPath(tab));
    if (!m_activeTabURL.isEmpty())
        order.append(FileUtil::standardizedPath(m_activeTabURL));
    for (const QString& path : std::as_const(order)) {
        const Document* doc = document(path);
        if (doc && doc->hasLocalEdits() && !paths.contains(path))
            paths.append(path);
    }
    return paths;
}

bool WorkspaceState::confirmQuit()
{
    for (const QString& path : documentsWithUnsavedText()) {
        // An earlier answer may have settled it already (Save As onto its file).
        const Document* doc = document(path);
        if (doc && doc->hasLocalEdits() && !settleUnsavedText(path))
            return false;
    }
    return true;
}

bool WorkspaceState::settleUnsavedText(const QString& path)
{
    const Document* doc = document(path);
    UserPrompts::Alert alert;
    alert.message = tr("Do you want to save the changes to “%1”?").arg(FileUtil::fileName(path));
    const QString lost = tr("Your changes will be lost if you don't save them.");
    alert.informativeText = beforeSentence(doc->saveError(), lost);
    alert.buttons = { tr("Save"), tr("Save As..."), tr("Don't Save"), tr("Cancel") };
    // A Save that cannot write (the file is gone, or was never read) is not offered.
    const bool saveOffered = isTemporaryFile(path) || canSaveInPlace(path);
    if (!saveOffered)
        alert.buttons.removeFirst();
    alert.warning = true;
    int answer = UserPrompts::current().runAlert(alert);
    if (!saveOffered && answer >= 0)
        ++answer;
    switch (answer) {
    case 0:
        // Its tab is shown, so that a save that fails again shows why.
        selectTab(path);
        if (isTemporaryFile(path))
            return saveDocumentAs(path);
        if (Document* saved = document(path))
            saved->save();
        doc = document(path);
        return !doc || !doc->hasLocalEdits();
    case 1:
        selectTab(path);
        if (!saveDocumentAs(path))
            return false;
        // The text is kept in the chosen file; the document itself is left as its file is.
        dropUnsavedText(path);
        return true;
    case 2:
        dropUnsavedText(path);
        return true;
    default:
        return false;
    }
}

void WorkspaceState::dropUnsavedText(const QString& path)
{
    if (Document* doc = document(path))
        doc->discardLocalEdits();
}

} // namespace quillon
