#pragma once

#include "git/GitStatusResult.h"
#include "workspace/GitSyncState.h"

#include <QDateTime>
#include <QString>

namespace quillon {

class GitService;

// What one status check learned about a workspace folder, and the sync state it shows.
struct GitStatusSnapshot
{
    enum class Outcome { GitMissing, NotARepository, StatusFailed, Read };

    Outcome outcome = Outcome::NotARepository;
    bool hasRemote = false;
    GitStatusResult status;
    // Commits of a branch without upstream that "origin" does not have.
    int unpushedCommits = 0;
    QString errorDescription;

    // Runs the checks (blocking; inside a job of the folder's queue).
    static GitStatusSnapshot take(GitService& service, const QString& folder);

    // "Synced" only for a clean tree that has nothing to push or pull.
    GitSyncState syncState(const QDateTime& now) const;
};

} // namespace quillon
