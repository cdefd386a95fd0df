#include "agent/AgentProcessBridge.h"

#include "agent/AgentCommandLine.h"
#include "agent/AgentOutputRules.h"
#include "agent/AgentRun.h"
#include "workspace/WorkspaceState.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace quillon {

void AgentProcessBridge::sendTask(const QString& prompt,
    const std::optional<ContextPill>& contextPill, const QString& workingDirectory)
{
    if (prompt.trimmed().isEmpty())
        return;

    appendMessage(ChatMessage::make(MessageSender::user, prompt, {}, contextPill));

    if (m_isProcessing) {
        // The earlier run keeps its message and state; this prompt stays readable above the
        // reason it was not sent, so nothing the user wrote is lost.
        appendMessage(ChatMessage::make(MessageSender::assistant,
            QStringLiteral("⚠️ The agent is still working on the previous prompt. Wait for it "
                           "to finish or stop it, then send this prompt again."),
            { ActionPillStatus::notSent() }));
        return;
    }

    const ChatMessage placeholder
        = ChatMessage::make(MessageSender::assistant, QString(), { ActionPillStatus::thinking() });
    const QUuid messageID = placeholder.id;
    appendMessage(placeholder);
    setIsProcessing(true);
    // The agent reads and edits the files: it must find everything the user typed in them.
    if (WorkspaceState* workspace = m_workspaceState.data())
        workspace->flushPendingWrites();

    const SupportedAgentEngine engine = m_currentEngine;
    const std::optional<QString> executable = resolveExecutable(engine);
    if (!executable) {
        finishMessage(messageID,
            QStringLiteral("⚠️ Executable for ") + m_currentEngine.displayName()
                + QStringLiteral(" not found on PATH. Please check installation or "
                                 "specify custom binary path in Settings."),
            ActionPillStatus::cliToolNotFound());
        setIsProcessing(false);
        return;
    }

    const AgentCommandLine::Arguments arguments = AgentCommandLine::arguments(
        engine, AgentCommandLine::composeFullPrompt(prompt, contextPill));
    if (!arguments.ok()) {
        finishMessage(messageID, arguments.refusal, ActionPillStatus::notSent());
        setIsProcessing(false);
        return;
    }

    AgentRun::Setup setup;
    // A relative path would otherwise be looked up on PATH instead of where it was found.
    setup.program = QFileInfo(*executable).absoluteFilePath();
    setup.arguments = arguments.arguments;
    setup.workingDirectory
        = workingDirectory.isEmpty() ? defaultWorkingDirectory() : workingDirectory;
    setup.environment
        = AgentCommandLine::environment(QProcessEnvironment::systemEnvironment(), QDir::homePath());
    setup.gracePeriodMs = m_stopGracePeriodMs;

    auto* run = new AgentRun(std::move(setup), this);
    connect(run, &AgentRun::output, this,
        [this, messageID](const QString& text) { appendOutputChunk(text, messageID); });
    connect(run, &AgentRun::ended, this, [this, run, messageID] { runEnded(run, messageID); });
    connect(
        run, &AgentRun::failedToStart, this, [this, run, messageID](const QString& description) {
            runFailedToStart(run, messageID, description);
        });
    m_currentRun = run;
    run->start();
}

void AgentProcessBridge::cancelTask()
{
    if (m_currentRun)
        m_currentRun->stop();
    m_currentRun = nullptr;
    setIsProcessing(false);
}

void AgentProcessBridge::appendOutputChunk(const QString& chunk, const QUuid& messageID)
{
    const int index = indexOfMessage(messageID);
    if (index < 0)
        return;
    AgentOutputRules::appendOutputChunk(m_messages[index], chunk);
    Q_EMIT messageUpdated(index);
    Q_EMIT messagesChanged();
}

void AgentProcessBridge::runEnded(AgentRun* run, const QUuid& messageID)
{
    // A run stopped earlier may end while a newer one is going: it only closes its own message.
    if (m_currentRun == run) {
        m_currentRun = nullptr;
        setIsProcessing(false);
    }
    finishMessage(messageID, std::nullopt, ActionPillStatus::taskCompleted());
    if (WorkspaceState* workspace = m_workspaceState.data()) {
        workspace->reloadOpenDocumentsFromDisk();
        if (m_workspaceState)
            m_workspaceState->refreshFolder();
    }
}

void AgentProcessBridge::runFailedToStart(
    AgentRun* run, const QUuid& messageID, const QString& description)
{
    if (m_currentRun == run) {
        m_currentRun = nullptr;
        setIsProcessing(false);
    }
    finishMessage(messageID, QStringLiteral("Error launching process: ") + description,
        ActionPillStatus::processError());
}

} // namespace quillon
