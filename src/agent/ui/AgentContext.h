#pragma once

#include "agent/ContextPill.h"

#include <QString>

#include <optional>

namespace quillon {

// What the assistant panel attaches to a prompt, and when a prompt counts as blank.
namespace AgentContext {

// The most user-perceived characters (extended grapheme clusters) a context snippet carries.
inline constexpr int snippetCharacterLimit = 1000;

// The text whole when it has at most `limit` user-perceived characters, else its first `limit`
// of them followed by "\n...".
QString snippet(const QString& text, int limit = snippetCharacterLimit);

// The context of the active tab: titled with the file name, carrying the snippet of the text
// (also when the text is empty). None without an active tab.
std::optional<ContextPill> fromActiveTab(const QString& activeTabURL, const QString& content);

// Blank means nothing but spaces and tabs; line breaks are not blank.
bool isBlankPrompt(const QString& prompt);

} // namespace AgentContext

} // namespace quillon
