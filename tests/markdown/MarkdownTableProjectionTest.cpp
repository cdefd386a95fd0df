#include "markdown/MarkdownTableProjection.h"
#include "markdown/MarkdownHighlighter.h"
#include "platform/ChunkedText.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace quillon;
using P = MarkdownTableProjection;

namespace {

const QChar kObject(0xFFFC);

QString readCorpus(const QString& name)
{
    QFile file(QStringLiteral(QUILLON_TEST_DATA_DIR "/markdown/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

AttributedText projected(const QString& markdown)
{
    AttributedText storage(markdown);
    P::installTables(storage, false, 15);
    return storage;
}

const QString kTable = QStringLiteral("| a | b |\n| --- | --- |\n| 1 | 2 |");

} // namespace

TEST(MarkdownTableProjection, FindsTablesAndSkipsOtherPipeRuns)
{
    const QString text = QStringLiteral("intro\n") + kTable + QStringLiteral("\n\npara\n")
        + QStringLiteral("| x | y |\n| z | w |\n\n") + kTable;
    const QList<TextRange> ranges = P::findTables(text);
    ASSERT_EQ(ranges.size(), 2);
    EXPECT_EQ(ranges[0], (TextRange { 6, kTable.size() }));
    // At the very end without a final line feed: the same length.
    EXPECT_EQ(ranges[1].length, kTable.size());
    EXPECT_EQ(ranges[1].end(), text.size());
    EXPECT_TRUE(P::findTables(QStringLiteral("no pipes at all")).isEmpty());
}

TEST(MarkdownTableProjection, PipeTablesInsideFencedCodeAreCode)
{
    const QString fenced = QStringLiteral("```\n") + kTable + QStringLiteral("\n```\n");
    EXPECT_TRUE(P::findTables(fenced).isEmpty());
    const QString tilde = QStringLiteral("~~~md\n") + kTable + QStringLiteral("\n");
    EXPECT_TRUE(P::findTables(tilde).isEmpty()); // unclosed: code to the end

    AttributedText storage(fenced + kTable);
    const QList<TextRange> installed = P::installTables(storage, true, 15);
    ASSERT_EQ(installed.size(), 1);
    EXPECT_EQ(storage.text(), fenced + kObject);
    EXPECT_EQ(P::markdown(storage), fenced + kTable);
}

TEST(MarkdownTableProjection, ALongTextsTablesAreFoundWhereverItsStretchesAreCut)
{
    // A long text is searched a stretch a thread, and its tables checked and made many at a
    // time: every table is found, in order, and none in code, whatever stretch a row lies in.
    QString text;
    std::vector<TextRange> expected;
    const QString fenced = QStringLiteral("```\n") + kTable + QStringLiteral("\n```\n");
    for (int i = 0; text.size() < 2'300'000; ++i) {
        text += QString(i * 37 % 900, u'w') + QStringLiteral("\n\n");
        if (i % 5 == 0)
            text += fenced;
        const QString table
            = i % 2 ? kTable : kTable + QStringLiteral("\n| %1 | | \n|  | x |").arg(i);
        expected.push_back({ text.size(), table.size() });
        text += table + QStringLiteral("\n\n| not | a table |\n\n");
    }
    const QList<TextRange> found = P::findTables(text);
    EXPECT_EQ(std::vector<TextRange>(found.begin(), found.end()), expected);

    AttributedText storage(text);
    const QList<TextRange> installed = P::installTables(storage, false, 15);
    ASSERT_EQ(installed.size(), qsizetype(expected.size()));
    for (qsizetype i = 0; i < installed.size(); i += 97) {
        const TableAttachment* table = P::tableAt(storage, installed[i].location);
        ASSERT_TRUE(table);
        EXPECT_EQ(
            table->markdown(), text.mid(expected[size_t(i)].location, expected[size_t(i)].length));
    }
    EXPECT_EQ(P::markdown(storage), text);
}

TEST(MarkdownTableProjection, InstallsAttachmentsAscending)
{
    const QString text = kTable + QStringLiteral("\n\nbetween\n\n") + kTable + QStringLiteral("\n");
    AttributedText storage(text);
    const QList<TextRange> installed = P::installTables(storage, false, 15);
    ASSERT_EQ(installed.size(), 2);
    EXPECT_EQ(installed[0], (TextRange { 0, 1 }));
    EXPECT_EQ(installed[1], (TextRange { 12, 1 }));
    EXPECT_EQ(storage.text(),
        QString(kObject) + QStringLiteral("\n\nbetween\n\n") + kObject + QStringLiteral("\n"));
    EXPECT_EQ(P::tableCount(storage), 2);
    const TableAttachment* table = P::tableAt(storage, 12);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->table().headers, (QStringList { QStringLiteral("a"), QStringLiteral("b") }));
    EXPECT_EQ(table->sourceText(), kTable);
    EXPECT_FALSE(table->isEdited());
    EXPECT_EQ(storage.attribute<TextAttribute::ParagraphStyle>(0)->paragraphSpacingBefore, 8);

    // A plain U+FFFC (no table attachment) is ordinary text.
    AttributedText plain(QStringLiteral("a\uFFFCb"));
    EXPECT_EQ(P::tableCount(plain), 0);
    EXPECT_EQ(P::markdown(plain), plain.text());
    EXPECT_EQ(P::storageOffset(2, plain), 2);
}

TEST(MarkdownTableProjection, OffsetsMapBothWays)
{
    // A table whose Markdown is 40 units long at storage index 10.
    const QString table = QStringLiteral("| h |\n| --- |\n| 0123456789012345678901 |");
    ASSERT_EQ(table.size(), 40);
    const QString text = QStringLiteral("012345678\n") + table + QStringLiteral("\nafter");
    const AttributedText storage = projected(text);
    ASSERT_EQ(storage.text().at(10), kObject);

    const std::pair<qsizetype, qsizetype> toStorage[] = { { -3, 0 }, { 0, 0 }, { 10, 10 },
        { 25, 10 }, { 49, 10 }, { 50, 11 }, { 51, 12 }, { 56, 17 }, { 999, 17 } };
    for (auto [markdown, expected] : toStorage)
        EXPECT_EQ(P::storageOffset(markdown, storage), expected) << markdown;
    const std::pair<qsizetype, qsizetype> toMarkdown[]
        = { { -1, 0 }, { 0, 0 }, { 10, 10 }, { 11, 50 }, { 12, 51 }, { 17, 56 }, { 500, 56 } };
    for (auto [storageOffset, expected] : toMarkdown)
        EXPECT_EQ(P::markdownOffset(storageOffset, storage), expected) << storageOffset;

    // Without tables offsets map to themselves, clamped.
    const AttributedText plain(QStringLiteral("abc"));
    EXPECT_EQ(P::storageOffset(2, plain), 2);
    EXPECT_EQ(P::storageOffset(9, plain), 3);
    EXPECT_EQ(P::markdownOffset(9, plain), 3);
    EXPECT_EQ(P::storageOffset(5, AttributedText()), 0);
}

TEST(MarkdownTableProjection, CorpusRoundTripsByteForByte)
{
    struct Case
    {
        const char* file;
        int tables;
    };
    const Case cases[] = { { "tables-in-lists.md", 2 }, { "escaped-pipes.md", 1 }, { "crlf.md", 2 },
        { "tables-in-fences.md", 2 }, { "ragged-rows.md", 2 }, { "mixed.md", 2 },
        { "not-tables.md", 0 } };
    for (const Case& c : cases) {
        const QString original = readCorpus(QString::fromLatin1(c.file));
        ASSERT_FALSE(original.isEmpty()) << c.file;
        AttributedText storage(original);
        MarkdownHighlighter::highlight(storage, HighlightOptions {});
        const QList<TextRange> installed = P::installTables(storage, false, 15);
        EXPECT_EQ(installed.size(), c.tables) << c.file;
        EXPECT_EQ(P::markdown(storage), original) << c.file;
        // Restyling the projected storage (an edit elsewhere) keeps every table's text.
        MarkdownHighlighter::highlight(storage, HighlightOptions {});
        storage.replaceCharacters({ 0, 0 }, QStringLiteral("X"));
        EXPECT_EQ(P::markdown(storage), QStringLiteral("X") + original) << c.file;
        // Offsets survive the round trip at every table boundary.
        for (const TextRange& r : installed) {
            const qsizetype md = P::markdownOffset(r.location + 1, storage);
            EXPECT_EQ(P::storageOffset(md, storage), r.location + 1) << c.file;
        }
    }
}

// A table keeps its text a byte a character when it can: one of plain letters, one of accented
// Latin letters at the top of that range, and ones beyond it (CJK, an emoji's surrogate pair, a
// lone surrogate, a character whose low byte is a line feed) all give back their exact text, its
// length and its lines, and so does the normalised text of a grid edit.
TEST(MarkdownTableProjection, TablesOfEveryKindOfCharacterGiveBackTheirExactText)
{
    const QString tables[] = {
        kTable,
        QStringLiteral("| caf\u00e9 | \u00ff |\n|---|---|\n| \u00e0 | \u00fe |"),
        QStringLiteral("| \u8868 | \U0001F600 |\n|---|---|\n| \u010a | x\u010ay |"),
        QStringLiteral("| a | b |\n|---|---|\n| ") + QChar(0xD800) + QStringLiteral(" | 2 |"),
    };
    for (const QString& table : tables) {
        const QString text = QStringLiteral("Before\n\n") + table + QStringLiteral("\n\nAfter\n");
        AttributedText storage(text);
        const QList<TextRange> installed = P::installTables(storage, false, 15);
        ASSERT_EQ(installed.size(), 1) << table.toStdString();
        const TableAttachment* attachment = P::tableAt(storage, installed[0].location);
        ASSERT_TRUE(attachment);
        EXPECT_EQ(attachment->sourceText(), table);
        EXPECT_EQ(attachment->markdownLength(), table.size());
        EXPECT_EQ(attachment->markdownLineCount(), 3);
        EXPECT_EQ(P::markdown(storage), text);

        MarkdownTable edited = attachment->table();
        edited.setCell(0, 0, QStringLiteral("\u8868\u010a"));
        const auto copy = attachment->withTable(edited);
        EXPECT_TRUE(copy->markdown().contains(QStringLiteral("\u8868\u010a")));
        EXPECT_EQ(copy->markdownLength(), copy->markdown().size());
        EXPECT_EQ(copy->markdownLineCount(), 3);
        EXPECT_EQ(copy->sourceText(), table);
    }
}

TEST(MarkdownTableProjection, CrlfTablesKeepTheirLineEndsOutsideTheTable)
{
    const QString text = readCorpus(QStringLiteral("crlf.md"));
    const AttributedText storage = projected(text);
    EXPECT_TRUE(storage.text().contains(QString(kObject) + QStringLiteral("\r\n")));
    const TableAttachment* table = P::tableAt(storage, storage.text().indexOf(kObject));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->table().headers, (QStringList { QStringLiteral("A"), QStringLiteral("B") }));
    EXPECT_EQ(table->table().rows.size(), 1);
}

TEST(MarkdownTableProjection, EditedTableIsNormalisedWithoutLosingCells)
{
    const QString text = readCorpus(QStringLiteral("tables-in-lists.md"))
        + readCorpus(QStringLiteral("ragged-rows.md"));
    AttributedText storage(text);
    const QList<TextRange> installed = P::installTables(storage, false, 15);
    ASSERT_EQ(installed.size(), 4);

    // Edit the nested list table: its lines keep their indentation, the others stay as written.
    const qsizetype at = installed[1].location;
    const TableAttachment* original = P::tableAt(storage, at);
    MarkdownTable edited = original->table();
    edited.setCell(0, 1, QStringLiteral("dark green"));
    storage.addAttribute<TextAttribute::Attachment>({ at, 1 }, original->withTable(edited));
    const QString expectedTable = QStringLiteral("     | Veg   | Colour     |\n"
                                                 "     | :---: | ---------- |\n"
                                                 "     | Kale  | dark green |");
    QString expected = text;
    expected.replace(original->sourceText(), expectedTable);
    EXPECT_EQ(P::markdown(storage).toStdString(), expected.toStdString());
    EXPECT_TRUE(P::tableAt(storage, at)->isEdited());

    // Ragged rows: surplus cells survive an edit.
    const qsizetype ragged = installed[2].location;
    const TableAttachment* raggedTable = P::tableAt(storage, ragged);
    MarkdownTable changed = raggedTable->table();
    changed.setCell(-1, 0, QStringLiteral("First"));
    storage.addAttribute<TextAttribute::Attachment>({ ragged, 1 }, raggedTable->withTable(changed));
    const QString written = P::markdown(storage);
    EXPECT_TRUE(written.contains(u"surplus")) << written.toStdString();
    EXPECT_TRUE(written.contains(u"more"));
    EXPECT_TRUE(written.contains(u"| First"));

    // Committing an unchanged table keeps the source text.
    const TableAttachment* untouched = P::tableAt(storage, installed[0].location);
    EXPECT_FALSE(untouched->withTable(untouched->table())->isEdited());
}

TEST(MarkdownTableProjection, EditedCrlfTableKeepsCrlf)
{
    AttributedText storage(readCorpus(QStringLiteral("crlf.md")));
    const QList<TextRange> installed = P::installTables(storage, false, 15);
    ASSERT_EQ(installed.size(), 2);
    const TableAttachment* table = P::tableAt(storage, installed[0].location);
    MarkdownTable edited = table->table();
    edited.setCell(0, 0, QStringLiteral("9"));
    storage.addAttribute<TextAttribute::Attachment>(installed[0], table->withTable(edited));
    const QString md = P::markdown(storage);
    EXPECT_TRUE(md.startsWith(QStringLiteral(
        "Title line\r\n\r\n| A   | B   |\r\n| --- | --- |\r\n| 9   | 2   |\r\n\r\n")))
        << md.toStdString();
    EXPECT_EQ(md.count(u'\n'), md.count(QStringLiteral("\r\n")));
}

TEST(MarkdownTableProjection, RestylingKeepsTheTableSpacingAndAppearance)
{
    AttributedText storage(QStringLiteral("# Title\n") + kTable + QStringLiteral("\ntext"));
    P::installTables(storage, true, 17);
    MarkdownHighlighter::highlight(storage, HighlightOptions {});
    const ParagraphStyle* style = storage.attribute<TextAttribute::ParagraphStyle>(8);
    ASSERT_TRUE(style);
    EXPECT_EQ(style->paragraphSpacingBefore, 8);
    EXPECT_EQ(style->paragraphSpacing, 8);
    const TableAttachment* table = P::tableAt(storage, 8);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->isDarkMode());
    EXPECT_EQ(table->cellFont().pixelSize(), 16);
    EXPECT_EQ(table->headerFont().weight(), QFont::DemiBold);
    EXPECT_LT(table->baselineOffset(), 0);
    const auto lighter = table->withAppearance(false, 15);
    EXPECT_FALSE(lighter->isDarkMode());
    EXPECT_EQ(lighter->markdown(), table->markdown());
}

