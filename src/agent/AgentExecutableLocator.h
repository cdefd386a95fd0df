#pragma once

#include "agent/SupportedAgentEngine.h"

#include <QString>

#include <functional>
#include <optional>

namespace quillon {

// Finds the executable of an engine: the custom path as given, else the engine's usual install
// paths in order, else a lookup of its command name through /usr/bin/which.
namespace AgentExecutableLocator {

using ExistsFunction = std::function<bool(const QString& path)>;
using WhichFunction = std::function<std::optional<QString>(const QString& name)>;

// How long the /usr/bin/which lookup may take before it counts as not found.
inline constexpr int whichTimeoutMs = 3000;

std::optional<QString> resolve(const SupportedAgentEngine& engine, const QString& home,
    const ExistsFunction& exists, const WhichFunction& which);
// The same with the real file system, the user's home folder and /usr/bin/which.
std::optional<QString> resolve(const SupportedAgentEngine& engine);

// Whether path names a regular file this user may execute.
bool isExecutableFile(const QString& path);

// Runs /usr/bin/which for the name and returns its trimmed output, or nullopt when it fails,
// exits non-zero, prints nothing, prints text that is not UTF-8 or takes longer than the time-out.
std::optional<QString> which(const QString& name, int timeoutMs = whichTimeoutMs);

} // namespace AgentExecutableLocator

} // namespace quillon
