#pragma once

#include "platform/Setting.h"

// The assistant's persisted settings, read by AgentProcessBridge when it is made and stored by
// setEngine() and setCustomBinaryPath().
namespace quillon::AgentSettings {

// SupportedAgentEngine::storedValue() of the chosen engine.
inline const Setting<QString> engine { "agentEngineRaw", QStringLiteral("claudeCode") };
// The model of the last chosen Ollama engine.
inline const Setting<QString> ollamaModel { "agentOllamaModel", QStringLiteral("llama3") };
// The executable of the custom engine; empty for none.
inline const Setting<QString> customBinaryPath { "agentCustomBinaryPath", QString() };

} // namespace quillon::AgentSettings
