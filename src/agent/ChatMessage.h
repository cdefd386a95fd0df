#pragma once

#include "agent/ActionPillStatus.h"
#include "agent/ContextPill.h"
#include "agent/MessageSender.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace quillon {

// One transcript entry. Held in memory only; the bridge changes text and pills in place.
struct ChatMessage
{
    QUuid id;
    MessageSender sender = MessageSender::assistant;
    QString text;
    QList<ActionPillStatus> actionPills;
    std::optional<ContextPill> contextPill;
    QDateTime timestamp;

    // A message with a fresh identifier, stamped now.
    static ChatMessage make(MessageSender sender, const QString& text,
        QList<ActionPillStatus> actionPills = {},
        std::optional<ContextPill> contextPill = std::nullopt)
    {
        return ChatMessage { QUuid::createUuid(), sender, text, std::move(actionPills),
            std::move(contextPill), QDateTime::currentDateTime() };
    }

    friend bool operator==(const ChatMessage&, const ChatMessage&) = default;
};

} // namespace quillon
