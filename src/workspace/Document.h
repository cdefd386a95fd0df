#pragma once

#include "platform/BackgroundWriter.h"
#include "platform/ChunkedText.h"
#include "platform/LineEnds.h"
#include "workspace/MarkdownUndoStack.h"
#include "workspace/OffsetMap.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace quillon {

// One change of a document's text: `removedLength` UTF-16 units at `position` (offsets in the
// text before the change) replaced by `inserted`; `resultLength` is the length of the whole text
// after it and `version` the document's version it made.
struct TextEdit
{
    qsizetype position = 0;
    qsizetype removedLength = 0;
    QString inserted;
    qsizetype resultLength = 0;
    quint64 version = 0;
    // What the edit took away: empty where the edit stands for a change from outside.
    QString removed;
};

// Where a text replaced whole differs from the text before it: `removedLength` units at
// `position` became `insertedLength` units. A place in the old text keeps its number before the
// stretch and moves with the text after it; inside it, it moves with the lines both versions hold
// there (`inner`, in offsets from `position`), or else stays where it was as far as the new
// stretch reaches.
struct ReplacedStretch
{
    qsizetype position = 0;
    qsizetype removedLength = 0;
    qsizetype insertedLength = 0;
    std::shared_ptr<const OffsetMap> inner;

    qsizetype map(qsizetype offset) const
    {
        if (offset <= position)
            return offset;
        if (offset >= position + removedLength)
            return offset - removedLength + insertedLength;
        if (inner)
            return position + qMin(inner->map(offset - position), insertedLength);
        return qMin(offset, position + insertedLength);
    }
    // Whether views show it as an edit of that stretch rather than the text anew: it is small
    // next to the text it made (`length` units long). Applied where it lands, a stretch costs
    // about what showing as much text anew costs, so up to a quarter of the text it is cheaper.
    bool isSmallNextTo(qsizetype length) const
    {
        return qMax(removedLength, insertedLength) <= length / 4;
    }
    // The stretch that differs between two texts, with the lines both hold inside it matched.
    static ReplacedStretch between(const ChunkedText& before, QStringView after);
    static ReplacedStretch between(const ChunkedText& before, const ChunkedText& after);
};

// One open file: its text (held here once), its line ends and byte-order mark, what its file held
// when last read or written, its writes through the workspace's background writer and why the
// last one failed, the answer to another program's change, and the undo history that every view
// of it shares.
//
// Every change is published once: a change of a few characters as edited(edit, origin), where
// `origin` is the view that made it (it already shows it and applies nothing); a change of the
// whole text (the file read again, a replacement from outside) as replaced(). Views apply edits
// of others out of their own change handlers.
//
// Another program's change under local edits is never answered by a key typed for the text: it
// becomes an open question (diskQuestion()) that the window shows beside the text while the user
// types on; until it is answered nothing of this document is written. Only an explicit command
// (Save) asks modally.
//
// Lives on the main thread; the workspace makes one per open document and owns it.
class Document : public QObject
{
    Q_OBJECT
public:
    // Reads the file at `path` (standardized). A failed read leaves an empty text and a
    // readError(); such a document is never written.
    Document(const QString& path, BackgroundWriter& writer, QObject* parent = nullptr);
    ~Document() override;

    QString path() const { return m_path; }
    // The file was renamed or moved: the document follows it.
    void setPath(const QString& path);

    const ChunkedText& text() const { return m_text; }
    // Counts every change; a view that holds a version's text can tell whether it is current.
    quint64 version() const { return m_version; }
    const LineEnds& lineEnds() const { return m_lineEnds; }
    // Why the file could not be read (not UTF-8, unreadable); empty when it could.
    QString readError() const { return m_readError; }
    bool isReadable() const { return m_readError.isEmpty(); }
    // Why the file may not be written by us (read-only), empty when it may. Such a document is
    // shown, never edited; what was typed before the file became read-only stays unsaved.
    QString readOnlyReason() const { return m_readOnlyReason; }
    // Readable and writable: the views let the user edit it.
    bool isEditable() const { return isReadable() && m_readOnlyReason.isEmpty(); }
    // Looks again whether the file may be written (its permissions may have changed); text that
    // could not be saved for want of permission is written once it may.
    void checkWritable();
    // The text differs from what the file held when last read or written.
    bool hasLocalEdits() const;

