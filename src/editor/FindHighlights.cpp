#include "editor/FindHighlights.h"

#include <QTextEdit>

namespace quillon {

QList<TextRange> FindHighlights::findMatches(const QString& text, const QString& query)
{
    QList<TextRange> matches;
    const QString needle = query.trimmed();
    if (needle.isEmpty() || text.isEmpty())
        return matches;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype found = text.indexOf(needle, from, Qt::CaseInsensitive);
        if (found < 0)
            break;
        matches.append({ found, needle.size() });
        from = found + qMax<qsizetype>(needle.size(), 1);
    }
    return matches;
}

QList<TextRange> FindHighlights::apply(
    QTextEdit& view, const QString& text, const QString& query, int activeIndex, bool isDarkMode)
{
    const QList<TextRange> matches = findMatches(text, query);
    const QColor active
        = isDarkMode ? QColor::fromRgbF(1.0, 0.6, 0.2, 0.8) : QColor::fromRgbF(1.0, 0.5, 0.0, 0.8);
    const QColor other = isDarkMode ? QColor::fromRgbF(1.0, 0.9, 0.3, 0.35)
                                    : QColor::fromRgbF(1.0, 0.85, 0.2, 0.45);
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(matches.size());
    for (int i = 0; i < matches.size(); ++i) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(view.document());
        selection.cursor.setPosition(int(matches[i].location));
        selection.cursor.setPosition(int(matches[i].end()), QTextCursor::KeepAnchor);
        if (i == activeIndex) {
            selection.format.setBackground(active);
            selection.format.setForeground(QColor(Qt::black));
        } else {
            selection.format.setBackground(other);
        }
        selections.append(selection);
    }
    view.setExtraSelections(selections);
    return matches;
}

void FindHighlights::clear(QTextEdit& view)
{
    if (!view.extraSelections().isEmpty())
        view.setExtraSelections({});
}

} // namespace quillon
