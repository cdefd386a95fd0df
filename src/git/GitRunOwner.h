#pragma once

#include <QList>
#include <QMutex>

#include <atomic>
#include <functional>

namespace quillon {

// The git runs made for one owner (the git orchestration of a workspace), so that the owner can
// end all of them when it goes away. Each run is a process group of its own: git together with
// the helpers it starts (remote-https, ssh, credential helpers), which outlive a git that alone
// is stopped.
//
// A job declares its owner with a Scope on the thread that runs it; the runner asks current().
class GitRunOwner
{
public:
    GitRunOwner() = default;
    GitRunOwner(const GitRunOwner&) = delete;
    GitRunOwner& operator=(const GitRunOwner&) = delete;

    // Runs made on this thread while the scope lasts belong to `owner` (may be null).
    class Scope
    {
    public:
        explicit Scope(GitRunOwner* owner);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        GitRunOwner* m_previous;
    };
    // The owner of runs made on this thread now; null outside any scope.
    static GitRunOwner* current();

    // Refuses runs from now on and ends every group still running: SIGTERM first, so that git
    // removes its lock files, then SIGKILL for what is left after `graceMs`. Returns when no
    // process of those groups is left, or after about twice `graceMs`.
    void stopAll(int graceMs = 1000);
    bool isStopped() const { return m_stopped.load(); }
    // The process groups running now (the ids of their leaders).
    QList<qint64> runningGroups() const;

    // For the runner. Calls `start`, which launches git and returns its process id (0 when git
    // could not be started), and records the group, all under the lock that stopAll takes, so a
    // run either is seen by stopAll or sees that it was called. False, without calling `start`,
    // once the owner is stopped.
    bool launch(const std::function<qint64()>& start);
    // The run whose group it is has ended.
    void finished(qint64 group);

    // True while a process of the group is alive (a zombie that only waits to be reaped is not).
    static bool groupAlive(qint64 group);

private:
    mutable QMutex m_mutex;
    std::atomic<bool> m_stopped { false };
    QList<qint64> m_groups;
};

} // namespace quillon
