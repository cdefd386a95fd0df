#include "workspace/WorkspaceState.h"

#include "analytics/AnalyticsManager.h"
#include "workspace/SearchEngine.h"

#include <QFuture>
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
    AnalyticsManager::shared().track(AnalyticsEvent::searchExecuted(query.size()));

    // The worker works on its own copies; the hits come back on the main thread, and never after
    // this object is gone.
    QtConcurrent::run([folder, query, extensions] {
        return SearchEngine::search(folder, query, extensions, SearchEngine::defaultMaxResults);
    }).then(this, [this, generation, query](const QVector<SearchResult>& hits) {
        if (m_searchGeneration == generation && m_globalSearchQuery == query)
            setGlobalSearchResults(hits);
    });
}

} // namespace quillon
