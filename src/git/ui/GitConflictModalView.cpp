#include "git/ui/GitConflictModalView.h"

#include "git/ConflictVersions.h"
#include "git/WorkspaceGit.h"
#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"
#include "workspace/WorkspaceState.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon {

Q_LOGGING_CATEGORY(lcConflictDialog, "quillon.git.ui")

namespace {

enum DetailPage { NoSelectionPage, SelectionPage };
enum PanePage { LoadingPage, VersionsPage };

QColor shade(bool dark, qreal darkLevel, qreal lightLevel)
{
    const qreal w = dark ? darkLevel : lightLevel;
    return QColor::fromRgbF(w, w, w);
}

void fill(QWidget* widget, const QColor& colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

QFont sized(QFont font, int pixels, bool bold = false)
{
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFrame* line(QFrame::Shape shape)
{
    auto* frame = new QFrame;
    frame->setFrameShape(shape);
    frame->setFrameShadow(QFrame::Plain);
    frame->setForegroundRole(QPalette::Mid);
    return frame;
}

QString paneText(const QString& text, bool deleted)
{
    return deleted ? QStringLiteral("(deleted on this side)") : text;
}

} // namespace

GitConflictModalView::GitConflictModalView(
    WorkspaceState& workspace, WorkspaceGit& git, bool darkMode, QWidget* parent)
    : QDialog(parent)
    , m_workspace(workspace)
    , m_git(git)
    , m_dark(darkMode)
{
    setWindowTitle(QStringLiteral("Resolve Conflicts"));
    setFixedSize(760, 500);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader(darkMode));
    layout->addWidget(line(QFrame::HLine));
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    body->addWidget(buildFileList(darkMode));
    body->addWidget(line(QFrame::VLine));
    body->addWidget(buildDetail(darkMode), 1);
    layout->addLayout(body, 1);
    layout->addWidget(line(QFrame::HLine));
    layout->addWidget(buildFooter(darkMode));

    connect(&m_workspace, &WorkspaceState::conflictingFilesListChanged, this, [this] {
        rebuildRows();
        checkUnmergedPaths();
    });
    rebuildRows();
    const QStringList files = m_workspace.conflictingFilesList();
    if (!files.isEmpty())
        selectFile(files.first());
    checkUnmergedPaths();
}

QWidget* GitConflictModalView::buildHeader(bool dark)
{
    auto* header = new QWidget;
    fill(header, shade(dark, 0.15, 0.95));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 16, 16, 16);
    auto* icon = new QLabel;
    icon->setPixmap(SymbolIcons::pixmap(QStringLiteral("exclamationmark.triangle.fill"), 18,
        QColor(255, 149, 0), devicePixelRatioF()));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Resolve Conflicts"));
    title->setFont(sized(title->font(), 15, true));
    auto* subtitle
        = new QLabel(QStringLiteral("Select which version to keep for each conflicting file."));
    subtitle->setFont(sized(subtitle->font(), 12));
    subtitle->setForegroundRole(QPalette::PlaceholderText);
    texts->addWidget(title);
    texts->addWidget(subtitle);
    auto* close = new QToolButton;
    close->setIcon(SymbolIcons::icon(QStringLiteral("xmark.circle.fill"), 14, AppColors::gray()));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Close"));
    connect(close, &QToolButton::clicked, this, &QDialog::reject);
    row->addWidget(icon);
    row->addLayout(texts);
    row->addStretch(1);
    row->addWidget(close);
    return header;
}

