// quillon-agent-launcher GRACE_MS PROGRAM [ARGUMENT...]
//
// Runs one agent and makes sure nothing it started outlives it. The launcher is a child
// subreaper, so every process the agent leaves behind, even one that moved to a session of its
// own, becomes the launcher's child once its parent is gone and cannot slip away. When the agent
// ends, or the launcher is told to stop (SIGTERM), every descendant is asked to terminate and is
// killed if still there after GRACE_MS; SIGUSR1 kills them at once. The launcher exits last, with
// the agent's status, so "the run ended" means everything of it is gone.
//
// The agent's standard error goes to its standard output; the launcher's own standard error
// carries only the reason the agent could not be started (then the exit status is 127).
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kCannotStart = 127;

long long nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// Every living process below this one, found through each process's parent in /proc. Zombies
// are left out: they are gone already, only not yet collected.
std::vector<pid_t> descendants()
{
    std::multimap<pid_t, pid_t> children;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc)) {
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            if (pid <= 0 || *end != '\0')
                continue;
            std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
            std::string line;
            if (!std::getline(stat, line))
                continue;
            // "pid (name) state ppid ...": the name may hold blanks and parentheses.
            const std::size_t close = line.rfind(')');
            if (close == std::string::npos || close + 4 >= line.size())
                continue;
            const char state = line[close + 2];
            const long parent = std::strtol(line.c_str() + close + 4, nullptr, 10);
            if (state != 'Z' && state != 'X')
                children.emplace(pid_t(parent), pid_t(pid));
        }
        closedir(proc);
    }
    std::vector<pid_t> found;
    std::vector<pid_t> pending { getpid() };
    std::set<pid_t> seen;
    while (!pending.empty()) {
        const pid_t parent = pending.back();
        pending.pop_back();
        const auto [from, to] = children.equal_range(parent);
        for (auto it = from; it != to; ++it)
            if (seen.insert(it->second).second) {
                found.push_back(it->second);
                pending.push_back(it->second);
            }
    }
    return found;
}

void signalAll(const std::vector<pid_t>& pids, int signalNumber)
{
    for (const pid_t pid : pids)
        kill(pid, signalNumber);
}

struct Launcher
{
    pid_t agent = -1;
    int agentStatus = 0;
    bool agentEnded = false;
    bool killNow = false;
    sigset_t waitedFor {};

    // Collects every child that has ended; false once the launcher has no child left at all.
    bool reap()
    {
        for (;;) {
            int status = 0;
            const pid_t pid = waitpid(-1, &status, WNOHANG);
            if (pid == 0)
                return true;
            if (pid < 0)
                return errno != ECHILD;
            if (pid == agent) {
                agentEnded = true;
                agentStatus = status;
            }
        }
    }

    // Waits for a signal (a child ending, a stop, a kill) at most timeoutMs; -1 waits on.
    void waitForSignal(long long timeoutMs)
    {
        siginfo_t info {};
        int number;
        if (timeoutMs < 0) {
            number = sigwaitinfo(&waitedFor, &info);
        } else {
            const timespec timeout { time_t(timeoutMs / 1000), long(timeoutMs % 1000) * 1000000L };
            number = sigtimedwait(&waitedFor, &info, &timeout);
        }
        if (number == SIGUSR1)
            killNow = true;
    }

    // Asks everything left to terminate, then kills what is still there after graceMs (or at
    // once when told to), until no child is left.
    void endEverything(long long graceMs)
    {
        std::set<pid_t> asked;
        const long long deadline = nowMs() + graceMs;
        while (reap()) {
            const long long left = deadline - nowMs();
            if (killNow || left <= 0) {
                signalAll(descendants(), SIGKILL);
                waitForSignal(20);
                continue;
            }
            // Each process once, also one started while the others were being asked.
            for (const pid_t pid : descendants())
                if (asked.insert(pid).second)
                    kill(pid, SIGTERM);
            waitForSignal(std::min(left, 50LL));
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s GRACE_MS PROGRAM [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    const long long graceMs = std::max(0LL, std::atoll(argv[1]));

    const pid_t parent = getppid();
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    // The editor going away (even killed) counts as a stop.
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    Launcher launcher;
    sigemptyset(&launcher.waitedFor);
    for (const int number : { SIGCHLD, SIGTERM, SIGINT, SIGHUP, SIGUSR1 })
        sigaddset(&launcher.waitedFor, number);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &launcher.waitedFor, &previous);
    if (getppid() != parent)
        raise(SIGTERM);

    int startPipe[2];
    if (pipe2(startPipe, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "%s\n", std::strerror(errno));
        return kCannotStart;
    }
    launcher.agent = fork();
    if (launcher.agent < 0) {
        std::fprintf(stderr, "%s\n", std::strerror(errno));
        return kCannotStart;
    }
    if (launcher.agent == 0) {
        close(startPipe[0]);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        dup2(STDOUT_FILENO, STDERR_FILENO);
        execv(argv[2], argv + 2);
        const int error = errno;
        (void)!write(startPipe[1], &error, sizeof error);
        _exit(kCannotStart);
    }
    close(startPipe[1]);
    int startError = 0;
    ssize_t got;
    do
        got = read(startPipe[0], &startError, sizeof startError);
    while (got < 0 && errno == EINTR);
    close(startPipe[0]);
    if (got == sizeof startError) {
        waitpid(launcher.agent, nullptr, 0);
        std::fprintf(stderr, "%s\n", std::strerror(startError));
        return kCannotStart;
    }

    // Until the agent ends or a stop comes, only children ending are of interest.
    bool stopped = false;
    while (!stopped && launcher.reap() && !launcher.agentEnded) {
        siginfo_t info {};
        const int number = sigwaitinfo(&launcher.waitedFor, &info);
        stopped = number == SIGTERM || number == SIGINT || number == SIGHUP || number == SIGUSR1;
        launcher.killNow = number == SIGUSR1;
    }
    launcher.endEverything(graceMs);

    if (WIFEXITED(launcher.agentStatus))
        return WEXITSTATUS(launcher.agentStatus);
    if (WIFSIGNALED(launcher.agentStatus))
        return 128 + WTERMSIG(launcher.agentStatus);
    return 1;
}
