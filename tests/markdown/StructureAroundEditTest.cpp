#include "markdown/StructureAroundEdit.h"
#include "markdown/MarkdownTableProjection.h"
#include "platform/ChunkedText.h"

#include <gtest/gtest.h>

using namespace quillon;
using S = StructureAroundEdit;

namespace {

const QString kTable = QStringLiteral("| a | b |\n| --- | --- |\n| 1 | 2 |");

// `removed` characters at `position` of `text` replaced by `inserted`.
struct Edit
{
    QString text;
    qsizetype position = 0;
    qsizetype removed = 0;
    QString inserted;

    QString removedText() const { return text.mid(position, removed); }
    QString result() const
    {
        QString after = text;
        after.replace(position, removed, inserted);
        return after;
    }
    // The whole lines the edit touches, before and after it, as the editor reads them.
    S::Lines lines() const
    {
        const qsizetype start = position > 0 ? text.lastIndexOf(u'\n', position - 1) + 1 : 0;
        qsizetype end = text.indexOf(u'\n', position + removed);
        if (end < 0)
            end = text.size();
        S::Lines lines { text.mid(start, end - start), {} };
        lines.after = lines.before;
        lines.after.replace(position - start, removed, inserted);
        return lines;
    }
    bool mayChangeTables() const { return S::mayChangeTables(removedText(), inserted, lines()); }
    bool mayRestyleFarAway() const
    {
        return S::mayRestyleFarAway(removedText(), inserted, lines());
    }
    bool leavesTablesAlone() const
    {
        return S::leavesTablesAlone(ChunkedText(result()), position, removedText(), inserted);
    }
};

Edit edit(const QString& text, qsizetype position, qsizetype removed, const QString& inserted)
{
    return { text, position, removed, inserted };
}

Edit typing(const QString& text, const QString& before, const QString& inserted)
{
    return { text, text.indexOf(before), 0, inserted };
}

Edit deleting(const QString& text, const QString& removed)
{
    return { text, text.indexOf(removed), removed.size(), {} };
}

} // namespace

TEST(StructureAroundEditTest, EditsThatMayMakeOrBreakATableOrMoveAFence)
{
    const QString doc = QStringLiteral("Some prose here.\n\n") + kTable
        + QStringLiteral("\n\n```\ncode `x` here\n```\nlast line");
    // Letters typed into prose, into code, or deleted from them, leave every table as it is.
    EXPECT_FALSE(typing(doc, u"prose"_qs, u"e"_qs).mayChangeTables());
    EXPECT_FALSE(deleting(doc, u"prose"_qs).mayChangeTables());
    EXPECT_FALSE(typing(doc, u"here\n```"_qs, u"s"_qs).mayChangeTables());
    // A letter typed into a cell: the line holds pipes.
    EXPECT_TRUE(typing(doc, u"1 |"_qs, u"0"_qs).mayChangeTables());
    // A pipe or a line break typed into prose may make a table or join lines to one.
    EXPECT_TRUE(typing(doc, u"prose"_qs, u"|"_qs).mayChangeTables());
    EXPECT_TRUE(typing(doc, u"prose"_qs, u"\n"_qs).mayChangeTables());
    // A table's character deleted, a backtick or tilde typed: a fence may open or close.
    EXPECT_TRUE(S::mayChangeTables(QString(QChar(0xFFFC)), {}, { u"\uFFFC"_qs, {} }));
    EXPECT_TRUE(typing(doc, u"prose"_qs, u"`"_qs).mayChangeTables());
    EXPECT_TRUE(typing(doc, u"prose"_qs, u"~"_qs).mayChangeTables());
    // A letter typed on a fence's line.
    EXPECT_TRUE(typing(doc, u"\ncode"_qs, u"s"_qs).mayChangeTables());
    // Deleting the letter between backticks joins them into a fence.
    const QString almost = QStringLiteral("text\n``y`\n| a | b |\n| - | - |");
    EXPECT_TRUE(deleting(almost, u"y"_qs).mayChangeTables());
}

