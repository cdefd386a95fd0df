#pragma once

#include "workspace/Document.h"

#include <QList>
#include <QObject>

#include <optional>

class QEvent;
class QWidget;

namespace quillon {

class WorkspaceState;

// What a pane of a document does with the text it shows; the rest of keeping it the document's
// is DocumentBinding's.
class BoundPane
{
public:
    virtual ~BoundPane() = default;

    // Edits of other views, in order, each in the text the one before it left. With `outside`,
    // the last of them is a change from outside (the document's last replacement).
    virtual void followEdits(const QList<TextEdit>& edits, const ReplacedStretch* outside) = 0;
    // Shows the document's text whole after it was replaced; the caret and the selection follow
    // the text they were on through `stretch`.
    virtual void showReplaced(const ReplacedStretch& stretch) = 0;
    // Shows an undo or redo step the document took, the caret where it leaves it.
    virtual void showStep(const MarkdownReplacement& step) = 0;
    virtual void setEditable(bool editable) = 0;
    // Whether the user may edit the text the pane shows now.
    virtual bool mayEdit() const = 0;
    // Shows the appearance asked for (DocumentBinding::isDarkMode, fontSize); only called while
    // the pane is on screen.
    virtual void showAppearance() = 0;

    // Whether a long text is still going into the pane, and putting the rest in now.
    virtual bool isLoading() const { return false; }
    virtual void finishLoading() { }
    // An edit of another view taken at once rather than on the next turn; false to queue it.
    virtual bool takeEditNow(const TextEdit&) { return false; }
    // Whether a small change from outside may be applied as an edit, else it is shown whole.
    virtual bool mayApplyOutsideEdit() const { return true; }
    // The turn the binding queued for edits of other views: DocumentBinding::follow, with
    // whatever else the pane does then.
    virtual void followQueued() = 0;
    // Before an undo or redo step: the pane takes in what it needs; false when it may not edit.
    virtual bool prepareForStep() = 0;
};

// One pane's tie to its Document: takes the edits of other views (never the pane's own) and
// hands them to the pane on the next turn of the event loop, all that came meanwhile at once,
// or before any input that may edit the text; shows a change from outside as an edit when it
// is small, else whole; walks the document's history for the pane; follows whether the
// document may be edited; and keeps the appearance asked for, shown only while the pane is on
// screen.
class DocumentBinding : public QObject
{
    Q_OBJECT
public:
    // `origin` is the pane's widget: its edits reach the document with it as their origin.
    DocumentBinding(Document& document, WorkspaceState& workspace, QWidget& origin, BoundPane& pane,
        bool isDarkMode);

    Document& document() const { return m_document; }
    // Starts taking the document's edits: after whatever must hear of them first.
    void start();
    // The pane shows the document's text as it is now: nothing waiting is left to show.
    void caughtUp();

    // Edits of other views, or a replaced text, are waiting to be shown.
    bool hasPending() const { return !m_pending.isEmpty() || m_reloadPending; }
    // Shows what is waiting now, the whole text put into the pane first.
    void follow();
    // Before an event reaches the pane: input that may edit the text finds it the document's.
    void beforeInput(const QEvent& event);

    // Edits of other views wait to be shown: the pane shows an older text than the document's.
    bool isBehind() const { return !m_pending.isEmpty(); }
    // The text the pane shows while it is behind: the document's with the waiting edits taken
    // back. Empty when a change from outside is among them.
    std::optional<QString> shownText() const;
    qsizetype shownLength() const;
    // The pane changed the text it shows while it was behind, with no input first (a change
    // the pane made of its own, or one another widget set off): the change, in the text the
    // pane shows, goes into the document where the waiting edits moved it, and the pane is
    // given the document's text whole on the next turn. Neither the pane's change nor the
    // other views' edits are lost; where the two overlap, the pane's text is put in and
    // nothing of the others' is taken away.
    void takeEditBehind(qsizetype position, qsizetype removedLength, const QString& inserted);

    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;

    bool isDarkMode() const { return m_isDarkMode; }
    void setDarkMode(bool dark);
    qreal fontSize() const { return m_fontSize; }
    void setFontSize(qreal size);
    // The pane came on screen: it takes the appearance asked for while it was away.
    void shown();

    // The stretch a run of edits changed: in the text before them [position, position +
    // removedLength), in the text after them [position, position + insertedLength).
    static ReplacedStretch stretchOf(const QList<TextEdit>& edits);

protected:
    bool event(QEvent* event) override;

private:
    void onEdited(const TextEdit& edit, const QObject* origin);
    void onReplaced();
    void showStep(const std::optional<MarkdownReplacement>& step);
    void queueFollow();

    Document& m_document;
    WorkspaceState& m_workspace;
    QWidget& m_origin;
    BoundPane& m_pane;
    QList<TextEdit> m_pending; // of other views, in order, not shown yet
    bool m_reloadPending = false;
    ReplacedStretch m_reload; // from the text the pane shows to the document's, with a reload
    bool m_pendingFromOutside = false; // the last pending edit is a change from outside
    bool m_followQueued = false;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
};

} // namespace quillon