    // ---- Changes ----------------------------------------------------------------------------
    enum class EditKind {
        Typing, // adjacent typed characters merge into one undo step
        Command // rule edits, toggles, cell commits, pastes: a step of their own
    };
    // The user replaced `removedLength` units at `position` through `origin` (a view, or null).
    // Out-of-range values are clamped; replacing text by the same text is no edit. Carets are
    // offsets of the text before and after the change, for undo. Recorded for undo, published
    // and written.
    void applyEdit(qsizetype position, qsizetype removedLength, const QString& inserted,
        const QObject* origin, EditKind kind = EditKind::Typing, qsizetype caretBefore = -1,
        qsizetype caretAfter = -1);
    // The user changed the whole text to `text` (applied as the one stretch that differs).
    void applyUserText(const QString& text, const QObject* origin = nullptr);
    // Replaces the text from outside, as no edit of the user's: the views reload it, the history
    // is cleared, nothing is written until the user edits or saves.
    void replaceText(const QString& text);
    // What differs between the text before the last replaced() and after it, for views to keep
    // their caret, selection and scroll on the same text.
    ReplacedStretch lastReplacement() const { return m_lastReplacement; }

    // Views that hold input back (an open table cell) give it to the document now: it is about
    // to be saved, asked about, left or closed.
    void takeHeldInput() { Q_EMIT heldInputWanted(); }

    // ---- Undo, shared by every view ---------------------------------------------------------
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    // Applies the latest step's inverse (the step again) for `origin`, which applies it itself,
    // as after an edit of its own; the step is returned with the caret to place. Nothing when
    // there is no step or the document cannot be edited.
    std::optional<MarkdownReplacement> undo(const QObject* origin);
    std::optional<MarkdownReplacement> redo(const QObject* origin);
    // Ends the current run of typing: the next typed character starts a new step.
    void breakTypingRun() { m_history.breakTypingRun(); }

    // ---- Saving -----------------------------------------------------------------------------
    // Why the last write failed or was skipped; empty once the document is written.
    QString saveError() const { return m_saveError; }
    // Writes the edits that are not on disk yet (after a write was refused or failed), without
    // asking; a change by another program is asked about on the next turn.
    void saveEdits();
    // The Save command: writes now, asking at once when another program changed the file.
    // False when the text is not on disk afterwards.
    bool save();
    // True while a write asked for is not done.
    bool isWritePending() const { return m_queuedWrite > m_finishedWrite; }
    // The file now holds `text` with `lineEnds`, written by someone else of ours (Save As onto
    // this file): the document takes that text as its own and as the disk's.
    void adoptWrittenText(const QString& text, const LineEnds& lineEnds);
    // Marks this document's requests to the writer, whose reports carry it back.
    quint64 writerOwner() const { return m_writerOwner; }
    // The writer's report of a write of this document (made, maybe, under an earlier path).
    void takeWriteResult(const BackgroundWriter::Result& result);
    // Records why the text did not reach a file (a Save As that failed); empty: it did.
    void setSaveError(const QString& error);

    // ---- The file changed on disk -----------------------------------------------------------
    // Another program may have changed the file: without local edits the new version is shown,
    // with them the user is asked (once, on the next turn).
    void followChangeOnDisk();
    // After git or the assistant changed files: the file's version is taken when there are no
    // local edits, and asked about at once when there are.
    void reloadAfterOutsideChange();
    // Reads the file again when it could not be read before (and nothing was typed since).
    void retryUnreadable();
    // Drops the text that is not on disk: the file's version is shown again (what was last read
    // from or written to it, when it cannot be read now).
    void discardLocalEdits();

