#pragma once

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeView>
#include <QUuid>

#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;

namespace quillon {

class FileTreeDelegate;
class FileTreeModel;
class WorkspaceState;

// The workspace's file tree: a click opens a document or toggles a folder, the context menu
// creates, renames and deletes, rows rename in place, and items move by drag and drop (also
// items dragged in from other programs). Expansion and selection live in the workspace, so a
// rebuilt tree keeps them, and its scroll position too. A refused rename, move or creation is
// explained next to the row.
//
// Reads: WorkspaceState::rootNode, folderURL, selectedURL, isExpanded, isTabActive,
// lastFileOperationError. Writes: selectedURL, setExpanded, openFile, createNewFile,
// createNewFolder, renameFile, moveItem, deleteFile; FileNode::loadChildren.
class FileTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit FileTreeView(WorkspaceState& workspace, QWidget* parent = nullptr);
    ~FileTreeView() override;

    void setDarkMode(bool dark);
    FileTreeModel* treeModel() const { return m_model; }

    // Opens the rename field on the row (the context menu's "Rename").
    void startRename(const QModelIndex& index);
    // New File and New Folder, in the folder the workspace picks for `in` (the selection's when
    // none is given); a refusal is explained next to that folder's row.
    void createFile(const std::optional<QString>& in = std::nullopt);
    void createFolder(const std::optional<QString>& in = std::nullopt);
    QLineEdit* renameField() const { return m_renameField; }
    // The explanation of the last refused operation while it is shown; empty otherwise.
    QString notice() const;
    // The row a drag is over, highlighted as the drop target; invalid when none.
    QModelIndex dropTarget() const;
    // What a drag of the row carries: the item as a file URL.
    static QMimeData* mimeDataFor(const QString& path);

Q_SIGNALS:
    // A click on the document's row opened it (or found it open): it is the one to edit now.
    void documentOpened(const QString& path);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void handleTap(const QModelIndex& index);
    void showContextMenu(const QModelIndex& index, const QPoint& globalPos);
    void commitRename();
    void endRename();
    void syncExpansion();
    void onRebuilt();
    void restyle();
    bool isRenamingRow(const QModelIndex& index) const;
    // The folder a drop at this point goes into (empty when none) and the row it lands on.
    QString dropFolderAt(const QPoint& pos, QModelIndex* row) const;
    static QString droppedPath(const QMimeData* mime);
    void setDropTarget(const QModelIndex& index);
    void showNotice(const QString& text, const QString& nearPath);
    void hideNotice();

    WorkspaceState& m_workspace;
    FileTreeModel* m_model = nullptr;
    FileTreeDelegate* m_delegate = nullptr;
    bool m_dark = false;
    int m_savedScroll = 0;

    QPointer<QLineEdit> m_renameField;
    QUuid m_renameId;
    QString m_renamePath;
    bool m_renameIsDirectory = false;

    QPersistentModelIndex m_pressed;
    QPoint m_pressPos;
    QLabel* m_notice = nullptr;
};

} // namespace quillon
