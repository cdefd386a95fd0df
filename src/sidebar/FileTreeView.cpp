#include "sidebar/FileTreeView.h"

#include "sidebar/FileTreeDelegate.h"
#include "sidebar/FileTreeModel.h"
#include "sidebar/RowPainting.h"
#include "sidebar/TreeActions.h"
#include "ui/AppColors.h"
#include "workspace/FileNode.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

namespace quillon {

FileTreeView::FileTreeView(WorkspaceState& workspace, QWidget* parent)
    : QTreeView(parent)
    , m_workspace(workspace)
    , m_model(new FileTreeModel(workspace, this))
    , m_delegate(new FileTreeDelegate(this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::ClickFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAutoFillBackground(false);
    setDragEnabled(false); // drags start here, with the item's URL only
    setDropIndicatorShown(false);

    m_notice = new QLabel(viewport());
    m_notice->setWordWrap(true);
    m_notice->setFont(RowPainting::font(11));
    m_notice->hide();

    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this,
        [this] { m_savedScroll = verticalScrollBar()->value(); });
    connect(m_model, &FileTreeModel::treeRebuilt, this, &FileTreeView::onRebuilt);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FileTreeView::syncExpansion);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_renameId.isNull() && !m_model->indexOfPath(m_renamePath).isValid())
            endRename();
    });
    connect(
        &m_workspace, &WorkspaceState::expandedPathsChanged, this, &FileTreeView::syncExpansion);
    connect(&m_workspace, &WorkspaceState::selectedURLChanged, this, &FileTreeView::restyle);
    connect(&m_workspace, &WorkspaceState::activeTabURLChanged, this, &FileTreeView::restyle);
    syncExpansion();
}

FileTreeView::~FileTreeView()
{
    // The field goes first, so its loss of focus cannot reach a tree half torn down.
    if (m_renameField) {
        m_renameField->removeEventFilter(this);
        delete m_renameField;
    }
}

void FileTreeView::setDarkMode(bool dark)
{
    m_dark = dark;
    m_delegate->setDarkMode(dark);
    m_notice->setStyleSheet(QStringLiteral(
        "QLabel { background: %1; color: %2; border-radius: 4px; padding: 3px 6px; }")
                                .arg(AppColors::gitError().name(QColor::HexArgb),
                                    AppColors::whiteAt(1).name(QColor::HexArgb)));
    if (m_renameField) {
        m_renameField->setStyleSheet(
            QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3;"
                           " border-radius: 3px; padding: 1px 4px; }")
                .arg((dark ? QColor(Qt::black) : QColor(Qt::white)).name(QColor::HexArgb),
                    AppColors::sidebarText(dark, true).name(QColor::HexArgb),
                    AppColors::accentIn(dark).name(QColor::HexArgb)));
    }
    restyle();
}

void FileTreeView::restyle()
{
    viewport()->update();
}

void FileTreeView::syncExpansion()
{
    for (const QModelIndex& folder : m_model->folderIndexes()) {
        const bool expanded = folder.data(FileTreeModel::IsExpandedRole).toBool();
        if (isExpanded(folder) == expanded)
            continue;
        setExpanded(folder, expanded);
        // A folder expanded elsewhere (a search hit) may never have been listed: list it, out
        // of this change handler, rather than show it open and empty.
        if (expanded && m_model->rowCount(folder) == 0) {
            QTimer::singleShot(0, this, [node = QPointer<FileNode>(m_model->node(folder))] {
                if (node && node->children().isEmpty())
                    node->loadChildren();
            });
        }
    }
    restyle();
}

void FileTreeView::onRebuilt()
{
    // Nodes of a rebuilt tree are all new: a rename under way has lost its row.
    endRename();
    hideNotice();
    setDropTarget({});
    syncExpansion();
    verticalScrollBar()->setValue(m_savedScroll);
}

// ---- Clicks ------------------------------------------------------------------------------------

void FileTreeView::mousePressEvent(QMouseEvent* event)
{
    hideNotice();
    const QModelIndex index = indexAt(event->position().toPoint());
    // The row being renamed ignores clicks, so its field keeps the keyboard; a click on any
    // other row ends the rename first (the tree takes no focus from the field by itself).
    if (isRenamingRow(index)) {
        event->accept();
        return;
    }
    commitRename();
    m_pressed = event->button() == Qt::LeftButton ? QPersistentModelIndex(index)
                                                  : QPersistentModelIndex();
    m_pressPos = event->position().toPoint();
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void FileTreeView::mouseMoveEvent(QMouseEvent* event)
{
    QTreeView::mouseMoveEvent(event);
    if (!(event->buttons() & Qt::LeftButton) || !m_pressed.isValid())
        return;
    if ((event->position().toPoint() - m_pressPos).manhattanLength()
        < QApplication::startDragDistance())
        return;
    const QString path = m_pressed.data(FileTreeModel::PathRole).toString();
    m_pressed = QPersistentModelIndex();
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeDataFor(path));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void FileTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && m_pressed.isValid() && index == m_pressed)
        handleTap(index);
    m_pressed = QPersistentModelIndex();
    event->accept();
}

void FileTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A second click is one more click, not a rename or an expand of its own.
    mousePressEvent(event);
}

void FileTreeView::handleTap(const QModelIndex& index)
{
    FileNode* node = m_model->node(index);
    if (!node || isRenamingRow(index))
        return;
    const QString path = node->url();
    m_workspace.setSelectedURL(path);
    if (!node->isDirectory()) {
        m_workspace.openFile(path);
        Q_EMIT documentOpened(path);
        return;
    }
    const bool expand = !m_workspace.isExpanded(path);
    m_workspace.setExpanded(expand, path);
    if (expand)
        node->loadChildren(); // listed afresh on every expand
}

// ---- Context menu ------------------------------------------------------------------------------

void FileTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid())
        showContextMenu(index, event->globalPos());
    event->accept();
}

void FileTreeView::showContextMenu(const QModelIndex& index, const QPoint& globalPos)
{
    const QString path = index.data(FileTreeModel::PathRole).toString();
    const bool isDirectory = index.data(FileTreeModel::IsDirectoryRole).toBool();
    const QPersistentModelIndex row(index);
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (isDirectory) {
        menu->addAction(tr("New File"), this, [this, path] { createFile(path); });
        menu->addAction(tr("New Folder"), this, [this, path] { createFolder(path); });
        menu->addSeparator();
    }
    // Once the menu has closed and handed the focus back, so the field keeps it.
    menu->addAction(tr("Rename"), this, [this, row] {
        QTimer::singleShot(0, this, [this, row] {
            if (row.isValid())
                startRename(row);
        });
    });
    // The deletion may ask first: it runs once the menu has closed.
    menu->addAction(isDirectory ? tr("Delete Folder") : tr("Delete"), this, [this, path] {
        QTimer::singleShot(0, this, [this, path] { m_workspace.deleteFile(path); });
    });
    menu->popup(globalPos);
}

// ---- New items ---------------------------------------------------------------------------------

void FileTreeView::createFile(const std::optional<QString>& in)
{
    const QString folder = m_workspace.targetDirectory(in).value_or(QString());
    const TreeActions::Outcome outcome = TreeActions::createFile(m_workspace, in);
    if (!outcome.error.isEmpty())
        showNotice(outcome.error, folder);
}

void FileTreeView::createFolder(const std::optional<QString>& in)
{
    const QString folder = m_workspace.targetDirectory(in).value_or(QString());
    const TreeActions::Outcome outcome = TreeActions::createFolder(m_workspace, in);
    if (!outcome.error.isEmpty())
        showNotice(outcome.error, folder);
}

// ---- Inline rename -----------------------------------------------------------------------------

bool FileTreeView::isRenamingRow(const QModelIndex& index) const
{
    return index.isValid() && !m_renameId.isNull()
        && index.data(FileTreeModel::NodeIdRole).toUuid() == m_renameId;
}

void FileTreeView::startRename(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    endRename(); // a rename elsewhere moves here, unsaved
    hideNotice();
    m_renameId = index.data(FileTreeModel::NodeIdRole).toUuid();
    m_renamePath = index.data(FileTreeModel::PathRole).toString();
    m_renameIsDirectory = index.data(FileTreeModel::IsDirectoryRole).toBool();
    m_delegate->setRenaming(m_renameId);

    auto* field = new QLineEdit(viewport());
    m_renameField = field;
    field->setFont(RowPainting::font(13));
    field->setFrame(false);
    field->setText(index.data(Qt::DisplayRole).toString());
    field->selectAll();
    setDarkMode(m_dark); // styles the field
    const QRect row = visualRect(index);
    const int x = FileTreeDelegate::nameX(index.data(FileTreeModel::DepthRole).toInt()) - 4;
    const int height = field->sizeHint().height();
    field->setGeometry(x, row.top() + (row.height() - FileTreeDelegate::kRowSpacing - height) / 2,
        qMax(40, viewport()->width() - x - 8), height);
    // Return and the loss of focus both end the rename; the first one commits, once.
    connect(field, &QLineEdit::returnPressed, this, &FileTreeView::commitRename);
    field->installEventFilter(this);
    field->show();
    setFocusPolicy(Qt::NoFocus);
    field->setFocus(Qt::OtherFocusReason);
    restyle();
}

bool FileTreeView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_renameField && event->type() == QEvent::FocusOut) {
        // Focus that leaves with the window, or for a popup, comes back to the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            commitRename();
    }
    return QTreeView::eventFilter(watched, event);
}

