#include "sidebar/RecentsView.h"

#include "sidebar/RowPainting.h"
#include "sidebar/SidebarText.h"
#include "ui/AppColors.h"
#include "workspace/IconForExtension.h"
#include "workspace/WorkspaceState.h"

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace quillon {

namespace {

constexpr int kPadX = 12;
constexpr int kPadY = 6;
constexpr int kRowGap = 1;

} // namespace

// The recents as rows, most recent first; rebuilt whenever the list changes.
class RecentsModel : public QAbstractListModel
{
public:
    enum Role { PathRole = Qt::UserRole + 1, IsDirectoryRole };

    explicit RecentsModel(WorkspaceState& workspace, QObject* parent)
        : QAbstractListModel(parent)
        , m_workspace(workspace)
        , m_entries(workspace.recentEntities())
    {
        connect(&m_workspace, &WorkspaceState::recentEntitiesChanged, this, [this] {
            beginResetModel();
            m_entries = m_workspace.recentEntities();
            endResetModel();
        });
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_entries.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_entries.size())
            return {};
        const RecentEntity& entry = m_entries.at(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return SidebarText::lastComponent(entry.url);
        case Qt::ToolTipRole:
        case PathRole:
            return entry.url;
        case IsDirectoryRole:
            return entry.isDirectory;
        default:
            return {};
        }
    }

private:
    WorkspaceState& m_workspace;
    QList<RecentEntity> m_entries;
};

class RecentsDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool dark = false;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(200,
            2 * kPadY + QFontMetrics(RowPainting::font(12.5)).height() + 1
                + QFontMetrics(RowPainting::font(10)).height() + kRowGap);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override
    {
        const QString path = index.data(RecentsModel::PathRole).toString();
        const bool isDirectory = index.data(RecentsModel::IsDirectoryRole).toBool();
        const QRect row = option.rect.adjusted(0, 0, 0, -kRowGap);
        painter->save();
        if (option.state & QStyle::State_MouseOver)
            painter->fillRect(row, AppColors::sidebarRowHover(dark));
        const QString name = SidebarText::lastComponent(path);
        const QString symbol = isDirectory ? QStringLiteral("folder.fill")
                                           : iconForExtension(SidebarText::extensionOf(name));
        const QColor iconColor
            = isDirectory ? AppColors::folderIcon(dark) : AppColors::fileIcon(dark, false);
        int x = row.left() + kPadX;
        RowPainting::drawSymbol(*painter, symbol, 12, iconColor, x, 16, row);
        x += 16 + 8;
        const int width = row.right() - kPadX - x;
        const QFont nameFont = RowPainting::font(12.5);
        const QFont placeFont = RowPainting::font(10);
        const int nameHeight = QFontMetrics(nameFont).height();
        const int y = row.top() + kPadY;
        RowPainting::drawLine(
            *painter, name, nameFont, AppColors::sidebarText(dark, false), x, y, width, nameHeight);
        RowPainting::drawLine(*painter, SidebarText::parentPath(path), placeFont,
            AppColors::sidebarSubtext(dark), x, y + nameHeight + 1, width,
            QFontMetrics(placeFont).height());
        painter->restore();
    }
};

RecentsView::RecentsView(WorkspaceState& workspace, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_model(new RecentsModel(workspace, this))
    , m_delegate(new RecentsDelegate(this))
    , m_header(new QLabel(tr("RECENT"), this))
    , m_list(new QListView(this))
{
    m_header->setFont(RowPainting::font(10, QFont::Bold));
    m_header->setContentsMargins(12, 12, 12, 6);
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    RowPainting::setUpHoverList(*m_list);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex& index) {
        const QString path = index.data(RecentsModel::PathRole).toString();
        if (index.data(RecentsModel::IsDirectoryRole).toBool())
            m_workspace.setFolderURL(path);
        else
            m_workspace.openFile(path);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_header);
    layout->addWidget(m_list, 1);
    connect(m_model, &QAbstractItemModel::modelReset, this, &RecentsView::refresh);
    refresh();
}

void RecentsView::setDarkMode(bool dark)
{
    m_delegate->dark = dark;
    QPalette header = m_header->palette();
    header.setColor(QPalette::WindowText, AppColors::sectionHeader());
    m_header->setPalette(header);
    m_list->viewport()->update();
}

void RecentsView::refresh()
{
    const bool any = m_model->rowCount() > 0;
    m_header->setVisible(any);
    m_list->setVisible(any);
}

bool RecentsView::isShowingHeader() const
{
    return !m_header->isHidden();
}

} // namespace quillon
