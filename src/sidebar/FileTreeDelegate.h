#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QUuid>

namespace quillon {

// Paints the rows of the file tree: indent by depth, a chevron for folders, the icon by kind or
// extension, the name, and the row's background (drop target, selected, hovered). Passive: the
// tree tells it the appearance, the drop target and the row being renamed.
class FileTreeDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int kIndentPerLevel = 14;
    static constexpr int kLeadingInset = 12;
    static constexpr int kDisclosureWidth = 14;
    static constexpr int kSpacing = 5;
    static constexpr int kIconSize = 12;
    static constexpr int kVerticalPadding = 6;
    static constexpr int kRowSpacing = 1;

    explicit FileTreeDelegate(QObject* parent = nullptr);

    void setDarkMode(bool dark) { m_dark = dark; }
    void setDropTarget(const QModelIndex& index) { m_dropTarget = index; }
    QModelIndex dropTarget() const { return m_dropTarget; }
    // The row whose name is hidden under the rename field; null for none.
    void setRenaming(const QUuid& nodeId) { m_renaming = nodeId; }

    // Where a row's name begins, for a row at this depth.
    static int nameX(int depth);
    static int rowHeight();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool m_dark = false;
    QPersistentModelIndex m_dropTarget;
    QUuid m_renaming;
};

} // namespace quillon
