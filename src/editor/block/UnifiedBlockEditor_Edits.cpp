// The block editor's edit path: user changes of the view become edits of the document's Markdown
// (which records them for undo); rule edits, cell commits, undo and redo go through the same path.
#include "editor/block/UnifiedBlockEditor.h"

#include "editor/block/BackgroundStyling.h"
#include "editor/block/CaretLineTracker.h"
#include "editor/block/LineEditingKeys.h"
#include "editor/document/FlagScope.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"
#include "platform/TextLines.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace quillon {

namespace {

// True when storage[from, to) holds an object character.
bool holdsObject(const AttributedText& storage, qsizetype from, qsizetype to)
{
    from = qMax<qsizetype>(0, from);
    to = qMin(storage.length(), to);
    return from < to
        && storage.textView({ from, to - from }).contains(QChar::ObjectReplacementCharacter);
}

// True when the storage range [from, to) holds a table's character.
bool holdsTable(const AttributedText& storage, qsizetype from, qsizetype to)
{
    const QString& text = storage.text();
    for (qsizetype i = text.indexOf(QChar::ObjectReplacementCharacter, from); i >= 0 && i < to;
         i = text.indexOf(QChar::ObjectReplacementCharacter, i + 1)) {
        if (MarkdownTableProjection::tableAt(storage, i))
            return true;
    }
    return false;
}

} // namespace