QWidget* GitConflictModalView::buildFileList(bool dark)
{
    auto* column = new QWidget;
    column->setFixedWidth(180);
    fill(column, shade(dark, 0.12, 0.97));
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_listTitle = new QLabel;
    m_listTitle->setFont(sized(m_listTitle->font(), 11, true));
    m_listTitle->setForegroundRole(QPalette::PlaceholderText);
    m_listTitle->setContentsMargins(10, 10, 10, 10);
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("conflictingFiles"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setIconSize(QSize(12, 12));
    m_list->setStyleSheet(QStringLiteral("QListWidget::item { padding: 0 10px; }"));
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    fill(m_list->viewport(), shade(dark, 0.12, 0.97));
    connect(m_list, &QListWidget::itemClicked, this,
        [this](QListWidgetItem* item) { selectFile(item->data(Qt::UserRole).toString()); });
    layout->addWidget(m_listTitle);
    layout->addWidget(m_list, 1);
    return column;
}

QWidget* GitConflictModalView::buildDetail(bool dark)
{
    m_detail = new QStackedWidget;
    auto* placeholder
        = new QLabel(QStringLiteral("Select a file on the left to resolve conflicts"));
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setFont(sized(placeholder->font(), 13));
    placeholder->setForegroundRole(QPalette::PlaceholderText);
    m_detail->addWidget(placeholder);

    auto* selection = new QWidget;
    auto* column = new QVBoxLayout(selection);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* toolbar = new QWidget;
    fill(toolbar, shade(dark, 0.14, 0.94));
    auto* tools = new QHBoxLayout(toolbar);
    tools->setContentsMargins(10, 10, 10, 10);
    m_pathLabel = new QLabel;
    m_pathLabel->setTextFormat(Qt::PlainText);
    QFont mono = sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), 12);
    mono.setWeight(QFont::DemiBold);
    m_pathLabel->setFont(mono);
    m_pathLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* keepMine = new QPushButton(QStringLiteral("Keep Mine (Local)"));
    auto* keepRemote = new QPushButton(QStringLiteral("Keep Remote (Server)"));
    for (QPushButton* button : { keepMine, keepRemote })
        button->setAutoDefault(false);
    connect(keepMine, &QPushButton::clicked, this, [this] { resolveCurrentFile(true); });
    connect(keepRemote, &QPushButton::clicked, this, [this] { resolveCurrentFile(false); });
    tools->addWidget(m_pathLabel, 1);
    tools->addWidget(keepMine);
    tools->addWidget(keepRemote);
    column->addWidget(toolbar);
    column->addWidget(line(QFrame::HLine));

    m_panes = new QStackedWidget;
    auto* loading = new QWidget;
    auto* loadingColumn = new QVBoxLayout(loading);
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(120);
    loadingColumn->addStretch(1);
    loadingColumn->addWidget(spinner, 0, Qt::AlignHCenter);
    loadingColumn->addWidget(new QLabel(QStringLiteral("Loading diff...")), 0, Qt::AlignHCenter);
    loadingColumn->addStretch(1);
    m_panes->addWidget(loading);

    auto* versions = new QWidget;
    auto* sideBySide = new QHBoxLayout(versions);
    sideBySide->setContentsMargins(0, 0, 0, 0);
    sideBySide->setSpacing(0);
    const auto makePane = [&](const QString& title, const QColor& colour, QPlainTextEdit*& text) {
        auto* pane = new QWidget;
        fill(pane, shade(dark, 0.08, 0.99));
        auto* paneColumn = new QVBoxLayout(pane);
        paneColumn->setContentsMargins(0, 6, 0, 0);
        paneColumn->setSpacing(4);
        auto* label = new QLabel(title);
        label->setFont(sized(label->font(), 11, true));
        label->setContentsMargins(8, 0, 8, 0);
        label->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
        text = new QPlainTextEdit;
        text->setReadOnly(true);
        text->setFrameShape(QFrame::NoFrame);
        text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        text->setFont(sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), 12));
        fill(text->viewport(), shade(dark, 0.08, 0.99));
        paneColumn->addWidget(label);
        paneColumn->addWidget(text, 1);
        return pane;
    };
    sideBySide->addWidget(
        makePane(QStringLiteral("My Version (Local)"), QColor(0, 122, 255), m_ours), 1);
    sideBySide->addWidget(line(QFrame::VLine));
    sideBySide->addWidget(
        makePane(QStringLiteral("Server Version (Remote)"), QColor(175, 82, 222), m_theirs), 1);
    m_panes->addWidget(versions);
    m_panes->setCurrentIndex(VersionsPage);
    column->addWidget(m_panes, 1);
    m_detail->addWidget(selection);
    return m_detail;
}

QWidget* GitConflictModalView::buildFooter(bool dark)
{
    auto* footer = new QWidget;
    fill(footer, shade(dark, 0.14, 0.95));
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(12, 12, 12, 12);
    m_errorLabel = new QLabel;
    m_errorLabel->setObjectName(QStringLiteral("error"));
    m_errorLabel->setTextFormat(Qt::PlainText);
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setStyleSheet(QStringLiteral("color: #e0453a;"));
    m_errorLabel->hide();
    m_completeButton = new QPushButton(QStringLiteral("Complete Merge"));
    m_completeButton->setDefault(true);
    connect(m_completeButton, &QPushButton::clicked, this, &GitConflictModalView::completeMerge);
    row->addWidget(m_errorLabel, 1);
    row->addStretch(0);
    row->addWidget(m_completeButton);
    updateCompleteButton();
    return footer;
}

