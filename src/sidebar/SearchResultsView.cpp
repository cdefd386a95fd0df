#include "sidebar/SearchResultsView.h"

#include "platform/FileUtil.h"

#include "sidebar/RowPainting.h"
#include "sidebar/SearchResultsModel.h"
#include "ui/AppColors.h"
#include "workspace/WorkspaceState.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace quillon {

namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

constexpr int kListInset = 6;
constexpr int kRowGap = 2;
constexpr int kPadX = 8;
constexpr int kPadY = 6;
constexpr int kLineGap = 3;
constexpr int kDetailIndent = 17;

} // namespace

// One hit per row, drawn from the SearchResult alone.
class SearchResultsDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool dark = false;

    static int lineHeight(const QFont& font) { return QFontMetrics(font).height(); }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        const auto hit = index.data(SearchResultsModel::ResultRole).value<SearchResult>();
        int height = 2 * kPadY + lineHeight(RowPainting::font(12, QFont::Medium));
        if (!SearchResultsModel::lineTextOf(hit).isEmpty())
            height += kLineGap + lineHeight(RowPainting::monospaceFont(11));
        if (!SearchResultsModel::pathTextOf(hit).isEmpty())
            height += kLineGap + lineHeight(RowPainting::font(10));
        return QSize(200, height + kRowGap);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override
    {
        const auto hit = index.data(SearchResultsModel::ResultRole).value<SearchResult>();
        const QRect box = option.rect.adjusted(kListInset, 0, -kListInset, -kRowGap);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (option.state & QStyle::State_MouseOver) {
            QPainterPath path;
            path.addRoundedRect(QRectF(box), 5, 5);
            painter->fillPath(path, AppColors::sidebarRowHover(dark));
        }
        const QColor accent = AppColors::accentIn(dark);
        const int right = box.right() - kPadX;
        int y = box.top() + kPadY;
        int x = box.left() + kPadX;

        const QFont nameFont = RowPainting::font(12, QFont::Medium);
        const int firstLine = lineHeight(nameFont);
        RowPainting::drawSymbol(*painter, SearchResultsModel::symbolOf(hit), 11, accent, x, 11,
            QRect(x, y, 11, firstLine));
        x += 11 + 6;
        const QString lineLabel = SearchResultsModel::lineLabelOf(hit);
        const QFont labelFont = RowPainting::font(11, QFont::DemiBold);
        const int labelWidth
            = lineLabel.isEmpty() ? 0 : QFontMetrics(labelFont).horizontalAdvance(lineLabel) + 6;
        x = RowPainting::drawLine(*painter, hit.fileName, nameFont,
            AppColors::sidebarText(dark, false), x, y, right - x - labelWidth, firstLine);
        if (!lineLabel.isEmpty())
            RowPainting::drawLine(
                *painter, lineLabel, labelFont, accent, x + 6, y, right - x - 6, firstLine);
        y += firstLine;

        const int detailX = box.left() + kPadX + kDetailIndent;
        const QString line = SearchResultsModel::lineTextOf(hit);
        if (!line.isEmpty()) {
            const QFont mono = RowPainting::monospaceFont(11);
            y += kLineGap;
            RowPainting::drawLine(*painter, line, mono, AppColors::grey(dark ? 0.75 : 0.25),
                detailX, y, right - detailX, lineHeight(mono));
            y += lineHeight(mono);
        }
        const QString path = SearchResultsModel::pathTextOf(hit);
        if (!path.isEmpty()) {
            const QFont small = RowPainting::font(10);
            y += kLineGap;
            RowPainting::drawLine(*painter, path, small,
                withAlpha(AppColors::secondaryLabel(dark), 0.8), detailX, y, right - detailX,
                lineHeight(small));
        }
        painter->restore();
    }
};

SearchResultsView::SearchResultsView(WorkspaceState& workspace, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_model(new SearchResultsModel(workspace, this))
    , m_delegate(new SearchResultsDelegate(this))
    , m_title(new QLabel(tr("SEARCH RESULTS"), this))
    , m_count(new QLabel(this))
    , m_body(new QStackedWidget(this))
    , m_empty(new QWidget(this))
    , m_emptyIcon(new QLabel(m_empty))
    , m_emptyText(new QLabel(tr("No matches found"), m_empty))
    , m_list(new QListView(this))
{
    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 6, 12, 6);
    m_title->setFont(RowPainting::font(10, QFont::Bold));
    m_count->setFont(RowPainting::font(10, QFont::DemiBold));
    m_count->setAlignment(Qt::AlignCenter);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_count);

    auto* empty = new QVBoxLayout(m_empty);
    empty->setContentsMargins(0, 40, 0, 0);
    empty->setSpacing(8);
    empty->addStretch(1);
    empty->addWidget(m_emptyIcon, 0, Qt::AlignHCenter);
    m_emptyText->setFont(RowPainting::font(12));
    empty->addWidget(m_emptyText, 0, Qt::AlignHCenter);
    empty->addStretch(1);

    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    RowPainting::setUpHoverList(*m_list);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex& index) {
        const SearchResult& hit = m_model->result(index.row());
        if (QFileInfo(hit.fileURL).isDir()) {
            m_workspace.setExpanded(true, FileUtil::standardizedPath(hit.fileURL));
            return;
        }
        Q_EMIT hitChosen(hit.fileURL, hit.lineNumber);
    });

    m_body->addWidget(m_empty);
    m_body->addWidget(m_list);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(m_body, 1);

    connect(m_model, &QAbstractItemModel::modelReset, this, &SearchResultsView::refresh);
    setDarkMode(false);
}

void SearchResultsView::setDarkMode(bool dark)
{
    m_dark = dark;
    m_delegate->dark = dark;
    const QColor secondary = AppColors::secondaryLabel(dark);
    QPalette title = m_title->palette();
    title.setColor(QPalette::WindowText, AppColors::sectionHeader());
    m_title->setPalette(title);
    m_count->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 4px;"
                                          " padding: 2px 6px; }")
                               .arg(AppColors::sectionHeader().name(QColor::HexArgb),
                                   withAlpha(secondary, 0.2).name(QColor::HexArgb)));
    m_emptyIcon->setPixmap(RowPainting::symbol(
        QStringLiteral("magnifyingglass"), 24, withAlpha(secondary, 0.5), devicePixelRatioF()));
    QPalette text = m_emptyText->palette();
    text.setColor(QPalette::WindowText, secondary);
    m_emptyText->setPalette(text);
    refresh();
}

void SearchResultsView::refresh()
{
    m_count->setText(QString::number(m_model->rowCount()));
    m_body->setCurrentWidget(m_model->rowCount() == 0 ? m_empty : static_cast<QWidget*>(m_list));
    m_list->viewport()->update();
}

QString SearchResultsView::countText() const
{
    return m_count->text();
}

bool SearchResultsView::isShowingNoMatches() const
{
    return m_body->currentWidget() == m_empty;
}

} // namespace quillon