void UnifiedBlockEditor::onContentsChange(int viewPosition, int removed, int added)
{
    if (m_isProgrammatic)
        return;
    const qsizetype caretBefore = m_projected->markdownOffset(m_caretStorage);
    const AttributedText& storage = m_projected->storage();
    const qsizetype lengthBefore = storage.length();
    const qsizetype position = toStorage(viewPosition);
    const qsizetype removedInStorage
        = std::clamp<qsizetype>(removed, 0, m_projected->windowEnd() - position);
    // A change away from every table maps one to one onto the Markdown: it travels as that
    // range and its replacement, and the rest of the text is never looked at.
    bool plain = m_tableLineBreaks.isEmpty()
        && !holdsObject(storage, position - 1, position + removedInStorage + 1);
    const qsizetype markdownStart = plain ? m_projected->markdownOffset(position) : 0;
    // Tables the change put back as bare characters are kept, but the view draws them again
    // only once it is reloaded.
    // A styling pass reads the whole text between keys: typing keeps no gap in it meanwhile.
    const bool keptTables
        = m_projected->mirrorDocumentChange(viewPosition, removed, added, !m_styling->isRunning());
    const qsizetype insertedInStorage = storage.length() - lengthBefore + removedInStorage;
    if (m_binding->isBehind()) {
        // A change with no input before it while edits of other views wait (input takes them
        // in first): it is told in the older text the view shows, which the binding puts where
        // they moved it. The view is given the document's text whole on the next turn.
        if (const std::optional<QString> shown = m_binding->shownText()) {
            QString markdown = m_projected->markdown();
            separateTablesFromText(markdown, int(position), added);
            const MarkdownReplacement behind = MarkdownReplacement::between(*shown, markdown);
            if (!behind.isEmpty()) // else a change of formats only
                m_binding->takeEditBehind(behind.position, behind.removed.size(), behind.inserted);
            return;
        }
    }
    plain = plain && !holdsObject(storage, position - 1, position + insertedInStorage + 1);
    MarkdownReplacement change;
    bool separated = false;
    const ChunkedText& before = m_document.text();
    if (plain) {
        change = MarkdownReplacement::between(before.mid(markdownStart, removedInStorage),
            storage.textView({ position, insertedInStorage }).toString());
        change.position += int(markdownStart);
        change.caretAfter += int(markdownStart);
        if (change.isEmpty())
            return; // a change of formats only
    } else {
        // The lines around the change, beside any table in them, against the same lines of the
        // text before it; the text around them is the same in both. With line breaks still to
        // add from an earlier change, the whole text.
        qsizetype from = 0;
        qsizetype to = storage.length();
        if (m_tableLineBreaks.isEmpty()) {
            const QStringView text = storage.text();
            from = textlines::lineBounds(text, position - 2).start;
            to = textlines::lineBounds(text, position + insertedInStorage + 2).contentsEnd;
        }
        const qsizetype markdownFrom = m_projected->markdownOffset(from);
        const qsizetype markdownAfter
            = m_projected->markdownOffset(storage.length()) - m_projected->markdownOffset(to);
        QString markdown = m_projected->markdown(from, to);
        separated = separateTablesFromText(markdown, int(position), added, markdownFrom);
        const QString beforeMarkdown
            = before.mid(markdownFrom, before.size() - markdownAfter - markdownFrom);
        if (markdown == beforeMarkdown) {
            // A change of formats only, a line break under a table deleted in the view only, or
            // a table's own text put in over it (pasted back): the text is what it was, but the
            // view may now hold the table as lines of text.
            if (separated) {
                m_reloadPending = true;
                schedulePendingWork();
                return;
            }
            const TextRange stretch { markdownFrom, markdown.size() };
            if (tablesDifferFromText(stretch, false)) {
                showTablesAgainOver(stretch);
                schedulePendingWork();
            }
            return;
        }
        change = MarkdownReplacement::between(beforeMarkdown, markdown);
        change.position += int(markdownFrom);
        change.caretAfter += int(markdownFrom);
    }
    change.caretBefore = int(caretBefore);
    if (!m_tableLineBreaks.isEmpty()) // the caret may stand on either side of an added break
        change.caretAfter = int(withTableLineBreaks(caretMarkdownOffset()));
    const ChangeLines lines = documentLinesAround(change);
    const bool mayChangeTables
        = StructureAroundEdit::mayChangeTables(change.removed, change.inserted, lines);
    const bool farAway
        = StructureAroundEdit::mayRestyleFarAway(change.removed, change.inserted, lines);
    if (farAway) {
        markAllParagraphsDirty();
    } else {
        QTextDocument* document = m_view->document();
        markParagraphsDirty(document->findBlock(viewPosition).blockNumber(),
            document->findBlock(viewPosition + added).blockNumber());
        markCaretParagraphDirty(document->findBlock(toView(m_caretStorage)).blockNumber());
    }
    m_editSinceCaretMove = true;
    writeToDocument(change);
    const bool showTables = separated
        || (mayChangeTables
            && tablesDifferFromText({ change.position, change.inserted.size() }, farAway));
    // Line breaks the view implies, tables the change put back as characters, or fences that
    // may turn tables into code far away: the whole text is shown again.
    if (keptTables || !m_tableLineBreaks.isEmpty()
        || (farAway && (showTables || m_tablesToShowAgain))) {
        m_tablesToShowAgain.reset();
        m_reloadPending = true;
        schedulePendingWork();
        return;
    }
    // Otherwise only the tables around the edit are projected again, on the next turn (out of
    // the document's change handler, and once for keys that come together): a stretch waiting
    // for it moves with a later edit and takes it in.
    if (m_tablesToShowAgain) {
        const auto map = [&](qsizetype offset) {
            return mapThroughEdit(
                offset, change.position, change.removed.size(), change.inserted.size());
        };
        const qsizetype from = map(m_tablesToShowAgain->location);
        m_tablesToShowAgain = TextRange { from, map(m_tablesToShowAgain->end()) - from };
    }
    if (m_tablesToShowAgain || showTables)
        showTablesAgainOver({ change.position, qsizetype(change.inserted.size()) });
    if (showTables) {
        schedulePendingWork();
        return;
    }
    // Styled before the document lays the change out, so that it is laid out once.
    restyle(true);
}

