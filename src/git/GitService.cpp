#include "git/GitService.h"

#include "git/GitJobQueue.h"
#include "git/GitRunOwner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>

#include <signal.h>
#include <unistd.h>

namespace quillon {

GitError GitRunResult::error() const
{
    if (!started)
        return GitError::launchFailed(launchError);
    return GitError::processFailed(exitCode, QString::fromUtf8(standardError));
}

GitService& GitService::shared()
{
    // Never destroyed: jobs may still be running on pool threads while the program exits.
    static GitService* service = new GitService;
    return *service;
}

GitService::GitService()
    : m_pool(std::make_unique<QThreadPool>())
{
    m_pool->setMaxThreadCount(64);
}

QString GitService::gitExecutable() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_executableResolved) {
        const QFileInfo standard(QStringLiteral("/usr/bin/git"));
        m_gitExecutable = standard.isExecutable()
            ? standard.filePath()
            : QStandardPaths::findExecutable(QStringLiteral("git"));
        // Not found: look again next time, so git installed while the program runs is seen.
        m_executableResolved = !m_gitExecutable.isEmpty();
    }
    return m_gitExecutable;
}

void GitService::setGitExecutable(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_gitExecutable = path;
    m_executableResolved = !path.isEmpty();
}

bool GitService::isGitAvailable() const
{
    const QString program = gitExecutable();
    return !program.isEmpty() && QFileInfo(program).isExecutable();
}

namespace {

QProcessEnvironment environmentFor(const GitInvocation& invocation)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A repository named by the program's own environment would redirect every run.
    for (const char* name : { "GIT_DIR", "GIT_WORK_TREE", "GIT_INDEX_FILE", "GIT_PREFIX",
             "GIT_OBJECT_DIRECTORY", "GIT_COMMON_DIR" })
        env.remove(QString::fromLatin1(name));
    // Messages are classified by their English text.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    // Paths from the user are never glob patterns or pathspec magic.
    env.insert(QStringLiteral("GIT_LITERAL_PATHSPECS"),
        invocation.pathspecMagic ? QStringLiteral("0") : QStringLiteral("1"));
    // Nothing may wait for an editor: there is no one to type into it.
    env.insert(QStringLiteral("GIT_EDITOR"), QStringLiteral(":"));
    env.insert(QStringLiteral("GIT_MERGE_AUTOEDIT"), QStringLiteral("no"));
    if (invocation.noOptionalLocks)
        env.insert(QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0"));
    if (!invocation.config.isEmpty()) {
        bool ok = false;
        int count = env.value(QStringLiteral("GIT_CONFIG_COUNT")).toInt(&ok);
        if (!ok || count < 0)
            count = 0;
        for (const auto& [key, value] : invocation.config) {
            env.insert(QStringLiteral("GIT_CONFIG_KEY_%1").arg(count), key);
            env.insert(QStringLiteral("GIT_CONFIG_VALUE_%1").arg(count), value);
            ++count;
        }
        env.insert(QStringLiteral("GIT_CONFIG_COUNT"), QString::number(count));
    }
    return env;
}

QString timeoutMessage(const GitInvocation& invocation)
{
    const int seconds = (invocation.timeoutMs + 999) / 1000;
    const QString span = seconds % 60 == 0
        ? QStringLiteral("%1 minute%2")
              .arg(seconds / 60)
              .arg(seconds == 60 ? QString() : QStringLiteral("s"))
        : QStringLiteral("%1 second%2")
              .arg(seconds)
              .arg(seconds == 1 ? QString() : QStringLiteral("s"));
    return QStringLiteral("git %1 did not finish within %2 and was stopped. "
                          "Check the network connection and try again.\n")
        .arg(invocation.arguments.value(0), span);
}

// Waits for git to end, but no longer than the run's time limit and only until the user
// cancels it. False when git is still running.
bool waitUntilFinishedOrStopped(QProcess& process, const GitInvocation& invocation)
{
    if (!invocation.cancelled)
        return process.waitForFinished(invocation.timeoutMs > 0 ? invocation.timeoutMs : -1);
    QElapsedTimer clock;
    clock.start();
    constexpr int kSliceMs = 100;
    while (!invocation.cancelled->load()) {
        int slice = kSliceMs;
        if (invocation.timeoutMs > 0) {
            const qint64 left = invocation.timeoutMs - clock.elapsed();
            if (left <= 0)
                return false;
            slice = int(std::min<qint64>(left, kSliceMs));
        }
        if (process.waitForFinished(slice) || process.state() == QProcess::NotRunning)
            return true;
    }
    return false;
}

} // namespace

