#include "agent/AgentExecutableLocator.h"
#include "agent/AgentProcessBridge.h"
#include "agent/AgentTestSupport.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QSet>

namespace quillon {
namespace {

class AgentEngineSettings : public ::testing::Test
{
protected:
    void SetUp() override { test::clearAgentSettings(); }
    void TearDown() override { test::clearAgentSettings(); }
    UserDefaults& defaults() { return UserDefaults::standard(); }
};

TEST_F(AgentEngineSettings, EmptyDefaultsGiveClaudeAndStoreAnEmptyPath)
{
    AgentProcessBridge bridge(nullptr);
    EXPECT_EQ(bridge.currentEngine(), SupportedAgentEngine::claudeCode());
    EXPECT_EQ(bridge.customBinaryPath(), QString());
    EXPECT_EQ(defaults().stringValue(QStringLiteral("agentCustomBinaryPath")), QString());
    EXPECT_FALSE(bridge.isProcessing());
    EXPECT_TRUE(bridge.messages().isEmpty());
}

TEST_F(AgentEngineSettings, StoredEngineIsRestored)
{
    struct Case
    {
        const char* raw;
        std::optional<QString> model;
        std::optional<QString> path;
        SupportedAgentEngine expected;
        QString displayName;
    };
    const Case cases[] = {
        { "aider", {}, {}, SupportedAgentEngine::aider(), QStringLiteral("Aider CLI") },
        { "Aider", {}, {}, SupportedAgentEngine::claudeCode(), QStringLiteral("Claude Code CLI") },
        { "ollama", {}, {}, SupportedAgentEngine::ollama(QStringLiteral("llama3")),
            QStringLiteral("Ollama (llama3)") },
        { "ollama", QString(), {}, SupportedAgentEngine::ollama(QString()),
            QStringLiteral("Ollama ()") },
        { "custom", {}, QStringLiteral("/opt/tools/agent"),
            SupportedAgentEngine::customCLI(QStringLiteral("/opt/tools/agent")),
            QStringLiteral("Custom CLI (agent)") },
        { "custom", {}, {}, SupportedAgentEngine::customCLI(QString()),
            QStringLiteral("Custom CLI ()") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.raw) + " " + c.displayName.toStdString());
        test::clearAgentSettings();
        defaults().setString(QStringLiteral("agentEngineRaw"), QString::fromLatin1(c.raw));
        if (c.model)
            defaults().setString(QStringLiteral("agentOllamaModel"), *c.model);
        if (c.path)
            defaults().setString(QStringLiteral("agentCustomBinaryPath"), *c.path);
        AgentProcessBridge bridge(nullptr);
        EXPECT_EQ(bridge.currentEngine(), c.expected);
        EXPECT_EQ(bridge.currentEngine().displayName(), c.displayName);
    }
    AgentProcessBridge bridge(nullptr);
    EXPECT_EQ(bridge.resolveExecutable(bridge.currentEngine()), std::nullopt);
}

TEST_F(AgentEngineSettings, SetEngineStoresWhatTheEngineNeeds)
{
    {
        AgentProcessBridge bridge(nullptr);
        int engineSignals = 0;
        QObject::connect(
            &bridge, &AgentProcessBridge::currentEngineChanged, [&] { ++engineSignals; });
        bridge.setEngine(SupportedAgentEngine::ollama(QStringLiteral("mistral")));
        bridge.setEngine(SupportedAgentEngine::claudeCode());
        EXPECT_EQ(engineSignals, 2);
        EXPECT_EQ(
            defaults().stringValue(QStringLiteral("agentEngineRaw")), QStringLiteral("claudeCode"));
        EXPECT_EQ(
            defaults().stringValue(QStringLiteral("agentOllamaModel")), QStringLiteral("mistral"));

        bridge.setCustomBinaryPath(QStringLiteral("/a/b"));
        EXPECT_EQ(bridge.currentEngine(), SupportedAgentEngine::claudeCode());
        bridge.setEngine(SupportedAgentEngine::customCLI(QStringLiteral("/c/d")));
        EXPECT_EQ(bridge.customBinaryPath(), QStringLiteral("/a/b"));
        EXPECT_EQ(defaults().stringValue(QStringLiteral("agentCustomBinaryPath")),
            QStringLiteral("/c/d"));
    }
    defaults().setString(QStringLiteral("agentEngineRaw"), QStringLiteral("ollama"));
    AgentProcessBridge restarted(nullptr);
    EXPECT_EQ(restarted.currentEngine(), SupportedAgentEngine::ollama(QStringLiteral("mistral")));
}

TEST(AgentExecutableLocator, CandidatesInOrderThenLookup)
{
    const QString home = QStringLiteral("/home/u");
    QSet<QString> present;
    QStringList lookedUp;
    auto exists = [&](const QString& path) { return present.contains(path); };
    auto which = [&](const QString& name) -> std::optional<QString> {
        lookedUp << name;
        return QStringLiteral("/found/") + name;
    };

    present = { QStringLiteral("/opt/homebrew/bin/aider"), QStringLiteral("/usr/local/bin/aider") };
    EXPECT_EQ(AgentExecutableLocator::resolve(SupportedAgentEngine::aider(), home, exists, which),
        QStringLiteral("/opt/homebrew/bin/aider"));
    present
        = { QStringLiteral("/opt/homebrew/bin/ollama"), QStringLiteral("/usr/local/bin/ollama") };
    EXPECT_EQ(AgentExecutableLocator::resolve(
                  SupportedAgentEngine::ollama(QStringLiteral("m")), home, exists, which),
        QStringLiteral("/usr/local/bin/ollama"));
    present = { QStringLiteral("/home/u/.local/bin/claude") };
    EXPECT_EQ(
        AgentExecutableLocator::resolve(SupportedAgentEngine::claudeCode(), home, exists, which),
        QStringLiteral("/home/u/.local/bin/claude"));
    EXPECT_TRUE(lookedUp.isEmpty());

    present.clear();
    EXPECT_EQ(
        AgentExecutableLocator::resolve(SupportedAgentEngine::claudeCode(), home, exists, which),
        QStringLiteral("/found/claude"));
    EXPECT_EQ(lookedUp, QStringList { QStringLiteral("claude") });

    lookedUp.clear();
    EXPECT_EQ(AgentExecutableLocator::resolve(
                  SupportedAgentEngine::customCLI(QStringLiteral("/x")), home, exists, which),
        std::nullopt);
    EXPECT_TRUE(lookedUp.isEmpty());
}

TEST(AgentExecutableLocator, RealLookup)
{
    test::TempTree tree;
    const QString folder = tree.mkdir(QStringLiteral("bin"));
    test::linkFakeAgent(folder, QStringLiteral("ollama"), QStringLiteral("fake-agent-report.sh"));
    test::ScopedEnv path(
        "PATH", (folder + QStringLiteral(":") + qEnvironmentVariable("PATH")).toUtf8());
    EXPECT_EQ(AgentExecutableLocator::which(QStringLiteral("ollama")),
        folder + QStringLiteral("/ollama"));
    EXPECT_EQ(AgentExecutableLocator::which(QStringLiteral("quillon-no-such-tool")), std::nullopt);
}

} // namespace
} // namespace quillon
