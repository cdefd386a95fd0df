#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QString>

class QObject;
class QTextEdit;

namespace quillon {

class WorkspaceState;

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
    // Tells the workspace how many matches a view holds once the current change handler has
    // returned, so the find bar is never re-entered; dropped if `context` is gone by then.
    static void postMatchCount(QObject& context, WorkspaceState& workspace, int count);
};

} // namespace quillon
