#pragma once

#include "agent/ChatMessage.h"
#include "agent/ContextPill.h"
#include "agent/SupportedAgentEngine.h"
#include "workspace/WorkspaceAgentBridge.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <optional>

namespace quillon {

class AgentRun;
class WorkspaceState;

// The assistant's link to the command-line agent: the transcript, the chosen engine and its
// settings, and one run at a time of the agent in the workspace folder. Lives on the main thread;
// owned by its WorkspaceState (attachAgentBridge()), and keeps only a weak link back to it.
class AgentProcessBridge : public QObject, public WorkspaceAgentBridge
{
    Q_OBJECT
    Q_PROPERTY(QList<quillon::ChatMessage> messages READ messages NOTIFY messagesChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(
        quillon::SupportedAgentEngine currentEngine READ currentEngine NOTIFY currentEngineChanged)
    Q_PROPERTY(QString customBinaryPath READ customBinaryPath WRITE setCustomBinaryPath NOTIFY
            customBinaryPathChanged)
public:
    // Restores the engine and the custom path from "agentEngineRaw", "agentOllamaModel" and
    // "agentCustomBinaryPath" in UserDefaults::standard().
    explicit AgentProcessBridge(WorkspaceState* workspaceState, QObject* parent = nullptr);
    // Stops a run still going: an agent must not go on editing files with no window.
    ~AgentProcessBridge() override;

    const QList<ChatMessage>& messages() const { return m_messages; }
    bool isProcessing() const override { return m_isProcessing; }
    SupportedAgentEngine currentEngine() const { return m_currentEngine; }
    QString customBinaryPath() const { return m_customBinaryPath; }
    // Stores the path under "agentCustomBinaryPath"; the current engine is not changed.
    void setCustomBinaryPath(const QString& path);
    WorkspaceState* workspaceState() const;

    // Selects the engine and stores it (and its model or path).
    void setEngine(const SupportedAgentEngine& engine);
    // The executable of the engine, or nullopt: the custom path when it names an executable file
    // (for every engine), else the engine's own. May run /usr/bin/which (bounded by a time-out).
    std::optional<QString> resolveExecutable(const SupportedAgentEngine& engine) const;

    // Appends the prompt and an assistant message and runs the current engine on the prompt
    // with the context attached, in workingDirectory (else the workspace folder, else the
    // temporary folder). A blank prompt is ignored. While a run is in progress, the prompt is
    // added to the transcript with a message saying it was not sent.
    void sendTask(const QString& prompt, const std::optional<ContextPill>& contextPill = {},
        const QString& workingDirectory = {});
    // Stops the current run and everything it started; the bridge is idle at once. The run's
    // message is completed when the agent has gone.
    void cancelTask() override;

    // How long what is left of a run (stopped, or after its agent ended) may take to end before
    // it is killed; applies to the runs started afterwards.
    int stopGracePeriodMs() const { return m_stopGracePeriodMs; }
    void setStopGracePeriodMs(int ms) { m_stopGracePeriodMs = ms; }

Q_SIGNALS:
    // Every change of the transcript; messageUpdated() also names the message that changed.
    void messagesChanged();
    void messageUpdated(int index);
    void isProcessingChanged();
    void currentEngineChanged();
    void customBinaryPathChanged();

private:
    void setIsProcessing(bool processing);
    void setCurrentEngine(const SupportedAgentEngine& engine);
    int indexOfMessage(const QUuid& id) const;
    void appendMessage(const ChatMessage& message);
    // Sets the run's message text and replaces its pills with the one status pill.
    void finishMessage(
        const QUuid& id, const std::optional<QString>& text, const ActionPillStatus& statusPill);
    void appendOutputChunk(const QString& chunk, const QUuid& messageID);
    QString defaultWorkingDirectory() const;
    void runEnded(AgentRun* run, const QUuid& messageID);
    void runFailedToStart(AgentRun* run, const QUuid& messageID, const QString& description);

    QList<ChatMessage> m_messages;
    bool m_isProcessing = false;
    SupportedAgentEngine m_currentEngine = SupportedAgentEngine::claudeCode();
    QString m_customBinaryPath;
    QPointer<WorkspaceState> m_workspaceState;
    QPointer<AgentRun> m_currentRun;
    int m_stopGracePeriodMs = 3000;
};

} // namespace quillon
