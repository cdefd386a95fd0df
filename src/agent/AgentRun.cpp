#include "agent/AgentRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace quillon {

namespace {

// The launcher's exit status when the agent itself could not be started; its standard error
// then holds the reason.
constexpr int kCannotStart = 127;
// How long the launcher may take beyond the grace period before its group is killed outright.
constexpr int kLauncherMarginMs = 2000;

} // namespace

QString AgentRun::launcherPath()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString name = QStringLiteral(QUILLON_AGENT_LAUNCHER_NAME);
    for (const QString& candidate : { programFolder.filePath(name),
             programFolder.filePath(QStringLiteral(QUILLON_AGENT_LAUNCHER_LIBEXEC "/") + name) }) {
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    }
    return QStringLiteral(QUILLON_AGENT_LAUNCHER_BUILT);
}

AgentRun::AgentRun(Setup setup, QObject* parent)
    : QObject(parent)
    , m_setup(std::move(setup))
{
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        if (m_pid > 0)
            ::kill(-static_cast<pid_t>(m_pid), SIGKILL);
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
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Going away (the window closes): no grace period, and nothing of the run survives.
    signalLauncher(SIGUSR1);
    if (!m_process.waitForFinished(1000) && m_pid > 0)
        ::kill(-static_cast<pid_t>(m_pid), SIGKILL);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

void AgentRun::start()
{
    m_process.setProgram(launcherPath());
    m_process.setArguments(
        QStringList { QString::number(std::max(m_setup.gracePeriodMs, 0)), m_setup.program }
        + m_setup.arguments);
    m_process.setWorkingDirectory(m_setup.workingDirectory);
    m_process.setProcessEnvironment(m_setup.environment);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // A session of its own: the run cannot reach the terminal the editor was started from, and
    // its process group can be killed as a whole should the launcher fail.
    m_process.setChildProcessModifier([] { ::setsid(); });
    m_process.start();
    if (m_process.state() != QProcess::NotRunning)
        m_pid = m_process.processId();
}

void AgentRun::stop()
{
    if (m_finished || m_killTimer.isActive())
        return;
    if (m_pid <= 0)
        m_pid = m_process.processId();
    signalLauncher(SIGTERM);
    m_killTimer.start(std::max(m_setup.gracePeriodMs, 0) + kLauncherMarginMs);
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
    m_killTimer.stop();
    readAvailable();
    const QString rest = m_decoder.finish();
    if (!rest.isEmpty())
        Q_EMIT output(rest);
    const QString launchError = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
    if (m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == kCannotStart
        && !launchError.isEmpty())
        Q_EMIT failedToStart(launchError);
    else
        Q_EMIT ended();
    deleteLater();
}

void AgentRun::signalLauncher(int signalNumber)
{
    if (m_pid > 0)
        ::kill(static_cast<pid_t>(m_pid), signalNumber);
}

} // namespace quillon
