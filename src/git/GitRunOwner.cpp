#include "git/GitRunOwner.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

namespace quillon {

namespace {

thread_local GitRunOwner* t_current = nullptr;

// Waits until none of `groups` has a live process, or until the deadline.
bool waitForGroupsToEnd(const QList<qint64>& groups, QDeadlineTimer deadline)
{
    for (;;) {
        bool anyAlive = false;
        for (const qint64 group : groups)
            anyAlive = anyAlive || GitRunOwner::groupAlive(group);
        if (!anyAlive)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
}

} // namespace

GitRunOwner::Scope::Scope(GitRunOwner* owner)
    : m_previous(t_current)
{
    t_current = owner;
}

GitRunOwner::Scope::~Scope()
{
    t_current = m_previous;
}

GitRunOwner* GitRunOwner::current()
{
    return t_current;
}

bool GitRunOwner::launch(const std::function<qint64()>& start)
{
    QMutexLocker lock(&m_mutex);
    if (m_stopped.load())
        return false;
    const qint64 group = start();
    if (group > 0)
        m_groups.append(group);
    return true;
}

void GitRunOwner::finished(qint64 group)
{
    QMutexLocker lock(&m_mutex);
    m_groups.removeOne(group);
}

QList<qint64> GitRunOwner::runningGroups() const
{
    QMutexLocker lock(&m_mutex);
    return m_groups;
}

void GitRunOwner::stopAll(int graceMs)
{
    QList<qint64> groups;
    {
        QMutexLocker lock(&m_mutex);
        m_stopped.store(true);
        groups = m_groups;
    }
    if (groups.isEmpty())
        return;
    for (const qint64 group : std::as_const(groups))
        ::kill(-pid_t(group), SIGTERM);
    if (waitForGroupsToEnd(groups, QDeadlineTimer(graceMs)))
        return;
    for (const qint64 group : std::as_const(groups))
        ::kill(-pid_t(group), SIGKILL);
    waitForGroupsToEnd(groups, QDeadlineTimer(graceMs));
}

bool GitRunOwner::groupAlive(qint64 group)
{
    if (group <= 0)
        return false;
    if (::kill(-pid_t(group), 0) != 0 && errno == ESRCH)
        return false;
#ifdef Q_OS_LINUX
    // The group still has members, but killed helpers whose parent died before them stay zombies
    // until init reaps them: only a process that still runs counts.
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return true;
    bool alive = false;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        FILE* file = std::fopen(path, "re");
        if (!file)
            continue;
        char buffer[1024];
        const size_t size = std::fread(buffer, 1, sizeof buffer - 1, file);
        std::fclose(file);
        buffer[size] = '\0';
        // "pid (comm) state ppid pgrp ...": comm may hold spaces and parentheses.
        const char* close = std::strrchr(buffer, ')');
        char state = 0;
        long ppid = 0;
        long pgrp = 0;
        if (!close || std::sscanf(close + 1, " %c %ld %ld", &state, &ppid, &pgrp) != 3)
            continue;
        if (pgrp == group && state != 'Z' && state != 'X') {
            alive = true;
            break;
        }
    }
    ::closedir(proc);
    return alive;
#else
    return true;
#endif
}

} // namespace quillon
