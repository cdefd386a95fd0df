#include "agent/AgentCommandLine.h"
#include "agent/AgentOutputRules.h"
#include "agent/ChatMessage.h"
#include "agent/Utf8StreamDecoder.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(ChatModels, SenderRawValuesAreExact)
{
    EXPECT_EQ(messageSenderFromRawValue(QStringLiteral("assistant")), MessageSender::assistant);
    EXPECT_EQ(messageSenderFromRawValue(QStringLiteral("system")), MessageSender::system);
    EXPECT_EQ(messageSenderFromRawValue(QStringLiteral("User")), std::nullopt);
    EXPECT_EQ(messageSenderRawValue(MessageSender::user), QStringLiteral("user"));
}

TEST(ChatModels, EqualityCoversIdentityOrderAndAbsence)
{
    const ActionPillStatus a = ActionPillStatus::make(QStringLiteral("i"), QStringLiteral("t"));
    const ActionPillStatus b = ActionPillStatus::make(QStringLiteral("i"), QStringLiteral("t"));
    EXPECT_NE(a, b);

    ChatMessage first = ChatMessage::make(MessageSender::assistant, QStringLiteral("x"), { a, b });
    ChatMessage second = first;
    EXPECT_EQ(first, second);
    second.actionPills = { b, a };
    EXPECT_NE(first, second);

    ContextPill none = ContextPill::make(QStringLiteral("/w/n.md"), QStringLiteral("n.md"));
    ContextPill empty = none;
    empty.snippet = QString();
    EXPECT_NE(none, empty);
}

TEST(AgentPrompt, ContextBlockFollowsThePromptUnchanged)
{
    const QString prompt = QStringLiteral("  fix it \n");
    EXPECT_EQ(AgentCommandLine::composeFullPrompt(prompt, std::nullopt), prompt);

    const ContextPill noSnippet
        = ContextPill::make(QStringLiteral("/w/notes.md"), QStringLiteral("notes.md"));
    EXPECT_EQ(AgentCommandLine::composeFullPrompt(QStringLiteral("p"), noSnippet),
        QStringLiteral("p\n\n--- Attached Context (notes.md) ---\n\n--- End Context ---"));

    const ContextPill withSnippet = ContextPill::make(
        QStringLiteral("/w/a.md"), QStringLiteral("a.md"), QStringLiteral("# A\nbody"));
    EXPECT_EQ(AgentCommandLine::composeFullPrompt(QStringLiteral("p"), withSnippet),
        QStringLiteral("p\n\n--- Attached Context (a.md) ---\n# A\nbody\n--- End Context ---"));
}

struct ArgumentCase
{
    const char* name;
    SupportedAgentEngine engine;
    QString prompt;
    QStringList expected; // empty: refused
};

TEST(AgentCommandLineArguments, EachEngineGetsThePromptAsOneOperand)
{
    const QString nul = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
    const ArgumentCase cases[] = {
        { "claude", SupportedAgentEngine::claudeCode(), QStringLiteral("hi\nthere"),
            { QStringLiteral("--print"), QStringLiteral("hi\nthere") } },
        { "aider", SupportedAgentEngine::aider(), QStringLiteral("hi"),
            { QStringLiteral("--message"), QStringLiteral("hi"), QStringLiteral("--yes-always") } },
        { "ollama", SupportedAgentEngine::ollama(QStringLiteral("mistral")), QStringLiteral("hi"),
            { QStringLiteral("run"), QStringLiteral("mistral"), QStringLiteral("hi") } },
        { "custom", SupportedAgentEngine::customCLI(QStringLiteral("/x/agent")),
            QStringLiteral("hi"), { QStringLiteral("hi") } },
        { "claude dash", SupportedAgentEngine::claudeCode(), QStringLiteral("-rf now"),
            { QStringLiteral("--print"), QStringLiteral("--"), QStringLiteral("-rf now") } },
        { "aider dash", SupportedAgentEngine::aider(), QStringLiteral("--help"),
            { QStringLiteral("--message=--help"), QStringLiteral("--yes-always") } },
        { "ollama dash", SupportedAgentEngine::ollama(QStringLiteral("llama3")),
            QStringLiteral("-v"),
            { QStringLiteral("run"), QStringLiteral("--"), QStringLiteral("llama3"),
                QStringLiteral("-v") } },
        { "ollama dash model", SupportedAgentEngine::ollama(QStringLiteral("--insecure")),
            QStringLiteral("hi"),
            { QStringLiteral("run"), QStringLiteral("--"), QStringLiteral("--insecure"),
                QStringLiteral("hi") } },
        { "custom dash", SupportedAgentEngine::customCLI(QStringLiteral("/x/agent")),
            QStringLiteral("-x"), {} },
        { "nul removed", SupportedAgentEngine::claudeCode(), nul,
            { QStringLiteral("--print"), QStringLiteral("ab") } },
        { "nul before dash", SupportedAgentEngine::customCLI(QStringLiteral("/x/agent")),
            QChar(u'\0') + QStringLiteral("-x"), {} },
        { "leading space is text", SupportedAgentEngine::customCLI(QStringLiteral("/x/agent")),
            QStringLiteral(" -x"), { QStringLiteral(" -x") } },
    };
    for (const ArgumentCase& c : cases) {
        SCOPED_TRACE(c.name);
        const AgentCommandLine::Arguments result = AgentCommandLine::arguments(c.engine, c.prompt);
        if (c.expected.isEmpty()) {
            EXPECT_FALSE(result.ok());
            EXPECT_TRUE(result.refusal.contains(QStringLiteral("Custom CLI (agent)")));
            EXPECT_TRUE(result.arguments.isEmpty());
        } else {
            EXPECT_TRUE(result.ok());
            EXPECT_EQ(result.arguments, c.expected);
        }
    }
}