void UnifiedBlockEditor::showTablesAgainOver(TextRange stretch)
{
    if (m_tablesToShowAgain) {
        const qsizetype from = qMin(m_tablesToShowAgain->location, stretch.location);
        const qsizetype to = qMax(m_tablesToShowAgain->end(), stretch.end());
        stretch = TextRange { from, to - from };
    }
    m_tablesToShowAgain = stretch;
}

bool UnifiedBlockEditor::separateTablesFromText(
    QString& markdown, int position, int added, qsizetype markdownFrom)
{
    // A table is whole lines of Markdown, while the view may show text right beside its
    // character. Text that would become cells the table cannot show (before its header, past
    // its last row's columns) gets the line break the view implies; text that still fits the
    // last row (the alignment row being typed) stays there and the table is rebuilt with it.
    const AttributedText& storage = m_projected->storage();
    const QString& text = storage.text();
    const qsizetype length = text.size();
    auto besideText = [&](qsizetype neighbour) {
        return neighbour >= 0 && neighbour < length && !textlines::isLineBreak(text.at(neighbour));
    };
    auto fitsLastRow = [&](const TableAttachment& table, qsizetype after) {
        qsizetype end = after;
        while (end < length && !textlines::isLineBreak(text.at(end)))
            ++end;
        const QStringView rest = QStringView(text).mid(after, end - after);
        if (rest.contains(QChar::ObjectReplacementCharacter))
            return false;
        const QString& source = table.markdown();
        const QString row = source.mid(source.lastIndexOf(u'\n') + 1) + rest.toString();
        return MarkdownTable::splitCells(row).size() <= table.table().headers.size();
    };
    // A break still waiting for the reload must be found again in the new text.
    const bool whole = !m_tableLineBreaks.isEmpty();
    const qsizetype from = whole ? 0 : qMax(0, position - 1);
    const qsizetype to = whole ? length : qMin(length, qsizetype(position) + added + 1);
    m_tableLineBreaks.clear();
    bool glued = false;
    for (qsizetype i = text.indexOf(QChar::ObjectReplacementCharacter, from); i >= 0 && i < to;
         i = text.indexOf(QChar::ObjectReplacementCharacter, i + 1)) {
        const TableAttachment* table = MarkdownTableProjection::tableAt(storage, i);
        if (!table)
            continue;
        if (besideText(i - 1)) {
            glued = true;
            const qsizetype offset = m_projected->markdownOffset(i);
            if (m_tableLineBreaks.isEmpty() || m_tableLineBreaks.last().first != offset)
                m_tableLineBreaks.append({ offset, false });
        }
        if (besideText(i + 1)) {
            glued = true;
            if (!fitsLastRow(*table, i + 1))
                m_tableLineBreaks.append({ m_projected->markdownOffset(i + 1), true });
        }
    }
    for (auto it = m_tableLineBreaks.crbegin(); it != m_tableLineBreaks.crend(); ++it)
        markdown.insert(it->first - markdownFrom, u'\n');
    return glued;
}

qsizetype UnifiedBlockEditor::withTableLineBreaks(qsizetype markdownOffset) const
{
    qsizetype shift = 0;
    for (const auto& [offset, caretAfter] : std::as_const(m_tableLineBreaks))
        shift += markdownOffset > offset || (markdownOffset == offset && caretAfter) ? 1 : 0;
    return markdownOffset + shift;
}

namespace {

// The lines around [from, to) of a text that has lastIndexOf, indexOf and mid: where they start,
// and their text without the last line break.
template <typename Text>
std::pair<qsizetype, QString> linesOf(
    const Text& text, qsizetype length, qsizetype from, qsizetype to)
{
    const qsizetype start = from > 0 ? text.lastIndexOf(QChar(u'\n'), from - 1) + 1 : 0;
    qsizetype end = to < length ? text.indexOf(QChar(u'\n'), to) : -1;
    if (end < 0)
        end = length;
    return { start, text.mid(start, end - start) };
}

} // namespace

