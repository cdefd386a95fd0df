#include "markdown/MarkdownTable.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Alignment = MarkdownTable::Alignment;

MarkdownTable parsed(const QString& text)
{
    const auto table = MarkdownTable::parse(text, TextRange { 0, text.size() });
    EXPECT_TRUE(table.has_value()) << text.toStdString();
    return table.value_or(MarkdownTable {});
}

TEST(MarkdownTableCells, SplitsOnUnescapedPipes)
{
    struct Case
    {
        QString line;
        QStringList cells;
    };
    const QList<Case> cases {
        { QStringLiteral("| a | b |"), { QStringLiteral("a"), QStringLiteral("b") } },
        { QStringLiteral("  |a|b"), { QStringLiteral("a"), QStringLiteral("b") } },
        { QStringLiteral("| x \\|"), { QStringLiteral("x \\|") } },
        { QStringLiteral("| a \\| b | c |"), { QStringLiteral("a \\| b"), QStringLiteral("c") } },
        { QStringLiteral("| a\\\\ | b |"), { QStringLiteral("a\\\\"), QStringLiteral("b") } },
        { QStringLiteral("| tail\\"), { QStringLiteral("tail\\") } },
        { QStringLiteral("|"), { QString() } },
        { QStringLiteral("||"), { QString() } },
        { QStringLiteral("| | |"), { QString(), QString() } },
        { QStringLiteral("a | b"), {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkdownTable::splitCells(c.line), c.cells) << c.line.toStdString();
}

TEST(MarkdownTableCells, SeparatorRows)
{
    EXPECT_TRUE(MarkdownTable::isSeparatorRow(u"|---|:-:|--:|"));
    EXPECT_TRUE(MarkdownTable::isSeparatorRow(u"| - |"));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"| --- | |"));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"| :: |"));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"| -x- |"));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"---"));
    EXPECT_TRUE(MarkdownTable::isSeparatorRow(u"  |:--|--:  "));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"|"));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"|---||"));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"|---|\\|"));
    EXPECT_FALSE(MarkdownTable::isSeparatorRow(u"|--\\-|"));
}

TEST(MarkdownTableParse, RejectsWhatIsNoTable)
{
    for (const QString& text : { QStringLiteral("| a |"), QStringLiteral("| a |\n| b |"),
             QStringLiteral("| a | b |\n| --- | |"), QStringLiteral("| a |\n| :: |"),
             QStringLiteral("plain\ntext"), QString() })
        EXPECT_FALSE(MarkdownTable::parse(text, {}).has_value()) << text.toStdString();
}

TEST(MarkdownTableParse, AlignmentsRowsAndPadding)
{
    const MarkdownTable table = parsed(QStringLiteral("| a | b | c | d |\n"
                                                      "|:--|:-:|--:|\n"
                                                      "| 1 |\n"
                                                      "| 1 | 2 | 3 | 4 |"));
    EXPECT_EQ(table.headers, (QStringList { "a", "b", "c", "d" }));
    EXPECT_EQ(table.alignments,
        (QList<Alignment> {
            Alignment::Left, Alignment::Center, Alignment::Right, Alignment::None }));
    ASSERT_EQ(table.rows.size(), 2);
    EXPECT_EQ(table.rows[0], (QStringList { "1", "", "", "" }));
    EXPECT_FALSE(table.hasSurplusCells());

    const MarkdownTable cut = parsed(QStringLiteral("| a |\n| --- | :-: |\n"));
    EXPECT_EQ(cut.alignments, QList<Alignment> { Alignment::None });
}

TEST(MarkdownTableParse, ToleratesCrlfAndSkipsNonPipeLines)
{
    const MarkdownTable table
        = parsed(QStringLiteral("| a | b |\r\n|---|---|\r\nnot a row\r\n| 1 | 2 |\r\n"));
    EXPECT_EQ(table.headers, (QStringList { "a", "b" }));
    ASSERT_EQ(table.rows.size(), 1);
    EXPECT_EQ(table.rows[0], (QStringList { "1", "2" }));
}

