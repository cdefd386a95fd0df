#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringView>

namespace quillon {

class WorkspaceState;

// One change of a document's Markdown: `removedLength` UTF-16 units at `position` (offsets in the
// text before the change) replaced by `inserted`; `resultLength` is the length of the whole text
// after it.
struct TextEdit
{
    qsizetype position = 0;
    qsizetype removedLength = 0;
    QString inserted;
    qsizetype resultLength = 0;

    // True when `text` already reads as this edit's result around it: the view that made the
    // edit has nothing to apply. Compares values only, in time of the edit's size. (A view that
    // held the text before the edit passes only when applying it would change nothing.)
    bool isAlreadyIn(QStringView text) const;
    // Applies the edit to the text it was made on.
    void applyTo(QString& text) const;
    // The one stretch in which two texts differ (never splitting a surrogate pair).
    static TextEdit between(const QString& before, const QString& after);
};

// The one owner of saving the active document as the user edits it. Views only report what the
// user changed, as a range or as a whole new text; the session updates
// WorkspaceState::currentFileContent, announces the change to every view, and decides whether to
// write, reload or ask. A question about a change another program made on disk is never asked
// from inside the call that reported the edit: it is queued to the next turn of the event loop,
// asked once, and its answer reaches the views through textReplaced().
//
// Owned by WorkspaceState (WorkspaceState::documentSession()); lives on the main thread.
class DocumentSession : public QObject
{
    Q_OBJECT
public:
    explicit DocumentSession(WorkspaceState& workspace);

    // The active document's Markdown; "" with no active document.
    const QString& text() const;

    // The user replaced `removedLength` units at `position` of text() by `inserted`. Out-of-range
    // values are clamped to the text.
    void applyUserEdit(qsizetype position, qsizetype removedLength, const QString& inserted);
    // The user changed the whole text to `text` (reported as the one range that differs).
    void setUserText(const QString& text);
    // Writes the active document's edits that are not on disk yet (after a write was refused or
    // failed); asks, on the next turn, when another program changed the file.
    void saveEdits();

Q_SIGNALS:
    // The user changed the text through some view. A view that already shows the change (see
    // TextEdit::isAlreadyIn) ignores it; any other applies it.
    void textEdited(const quillon::TextEdit& edit);
    // text() was replaced as a whole (another document, the version on disk): views reload it.
    void textReplaced();
    // The active document is about to be left: another tab becomes active, or the user closes
    // its tab. A view still holding back an edit of it (an open table cell) reports it now,
    // while text() is still that document's.
    void aboutToLeave();

private:
    friend class WorkspaceState;
    void announceReplaced() { Q_EMIT textReplaced(); }
    void announceLeaving() { Q_EMIT aboutToLeave(); }
    void writeActiveDocument();
    void queueDiskQuestion(const QString& path);

    WorkspaceState& m_workspace;
    QSet<QString> m_queuedQuestions;
};

} // namespace quillon