UnifiedBlockEditor::ChangeLines UnifiedBlockEditor::linesAfter(
    const MarkdownReplacement& change, qsizetype start, const QString& before)
{
    const qsizetype inLines = change.position - start;
    QString after = before;
    after.replace(inLines, change.removed.size(), change.inserted);
    return { before, after };
}

UnifiedBlockEditor::ChangeLines UnifiedBlockEditor::documentLinesAround(
    const MarkdownReplacement& change) const
{
    const ChunkedText& text = m_document.text();
    const qsizetype from = change.position;
    const qsizetype to = from + change.removed.size();
    const qsizetype start = from > 0 ? text.lastIndexOf(QChar(u'\n'), from - 1) + 1 : 0;
    qsizetype end = to < text.size() ? text.indexOf(QChar(u'\n'), to) : -1;
    if (end < 0)
        end = text.size();
    // The lines are read for a fence (which opens a line), a fence's characters joined by the
    // change, and the characters that make a table line. A line of many thousand characters is
    // read for those alone, not copied whole at every key: its start, the change with a few
    // characters on either side, and each of those characters the rest holds.
    constexpr qsizetype kLongLine = 16 * 1024;
    constexpr qsizetype kAround = 16;
    if (end - start <= kLongLine)
        return linesAfter(change, start, text.mid(start, end - start));
    const qsizetype headEnd = qMin(start + 8, from);
    const qsizetype aroundFrom = qMax(headEnd, from - kAround);
    const qsizetype aroundTo = qMin(end, to + kAround);
    QString line = text.mid(start, headEnd - start);
    if (aroundFrom > headEnd)
        line += u' ';
    const qsizetype lineStart = aroundFrom - line.size();
    line += text.mid(aroundFrom, aroundTo - aroundFrom);
    // Where the change itself may change tables, the rest of the line cannot tell more.
    if (StructureAroundEdit::changeMayChangeTables(change.removed, change.inserted))
        return linesAfter(change, lineStart, line);
    for (const QChar c : { QChar(u'|'), QChar(u'\r'), QChar(QChar::ObjectReplacementCharacter) }) {
        qsizetype at = text.indexOf(c, headEnd);
        if (at >= aroundFrom && at < aroundTo)
            at = text.indexOf(c, aroundTo);
        if (at >= 0 && at < end)
            line += QStringLiteral(" ") + c;
    }
    return linesAfter(change, lineStart, line);
}

UnifiedBlockEditor::ChangeLines UnifiedBlockEditor::viewLinesAround(
    const MarkdownReplacement& change) const
{
    // A table is whole lines of Markdown and one character of the view: the lines of the view
    // around the change, in Markdown.
    const QString& text = m_projected->storage().text();
    const qsizetype from = m_projected->storageOffset(change.position);
    qsizetype to = m_projected->storageOffset(change.position + change.removed.size());
    if (m_projected->markdownOffset(to) < change.position + change.removed.size())
        ++to;
    const auto [start, storageLines] = linesOf(text, text.size(), from, to);
    const qsizetype markdownStart = m_projected->markdownOffset(start);
    const QString before = m_projected->markdown(start, start + storageLines.size());
    return linesAfter(change, markdownStart, before);
}

std::optional<StructureAroundEdit::TablesAround> UnifiedBlockEditor::tablesAround(
    qsizetype from, qsizetype to, qsizetype delta, bool farAway) const
{
    return StructureAroundEdit::tablesAround(
        m_document.text(), from, to, delta, farAway, [this](qsizetype start, qsizetype end) {
            return m_projected->tableMarkdownRanges(
                m_projected->storageOffset(start), m_projected->storageOffset(end));
        });
}

