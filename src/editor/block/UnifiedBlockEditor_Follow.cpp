// The block editor following edits made elsewhere (the source pane, undo there): they arrive as
// ranges of the Markdown and their replacements, are gathered until the next turn of the event
// loop and applied as one to the paragraphs they touch, so that the cost of following does not
// grow with the document.
#include "editor/block/UnifiedBlockEditor.h"

#include "editor/block/CaretLineTracker.h"
#include "editor/document/FlagScope.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTable.h"
#include "markdown/MarkdownTableProjection.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace quillon {

QList<TextRange> UnifiedBlockEditor::tableMarkdownRanges() const
{
    QList<TextRange> ranges;
    const AttributedText& storage = m_projected->storage();
    const QString& text = storage.text();
    qsizetype shift = 0;
    for (qsizetype i = text.indexOf(QChar::ObjectReplacementCharacter); i >= 0;
         i = text.indexOf(QChar::ObjectReplacementCharacter, i + 1)) {
        if (const TableAttachment* table = MarkdownTableProjection::tableAt(storage, i)) {
            const qsizetype length = table->markdown().size();
            ranges.append({ i + shift, length });
            shift += length - 1;
        }
    }
    return ranges;
}

void UnifiedBlockEditor::onDocumentEdited(const TextEdit& edit, const QObject* origin)
{
    if (origin == this)
        return; // made here: the view shows it already
    // Gathered into one stretch: in the view's Markdown [from, oldEnd) becomes the document's
    // [from, newEnd). Offsets of an edit are those of the text after the edits before it.
    const qsizetype removedEnd = edit.position + edit.removedLength;
    const qsizetype delta = edit.inserted.size() - edit.removedLength;
    if (!m_hasPendingEdits) {
        m_pendingFrom = edit.position;
        m_pendingOldEnd = removedEnd;
        m_pendingNewEnd = edit.position + edit.inserted.size();
        m_hasPendingEdits = true;
    } else {
        m_pendingOldEnd += qMax<qsizetype>(0, removedEnd - m_pendingNewEnd);
        m_pendingNewEnd = qMax(m_pendingNewEnd, removedEnd) + delta;
        m_pendingFrom = qMin(m_pendingFrom, edit.position);
    }
    schedulePendingWork();
}

void UnifiedBlockEditor::onDocumentReplaced()
{
    // Replaced from outside (the file read again, a replacement of the whole text): never from
    // inside a view's change handler, so it is shown at once.
    m_hasPendingEdits = false;
    m_pendingReload = true;
    followPendingEdits();
}

void UnifiedBlockEditor::followPendingEdits()
{
    finishLoading();
    if (m_pendingReload) {
        m_pendingReload = false;
        // Replaced from outside (a reload): an open cell belongs to the old text.
        m_tableEditor->teardown();
        // The caret and the selection stay on the text they were on, wherever it moved.
        const ReplacedStretch stretch = m_document.lastReplacement();
        const QTextCursor before = m_view->textCursor();
        const qsizetype anchor = stretch.map(m_projected->markdownOffset(before.anchor()));
        const qsizetype caret = stretch.map(m_projected->markdownOffset(before.position()));
        reload(m_document.text().toString(), caret);
        if (anchor != caret) {
            const int length = int(m_projected->storage().length());
            QTextCursor selection = m_view->textCursor();
            selection.setPosition(int(qMin(m_projected->storageOffset(anchor), qsizetype(length))));
            selection.setPosition(int(qMin(m_projected->storageOffset(caret), qsizetype(length))),
                QTextCursor::KeepAnchor);
            m_view->setTextCursor(selection);
            m_caretStorage = selection.position();
        }
        return;
    }
    if (!m_hasPendingEdits)
        return;
    m_hasPendingEdits = false;
    const ChunkedText& text = m_document.text();
    const TextEdit edit { m_pendingFrom, m_pendingOldEnd - m_pendingFrom,
        text.mid(m_pendingFrom, m_pendingNewEnd - m_pendingFrom), text.size(),
        m_document.version() };
    if (!m_view->isReadOnly() && applyOutsideEdit(edit))
        return;
    m_tableEditor->teardown();
    reload(text.toString(), caretMarkdownOffset());
}

