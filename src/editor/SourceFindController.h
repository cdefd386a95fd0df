#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QObject>

#include <functional>

namespace quillon {

class ChunkedText;
class SourceTextEdit;
class WorkspaceState;

// Find in document for the source pane: follows the workspace's find-bar properties, paints the
// matches as extra selections (which change neither the text nor its colours), publishes their
// count on the next turn of the event loop when it changed, and scrolls the active match into
// view when the find bar's own properties change. Only the matches on screen are painted, so ten
// thousand matches cost no more to show or to step through than ten.
class SourceFindController : public QObject
{
    Q_OBJECT
public:
    // `currentText` gives the document's text.
    SourceFindController(SourceTextEdit& view, WorkspaceState& workspace,
        std::function<const ChunkedText&()> currentText, QObject* parent = nullptr);

    void setDarkMode(bool dark);
    // Only the pane on screen searches, paints and counts; one shown again searches anew.
    void setActive(bool active);
    // Searches the text again and repaints; call after the text changed.
    void refresh();
    // The same after `removed` units at `position` were replaced by `added`, searching only
    // around the edit.
    void followEdit(qsizetype position, qsizetype removed, qsizetype added);
    const QList<TextRange>& matches() const { return m_matches; }

private:
    void refreshAndReveal();
    void stepTo();
    void paintVisible();
    // True when it scrolled.
    bool reveal(const TextRange& match);

    SourceTextEdit& m_view;
    WorkspaceState& m_workspace;
    std::function<const ChunkedText&()> m_currentText;
    bool m_isActive = true;
    bool m_isDarkMode = false;
    bool m_isStepping = false;
    QList<TextRange> m_matches;
};

} // namespace quillon