GitRunResult GitService::run(const GitInvocation& invocation) const
{
    GitRunResult result;
    const QString program = gitExecutable();
    if (program.isEmpty()) {
        result.launchError = GitError::gitNotInstalled().description();
        return result;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(invocation.arguments);
    if (!invocation.workingDirectory.isEmpty())
        process.setWorkingDirectory(invocation.workingDirectory);
    process.setProcessEnvironment(environmentFor(invocation));
    process.setStandardInputFile(QProcess::nullDevice());
    // Without a controlling terminal, ssh and credential helpers cannot stop to ask for input.
    process.setChildProcessModifier([] { ::setsid(); });
    // A run made for an owner is recorded as it starts, so that the owner can end it (and its
    // helpers) when it goes away; once the owner has gone, nothing more is started for it.
    GitRunOwner* owner = GitRunOwner::current();
    qint64 group = 0;
    const auto start = [&process, &group]() -> qint64 {
        process.start();
        if (process.waitForStarted(-1))
            group = process.processId();
        return group;
    };
    if (owner && !owner->launch(start)) {
        result.launchError = QStringLiteral("Stopped.");
        result.cancelled = true;
        return result;
    }
    if (!owner)
        start();
    if (group <= 0) {
        result.launchError = process.errorString();
        return result;
    }
    struct Unrecord
    {
        GitRunOwner* owner;
        qint64 group;
        ~Unrecord()
        {
            if (owner)
                owner->finished(group);
        }
    } unrecord { owner, group };
    result.started = true;
    // waitForFinished drains both pipes while git runs, so large outputs cannot block it.
    const bool stopped = !waitUntilFinishedOrStopped(process, invocation);
    result.cancelled
        = (invocation.cancelled && invocation.cancelled->load()) || (owner && owner->isStopped());
    if (stopped && process.state() != QProcess::NotRunning) {
        // git runs in its own process group (setsid above): stop its helpers (remote-https,
        // ssh) with it, or they would keep the connection and the pipes open. A terminated
        // clone removes its half-made folder; a group that ignores that is killed.
        const qint64 pid = process.processId();
        if (pid > 0)
            ::kill(-pid_t(pid), SIGTERM);
        if (!process.waitForFinished(5000) && pid > 0)
            ::kill(-pid_t(pid), SIGKILL);
        process.waitForFinished(-1);
        result.timedOut = true;
        result.exitCode = -1;
        result.standardOutput = process.readAllStandardOutput();
        result.standardError = result.cancelled ? QByteArrayLiteral("Cancelled.\n")
                                                : timeoutMessage(invocation).toUtf8();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

GitRunResult GitService::runIn(const QString& folder, const QStringList& arguments,
    const QList<QPair<QString, QString>>& config) const
{
    GitInvocation invocation;
    invocation.arguments = arguments;
    invocation.workingDirectory = folder;
    invocation.config = config;
    return run(invocation);
}

GitRunResult GitService::runNetwork(const QString& folder, const QStringList& arguments,
    const QList<QPair<QString, QString>>& config) const
{
    GitInvocation invocation;
    invocation.arguments = arguments;
    invocation.workingDirectory = folder;
    invocation.config = config;
    invocation.timeoutMs = networkTimeoutMs();
    return run(invocation);
}

int GitService::networkTimeoutMs() const
{
    return m_networkTimeoutMs.load();
}

void GitService::setNetworkTimeoutMs(int milliseconds)
{
    m_networkTimeoutMs.store(milliseconds);
}

QList<QPair<QString, QString>> GitService::tokenConfig(
    const QString& token, const QString& remoteURL)
{
    if (token.isEmpty())
        return {};
    const QUrl remote(remoteURL.trimmed(), QUrl::StrictMode);
    if (!remote.isValid() || remote.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive)
        || remote.host().isEmpty())
        return {};
    QUrl scope;
    scope.setScheme(QStringLiteral("https"));
    scope.setHost(remote.host());
    scope.setPort(remote.port());
    scope.setPath(QStringLiteral("/"));
    const QByteArray credentials = (QStringLiteral("x-access-token:") + token).toUtf8().toBase64();
    return { { QStringLiteral("http.%1.extraHeader").arg(scope.toString(QUrl::FullyEncoded)),
        QStringLiteral("Authorization: Basic ") + QString::fromLatin1(credentials) } };
}

void GitService::enqueue(
    const QString& folder, std::function<void()> job, const QString& coalesceKey)
{
    const QString key = QDir::cleanPath(folder);
    std::shared_ptr<GitJobQueue> queue;
    {
        QMutexLocker lock(&m_mutex);
        auto& slot = m_queues[key];
        if (!slot)
            slot = std::make_shared<GitJobQueue>(m_pool.get());
        queue = slot;
    }
    queue->enqueue(std::move(job), coalesceKey);
}

int GitService::pendingJobCount(const QString& folder) const
{
    QMutexLocker lock(&m_mutex);
    const auto queue = m_queues.value(QDir::cleanPath(folder));
    return queue ? queue->pendingCount() : 0;
}

} // namespace quillon