    // ---- The question about another program's change ----------------------------------------
    enum class DiskChoice { KeepMine, LoadDisk, Later };
    struct DiskQuestion
    {
        QString message;
        QString informativeText;
    };
    // The question waiting for the user's answer; none when nothing is asked. While it is open,
    // edits are taken but not written.
    std::optional<DiskQuestion> diskQuestion() const;
    bool isDiskQuestionOpen() const { return m_diskQuestionOpen; }
    // Keep My Version writes the text over the other program's version; Load Disk Version shows
    // that version instead; Decide Later leaves both as they are and does not ask again about
    // that version of the file.
    void answerDiskQuestion(DiskChoice choice);

    // While held (git is committing and merging the files), nothing is written; what was typed
    // meanwhile is written when the hold ends.
    void setWritesHeld(bool held);
    bool areWritesHeld() const { return m_writesHeld; }

Q_SIGNALS:
    void edited(const quillon::TextEdit& edit, const QObject* origin);
    void heldInputWanted();
    void replaced();
    void diskQuestionChanged();
    void saveErrorChanged();
    void readErrorChanged();
    // isEditable() changed.
    void editableChanged();
    // A write reached the disk.
    void written();

private:
    enum class SaveRequest { Edit, Explicit };
    enum class SaveOutcome { Written, Unchanged, TookDiskVersion, NotSaved, ChangedOnDisk, Queued };

    bool read();
    void apply(
        qsizetype position, const QString& removed, const QString& inserted, const QObject* origin);
    std::optional<MarkdownReplacement> applyStep(
        std::optional<MarkdownReplacement> step, const QObject* origin);
    SaveOutcome commit(SaveRequest request);
    void queueWrite(bool replaceAnyChange);
    SaveOutcome writeNow(bool replaceAnyChange);
    DiskQuestion diskQuestionTexts() const;
    DiskChoice askAboutDiskChange() const;
    SaveOutcome settleDiskChange(DiskChoice choice);
    void takeDiskVersion();
    void queueDiskQuestion();
    void askInBar();
    void setDiskQuestionOpen(bool open);
    QString changedOnDiskError() const;
    QString fileGoneError() const;
    // A write found no file to write: logged, and the reason kept.
    void reportFileGone();
    bool changedOnDisk();
    // Records where `next` differs from the text before it is taken.
    void noteReplacement(const QString& next);
    // Takes `next` as the text, noting where it differs.
    void takeText(const QString& next);
    void takeText(const ChunkedText& next);
    // `bytes` is the length of the text as the file holds it, when known (-1 when not).
    void markWritten(const ChunkedText& text, const LineEnds& lineEnds,
        const FileSignature& signature, qint64 bytes);
    void setReadError(const QString& error);
    void setReadOnlyReason(const QString& reason);
    QString readOnlyReasonNow() const;
    void takeResultFromEarlierPath(const BackgroundWriter::Result& result);

    QString m_path;
    BackgroundWriter& m_writer;
    ChunkedText m_text;
    LineEnds m_lineEnds;
    quint64 m_version = 0;
    MarkdownUndoStack m_history;
    // The file as last read or written (sharing its pieces with m_text where they are equal).
    ChunkedText m_diskText;
    qint64 m_diskBytes = -1; // m_diskText's length in the file, when known
    LineEnds m_diskLineEnds;
    FileSignature m_diskSignature;
    QString m_readError;
    QString m_readOnlyReason;
    quint64 m_writerOwner = 0;
    // The digest of another program's version that the user chose to decide about later.
    QByteArray m_postponedDigest;
    QString m_saveError;
    quint64 m_queuedWrite = 0;
    quint64 m_finishedWrite = 0;
    std::optional<SaveOutcome> m_lastWriteOutcome;
    bool m_questionQueued = false;
    bool m_diskQuestionOpen = false;
    bool m_writesHeld = false;
    ReplacedStretch m_lastReplacement;
};

} // namespace quillon
