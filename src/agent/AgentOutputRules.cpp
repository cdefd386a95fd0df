#include "agent/AgentOutputRules.h"

#include <QRegularExpression>

#include <algorithm>

namespace quillon::AgentOutputRules {

namespace {

bool mentionsAnEdit(const QString& chunk)
{
    static const QLatin1String words[] = { QLatin1String("Edit"), QLatin1String("Updated"),
        QLatin1String("Wrote"), QLatin1String("Creating") };
    return std::any_of(std::begin(words), std::end(words),
        [&](QLatin1String word) { return chunk.contains(word); });
}

bool namesAFile(const QString& line)
{
    return line.contains(QLatin1String(".md")) || line.contains(QLatin1String(".txt"))
        || line.contains(QLatin1Char('/'));
}

} // namespace

bool appendOutputChunk(ChatMessage& message, const QString& chunk)
{
    message.text += chunk;
    if (!mentionsAnEdit(chunk))
        return false;

    static const QRegularExpression lineBreaks(
        QStringLiteral("[\\n\\r\\x{000B}\\x{000C}\\x{0085}\\x{2028}\\x{2029}]"));
    bool added = false;
    const QStringList lines = chunk.split(lineBreaks);
    for (const QString& line : lines) {
        if (!namesAFile(line))
            continue;
        const QString title = line.trimmed();
        if (title.isEmpty())
            continue;
        const bool known = std::any_of(message.actionPills.cbegin(), message.actionPills.cend(),
            [&](const ActionPillStatus& p) { return p.title == title; });
        if (known)
            continue;
        message.actionPills.append(ActionPillStatus::edit(title));
        added = true;
    }
    return added;
}

} // namespace quillon::AgentOutputRules
