#include "git/GitLog.h"

namespace quillon {

Q_LOGGING_CATEGORY(lcGit, "quillon.git")

void logGitFailure(const QString& what, const QString& folder, const QString& reason)
{
    qCWarning(lcGit).noquote() << what << "failed in" << folder << "-" << reason.trimmed();
}

void logGitFailure(const QString& what, const QString& folder, const GitError& error)
{
    logGitFailure(what, folder, error.description());
}

} // namespace quillon
