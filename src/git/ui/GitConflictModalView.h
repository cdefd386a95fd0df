#pragma once

#include <QDialog>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace quillon {

class WorkspaceGit;
class WorkspaceState;
struct ConflictVersions;

// The sheet that finishes a merge git stopped with conflicts: the conflicted files, the local and
// the remote version of the selected one side by side, a button to keep either whole, and
// "Complete Merge" once git lists no unmerged path any more. Reads `conflictingFilesList`
// (followed while open) and `folderURL`. After the merge the workspace git clears
// `showingConflictGitModal` and starts a sync, whether the sheet is still open or not. Every
// failure is shown in the sheet.
class GitConflictModalView : public QDialog
{
    Q_OBJECT
public:
    GitConflictModalView(
        WorkspaceState& workspace, WorkspaceGit& git, bool darkMode, QWidget* parent = nullptr);

    std::optional<QString> selectedFile() const { return m_selected; }
    QSet<QString> resolvedFiles() const { return m_resolved; }
    QString oursText() const;
    QString theirsText() const;
    bool isLoadingVersions() const;
    // The text of the error row; empty while it is hidden.
    QString errorMessage() const;

    void selectFile(const QString& path);
    void resolveCurrentFile(bool keepMine);
    void completeMerge();

Q_SIGNALS:
    // git answered whether unmerged paths remain (after opening and after each kept side).
    void unmergedPathsChecked();

private:
    QWidget* buildHeader(bool dark);
    QWidget* buildFileList(bool dark);
    QWidget* buildDetail(bool dark);
    QWidget* buildFooter(bool dark);
    void rebuildRows();
    void showVersions(const ConflictVersions& versions);
    void showError(const QString& message);
    void checkUnmergedPaths();
    void updateCompleteButton();

    WorkspaceState& m_workspace;
    WorkspaceGit& m_git;
    std::optional<QString> m_selected;
    QSet<QString> m_resolved;
    // Each load carries the number it was started with; only the newest one is shown.
    quint64 m_loadRequest = 0;
    bool m_dark = false;
    bool m_resolving = false;
    // Unknown until git has answered; "Complete Merge" waits for it.
    std::optional<bool> m_unmergedRemain;

    QLabel* m_listTitle = nullptr;
    QListWidget* m_list = nullptr;
    QStackedWidget* m_detail = nullptr;
    QStackedWidget* m_panes = nullptr;
    QLabel* m_pathLabel = nullptr;
    QPlainTextEdit* m_ours = nullptr;
    QPlainTextEdit* m_theirs = nullptr;
    QLabel* m_errorLabel = nullptr;
    QPushButton* m_completeButton = nullptr;
};

} // namespace quillon
