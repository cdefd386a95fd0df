#pragma once

#include "agent/Utf8StreamDecoder.h"

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace quillon {

// One child process of the agent, in a session (and process group) of its own so that stopping
// it also ends everything it started. Its standard output and standard error are read as one
// UTF-8 stream on the main thread; standard input is the null device.
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
    };

    explicit AgentRun(Setup setup, QObject* parent = nullptr);
    // Ends a child still running and everything it started: the group is asked to terminate,
    // given a second, then killed.
    ~AgentRun() override;

    // Emits output() for each decoded piece, then exactly one of ended() or failedToStart().
    // The run deletes itself once the child is gone and no stop is pending.
    void start();
    // Asks the whole group to terminate and kills it if it has not gone after gracePeriodMs.
    void stop(int gracePeriodMs);

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_pid; }

Q_SIGNALS:
    void output(const QString& text);
    // The agent exited (whatever its status) and all of its output has been emitted.
    void ended();
    void failedToStart(const QString& description);

private:
    void readAvailable();
    void onFinished();
    void signalGroup(int signalNumber);
    void disposeWhenDone();
    bool groupHasMembers() const;

    Setup m_setup;
    QProcess m_process;
    Utf8StreamDecoder m_decoder;
    QTimer m_killTimer;
    qint64 m_pid = 0;
    bool m_finished = false;
};

} // namespace quillon