TEST(AgentCommandLineEnvironment, PathGetsTheInstallFoldersFirst)
{
    QProcessEnvironment base;
    base.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    base.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    const QProcessEnvironment env = AgentCommandLine::environment(base, QStringLiteral("/home/u"));
    EXPECT_EQ(env.value(QStringLiteral("PATH")),
        QStringLiteral("/opt/homebrew/bin:/usr/local/bin:/home/u/.local/bin:/usr/bin:/bin"));
    EXPECT_EQ(env.value(QStringLiteral("LANG")), QStringLiteral("C.UTF-8"));

    base.remove(QStringLiteral("PATH"));
    EXPECT_EQ(AgentCommandLine::environment(base, QStringLiteral("/home/u"))
                  .value(QStringLiteral("PATH")),
        QStringLiteral("/opt/homebrew/bin:/usr/local/bin:/home/u/.local/bin"));
}

struct PillCase
{
    const char* name;
    QStringList chunks;
    QStringList expectedEditPills;
};

TEST(AgentOutputPills, LinesNamingFilesInChunksWithATriggerWord)
{
    const PillCase cases[] = {
        { "only the line naming a file", { QStringLiteral("Wrote notes.md\nEdit done\n") },
            { QStringLiteral("Wrote notes.md") } },
        { "whole trimmed line", { QStringLiteral("  Updated /tmp/a and docs/b.txt  ") },
            { QStringLiteral("Updated /tmp/a and docs/b.txt") } },
        { "same line twice", { QStringLiteral("Wrote a.md\n"), QStringLiteral("Wrote a.md\n") },
            { QStringLiteral("Wrote a.md") } },
        { "no trigger word", { QStringLiteral("Read notes.md\nsrc/x.cpp\n") }, {} },
        { "trigger is case-sensitive", { QStringLiteral("wrote notes.md\n") }, {} },
        { "trigger anywhere in the chunk",
            { QStringLiteral("Creating things\nsrc/x.cpp\r\nplain\x0b"
                             "b.txt") },
            { QStringLiteral("src/x.cpp"), QStringLiteral("b.txt") } },
        { "unicode line separators",
            { QStringLiteral("Edit a.md") + QChar(0x2028) + QStringLiteral("Edit b.md")
                + QChar(0x0085) + QStringLiteral("Edit c.md") },
            { QStringLiteral("Edit a.md"), QStringLiteral("Edit b.md"),
                QStringLiteral("Edit c.md") } },
        { "lines of other chunks never", { QStringLiteral("a.md\n"), QStringLiteral("Edit\n") },
            {} },
    };
    for (const PillCase& c : cases) {
        SCOPED_TRACE(c.name);
        ChatMessage message = ChatMessage::make(
            MessageSender::assistant, QString(), { ActionPillStatus::thinking() });
        QString expectedText;
        for (const QString& chunk : c.chunks) {
            AgentOutputRules::appendOutputChunk(message, chunk);
            expectedText += chunk;
        }
        EXPECT_EQ(message.text, expectedText);
        ASSERT_EQ(message.actionPills.size(), c.expectedEditPills.size() + 1);
        EXPECT_EQ(message.actionPills.first().title, QStringLiteral("Thinking..."));
        for (qsizetype i = 0; i < c.expectedEditPills.size(); ++i) {
            EXPECT_EQ(message.actionPills.at(i + 1).title, c.expectedEditPills.at(i));
            EXPECT_EQ(message.actionPills.at(i + 1).iconName, QStringLiteral("pencil.line"));
        }
    }
}

TEST(Utf8StreamDecoder, CharactersSplitAcrossReadsArriveWhole)
{
    const QByteArray text = QStringLiteral("é € 😀").toUtf8();
    // Every way of cutting the bytes in two gives the same text.
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        Utf8StreamDecoder decoder;
        QString out = decoder.decode(text.left(cut));
        out += decoder.decode(text.mid(cut));
        out += decoder.finish();
        EXPECT_EQ(out, QStringLiteral("é € 😀")) << "cut at " << cut;
    }
}

TEST(Utf8StreamDecoder, InvalidBytesBecomeReplacementCharacters)
{
    Utf8StreamDecoder decoder;
    EXPECT_EQ(decoder.decode(QByteArray("a\xff"
                                        "b")),
        QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(decoder.decode(QByteArray("c\xe2\x82")), QStringLiteral("c"));
    EXPECT_EQ(decoder.finish(), QStringLiteral("\uFFFD"));
    EXPECT_EQ(decoder.decode(QByteArray("ok")), QStringLiteral("ok"));
    EXPECT_EQ(decoder.finish(), QString());
}

} // namespace
} // namespace quillon
