#include "agent/AgentRun.h"

#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace quillon {

AgentRun::AgentRun(Setup setup, QObject* parent)
    : QObject(parent)
    , m_setup(std::move(setup))
{
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        signalGroup(SIGKILL);
        disposeWhenDone();
    });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &AgentRun::readAvailable);
    connect(&m_process, &QProcess::started, this, [this] { m_pid = m_process.processId(); });
    connect(&m_process, &QProcess::finished, this, &AgentRun::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_finished = true;
        Q_EMIT failedToStart(m_process.errorString());
        deleteLater();
    });
}

AgentRun::~AgentRun()
{
    m_process.disconnect(this);
    const bool running = m_process.state() != QProcess::NotRunning;
    // Going away (the window closes): a short grace period, then nothing of the run survives,
    // including children of a stopped run still inside their grace period.
    if (running) {
        signalGroup(SIGTERM);
        m_process.waitForFinished(1000);
    }
    if ((running || m_killTimer.isActive()) && m_pid > 0)
        ::kill(-static_cast<pid_t>(m_pid), SIGKILL);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

void AgentRun::start()
{
    m_process.setProgram(m_setup.program);
    m_process.setArguments(m_setup.arguments);
    m_process.setWorkingDirectory(m_setup.workingDirectory);
    m_process.setProcessEnvironment(m_setup.environment);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A session of its own: the child leads a new process group that signals can address as a
    // whole, and it cannot reach the terminal the editor was started from.
    m_process.setChildProcessModifier([] { ::setsid(); });
    m_process.start();
    if (m_process.state() != QProcess::NotRunning)
        m_pid = m_process.processId();
}

void AgentRun::stop(int gracePeriodMs)
{
    if (m_pid <= 0)
        m_pid = m_process.processId();
    signalGroup(SIGTERM);
    m_killTimer.start(gracePeriodMs);
}

void AgentRun::readAvailable()
{
    const QByteArray bytes = m_process.readAllStandardOutput();
    if (bytes.isEmpty())
        return;
    const QString text = m_decoder.decode(bytes);
    if (!text.isEmpty())
        Q_EMIT output(text);
}

void AgentRun::onFinished()
{
    if (m_finished)
        return;
    m_finished = true;
    readAvailable();
    const QString rest = m_decoder.finish();
    if (!rest.isEmpty())
        Q_EMIT output(rest);
    // Children that ignored the termination request are still killed when the grace period
    // ends; when none is left there is nothing to wait for.
    if (m_killTimer.isActive() && !groupHasMembers())
        m_killTimer.stop();
    Q_EMIT ended();
    disposeWhenDone();
}

void AgentRun::disposeWhenDone()
{
    if (m_finished && !m_killTimer.isActive())
        deleteLater();
}

void AgentRun::signalGroup(int signalNumber)
{
    if (m_pid <= 0)
        return;
    const pid_t pid = static_cast<pid_t>(m_pid);
    if (::kill(-pid, signalNumber) == 0)
        return;
    // Before the child has made its own group, only the child itself can be reached.
    if (errno == ESRCH && !m_finished)
        ::kill(pid, signalNumber);
}

bool AgentRun::groupHasMembers() const
{
    return m_pid > 0 && ::kill(-static_cast<pid_t>(m_pid), 0) == 0;
}

} // namespace quillon
