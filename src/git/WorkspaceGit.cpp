#include "git/WorkspaceGit.h"

#include "analytics/AnalyticsManager.h"
#include "git/GitLog.h"
#include "git/GitService.h"
#include "git/GitStatusSnapshot.h"
#include "workspace/WorkspaceLog.h"
#include "workspace/WorkspaceState.h"

namespace quillon {

namespace {

struct SyncOutcome
{
    std::optional<GitError> error;
    // After success: the status that decides between "synced" and "pending".
    // After a failure other than authentication: the re-check for conflicts.
    std::optional<GitStatusSnapshot> snapshot;
};

struct AutoCommitOutcome
{
    bool committed = false;
    std::optional<GitError> error;
};

// A sync that stopped on conflicts: the conflict dialog takes over.
bool isConflict(const SyncOutcome& outcome)
{
    return outcome.snapshot && outcome.snapshot->outcome == GitStatusSnapshot::Outcome::Read
        && outcome.snapshot->status.hasConflicts;
}

} // namespace

WorkspaceGit::WorkspaceGit(WorkspaceState& state)
    : m_state(state)
{
}

WorkspaceGit::~WorkspaceGit()
{
    // A fetch or push whose server stopped answering would otherwise run on, with its helpers,
    // long after the window is gone.
    m_runs->stopAll();
}

bool WorkspaceGit::isCurrentFolder(const QString& folder) const
{
    return !folder.isEmpty() && m_state.folderURL() == folder;
}

void WorkspaceGit::publishSnapshot(const QString& folder, const GitStatusSnapshot& snapshot)
{
    if (!isCurrentFolder(folder))
        return;
    const GitSyncState state = snapshot.syncState(QDateTime::currentDateTime());
    // Checks run after every edit: a status git keeps refusing is logged once, not each time.
    if (snapshot.outcome == GitStatusSnapshot::Outcome::StatusFailed
        && !(m_state.gitSyncState() == state))
        logGitFailure(QStringLiteral("Reading the git status"), folder, snapshot.errorDescription);
    m_state.setGitSyncState(state);
    if (state.kind == GitSyncState::Kind::Conflict) {
        m_state.setConflictingFilesList(state.conflictingFiles);
        m_state.setShowingConflictGitModal(true);
    }
}

void WorkspaceGit::checkStatus()
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty()) {
        m_state.setGitSyncState(GitSyncState::noRepository());
        return;
    }
    // Coalesced: however often this is called, one check runs and at most one waits.
    submit<GitStatusSnapshot>(
        folder, this, [folder] { return GitStatusSnapshot::take(GitService::shared(), folder); },
        [this, folder](const GitStatusSnapshot& snapshot) {
            publishSnapshot(folder, snapshot);
            Q_EMIT statusCheckFinished();
        },
        QStringLiteral("status"));
}

void WorkspaceGit::treeTouched()
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty() || !GitService::shared().isGitAvailable())
        return;
    // Coalesced like the status check. Whether git could take the lock does not matter: when
    // someone else holds it, the next touch tries again.
    submit<bool>(
        folder, this, [folder] { return GitService::shared().refreshIndex(folder); },
        [this](bool) { Q_EMIT indexRefreshFinished(); }, QStringLiteral("refresh-index"));
}

void WorkspaceGit::syncNow()
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    GitService& service = GitService::shared();
    if (!service.isGitAvailable()) {
        m_state.flushPendingWrites();
        m_state.setGitSyncState(GitSyncState::gitNotInstalled());
        return;
    }
    m_state.setGitSyncState(GitSyncState::syncing());
    // Git commits what the user typed, all of it; what is typed while it commits and merges waits,
    // or the merge would find the file changed under it and refuse.
    auto hold = m_state.holdWrites();
    submit<SyncOutcome>(
        folder, this,
        [folder] {
            GitService& git = GitService::shared();
            SyncOutcome outcome;
            const auto synced = git.performFullSync(folder, git.tokenForRemote(folder));
            if (synced) {
                outcome.snapshot = GitStatusSnapshot::take(git, folder);
                return outcome;
            }
            outcome.error = synced.error();
            const auto kind = synced.error().kind();
            if (kind != GitError::Kind::AuthenticationFailed
                && kind != GitError::Kind::LaunchFailed)
                outcome.snapshot = GitStatusSnapshot::take(git, folder);
            return outcome;
        },
        [this, folder, hold](const SyncOutcome& outcome) {
            // The merge may have rewritten files that are open: they are met as changes from
            // outside before what was typed meanwhile is written.
            m_state.reloadOpenDocumentsFromDisk();
            hold->release();
            // The sync widget says only that the sync failed: git's own words go to the log.
            if (outcome.error && !isConflict(outcome))
                logGitFailure(QStringLiteral("Sync"), folder, *outcome.error);
            if (!isCurrentFolder(folder)) {
                Q_EMIT syncFinished();
                return;
            }
            if (!outcome.error) {
                AnalyticsManager::shared().track(
                    AnalyticsEvent::gitSyncExecuted(QStringLiteral("full_sync")));
                publishSnapshot(folder, *outcome.snapshot);
                m_state.refreshFolder();
            } else if (outcome.error->kind() == GitError::Kind::AuthenticationFailed) {
                m_state.setGitSyncState(
                    GitSyncState::error(QStringLiteral("Auth Failed: Update Token")));
                m_state.setShowingConnectGitModal(true);
            } else if (isConflict(outcome)) {
                publishSnapshot(folder, *outcome.snapshot);
            } else {
                // Only a rejected token may read as one: git's own words can hold the same
                // letters ("Author identity unknown").
                QString message = outcome.error->description();
                message.replace(QStringLiteral("Auth"), QStringLiteral("auth"));
                m_state.setGitSyncState(GitSyncState::error(message));
            }
            Q_EMIT syncFinished();
        },
        QStringLiteral("sync"));
}

