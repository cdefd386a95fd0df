#include "workspace/Document.h"

#include "platform/FileUtil.h"
#include "platform/UserPrompts.h"
#include "workspace/WorkspaceLog.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <atomic>

namespace quillon {

using FileUtil::fileName;

namespace {

quint64 nextWriterOwner()
{
    static std::atomic<quint64> next { 1 };
    return next++;
}

} // namespace

namespace {

template <typename Text>
ReplacedStretch stretchBetween(const ChunkedText& before, const Text& after)
{
    qsizetype prefix = before.commonPrefix(after);
    qsizetype suffix = before.commonSuffix(after, qMin(before.size(), after.size()) - prefix);
    // Never split a surrogate pair between the kept and the replaced part.
    if (prefix > 0 && before.at(prefix - 1).isHighSurrogate())
        --prefix;
    if (suffix > 0 && before.at(before.size() - suffix).isLowSurrogate())
        --suffix;
    ReplacedStretch stretch { prefix, before.size() - prefix - suffix,
        after.size() - prefix - suffix, {} };
    // Changes in several places (the user's typing thrown away, another program's line added
    // further down) are told apart, so a caret follows its own text. Past this size the search
    // would cost the window a noticeable moment.
    constexpr qsizetype kMatchedLinesUpTo = 1 << 20;
    // A stretch only taken away or only put in (the first reading of a file) has no inside to map.
    if (stretch.removedLength > 0 && stretch.insertedLength > 0
        && stretch.removedLength + stretch.insertedLength <= kMatchedLinesUpTo) {
        OffsetMap inner = OffsetMap::between(before.mid(stretch.position, stretch.removedLength),
            after.mid(stretch.position, stretch.insertedLength));
        if (!inner.isIdentity())
            stretch.inner = std::make_shared<const OffsetMap>(std::move(inner));
    }
    return stretch;
}

} // namespace

ReplacedStretch ReplacedStretch::between(const ChunkedText& before, QStringView after)
{
    return stretchBetween(before, after);
}

ReplacedStretch ReplacedStretch::between(const ChunkedText& before, const ChunkedText& after)
{
    return stretchBetween(before, after);
}

Document::Document(const QString& path, BackgroundWriter& writer, QObject* parent)
    : QObject(parent)
    , m_path(path)
    , m_writer(writer)
{
    m_writerOwner = nextWriterOwner();
    if (read())
        checkWritable();
}

Document::~Document() = default;

void Document::setPath(const QString& path)
{
    if (path == m_path)
        return;
    // What the writer remembers of the old path is of no use to the new one.
    m_writer.forget(m_path);
    m_path = path;
}

bool Document::hasLocalEdits() const
{
    return !(m_text == m_diskText);
}

bool Document::read()
{
    // Taken before reading: a change in between then shows as a change, never hides one.
    const FileSignature signature = FileSignature::of(m_path);
    // Read in pieces as they are kept: a long file is never held as one string on its way in
    // (nor that string's memory made ready on the window's thread). Read again, only the
    // stretch that differs from the text held is taken from them.
    FileUtil::PiecesFile file = FileUtil::readTextInPieces(m_path);
    if (!file.ok) {
        setReadError(file.error.isEmpty() ? QStringLiteral("unreadable") : file.error);
        return false;
    }
    if (m_text.isEmpty()) {
        m_lastReplacement = { 0, 0, file.text.size(), {} };
        m_text = std::move(file.text);
    } else {
        takeText(file.text);
    }
    m_lineEnds = file.lineEnds;
    ++m_version;
    m_history.clear();
    markWritten(m_text, m_lineEnds, signature, file.bytes);
    setReadError({});
    return true;
}

QString Document::readOnlyReasonNow() const
{
    return FileUtil::isReadOnlyFile(m_path)
        ? tr("“%1” is read-only: you may not write to it.").arg(fileName(m_path))
        : QString();
}

void Document::checkWritable()
{
    const QString before = m_readOnlyReason;
    setReadOnlyReason(readOnlyReasonNow());
    if (before.isEmpty() || !m_readOnlyReason.isEmpty())
        return;
    if (hasLocalEdits())
        saveEdits();
    else if (m_saveError == before)
        setSaveError({});
}

void Document::retryUnreadable()
{
    if (isReadable() || hasLocalEdits())
        return;
    if (read())
        Q_EMIT replaced();
}

void Document::discardLocalEdits()
{
    if (!hasLocalEdits())
        return;
    if (!isReadable() || !QFileInfo::exists(m_path) || !read()) {
        noteReplacement(m_diskText.toString());
        m_text = m_diskText;
        m_lineEnds = m_diskLineEnds;
        ++m_version;
        m_history.clear();
    }
    m_postponedDigest.clear();
    setSaveError({});
    setDiskQuestionOpen(false);
    Q_EMIT replaced();
}

void Document::noteReplacement(const QString& next)
{
    m_lastReplacement = ReplacedStretch::between(m_text, next);
}

namespace {

QStringView stretchOf(const QString& text, const ReplacedStretch& stretch)
{
    return QStringView(text).mid(stretch.position, stretch.insertedLength);
}

QString stretchOf(const ChunkedText& text, const ReplacedStretch& stretch)
{
    return text.mid(stretch.position, stretch.insertedLength);
}

// Puts `next` in place of `text`, which `stretch` says how it differs from.
template <typename Text>
void takeStretch(ChunkedText& text, const Text& next, const ReplacedStretch& stretch)
{
    if (stretch.removedLength == text.size() && stretch.insertedLength == next.size()) {
        text = ChunkedText(next);
        return;
    }
    // Only the stretch that differs is copied: the rest keeps sharing its pieces with what the
    // disk held and with the snapshots of writes on their way.
    text.replace(stretch.position, stretch.removedLength, stretchOf(next, stretch));
}

} // namespace

void Document::takeText(const ChunkedText& next)
{
    m_lastReplacement = ReplacedStretch::between(m_text, next);
    takeStretch(m_text, next, m_lastReplacement);
}

void Document::takeText(const QString& next)
{
    noteReplacement(next);
    takeStretch(m_text, next, m_lastReplacement);
}

// ---- Changes --------------------------------------------------------------------------------

void Document::applyEdit(qsizetype position, qsizetype removedLength, const QString& inserted,
    const QObject* origin, EditKind kind, qsizetype caretBefore, qsizetype caretAfter)
{
    position = std::clamp<qsizetype>(position, 0, m_text.size());
    removedLength = std::clamp<qsizetype>(removedLength, 0, m_text.size() - position);
    const QString removed = m_text.mid(position, removedLength);
    if (removed == inserted)
        return;
    MarkdownReplacement step;
    step.position = int(position);
    step.removed = removed;
    step.inserted = inserted;
    step.caretBefore = int(caretBefore >= 0 ? caretBefore : position);
    step.caretAfter = int(caretAfter >= 0 ? caretAfter : position + inserted.size());
    m_history.record(step,
        kind == EditKind::Typing ? MarkdownUndoStack::Kind::Typing
                                 : MarkdownUndoStack::Kind::Command);
    apply(position, removed, inserted, origin);
}

void Document::applyUserText(const QString& text, const QObject* origin)
{
    const QString current = m_text.toString();
    if (current == text)
        return;
    const MarkdownReplacement change = MarkdownReplacement::between(current, text);
    applyEdit(change.position, change.removed.size(), change.inserted, origin, EditKind::Command);
}

void Document::apply(
    qsizetype position, const QString& removed, const QString& inserted, const QObject* origin)
{
    m_text.replace(position, removed.size(), inserted);
    m_lineEnds.applyEdit(m_text, position, removed.size(), inserted.size());
    const TextEdit edit { position, removed.size(), inserted, m_text.size(), ++m_version, removed };
    Q_EMIT edited(edit, origin);
    commit(SaveRequest::Edit);
}

void Document::replaceText(const QString& text)
{
    takeText(text);
    m_lineEnds.applyEdit(m_text, m_lastReplacement.position, m_lastReplacement.removedLength,
        m_lastReplacement.insertedLength);
    ++m_version;
    m_history.clear();
    Q_EMIT replaced();
}

std::optional<MarkdownReplacement> Document::undo(const QObject* origin)
{
    return applyStep(m_history.takeUndo(), origin);
}

std::optional<MarkdownReplacement> Document::redo(const QObject* origin)
{
    return applyStep(m_history.takeRedo(), origin);
}

std::optional<MarkdownReplacement> Document::applyStep(
    std::optional<MarkdownReplacement> step, const QObject* origin)
{
    if (!step)
        return std::nullopt;
    if (!isEditable() || step->position < 0 || step->position + step->removed.size() > m_text.size()
        || m_text.mid(step->position, step->removed.size()) != step->removed) {
        // The history no longer fits the text: it is of no use any more.
        m_history.clear();
        return std::nullopt;
    }
    apply(step->position, step->removed, step->inserted, origin);
    return step;
}

// ---- Saving ---------------------------------------------------------------------------------

void Document::setSaveError(const QString& error)
{
    if (error == m_saveError)
        return;
    m_saveError = error;
    Q_EMIT saveErrorChanged();
}

void Document::setReadError(const QString& error)
{
    if (error == m_readError)
        return;
    const bool wasEditable = isEditable();
    m_readError = error;
    Q_EMIT readErrorChanged();
    if (wasEditable != isEditable())
        Q_EMIT editableChanged();
}

void Document::setReadOnlyReason(const QString& reason)
{
    if (reason == m_readOnlyReason)
        return;
    const bool wasEditable = isEditable();
    m_readOnlyReason = reason;
    if (wasEditable != isEditable())
        Q_EMIT editableChanged();
}

void Document::markWritten(
    const ChunkedText& text, const LineEnds& lineEnds, const FileSignature& signature, qint64 bytes)
{
    m_diskText = text;
    m_diskBytes = bytes;
    m_diskLineEnds = lineEnds;
    m_diskSignature = signature;
    m_postponedDigest.clear();
    setSaveError({});
    setDiskQuestionOpen(false);
}

bool Document::changedOnDisk()
{
    const FileSignature now = FileSignature::of(m_path);
    if (!now.isRacy() && !m_diskSignature.isRacy() && now.sameFileVersion(m_diskSignature))
        return false;
    // Another length is another text, told without reading and encoding megabytes (a length
    // known from reading or writing it: the signature may have been taken before a change).
    if (now.exists && m_diskBytes >= 0 && now.size != m_diskBytes)
        return true;
    QFile file(m_path);
    if (!now.exists || !file.open(QIODevice::ReadOnly))
        return true;
    if (file.readAll() != m_diskLineEnds.encode(m_diskText))
        return true;
    // The same content: from now on the signature can tell.
    if (!now.isRacy())
        m_diskSignature = now;
    return false;
}

void Document::saveEdits()
{
    commit(SaveRequest::Edit);
}

bool Document::save()
{
    m_writer.flush();
    if (hasLocalEdits())
        return commit(SaveRequest::Explicit) != SaveOutcome::NotSaved;
    if (!isReadable()) {
        setSaveError(tr("“%1” was not saved: it could not be read.").arg(fileName(m_path)));
        return false;
    }
    if (!QFileInfo::exists(m_path)) {
        reportFileGone();
        return false;
    }
    // Nothing of ours to write: show what is on disk now.
    if (changedOnDisk())
        takeDiskVersion();
    return true;
}

void Document::adoptWrittenText(const QString& text, const LineEnds& lineEnds)
{
    takeText(text);
    m_lineEnds = lineEnds;
    ++m_version;
    m_history.clear();
    markWritten(m_text, lineEnds, FileSignature::of(m_path), -1);
    setReadError({});
    Q_EMIT replaced();
}

void Document::queueWrite(bool replaceAnyChange)
{
    // The writer gets a snapshot: it shares the text's pieces, so typing on copies only the
    // piece an edit lands in.
    BackgroundWriter::Request request { m_path, m_text, m_lineEnds, m_diskSignature, m_diskText,
        m_diskLineEnds, replaceAnyChange, m_writerOwner };
    m_queuedWrite = m_writer.write(std::move(request));
}

Document::SaveOutcome Document::writeNow(bool replaceAnyChange)
{
    if (m_writesHeld) {
        setSaveError(tr("“%1” is not saved yet: git is updating the files. It is saved as soon "
                        "as git is done.")
                         .arg(fileName(m_path)));
        return SaveOutcome::NotSaved;
    }
    m_lastWriteOutcome.reset();
    queueWrite(replaceAnyChange);
    m_writer.flush();
    return m_lastWriteOutcome.value_or(SaveOutcome::NotSaved);
}

void Document::takeWriteResult(const BackgroundWriter::Result& result)
{
    m_finishedWrite = std::max(m_finishedWrite, result.ticket);
    if (result.path != m_path) {
        takeResultFromEarlierPath(result);
        return;
    }
    const QString name = fileName(m_path);
    SaveOutcome outcome = SaveOutcome::NotSaved;
    switch (result.status) {
    case BackgroundWriter::Status::Written:
        markWritten(result.text, result.lineEnds, result.signature, result.bytes);
        outcome = SaveOutcome::Written;
        Q_EMIT written();
        break;
    case BackgroundWriter::Status::ChangedOnDisk:
        setSaveError(changedOnDiskError());
        // A version the user chose to decide about later is not asked about again on every edit.
        if (m_postponedDigest.isEmpty() || m_postponedDigest != result.diskDigest) {
            outcome = SaveOutcome::ChangedOnDisk;
            queueDiskQuestion();
        }
        break;
    case BackgroundWriter::Status::Missing:
        reportFileGone();
        break;
    case BackgroundWriter::Status::Failed:
        printLine(QStringLiteral("Failed to write to file: ") + result.error);
        if (result.readOnly) {
            // Made read-only since it was opened: what was typed stays, unsaved.
            setReadOnlyReason(readOnlyReasonNow());
            if (!m_readOnlyReason.isEmpty()) {
                setSaveError(m_readOnlyReason);
                break;
            }
        }
        setSaveError(tr("“%1” was not saved: %2").arg(name, result.error));
        break;
    }
    m_lastWriteOutcome = outcome;
}

void Document::takeResultFromEarlierPath(const BackgroundWriter::Result& result)
{
    // The file was renamed or moved while this write was on its way. A later write, to the
    // present path, carries the text.
    if (isWritePending())
        return;
    if (result.status == BackgroundWriter::Status::Written) {
        const FileSignature here = FileSignature::of(m_path);
        QFile file(m_path);
        if (here.exists
            && ((here.device == result.signature.device && here.inode == result.signature.inode)
                || (file.open(QIODevice::ReadOnly)
                    && file.readAll() == result.lineEnds.encode(result.text)))) {
            // Written before the move: the file took the text along.
            markWritten(result.text, result.lineEnds, result.signature, result.bytes);
            m_lastWriteOutcome = SaveOutcome::Written;
            Q_EMIT written();
            return;
        }
    }
    // The text did not reach the file under its present name: it goes there now.
    if (hasLocalEdits())
        queueWrite(false);
}

Document::SaveOutcome Document::commit(SaveRequest request)
{
    // While a write is on its way, the disk is about to hold another text than the one we know.
    if (!hasLocalEdits() && !(request == SaveRequest::Edit && isWritePending()))
        return SaveOutcome::Unchanged;
    const QString name = fileName(m_path);
    if (!isReadable()) {
        setSaveError(
            tr("“%1” was not saved: it could not be read, and writing it could destroy what it "
               "holds. Use Save As to keep your text.")
                .arg(name));
        return SaveOutcome::NotSaved;
    }
    if (!m_readOnlyReason.isEmpty()) {
        // The user may have given permission meanwhile.
        setReadOnlyReason(readOnlyReasonNow());
        if (!m_readOnlyReason.isEmpty()) {
            setSaveError(m_readOnlyReason);
            return SaveOutcome::NotSaved;
        }
    }
    if (request == SaveRequest::Edit) {
        // Typing goes on while the user has not answered about another program's version, or
        // while git merges the files; it is written once that is settled.
        if (m_diskQuestionOpen || m_writesHeld)
            return SaveOutcome::NotSaved;
        queueWrite(false);
        return SaveOutcome::Queued;
    }
    if (m_writesHeld)
        return writeNow(false);
    // Decide on what the disk holds once the writes already asked for are done.
    m_writer.flush();
    if (!hasLocalEdits())
        return SaveOutcome::Unchanged;
    if (!QFileInfo::exists(m_path)) {
        reportFileGone();
        return SaveOutcome::NotSaved;
    }
    if (!changedOnDisk())
        return writeNow(false);
    // The user asked for this save: a modal question is no surprise here.
    return settleDiskChange(askAboutDiskChange());
}

Document::SaveOutcome Document::settleDiskChange(DiskChoice choice)
{
    setDiskQuestionOpen(false);
    switch (choice) {
    case DiskChoice::KeepMine:
        return writeNow(true);
    case DiskChoice::LoadDisk:
        takeDiskVersion();
        return SaveOutcome::TookDiskVersion;
    case DiskChoice::Later:
        m_postponedDigest = FileUtil::digestOfFile(m_path);
        setSaveError(changedOnDiskError());
        return SaveOutcome::NotSaved;
    }
    return SaveOutcome::NotSaved;
}

QString Document::changedOnDiskError() const
{
    return tr("“%1” was not saved: it was changed by another program.").arg(fileName(m_path));
}

QString Document::fileGoneError() const
{
    return tr("“%1” was not saved: the file no longer exists.").arg(fileName(m_path));
}

void Document::reportFileGone()
{
    printLine(QStringLiteral("Quillon: Skipping writeToDisk for deleted file at path: ") + m_path);
    setSaveError(fileGoneError());
}

std::optional<Document::DiskQuestion> Document::diskQuestion() const
{
    if (!m_diskQuestionOpen)
        return std::nullopt;
    return diskQuestionTexts();
}

Document::DiskQuestion Document::diskQuestionTexts() const
{
    DiskQuestion question;
    question.message = tr("“%1” was changed by another program.").arg(fileName(m_path));
    question.informativeText = tr("You have changes that are not on disk. Keep your version and "
                                  "replace the file, or load the version on disk and lose your "
                                  "changes?");
    return question;
}

Document::DiskChoice Document::askAboutDiskChange() const
{
    const DiskQuestion question = diskQuestionTexts();
    UserPrompts::Alert alert;
    alert.message = question.message;
    alert.informativeText = question.informativeText;
    alert.buttons = { tr("Keep My Version"), tr("Load Disk Version"), tr("Decide Later") };
    alert.warning = true;
    switch (UserPrompts::current().runAlert(alert)) {
    case 0:
        return DiskChoice::KeepMine;
    case 1:
        return DiskChoice::LoadDisk;
    default:
        return DiskChoice::Later;
    }
}

void Document::answerDiskQuestion(DiskChoice choice)
{
    if (!m_diskQuestionOpen)
        return;
    takeHeldInput();
    m_writer.flush();
    // The disk or the text may have moved on since the question was asked.
    if (!hasLocalEdits() || !changedOnDisk()) {
        setDiskQuestionOpen(false);
        if (hasLocalEdits())
            commit(SaveRequest::Edit);
        else if (changedOnDisk())
            takeDiskVersion();
        return;
    }
    settleDiskChange(choice);
}

void Document::setDiskQuestionOpen(bool open)
{
    if (open == m_diskQuestionOpen)
        return;
    m_diskQuestionOpen = open;
    Q_EMIT diskQuestionChanged();
}

void Document::setWritesHeld(bool held)
{
    if (held == m_writesHeld)
        return;
    m_writesHeld = held;
    if (!held)
        commit(SaveRequest::Edit);
}

void Document::takeDiskVersion()
{
    if (read())
        Q_EMIT replaced();
}

void Document::queueDiskQuestion()
{
    // The edit that found the change is still being handled (a view's change handler may be on
    // the stack); the question is settled on the next turn, with everything typed meanwhile.
    if (m_questionQueued || m_diskQuestionOpen)
        return;
    m_questionQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_questionQueued = false;
            askInBar();
        },
        Qt::QueuedConnection);
}

