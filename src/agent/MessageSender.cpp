#include "agent/MessageSender.h"

namespace quillon {

QString messageSenderRawValue(MessageSender sender)
{
    switch (sender) {
    case MessageSender::user:
        return QStringLiteral("user");
    case MessageSender::assistant:
        return QStringLiteral("assistant");
    case MessageSender::system:
        return QStringLiteral("system");
    }
    return {};
}

std::optional<MessageSender> messageSenderFromRawValue(const QString& rawValue)
{
    for (MessageSender sender :
        { MessageSender::user, MessageSender::assistant, MessageSender::system }) {
        if (rawValue == messageSenderRawValue(sender))
            return sender;
    }
    return std::nullopt;
}

} // namespace quillon
