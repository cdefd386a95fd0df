#pragma once

#include "agent/AgentProcessBridge.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillon::test {

inline QString agentScript(const QString& name)
{
    return QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/") + name;
}

// Sets (or, with nullopt, unsets) an environment variable for the scope of a test.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// Removes the stored agent settings so a new bridge starts from empty defaults.
void clearAgentSettings();

// Points a name (claude, aider, ollama) in folder at a fake agent script; returns the link path.
QString linkFakeAgent(const QString& folder, const QString& name, const QString& script);

QByteArray readFile(const QString& path);
// The arguments recorded by fake-agent-report.sh.
QStringList recordedArguments(const QString& recordDir);

// Gone means no such process, or a zombie nobody has reaped yet.
bool processGone(qint64 pid);

// The status pill titles of a message, in order.
QStringList pillTitles(const ChatMessage& message);

// Waits until the bridge's last run is over: not processing and the last message completed.
bool waitForRunEnd(const AgentProcessBridge& bridge, int timeoutMs = 10000);

} // namespace quillon::test
