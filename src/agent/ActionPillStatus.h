#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace quillon {

// A small status badge under a transcript message. Equality covers every field, the identifier
// included, so two pills made separately are never equal.
struct ActionPillStatus
{
    QUuid id;
    QString iconName;
    QString title;
    std::optional<QString> targetFilePath;

    // A pill with a fresh identifier.
    static ActionPillStatus make(const QString& iconName, const QString& title);

    // The pills the agent bridge puts on a run's message.
    static ActionPillStatus thinking();
    static ActionPillStatus edit(const QString& line);
    static ActionPillStatus taskCompleted();
    static ActionPillStatus cliToolNotFound();
    static ActionPillStatus processError();
    // A prompt the bridge would not start a run for (busy, or unsafe as an argument).
    static ActionPillStatus notSent();

    friend bool operator==(const ActionPillStatus&, const ActionPillStatus&) = default;
};

} // namespace quillon
