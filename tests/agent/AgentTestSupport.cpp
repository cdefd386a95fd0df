#include "agent/AgentTestSupport.h"

#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <QFileInfo>

namespace quillon::test {

void clearAgentSettings()
{
    UserDefaults& defaults = UserDefaults::standard();
    for (const char* key : { "agentEngineRaw", "agentOllamaModel", "agentCustomBinaryPath" })
        defaults.remove(QString::fromLatin1(key));
}

QString linkFakeAgent(const QString& folder, const QString& name, const QString& script)
{
    QDir().mkpath(folder);
    const QString link = QDir(folder).filePath(name);
    QFile::remove(link);
    QFile::link(agentScript(script), link);
    return link;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList recordedArguments(const QString& recordDir)
{
    QByteArray bytes = readFile(recordDir + QStringLiteral("/args"));
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    QStringList arguments;
    for (const QByteArray& piece : bytes.split('\0'))
        arguments << QString::fromUtf8(piece);
    return arguments;
}

bool processGone(qint64 pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.isEmpty())
        return true;
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() && stat.at(close + 2) == 'Z';
}

QStringList pillTitles(const ChatMessage& message)
{
    QStringList titles;
    for (const ActionPillStatus& pill : message.actionPills)
        titles << pill.title;
    return titles;
}

bool waitForRunEnd(const AgentProcessBridge& bridge, int timeoutMs)
{
    return waitUntil(
        [&] {
            if (bridge.isProcessing() || bridge.messages().isEmpty())
                return false;
            const QStringList titles = pillTitles(bridge.messages().constLast());
            return titles.size() == 1 && titles.first() != QLatin1String("Thinking...");
        },
        timeoutMs);
}

} // namespace quillon::test
