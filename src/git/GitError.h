#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

// The failures of git operations, each with the text the user sees.
class GitError
{
public:
    enum class Kind {
        ProcessFailed,
        MergeConflict,
        AuthenticationFailed,
        GitNotInstalled,
        NotARepository,
        InvalidURL,
        NoRemoteRepository,
        // git could not be started at all (missing, not executable, no such working folder).
        LaunchFailed,
    };

    static GitError processFailed(int exitCode, const QString& stderrText);
    static GitError mergeConflict(const QStringList& files);
    // `gitOutput`: what git said when it was refused, for the log (the user sees `message`).
    static GitError authenticationFailed(const QString& message, const QString& gitOutput = {});
    static GitError gitNotInstalled() { return GitError(Kind::GitNotInstalled); }
    static GitError notARepository() { return GitError(Kind::NotARepository); }
    static GitError invalidURL() { return GitError(Kind::InvalidURL); }
    static GitError noRemoteRepository() { return GitError(Kind::NoRemoteRepository); }
    static GitError launchFailed(const QString& reason);

    // The message of an authentication failure during a sync.
    static QString invalidCredentialsMessage();

    Kind kind() const { return m_kind; }
    int exitCode() const { return m_exitCode; }
    QString stderrText() const { return m_text; }
    QString message() const { return m_text; }
    QStringList files() const { return m_files; }
    // git's own words behind an error whose description is ours; empty when there are none.
    QString gitOutput() const { return m_gitOutput; }

    // The user-visible description.
    QString description() const;
    // The case with its values, for log lines: processFailed(exitCode: 1, stderr: "...").
    QString debugDescription() const;

    bool operator==(const GitError&) const = default;

private:
    explicit GitError(Kind kind)
        : m_kind(kind)
    {
    }

    Kind m_kind;
    int m_exitCode = 0;
    QString m_text;
    QStringList m_files;
    QString m_gitOutput;
};

} // namespace quillon
