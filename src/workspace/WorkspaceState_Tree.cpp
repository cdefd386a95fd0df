#include "workspace/WorkspaceState.h"

#include "platform/FileUtil.h"
#include "workspace/FileNode.h"

namespace quillon {

void WorkspaceState::setExpandedPaths(const QSet<QString>& paths)
{
    m_expandedPaths = paths;
    Q_EMIT expandedPathsChanged();
    saveSessionState();
}

bool WorkspaceState::isExpanded(const QString& url) const
{
    if (m_folderURL.isEmpty())
        return false;
    const QString path = FileUtil::standardizedPath(url);
    return path == m_folderURL || m_expandedPaths.contains(path);
}

void WorkspaceState::setExpanded(bool expanded, const QString& url)
{
    QSet<QString> paths = m_expandedPaths;
    const QString path = FileUtil::standardizedPath(url);
    if (expanded)
        paths.insert(path);
    else
        paths.remove(path);
    setExpandedPaths(paths);
}

void WorkspaceState::refreshFolder()
{
    if (m_folderURL.isEmpty())
        return;
    auto* root = new FileNode(m_folderURL, true, this, this);
    root->loadChildren();
    FileNode* old = m_rootNode;
    m_rootNode = root;
    Q_EMIT rootNodeChanged();
    Q_EMIT workspaceChanged();
    if (old)
        old->deleteLater();
}

void WorkspaceState::refreshSidebar()
{
    if (!m_folderURL.isEmpty() && m_rootNode)
        m_rootNode->loadChildren();
}

} // namespace quillon
