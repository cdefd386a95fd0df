#pragma once

#include "agent/AgentProcessBridge.h"
#include "agent/ui/AgentChatView.h"
#include "agent/ui/PromptField.h"
#include "analytics/AnalyticsEvent.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <memory>

namespace quillon::test {

inline QString fakeAgent(const QString& name)
{
    return QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/") + name;
}

// The panel over a real workspace and bridge, shown offscreen, with the events it reported.
struct PanelHarness
{
    TempTree tree;
    std::unique_ptr<WorkspaceState> workspace;
    std::unique_ptr<AgentProcessBridge> bridge;
    std::unique_ptr<AgentChatView> panel;
    QList<AnalyticsEvent> tracked;

    explicit PanelHarness(bool show = true)
    {
        for (const char* key : { "agentEngineRaw", "agentOllamaModel", "agentCustomBinaryPath" })
            UserDefaults::standard().remove(QString::fromLatin1(key));
        workspace = std::make_unique<WorkspaceState>();
        workspace->setFolderURL(tree.path());
        bridge = std::make_unique<AgentProcessBridge>(workspace.get());
        bridge->setStopGracePeriodMs(500);
        panel = std::make_unique<AgentChatView>(
            *bridge, *workspace, [this](const AnalyticsEvent& event) { tracked.append(event); });
        panel->resize(360, 640);
        if (show)
            this->show();
    }
    ~PanelHarness()
    {
        panel.reset();
        bridge.reset();
    }
    void show()
    {
        panel->show();
        QApplication::setActiveWindow(panel.get());
        panel->promptField()->setFocus();
        QApplication::processEvents();
    }
    void useAgent(const QString& script)
    {
        bridge->setEngine(SupportedAgentEngine::customCLI(fakeAgent(script)));
    }
    QString openDocument(const QString& name, const QString& text)
    {
        const QString path = tree.write(name, text.toUtf8());
        workspace->openFile(path);
        QApplication::processEvents();
        return path;
    }
    // Types into the prompt field as a user does; "\n" is Shift+Return.
    void type(const QString& text) const
    {
        PromptField* field = panel->promptField();
        for (QChar c : text) {
            if (c == QLatin1Char('\n')) {
                QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field, &press);
        }
        QApplication::processEvents();
    }
    void pressReturn() const
    {
        QTest::keyClick(panel->promptField(), Qt::Key_Return);
        QApplication::processEvents();
    }
    bool waitForIdle(int timeoutMs = 10000) const
    {
        return waitUntil(
            [this] {
                return !bridge->isProcessing() && !bridge->messages().isEmpty()
                    && bridge->messages().constLast().actionPills.size() == 1
                    && bridge->messages().constLast().actionPills.constFirst().title
                    != QStringLiteral("Thinking...");
            },
            timeoutMs);
    }
};

} // namespace quillon::test
