#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QScrollBar>

class QTextEdit;

namespace quillon {

class WorkspaceState;

// Find in document for the block editor: follows the workspace's find-bar properties, paints the
// matches on screen (replacing whatever it painted before; a scroll paints the ones it brings
// into view), publishes their count on the next turn of the event loop when it changed, and
// scrolls to the active match. A step to another match searches nothing again.
class EditorFindController : public QObject
{
    Q_OBJECT
public:
    EditorFindController(QTextEdit& view, WorkspaceState& workspace, QObject* parent = nullptr);

    void setDarkMode(bool dark);
    // Only the view on screen searches, paints and counts; one shown again searches anew.
    void setActive(bool active);
    // Paints into `view` from now on (the matches left in the previous one stay where they are).
    void setView(QTextEdit& view);
    // Re-searches the view's text and repaints the matches; call after the text changed. Only a
    // change of the find bar's own properties scrolls to the active match.
    void refresh();
    const QList<TextRange>& matches() const { return m_matches; }

private:
    void refreshAndReveal();
    void stepTo();
    void paintVisible();

    QTextEdit* m_view = nullptr;
    QPointer<QScrollBar> m_scrollBar; // the view's, which may go before us
    WorkspaceState& m_workspace;
    bool m_isActive = true;
    bool m_isDarkMode = false;
    bool m_isStepping = false;
    QList<TextRange> m_matches;
};

} // namespace quillon