void WorkspaceGit::activate()
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    submit<GitResult<void>>(
        folder, this, [folder] { return GitService::shared().initRepository(folder); },
        [this, folder](const GitResult<void>& result) {
            if (isCurrentFolder(folder)) {
                if (result) {
                    checkStatus();
                    m_state.refreshFolder();
                } else {
                    m_state.setGitSyncState(GitSyncState::error(
                        QStringLiteral("Failed to activate Git: ") + result.error().description()));
                }
            }
            if (!result)
                logGitFailure(QStringLiteral("Activating git"), folder, result.error());
            Q_EMIT activationFinished();
        });
}

void WorkspaceGit::autoCommitTick()
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    const bool push = m_state.autoPushAfterCommit();
    submit<AutoCommitOutcome>(
        folder, this,
        [folder, push] {
            GitService& git = GitService::shared();
            AutoCommitOutcome outcome;
            if (!git.isGitRepository(folder))
                return outcome;
            const auto status = git.getStatus(folder);
            if (!status || status.value().isClean || status.value().hasConflicts)
                return outcome;
            printLine(QStringLiteral("Quillon: Auto-committing working directory changes..."));
            const QString message = autoSaveMessage(QDateTime::currentDateTime());
            // The user sees no failure here, only the status check that follows; the reason
            // goes to the log.
            const GitResult<void> result = push
                ? git.commitAndPush(folder, message, git.tokenForRemote(folder))
                : git.commitLocal(folder, message);
            if (!result)
                outcome.error = result.error();
            outcome.committed = true;
            return outcome;
        },
        [this, folder](const AutoCommitOutcome& outcome) {
            if (outcome.error)
                logGitFailure(QStringLiteral("Auto-commit"), folder, *outcome.error);
            if (outcome.committed && isCurrentFolder(folder)) {
                checkStatus();
                m_state.refreshFolder();
            }
            Q_EMIT autoCommitFinished(outcome.committed);
        },
        QStringLiteral("autocommit"));
}

void WorkspaceGit::fetchTick()
{
    const QString folder = m_state.folderURL();
    if (folder.isEmpty())
        return;
    submit<bool>(
        folder, this,
        [folder] {
            GitService& git = GitService::shared();
            if (!git.isGitRepository(folder))
                return false;
            git.fetch(folder, git.tokenForRemote(folder));
            return true;
        },
        [this, folder](bool fetched) {
            if (fetched && isCurrentFolder(folder))
                checkStatus();
            Q_EMIT fetchFinished();
        },
        QStringLiteral("fetch"));
}

void WorkspaceGit::stageDeletion(const QString& repositoryFolder, const QString& deletedPath)
{
    if (repositoryFolder.isEmpty())
        return;
    submit<bool>(
        repositoryFolder, this,
        [repositoryFolder, deletedPath] {
            GitService::shared().stageDeletion(repositoryFolder, deletedPath);
            return true;
        },
        [this](bool) {
            checkStatus();
            Q_EMIT deletionStaged();
        });
}

QString WorkspaceGit::autoSaveMessage(const QDateTime& moment, const QLocale& locale)
{
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (!timeFormat.contains(QLatin1Char('s'))) {
        const qsizetype minutes = timeFormat.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            timeFormat.insert(minutes + 2, QStringLiteral(":ss"));
    }
    return QStringLiteral("Auto-save by Quillon (%1, %2)")
        .arg(locale.toString(moment.date(), QLocale::ShortFormat),
            locale.toString(moment.time(), timeFormat));
}

} // namespace quillon