void Document::askInBar()
{
    // Decide on what the disk holds once the writes already asked for are done.
    m_writer.flush();
    if (m_diskQuestionOpen || !isReadable())
        return;
    if (!QFileInfo::exists(m_path)) {
        if (hasLocalEdits())
            setSaveError(fileGoneError());
        return;
    }
    if (!changedOnDisk()) {
        commit(SaveRequest::Edit);
        return;
    }
    if (!hasLocalEdits()) {
        takeDiskVersion();
        return;
    }
    setSaveError(changedOnDiskError());
    // A version the user chose to decide about later is not asked about again.
    if (!m_postponedDigest.isEmpty() && m_postponedDigest == FileUtil::digestOfFile(m_path))
        return;
    setDiskQuestionOpen(true);
}

void Document::followChangeOnDisk()
{
    // A write on its way reports itself, whatever it finds; a deleted file keeps its text.
    if (!isReadable() || isWritePending() || !QFileInfo::exists(m_path))
        return;
    // Most reports are of our own writes. Trusting the times here, even within a clock tick,
    // costs no read of a large file; a change they miss is still caught by the next write.
    if (FileSignature::of(m_path).sameFileVersion(m_diskSignature) || !changedOnDisk())
        return;
    if (hasLocalEdits())
        queueDiskQuestion();
    else
        takeDiskVersion();
}

void Document::reloadAfterOutsideChange()
{
    if (!isReadable()) {
        retryUnreadable();
        return;
    }
    if (!QFileInfo::exists(m_path) || !changedOnDisk())
        return;
    if (!hasLocalEdits()) {
        takeDiskVersion();
        return;
    }
    askInBar();
}

} // namespace quillon
