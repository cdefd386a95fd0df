#include "git/GitLog.h"

namespace quillon {

Q_LOGGING_CATEGORY(lcGit, "quillon.git")

void logGitFailure(const QString& what, const QString& folder, const QString& reason)
{
    qCWarning(lcGit).noquote() << what << "failed in" << folder << "-" << reason.trimmed();
}

void logGitFailure(const QString& what, const QString& folder, const GitError& error)
{
    // An error told in our words (a refused token) keeps git's own behind it for the log.
    const QString said = error.gitOutput().trimmed();
    logGitFailure(what, folder,
        said.isEmpty() ? error.description()
                       : error.description() + QStringLiteral(" (git: ") + said + u')');
}

} // namespace quillon
