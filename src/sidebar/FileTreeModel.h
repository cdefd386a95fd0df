#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QPointer>

namespace quillon {

class FileNode;
class WorkspaceState;

// The workspace tree as an item model: the rows are the root's children and, below each folder,
// the children it has loaded. It follows the tree as the workspace rebuilds it and as folders
// reload their children, and answers what a row shows (name, depth, icon, expanded, selected).
//
// Reads: WorkspaceState::rootNode, isExpanded, selectedURL, isTabActive; FileNode children.
// Writes nothing; the view acts through WorkspaceState.
class FileTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1,
        IsDirectoryRole,
        DepthRole,
        IsExpandedRole,
        IsSelectedRole,
        SymbolRole, // the icon's symbol name
        NodeIdRole,
    };

    explicit FileTreeModel(WorkspaceState& workspace, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    FileNode* node(const QModelIndex& index) const;
    QModelIndex indexOf(const FileNode* node) const;
    // The row of the item at this path among the rows shown; invalid when none.
    QModelIndex indexOfPath(const QString& path) const;
    // Every loaded folder, depth first (for syncing the view's expansion).
    QList<QModelIndex> folderIndexes() const;

    // Whether the row counts as selected: the sidebar selection, or, with none, the active tab.
    bool isSelected(const FileNode* node) const;

Q_SIGNALS:
    // The whole tree was replaced (after beginResetModel/endResetModel).
    void treeRebuilt();

private:
    struct Rows
    {
        QList<FileNode*> children; // as the view knows them
    };
    void rebuild();
    void track(FileNode* folder);
    void onChildrenChanged(FileNode* folder);
    const QList<FileNode*>& rowsOf(const FileNode* folder) const;
    int depthOf(const FileNode* node) const;

    WorkspaceState& m_workspace;
    QPointer<FileNode> m_root;
    QHash<const FileNode*, Rows> m_rows;
    QHash<const FileNode*, int> m_rowOf;
    QHash<const FileNode*, const FileNode*> m_parentOf;
};

} // namespace quillon
