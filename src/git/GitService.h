#pragma once

#include "git/ConflictChoice.h"
#include "git/ConflictVersions.h"
#include "git/GitInvocation.h"
#include "git/GitResult.h"
#include "git/GitRunOwner.h"
#include "git/GitStatusResult.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThreadPool;

namespace quillon {

class GitJobQueue;

// The one place that runs the git command-line tool, and the repository operations built on it.
//
// The operations block until git has finished: call them from a job (`submit`), which runs on the
// serial queue of its repository folder, so no two git runs of one folder ever overlap. Folders
// are absolute paths; paths of conflicted files are relative to the repository root, as the
// status lists them.
class GitService
{
public:
    static GitService& shared();

    // ---- The runner ----------------------------------------------------------------------
    // The git program: /usr/bin/git, else `git` found on PATH; empty when there is none.
    QString gitExecutable() const;
    // Points the service at another program (tests); an empty path looks it up again.
    void setGitExecutable(const QString& path);
    bool isGitAvailable() const;
    // Runs git once: explicit program, argument list (no shell), working folder, the C locale,
    // no terminal prompts, literal pathspecs, standard input from the null device.
    GitRunResult run(const GitInvocation& invocation) const;
    // The settings that authorise a network command with a token: an extra HTTP header scoped
    // to the remote's https address. None for an empty token or a remote that is not https.
    static QList<QPair<QString, QString>> tokenConfig(
        const QString& token, const QString& remoteURL);
    // The time limit of runs that talk to a remote (fetch, push, clone): a remote that stops
    // answering must not hold the folder's queue forever. Ten minutes unless changed (tests);
    // a clone gets three times as long.
    int networkTimeoutMs() const;
    void setNetworkTimeoutMs(int milliseconds);

    // ---- Repository operations (blocking) ------------------------------------------------
    GitResult<void> initRepository(const QString& folder);
    void configureCredentialHelper(const QString& folder);
    bool hasRemote(const QString& folder);
    bool isGitRepository(const QString& folder);
    std::optional<QString> getRemoteURL(const QString& folder);
    // The status of the folder: of the whole repository when the folder is its root, else of the
    // folder's own files.
    GitResult<GitStatusResult> getStatus(const QString& folder);
    // Brings the index's record of file times and sizes up to date, so that later status runs
    // (which never write the index) need not read every file a bulk touch left with new times.
    // False when git could not, for one because another program holds the index lock.
    bool refreshIndex(const QString& folder);
    // Commits of the current branch that no branch of "origin" has (for branches without upstream).
    int unpushedCommitCount(const QString& folder);
    GitResult<void> fetch(const QString& folder, const std::optional<QString>& token);
    // Stages the folder's changes and commits them; "nothing to commit" is not a failure.
    GitResult<void> commitLocal(const QString& folder, const QString& message);
    GitResult<void> commitAndPush(
        const QString& folder, const QString& message, const std::optional<QString>& token);
    QString getCurrentBranch(const QString& folder);
    GitResult<void> performFullSync(const QString& folder, const std::optional<QString>& token);
    void stageDeletion(const QString& folder, const QString& targetPath);
    // A clone stops when `cancelled` becomes true; git then removes what it had written.
    GitResult<void> clone(const QString& repoURLString, const std::optional<QString>& token,
        const QString& destinationPath, std::shared_ptr<const std::atomic<bool>> cancelled = {});
    // The paths git still lists as unmerged, relative to the repository root, each once.
    GitResult<QStringList> unmergedPaths(const QString& folder);
    GitResult<ConflictVersions> getConflictDiff(const QString& folder, const QString& filePath);
    GitResult<void> resolveConflict(
        const QString& folder, const QString& filePath, ConflictChoice choice);
    GitResult<void> completeMerge(const QString& folder, const QString& message);
    // The token stored for the host of the folder's "origin", if any.
    std::optional<QString> tokenForRemote(const QString& folder);

    // ---- Jobs ----------------------------------------------------------------------------
    // Runs `job` on the folder's serial queue and hands its result to `done` on the main thread,
    // unless `receiver` is gone by then. Jobs of one coalescing key that are still waiting are
    // replaced by the newest. The git runs of the job belong to `owner`, when given: once the
    // owner is stopped, a job still waiting does not run, and no result is handed on.
    template <typename R>
    void submit(const QString& folder, QObject* receiver, std::function<R()> job,
        std::function<void(R)> done, const QString& coalesceKey = {},
        std::shared_ptr<GitRunOwner> owner = {})
    {
        QPointer<QObject> guard(receiver);
        enqueue(
            folder,
            [guard, owner, job = std::move(job), done = std::move(done)]() {
                if (owner && owner->isStopped())
                    return;
                std::optional<R> result;
                {
                    GitRunOwner::Scope scope(owner.get());
                    result.emplace(job());
                }
                if (owner && owner->isStopped())
                    return;
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [guard, done, value = std::move(*result)]() {
                        if (guard)
                            done(value);
                    },
                    Qt::QueuedConnection);
            },
            coalesceKey);
    }
    void enqueue(const QString& folder, std::function<void()> job, const QString& coalesceKey = {});
    // Jobs waiting or running for the folder.
    int pendingJobCount(const QString& folder) const;

private:
    GitService();
    GitRunResult runIn(const QString& folder, const QStringList& arguments,
        const QList<QPair<QString, QString>>& config = {}) const;
    // A run that talks to the remote, under the network time limit.
    GitRunResult runNetwork(const QString& folder, const QStringList& arguments,
        const QList<QPair<QString, QString>>& config) const;
    std::optional<QString> topLevel(const QString& folder);
    bool isRepositoryRoot(const QString& folder);
    // A merge stopped for conflicts and not yet committed.
    bool mergeInProgress(const QString& folder);
    GitError classifySyncFailure(const GitError& error, const QString& folder);

    mutable QMutex m_mutex;
    mutable QString m_gitExecutable;
    mutable bool m_executableResolved = false;
    std::atomic<int> m_networkTimeoutMs { 10 * 60 * 1000 };
    std::unique_ptr<QThreadPool> m_pool;
    QHash<QString, std::shared_ptr<GitJobQueue>> m_queues;
};

} // namespace quillon
