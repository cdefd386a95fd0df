// The block editor following edits made elsewhere (the source pane, undo there): they arrive as
// ranges of the Markdown and their replacements, are gathered until the next turn of the event
// loop and applied as one to the paragraphs they touch, so that the cost of following does not
// grow with the document.
#include "editor/block/UnifiedBlockEditor.h"

#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/CaretLineTracker.h"
#include "editor/document/FlagScope.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTable.h"
#include "markdown/MarkdownTableProjection.h"
#include "platform/TextLines.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <optional>

namespace quillon {

UnifiedBlockEditor::MarkdownSelection UnifiedBlockEditor::selectionThrough(
    const ReplacedStretch& stretch) const
{
    const auto [anchor, caret] = storageSelection();
    return { stretch.map(m_projected->markdownOffset(anchor)),
        stretch.map(m_projected->markdownOffset(caret)) };
}

void UnifiedBlockEditor::select(const MarkdownSelection& selection)
{
    const qsizetype length = m_projected->storage().length();
    const qsizetype anchorStorage = qMin(m_projected->storageOffset(selection.anchor), length);
    const qsizetype caretStorage = qMin(m_projected->storageOffset(selection.caret), length);
    coverRange(anchorStorage, caretStorage);
    const int anchor = toView(anchorStorage);
    const int caret = toView(caretStorage);
    QTextCursor cursor = m_view->textCursor();
    // Placing the caret again measures where it is: not when it is there already (the view's
    // caret moves with the text around a change).
    if (cursor.anchor() != anchor || cursor.position() != caret) {
        cursor.setPosition(anchor);
        cursor.setPosition(caret, QTextCursor::KeepAnchor);
        m_view->setTextCursor(cursor);
    }
    m_caretStorage = caretStorage;
}

void UnifiedBlockEditor::reloadFromOutside(
    const MarkdownSelection& selection, const ReplacedStretch& stretch)
{
    // Replaced from outside (a reload): an open cell belongs to the old text. What was typed in
    // it goes into the table the change left where it was, if the change left it as it was.
    std::optional<TableEditingController::OpenCell> open = m_tableEditor->takeOpenCell();
    const qsizetype tableAt
        = open ? stretch.map(m_projected->markdownOffset(toStorage(open->index))) : -1;
    m_tableEditor->teardown();
    reload(m_document.text(), selection.caret);
    if (selection.anchor != selection.caret)
        select(selection);
    if (!open)
        return;
    const qsizetype at = m_projected->storageOffset(tableAt);
    std::shared_ptr<const TableAttachment> table
        = m_projected->inWindow(at) ? m_tableEditor->tableAt(toView(at)) : nullptr;
    if (!table || table->markdown() != open->table->markdown())
        return;
    open->table = std::move(table);
    commitCellLater(*open, at);
}

void UnifiedBlockEditor::commitCellLater(const TableEditingController::OpenCell& open, qsizetype at)
{
    // On the next turn: the change is still being handed to the other views now. A cursor on
    // the table's character keeps its place through whatever comes before, edits of the other
    // pane made meanwhile included: they are shown first, so that the cell goes into the text
    // the document has.
    if (!m_projected->inWindow(at) || at >= m_projected->windowEnd())
        return;
    QTextCursor table(m_view->document());
    table.setPosition(toView(at));
    QMetaObject::invokeMethod(
        this,
        [this, open, table] {
            if (m_binding->isBehind())
                m_binding->follow();
            m_tableEditor->commitCell(open, table.position());
        },
        Qt::QueuedConnection);
}

void UnifiedBlockEditor::showReplaced(const ReplacedStretch& stretch)
{
    // A text taken out goes back in as the document's text now, at the place it kept, which
    // followed the change: the change is shown then.
    const bool takenOut = m_reloadNextTurn;
    finishLoading();
    if (takenOut)
        return;
    // The caret and the selection stay on the text they were on, wherever it moved; so does the
    // paragraph at the top of a window's screen. Only a window of the new text goes in.
    const auto [anchor, caret] = storageSelection();
    const MarkdownSelection selection { stretch.map(m_projected->markdownOffset(anchor)),
        stretch.map(m_projected->markdownOffset(caret)) };
    std::optional<std::pair<qsizetype, double>> top;
    if (!m_projected->holdsAll()) {
        const LineTop line = lineAtY(m_view->verticalScrollBar()->value());
        top = { stretch.map(
                    m_projected->markdownOffset(m_projected->window().lineStart(line.line))),
            m_view->verticalScrollBar()->value() - line.y };
    }
    reloadFromOutside(selection, stretch);
    if (!top || m_projected->holdsAll())
        return;
    const qsizetype offset
        = qMin(m_projected->storageOffset(top->first), m_projected->storage().length());
    scrollToLineTop(m_projected->window().lineAt(offset), top->second);
}

void UnifiedBlockEditor::followEdits(const QList<TextEdit>& edits, const ReplacedStretch* outside)
{
    // All of them applied as one edit: in the view's Markdown the stretch they changed becomes
    // the document's. Tables of ours still to be shown again are shown with the whole text.
    if (std::exchange(m_tablesToShowAgain, std::nullopt))
        m_reloadPending = true;
    ReplacedStretch stretch = DocumentBinding::stretchOf(edits);
    // After a change from outside the caret and the selection stay on the text they were on, as
    // across a reload; other views' edits carry them along.
    std::optional<MarkdownSelection> selection;
    if (outside) {
        // Taken alone, the change from outside knows where inside it each line went.
        if (outside->position == stretch.position && outside->removedLength == stretch.removedLength
            && outside->insertedLength == stretch.insertedLength)
            stretch.inner = outside->inner;
        selection = selectionThrough(stretch);
    }
    const ChunkedText& text = m_document.text();
    const TextEdit edit { stretch.position, stretch.removedLength,
        text.mid(stretch.position, stretch.insertedLength), text.size(), m_document.version(), {} };
    if (!m_view->isReadOnly() && applyOutsideEdit(edit, selection ? &*selection : nullptr))
        return;
    if (selection) {
        reloadFromOutside(*selection, stretch);
        return;
    }
    m_tableEditor->teardown();
    reload(text, caretMarkdownOffset());
}

bool UnifiedBlockEditor::caretInsideTableAround(const TextRange& stretch) const
{
    // Shown as a grid, the row would take the caret to its end, and the keys that follow after
    // the text that stood behind it: the row stays text until the caret leaves it.
    const qsizetype caret = caretMarkdownOffset();
    const ChunkedText& text = m_document.text();
    if (caret >= text.size() || textlines::isLineBreak(text.at(caret)))
        return false;
    const auto tables = tablesAround(stretch.location, stretch.end(), 0, false);
    return tables
        && std::any_of(tables->inText.cbegin(), tables->inText.cend(),
            [&](const TextRange& table) { return table.location < caret && caret < table.end(); });
}

void UnifiedBlockEditor::showTablesAgain()
{
    const TextRange stretch = *std::exchange(m_tablesToShowAgain, std::nullopt);
    const ChunkedText& text = m_document.text();
    // The stretch as an edit that made it what it is: the tables it touches, makes or breaks
    // are projected again as those of another view's edit are.
    const TextEdit edit { stretch.location, stretch.length,
        text.mid(stretch.location, stretch.length), text.size(), m_document.version(), {} };
    if (m_view->isReadOnly() || !applyOutsideEdit(edit, nullptr)
        || tablesDifferFromText(stretch, false)) {
        showWholeTextAtCaret();
        return;
    }
    // The grid may be higher than the lines it was typed as.
    m_view->ensureCursorVisible();
}

bool UnifiedBlockEditor::applyOutsideEdit(const TextEdit& edit, const MarkdownSelection* selection)
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
            oldTables = m_projected->tableMarkdownRanges(0, m_projected->storage().length());
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
            { 0, 1 }, std::make_shared<TableAttachment>(*parsed, source, isDarkMode(), fontSize()));
        character.addAttribute<TextAttribute::ParagraphStyle>(
            { 0, 1 }, MarkdownTableProjection::tableParagraphStyle());
        replacement.append(character);
        copied = table.end();
    }
    replacement.append(AttributedText(newText.mid(copied, newTo - copied)));

    // The text changed elsewhere: an open cell belongs to the old text. What was typed in it is
    // written into its table once the change is in, where the change left that table as it was.
    const std::optional<TableEditingController::OpenCell> open = m_tableEditor->takeOpenCell();
    const qsizetype openAt = open ? toStorage(open->index) : -1;
    m_tableEditor->teardown();
    FlagScope programmatic(m_isProgrammatic);
    QScrollBar* bar = m_view->verticalScrollBar();
    const int top = bar->value();
    const bool windowed = !m_projected->holdsAll();
    auto [anchor, caret] = storageSelection();
    const qsizetype start = m_projected->storageOffset(from);
    const qsizetype end = m_projected->storageOffset(to);
    // What is on screen stays where it was, however the text above it grew or shrank, and
    // wherever the window goes for the selection: the paragraph on top is kept by its text.
    const LineTop topLine = windowed ? lineAtY(top) : LineTop {};
    const qsizetype topStart = windowed
        ? mapThroughEdit(
            m_projected->window().lineStart(topLine.line), start, end - start, replacement.length())
        : 0;
    // The new text and its styling are laid out once, together.
    QTextCursor layoutOnce(m_view->document());
    layoutOnce.beginEditBlock();
    m_projected->replace({ start, end - start }, replacement);
    if (windowed) {
        // An edit outside the window changed only the heights around it; one across its edge
        // filled it again, the caret with it.
        showWindowHeights();
        anchor = mapThroughEdit(anchor, start, end - start, replacement.length());
        caret = mapThroughEdit(caret, start, end - start, replacement.length());
        // A selection outside the window stays kept aside: the window stays with the screen.
        if (selection) {
            const qsizetype length = m_projected->storage().length();
            anchor = qMin(m_projected->storageOffset(selection->anchor), length);
            caret = qMin(m_projected->storageOffset(selection->caret), length);
        }
        restoreSelection(anchor, caret);
    } else if (selection) {
        select(*selection);
    }
    if (!m_detached)
        m_caretStorage = toStorage(m_view->textCursor().position());
    m_caretLine->moveTo(m_view->textCursor().blockNumber());
    if (farAway) {
        markAllParagraphsDirty();
    } else if (m_projected->inWindow(start)
        || m_projected->inWindow(start + replacement.length())) {
        const QTextDocument* document = m_view->document();
        markParagraphsDirty(document->findBlock(toView(start)).blockNumber(),
            document->findBlock(toView(start + replacement.length())).blockNumber());
    }
    restyle();
    layoutOnce.endEditBlock();
    if (windowed && !m_projected->holdsAll())
        scrollToLineTop(m_projected->window().lineAt(topStart), top - topLine.y);
    else
        bar->setValue(top);
    if (open)
        commitCellLater(*open, mapThroughEdit(openAt, start, end - start, replacement.length()));
    return true;
}

} // namespace quillon
