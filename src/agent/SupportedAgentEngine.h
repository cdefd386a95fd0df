#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

// The command-line agent the assistant runs. Equal when the kind and the associated text
// (the model for ollama, the path for the custom executable) are equal.
class SupportedAgentEngine
{
public:
    enum class Kind { claudeCode, aider, ollama, customCLI };

    SupportedAgentEngine() = default;
    static SupportedAgentEngine claudeCode() { return SupportedAgentEngine(Kind::claudeCode, {}); }
    static SupportedAgentEngine aider() { return SupportedAgentEngine(Kind::aider, {}); }
    static SupportedAgentEngine ollama(const QString& model)
    {
        return SupportedAgentEngine(Kind::ollama, model);
    }
    static SupportedAgentEngine customCLI(const QString& path)
    {
        return SupportedAgentEngine(Kind::customCLI, path);
    }

    Kind kind() const { return m_kind; }
    // The ollama model; empty for other kinds.
    QString model() const { return m_kind == Kind::ollama ? m_value : QString(); }
    // The custom executable's path; empty for other kinds.
    QString path() const { return m_kind == Kind::customCLI ? m_value : QString(); }

    // "Claude Code CLI", "Ollama (llama3)", "Custom CLI (agent)", ...
    QString displayName() const;
    // The value stored under "agentEngineRaw".
    QString storedValue() const;
    // Where the executable usually lives, tried in this order; home has no trailing slash.
    QStringList candidatePaths(const QString& home) const;
    // The command name looked up on PATH when no candidate exists; empty for the custom engine.
    QString lookupName() const;

    friend bool operator==(const SupportedAgentEngine&, const SupportedAgentEngine&) = default;

private:
    SupportedAgentEngine(Kind kind, const QString& value)
        : m_kind(kind)
        , m_value(value)
    {
    }

    Kind m_kind = Kind::claudeCode;
    QString m_value;
};

size_t qHash(const SupportedAgentEngine& engine, size_t seed = 0) noexcept;

} // namespace quillon
