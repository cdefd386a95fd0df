#include "editor/chrome/StatusBarText.h"

namespace quillon::StatusBarText {

QString yamlErrorTooltip(const QString& error, std::optional<int> line, std::optional<int> column)
{
    QString text = QStringLiteral("YAML Error: ") + error;
    if (!line)
        return text;
    text += QStringLiteral("\nLine: ") + QString::number(*line + 1);
    if (column)
        text += QStringLiteral(", Column: ") + QString::number(*column);
    return text;
}

QString tokenCount(int count, const QLocale& locale)
{
    const QString grouped = locale.toString(count);
    return grouped.isEmpty() ? QString::number(count) : grouped;
}

QString words(int count)
{
    return QString::number(count) + QStringLiteral(" words");
}

QString characters(int count)
{
    return QString::number(count) + QStringLiteral(" chars");
}

} // namespace quillon::StatusBarText
