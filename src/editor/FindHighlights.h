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
    // Paints the matches (the one at activeIndex as the active match) and returns them.
    static QList<TextRange> apply(QTextEdit& view, const QString& text, const QString& query,
        int activeIndex, bool isDarkMode);
    static void clear(QTextEdit& view);
};

} // namespace quillon
