#include "git/GitStatusSnapshot.h"

#include "git/GitService.h"

namespace quillon {

GitStatusSnapshot GitStatusSnapshot::take(GitService& service, const QString& folder)
{
    GitStatusSnapshot snapshot;
    if (!service.isGitAvailable()) {
        snapshot.outcome = Outcome::GitMissing;
        return snapshot;
    }
    if (!service.isGitRepository(folder)) {
        snapshot.outcome = Outcome::NotARepository;
        return snapshot;
    }
    snapshot.hasRemote = service.hasRemote(folder);
    const auto status = service.getStatus(folder);
    if (!status) {
        snapshot.outcome = Outcome::StatusFailed;
        snapshot.errorDescription = status.error().description();
        return snapshot;
    }
    snapshot.outcome = Outcome::Read;
    snapshot.status = status.value();
    const GitStatusResult& s = snapshot.status;
    const bool untracked = s.upstream.isEmpty() || s.upstreamGone;
    if (snapshot.hasRemote && s.isClean && untracked && !s.unbornBranch && !s.branch.isEmpty())
        snapshot.unpushedCommits = service.unpushedCommitCount(folder);
    return snapshot;
}

GitSyncState GitStatusSnapshot::syncState(const QDateTime& now) const
{
    switch (outcome) {
    case Outcome::GitMissing:
        return GitSyncState::gitNotInstalled();
    case Outcome::NotARepository:
        return GitSyncState::noRepository();
    case Outcome::StatusFailed:
        return GitSyncState::error(errorDescription);
    case Outcome::Read:
        break;
    }
    if (status.hasConflicts)
        return GitSyncState::conflict(status.conflictingFiles);
    if (!status.isClean)
        return GitSyncState::pendingSync(status.changedFileCount);
    if (!hasRemote)
        return GitSyncState::localRepository();
    const int commitsToExchange = status.ahead + status.behind + unpushedCommits;
    if (commitsToExchange > 0)
        return GitSyncState::pendingSync(commitsToExchange);
    return GitSyncState::synced(now);
}

} // namespace quillon