void FileTreeView::commitRename()
{
    if (m_renameId.isNull())
        return;
    const QString path = m_renamePath;
    const bool isDirectory = m_renameIsDirectory;
    const QString typed = m_renameField ? m_renameField->text() : QString();
    endRename();
    // Out of the field's signal: the rename rebuilds this tree and may ask the user.
    QTimer::singleShot(0, this, [this, path, isDirectory, typed] {
        const TreeActions::Outcome outcome
            = TreeActions::rename(m_workspace, path, isDirectory, typed);
        if (!outcome.error.isEmpty())
            showNotice(outcome.error, path);
    });
}

void FileTreeView::endRename()
{
    setFocusPolicy(Qt::ClickFocus);
    m_renameId = QUuid();
    m_delegate->setRenaming(QUuid());
    if (m_renameField) {
        QLineEdit* field = m_renameField;
        m_renameField = nullptr;
        field->disconnect(this);
        field->hide();
        field->deleteLater();
        if (isVisible())
            setFocus(Qt::OtherFocusReason);
    }
    restyle();
}

// ---- Notices -----------------------------------------------------------------------------------

QString FileTreeView::notice() const
{
    return m_notice->isHidden() ? QString() : m_notice->text();
}

void FileTreeView::showNotice(const QString& text, const QString& nearPath)
{
    const QModelIndex row = m_model->indexOfPath(nearPath);
    const QRect rowRect = row.isValid() ? visualRect(row) : QRect();
    const int x = row.isValid()
        ? FileTreeDelegate::nameX(row.data(FileTreeModel::DepthRole).toInt()) - 8
        : 8;
    const int width = qMax(80, viewport()->width() - x - 8);
    m_notice->setText(text);
    m_notice->setFixedWidth(width);
    m_notice->adjustSize();
    int top = rowRect.isValid() ? rowRect.bottom() + 1 : 4;
    if (top + m_notice->height() > viewport()->height())
        top = qMax(
            0, (rowRect.isValid() ? rowRect.top() : viewport()->height()) - m_notice->height());
    m_notice->move(x, top);
    m_notice->show();
    m_notice->raise();
}

void FileTreeView::hideNotice()
{
    m_notice->hide();
}

void FileTreeView::scrollContentsBy(int dx, int dy)
{
    QTreeView::scrollContentsBy(dx, dy);
    if (dy != 0)
        hideNotice();
}

// ---- Drag and drop -----------------------------------------------------------------------------

QMimeData* FileTreeView::mimeDataFor(const QString& path)
{
    auto* mime = new QMimeData;
    mime->setUrls({ QUrl::fromLocalFile(path) });
    return mime;
}

QString FileTreeView::droppedPath(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty())
        return {};
    const QUrl first = mime->urls().constFirst(); // several items: the first one moves
    return first.isLocalFile() ? first.toLocalFile() : QString();
}

QString FileTreeView::dropFolderAt(const QPoint& pos, QModelIndex* row) const
{
    const QModelIndex index = indexAt(pos);
    *row = index;
    if (index.isValid()) {
        return TreeActions::dropFolder(index.data(FileTreeModel::PathRole).toString(),
            index.data(FileTreeModel::IsDirectoryRole).toBool());
    }
    return m_workspace.folderURL();
}

void FileTreeView::setDropTarget(const QModelIndex& index)
{
    if (m_delegate->dropTarget() == index)
        return;
    m_delegate->setDropTarget(index);
    restyle();
}

QModelIndex FileTreeView::dropTarget() const
{
    return m_delegate->dropTarget();
}

void FileTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedPath(event->mimeData()).isEmpty() || m_workspace.folderURL().isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void FileTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    QModelIndex row;
    const QString source = droppedPath(event->mimeData());
    const QString folder = dropFolderAt(event->position().toPoint(), &row);
    if (source.isEmpty() || folder.isEmpty() || !TreeActions::movesSomewhere(source, folder)) {
        setDropTarget({});
        event->ignore();
        return;
    }
    setDropTarget(row);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void FileTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropTarget({});
    event->accept();
}

void FileTreeView::dropEvent(QDropEvent* event)
{
    QModelIndex row;
    const QString source = droppedPath(event->mimeData());
    const QString folder = dropFolderAt(event->position().toPoint(), &row);
    const QString rowPath
        = row.isValid() ? row.data(FileTreeModel::PathRole).toString() : QString();
    setDropTarget({});
    if (source.isEmpty() || folder.isEmpty()) {
        event->ignore();
        return;
    }
    // The item is moved here by a rename, after this returns. A program it came from is told it
    // was copied, so it does not delete what it believes it still has first.
    event->setDropAction(event->source() ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    // After the drag has ended: the move rebuilds the tree the drag started from.
    QTimer::singleShot(0, this, [this, source, folder, rowPath] {
        const TreeActions::Outcome outcome = TreeActions::move(m_workspace, source, folder);
        if (!outcome.error.isEmpty())
            showNotice(outcome.error, rowPath);
    });
}

} // namespace quillon
