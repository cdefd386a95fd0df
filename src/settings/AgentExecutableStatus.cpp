#include "settings/AgentExecutableStatus.h"

#include "agent/AgentExecutableLocator.h"
#include "agent/AgentProcessBridge.h"

#include <QFileInfo>

namespace quillon {

QString AgentExecutableStatus::text() const
{
    if (executable)
        return QStringLiteral("Binary Found: ") + *executable;
    return QStringLiteral("Not Found on PATH. Install CLI or set custom binary path below.");
}

AgentExecutableStatus AgentExecutableStatus::of(const AgentProcessBridge& bridge)
{
    AgentExecutableStatus status;
    status.executable = bridge.resolveExecutable(bridge.currentEngine());
    const QString custom = bridge.currentEngine().kind() == SupportedAgentEngine::Kind::customCLI
        ? bridge.currentEngine().path()
        : bridge.customBinaryPath();
    if (!custom.isEmpty() && status.executable != custom) {
        const QFileInfo info(custom);
        if (!info.exists())
            status.customPathProblem
                = QStringLiteral("Custom binary path does not exist: ") + custom;
        else if (!AgentExecutableLocator::isExecutableFile(custom))
            status.customPathProblem
                = QStringLiteral("Custom binary path is not an executable file: ") + custom;
    }
    return status;
}

AgentExecutableStatusWatcher::AgentExecutableStatusWatcher(
    const AgentProcessBridge& bridge, QObject* parent)
    : QObject(parent)
    , m_bridge(bridge)
{
    m_pathSettle.setSingleShot(true);
    m_pathSettle.setInterval(pathSettleMs);
    connect(&m_pathSettle, &QTimer::timeout, this, &AgentExecutableStatusWatcher::resolve);
    connect(&bridge, &AgentProcessBridge::currentEngineChanged, this, [this] {
        m_pathSettle.stop();
        resolve();
    });
    connect(&bridge, &AgentProcessBridge::customBinaryPathChanged, &m_pathSettle,
        qOverload<>(&QTimer::start));
    resolve();
}

void AgentExecutableStatusWatcher::resolve()
{
    ++m_resolveCount;
    m_status = AgentExecutableStatus::of(m_bridge);
    Q_EMIT statusChanged();
}

} // namespace quillon
