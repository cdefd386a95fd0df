#pragma once

#include <QDialog>

#include <atomic>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace quillon {

class UserPrompts;
class WorkspaceGit;
class WorkspaceState;

// The sheet that ties the workspace to a git remote: an address, a personal access token and a
// destination folder. "Clone & Open" stores the token in the system keyring under the address's
// host, then connects the destination when it already is a repository or clones into it, and
// opens it as the workspace. Failures stay in the sheet. Cancel stops a running clone.
// Reads `folderURL` once; the workspace is switched by the git orchestration.
class ConnectGitModalView : public QDialog
{
    Q_OBJECT
public:
    ConnectGitModalView(WorkspaceState& workspace, WorkspaceGit& git, UserPrompts& prompts,
        QWidget* parent = nullptr);
    ~ConnectGitModalView() override;

    QString targetFolder() const { return m_targetFolder; }
    bool isCloning() const { return m_cloning; }
    // The text of the error row; empty while it is hidden.
    QString errorMessage() const;

    void selectFolder();
    void performConnect();

    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateHeaderIcon();
    QWidget* buildHeader();
    QWidget* buildUrlSection();
    QWidget* buildTokenSection();
    QWidget* buildDestinationSection();
    QWidget* buildErrorRow();
    QWidget* buildButtonRow();
    void fillTokenFromKeyring(const QString& address);
    void showError(const QString& message);
    void updateState();

    WorkspaceState& m_workspace;
    WorkspaceGit& m_git;
    UserPrompts& m_prompts;
    QString m_targetFolder;
    bool m_cloning = false;
    bool m_showToken = false;
    std::shared_ptr<std::atomic<bool>> m_cancelClone;

    QLabel* m_headerIcon = nullptr;
    QLineEdit* m_urlField = nullptr;
    QLineEdit* m_tokenField = nullptr;
    QPushButton* m_showTokenButton = nullptr;
    QLabel* m_destinationLabel = nullptr;
    QWidget* m_errorRow = nullptr;
    QLabel* m_errorLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_connectButton = nullptr;
};

} // namespace quillon
