#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QString>

class QTextEdit;

namespace quillon {

// Paints the find-in-document matches of the view as extra selections. Every call replaces what
// the previous one painted, so highlights of an old query, an old active match or a closed find
// bar never linger.
class FindHighlights
{
public:
    // Case-insensitive, non-overlapping matches of the query trimmed of whitespace; none for a
    // query that is empty after trimming.
    static QList<TextRange> findMatches(const QString& text, const QString& query);

    // Paints the matches (the one at activeIndex as the active match) and returns them.
    static QList<TextRange> apply(QTextEdit& view, const QString& text, const QString& query,
        int activeIndex, bool isDarkMode);
    static void clear(QTextEdit& view);
};

} // namespace quillon
