#include "sidebar/FileTreeDelegate.h"

#include "sidebar/FileTreeModel.h"
#include "sidebar/RowPainting.h"
#include "ui/AppColors.h"

#include <QFontMetrics>
#include <QPainter>

namespace quillon {

FileTreeDelegate::FileTreeDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

int FileTreeDelegate::nameX(int depth)
{
    return depth * kIndentPerLevel + kLeadingInset + kDisclosureWidth + kSpacing + kIconSize
        + kSpacing;
}

int FileTreeDelegate::rowHeight()
{
    static const int height
        = QFontMetrics(RowPainting::font(14)).height() + 2 * kVerticalPadding + kRowSpacing;
    return height;
}

QSize FileTreeDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(200, rowHeight());
}

void FileTreeDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool isDirectory = index.data(FileTreeModel::IsDirectoryRole).toBool();
    const bool expanded = index.data(FileTreeModel::IsExpandedRole).toBool();
    const bool selected = index.data(FileTreeModel::IsSelectedRole).toBool();
    const bool hovered = option.state & QStyle::State_MouseOver;
    const int depth = index.data(FileTreeModel::DepthRole).toInt();
    const QRect row = option.rect.adjusted(0, 0, 0, -kRowSpacing);

    painter->save();
    QColor background = Qt::transparent;
    if (m_dropTarget.isValid() && m_dropTarget == index) {
        background = AppColors::accentIn(m_dark);
        background.setAlphaF(0.2f);
    } else if (selected) {
        background = AppColors::sidebarRowSelected(m_dark);
    } else if (hovered) {
        background = AppColors::sidebarRowHover(m_dark);
    }
    if (background.alpha() > 0)
        painter->fillRect(row, background);

    int x = row.left() + depth * kIndentPerLevel + kLeadingInset;
    if (isDirectory) {
        RowPainting::drawSymbol(*painter,
            expanded ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"), 9,
            AppColors::chevronIcon(m_dark), x, kDisclosureWidth, row);
    }
    x += kDisclosureWidth + kSpacing;
    const QColor iconColor = isDirectory ? AppColors::folderIcon(m_dark)
        : selected                       ? AppColors::accentIn(m_dark)
                                         : AppColors::fileIcon(m_dark, false);
    RowPainting::drawSymbol(*painter, index.data(FileTreeModel::SymbolRole).toString(), kIconSize,
        iconColor, x, kIconSize, row);
    x += kIconSize + kSpacing;

    if (m_renaming.isNull() || index.data(FileTreeModel::NodeIdRole).toUuid() != m_renaming) {
        RowPainting::drawLine(*painter, index.data(Qt::DisplayRole).toString(),
            RowPainting::font(14, selected ? QFont::Medium : QFont::Normal),
            AppColors::sidebarText(m_dark, selected), x, row.top(), row.right() - x - 8,
            row.height());
    }
    painter->restore();
}

} // namespace quillon
