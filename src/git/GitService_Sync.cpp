// The full sync: commit local changes, fetch, merge the remote branch, push.
#include "git/GitService.h"

#include "git/GitOutputParser.h"
#include "git/KeychainManager.h"

namespace quillon {

GitError GitService::classifySyncFailure(const GitError& error, const QString& folder)
{
    if (error.kind() == GitError::Kind::ProcessFailed
        && GitOutputParser::isAuthenticationFailure(error.stderrText()))
        return GitError::authenticationFailed(
            GitError::invalidCredentialsMessage(), error.stderrText());
    if (error.kind() == GitError::Kind::LaunchFailed) {
        // Only the launch error's own words are there to go by.
        const QString text = error.description().toLower();
        for (const char* phrase : { "401", "permission denied", "authentication failed" }) {
            if (text.contains(QLatin1String(phrase)))
                return GitError::authenticationFailed(
                    GitError::invalidCredentialsMessage(), error.description());
        }
        return error;
    }
    // A merge that stopped (or was refused) on conflicts reports them as such.
    const auto status = getStatus(folder);
    if (!status)
        return status.error();
    if (status.value().hasConflicts)
        return GitError::mergeConflict(status.value().conflictingFiles);
    return error;
}

GitResult<void> GitService::performFullSync(
    const QString& folder, const std::optional<QString>& token)
{
    const auto status = getStatus(folder);
    if (!status)
        return status.error();
    // A merge whose conflicts were all resolved must be committed even when the resolution left
    // the tree as it was, or every later merge is refused until it is.
    if (!status.value().hasConflicts && (!status.value().isClean || mergeInProgress(folder))) {
        if (auto committed = commitLocal(folder, QStringLiteral("Update documents")); !committed)
            return committed;
    }

    const auto remote = getRemoteURL(folder);
    if (!remote)
        return {};
    QString chosenToken = token.value_or(QString());
    if (chosenToken.isEmpty())
        chosenToken
            = KeychainManager::getToken(KeychainManager::extractHost(*remote)).value_or(QString());
    const auto config = tokenConfig(chosenToken, *remote);
    const QString branch = getCurrentBranch(folder);

    const GitRunResult fetched
        = runNetwork(folder, { QStringLiteral("fetch"), QStringLiteral("origin") }, config);
    if (!fetched.succeeded())
        return classifySyncFailure(fetched.error(), folder);

    // A branch that was never pushed has nothing to merge; the push below creates it.
    const QString remoteBranch = QStringLiteral("refs/remotes/origin/") + branch;
    const bool remoteBranchExists = runIn(folder,
        { QStringLiteral("rev-parse"), QStringLiteral("--verify"), QStringLiteral("-q"),
            remoteBranch })
                                        .succeeded();
    if (remoteBranchExists) {
        const GitRunResult merged = runIn(folder,
            { QStringLiteral("merge"), QStringLiteral("--no-edit"),
                QStringLiteral("origin/") + branch });
        if (!merged.succeeded())
            return classifySyncFailure(merged.error(), folder);
    }

    // A branch without any commit has nothing to push.
    if (!runIn(folder,
            { QStringLiteral("rev-parse"), QStringLiteral("--verify"), QStringLiteral("-q"),
                QStringLiteral("HEAD") })
             .succeeded())
        return {};
    QStringList pushArgs = { QStringLiteral("push") };
    if (!remoteBranchExists)
        pushArgs << QStringLiteral("-u");
    pushArgs << QStringLiteral("origin") << branch;
    const GitRunResult pushed = runNetwork(folder, pushArgs, config);
    if (!pushed.succeeded())
        return classifySyncFailure(pushed.error(), folder);
    return {};
}

} // namespace quillon
