#pragma once

#include <atomic>
#include <memory>

#include "git/ConflictChoice.h"
#include "git/ConflictVersions.h"
#include "git/GitResult.h"
#include "git/GitRunOwner.h"
#include "git/GitService.h"
#include "workspace/WorkspaceGitHooks.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace quillon {

class WorkspaceState;
struct GitStatusSnapshot;

// The git orchestration of one workspace: status check, sync now, activation, the background fetch
// and auto-commit ticks, and the work of the connect and conflict dialogs. Every call is made on
// the main thread and returns at once; the git work runs on the folder's serial queue and every
// change of the workspace's published state is made back on the main thread. A result that
// arrives after the workspace switched to another folder is dropped. When it goes away (the
// window closes, the program quits), every git process it started ends with it.
class WorkspaceGit : public QObject, public WorkspaceGitHooks
{
    Q_OBJECT
public:
    explicit WorkspaceGit(WorkspaceState& state);
    ~WorkspaceGit() override;

    void checkStatus() override;
    void autoCommitTick() override;
    void fetchTick() override;
    void stageDeletion(const QString& repositoryFolder, const QString& deletedPath) override;
    // Refreshes the index on the folder's queue; a locked index is left alone.
    void treeTouched() override;

    // The menu's "Sync Now" and the sync widget: a full sync with the remote host's token.
    void syncNow();
    // Initialises a repository in a workspace folder that has none.
    void activate();

    // The connect dialog: stores a non-empty token under the address's host, then connects the
    // destination when it is already a repository, or clones into it; on success the destination
    // becomes the workspace folder (also when the dialog is gone), then `done` gets no error.
    // Setting the returned flag stops a running clone; nothing is opened after that.
    std::shared_ptr<std::atomic<bool>> connectRepository(const QString& repoURL,
        const QString& token, const QString& destination, QObject* receiver,
        std::function<void(std::optional<GitError>)> done);

    // The conflict dialog. Paths are relative to the repository root, as the conflict list holds
    // them. Resolving and completing reload open documents that git changed on disk.
    void loadConflictVersions(const QString& filePath, QObject* receiver,
        std::function<void(GitResult<ConflictVersions>)> done);
    void resolveConflict(const QString& filePath, ConflictChoice choice, QObject* receiver,
        std::function<void(GitResult<void>)> done);
    // Commits the merge. On success the conflict sheet's flag is cleared and a sync starts (also
    // when the dialog is gone by then); `done` hears the result first, while the dialog is there.
    void completeMerge(QObject* receiver, std::function<void(GitResult<void>)> done);
    // The paths of the workspace's repository that git still lists as unmerged.
    void listUnmergedPaths(QObject* receiver, std::function<void(GitResult<QStringList>)> done);

    // "Auto-save by Quillon (" + short date and medium time + ")".
    static QString autoSaveMessage(
        const QDateTime& moment, const QLocale& locale = QLocale::system());

Q_SIGNALS:
    // Each operation announces its end after it has published its outcome.
    void statusCheckFinished();
    void syncFinished();
    void activationFinished();
    // `committed` is false when the tick found nothing to commit.
    void autoCommitFinished(bool committed);
    void fetchFinished();
    void deletionStaged();
    void indexRefreshFinished();

private:
    // A job on the folder's queue whose git runs belong to this object.
    template <typename R>
    void submit(const QString& folder, QObject* receiver, std::function<R()> job,
        std::function<void(R)> done, const QString& coalesceKey = {})
    {
        GitService::shared().submit<R>(
            folder, receiver, std::move(job), std::move(done), coalesceKey, m_runs);
    }
    // A job that may change files in the working tree: what the user typed is written first, and
    // open documents are reloaded from disk before anyone hears the result.
    void submitChangingFiles(const QString& folder, std::function<GitResult<void>()> job,
        std::function<void(GitResult<void>)> done);
    void publishSnapshot(const QString& folder, const GitStatusSnapshot& snapshot);
    bool isCurrentFolder(const QString& folder) const;

    WorkspaceState& m_state;
    std::shared_ptr<GitRunOwner> m_runs = std::make_shared<GitRunOwner>();
};

} // namespace quillon
