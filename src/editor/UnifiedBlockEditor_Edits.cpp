// The block editor's edit path: user changes of the document become Markdown written to the
// workspace and undo steps; rule edits, cell commits, undo and redo go through the same path.
#include "editor/UnifiedBlockEditor.h"

#include "editor/CaretLineTracker.h"
#include "editor/FlagScope.h"
#include "editor/LineEditingKeys.h"
#include "editor/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"
#include "platform/TextLines.h"
#include "workspace/DocumentSession.h"
#include "workspace/WorkspaceState.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace quillon {

namespace {

// True when text[from, to) holds a table's object character.
bool holdsObject(const QString& text, qsizetype from, qsizetype to)
{
    from = qMax<qsizetype>(0, from);
    to = qMin(text.size(), to);
    return from < to
        && QStringView(text).mid(from, to - from).contains(QChar::ObjectReplacementCharacter);
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

bool containsAnyOf(QStringView text, QStringView characters)
{
    for (QChar c : text)
        if (characters.contains(c))
            return true;
    return false;
}

// A line break inside a paragraph (the paragraphs themselves are separated by "\n").
bool containsInnerBreak(QStringView text)
{
    for (QChar c : text)
        if (c != u'\n' && textlines::isLineBreak(c))
            return true;
    return false;
}

} // namespace

void UnifiedBlockEditor::onContentsChange(int position, int removed, int added)
{
    if (m_isProgrammatic)
        return;
    const qsizetype caretBefore = m_projected->markdownOffset(m_caretStorage);
    const AttributedText& storage = m_projected->storage();
    const qsizetype lengthBefore = storage.length();
    const qsizetype removedInStorage = std::clamp<qsizetype>(removed, 0, lengthBefore - position);
    // A change away from every table maps one to one onto the Markdown: it travels as that
    // range and its replacement, and the rest of the text is never looked at.
    bool plain = m_tableLineBreaks.isEmpty()
        && !holdsObject(storage.text(), position - 1, position + removedInStorage + 1);
    const qsizetype markdownStart = plain ? m_projected->markdownOffset(position) : 0;
    // Tables the change put back as bare characters are kept, but the view draws them again
    // only once it is reloaded.
    const bool keptTables = m_projected->mirrorDocumentChange(position, removed, added);
    const qsizetype insertedInStorage = storage.length() - lengthBefore + removedInStorage;
    plain = plain && !holdsObject(storage.text(), position - 1, position + insertedInStorage + 1);
    MarkdownReplacement change;
    bool separated = false;
    if (plain) {
        change = MarkdownReplacement::between(m_markdown.mid(markdownStart, removedInStorage),
            storage.text().mid(position, insertedInStorage));
        change.position += int(markdownStart);
        change.caretAfter += int(markdownStart);
        if (change.isEmpty())
            return; // a change of formats only
    } else {
        QString markdown = m_projected->markdown();
        separated = separateTablesFromText(markdown, position, added);
        if (markdown == m_markdown) {
            // A change of formats only, or a line break under a table deleted in the view only.
            if (separated) {
                m_reloadPending = true;
                schedulePendingWork();
            }
            return;
        }
        change = MarkdownReplacement::between(m_markdown, markdown);
    }
    change.caretBefore = int(caretBefore);
    if (!m_tableLineBreaks.isEmpty()) // the caret may stand on either side of an added break
        change.caretAfter = int(withTableLineBreaks(caretMarkdownOffset()));
    m_undo.record(change, m_editKind);
    const bool mayChangeTables = tableStructureMayHaveChanged(change);
    const bool farAway = mayRestyleFarAway(change);
    m_markdown.replace(change.position, change.removed.size(), change.inserted);
    if (farAway) {
        markAllParagraphsDirty();
    } else {
        QTextDocument* document = m_view->document();
        markParagraphsDirty(document->findBlock(position).blockNumber(),
            document->findBlock(position + added).blockNumber());
        markCaretParagraphDirty(document->findBlock(int(m_caretStorage)).blockNumber());
    }
    m_editSinceCaretMove = true;
    writeToWorkspace(change);
    if (separated || keptTables
        || (mayChangeTables
            && m_projected->tableCount()
                != MarkdownTableProjection::findTables(m_markdown).size())) {
        m_reloadPending = true;
        schedulePendingWork();
        return;
    }
    // Styled before the document lays the change out, so that it is laid out once.
    restyle(true);
}

bool UnifiedBlockEditor::separateTablesFromText(QString& markdown, int position, int added)
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
        markdown.insert(it->first, u'\n');
    return glued;
}

