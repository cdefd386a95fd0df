#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QScrollBar>

#include <functional>

class QTextEdit;

namespace quillon {

class WorkspaceState;

// Find in document for the block editor: follows the workspace's find-bar properties, paints the
// matches on screen (replacing whatever it painted before; a scroll paints the ones it brings
// into view), publishes their count on the next turn of the event loop when it changed, and
// scrolls to the active match. A step to another match searches nothing again, and an edit only
// the text around it.
class EditorFindController : public QObject
{
    Q_OBJECT
public:
    // `text` gives the view's text as the view's storage holds it (a line feed between
    // paragraphs, a carriage return where the view shows its stand-in).
    EditorFindController(QTextEdit& view, WorkspaceState& workspace,
        std::function<const QString&()> text, QObject* parent = nullptr);

    void setDarkMode(bool dark);
    // Only the view on screen searches, paints and counts; one shown again searches anew.
    void setActive(bool active);
    // Paints into `view` from now on (the matches left in the previous one stay where they are).
    void setView(QTextEdit& view);
    // Repaints the matches, searching the view's text again where it changed in ways followEdit
    // did not hear of; call after the text changed. Only a change of the find bar's own
    // properties scrolls to the active match.
    void refresh();
    // The view's `removed` characters at `position` were replaced by `added` ones.
    void followEdit(qsizetype position, qsizetype removed, qsizetype added);
    // The view's whole text was replaced.
    void textReplaced() { m_matchesCurrent = false; }
    const QList<TextRange>& matches() const { return m_matches; }

private:
    void refreshAndReveal();
    void search();
    void stepTo();
    void paintVisible();

    QTextEdit* m_view = nullptr;
    QPointer<QScrollBar> m_scrollBar; // the view's, which may go before us
    WorkspaceState& m_workspace;
    std::function<const QString&()> m_text;
    bool m_isActive = true;
    bool m_isDarkMode = false;
    bool m_isStepping = false;
    QList<TextRange> m_matches;
    // The matches are those of the text, which is this long.
    bool m_matchesCurrent = false;
    qsizetype m_searchedLength = 0;
};

} // namespace quillon
