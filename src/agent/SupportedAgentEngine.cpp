#include "agent/SupportedAgentEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QHashFunctions>

namespace quillon {

QString SupportedAgentEngine::displayName() const
{
    switch (m_kind) {
    case Kind::claudeCode:
        return QStringLiteral("Claude Code CLI");
    case Kind::aider:
        return QStringLiteral("Aider CLI");
    case Kind::ollama:
        return QStringLiteral("Ollama (") + m_value + QLatin1Char(')');
    case Kind::customCLI:
        return QStringLiteral("Custom CLI (") + QFileInfo(QDir::cleanPath(m_value)).fileName()
            + QLatin1Char(')');
    }
    return {};
}

QString SupportedAgentEngine::storedValue() const
{
    switch (m_kind) {
    case Kind::claudeCode:
        return QStringLiteral("claudeCode");
    case Kind::aider:
        return QStringLiteral("aider");
    case Kind::ollama:
        return QStringLiteral("ollama");
    case Kind::customCLI:
        return QStringLiteral("custom");
    }
    return {};
}

QStringList SupportedAgentEngine::candidatePaths(const QString& home) const
{
    switch (m_kind) {
    case Kind::claudeCode:
        return { QStringLiteral("/opt/homebrew/bin/claude"),
            QStringLiteral("/usr/local/bin/claude"),
            home + QStringLiteral("/.nvm/versions/node/current/bin/claude"),
            home + QStringLiteral("/.local/bin/claude") };
    case Kind::aider:
        return { QStringLiteral("/opt/homebrew/bin/aider"), QStringLiteral("/usr/local/bin/aider"),
            home + QStringLiteral("/.local/bin/aider") };
    case Kind::ollama:
        return { QStringLiteral("/usr/local/bin/ollama"),
            QStringLiteral("/opt/homebrew/bin/ollama") };
    case Kind::customCLI:
        return { m_value };
    }
    return {};
}

QString SupportedAgentEngine::lookupName() const
{
    switch (m_kind) {
    case Kind::claudeCode:
        return QStringLiteral("claude");
    case Kind::aider:
        return QStringLiteral("aider");
    case Kind::ollama:
        return QStringLiteral("ollama");
    case Kind::customCLI:
        return {};
    }
    return {};
}

size_t qHash(const SupportedAgentEngine& engine, size_t seed) noexcept
{
    return qHashMulti(seed, static_cast<int>(engine.kind()), engine.model() + engine.path());
}

} // namespace quillon
