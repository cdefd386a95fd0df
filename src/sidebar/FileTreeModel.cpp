#include "sidebar/FileTreeModel.h"

#include "sidebar/SidebarText.h"
#include "workspace/FileNode.h"
#include "workspace/IconForExtension.h"
#include "workspace/WorkspaceState.h"

#include <QDir>

namespace quillon {

FileTreeModel::FileTreeModel(WorkspaceState& workspace, QObject* parent)
    : QAbstractItemModel(parent)
    , m_workspace(workspace)
{
    connect(&m_workspace, &WorkspaceState::rootNodeChanged, this, &FileTreeModel::rebuild);
    rebuild();
}

void FileTreeModel::rebuild()
{
    beginResetModel();
    m_rows.clear();
    m_rowOf.clear();
    m_parentOf.clear();
    if (m_root)
        disconnect(m_root, nullptr, this, nullptr);
    m_root = m_workspace.rootNode();
    if (m_root) {
        FileNode* root = m_root;
        connect(root, &FileNode::childrenChanged, this, [this, root] { onChildrenChanged(root); });
        track(root);
    }
    endResetModel();
    Q_EMIT treeRebuilt();
}

// Takes the folder's children as the rows below it, and so on for every loaded subfolder.
void FileTreeModel::track(FileNode* folder)
{
    const QList<FileNode*>& children = folder->children();
    m_rows[folder].children = children;
    for (int row = 0; row < children.size(); ++row) {
        FileNode* child = children.at(row);
        m_rowOf.insert(child, row);
        m_parentOf.insert(child, folder);
        if (child->isDirectory()) {
            connect(child, &FileNode::childrenChanged, this,
                [this, child] { onChildrenChanged(child); });
            track(child);
        }
    }
}

void FileTreeModel::onChildrenChanged(FileNode* folder)
{
    if (!m_rows.contains(folder))
        return;
    const QModelIndex parentIndex = folder == m_root ? QModelIndex() : indexOf(folder);
    // The old children are about to be deleted: forget them and everything below them first.
    const QList<FileNode*> old = m_rows.value(folder).children;
    if (!old.isEmpty()) {
        beginRemoveRows(parentIndex, 0, int(old.size()) - 1);
        QList<const FileNode*> forget(old.begin(), old.end());
        while (!forget.isEmpty()) {
            const FileNode* gone = forget.takeLast();
            const QList<FileNode*> below = m_rows.take(gone).children;
            forget.append(QList<const FileNode*>(below.begin(), below.end()));
            m_rowOf.remove(gone);
            m_parentOf.remove(gone);
        }
        m_rows[folder].children.clear();
        endRemoveRows();
    }
    const qsizetype count = folder->children().size();
    if (count > 0)
        beginInsertRows(parentIndex, 0, int(count) - 1);
    track(folder);
    if (count > 0)
        endInsertRows();
}

const QList<FileNode*>& FileTreeModel::rowsOf(const FileNode* folder) const
{
    static const QList<FileNode*> none;
    const auto it = m_rows.constFind(folder);
    return it == m_rows.cend() ? none : it->children;
}

FileNode* FileTreeModel::node(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<FileNode*>(index.internalPointer()) : nullptr;
}

QModelIndex FileTreeModel::indexOf(const FileNode* node) const
{
    const auto row = m_rowOf.constFind(node);
    if (!node || row == m_rowOf.cend())
        return {};
    return createIndex(*row, 0, const_cast<FileNode*>(node));
}

QModelIndex FileTreeModel::indexOfPath(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    for (auto it = m_rowOf.cbegin(); it != m_rowOf.cend(); ++it) {
        if (it.key()->url() == clean)
            return createIndex(it.value(), 0, const_cast<FileNode*>(it.key()));
    }
    return {};
}

QList<QModelIndex> FileTreeModel::folderIndexes() const
{
    QList<QModelIndex> out;
    if (!m_root)
        return out;
    QList<const FileNode*> pending { m_root.data() };
    while (!pending.isEmpty()) {
        const FileNode* folder = pending.takeFirst();
        for (FileNode* child : rowsOf(folder)) {
            if (child->isDirectory()) {
                out.append(indexOf(child));
                pending.append(child);
            }
        }
    }
    return out;
}

int FileTreeModel::depthOf(const FileNode* node) const
{
    int depth = 0;
    for (const FileNode* up = m_parentOf.value(node); up && up != m_root; up = m_parentOf.value(up))
        ++depth;
    return depth;
}

bool FileTreeModel::isSelected(const FileNode* node) const
{
    const QString selected = m_workspace.selectedURL();
    if (!selected.isEmpty())
        return QDir::cleanPath(selected) == node->url();
    return m_workspace.isTabActive(node->url());
}

QModelIndex FileTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const FileNode* folder = parent.isValid() ? node(parent) : m_root.data();
    const QList<FileNode*>& rows = rowsOf(folder);
    if (row >= rows.size())
        return {};
    return createIndex(row, 0, rows.at(row));
}

QModelIndex FileTreeModel::parent(const QModelIndex& child) const
{
    const FileNode* up = m_parentOf.value(node(child));
    if (!up || up == m_root)
        return {};
    return indexOf(up);
}

int FileTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(rowsOf(parent.isValid() ? node(parent) : m_root.data()).size());
}

int FileTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool FileTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant FileTreeModel::data(const QModelIndex& index, int role) const
{
    const FileNode* item = node(index);
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return item->name();
    case PathRole:
        return item->url();
    case IsDirectoryRole:
        return item->isDirectory();
    case DepthRole:
        return depthOf(item);
    case IsExpandedRole:
        return item->isDirectory() && item->workspaceState() && m_workspace.isExpanded(item->url());
    case IsSelectedRole:
        return isSelected(item);
    case SymbolRole:
        if (item->isDirectory())
            return m_workspace.isExpanded(item->url()) ? QStringLiteral("folder.fill")
                                                       : QStringLiteral("folder");
        return iconForExtension(SidebarText::extensionOf(item->name()));
    case NodeIdRole:
        return item->id();
    default:
        return {};
    }
}

Qt::ItemFlags FileTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

} // namespace quillon
