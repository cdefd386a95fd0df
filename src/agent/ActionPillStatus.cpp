#include "agent/ActionPillStatus.h"

namespace quillon {

ActionPillStatus ActionPillStatus::make(const QString& iconName, const QString& title)
{
    return ActionPillStatus { QUuid::createUuid(), iconName, title, std::nullopt };
}

ActionPillStatus ActionPillStatus::thinking()
{
    return make(QStringLiteral("sparkles"), QStringLiteral("Thinking..."));
}

ActionPillStatus ActionPillStatus::edit(const QString& line)
{
    return make(QStringLiteral("pencil.line"), line);
}

ActionPillStatus ActionPillStatus::taskCompleted()
{
    return make(QStringLiteral("checkmark.circle.fill"), QStringLiteral("Task Completed"));
}

ActionPillStatus ActionPillStatus::cliToolNotFound()
{
    return make(QStringLiteral("exclamationmark.triangle"), QStringLiteral("CLI Tool Not Found"));
}

ActionPillStatus ActionPillStatus::processError()
{
    return make(QStringLiteral("xmark.circle"), QStringLiteral("Process Error"));
}

ActionPillStatus ActionPillStatus::notSent()
{
    return make(QStringLiteral("exclamationmark.triangle"), QStringLiteral("Not Sent"));
}

} // namespace quillon
