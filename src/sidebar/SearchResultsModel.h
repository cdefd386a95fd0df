#pragma once

#include "workspace/SearchResult.h"

#include <QAbstractListModel>
#include <QVector>

namespace quillon {

class WorkspaceState;

// The hits of the last finished project search, one row each, in the search's order; replaced
// whole when a search publishes.
//
// Reads: WorkspaceState::globalSearchResults.
class SearchResultsModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        ResultRole = Qt::UserRole + 1, // the SearchResult
    };

    explicit SearchResultsModel(WorkspaceState& workspace, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    const SearchResult& result(int row) const { return m_results.at(row); }

    // What the row shows: the symbol, ":line" (empty for a name hit), the line text (empty when
    // none is shown) and the relative path (empty when it says no more than the name).
    static QString symbolOf(const SearchResult& result);
    static QString lineLabelOf(const SearchResult& result);
    static QString lineTextOf(const SearchResult& result);
    static QString pathTextOf(const SearchResult& result);

private:
    WorkspaceState& m_workspace;
    QVector<SearchResult> m_results;
};

} // namespace quillon