TEST(StructureAroundEditTest, EditsThatATextBeforeThemTakesAsPlainCharacters)
{
    const QString doc = QStringLiteral("# Notes\n\nSome prose here.\nnext line\n") + kTable
        + QStringLiteral("\n\nafter\n\n```\ncode\n```\nlast line");
    // Letters and line breaks typed into prose, or deleted from it, away from tables and fences.
    EXPECT_TRUE(typing(doc, u"prose"_qs, u"e"_qs).leavesTablesAlone());
    EXPECT_TRUE(typing(doc, u"prose"_qs, u"\n\n"_qs).leavesTablesAlone());
    EXPECT_TRUE(deleting(doc, u"\n\nSome"_qs).leavesTablesAlone());
    EXPECT_TRUE(typing(doc, u"after"_qs, u"x"_qs).leavesTablesAlone());
    // A line that a table follows, or a line break that would join one to it.
    EXPECT_FALSE(typing(doc, u"next"_qs, u"x"_qs).leavesTablesAlone());
    EXPECT_FALSE(typing(doc, u"line\n|"_qs, u"\n"_qs).leavesTablesAlone());
    EXPECT_FALSE(deleting(doc, u"\nafter"_qs).leavesTablesAlone());
    // A pipe, a fence's mark, a table's character or another line break in the edit itself.
    for (const QString& mark : { u"|"_qs, u"`"_qs, u"~"_qs, u"\uFFFC"_qs, u"\r"_qs })
        EXPECT_FALSE(typing(doc, u"prose"_qs, mark).leavesTablesAlone()) << mark.toStdString();
    // Inside a fenced block, but not on a fence's line, nor the letter between backticks that
    // would join them into one.
    EXPECT_TRUE(typing(doc, u"code"_qs, u"x"_qs).leavesTablesAlone());
    EXPECT_FALSE(typing(doc, u"\ncode"_qs, u"x"_qs).leavesTablesAlone());
    EXPECT_FALSE(deleting(QStringLiteral("text\n``y`\nmore"), u"y"_qs).leavesTablesAlone());
    // A line too long to read at every key.
    const QString longLine = QString(70'000, u'a') + QStringLiteral("\nshort");
    EXPECT_FALSE(typing(longLine, u"aaa"_qs, u"b"_qs).leavesTablesAlone());
    EXPECT_TRUE(typing(longLine, u"short"_qs, u"b"_qs).leavesTablesAlone());
}

TEST(StructureAroundEditTest, EditsThatRestyleBeyondTheirParagraph)
{
    const QString doc = QStringLiteral("Prose with `code`.\n\n```py\nx = 1\n```\n\n~~gone~~ end");
    // Inside a fenced block, or typing inline code, only that block or paragraph changes.
    EXPECT_FALSE(typing(doc, u" = 1"_qs, u"y"_qs).mayRestyleFarAway());
    EXPECT_FALSE(typing(doc, u" = 1"_qs, u"\n"_qs).mayRestyleFarAway());
    EXPECT_FALSE(typing(doc, u"code`"_qs, u"`"_qs).mayRestyleFarAway());
    // An edit of a fence's line, one that opens a fence, and one that turns a fence into text.
    EXPECT_TRUE(typing(doc, u"py"_qs, u"t"_qs).mayRestyleFarAway());
    EXPECT_TRUE(typing(doc, u"Prose"_qs, u"```"_qs).mayRestyleFarAway());
    EXPECT_TRUE(deleting(QStringLiteral("a\n``x`\nb"), u"x"_qs).mayRestyleFarAway());
    EXPECT_TRUE(deleting(doc, u"```py"_qs).mayRestyleFarAway());
    // Line breaks other than a line feed, and a table's character.
    for (const QString& brk : { u"\r"_qs, u"\u2028"_qs, u"\u2029"_qs, u"\u0085"_qs }) {
        EXPECT_TRUE(typing(doc, u"Prose"_qs, brk).mayRestyleFarAway()) << brk.toStdString();
        EXPECT_TRUE(typing(doc, u"Prose"_qs, brk).mayChangeTables());
    }
    EXPECT_TRUE(S::mayRestyleFarAway({}, QString(QChar(0xFFFC)), {}));
}

TEST(StructureAroundEditTest, TheEdgesOfTheText)
{
    // The empty text, the first line, the last line without a line break.
    EXPECT_FALSE(edit({}, 0, 0, u"a"_qs).mayChangeTables());
    EXPECT_FALSE(edit({}, 0, 0, u"a"_qs).mayRestyleFarAway());
    EXPECT_TRUE(edit({}, 0, 0, u"|"_qs).mayChangeTables());
    EXPECT_TRUE(edit({}, 0, 0, u"```"_qs).mayRestyleFarAway());
    EXPECT_TRUE(edit(u"`x``"_qs, 1, 1, {}).mayRestyleFarAway());
    const QString doc = u"first\nmiddle\n| a |"_qs;
    EXPECT_FALSE(edit(doc, 0, 0, u"a"_qs).mayChangeTables());
    EXPECT_TRUE(edit(doc, doc.size(), 0, u"a"_qs).mayChangeTables());
    EXPECT_FALSE(edit(doc, doc.size(), 0, u"a"_qs).mayRestyleFarAway());
    // A line that ends in a carriage return (a file with CRLF line ends shown as it is).
    EXPECT_TRUE(typing(u"one\r\ntwo"_qs, u"one"_qs, u"a"_qs).mayChangeTables());
}

namespace {

// The tables a view of `old` would show between two offsets of it.
struct ShownIn
{
    QString old;
    QList<std::pair<qsizetype, qsizetype>> asked;

    QList<TextRange> operator()(qsizetype from, qsizetype to)
    {
        asked.append({ from, to });
        QList<TextRange> shown;
        for (const TextRange& table : MarkdownTableProjection::findTables(old))
            if (table.location < to && table.end() > from)
                shown.append(table);
        return shown;
    }
};

std::optional<S::TablesAround> tablesAround(const Edit& edit, ShownIn& shown)
{
    shown.old = edit.text;
    const ChunkedText after(edit.result());
    return S::tablesAround(after, edit.position, edit.position + edit.inserted.size(),
        edit.inserted.size() - edit.removed, edit.mayRestyleFarAway(), std::ref(shown));
}

} // namespace

TEST(StructureAroundEditTest, TablesAroundAnEditAreLookedForInItsPipeLines)
{
    const QString doc = u"Intro\n\n"_qs + kTable + u"\n\nOutro"_qs;
    const qsizetype tableAt = doc.indexOf(kTable);
    {
        // A cell edited: the table, one longer, and the one the view shows, where it showed it.
        ShownIn shown;
        const auto tables = tablesAround(typing(doc, u"1 |"_qs, u"0"_qs), shown);
        ASSERT_TRUE(tables);
        EXPECT_EQ(tables->inText, (QList<TextRange> { { tableAt, kTable.size() + 1 } }));
        EXPECT_EQ(tables->shown, (QList<TextRange> { { tableAt, kTable.size() } }));
        ASSERT_EQ(shown.asked.size(), 1);
        EXPECT_EQ(shown.asked[0], std::make_pair(tableAt, tableAt + kTable.size()));
    }
    {
        // The delimiter row deleted: no table is left, the view still shows one.
        ShownIn shown;
        const auto tables = tablesAround(deleting(doc, u"| --- | --- |\n"_qs), shown);
        ASSERT_TRUE(tables);
        EXPECT_TRUE(tables->inText.isEmpty());
        EXPECT_EQ(tables->shown.size(), 1);
    }
    {
        // Prose edited: its own line, and nothing asked of the view but that stretch.
        ShownIn shown;
        const auto tables = tablesAround(typing(doc, u"tro"_qs, u"|"_qs), shown);
        ASSERT_TRUE(tables);
        EXPECT_TRUE(tables->inText.isEmpty());
        EXPECT_TRUE(tables->shown.isEmpty());
        EXPECT_EQ(shown.asked[0].first, doc.indexOf(u"Intro"_qs));
    }
    {
        // Prose without a pipe edited: none in the text, and the view asked for its line alone.
        ShownIn shown;
        const auto tables = tablesAround(typing(doc, u"Out"_qs, u"x"_qs), shown);
        ASSERT_TRUE(tables);
        EXPECT_TRUE(tables->inText.isEmpty());
        ASSERT_EQ(shown.asked.size(), 1);
        EXPECT_EQ(shown.asked[0].first, doc.indexOf(u"Outro"_qs));
    }
    {
        // The empty text.
        ShownIn shown;
        const auto tables = tablesAround(edit({}, 0, 0, u"|"_qs), shown);
        ASSERT_TRUE(tables);
        EXPECT_TRUE(tables->inText.isEmpty());
    }
}

TEST(StructureAroundEditTest, OnlyTheWholeTextTellsAroundFencesAndNewTables)
{
    const QString doc = u"Intro\n| a | b |\n"_qs;
    ShownIn shown;
    // A delimiter row typed makes a table the view does not show: it could be code.
    EXPECT_FALSE(tablesAround(edit(doc, doc.size(), 0, u"| - | - |"_qs), shown));
    // A table inside a fenced block looks like one in its pipe lines alone.
    const QString fenced = u"```\n"_qs + kTable + u"\n```\n"_qs;
    EXPECT_FALSE(tablesAround(typing(fenced, u"1 |"_qs, u"0"_qs), shown));
    // The edited line is a fence next to pipe lines.
    EXPECT_FALSE(tablesAround(typing(fenced, u"```\n|"_qs, u"x"_qs), shown));
    // An edit that may restyle far away is never looked at around it.
    shown.asked.clear();
    EXPECT_FALSE(tablesAround(typing(doc, u"Intro"_qs, u"```"_qs), shown));
    EXPECT_TRUE(shown.asked.isEmpty());
}

namespace {

// Checks that showing `stretch` of the old text again leaves every table right: each table of
// either text lies in it, or lies outside it as the same text at its shifted place.
void expectEveryTableRight(const Edit& edit, const TextRange& stretch)
{
    const QList<TextRange> oldTables = MarkdownTableProjection::findTables(edit.text);
    const QList<TextRange> newTables = MarkdownTableProjection::findTables(edit.result());
    const qsizetype delta = edit.inserted.size() - edit.removed;
    const QString where = QStringLiteral("edit at %1 of %2").arg(edit.position).arg(edit.removed);
    EXPECT_LE(stretch.location, edit.position) << where.toStdString();
    EXPECT_GE(stretch.end(), edit.position + edit.removed) << where.toStdString();
    auto outside = [&](const TextRange& table, qsizetype end) {
        return table.end() < stretch.location || table.location > end;
    };
    for (const TextRange& old : oldTables) {
        if (old.location >= stretch.location && old.end() <= stretch.end())
            continue;
        EXPECT_TRUE(outside(old, stretch.end())) << where.toStdString();
        const TextRange moved { old.location >= stretch.end() ? old.location + delta : old.location,
            old.length };
        EXPECT_TRUE(newTables.contains(moved)) << where.toStdString();
    }
    for (const TextRange& added : newTables) {
        if (added.location >= stretch.location && added.end() <= stretch.end() + delta)
            continue;
        EXPECT_TRUE(outside(added, stretch.end() + delta)) << where.toStdString();
    }
}

TextRange stretchFor(const Edit& edit)
{
    return S::stretchToShowAgain(edit.position, edit.removed, edit.inserted.size(),
        MarkdownTableProjection::findTables(edit.text),
        MarkdownTableProjection::findTables(edit.result()));
}

} // namespace

TEST(StructureAroundEditTest, TheStretchShownAgainHoldsEveryTableTheEditTouches)
{
    const QString doc = kTable + u"\nbetween\n"_qs + kTable + u"\n\nprose\n\n"_qs + kTable;
    const QList<TextRange> tables = MarkdownTableProjection::findTables(doc);
    ASSERT_EQ(tables.size(), 3);
    // Prose edited: the edit alone; the tables after it are the same text, shifted.
    EXPECT_EQ(
        stretchFor(typing(doc, u"rose"_qs, u"xyz"_qs)), (TextRange { doc.indexOf(u"rose"_qs), 0 }));
    // Typed on the blank line under a table: the table stays.
    EXPECT_EQ(stretchFor(typing(doc, u"\nprose"_qs, u"0"_qs)),
        (TextRange { doc.indexOf(u"\nprose"_qs), 0 }));
    // A cell edited: that table.
    const Edit inCell { doc, tables[1].location + 2, 1, u"xy"_qs };
    EXPECT_EQ(stretchFor(inCell), tables[1]);
    // The line between two tables made a row: both, now one table.
    const Edit joined = typing(doc, u"between"_qs, u"| "_qs);
    EXPECT_EQ(stretchFor(joined), (TextRange { 0, tables[1].end() }));
    // The delimiter row of the last one broken, at the very end of the text.
    const Edit broken { doc, tables[2].location + 12, 1, {} };
    EXPECT_EQ(stretchFor(broken), tables[2]);
    // A table made on the first line.
    const Edit made { u"| a | b |\n"_qs + doc, 10, 0, u"| - | - |\n"_qs };
    EXPECT_EQ(stretchFor(made).location, 0);
    expectEveryTableRight(made, stretchFor(made));
}

TEST(StructureAroundEditTest, EveryTableStaysRightForEditsAtEveryPlace)
{
    const QString doc = kTable + u"\ntext\n"_qs + kTable + u"\n\n```\n|x|\n```\n"_qs + kTable;
    for (qsizetype at = 0; at <= doc.size(); ++at) {
        for (const QString& typed : { u"|"_qs, u"\n"_qs, u"-"_qs, u"a"_qs }) {
            const Edit edit { doc, at, 0, typed };
            expectEveryTableRight(edit, stretchFor(edit));
        }
        if (at < doc.size()) {
            const Edit edit { doc, at, 1, {} };
            expectEveryTableRight(edit, stretchFor(edit));
        }
    }
}
