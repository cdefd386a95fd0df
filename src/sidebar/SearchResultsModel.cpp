#include "sidebar/SearchResultsModel.h"

#include "sidebar/SidebarText.h"
#include "workspace/IconForExtension.h"
#include "workspace/WorkspaceState.h"

namespace quillon {

SearchResultsModel::SearchResultsModel(WorkspaceState& workspace, QObject* parent)
    : QAbstractListModel(parent)
    , m_workspace(workspace)
    , m_results(workspace.globalSearchResults())
{
    connect(&m_workspace, &WorkspaceState::globalSearchResultsChanged, this, [this] {
        beginResetModel();
        m_results = m_workspace.globalSearchResults();
        endResetModel();
    });
}

int SearchResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_results.size());
}

QVariant SearchResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_results.size())
        return {};
    const SearchResult& hit = m_results.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return hit.fileName;
    case Qt::ToolTipRole:
        return hit.relativePath;
    case ResultRole:
        return QVariant::fromValue(hit);
    default:
        return {};
    }
}

QString SearchResultsModel::symbolOf(const SearchResult& result)
{
    if (result.isFileNameMatch)
        return QStringLiteral("folder.fill");
    return iconForExtension(SidebarText::extensionOf(result.fileName));
}

QString SearchResultsModel::lineLabelOf(const SearchResult& result)
{
    return result.isFileNameMatch ? QString() : QStringLiteral(":%1").arg(result.lineNumber);
}

QString SearchResultsModel::lineTextOf(const SearchResult& result)
{
    return result.isFileNameMatch ? QString() : result.lineContent;
}

QString SearchResultsModel::pathTextOf(const SearchResult& result)
{
    if (result.relativePath.isEmpty() || result.relativePath == result.fileName)
        return {};
    return result.relativePath;
}

} // namespace quillon
