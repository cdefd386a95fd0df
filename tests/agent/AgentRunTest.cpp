#include "agent/AgentProcessBridge.h"
#include "agent/AgentTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>

#include <csignal>

namespace quillon {
namespace {

using test::pillTitles;

class AgentRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::clearAgentSettings();
        recordDir = tree.mkdir(QStringLiteral("record"));
        record = std::make_unique<test::ScopedEnv>("FAKE_AGENT_RECORD_DIR", recordDir.toUtf8());
        bridge = std::make_unique<AgentProcessBridge>(nullptr);
        bridge->setStopGracePeriodMs(500);
    }
    void TearDown() override
    {
        bridge.reset();
        test::clearAgentSettings();
    }

    void useScript(const QString& script)
    {
        bridge->setEngine(SupportedAgentEngine::customCLI(test::agentScript(script)));
    }
    const ChatMessage& last() const { return bridge->messages().constLast(); }
    QString recorded(const QString& name) const
    {
        return QString::fromUtf8(test::readFile(recordDir + QLatin1Char('/') + name)).trimmed();
    }

    test::TempTree tree;
    QString recordDir;
    std::unique_ptr<test::ScopedEnv> record;
    std::unique_ptr<AgentProcessBridge> bridge;
};

TEST_F(AgentRunTest, EachEngineGetsItsArgumentsFolderAndEnvironment)
{
    for (const char* taken : { "/usr/local/bin/claude", "/usr/local/bin/aider",
             "/usr/local/bin/ollama", "/opt/homebrew/bin/claude" }) {
        if (QFileInfo::exists(QString::fromLatin1(taken)))
            GTEST_SKIP() << taken << " exists on this machine";
    }
    const QString home = QDir::homePath();
    const QString localBin = home + QStringLiteral("/.local/bin");
    test::linkFakeAgent(localBin, QStringLiteral("claude"), QStringLiteral("fake-agent-report.sh"));
    test::linkFakeAgent(localBin, QStringLiteral("aider"), QStringLiteral("fake-agent-report.sh"));
    const QString pathBin = tree.mkdir(QStringLiteral("bin"));
    test::linkFakeAgent(pathBin, QStringLiteral("ollama"), QStringLiteral("fake-agent-report.sh"));
    const QString inheritedPath = pathBin + QStringLiteral(":") + qEnvironmentVariable("PATH");
    test::ScopedEnv path("PATH", inheritedPath.toUtf8());
    test::ScopedEnv mark("FAKE_AGENT_MARK", QByteArray("passed through"));

    const QString folder = tree.mkdir(QStringLiteral("work space"));
    const ContextPill context = ContextPill::make(
        folder + QStringLiteral("/n.md"), QStringLiteral("n.md"), QStringLiteral("# N"));
    const QString prompt = QStringLiteral(" tidy \"it\" $HOME `x`");
    const QString full
        = prompt + QStringLiteral("\n\n--- Attached Context (n.md) ---\n# N\n--- End Context ---");

    struct Case
    {
        SupportedAgentEngine engine;
        QStringList arguments;
    };
    const Case cases[] = {
        { SupportedAgentEngine::claudeCode(), { QStringLiteral("--print"), full } },
        { SupportedAgentEngine::aider(),
            { QStringLiteral("--message"), full, QStringLiteral("--yes-always") } },
        { SupportedAgentEngine::ollama(QStringLiteral("mistral")),
            { QStringLiteral("run"), QStringLiteral("mistral"), full } },
        { SupportedAgentEngine::customCLI(
              test::agentScript(QStringLiteral("fake-agent-report.sh"))),
            { full } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.engine.displayName().toStdString());
        QFile::remove(recordDir + QStringLiteral("/args"));
        bridge->setEngine(c.engine);
        bridge->sendTask(prompt, context, folder);
        EXPECT_TRUE(bridge->isProcessing());
        ASSERT_TRUE(test::waitForRunEnd(*bridge));

        EXPECT_EQ(test::recordedArguments(recordDir), c.arguments);
        EXPECT_EQ(recorded(QStringLiteral("cwd")), folder);
        EXPECT_EQ(recorded(QStringLiteral("path")),
            QStringLiteral("/opt/homebrew/bin:/usr/local/bin:") + localBin + QStringLiteral(":")
                + inheritedPath);
        EXPECT_EQ(recorded(QStringLiteral("mark")), QStringLiteral("passed through"));
        EXPECT_EQ(recorded(QStringLiteral("stdin")), QStringLiteral("/dev/null"));

        const QList<ChatMessage>& messages = bridge->messages();
        ASSERT_GE(messages.size(), 2);
        const ChatMessage& user = messages.at(messages.size() - 2);
        EXPECT_EQ(user.sender, MessageSender::user);
        EXPECT_EQ(user.text, prompt);
        EXPECT_EQ(user.contextPill, context);
        EXPECT_EQ(last().sender, MessageSender::assistant);
        EXPECT_EQ(last().text, QStringLiteral("reported\n"));
        EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Task Completed") });
        EXPECT_EQ(last().actionPills.first().iconName, QStringLiteral("checkmark.circle.fill"));
    }
    QFile::remove(localBin + QStringLiteral("/claude"));
    QFile::remove(localBin + QStringLiteral("/aider"));
}

