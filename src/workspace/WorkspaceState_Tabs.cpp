#include "workspace/WorkspaceState.h"

#include "analytics/AnalyticsManager.h"
#include "platform/CommandBus.h"
#include "platform/FileUtil.h"
#include "workspace/DocumentSession.h"
#include "workspace/DocumentStore.h"
#include "workspace/WorkspaceLog.h"

#include <QFileInfo>
#include <QScopedValueRollback>

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
    // A document whose tab is gone keeps no cached text.
    QSet<QString> open;
    for (const QString& tab : tabs)
        open.insert(FileUtil::standardizedPath(tab));
    open.insert(FileUtil::standardizedPath(m_activeTabURL));
    for (const QString& path : m_documents->paths()) {
        if (!open.contains(path))
            m_documents->remove(path);
    }
    Q_EMIT openTabsChanged();
    saveSessionState();
}

void WorkspaceState::setActiveTabURL(const QString& url)
{
    if (url != m_activeTabURL && !m_activeTabURL.isEmpty())
        m_session->announceLeaving();
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
    // Switching tabs never writes: every edit has already been offered to saveCurrentFile().
    if (!previous.isEmpty()) {
        if (DocumentStore::Document* doc
            = m_documents->find(FileUtil::standardizedPath(previous))) {
            doc->text = m_currentFileContent;
            doc->textReplaced();
        }
    }
    loadCurrentFile();
}

void WorkspaceState::setCurrentFileContent(const QString& text)
{
    if (!m_activeTabURL.isEmpty()) {
        if (DocumentStore::Document* doc
            = m_documents->find(FileUtil::standardizedPath(m_activeTabURL))) {
            const TextEdit edit = TextEdit::between(doc->text, text);
            doc->text = text;
            doc->textReplaced();
            doc->lineEnds.applyEdit(text, edit.position, edit.removedLength, edit.inserted.size());
        }
    }
    m_currentFileContent = text;
    m_session->announceReplaced();
    Q_EMIT currentFileContentChanged();
}

void WorkspaceState::publishCurrentFileContent(const QString& text)
{
    m_currentFileContent = text;
    const QScopedValueRollback publishing(m_publishingLoadedText, true);
    m_session->announceReplaced();
    Q_EMIT currentFileContentChanged();
}

void WorkspaceState::loadCurrentFile()
{
    if (m_activeTabURL.isEmpty()) {
        setDocumentError({});
        setLastSaveError({});
        publishCurrentFileContent({});
        return;
    }
    const QString path = FileUtil::standardizedPath(m_activeTabURL);
    DocumentStore::Document* doc = m_documents->find(path);
    // An unreadable document is tried again, unless the user has typed into it since.
    if (!doc || (!doc->readable() && !doc->hasLocalEdits()))
        doc = &m_documents->load(path);
    setLastSaveError(doc->saveError);
    if (doc->readable()) {
        setDocumentError({});
    } else {
        printLine(QStringLiteral("Failed to read file: ") + doc->readError);
        setDocumentError(tr("“%1” can't be shown: %2").arg(fileName(path), doc->readError));
    }
    publishCurrentFileContent(doc->text);
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
        AnalyticsEvent::documentOpened(QFileInfo(standardized).suffix()));
}

void WorkspaceState::openFileAndScroll(const QString& path, std::optional<int> line)
{
    const QString standardized = FileUtil::standardizedPath(path);
    if (QFileInfo(standardized).isDir()) {
        setExpanded(true, standardized);
        return;
    }
    openFile(standardized);
    if (line) {
        setTargetScrollLine(line);
        Q_EMIT CommandBus::shared().scrollToLine(*line);
    }
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
    // What the user typed is on disk before the tab goes.
    m_writer->flush();
    m_writer->forget(standardized);
    m_documents->remove(standardized);
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