bool UnifiedBlockEditor::tablesDifferFromText(TextRange stretch, bool farAway) const
{
    // Where they stand, not only how many: a row typed under a table is the same one table.
    if (const auto tables = tablesAround(stretch.location, stretch.end(), 0, farAway))
        return tables->shown != tables->inText;
    return m_projected->tableMarkdownRanges(0, m_projected->storage().length())
        != MarkdownTableProjection::findTables(m_document.text().toString());
}

void UnifiedBlockEditor::writeToDocument(const MarkdownReplacement& change)
{
    m_document.applyEdit(change.position, change.removed.size(), change.inserted, this,
        m_editIsCommand ? Document::EditKind::Command : Document::EditKind::Typing,
        change.caretBefore, change.caretAfter);
}

void UnifiedBlockEditor::onCursorPositionChanged()
{
    const int previousBlock = m_view->document()->findBlock(toView(m_caretStorage)).blockNumber();
    m_caretStorage = toStorage(m_view->textCursor().position());
    // A caret placed in the view is where the caret is, not one the window left behind.
    if (!m_movingWindow)
        m_detached.reset();
    if (m_isProgrammatic)
        return;
    if (!m_editSinceCaretMove)
        m_document.breakTypingRun();
    m_editSinceCaretMove = false;
    // Tables left as text while the caret was inside one of their rows are shown once it leaves.
    if (m_tablesToShowAgain)
        schedulePendingWork();
    noteCaretLine(previousBlock);
}

void UnifiedBlockEditor::noteCaretLine(int previousBlock)
{
    const int block = m_view->textCursor().blockNumber();
    if (!m_caretLine->moveTo(block))
        return;
    // Lines that reveal nothing (empty ones, tables) are left alone: a caret there touches no
    // marker, so what the last styling revealed for it is what it would reveal.
    bool marked = previousBlock >= 0 && markCaretParagraphDirty(previousBlock);
    // After a jump (to the end, to a match far away) the line left is restyled on its own: one
    // window over both lines would compare every paragraph between them.
    if (marked && qAbs(block - previousBlock) > kVisibleMargin && restyleLinesAlone())
        marked = false;
    if (!markCaretParagraphDirty(block) && !marked)
        return;
    m_restylePending = true;
    schedulePendingWork();
}

bool UnifiedBlockEditor::restyleLinesAlone()
{
    if (m_dirtyAll || storageLags() || m_binding->hasPending())
        return false;
    restyle();
    return true;
}

bool UnifiedBlockEditor::handleEditingKey(MarkdownTextView::EditingKey key)
{
    const QTextCursor cursor = m_view->textCursor();
    const TextRange selection { toStorage(cursor.selectionStart()),
        cursor.selectionEnd() - cursor.selectionStart() };
    // Found from the top, the fences around a key at the end of megabytes of notes would cost
    // milliseconds of each Return and Backspace: the styling's last cut before it will do.
    const auto edit = LineEditingKeys::editFor(key, m_projected->storage().text(), selection,
        m_styling->outsideFencesBefore(selection.location));
    return edit && applyEdit(*edit);
}

