#include "git/ui/GitSyncPresentation.h"

#include "ui/AppColors.h"

namespace quillon {

namespace {

// The rejected-token message of a sync contains it; other errors get a retry.
bool isAuthenticationError(const GitSyncState& state)
{
    return state.message.contains(QStringLiteral("Auth"), Qt::CaseSensitive);
}

} // namespace

GitSyncPresentation GitSyncPresentation::of(
    const GitSyncState& state, bool darkMode, const QDateTime& now)
{
    using Kind = GitSyncState::Kind;
    GitSyncPresentation p;
    switch (state.kind) {
    case Kind::Synced:
        p = { AppColors::gitSynced(darkMode), QStringLiteral("Synced with Git"),
            timeAgoString(state.lastSync, now), false, Action::Sync };
        break;
    case Kind::PendingSync:
        p = { AppColors::gitPending(),
            QStringLiteral("Pending sync (%1)").arg(state.changedFilesCount),
            QStringLiteral("Click to sync"), false, Action::Sync };
        break;
    case Kind::Conflict:
        p = { AppColors::gitError(),
            QStringLiteral("Conflict (%1)").arg(state.conflictingFiles.size()),
            QStringLiteral("Resolve"), false, Action::OpenConflictDialog };
        break;
    case Kind::Error:
        if (isAuthenticationError(state))
            p = { AppColors::gitError(), QStringLiteral("Auth Failed"), QStringLiteral("Token"),
                false, Action::OpenConnectDialog };
        else
            p = { AppColors::gitError(), QStringLiteral("Sync Error"), QStringLiteral("Retry"),
                false, Action::Sync };
        break;
    case Kind::NoRepository:
        p = { AppColors::accentIn(darkMode), QStringLiteral("Activate Git"),
            QStringLiteral("Init repo"), false, Action::ActivateGit };
        break;
    case Kind::LocalRepository:
        p = { AppColors::gitLocal(darkMode), QStringLiteral("Local Git"),
            QStringLiteral("No Remote"), false, Action::Sync };
        break;
    case Kind::GitNotInstalled:
        p = { AppColors::gitPending(), QStringLiteral("Git Not Installed"),
            QStringLiteral("Install"), false, Action::ShowInstallHelp };
        break;
    case Kind::Syncing:
        p = { AppColors::gitSyncing(), QStringLiteral("Syncing..."), QString(), true,
            Action::None };
        break;
    }
    return p;
}

QString GitSyncPresentation::timeAgoString(const QDateTime& from, const QDateTime& now)
{
    const qint64 seconds = from.secsTo(now);
    if (seconds < 60)
        return QStringLiteral("Just now");
    if (seconds > 3599)
        return QStringLiteral("%1h ago").arg(seconds / 3600);
    return QStringLiteral("%1m ago").arg(seconds / 60);
}

QString GitSyncPresentation::installCommand()
{
    return QStringLiteral("sudo apt install git");
}

QString GitSyncPresentation::installAlertTitle()
{
    return QStringLiteral("Git CLI is not installed");
}

QString GitSyncPresentation::installAlertMessage()
{
    return QStringLiteral("To use Git features in Quillon, please install Git by running '%1' in "
                          "Terminal.")
        .arg(installCommand());
}

} // namespace quillon
