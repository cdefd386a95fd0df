#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QObject>

class QTextEdit;

namespace quillon {

class WorkspaceState;

// Find in document for the block editor: follows the workspace's find-bar properties, paints the
// matches (replacing whatever it painted before), publishes their count on the next turn of the
// event loop when it changed, and scrolls to the active match.
class EditorFindController : public QObject
{
    Q_OBJECT
public:
    EditorFindController(QTextEdit& view, WorkspaceState& workspace, QObject* parent = nullptr);

    void setDarkMode(bool dark);
    // Paints into `view` from now on (the matches left in the previous one stay where they are).
    void setView(QTextEdit& view) { m_view = &view; }
    // Re-searches the view's text and repaints the matches; call after the text changed. Only a
    // change of the find bar's own properties scrolls to the active match.
    void refresh();
    const QList<TextRange>& matches() const { return m_matches; }

private:
    void refreshAndReveal();

    QTextEdit* m_view;
    WorkspaceState& m_workspace;
    bool m_isDarkMode = false;
    QList<TextRange> m_matches;
};

} // namespace quillon
