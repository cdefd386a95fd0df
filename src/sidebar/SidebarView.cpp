#include "sidebar/SidebarView.h"

#include "platform/UserPrompts.h"
#include "sidebar/FileTreeView.h"
#include "sidebar/RecentsView.h"
#include "sidebar/RowPainting.h"
#include "sidebar/SearchField.h"
#include "sidebar/SearchResultsView.h"
#include "sidebar/SidebarButton.h"
#include "sidebar/SidebarText.h"
#include "ui/AppColors.h"
#include "workspace/WorkspaceState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

SidebarContent sidebarContentFor(const QString& query, bool hasFolder)
{
    if (!query.trimmed().isEmpty())
        return SidebarContent::SearchResults;
    return hasFolder ? SidebarContent::Tree : SidebarContent::Recents;
}

namespace {

// A one-line label that shortens its text with an ellipsis instead of widening the column.
class ElidedLabel : public QLabel
{
public:
    using QLabel::QLabel;
    void setFullText(const QString& text)
    {
        m_full = text;
        setToolTip(text);
        elide();
    }
    QString fullText() const { return m_full; }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(fontMetrics().elidedText(m_full, Qt::ElideRight, width())); }
    QString m_full;
};

QToolButton* headerButton(const QString& tooltip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setToolTip(tooltip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(12, 12));
    return button;
}

} // namespace