qsizetype UnifiedBlockEditor::withTableLineBreaks(qsizetype markdownOffset) const
{
    qsizetype shift = 0;
    for (const auto& [offset, caretAfter] : std::as_const(m_tableLineBreaks))
        shift += markdownOffset > offset || (markdownOffset == offset && caretAfter) ? 1 : 0;
    return markdownOffset + shift;
}

std::pair<qsizetype, qsizetype> UnifiedBlockEditor::linesAround(
    const MarkdownReplacement& change) const
{
    qsizetype start = change.position;
    while (start > 0 && m_markdown.at(start - 1) != u'\n')
        --start;
    qsizetype end = change.position + change.removed.size();
    while (end < m_markdown.size() && m_markdown.at(end) != u'\n')
        ++end;
    return { start, end };
}

std::pair<QStringView, QString> UnifiedBlockEditor::linesBeforeAndAfter(
    const MarkdownReplacement& change) const
{
    const auto [start, end] = linesAround(change);
    const qsizetype changeEnd = change.position + change.removed.size();
    const QStringView text(m_markdown);
    QString after = text.mid(start, change.position - start).toString();
    after += change.inserted;
    after += text.mid(changeEnd, end - changeEnd);
    return { text.mid(start, end - start), after };
}

bool UnifiedBlockEditor::tableStructureMayHaveChanged(const MarkdownReplacement& change) const
{
    // Tables are runs of lines holding a pipe, outside fences; a fence line holds three backticks
    // or tildes in a row. Single backticks of inline code make no difference.
    const QStringView breaksOrMarks = u"|\n`~\uFFFC";
    for (QStringView part : { QStringView(change.removed), QStringView(change.inserted) })
        if (containsAnyOf(part, breaksOrMarks) || containsInnerBreak(part))
            return true;
    auto tableOrFenceLine = [](QStringView line) {
        return containsAnyOf(line, u"|\r\uFFFC") || line.contains(u"```") || line.contains(u"~~~");
    };
    // The line before the change, and after it (the change may join a fence's characters).
    const auto [before, after] = linesBeforeAndAfter(change);
    return tableOrFenceLine(before) || tableOrFenceLine(after);
}

bool UnifiedBlockEditor::mayRestyleFarAway(const MarkdownReplacement& change) const
{
    // Fences open and close blocks down to the end of the text, and line breaks other than a
    // line feed or a table's character change how lines are told apart. Anything else restyles
    // within its paragraph or its fenced block.
    for (QStringView part : { QStringView(change.removed), QStringView(change.inserted) })
        if (part.contains(QChar::ObjectReplacementCharacter) || containsInnerBreak(part))
            return true;
    // A line that is, or may become, a fence.
    const auto [before, after] = linesBeforeAndAfter(change);
    auto fence = [](QStringView line) { return line.contains(u"```") || line.contains(u"~~~"); };
    return fence(before) || fence(after);
}

void UnifiedBlockEditor::writeToWorkspace(const MarkdownReplacement& change)
{
    m_workspace.documentSession().applyUserEdit(
        change.position, change.removed.size(), change.inserted);
}

void UnifiedBlockEditor::onCursorPositionChanged()
{
    const int previousBlock = m_view->document()->findBlock(int(m_caretStorage)).blockNumber();
    m_caretStorage = m_view->textCursor().position();
    if (m_isProgrammatic)
        return;
    if (!m_editSinceCaretMove)
        m_undo.breakTypingRun();
    m_editSinceCaretMove = false;
    noteCaretLine(previousBlock);
}

void UnifiedBlockEditor::noteCaretLine(int previousBlock)
{
    if (!m_caretLine->moveTo(m_view->textCursor().blockNumber()))
        return;
    if (previousBlock >= 0)
        markCaretParagraphDirty(previousBlock);
    markCaretParagraphDirty(m_view->textCursor().blockNumber());
    m_restylePending = true;
    schedulePendingWork();
}

bool UnifiedBlockEditor::handleEditingKey(MarkdownTextView::EditingKey key)
{
    const QTextCursor cursor = m_view->textCursor();
    const TextRange selection { cursor.selectionStart(),
        cursor.selectionEnd() - cursor.selectionStart() };
    const auto edit = LineEditingKeys::editFor(key, m_projected->storage().text(), selection);
    return edit && applyEdit(*edit);
}

