#include "markdown/StructureAroundEdit.h"

#include "markdown/MarkdownTableProjection.h"
#include "platform/ChunkedText.h"
#include "platform/TextLines.h"

#include <algorithm>

namespace quillon {

namespace {

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

bool overlapsOrTouches(qsizetype from, qsizetype to, const TextRange& range)
{
    return range.location <= to && range.end() >= from;
}

} // namespace

bool StructureAroundEdit::mayBeFence(QStringView line)
{
    return line.contains(u"```") || line.contains(u"~~~");
}

bool StructureAroundEdit::changeMayChangeTables(QStringView removed, QStringView inserted)
{
    // Tables are runs of lines holding a pipe, outside fences; a fence line holds three backticks
    // or tildes in a row. Single backticks of inline code make no difference.
    const QStringView breaksOrMarks = u"|\n`~\uFFFC";
    for (QStringView part : { removed, inserted })
        if (containsAnyOf(part, breaksOrMarks) || containsInnerBreak(part))
            return true;
    return false;
}

bool StructureAroundEdit::mayChangeTables(
    QStringView removed, QStringView inserted, const Lines& lines)
{
    if (changeMayChangeTables(removed, inserted))
        return true;
    // A carriage return may split a line into two as tables are found.
    auto tableOrFenceLine
        = [](QStringView line) { return line.contains(u'\r') || !holdNoTableOrFence(line); };
    // The line before the change, and after it (the change may join a fence's characters).
    return tableOrFenceLine(lines.before) || tableOrFenceLine(lines.after);
}

bool StructureAroundEdit::mayRestyleFarAway(
    QStringView removed, QStringView inserted, const Lines& lines)
{
    for (QStringView part : { removed, inserted })
        if (part.contains(QChar::ObjectReplacementCharacter) || containsInnerBreak(part))
            return true;
    return mayBeFence(lines.before) || mayBeFence(lines.after);
}

bool StructureAroundEdit::leavesTablesAlone(
    const ChunkedText& text, qsizetype position, QStringView removed, QStringView inserted)
{
    for (QStringView part : { removed, inserted })
        if (containsAnyOf(part, u"|`~\uFFFC") || containsInnerBreak(part))
            return false;
    // Lines of a paragraph so long that copying them would cost more than the key: the answer
    // errs towards "no" there.
    constexpr qsizetype kLongestLines = 64 * 1024;
    const TextRange lines = MarkdownTableProjection::pipeLinesAround(
        text, position, qMin(text.size(), position + inserted.size()));
    if (lines.length > kLongestLines)
        return false;
    return holdNoTableOrFence(text.mid(lines.location, lines.length));
}

bool StructureAroundEdit::holdNoTableOrFence(QStringView lines)
{
    return !containsAnyOf(lines, u"|\uFFFC") && !mayBeFence(lines);
}

std::optional<StructureAroundEdit::TablesAround> StructureAroundEdit::tablesAround(
    const ChunkedText& text, qsizetype from, qsizetype to, qsizetype delta, bool farAway,
    const ShownTables& shownBetween)
{
    // A change that moves no fence leaves code as it was: only the tables of the pipe lines
    // around it may differ. Those lines are all code or none is.
    if (farAway)
        return std::nullopt;
    const TextRange stretch = MarkdownTableProjection::pipeLinesAround(text, from, to);
    TablesAround tables;
    // Lines without a pipe hold no table, code or not: they are not copied, which for a line of
    // megabytes would cost more than the key that changed it.
    if (!text.contains(u'|', stretch.location, stretch.end())) {
        tables.shown = shownBetween(stretch.location, stretch.end() - delta);
        return tables;
    }
    const QString lines = text.mid(stretch.location, stretch.length);
    if (mayBeFence(lines))
        return std::nullopt;
    tables.inText = MarkdownTableProjection::findTables(lines);
    for (TextRange& table : tables.inText)
        table.location += stretch.location;
    tables.shown = shownBetween(stretch.location, stretch.end() - delta);
    // A table found there that the view does not show may be code, which only the fences before
    // those lines tell.
    if (!tables.inText.isEmpty() && tables.shown.isEmpty())
        return std::nullopt;
    return tables;
}

TextRange StructureAroundEdit::stretchToShowAgain(qsizetype position, qsizetype removed,
    qsizetype inserted, const QList<TextRange>& oldTables, const QList<TextRange>& newTables)
{
    const qsizetype removedEnd = position + removed;
    const qsizetype delta = inserted - removed;
    qsizetype from = position;
    qsizetype to = removedEnd;
    auto toOld = [&](qsizetype offset, bool isEnd) {
        if (offset <= position)
            return offset;
        if (offset >= position + inserted)
            return offset - delta;
        return isEnd ? removedEnd : position;
    };
    auto movedOld = [&](const TextRange& old) {
        return TextRange { old.location > to ? old.location + delta : old.location, old.length };
    };
    auto kept = [&](const TextRange& old) {
        if (overlapsOrTouches(from, to, old))
            return false;
        const TextRange moved = movedOld(old);
        return std::any_of(newTables.cbegin(), newTables.cend(), [&](const TextRange& t) {
            return t.location == moved.location && t.length == moved.length;
        });
    };
    // Widened until every table overlapping it lies inside it, before and after the edit.
    for (bool widened = true; widened;) {
        widened = false;
        for (const TextRange& old : oldTables) {
            if ((old.location >= from && old.end() <= to) || kept(old))
                continue;
            from = qMin(from, old.location);
            to = qMax(to, old.end());
            widened = true;
        }
        for (const TextRange& added : newTables) {
            const qsizetype oldStart = toOld(added.location, false);
            const qsizetype oldEnd = toOld(added.end(), true);
            if (oldStart >= from && oldEnd <= to)
                continue;
            const bool isKept
                = std::any_of(oldTables.cbegin(), oldTables.cend(), [&](const TextRange& old) {
                      const TextRange moved = movedOld(old);
                      return moved.location == added.location && moved.length == added.length
                          && kept(old);
                  });
            if (isKept)
                continue;
            from = qMin(from, oldStart);
            to = qMax(to, oldEnd);
            widened = true;
        }
    }
    return { from, to - from };
}

} // namespace quillon
