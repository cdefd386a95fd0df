#pragma once

#include "agent/ContextPill.h"
#include "agent/SupportedAgentEngine.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillon {

// What an agent run is given: the prompt text with its attached context, the argument vector of
// each engine and the environment. Pure functions, so every command line is testable as is.
namespace AgentCommandLine {

// The prompt followed, when a context pill is given, by the attached-context block.
QString composeFullPrompt(const QString& prompt, const std::optional<ContextPill>& contextPill);

struct Arguments
{
    QStringList arguments;
    // Set when the run must not start; the text tells the user why.
    QString refusal;
    bool ok() const { return refusal.isEmpty(); }
};

// The argument vector for the engine with the full prompt as one argument. NUL characters are
// removed (they cannot pass through an argument vector); a prompt or model starting with "-" is
// marked as an operand in the way the tool understands, or refused when the tool has no such way.
Arguments arguments(const SupportedAgentEngine& engine, const QString& fullPrompt);

// The agent's environment: the base with PATH prefixed by the usual install folders.
QProcessEnvironment environment(const QProcessEnvironment& base, const QString& home);

} // namespace AgentCommandLine

} // namespace quillon