bool UnifiedBlockEditor::applyEdit(const MarkdownLineEditing::Edit& edit)
{
    if (m_view->isReadOnly())
        return false;
    const qsizetype length = m_projected->storage().length();
    if (edit.range.location < 0 || edit.range.end() > length)
        return false;
    m_undo.breakTypingRun();
    m_editKind = MarkdownUndoStack::Kind::Command;
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(edit.range.location));
    cursor.setPosition(int(edit.range.end()), QTextCursor::KeepAnchor);
    cursor.insertText(ProjectedDocument::toDocumentText(edit.replacement), QTextCharFormat());
    m_editKind = MarkdownUndoStack::Kind::Typing;
    m_undo.breakTypingRun();
    QTextCursor selection(m_view->document());
    const int start = int(edit.range.location + edit.selection.location);
    selection.setPosition(start);
    selection.setPosition(int(start + edit.selection.length), QTextCursor::KeepAnchor);
    m_view->setTextCursor(selection);
    m_view->ensureCursorVisible();
    return true;
}

void UnifiedBlockEditor::toggleInlineStyle(MarkdownLineEditing::InlineStyle style)
{
    const QTextCursor cursor = m_view->textCursor();
    const TextRange selection { cursor.selectionStart(),
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
    // The position must still hold the table the cell was opened on; anything else means the
    // text changed underneath and the commit would land in the wrong place.
    if (index < 0 || index >= m_projected->storage().length() || !expected
        || MarkdownTableProjection::tableAt(m_projected->storage(), index) != expected)
        return false;
    // The commit leaves the view where it is: the next cell opens where the user looks.
    QScrollBar* bar = m_view->verticalScrollBar();
    const int top = bar->value();
    m_undo.breakTypingRun();
    m_editKind = MarkdownUndoStack::Kind::Command;
    QTextCursor cursor(m_view->document());
    cursor.setPosition(int(index));
    cursor.setPosition(int(index + 1), QTextCursor::KeepAnchor);
    cursor.setCharFormat(ProjectedDocument::objectFormat(replacement));
    m_editKind = MarkdownUndoStack::Kind::Typing;
    m_undo.breakTypingRun();
    QTextCursor caret(m_view->document());
    caret.setPosition(int(index + 1));
    m_view->setTextCursor(caret);
    flushPendingWork();
    bar->setValue(top);
    return true;
}

void UnifiedBlockEditor::undo()
{
    if (m_view->isReadOnly())
        return;
    m_tableEditor->commit();
    flushPendingWork();
    if (auto step = m_undo.takeUndo(); step && !applyReplacement(*step))
        m_undo.clear();
}

void UnifiedBlockEditor::redo()
{
    if (m_view->isReadOnly())
        return;
    m_tableEditor->commit();
    flushPendingWork();
    if (auto step = m_undo.takeRedo(); step && !applyReplacement(*step))
        m_undo.clear();
}

bool UnifiedBlockEditor::applyReplacement(const MarkdownReplacement& change)
{
    QString markdown = m_markdown;
    if (!change.applyTo(markdown))
        return false;
    // A change that touches no table and cannot make or break one is applied in place; any
    // other reloads the whole text.
    const qsizetype start = m_projected->storageOffset(change.position);
    const qsizetype end = m_projected->storageOffset(change.position + change.removed.size());
    bool inPlace = !tableStructureMayHaveChanged(change)
        && m_projected->markdownOffset(start) == change.position
        && m_projected->markdownOffset(end) == change.position + change.removed.size();
    if (inPlace) {
        FlagScope programmatic(m_isProgrammatic);
        m_projected->replace({ start, end - start }, change.inserted);
        m_markdown = markdown;
        inPlace = m_projected->markdown() == m_markdown;
        if (inPlace) {
            QTextCursor caret(m_view->document());
            caret.setPosition(int(m_projected->storageOffset(change.caretAfter)));
            m_view->setTextCursor(caret);
            m_caretLine->moveTo(caret.blockNumber());
            markAllParagraphsDirty();
            restyle();
        }
    }
    if (!inPlace)
        reload(markdown, change.caretAfter);
    m_view->ensureCursorVisible();
    writeToWorkspace(change);
    return true;
}

} // namespace quillon
