#include "workspace/WorkspaceState.h"

#include "analytics/AnalyticsManager.h"
#include "platform/FileUtil.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceLog.h"

namespace quillon {

namespace {

using FileUtil::fileName;

qsizetype indexOfTab(const QStringList& tabs, const QString& standardized)
{
    for (qsizetype i = 0; i < tabs.size(); ++i) {
        if (FileUtil::standardizedPath(tabs.at(i)) == standardized)
            return i;
    }
    return -1;
}

} // namespace

void WorkspaceState::setOpenTabs(const QStringList& tabs)
{
    m_openTabs = tabs;
    // A document whose tab is gone goes with it.
    QSet<QString> open;
    for (const QString& tab : tabs)
        open.insert(FileUtil::standardizedPath(tab));
    open.insert(FileUtil::standardizedPath(m_activeTabURL));
    for (const QString& path : m_documents.keys()) {
        if (!open.contains(path))
            closeDocument(path);
    }
    Q_EMIT openTabsChanged();
    saveSessionState();
}

void WorkspaceState::closeDocument(const QString& path)
{
    Document* document = m_documents.take(path);
    if (!document)
        return;
    // What the user typed is on disk before the document goes.
    m_writer->flush();
    m_writer->forget(path);
    Q_EMIT documentClosing(document);
    document->disconnect(this);
    // A view of it may be on the stack (a key that closed its tab): it goes once that is done.
    document->deleteLater();
    watchDocumentsOutsideFolder();
}

Document* WorkspaceState::document(const QString& path) const
{
    return m_documents.value(FileUtil::standardizedPath(path));
}

Document* WorkspaceState::activeDocument() const
{
    return m_activeTabURL.isEmpty() ? nullptr : document(m_activeTabURL);
}

QString WorkspaceState::currentFileContent() const
{
    const Document* active = activeDocument();
    return active ? active->text().toString() : QString();
}

void WorkspaceState::setCurrentFileContent(const QString& text)
{
    if (Document* active = activeDocument())
        active->replaceText(text);
}

void WorkspaceState::setActiveTabURL(const QString& url)
{
    if (url != m_activeTabURL) {
        if (Document* leaving = activeDocument())
            leaving->takeHeldInput();
    }
    const QString previous = m_activeTabURL;
    m_activeTabURL = url;
    onActiveTabChanged(previous);
    Q_EMIT activeTabURLChanged();
}

void WorkspaceState::onActiveTabChanged(const QString& previous)
{
    saveSessionState();
    if (previous == m_activeTabURL)
        return;
    Document* active = nullptr;
    if (!m_activeTabURL.isEmpty()) {
        const QString path = FileUtil::standardizedPath(m_activeTabURL);
        active = m_documents.value(path);
        if (!active) {
            active = new Document(path, *m_writer, this);
            active->setWritesHeld(areWritesHeld());
            m_documents.insert(path, active);
            connect(active, &Document::written, this, &WorkspaceState::checkGitStatus);
            watchDocumentsOutsideFolder();
        } else {
            // An unreadable document is tried again, unless the user has typed into it since; a
            // read-only one may have been given permission.
            active->retryUnreadable();
            active->checkWritable();
        }
        if (!active->isReadable())
            printLine(QStringLiteral("Failed to read file: ") + active->readError());
    }
    followActiveDocument();
}

void WorkspaceState::followActiveDocument()
{
    disconnect(m_activeDocumentEdited);
    disconnect(m_activeDocumentReplaced);
    disconnect(m_activeDocumentSaveError);
    disconnect(m_activeDocumentReadError);
    Document* active = activeDocument();
    auto publishErrors = [this] {
        const Document* document = activeDocument();
        setLastSaveError(document ? document->saveError() : QString());
        if (document && !document->isReadable())
            setDocumentError(tr("“%1” can't be shown: %2")
                                 .arg(FileUtil::fileName(document->path()), document->readError()));
        else
            setDocumentError(document ? document->readOnlyReason() : QString());
    };
    publishErrors();
    if (!active)
        return;
    m_activeDocumentEdited
        = connect(active, &Document::edited, this, &WorkspaceState::currentFileContentChanged);
    m_activeDocumentReplaced
        = connect(active, &Document::replaced, this, &WorkspaceState::currentFileContentChanged);
    m_activeDocumentSaveError = connect(active, &Document::saveErrorChanged, this, publishErrors);
    m_activeDocumentReadError = connect(active, &Document::editableChanged, this, publishErrors);
}

void WorkspaceState::openFile(const QString& path)
{
    const QString standardized = FileUtil::standardizedPath(path);
    const qsizetype index = indexOfTab(m_openTabs, standardized);
    QString target = standardized;
    if (index >= 0) {
        target = m_openTabs.at(index);
    } else {
        QStringList tabs = m_openTabs;
        tabs.append(standardized);
        setOpenTabs(tabs);
    }
    setActiveTabURL(target);
    addRecent(standardized, false);
    AnalyticsManager::shared().track(
        AnalyticsEvent::documentOpened(FileUtil::pathExtension(standardized)));
}

void WorkspaceState::selectTab(const QString& path)
{
    const qsizetype index = indexOfTab(m_openTabs, FileUtil::standardizedPath(path));
    if (index >= 0)
        setActiveTabURL(m_openTabs.at(index));
}

bool WorkspaceState::isTabActive(const QString& path) const
{
    return !m_activeTabURL.isEmpty()
        && FileUtil::standardizedPath(m_activeTabURL) == FileUtil::standardizedPath(path);
}

void WorkspaceState::closeTab(const QString& path)
{
    const QString standardized = FileUtil::standardizedPath(path);
    closeDocument(standardized);
    const qsizetype index = indexOfTab(m_openTabs, standardized);
    if (index < 0)
        return;
    const bool wasActive = isTabActive(standardized);
    QStringList tabs = m_openTabs;
    tabs.removeAt(index);
    setOpenTabs(tabs);
    if (!wasActive)
        return;
    if (m_openTabs.isEmpty())
        setActiveTabURL({});
    else
        setActiveTabURL(m_openTabs.at(std::max<qsizetype>(index, 1) - 1));
}

} // namespace quillon
