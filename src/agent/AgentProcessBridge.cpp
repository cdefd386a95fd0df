#include "agent/AgentProcessBridge.h"

#include "agent/AgentExecutableLocator.h"
#include "agent/AgentRun.h"
#include "agent/AgentSettings.h"
#include "platform/UserDefaults.h"
#include "workspace/WorkspaceState.h"

#include <QDir>

namespace quillon {

namespace {
const QString engineKey = AgentSettings::engine.key();
const QString ollamaModelKey = AgentSettings::ollamaModel.key();
const QString customPathKey = AgentSettings::customBinaryPath.key();
} // namespace

AgentProcessBridge::AgentProcessBridge(WorkspaceState* workspaceState, QObject* parent)
    : QObject(parent)
    , m_workspaceState(workspaceState)
{
    UserDefaults& defaults = UserDefaults::standard();
    setCustomBinaryPath(
        defaults.stringValue(customPathKey).value_or(AgentSettings::customBinaryPath.defaultValue));

    const QString raw
        = defaults.stringValue(engineKey).value_or(AgentSettings::engine.defaultValue);
    if (raw == QLatin1String("aider"))
        setCurrentEngine(SupportedAgentEngine::aider());
    else if (raw == QLatin1String("ollama"))
        setCurrentEngine(
            SupportedAgentEngine::ollama(defaults.stringValue(ollamaModelKey)
                                             .value_or(AgentSettings::ollamaModel.defaultValue)));
    else if (raw == QLatin1String("custom"))
        setCurrentEngine(SupportedAgentEngine::customCLI(m_customBinaryPath));
    else
        setCurrentEngine(SupportedAgentEngine::claudeCode());
}

AgentProcessBridge::~AgentProcessBridge()
{
    const QList<AgentRun*> runs = findChildren<AgentRun*>(Qt::FindDirectChildrenOnly);
    for (AgentRun* run : runs) {
        run->disconnect(this);
        delete run;
    }
}

WorkspaceState* AgentProcessBridge::workspaceState() const
{
    return m_workspaceState.data();
}

void AgentProcessBridge::setCustomBinaryPath(const QString& path)
{
    m_customBinaryPath = path;
    UserDefaults::standard().setString(customPathKey, path);
    Q_EMIT customBinaryPathChanged();
}

void AgentProcessBridge::setEngine(const SupportedAgentEngine& engine)
{
    setCurrentEngine(engine);
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setString(engineKey, engine.storedValue());
    if (engine.kind() == SupportedAgentEngine::Kind::ollama)
        defaults.setString(ollamaModelKey, engine.model());
    else if (engine.kind() == SupportedAgentEngine::Kind::customCLI)
        defaults.setString(customPathKey, engine.path());
}

std::optional<QString> AgentProcessBridge::resolveExecutable(
    const SupportedAgentEngine& engine) const
{
    // The settings invite a custom path when the engine's own tool is not found; an executable
    // there then runs with the chosen engine's arguments.
    if (engine.kind() != SupportedAgentEngine::Kind::customCLI
        && AgentExecutableLocator::isExecutableFile(m_customBinaryPath))
        return m_customBinaryPath;
    return AgentExecutableLocator::resolve(engine);
}

void AgentProcessBridge::setIsProcessing(bool processing)
{
    m_isProcessing = processing;
    Q_EMIT isProcessingChanged();
}

void AgentProcessBridge::setCurrentEngine(const SupportedAgentEngine& engine)
{
    m_currentEngine = engine;
    Q_EMIT currentEngineChanged();
}

int AgentProcessBridge::indexOfMessage(const QUuid& id) const
{
    for (int i = int(m_messages.size()) - 1; i >= 0; --i) {
        if (m_messages.at(i).id == id)
            return i;
    }
    return -1;
}

void AgentProcessBridge::appendMessage(const ChatMessage& message)
{
    m_messages.append(message);
    Q_EMIT messageUpdated(int(m_messages.size()) - 1);
    Q_EMIT messagesChanged();
}

void AgentProcessBridge::finishMessage(
    const QUuid& id, const std::optional<QString>& text, const ActionPillStatus& statusPill)
{
    const int index = indexOfMessage(id);
    if (index < 0)
        return;
    ChatMessage& message = m_messages[index];
    if (text)
        message.text = *text;
    message.actionPills = { statusPill };
    Q_EMIT messageUpdated(index);
    Q_EMIT messagesChanged();
}

QString AgentProcessBridge::defaultWorkingDirectory() const
{
    if (m_workspaceState && !m_workspaceState->folderURL().isEmpty())
        return m_workspaceState->folderURL();
    return QDir::tempPath();
}

} // namespace quillon
