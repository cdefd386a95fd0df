#include "git/GitError.h"

namespace quillon {

GitError GitError::processFailed(int exitCode, const QString& stderrText)
{
    GitError e(Kind::ProcessFailed);
    e.m_exitCode = exitCode;
    e.m_text = stderrText;
    return e;
}

GitError GitError::mergeConflict(const QStringList& files)
{
    GitError e(Kind::MergeConflict);
    e.m_files = files;
    return e;
}

GitError GitError::authenticationFailed(const QString& message, const QString& gitOutput)
{
    GitError e(Kind::AuthenticationFailed);
    e.m_text = message;
    e.m_gitOutput = gitOutput;
    return e;
}

GitError GitError::launchFailed(const QString& reason)
{
    GitError e(Kind::LaunchFailed);
    e.m_text = reason;
    return e;
}

QString GitError::invalidCredentialsMessage()
{
    return QStringLiteral("Git Auth Failed: Invalid credentials or token expired.");
}

QString GitError::description() const
{
    switch (m_kind) {
    case Kind::ProcessFailed:
        return m_text.isEmpty() ? QStringLiteral("Git command failed.") : m_text;
    case Kind::MergeConflict:
        return QStringLiteral("Merge conflict in files: ") + m_files.join(QStringLiteral(", "));
    case Kind::AuthenticationFailed:
        return m_text;
    case Kind::GitNotInstalled:
        return QStringLiteral(
            "Git CLI is not installed. Please run 'sudo apt install git' in Terminal.");
    case Kind::NotARepository:
        return QStringLiteral("The selected folder is not a Git repository.");
    case Kind::InvalidURL:
        return QStringLiteral("Invalid repository URL.");
    case Kind::NoRemoteRepository:
        return QStringLiteral("Repository has no remote origin configured.");
    case Kind::LaunchFailed:
        return m_text.isEmpty() ? QStringLiteral("Git could not be started.") : m_text;
    }
    return {};
}

QString GitError::debugDescription() const
{
    const auto quoted = [](const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); };
    switch (m_kind) {
    case Kind::ProcessFailed:
        return QStringLiteral("processFailed(exitCode: %1, stderr: %2)")
            .arg(m_exitCode)
            .arg(quoted(m_text));
    case Kind::MergeConflict: {
        QStringList items;
        for (const QString& f : m_files)
            items.append(quoted(f));
        return QStringLiteral("mergeConflict(files: [%1])").arg(items.join(QStringLiteral(", ")));
    }
    case Kind::AuthenticationFailed:
        return QStringLiteral("authenticationFailed(message: %1)").arg(quoted(m_text));
    case Kind::GitNotInstalled:
        return QStringLiteral("gitNotInstalled");
    case Kind::NotARepository:
        return QStringLiteral("notARepository");
    case Kind::InvalidURL:
        return QStringLiteral("invalidURL");
    case Kind::NoRemoteRepository:
        return QStringLiteral("noRemoteRepository");
    case Kind::LaunchFailed:
        return QStringLiteral("launchFailed(reason: %1)").arg(quoted(m_text));
    }
    return {};
}

} // namespace quillon