bool UnifiedBlockEditor::applyEdit(const MarkdownLineEditing::Edit& edit)
{
    finishLoading(); // an edit needs the text it changes in the view
    if (m_view->isReadOnly())
        return false;
    const qsizetype length = m_projected->storage().length();
    if (edit.range.location < 0 || edit.range.end() > length)
        return false;
    if (!m_projected->inWindow(edit.range.location) || !m_projected->inWindow(edit.range.end()))
        coverRange(edit.range.location, edit.range.end());
    m_document.breakTypingRun();
    m_editIsCommand = true;
    QTextCursor cursor(m_view->document());
    cursor.setPosition(toView(edit.range.location));
    cursor.setPosition(toView(edit.range.end()), QTextCursor::KeepAnchor);
    cursor.insertText(ProjectedDocument::toDocumentText(edit.replacement), QTextCharFormat());
    m_editIsCommand = false;
    m_document.breakTypingRun();
    QTextCursor selection(m_view->document());
    const int start = toView(edit.range.location + edit.selection.location);
    selection.setPosition(start);
    selection.setPosition(int(start + edit.selection.length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(selection);
    m_view->ensureCursorVisible();
    return true;
}

void UnifiedBlockEditor::toggleInlineStyle(MarkdownLineEditing::InlineStyle style)
{
    finishLoading(); // an edit needs the whole text in the view
    const QTextCursor cursor = m_view->textCursor();
    const TextRange selection { toStorage(cursor.selectionStart()),
        cursor.selectionEnd() - cursor.selectionStart() };
    // Emphasis never reaches across a table, a block of its own, so markers around one would
    // style nothing, and the edit would carry the table as a bare character: a selection that
    // holds a table is left as it is.
    if (holdsTable(m_projected->storage(), selection.location, selection.end()))
        return;
    applyEdit(
        MarkdownLineEditing::toggleInlineStyle(style, m_projected->storage().text(), selection));
    flushPendingWork();
}

bool UnifiedBlockEditor::applyTableAttachment(
    qsizetype index, const TableAttachment* expected, TextAttachmentPtr replacement)
{
    finishLoading();
    // The position must still hold the table the cell was opened on; anything else means the
    // text changed underneath and the commit would land in the wrong place. The cell was opened
    // in the view, whose window a commit comes before any move of.
    const qsizetype at = toStorage(int(index));
    if (index < 0 || at >= m_projected->windowEnd() || !expected
        || MarkdownTableProjection::tableAt(m_projected->storage(), at) != expected)
        return false;
    // The commit leaves the view where it is: the next cell opens where the user looks.
    QScrollBar* bar = m_view->verticalScrollBar();
    const int top = bar->value();
    m_document.breakTypingRun();
    m_editIsCommand = true;
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(index));
    cursor.setPosition(int(index + 1), QTextCursor::KeepAnchor);
    cursor.setCharFormat(ProjectedDocument::objectFormat(replacement));
    m_editIsCommand = false;
    m_document.breakTypingRun();
    QTextCursor caret(m_view->document());
    caret.setPosition(int(index + 1));
    m_view->setTextCursor(caret);
    flushPendingWork();
    bar->setValue(top);
    return true;
}

bool UnifiedBlockEditor::prepareForStep()
{
    finishLoading(); // an edit needs the text it changes in the view
    if (m_view->isReadOnly())
        return false;
    m_tableEditor->commit();
    flushPendingWork();
    return true;
}

void UnifiedBlockEditor::showStep(const MarkdownReplacement& change)
{
    // The document holds the change already; the view follows. A change that touches no table
    // and cannot make or break one is applied in place; any other reloads the whole text.
    const qsizetype start = m_projected->storageOffset(change.position);
    const qsizetype end = m_projected->storageOffset(change.position + change.removed.size());
    bool inPlace = !StructureAroundEdit::mayChangeTables(
                       change.removed, change.inserted, viewLinesAround(change))
        && m_projected->markdownOffset(start) == change.position
        && m_projected->markdownOffset(end) == change.position + change.removed.size();
    if (inPlace) {
        FlagScope programmatic(m_isProgrammatic);
        m_projected->replace({ start, end - start }, change.inserted);
        inPlace = m_document.text() == QStringView(m_projected->markdown());
        if (inPlace) {
            QTextCursor caret(m_view->document());
            const qsizetype at = m_projected->storageOffset(change.caretAfter);
            coverRange(at, at);
            caret = QTextCursor(m_view->document());
            caret.setPosition(toView(at));
            m_view->setTextCursor(caret);
            m_caretLine->moveTo(caret.blockNumber());
            markAllParagraphsDirty();
            restyle();
        }
    }
    if (!inPlace)
        reload(m_document.text(), change.caretAfter);
    m_view->ensureCursorVisible();
}

} // namespace quillon