bool UnifiedBlockEditor::applyOutsideEdit(const TextEdit& edit)
{
    // The edit must have been made on the very text the storage projects: not while a reload
    // of ours is waiting (the storage then lags behind our own Markdown), nor on another
    // document's text. Anything else is reloaded whole.
    const qsizetype length = m_projected->markdownOffset(m_projected->storage().length());
    const qsizetype removedEnd = edit.position + edit.removedLength;
    if (m_reloadPending || !m_tableLineBreaks.isEmpty() || edit.position < 0
        || edit.removedLength < 0 || removedEnd > length
        || length - edit.removedLength + edit.inserted.size() != edit.resultLength)
        return false;
    MarkdownReplacement change;
    change.position = int(edit.position);
    change.removed = m_projected->markdownBetween(edit.position, removedEnd);
    change.inserted = edit.inserted;
    const ChangeLines lines = viewLinesAround(change);
    const bool tablesMayChange
        = StructureAroundEdit::mayChangeTables(change.removed, change.inserted, lines);
    const bool farAway
        = StructureAroundEdit::mayRestyleFarAway(change.removed, change.inserted, lines);
    const qsizetype delta = edit.inserted.size() - edit.removedLength;

    // The stretch of the old Markdown to project again: the edit, and every table it touches,
    // makes or unmakes. A table away from it is the same text at a shifted place and keeps its
    // character.
    qsizetype from = edit.position;
    qsizetype to = removedEnd;
    const ChunkedText& newText = m_document.text();
    if (newText.size() != edit.resultLength)
        return false;
    // Tables are looked for only when the edit may make or break one: in the lines around it,
    // or where those cannot tell, in the whole new text.
    QList<TextRange> newTables;
    if (tablesMayChange) {
        QList<TextRange> oldTables;
        if (auto tables
            = tablesAround(edit.position, edit.position + edit.inserted.size(), delta, farAway)) {
            oldTables = std::move(tables->shown);
            newTables = std::move(tables->inText);
        } else {
            oldTables = tableMarkdownRanges();
            newTables = MarkdownTableProjection::findTables(newText.toString());
        }
        const TextRange stretch = StructureAroundEdit::stretchToShowAgain(
            edit.position, edit.removedLength, edit.inserted.size(), oldTables, newTables);
        from = stretch.location;
        to = stretch.end();
    }

    // The new text of that stretch, its tables as attachment characters.
    const qsizetype newTo = to + delta;
    AttributedText replacement;
    qsizetype copied = from;
    for (const TextRange& table : std::as_const(newTables)) {
        if (table.location < from || table.end() > newTo)
            continue;
        replacement.append(AttributedText(newText.mid(copied, table.location - copied)));
        const QString source = newText.mid(table.location, table.length);
        const std::optional<MarkdownTable> parsed = MarkdownTable::parse(source, table);
        if (!parsed)
            return false;
        AttributedText character(QString(QChar::ObjectReplacementCharacter));
        character.addAttribute<TextAttribute::Attachment>(
            { 0, 1 }, std::make_shared<TableAttachment>(*parsed, source, m_isDarkMode, m_fontSize));
        character.addAttribute<TextAttribute::ParagraphStyle>(
            { 0, 1 }, MarkdownTableProjection::tableParagraphStyle());
        replacement.append(character);
        copied = table.end();
    }
    replacement.append(AttributedText(newText.mid(copied, newTo - copied)));

    // The text changed elsewhere: an open cell belongs to the old text.
    m_tableEditor->teardown();
    FlagScope programmatic(m_isProgrammatic);
    QScrollBar* bar = m_view->verticalScrollBar();
    const int top = bar->value();
    const qsizetype start = m_projected->storageOffset(from);
    const qsizetype end = m_projected->storageOffset(to);
    // The new text and its styling are laid out once, together.
    QTextCursor layoutOnce(m_view->document());
    layoutOnce.beginEditBlock();
    m_projected->replace({ start, end - start }, replacement);
    m_caretStorage = m_view->textCursor().position();
    m_caretLine->moveTo(m_view->textCursor().blockNumber());
    if (farAway) {
        markAllParagraphsDirty();
    } else {
        const QTextDocument* document = m_view->document();
        markParagraphsDirty(document->findBlock(int(start)).blockNumber(),
            document->findBlock(int(start + replacement.length())).blockNumber());
    }
    restyle();
    layoutOnce.endEditBlock();
    bar->setValue(top);
    return true;
}

} // namespace quillon
