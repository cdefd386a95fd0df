#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QObject>
#include <QTimer>

namespace quillon {

class Document;
class WorkspaceState;
struct TextEdit;

// Find in document for one Document, whichever of its views show it: follows the find bar's
// properties and the document's changes, keeps the matches of the query in the document's
// Markdown (following an edit by searching only around it), and is the one that tells the
// workspace how many there are, on the next turn of the event loop and only when the number
// changed. The views paint the matches and reveal the active one, each in its own text.
//
// A long text is searched a slice per turn of the event loop, from its beginning: the matches
// grow until the pass ends, and only then are they counted and followed through edits (an edit
// meanwhile starts the pass again).
//
// Reads the workspace's isLocalSearchVisible, localSearchQuery and currentLocalMatchIndex;
// writes totalLocalMatchCount.
class DocumentFind : public QObject
{
    Q_OBJECT
public:
    DocumentFind(Document& document, WorkspaceState& workspace, QObject* parent = nullptr);

    Document& document() const { return m_document; }
    // Only a document on screen searches and counts; one shown again searches anew.
    void setActive(bool active);
    bool isActive() const { return m_isActive; }

    // Markdown ranges in text order; none while the bar is hidden, its query is empty or the
    // document is not on screen.
    const QList<TextRange>& matches() const { return m_matches; }
    // The match painted as the active one: the bar's index as it stands (none when out of range).
    int activeIndex() const;
    // The match to reveal: the bar's index brought into range; -1 without matches.
    int revealedIndex() const;

Q_SIGNALS:
    // The matches were searched for the bar (its query, or the bar shown): views repaint and
    // reveal the active match.
    void searched();
    // The bar's active match changed: views reveal it and repaint.
    void stepped();
    // Searched again after the document was shown again, or a long text's pass ended: views
    // repaint.
    void resumed();

private:
    bool isSearching() const;
    void search();
    // Searches the next slice of a long text; publishes the count at the end.
    void searchSlice();
    bool isPassRunning() const { return m_passFrom >= 0; }
    void onSearchChanged();
    void onEdited(const TextEdit& edit);
    void onReplaced();
    void publishCount();

    Document& m_document;
    WorkspaceState& m_workspace;
    bool m_isActive = true;
    QList<TextRange> m_matches;
    // Where the pass over a long text goes on; -1 when none runs.
    qsizetype m_passFrom = -1;
    // The query's match to reveal was not found when the pass began.
    bool m_revealWhenDone = false;
    QTimer m_pass;
};

} // namespace quillon