TEST_F(AgentRunTest, WithoutFolderTheAgentRunsInTheTemporaryFolder)
{
    useScript(QStringLiteral("fake-agent-report.sh"));
    bridge->sendTask(QStringLiteral("hi"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    EXPECT_EQ(QFileInfo(recorded(QStringLiteral("cwd"))).canonicalFilePath(),
        QFileInfo(QDir::tempPath()).canonicalFilePath());
}

TEST_F(AgentRunTest, BlankPromptChangesNothing)
{
    int signalCount = 0;
    QObject::connect(
        bridge.get(), &AgentProcessBridge::isProcessingChanged, [&] { ++signalCount; });
    QObject::connect(bridge.get(), &AgentProcessBridge::messagesChanged, [&] { ++signalCount; });
    bridge->sendTask(QStringLiteral(" \n\t "));
    EXPECT_TRUE(bridge->messages().isEmpty());
    EXPECT_EQ(signalCount, 0);
}

TEST_F(AgentRunTest, PromptThatLooksLikeAnOptionIsNotGivenToACustomAgent)
{
    useScript(QStringLiteral("fake-agent-report.sh"));
    bridge->sendTask(QStringLiteral("--version"));
    EXPECT_FALSE(bridge->isProcessing());
    ASSERT_EQ(bridge->messages().size(), 2);
    EXPECT_EQ(bridge->messages().first().text, QStringLiteral("--version"));
    EXPECT_TRUE(last().text.contains(QStringLiteral("starts with “-”")));
    EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Not Sent") });
    test::waitUntil([] { return false; }, 200);
    EXPECT_FALSE(QFile::exists(recordDir + QStringLiteral("/args")));
}

TEST_F(AgentRunTest, MissingExecutableAndLaunchFailuresEndTheRun)
{
    bridge->setEngine(SupportedAgentEngine::customCLI(tree.filePath(QStringLiteral("nope"))));
    bridge->sendTask(QStringLiteral("hi"));
    EXPECT_FALSE(bridge->isProcessing());
    EXPECT_EQ(last().text,
        QStringLiteral("⚠️ Executable for Custom CLI (nope) not found on PATH. "
                       "Please check installation or specify custom binary "
                       "path in Settings."));
    EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("CLI Tool Not Found") });
    EXPECT_EQ(last().actionPills.first().iconName, QStringLiteral("exclamationmark.triangle"));

    struct Case
    {
        const char* name;
        QString executable;
        QString folder;
    };
    const Case cases[] = {
        { "executable is a folder", tree.mkdir(QStringLiteral("a folder")), QString() },
        { "working folder is missing", test::agentScript(QStringLiteral("fake-agent-report.sh")),
            tree.filePath(QStringLiteral("gone")) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bridge->setEngine(SupportedAgentEngine::customCLI(c.executable));
        bridge->sendTask(QStringLiteral("hi"), std::nullopt, c.folder);
        ASSERT_TRUE(test::waitUntil([&] { return !bridge->isProcessing(); }));
        EXPECT_TRUE(last().text.startsWith(QStringLiteral("Error launching process: ")));
        EXPECT_GT(last().text.size(), QStringLiteral("Error launching process: ").size());
        EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Process Error") });
        EXPECT_EQ(last().actionPills.first().iconName, QStringLiteral("xmark.circle"));
    }
    // The bridge is usable again afterwards.
    useScript(QStringLiteral("fake-agent-report.sh"));
    bridge->sendTask(QStringLiteral("again"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    EXPECT_EQ(last().text, QStringLiteral("reported\n"));
}

TEST_F(AgentRunTest, OutputStreamsIntoTheMessageWithEditPills)
{
    useScript(QStringLiteral("fake-agent-stream.sh"));
    QList<QStringList> pillHistory;
    QObject::connect(bridge.get(), &AgentProcessBridge::messagesChanged, [&] {
        const QStringList titles = pillTitles(last());
        if (pillHistory.isEmpty() || pillHistory.constLast() != titles)
            pillHistory << titles;
    });
    bridge->sendTask(QStringLiteral("go"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));

    EXPECT_EQ(last().text,
        QStringLiteral("Wrote notes.md\nEdit done\ncafé € ok\nto stderr\n"
                       "Updated /tmp/a and docs/b.txt\n"));
    ASSERT_GE(pillHistory.size(), 2);
    const QStringList beforeEnd = pillHistory.at(pillHistory.size() - 2);
    EXPECT_EQ(beforeEnd,
        (QStringList { QStringLiteral("Thinking..."), QStringLiteral("Wrote notes.md"),
            QStringLiteral("Updated /tmp/a and docs/b.txt") }));
    // The agent failed (exit status 3); the run still ends as completed.
    EXPECT_EQ(pillHistory.constLast(), QStringList { QStringLiteral("Task Completed") });
}

TEST_F(AgentRunTest, CompletionComesAfterTheLastOutput)
{
    useScript(QStringLiteral("fake-agent-flood.sh"));
    QString textAtCompletion;
    QObject::connect(bridge.get(), &AgentProcessBridge::messagesChanged, [&] {
        if (textAtCompletion.isEmpty()
            && pillTitles(last()) == QStringList { QStringLiteral("Task Completed") })
            textAtCompletion = last().text;
    });
    bridge->sendTask(QStringLiteral("go"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    EXPECT_TRUE(textAtCompletion.endsWith(QStringLiteral("\nEND\n")));
    EXPECT_EQ(textAtCompletion.count(QLatin1Char('\n')), 3001);
    test::waitUntil([] { return false; }, 200);
    EXPECT_EQ(last().text, textAtCompletion);
}

TEST_F(AgentRunTest, RunEndsWhenTheAgentExitsEvenIfItsChildKeepsTheOutputOpen)
{
    useScript(QStringLiteral("fake-agent-background.sh"));
    QElapsedTimer clock;
    clock.start();
    bridge->sendTask(QStringLiteral("go"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge, 2500));
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_EQ(last().text, QStringLiteral("main\n"));
}

TEST_F(AgentRunTest, StopEndsTheAgentAndEverythingItStarted)
{
    // The agent ignores SIGTERM itself, or ends on it but leaves a child that ignores it.
    for (const char* script : { "fake-agent-stubborn.sh", "fake-agent-stray-child.sh" }) {
        SCOPED_TRACE(script);
        useScript(QString::fromLatin1(script));
        bridge->setStopGracePeriodMs(500);
        bridge->sendTask(QStringLiteral("go"));
        ASSERT_TRUE(
            test::waitUntil([&] { return last().text.contains(QStringLiteral("started")); }));
        const qint64 child = recorded(QStringLiteral("child")).toLongLong();
        const qint64 grandchild = recorded(QStringLiteral("grandchild")).toLongLong();
        ASSERT_GT(child, 0);
        ASSERT_GT(grandchild, 0);

        bridge->cancelTask();
        EXPECT_FALSE(bridge->isProcessing());
        test::waitUntil([] { return false; }, 200);
        EXPECT_FALSE(test::processGone(grandchild));

        ASSERT_TRUE(test::waitUntil(
            [&] { return test::processGone(child) && test::processGone(grandchild); }, 5000));
        ASSERT_TRUE(test::waitForRunEnd(*bridge));
        EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Task Completed") });
    }
}

TEST_F(AgentRunTest, NothingARunStartedOutlivesIt)
{
    // What the run leaves would otherwise live on for minutes after the test.
    QList<qint64> started;
    const auto killLeftovers = qScopeGuard([&] {
        for (const qint64 pid : std::as_const(started))
            if (pid > 0)
                ::kill(pid_t(pid), SIGKILL);
    });
    const auto pid = [&](const char* name) {
        started.append(recorded(QString::fromLatin1(name)).toLongLong());
        return started.constLast();
    };

    // Ended by itself, leaving a background child and a process in a session of its own.
    useScript(QStringLiteral("fake-agent-leaves-children.sh"));
    bridge->sendTask(QStringLiteral("go"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    EXPECT_EQ(last().text, QStringLiteral("done\n"));
    EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Task Completed") });
    for (const char* name : { "background", "stubborn" }) {
        SCOPED_TRACE(name);
        const qint64 left = pid(name);
        ASSERT_GT(left, 0);
        EXPECT_TRUE(test::processGone(left));
    }

    // Stopped, with processes that left its session while the agent runs.
    useScript(QStringLiteral("fake-agent-setsid.sh"));
    bridge->sendTask(QStringLiteral("go"));
    ASSERT_TRUE(test::waitUntil([&] { return last().text.contains(QStringLiteral("started")); }));
    bridge->cancelTask();
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    for (const char* name : { "child", "escaped", "stubborn" }) {
        SCOPED_TRACE(name);
        const qint64 left = pid(name);
        ASSERT_GT(left, 0);
        EXPECT_TRUE(test::processGone(left));
    }
}

TEST_F(AgentRunTest, ClosingTheBridgeEndsARunningOrStoppingAgent)
{
    for (const bool stopFirst : { false, true }) {
        SCOPED_TRACE(stopFirst ? "stopped first" : "running");
        bridge = std::make_unique<AgentProcessBridge>(nullptr);
        bridge->setStopGracePeriodMs(60000);
        useScript(stopFirst ? QStringLiteral("fake-agent-stray-child.sh")
                            : QStringLiteral("fake-agent-stubborn.sh"));
        bridge->sendTask(QStringLiteral("go"));
        ASSERT_TRUE(
            test::waitUntil([&] { return last().text.contains(QStringLiteral("started")); }));
        const qint64 child = recorded(QStringLiteral("child")).toLongLong();
        const qint64 grandchild = recorded(QStringLiteral("grandchild")).toLongLong();
        if (stopFirst) {
            // The agent ends at once; its child waits out the grace period, and so does the run.
            bridge->cancelTask();
            EXPECT_TRUE(test::waitUntil([&] { return test::processGone(child); }));
            EXPECT_FALSE(test::processGone(grandchild));
            EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Thinking...") });
        }
        bridge.reset();
        EXPECT_TRUE(test::waitUntil(
            [&] { return test::processGone(child) && test::processGone(grandchild); }, 3000));
    }
}

TEST_F(AgentRunTest, OneRunAtATime)
{
    useScript(QStringLiteral("fake-agent-slow.sh"));
    bridge->sendTask(QStringLiteral("first"));
    ASSERT_TRUE(test::waitUntil([&] { return last().text.contains(QStringLiteral("working")); }));
    const QUuid firstRun = last().id;

    bridge->sendTask(QStringLiteral("second"));
    EXPECT_TRUE(bridge->isProcessing());
    ASSERT_EQ(bridge->messages().size(), 4);
    EXPECT_EQ(bridge->messages().at(2).text, QStringLiteral("second"));
    EXPECT_TRUE(last().text.contains(QStringLiteral("still working")));
    EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Not Sent") });
    EXPECT_EQ(pillTitles(bridge->messages().at(1)), QStringList { QStringLiteral("Thinking...") });

    bridge->cancelTask();
    ASSERT_TRUE(test::waitUntil([&] {
        return pillTitles(bridge->messages().at(1))
            == QStringList { QStringLiteral("Task Completed") };
    }));
    EXPECT_EQ(bridge->messages().at(1).id, firstRun);
    EXPECT_EQ(bridge->messages().at(1).text, QStringLiteral("working\n"));
}

TEST_F(AgentRunTest, AStoppedRunEndingLaterLeavesTheNewRunAlone)
{
    useScript(QStringLiteral("fake-agent-stubborn.sh"));
    bridge->sendTask(QStringLiteral("first"));
    ASSERT_TRUE(test::waitUntil([&] { return last().text.contains(QStringLiteral("started")); }));
    const int firstIndex = int(bridge->messages().size()) - 1;
    bridge->cancelTask();

    useScript(QStringLiteral("fake-agent-slow.sh"));
    bridge->sendTask(QStringLiteral("second"));
    EXPECT_TRUE(bridge->isProcessing());
    ASSERT_TRUE(test::waitUntil([&] {
        return pillTitles(bridge->messages().at(firstIndex))
            == QStringList { QStringLiteral("Task Completed") };
    }));
    EXPECT_TRUE(bridge->isProcessing());
    EXPECT_EQ(pillTitles(last()), QStringList { QStringLiteral("Thinking...") });

    bridge->cancelTask();
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
}

} // namespace
} // namespace quillon

namespace quillon {
namespace {

TEST_F(AgentRunTest, AnExecutableCustomPathRunsWithTheChosenEnginesArguments)
{
    bridge->setEngine(SupportedAgentEngine::aider());
    bridge->setCustomBinaryPath(test::agentScript(QStringLiteral("fake-agent-report.sh")));
    EXPECT_EQ(bridge->resolveExecutable(bridge->currentEngine()), bridge->customBinaryPath());
    bridge->sendTask(QStringLiteral("fix it"));
    ASSERT_TRUE(test::waitForRunEnd(*bridge));
    EXPECT_EQ(test::recordedArguments(recordDir),
        (QStringList { QStringLiteral("--message"), QStringLiteral("fix it"),
            QStringLiteral("--yes-always") }));

    // A folder or a missing file is no stand-in: the engine's own tool is looked for.
    for (const QString& path : { tree.path(), tree.filePath(QStringLiteral("missing")) }) {
        bridge->setCustomBinaryPath(path);
        EXPECT_NE(bridge->resolveExecutable(bridge->currentEngine()), path);
    }
}

} // namespace
} // namespace quillon
