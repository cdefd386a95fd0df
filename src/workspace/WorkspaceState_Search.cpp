#include "workspace/WorkspaceState.h"

#include "analytics/AnalyticsManager.h"
#include "workspace/GraphemeClusters.h"
#include "workspace/SearchEngine.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace quillon {

void WorkspaceState::setGlobalSearchQuery(const QString& query)
{
    m_globalSearchQuery = query;
    Q_EMIT globalSearchQueryChanged();
    performGlobalSearch();
}

void WorkspaceState::setGlobalSearchResults(const QVector<SearchResult>& results)
{
    m_globalSearchResults = results;
    Q_EMIT globalSearchResultsChanged();
}

void WorkspaceState::performGlobalSearch()
{
    // Every call outdates the searches still running: only the newest one may publish.
    const quint64 generation = ++m_searchGeneration;
    if (m_folderURL.isEmpty() || m_globalSearchQuery.trimmed().isEmpty()) {
        setGlobalSearchResults({});
        return;
    }
    const QString folder = m_folderURL;
    const QString query = m_globalSearchQuery;
    const QSet<QString> extensions = m_activeFileExtensions;
    AnalyticsManager::shared().track(AnalyticsEvent::searchExecuted(graphemeClusterCount(query)));

    // The worker works on its own copies. The hits come back through a watcher this object owns,
    // so a search still running when the workspace goes away finishes into nothing.
    auto* watcher = new QFutureWatcher<QVector<SearchResult>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, query] {
        watcher->deleteLater();
        if (m_searchGeneration == generation && m_globalSearchQuery == query)
            setGlobalSearchResults(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([folder, query, extensions] {
        return SearchEngine::search(folder, query, extensions, SearchEngine::defaultMaxResults);
    }));
}

} // namespace quillon
