#include "git/ui/ConnectGitModalView.h"

#include "git/KeychainManager.h"
#include "git/WorkspaceGit.h"
#include "platform/UserPrompts.h"
#include "ui/AppColors.h"
#include "ui/DividerLine.h"
#include "ui/ProminentButton.h"
#include "ui/SymbolIcons.h"
#include "workspace/WorkspaceState.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace quillon {

namespace {

QLabel* sectionTitle(const QString& text)
{
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setPixelSize(12);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QFont sized(QFont font, int pixels)
{
    font.setPixelSize(pixels);
    return font;
}

} // namespace

ConnectGitModalView::ConnectGitModalView(
    WorkspaceState& workspace, WorkspaceGit& git, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_workspace(workspace)
    , m_git(git)
    , m_prompts(prompts)
    , m_targetFolder(workspace.folderURL())
{
    setWindowTitle(QStringLiteral("Connect Git Repository"));
    setFixedSize(480, 380);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(18);
    layout->addWidget(buildHeader());
    layout->addWidget(new DividerLine(Qt::Horizontal));
    layout->addWidget(buildUrlSection());
    layout->addWidget(buildTokenSection());
    layout->addWidget(buildDestinationSection());
    layout->addWidget(buildErrorRow());
    layout->addStretch(1);
    layout->addWidget(buildButtonRow());
    updateState();
}

ConnectGitModalView::~ConnectGitModalView() = default;

QWidget* ConnectGitModalView::buildHeader()
{
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel;
    m_headerIcon = icon;
    updateHeaderIcon();
    auto* title = new QLabel(QStringLiteral("Connect Git Repository"));
    QFont font = sized(title->font(), 16);
    font.setBold(true);
    title->setFont(font);
    auto* close = new QToolButton;
    close->setIcon(SymbolIcons::icon(QStringLiteral("xmark.circle.fill"), 14, AppColors::gray()));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Close"));
    connect(close, &QToolButton::clicked, this, &ConnectGitModalView::reject);
    row->addWidget(icon);
    row->addWidget(title);
    row->addStretch(1);
    row->addWidget(close);
    return header;
}

QWidget* ConnectGitModalView::buildUrlSection()
{
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(sectionTitle(QStringLiteral("Repository URL")));
    m_urlField = new QLineEdit;
    m_urlField->setObjectName(QStringLiteral("repositoryURL"));
    m_urlField->setFont(sized(m_urlField->font(), 13));
    m_urlField->setPlaceholderText(
        QStringLiteral("https://git.example-corp.com/team/repository.git"));
    // Typing, not the sheet's first showing, looks the host's token up.
    connect(m_urlField, &QLineEdit::textEdited, this, &ConnectGitModalView::fillTokenFromKeyring);
    connect(m_urlField, &QLineEdit::textChanged, this, &ConnectGitModalView::updateState);
    column->addWidget(m_urlField);
    return section;
}

QWidget* ConnectGitModalView::buildTokenSection()
{
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(sectionTitle(QStringLiteral("Personal Access Token (PAT)")));
    titleRow->addStretch(1);
    m_showTokenButton = new QPushButton(QStringLiteral("Show"));
    m_showTokenButton->setFlat(true);
    m_showTokenButton->setAutoDefault(false);
    m_showTokenButton->setCursor(Qt::PointingHandCursor);
    m_showTokenButton->setFont(sized(m_showTokenButton->font(), 11));
    connect(m_showTokenButton, &QPushButton::clicked, this, [this] {
        m_showToken = !m_showToken;
        updateState();
    });
    titleRow->addWidget(m_showTokenButton);
    column->addLayout(titleRow);
    m_tokenField = new QLineEdit;
    m_tokenField->setObjectName(QStringLiteral("token"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_tokenField->setFont(sized(mono, 13));
    m_tokenField->setPlaceholderText(QStringLiteral("ghp_xxxxxxxxxxxx or gitlab_pat_xxxx"));
    column->addWidget(m_tokenField);
    auto* note = new QLabel(QStringLiteral("Token will be stored securely in the system keyring."));
    note->setFont(sized(note->font(), 11));
    note->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(note);
    return section;
}

QWidget* ConnectGitModalView::buildDestinationSection()
{
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(sectionTitle(QStringLiteral("Destination Folder")));
    auto* row = new QHBoxLayout;
    m_destinationLabel = new QLabel;
    m_destinationLabel->setObjectName(QStringLiteral("destination"));
    m_destinationLabel->setFont(sized(m_destinationLabel->font(), 12));
    m_destinationLabel->setTextFormat(Qt::PlainText);
    m_destinationLabel->setContentsMargins(8, 6, 8, 6);
    m_destinationLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_destinationLabel->setStyleSheet(QStringLiteral(
        "QLabel { border: 1px solid rgba(128, 128, 128, 77); border-radius: 5px; }"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &ConnectGitModalView::selectFolder);
    row->addWidget(m_destinationLabel, 1);
    row->addWidget(browse);
    column->addLayout(row);
    return section;
}

QWidget* ConnectGitModalView::buildErrorRow()
{
    m_errorRow = new QWidget;
    auto* row = new QHBoxLayout(m_errorRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* icon = new QLabel;
    icon->setPixmap(SymbolIcons::pixmap(QStringLiteral("exclamationmark.triangle.fill"), 14,
        QColor(0xe0, 0x45, 0x3a), devicePixelRatioF()));
    m_errorLabel = new QLabel;
    m_errorLabel->setObjectName(QStringLiteral("error"));
    m_errorLabel->setTextFormat(Qt::PlainText);
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setFont(sized(m_errorLabel->font(), 12));
    m_errorLabel->setStyleSheet(QStringLiteral("color: #e0453a;"));
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(m_errorLabel, 1);
    m_errorRow->hide();
    return m_errorRow;
}

QWidget* ConnectGitModalView::buildButtonRow()
{
    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &ConnectGitModalView::reject);
    m_progress = new QProgressBar;
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(80);
    m_progress->setToolTip(QStringLiteral("Cloning..."));
    m_connectButton = new ProminentButton(QStringLiteral("Clone && Open"));
    m_connectButton->setObjectName(QStringLiteral("cloneAndOpen"));
    m_connectButton->setDefault(true);
    connect(m_connectButton, &QPushButton::clicked, this, &ConnectGitModalView::performConnect);
    row->addWidget(cancel);
    row->addStretch(1);
    row->addWidget(m_progress);
    row->addSpacing(8);
    row->addWidget(m_connectButton);
    return buttons;
}

void ConnectGitModalView::updateHeaderIcon()
{
    // The accent follows the appearance the sheet is drawn in, known once it has its palette.
    m_headerIcon->setPixmap(SymbolIcons::pixmap(QStringLiteral("square.and.arrow.down.on.square"),
        18, AppColors::accent(palette()), devicePixelRatioF()));
}

void ConnectGitModalView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && m_headerIcon)
        updateHeaderIcon();
    QDialog::changeEvent(event);
}

QString ConnectGitModalView::errorMessage() const
{
    return m_errorRow->isHidden() ? QString() : m_errorLabel->text();
}

void ConnectGitModalView::fillTokenFromKeyring(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return;
    if (const auto token = KeychainManager::getToken(url.host()))
        m_tokenField->setText(*token);
}

void ConnectGitModalView::selectFolder()
{
    UserPrompts::OpenPanel panel;
    panel.prompt = QStringLiteral("Select Folder");
    panel.chooseFiles = false;
    panel.chooseDirectories = true;
    panel.directory = m_targetFolder;
    if (const auto chosen = m_prompts.runOpenPanel(panel)) {
        m_targetFolder = *chosen;
        updateState();
    }
}

void ConnectGitModalView::showError(const QString& message)
{
    m_errorLabel->setText(message);
    m_errorRow->setVisible(!message.isEmpty());
}

void ConnectGitModalView::performConnect()
{
    if (m_cloning || m_targetFolder.isEmpty())
        return;
    // Whitespace and line breaks around what was pasted are dropped; one inside would break the
    // keyring entry or the header git sends, so it is refused here with a reason.
    const auto url = KeychainManager::cleanedEntry(m_urlField->text());
    if (!url || url->isEmpty()) {
        showError(QStringLiteral(
            "The repository URL contains a line break or another control character."));
        return;
    }
    const auto token = KeychainManager::cleanedEntry(m_tokenField->text());
    if (!token) {
        showError(QStringLiteral("The token contains a line break or another control character."));
        return;
    }
    m_cloning = true;
    showError({});
    updateState();
    m_cancelClone = m_git.connectRepository(
        *url, *token, m_targetFolder, this, [this](std::optional<GitError> error) {
            m_cloning = false;
            m_cancelClone.reset();
            updateState();
            if (error) {
                showError(error->description().trimmed());
                return;
            }
            accept();
        });
}

void ConnectGitModalView::reject()
{
    // Cancelling means it: a clone under way stops and nothing is opened afterwards.
    if (m_cancelClone)
        m_cancelClone->store(true);
    QDialog::reject();
}

void ConnectGitModalView::updateState()
{
    m_showTokenButton->setText(m_showToken ? QStringLiteral("Hide") : QStringLiteral("Show"));
    m_tokenField->setEchoMode(m_showToken ? QLineEdit::Normal : QLineEdit::Password);
    if (m_targetFolder.isEmpty()) {
        m_destinationLabel->setText(QStringLiteral("Select destination folder..."));
        m_destinationLabel->setForegroundRole(QPalette::PlaceholderText);
    } else {
        m_destinationLabel->setText(m_targetFolder);
        m_destinationLabel->setForegroundRole(QPalette::WindowText);
    }
    m_destinationLabel->setToolTip(m_targetFolder);
    m_progress->setVisible(m_cloning);
    m_connectButton->setEnabled(
        !m_urlField->text().trimmed().isEmpty() && !m_targetFolder.isEmpty() && !m_cloning);
}

} // namespace quillon
