#include "agent/AgentIntegration.h"
#include "agent/AgentProcessBridge.h"
#include "agent/AgentTestSupport.h"
#include "support/ScriptedUserPrompts.h"
#include "support/TestSupport.h"
#include "workspace/Document.h"
#include "workspace/FileNode.h"
#include "workspace/WorkspaceState.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace quillon {
namespace {

class AgentWorkspaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prompts = &test::resetSharedState();
        tree.write(QStringLiteral("notes.md"), "original\n");
        workspace = std::make_unique<WorkspaceState>();
        bridge = &attachAgentBridge(*workspace);
        QCoreApplication::processEvents();
        workspace->setFolderURL(tree.path());
    }

    bool treeLists(const QString& name) const
    {
        const FileNode* root = workspace->rootNode();
        if (!root)
            return false;
        for (const FileNode* child : root->children()) {
            if (child->name() == name)
                return true;
        }
        return false;
    }

    test::TempTree tree;
    ScriptedUserPrompts* prompts = nullptr;
    std::unique_ptr<WorkspaceState> workspace;
    AgentProcessBridge* bridge = nullptr;
};

TEST_F(AgentWorkspaceTest, TheWorkspaceOwnsItsBridge)
{
    QPointer<AgentProcessBridge> watched(bridge);
    EXPECT_EQ(workspace->agentBridge(), bridge);
    EXPECT_EQ(bridge->workspaceState(), workspace.get());
    workspace.reset();
    EXPECT_TRUE(watched.isNull());
}

TEST_F(AgentWorkspaceTest, RunInTheFolderThenReloadDocumentsAndRefreshTheTree)
{
    const QString notes = tree.filePath(QStringLiteral("notes.md"));
    workspace->openFile(notes);
    ASSERT_EQ(workspace->currentFileContent(), QStringLiteral("original\n"));
    ASSERT_FALSE(treeLists(QStringLiteral("created.md")));

    // The end step refreshes the tree itself: the tree changes before control returns to the
    // event loop, so the directory watcher cannot be what rebuilt it.
    bool inEndStep = false;
    bool refreshedInEndStep = false;
    QString contentInEndStep;
    QObject::connect(bridge, &AgentProcessBridge::messagesChanged, [&] {
        if (test::pillTitles(bridge->messages().constLast())
            == QStringList { QStringLiteral("Task Completed") }) {
            inEndStep = true;
            QTimer::singleShot(0, [&] {
                inEndStep = false;
                contentInEndStep = workspace->currentFileContent();
            });
        }
    });
    QObject::connect(workspace.get(), &WorkspaceState::rootNodeChanged, [&] {
        if (inEndStep && treeLists(QStringLiteral("created.md")))
            refreshedInEndStep = true;
    });

    bridge->setEngine(
        SupportedAgentEngine::customCLI(test::agentScript(QStringLiteral("fake-agent-edit.sh"))));
    bridge->sendTask(QStringLiteral("edit my notes"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    ASSERT_TRUE(test::waitUntil([&] { return !contentInEndStep.isEmpty(); }));

    EXPECT_TRUE(refreshedInEndStep);
    EXPECT_EQ(contentInEndStep, QStringLiteral("changed by the agent\n"));
    EXPECT_EQ(workspace->currentFileContent(), QStringLiteral("changed by the agent\n"));
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(tree.read(QStringLiteral("notes.md")), QByteArray("changed by the agent\n"));
}

TEST_F(AgentWorkspaceTest, LocalEditsAreNotOverwrittenSilently)
{
    workspace->openFile(tree.filePath(QStringLiteral("notes.md")));
    workspace->setCurrentFileContent(QStringLiteral("my unsaved edit\n"));

    bridge->setEngine(
        SupportedAgentEngine::customCLI(test::agentScript(QStringLiteral("fake-agent-edit.sh"))));
    bridge->sendTask(QStringLiteral("edit my notes"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    QCoreApplication::processEvents();

    // Asked beside the text, not in a box a keystroke could answer; until the user chooses,
    // both versions survive.
    EXPECT_TRUE(prompts->alerts().isEmpty());
    ASSERT_NE(workspace->activeDocument(), nullptr);
    EXPECT_TRUE(workspace->activeDocument()->isDiskQuestionOpen());
    EXPECT_EQ(workspace->currentFileContent(), QStringLiteral("my unsaved edit\n"));
    EXPECT_EQ(tree.read(QStringLiteral("notes.md")), QByteArray("changed by the agent\n"));
}

TEST_F(AgentWorkspaceTest, ClosingTheWorkspaceTakesTheBridgeWithIt)
{
    bridge->setEngine(
        SupportedAgentEngine::customCLI(test::agentScript(QStringLiteral("fake-agent-slow.sh"))));
    bridge->sendTask(QStringLiteral("work"));
    ASSERT_TRUE(test::waitUntil(
        [&] { return bridge->messages().constLast().text.contains(QStringLiteral("working")); }));
    QPointer<AgentProcessBridge> watched(bridge);
    workspace.reset();
    EXPECT_TRUE(watched.isNull());
}

} // namespace
} // namespace quillon
