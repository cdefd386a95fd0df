#pragma once

#include "agent/Utf8StreamDecoder.h"

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace quillon {

// One run of the agent, started through the agent launcher (a child subreaper in a session of its
// own) so that nothing the agent starts can outlive the run: the launcher ends whatever is left
// when the agent ends or the run is stopped, and only then exits. The agent's standard output and
// standard error are read as one UTF-8 stream on the main thread; standard input is the null
// device.
class AgentRun : public QObject
{
    Q_OBJECT
public:
    struct Setup
    {
        QString program;
        QStringList arguments;
        QString workingDirectory;
        QProcessEnvironment environment;
        // How long what is left of a run may take to end once asked, before it is killed.
        int gracePeriodMs = 3000;
    };

    // The launcher program: next to the running program when installed, else where it was built.
    static QString launcherPath();

    explicit AgentRun(Setup setup, QObject* parent = nullptr);
    // Ends at once everything of a run still going: the launcher is told to kill it all and is
    // given a second to do so before its whole group is killed.
    ~AgentRun() override;

    // Emits output() for each decoded piece, then exactly one of ended() or failedToStart().
    // The run deletes itself once it has ended.
    void start();
    // Asks everything of the run to terminate; what is still there after the grace period is
    // killed. ended() follows once all of it is gone.
    void stop();

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_pid; }

Q_SIGNALS:
    void output(const QString& text);
    // The agent exited (whatever its status), everything it started is gone, and all of its
    // output has been emitted.
    void ended();
    void failedToStart(const QString& description);

private:
    void readAvailable();
    void onFinished();
    void signalLauncher(int signalNumber);

    Setup m_setup;
    QProcess m_process;
    Utf8StreamDecoder m_decoder;
    // Kills the launcher's group should the launcher itself not end in time.
    QTimer m_killTimer;
    qint64 m_pid = 0;
    bool m_finished = false;
};

} // namespace quillon