SidebarView::SidebarView(WorkspaceState& workspace, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_prompts(prompts)
    , m_addFolder(new SidebarButton(SidebarButton::Look::Link, QStringLiteral("line.3.horizontal"),
          tr("Add work folder"), this))
    , m_openFile(new SidebarButton(
          SidebarButton::Look::Link, QStringLiteral("doc"), tr("Open file"), this))
    , m_connectGit(new SidebarButton(SidebarButton::Look::Link,
          QStringLiteral("arrow.triangle.branch"), tr("Connect to Git repository"), this))
    , m_folderHeader(new QWidget(this))
    , m_folderIcon(new QLabel(m_folderHeader))
    , m_folderName(new ElidedLabel(m_folderHeader))
    , m_newFile(headerButton(tr("New File"), m_folderHeader))
    , m_newFolder(headerButton(tr("New Folder"), m_folderHeader))
    , m_search(new SearchField(workspace, this))
    , m_content(new QStackedWidget(this))
    , m_results(new SearchResultsView(workspace, this))
    , m_recents(new RecentsView(workspace, this))
    , m_tree(new FileTreeView(workspace, this))
    , m_separator(new QWidget(this))
    , m_footer(new QVBoxLayout)
    , m_settings(new SidebarButton(
          SidebarButton::Look::Settings, QStringLiteral("gearshape"), tr("Settings"), this))
{
    m_addFolder->setToolTip(tr("Open Workspace Folder (Ctrl+Shift+O)"));
    m_openFile->setToolTip(tr("Open Single File"));
    m_connectGit->setToolTip(tr("Open from Git repository"));
    m_settings->setToolTip(tr("Application Settings (Ctrl+,)"));

    auto* links = new QVBoxLayout;
    links->setContentsMargins(10, 15, 10, 6);
    links->setSpacing(2);
    links->addWidget(m_addFolder);
    links->addWidget(m_openFile);
    links->addWidget(m_connectGit);

    auto* folder = new QHBoxLayout(m_folderHeader);
    folder->setContentsMargins(12, 6, 12, 6);
    folder->setSpacing(6);
    m_folderName->setFont(RowPainting::font(14, QFont::Bold));
    folder->addWidget(m_folderIcon);
    folder->addWidget(m_folderName, 1);
    folder->addWidget(m_newFile);
    folder->addWidget(m_newFolder);

    auto* searchBox = new QVBoxLayout;
    searchBox->setContentsMargins(10, 4, 10, 8);
    searchBox->addWidget(m_search);

    m_content->addWidget(m_results);
    connect(m_results, &SearchResultsView::hitChosen, this, &SidebarView::searchHitChosen);
    connect(m_tree, &FileTreeView::documentOpened, this, &SidebarView::documentOpened);
    m_content->addWidget(m_recents);
    m_content->addWidget(m_tree);

    m_separator->setFixedHeight(1);
    m_separator->setAutoFillBackground(true);

    m_footer->setContentsMargins(8, 8, 8, 8);
    m_footer->setSpacing(2);
    m_footer->addWidget(m_settings);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(links);
    column->addWidget(m_folderHeader);
    column->addLayout(searchBox);
    column->addWidget(m_content, 1);
    column->addWidget(m_separator);
    column->addLayout(m_footer);

    connect(m_addFolder, &QAbstractButton::clicked, this, &SidebarView::openWorkFolder);
    connect(m_openFile, &QAbstractButton::clicked, this, &SidebarView::openSingleFile);
    connect(m_connectGit, &QAbstractButton::clicked, this,
        [this] { m_workspace.setShowingConnectGitModal(true); });
    connect(m_settings, &QAbstractButton::clicked, this,
        [this] { m_workspace.setShowingSettingsModal(true); });
    connect(m_newFile, &QToolButton::clicked, this, [this] { m_tree->createFile(); });
    connect(m_newFolder, &QToolButton::clicked, this, [this] { m_tree->createFolder(); });
    connect(&m_workspace, &WorkspaceState::folderURLChanged, this, [this] {
        updateFolderHeader();
        updateContent();
    });
    connect(
        &m_workspace, &WorkspaceState::globalSearchQueryChanged, this, &SidebarView::updateContent);

    updateFolderHeader();
    updateContent();
    setDarkMode(false);
}

void SidebarView::setDarkMode(bool dark)
{
    m_dark = dark;
    for (SidebarButton* button : { m_addFolder, m_openFile, m_connectGit, m_settings })
        button->setDarkMode(dark);
    const qreal dpr = devicePixelRatioF();
    m_folderIcon->setPixmap(
        RowPainting::symbol(QStringLiteral("folder.fill"), 14, AppColors::folderIcon(dark), dpr));
    QPalette name = m_folderName->palette();
    name.setColor(QPalette::WindowText, AppColors::sidebarText(dark, false));
    m_folderName->setPalette(name);
    const QColor plus = AppColors::sidebarHeaderPlusIcon(dark);
    m_newFile->setIcon(QIcon(RowPainting::symbol(QStringLiteral("doc.badge.plus"), 12, plus, dpr)));
    m_newFolder->setIcon(
        QIcon(RowPainting::symbol(QStringLiteral("folder.badge.plus"), 12, plus, dpr)));
    QPalette line = m_separator->palette();
    line.setColor(QPalette::Window, AppColors::panelDivider(dark));
    m_separator->setPalette(line);
    m_search->setDarkMode(dark);
    m_results->setDarkMode(dark);
    m_recents->setDarkMode(dark);
    m_tree->setDarkMode(dark);
    update();
}

void SidebarView::setFooterWidget(QWidget* widget)
{
    if (widget)
        m_footer->insertWidget(m_footer->count() - 1, widget);
}

void SidebarView::focusSearchField()
{
    m_search->focusField();
}

SidebarContent SidebarView::content() const
{
    if (m_content->currentWidget() == m_results)
        return SidebarContent::SearchResults;
    return m_content->currentWidget() == m_recents ? SidebarContent::Recents : SidebarContent::Tree;
}

QString SidebarView::folderTitle() const
{
    return static_cast<ElidedLabel*>(m_folderName)->fullText();
}

void SidebarView::updateFolderHeader()
{
    const QString folder = m_workspace.folderURL();
    m_folderHeader->setVisible(!folder.isEmpty());
    static_cast<ElidedLabel*>(m_folderName)->setFullText(SidebarText::lastComponent(folder));
}

void SidebarView::updateContent()
{
    switch (
        sidebarContentFor(m_workspace.globalSearchQuery(), !m_workspace.folderURL().isEmpty())) {
    case SidebarContent::SearchResults:
        m_content->setCurrentWidget(m_results);
        break;
    case SidebarContent::Recents:
        m_content->setCurrentWidget(m_recents);
        break;
    case SidebarContent::Tree:
        m_content->setCurrentWidget(m_tree);
        break;
    }
}

void SidebarView::openWorkFolder()
{
    UserPrompts::OpenPanel panel;
    panel.title = tr("Open Workspace Folder");
    panel.chooseFiles = false;
    panel.chooseDirectories = true;
    const std::optional<QString> folder = m_prompts.runOpenPanel(panel);
    if (folder && !folder->isEmpty())
        m_workspace.setFolderURL(*folder);
}

void SidebarView::openSingleFile()
{
    UserPrompts::OpenPanel panel;
    panel.title = tr("Open File");
    panel.chooseFiles = true;
    panel.chooseDirectories = false;
    const std::optional<QString> file = m_prompts.runOpenPanel(panel);
    if (file && !file->isEmpty())
        m_workspace.openFile(*file);
}

void SidebarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), AppColors::sidebarBackground(m_dark));
}

} // namespace quillon