void GitConflictModalView::rebuildRows()
{
    const QStringList files = m_workspace.conflictingFilesList();
    m_listTitle->setText(QStringLiteral("Conflicting Files (%1)").arg(files.size()));
    m_list->clear();
    for (const QString& path : files) {
        const bool resolved = m_resolved.contains(path);
        auto* item = new QListWidgetItem(resolved
                ? SymbolIcons::icon(
                    QStringLiteral("checkmark.circle.fill"), 12, QColor(52, 199, 89))
                : SymbolIcons::icon(QStringLiteral("doc.text"), 12, QColor(255, 149, 0)),
            QFileInfo(path).fileName());
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
        QFont font = sized(m_list->font(), 12, m_selected == path);
        item->setFont(font);
        item->setSizeHint(QSize(0, QFontMetrics(font).height() + 12));
        if (m_selected == path)
            item->setBackground(m_dark ? AppColors::whiteAt(0.1) : AppColors::blackAt(0.08));
        m_list->addItem(item);
    }
    m_detail->setCurrentIndex(m_selected ? SelectionPage : NoSelectionPage);
}

QString GitConflictModalView::oursText() const
{
    return m_ours->toPlainText();
}

QString GitConflictModalView::theirsText() const
{
    return m_theirs->toPlainText();
}

bool GitConflictModalView::isLoadingVersions() const
{
    return m_panes->currentIndex() == LoadingPage;
}

QString GitConflictModalView::errorMessage() const
{
    return m_errorLabel->isHidden() ? QString() : m_errorLabel->text();
}

void GitConflictModalView::showError(const QString& message)
{
    m_errorLabel->setText(message);
    m_errorLabel->setVisible(!message.isEmpty());
}

void GitConflictModalView::selectFile(const QString& path)
{
    m_selected = path;
    m_pathLabel->setText(path);
    rebuildRows();
    if (m_workspace.folderURL().isEmpty())
        return;
    m_panes->setCurrentIndex(LoadingPage);
    const quint64 request = ++m_loadRequest;
    m_git.loadConflictVersions(
        path, this, [this, request](const GitResult<ConflictVersions>& result) {
            // The user moved on to another file: this answer is for a file no longer shown.
            if (request != m_loadRequest)
                return;
            if (result.ok()) {
                showVersions(result.value());
            } else {
                m_ours->setPlainText(QStringLiteral("Error loading local diff: ")
                    + result.error().description().trimmed());
                m_theirs->setPlainText(QStringLiteral("Error loading remote diff."));
            }
            m_panes->setCurrentIndex(VersionsPage);
        });
}

void GitConflictModalView::showVersions(const ConflictVersions& versions)
{
    m_ours->setPlainText(paneText(versions.ours, versions.oursDeleted));
    m_theirs->setPlainText(paneText(versions.theirs, versions.theirsDeleted));
}

void GitConflictModalView::resolveCurrentFile(bool keepMine)
{
    if (!m_selected || m_workspace.folderURL().isEmpty())
        return;
    const QString file = *m_selected;
    m_git.resolveConflict(file, keepMine ? ConflictChoice::keepOurs : ConflictChoice::keepTheirs,
        this, [this, file](const GitResult<void>& result) {
            if (!result.ok()) {
                qCWarning(lcConflictDialog).noquote() << "Failed to resolve conflict for" << file
                                                      << ":" << result.error().debugDescription();
                showError(QStringLiteral("Could not keep that version of %1: %2")
                              .arg(file, result.error().description().trimmed()));
                return;
            }
            showError({});
            m_resolved.insert(file);
            rebuildRows();
            for (const QString& path : m_workspace.conflictingFilesList()) {
                if (!m_resolved.contains(path)) {
                    selectFile(path);
                    break;
                }
            }
            checkUnmergedPaths();
        });
}

void GitConflictModalView::checkUnmergedPaths()
{
    m_git.listUnmergedPaths(this, [this](const GitResult<QStringList>& result) {
        // When git cannot say, the merge commit itself will tell.
        m_unmergedRemain = result.ok() ? !result.value().isEmpty() : false;
        updateCompleteButton();
        Q_EMIT unmergedPathsChecked();
    });
}

void GitConflictModalView::updateCompleteButton()
{
    m_completeButton->setEnabled(!m_resolving && m_unmergedRemain == false);
}

void GitConflictModalView::completeMerge()
{
    if (m_workspace.folderURL().isEmpty() || m_resolving)
        return;
    m_resolving = true;
    showError({});
    updateCompleteButton();
    m_git.completeMerge(this, [this](const GitResult<void>& result) {
        m_resolving = false;
        if (!result.ok()) {
            qCWarning(lcConflictDialog).noquote()
                << "Failed to complete merge:" << result.error().debugDescription();
            showError(QStringLiteral("Could not complete the merge: ")
                + result.error().description().trimmed());
            updateCompleteButton();
            return;
        }
        // The workspace git clears the flag and starts the sync.
        accept();
    });
}

} // namespace quillon
