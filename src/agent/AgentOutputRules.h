#pragma once

#include "agent/ChatMessage.h"

#include <QString>

namespace quillon {

// How a chunk of agent output lands in its assistant message.
namespace AgentOutputRules {

// Appends the chunk to the message text unchanged. When the chunk holds one of the words "Edit",
// "Updated", "Wrote" or "Creating", every line of that chunk naming a file (".md", ".txt" or a
// "/") becomes an edit pill, once per distinct title. Returns whether a pill was added.
bool appendOutputChunk(ChatMessage& message, const QString& chunk);

} // namespace AgentOutputRules

} // namespace quillon
