#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

namespace quillon {

class ChunkedText;

// What an edit of a Markdown text may change beyond the lines it touches: its tables (runs of
// pipe lines outside fenced code) and its fenced blocks (which reach from an opening fence down
// to the closing one, or to the end of the text). A view that shows each table as one piece, or
// styles a few lines on their own, asks these before it applies an edit to the paragraphs the
// edit touched. A wrong "no" would leave it showing what the text does not hold; a wrong "yes"
// only costs the time of looking at more of the text, so each answer errs towards "yes".
//
// An edit is given as the text it removed and the text it inserted, and as the whole lines around
// it before and after it (each without its last line break).
struct StructureAroundEdit
{
    struct Lines
    {
        QString before;
        QString after;
    };

    // A line that is, or may become, a fence: it holds three backticks or tildes in a row.
    static bool mayBeFence(QStringView line);
    // The edit may make, break or move a table: it touches a pipe, a line break, a table's
    // character or a fence's characters, or its lines hold a pipe or a fence.
    static bool mayChangeTables(QStringView removed, QStringView inserted, const Lines& lines);
    // The part of mayChangeTables() that the edit's own characters decide, whatever its lines.
    static bool changeMayChangeTables(QStringView removed, QStringView inserted);
    // The edit may restyle text beyond its paragraphs and its fenced block: it moves a fence
    // (which opens or closes blocks down to the end of the text), a table's character, or a line
    // break other than a line feed (which changes how lines are told apart).
    static bool mayRestyleFarAway(QStringView removed, QStringView inserted, const Lines& lines);
    // Whole lines that hold no pipe, table character or fence: nothing in them makes, breaks or
    // moves a table, or turns the lines after them into code.
    static bool holdNoTableOrFence(QStringView lines);
    // Whether an edit of `text` (the text after it: `inserted` at `position`, in place of
    // `removed`) left every table and fenced block as it was, each at its place shifted by the
    // edit alone: its characters hold no pipe, fence mark, table character or line break other
    // than a line feed, and the lines around it (with every pipe line next to them) hold no pipe
    // and no fence. A storage of the text before it then takes the edit as plain characters.
    static bool leavesTablesAlone(
        const ChunkedText& text, qsizetype position, QStringView removed, QStringView inserted);

    // The tables around an edit of `text` (the text after it) that left [from, to): those its
    // lines hold, and those the view shows there, in the text before the edit. `shownBetween`
    // gives the tables a view shows in [from, to) of the text before the edit; `delta` is how
    // much longer the text is than that one. None when only the whole text can tell: the edit may
    // restyle far away (`farAway`, from mayRestyleFarAway), or the lines hold a fence, or they
    // hold a table the view does not show (it may be code, which only the fences above tell).
    struct TablesAround
    {
        QList<TextRange> shown;
        QList<TextRange> inText;
    };
    using ShownTables = std::function<QList<TextRange>(qsizetype from, qsizetype to)>;
    static std::optional<TablesAround> tablesAround(const ChunkedText& text, qsizetype from,
        qsizetype to, qsizetype delta, bool farAway, const ShownTables& shownBetween);

    // The stretch of the text before an edit that a view showing each table as one piece must
    // show again: the removed [position, position + removed), widened until every table that
    // overlaps it lies inside it, both before the edit (`oldTables`) and after it (`newTables`,
    // where the edit inserted `inserted` characters). A table away from the edit that is the
    // same text at a shifted place is left out, whatever other tables it touches.
    static TextRange stretchToShowAgain(qsizetype position, qsizetype removed, qsizetype inserted,
        const QList<TextRange>& oldTables, const QList<TextRange>& newTables);
};

} // namespace quillon