TEST(MarkdownTableWidth, CountsWideCharactersAsTwo)
{
    struct Case
    {
        QString text;
        int width;
    };
    const QList<Case> cases {
        { QStringLiteral("abc"), 3 }, { QStringLiteral("\u6F22\u5B57"), 4 }, // two CJK ideographs
        { QStringLiteral("\U0001F600"), 2 }, // emoji
        { QStringLiteral("e\u0301"), 1 }, // combining accent
        { QStringLiteral("a\u0301b"), 2 },
        { QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"), 2 }, // family: one cluster
        { QStringLiteral("\uD55C\uAE00 ok"), 7 }, // Hangul syllables
        { QStringLiteral("\uFF21"), 2 }, // fullwidth A
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkdownTable::displayWidth(c.text), c.width) << c.text.toStdString();
}

TEST(MarkdownTableWrite, PadsColumnsToTheirWidth)
{
    struct Case
    {
        const char* name;
        QString source;
        QString markdown;
    };
    const QList<Case> cases {
        { "four-letter header, no alignment", QStringLiteral("|name|\n|-|"),
            QStringLiteral("| name |\n| ---- |") },
        { "one letter centred", QStringLiteral("|a|\n|:-:|"),
            QStringLiteral("| a     |\n| :---: |") },
        { "minimum widths by alignment", QStringLiteral("|a|b|c|\n|-|:-|-:|\n|1|2|3|"),
            QStringLiteral("| a   | b    | c    |\n| --- | :--- | ---: |\n| 1   | 2    | 3    |") },
        { "CJK cell widens its column",
            QStringLiteral("| k | v |\n|---|---|\n| \u6F22\u5B57 | x |"),
            QStringLiteral("| k    | v   |\n| ---- | --- |\n| \u6F22\u5B57 | x   |") },
        { "escaped pipe kept", QStringLiteral("| a \\| b |\n|---|"),
            QStringLiteral("| a \\| b |\n| ------ |") },
    };
    for (const Case& c : cases)
        EXPECT_EQ(parsed(c.source).toMarkdown().toStdString(), c.markdown.toStdString()) << c.name;
    EXPECT_EQ(MarkdownTable {}.toMarkdown(), QString());
}

TEST(MarkdownTableWrite, WritingBackIsStable)
{
    const QString source = QStringLiteral("| Name | \u6F22 | Emoji |\n|:--|:-:|--:|\n"
                                          "| a\\|b | e\u0301 | \U0001F600 |\n| | | |");
    const QString once = parsed(source).toMarkdown();
    EXPECT_EQ(parsed(once).toMarkdown(), once);
    EXPECT_EQ(parsed(once).rows, parsed(source).rows);
}

TEST(MarkdownTableWrite, SurplusCellsAreKept)
{
    const MarkdownTable table = parsed(QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 | 3 | 4 |"));
    EXPECT_TRUE(table.hasSurplusCells());
    EXPECT_EQ(table.rows[0], (QStringList { "1", "2", "3", "4" }));
    const QString written = table.toMarkdown();
    EXPECT_EQ(written.toStdString(), "| a   | b   |\n| --- | --- |\n| 1   | 2   | 3 | 4 |");
    EXPECT_EQ(parsed(written).rows, table.rows);

    // Editing a cell of such a row keeps the surplus too.
    MarkdownTable edited = table;
    edited.setCell(0, 1, QStringLiteral("two"));
    EXPECT_EQ(edited.rows[0], (QStringList { "1", "two", "3", "4" }));
    EXPECT_EQ(parsed(edited.toMarkdown()).rows, edited.rows);
}

TEST(MarkdownTableSetCell, EscapesAndBounds)
{
    MarkdownTable table = parsed(QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 |"));
    table.setCell(0, 1, QStringLiteral("x|y\nz\\"));
    EXPECT_EQ(table.rows[0][1], QStringLiteral("x\\|y z\\\\"));
    const MarkdownTable reparsed = parsed(table.toMarkdown());
    EXPECT_EQ(reparsed.headers.size(), 2);
    EXPECT_EQ(reparsed.rows[0][1], QStringLiteral("x\\|y z\\\\"));

    table.setCell(-1, 0, QStringLiteral("Head"));
    EXPECT_EQ(table.headers[0], QStringLiteral("Head"));
    table.setCell(0, 1, QStringLiteral("a\r\nb"));
    EXPECT_EQ(table.rows[0][1], QStringLiteral("a b"));

    const MarkdownTable before = table;
    table.setCell(5, 0, QStringLiteral("nope"));
    table.setCell(0, 2, QStringLiteral("nope"));
    table.setCell(0, -1, QStringLiteral("nope"));
    EXPECT_EQ(table, before);
}

} // namespace
} // namespace quillon

TEST(MarkdownTable, TellingATableApartAgreesWithParsing)
{
    const QStringList texts {
        QStringLiteral("| a | b |\n|---|:-:|\n| 1 | 2 |"),
        QStringLiteral("| a | b |\r\n| --- | --- |\r\n| 1 | 2 |"),
        QStringLiteral("   | a |\n   | - |"),
        QStringLiteral("| a | b |\n| 1 | 2 |"), // no separator row
        QStringLiteral("| a | b |"),
        QStringLiteral("| a |\n| : |"), // no dash
        QStringLiteral("| a |\nnot a pipe line\n|---|"), // the second pipe line is the separator
        QStringLiteral("text\n| a |\n|---|"),
        QString(),
    };
    for (const QString& text : texts)
        EXPECT_EQ(
            quillon::MarkdownTable::isTable(text), quillon::MarkdownTable::parse(text).has_value())
            << text.toStdString();
}
