// The git work of the connect dialog and the conflict dialog.
#include "git/WorkspaceGit.h"

#include "analytics/AnalyticsManager.h"
#include "git/GitLog.h"
#include "git/GitService.h"
#include "git/KeychainManager.h"
#include "workspace/WorkspaceState.h"

#include <QPointer>

namespace quillon {

namespace {

QString trimSpacesAndTabs(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

struct ConnectOutcome
{
    std::optional<GitError> error;
    bool cloned = false;
};

} // namespace

void WorkspaceGit::submitChangingFiles(const QString& folder, std::function<GitResult<void>()> job,
    std::function<void(GitResult<void>)> done)
{
    // Git must find everything the user typed in the files, and no write of ours may land while
    // it changes them.
    auto hold = m_state.holdWrites();
    submit<GitResult<void>>(folder, this, std::move(job),
        [this, hold, done = std::move(done)](const GitResult<void>& result) {
            m_state.reloadOpenDocumentsFromDisk();
            hold->release();
            done(result);
        });
}

std::shared_ptr<std::atomic<bool>> WorkspaceGit::connectRepository(const QString& repoURL,
    const QString& token, const QString& destination, QObject* receiver,
    std::function<void(std::optional<GitError>)> done)
{
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    if (destination.isEmpty())
        return cancelled;
    const QString url = trimSpacesAndTabs(repoURL);
    const QString trimmedToken = trimSpacesAndTabs(token);
    QPointer<QObject> dialog(receiver);
    // Guarded by this object, not the dialog: a connection that succeeds after the dialog was
    // closed without cancelling still opens the folder.
    submit<ConnectOutcome>(
        destination, this,
        [url, trimmedToken, destination, cancelled] {
            GitService& git = GitService::shared();
            ConnectOutcome outcome;
            if (!trimmedToken.isEmpty())
                KeychainManager::saveToken(trimmedToken, KeychainManager::extractHost(url));
            if (!git.isGitRepository(destination)) {
                const auto cloned = git.clone(url,
                    trimmedToken.isEmpty() ? std::nullopt : std::optional<QString>(trimmedToken),
                    destination, cancelled);
                if (!cloned) {
                    outcome.error = cloned.error();
                    return outcome;
                }
                outcome.cloned = true;
            }
            git.configureCredentialHelper(destination);
            return outcome;
        },
        [this, destination, dialog, done, cancelled](const ConnectOutcome& outcome) {
            if (cancelled->load())
                return;
            if (outcome.cloned)
                AnalyticsManager::shared().track(
                    AnalyticsEvent::gitSyncExecuted(QStringLiteral("clone")));
            if (!outcome.error)
                m_state.setFolderURL(destination);
            if (dialog && done)
                done(outcome.error);
        });
    return cancelled;
}

void WorkspaceGit::loadConflictVersions(const QString& filePath, QObject* receiver,
    std::function<void(GitResult<ConflictVersions>)> done)
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    submit<GitResult<ConflictVersions>>(
        folder, receiver,
        [folder, filePath] { return GitService::shared().getConflictDiff(folder, filePath); },
        std::move(done));
}

void WorkspaceGit::resolveConflict(const QString& filePath, ConflictChoice choice,
    QObject* receiver, std::function<void(GitResult<void>)> done)
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    QPointer<QObject> dialog(receiver);
    submitChangingFiles(
        folder,
        [folder, filePath, choice] {
            return GitService::shared().resolveConflict(folder, filePath, choice);
        },
        [dialog, done = std::move(done)](const GitResult<void>& result) {
            if (dialog && done)
                done(result);
        });
}

void WorkspaceGit::completeMerge(QObject* receiver, std::function<void(GitResult<void>)> done)
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    QPointer<QObject> dialog(receiver);
    // Finished here, not in the dialog: the user may close the sheet while the commit runs, and
    // the merge commit must still be pushed.
    submitChangingFiles(
        folder,
        [folder] {
            return GitService::shared().completeMerge(
                folder, QStringLiteral("Merge resolved via Quillon"));
        },
        [this, folder, dialog, done = std::move(done)](const GitResult<void>& result) {
            const bool dialogHeard = dialog && done;
            if (dialogHeard)
                done(result);
            if (!result) {
                // The dialog shows a failure; without it, the log is all there is.
                if (!dialogHeard)
                    logGitFailure(QStringLiteral("Completing the merge"), folder, result.error());
                return;
            }
            if (!isCurrentFolder(folder))
                return;
            m_state.setShowingConflictGitModal(false);
            syncNow();
        });
}

void WorkspaceGit::listUnmergedPaths(
    QObject* receiver, std::function<void(GitResult<QStringList>)> done)
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    submit<GitResult<QStringList>>(
        folder, receiver, [folder] { return GitService::shared().unmergedPaths(folder); },
        std::move(done));
}

} // namespace quillon
