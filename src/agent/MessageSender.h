#pragma once

#include <QString>

#include <optional>

namespace quillon {

// Who wrote a transcript message. Stored and exchanged as its raw value.
enum class MessageSender { user, assistant, system };

QString messageSenderRawValue(MessageSender sender);
// Matches the raw values exactly (case-sensitive); anything else gives nullopt.
std::optional<MessageSender> messageSenderFromRawValue(const QString& rawValue);

} // namespace quillon
