#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QString>

class QObject;
class QTextEdit;

namespace quillon {

class WorkspaceState;

// What the editors' find controllers share: clearing the matches they painted as extra
// selections, and publishing their count.
class FindHighlights
{
public:
    static void clear(QTextEdit& view);
    // Tells the workspace how many matches a view holds once the current change handler has
    // returned, so the find bar is never re-entered; dropped if `context` is gone by then.
    static void postMatchCount(QObject& context, WorkspaceState& workspace, int count);
};

} // namespace quillon
