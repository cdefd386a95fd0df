#include "workspace/DocumentSession.h"

#include "platform/FileUtil.h"
#include "workspace/DocumentStore.h"
#include "workspace/WorkspaceState.h"

#include <QMetaObject>

#include <algorithm>

namespace quillon {

bool TextEdit::isAlreadyIn(QStringView text) const
{
    if (text.size() != resultLength || position < 0 || position + inserted.size() > text.size())
        return false;
    return text.mid(position, inserted.size()) == inserted;
}

void TextEdit::applyTo(QString& text) const
{
    text.replace(position, removedLength, inserted);
}

TextEdit TextEdit::between(const QString& before, const QString& after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before.at(prefix) == after.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix
        && before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    if (prefix > 0 && before.at(prefix - 1).isHighSurrogate())
        --prefix;
    if (suffix > 0 && before.at(before.size() - suffix).isLowSurrogate())
        --suffix;
    return { prefix, before.size() - prefix - suffix,
        after.mid(prefix, after.size() - prefix - suffix), after.size() };
}

DocumentSession::DocumentSession(WorkspaceState& workspace)
    : m_workspace(workspace)
{
}

const QString& DocumentSession::text() const
{
    return m_workspace.m_currentFileContent;
}

void DocumentSession::applyUserEdit(
    qsizetype position, qsizetype removedLength, const QString& inserted)
{
    WorkspaceState& w = m_workspace;
    if (w.m_activeTabURL.isEmpty())
        return;
    QString& text = w.m_currentFileContent;
    position = std::clamp<qsizetype>(position, 0, text.size());
    removedLength = std::clamp<qsizetype>(removedLength, 0, text.size() - position);
    if (removedLength == inserted.size()
        && QStringView(text).mid(position, removedLength) == inserted)
        return;

    DocumentStore::Document* doc
        = w.m_documents->find(FileUtil::standardizedPath(w.m_activeTabURL));
    // The cache shares the text; letting go of it first lets the edit happen in place instead of
    // copying the whole document on every keystroke.
    if (doc)
        doc->text = QString();
    TextEdit edit { position, removedLength, inserted, 0 };
    edit.applyTo(text);
    edit.resultLength = text.size();
    if (doc) {
        doc->text = text;
        doc->lineEnds.applyEdit(text, edit.position, edit.removedLength, edit.inserted.size());
        doc->noteEdit({ edit.position, edit.removedLength, edit.inserted });
    }

    Q_EMIT textEdited(edit);
    Q_EMIT w.currentFileContentChanged();
    writeActiveDocument();
}

void DocumentSession::setUserText(const QString& newText)
{
    if (m_workspace.m_activeTabURL.isEmpty() || newText == text())
        return;
    const TextEdit edit = TextEdit::between(text(), newText);
    applyUserEdit(edit.position, edit.removedLength, edit.inserted);
}

void DocumentSession::saveEdits()
{
    if (!m_workspace.m_activeTabURL.isEmpty())
        writeActiveDocument();
}

void DocumentSession::writeActiveDocument()
{
    const QString path = FileUtil::standardizedPath(m_workspace.m_activeTabURL);
    m_workspace.commitDocument(path, WorkspaceState::SaveRequest::Edit);
}

void DocumentSession::queueDiskQuestion(const QString& path)
{
    // The edit that found the change is still being handled (a view's change handler may be on
    // the stack): a modal question now would run inside it.
    if (m_queuedQuestions.contains(path))
        return;
    m_queuedQuestions.insert(path);
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            // The answer covers everything typed meanwhile; a document closed meanwhile is
            // left alone.
            m_workspace.commitDocument(path, WorkspaceState::SaveRequest::Question);
            m_queuedQuestions.remove(path);
        },
        Qt::QueuedConnection);
}

} // namespace quillon