TEST(MarkdownTableProjection, PipeLinesAroundAnEditReachToTheNearestLinesWithoutPipes)
{
    const QString text = QStringLiteral("intro\n| a |\nx | y\n|---|\n\nprose\nmore\n| b |");
    const ChunkedText chunked(text);
    auto around = [&](const QString& at, qsizetype length = 0) {
        const qsizetype from = text.indexOf(at);
        const TextRange r = MarkdownTableProjection::pipeLinesAround(chunked, from, from + length);
        return text.mid(r.location, r.length);
    };
    // Any line with a pipe joins, wherever the pipe stands; blank lines and prose end it.
    EXPECT_EQ(around(QStringLiteral("y")), QStringLiteral("| a |\nx | y\n|---|"));
    EXPECT_EQ(around(QStringLiteral("intro")), QStringLiteral("intro\n| a |\nx | y\n|---|"));
    EXPECT_EQ(around(QStringLiteral("prose")), QStringLiteral("prose"));
    // A change over several lines takes them all; the text's ends bound it.
    EXPECT_EQ(around(QStringLiteral("prose"), 8), QStringLiteral("prose\nmore\n| b |"));
    EXPECT_EQ(around(QStringLiteral("| b |"), 5), QStringLiteral("| b |"));
    const TextRange empty = MarkdownTableProjection::pipeLinesAround(chunked, 0, 0);
    EXPECT_EQ(empty.location, 0);
    EXPECT_EQ(text.mid(empty.location, empty.length), around(QStringLiteral("intro")));
}

// Styling a stretch of many tables, as the block view does a stretch at a time, finds the sets
// the tables were installed with instead of making one more per table: a document of tables
// holds one attribute set per table, not two.
TEST(MarkdownTableProjection, StylingAStretchOfTablesMakesNoSetPerTable)
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("Note %1\n\n| a | b |\n|---|---|\n| %1 | x |\n\n").arg(i);
    for (const bool dark : { false, true }) {
        AttributedText storage(text);
        P::installTables(storage, dark, 17);
        const int installed = storage.internedSetCount();
        EXPECT_GE(installed, 200);
        HighlightOptions options;
        options.isDarkMode = dark;
        options.fontSize = 17;
        const TextSpan stretch { 0, storage.length() - 5 };
        AttributedText piece = storage.subText(stretch);
        MarkdownHighlighter::highlight(piece, options);
        storage.setAttributesFrom(stretch.location, piece);
        EXPECT_LT(storage.internedSetCount(), installed + 50) << "dark " << dark;
        EXPECT_EQ(P::markdown(storage), text);
        EXPECT_EQ(P::tableCount(storage), 200);
    }
}
