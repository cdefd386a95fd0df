#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace quillon {

// Context attached to a prompt: the start of a document (or a selection) and where it came from.
struct ContextPill
{
    QUuid id;
    QString fileURL; // absolute standardized path of the document
    QString title;
    std::optional<QString> snippet;
    bool isSelection = false;

    static ContextPill make(const QString& fileURL, const QString& title,
        std::optional<QString> snippet = std::nullopt, bool isSelection = false)
    {
        return ContextPill { QUuid::createUuid(), fileURL, title, std::move(snippet), isSelection };
    }

    friend bool operator==(const ContextPill&, const ContextPill&) = default;
};

} // namespace quillon
