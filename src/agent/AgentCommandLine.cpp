#include "agent/AgentCommandLine.h"

namespace quillon::AgentCommandLine {

namespace {

QString withoutNul(QString text)
{
    text.remove(QChar(u'\0'));
    return text;
}

bool looksLikeOption(const QString& argument)
{
    return argument.startsWith(QLatin1Char('-'));
}

} // namespace

QString composeFullPrompt(const QString& prompt, const std::optional<ContextPill>& contextPill)
{
    if (!contextPill)
        return prompt;
    return prompt + QStringLiteral("\n\n--- Attached Context (") + contextPill->title
        + QStringLiteral(") ---\n") + contextPill->snippet.value_or(QString())
        + QStringLiteral("\n--- End Context ---");
}

Arguments arguments(const SupportedAgentEngine& engine, const QString& fullPrompt)
{
    const QString prompt = withoutNul(fullPrompt);
    const bool promptIsOptionLike = looksLikeOption(prompt);
    Arguments result;
    switch (engine.kind()) {
    case SupportedAgentEngine::Kind::claudeCode:
        result.arguments = { QStringLiteral("--print") };
        if (promptIsOptionLike)
            result.arguments << QStringLiteral("--");
        result.arguments << prompt;
        break;
    case SupportedAgentEngine::Kind::aider:
        // Its option parser takes "--message=<text>" literally, whatever the text starts with.
        if (promptIsOptionLike)
            result.arguments = { QStringLiteral("--message=") + prompt };
        else
            result.arguments = { QStringLiteral("--message"), prompt };
        result.arguments << QStringLiteral("--yes-always");
        break;
    case SupportedAgentEngine::Kind::ollama: {
        const QString model = withoutNul(engine.model());
        result.arguments = { QStringLiteral("run") };
        if (promptIsOptionLike || looksLikeOption(model))
            result.arguments << QStringLiteral("--");
        result.arguments << model << prompt;
        break;
    }
    case SupportedAgentEngine::Kind::customCLI:
        // Nothing is known of how a custom tool reads its arguments, so nothing can mark the
        // prompt as text for it.
        if (promptIsOptionLike) {
            result.refusal = QStringLiteral("⚠️ The prompt starts with “-”, which ")
                + engine.displayName()
                + QStringLiteral(" could take as an option. Rephrase the prompt so that it does "
                                 "not start with “-” and send it again.");
            return result;
        }
        result.arguments = { prompt };
        break;
    }
    return result;
}

QProcessEnvironment environment(const QProcessEnvironment& base, const QString& home)
{
    QProcessEnvironment env = base;
    QString path = QStringLiteral("/opt/homebrew/bin:/usr/local/bin:") + home
        + QStringLiteral("/.local/bin");
    if (base.contains(QStringLiteral("PATH")))
        path += QLatin1Char(':') + base.value(QStringLiteral("PATH"));
    env.insert(QStringLiteral("PATH"), path);
    return env;
}

} // namespace quillon::AgentCommandLine
