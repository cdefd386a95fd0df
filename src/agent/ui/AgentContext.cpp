#include "agent/ui/AgentContext.h"

#include <QFileInfo>
#include <QTextBoundaryFinder>

namespace quillon::AgentContext {

QString snippet(const QString& text, int limit)
{
    // Each cluster has at least one UTF-16 unit, so a short text needs no counting.
    if (text.size() <= limit)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype cut = 0;
    for (int count = 0; count < limit; ++count) {
        cut = finder.toNextBoundary();
        if (cut < 0)
            return text;
    }
    if (cut >= text.size())
        return text;
    return text.left(cut) + QStringLiteral("\n...");
}

std::optional<ContextPill> fromActiveTab(const QString& activeTabURL, const QString& content)
{
    if (activeTabURL.isEmpty())
        return std::nullopt;
    return ContextPill::make(activeTabURL, QFileInfo(activeTabURL).fileName(), snippet(content));
}

bool isBlankPrompt(const QString& prompt)
{
    for (QChar c : prompt) {
        if (c != QLatin1Char('\t') && c.category() != QChar::Separator_Space)
            return false;
    }
    return true;
}

} // namespace quillon::AgentContext
