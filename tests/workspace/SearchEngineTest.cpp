#include "workspace/SearchEngine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFuture>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>

using namespace quillon;

namespace {

const QSet<QString> markdown { QStringLiteral("md"), QStringLiteral("markdown") };

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

QVector<SearchResult> search(const test::TempTree& tree, const char* query,
    const QSet<QString>& extensions = markdown, int max = 300)
{
    return SearchEngine::search(tree.path(), s(query), extensions, max);
}

QStringList describe(const QVector<SearchResult>& hits)
{
    QStringList out;
    for (const SearchResult& hit : hits) {
        out.append(QStringLiteral("%1:%2:%3@%4+%5%6")
                       .arg(hit.relativePath)
                       .arg(hit.lineNumber)
                       .arg(hit.lineContent)
                       .arg(hit.matchRangeInLine.location)
                       .arg(hit.matchRangeInLine.length)
                       .arg(hit.isFileNameMatch ? QStringLiteral(" name") : QString()));
    }
    return out;
}

} // namespace

TEST(SearchEngine, NameHitComesFirstThenLinesInOrderOnePerLine)
{
    test::TempTree tree;
    tree.write(s("plans/travel plans.md"), "# Plans\nno\nplans and PLANS\n\tfinal plans\t\n");
    const QVector<SearchResult> hits = search(tree, "plans");
    EXPECT_EQ(describe(hits),
        QStringList({
            s("plans:1:plans@0+5 name"),
            s("plans/travel plans.md:1:travel plans.md@7+5 name"),
            s("plans/travel plans.md:1:# Plans@2+5"),
            s("plans/travel plans.md:3:plans and PLANS@0+5"),
            s("plans/travel plans.md:4:final plans@7+5"),
        }));
    ASSERT_FALSE(hits.isEmpty());
    EXPECT_EQ(hits.first().fileURL, tree.filePath(s("plans")));
    EXPECT_EQ(hits.first().fileName, s("plans"));
    EXPECT_EQ(hits.at(1).fileURL, tree.filePath(s("plans/travel plans.md")));
    EXPECT_NE(hits.at(2).id, hits.at(3).id);
}

TEST(SearchEngine, RangeCountsInTheUntrimmedLineAndCaseIsIgnored)
{
    test::TempTree tree;
    tree.write(s("a.md"), "    foo bar\n\u00a0\tBAR\u00a0\n");
    EXPECT_EQ(describe(search(tree, "bar")),
        QStringList({ s("a.md:1:foo bar@8+3"), s("a.md:2:BAR@2+3") }));
    EXPECT_EQ(describe(search(tree, "  FOO  ")), QStringList({ s("a.md:1:foo bar@4+3") }));
    EXPECT_TRUE(search(tree, " \t\n").isEmpty());
}

TEST(SearchEngine, EveryKindOfLineBreakCountsOnceAndCrlfIsOneBreak)
{
    test::TempTree tree;
    tree.write(s("crlf.md"), "one\r\ntwo\r\n\r\nhit here\r\n");
    tree.write(s("mixed.md"),
        "a\rb\nc\u2028d\u0085e\x0b"
        "f\x0cg\u2029hit\n");
    tree.write(s("bom.md"), "\xEF\xBB\xBFhit first\n");
    const QStringList all = describe(search(tree, "hit"));
    EXPECT_TRUE(all.contains(s("crlf.md:4:hit here@0+3"))) << all.join('|').toStdString();
    EXPECT_TRUE(all.contains(s("mixed.md:8:hit@0+3"))) << all.join('|').toStdString();
    EXPECT_TRUE(all.contains(s("bom.md:1:hit first@0+3"))) << all.join('|').toStdString();
}

TEST(SearchEngine, SkipsHiddenEntriesAndDependencyFolders)
{
    test::TempTree tree;
    for (const char* path : { ".git/needle.md", "node_modules/pkg/needle.md", ".build/needle.md",
             ".hidden/needle.md", "docs/.needle.md", "docs/node_modules/needle.md" })
        tree.write(s(path), "needle");
    tree.write(s("docs/visible.md"), "needle");
    EXPECT_EQ(describe(search(tree, "needle")), QStringList({ s("docs/visible.md:1:needle@0+6") }));
}

TEST(SearchEngine, ExtensionsFilterDocumentsButNeverFolders)
{
    test::TempTree tree;
    tree.write(s("notes.txt/inside.MD"), "notes");
    tree.write(s("notes.txt.md"), "x");
    tree.write(s("other/notes.txt"), "notes");
    QStringList md = describe(search(tree, "notes"));
    md.sort();
    EXPECT_EQ(md,
        QStringList({ s("notes.txt.md:1:notes.txt.md@0+5 name"),
            s("notes.txt/inside.MD:1:notes@0+5"), s("notes.txt:1:notes.txt@0+5 name") }));
    EXPECT_EQ(
        describe(search(tree, "notes", {})), QStringList({ s("notes.txt:1:notes.txt@0+5 name") }));
    EXPECT_EQ(describe(search(tree, "notes", { s("*") })),
        QStringList({ s("notes.txt:1:notes.txt@0+5 name") }));
    const QStringList txt = describe(search(tree, "notes", { s("txt") }));
    EXPECT_TRUE(txt.contains(s("other/notes.txt:1:notes@0+5"))) << txt.join('|').toStdString();
    EXPECT_FALSE(txt.join('|').contains(s("inside")));
}

TEST(SearchEngine, StopsAtTheLimitInTheMiddleOfADocument)
{
    test::TempTree tree;
    QByteArray text;
    for (int i = 0; i < 500; ++i)
        text += "word " + QByteArray::number(i) + "\n";
    tree.write(s("a.md"), text);
    tree.write(s("b.md"), text);
    const QVector<SearchResult> hits = search(tree, "word");
    ASSERT_EQ(hits.size(), 300);
    EXPECT_EQ(hits.first().fileURL, hits.last().fileURL);
    EXPECT_EQ(hits.last().lineNumber, 300);
    EXPECT_EQ(search(tree, "word", markdown, 7).size(), 7);
    EXPECT_TRUE(search(tree, "word", markdown, 0).isEmpty());
}

TEST(SearchEngine, ADocumentThatIsNotUtf8GivesOnlyItsNameHit)
{
    test::TempTree tree;
    tree.write(s("latin1 caf\xc3\xa9.md"), "caf\xe9 caf\xe9\ncafe\n");
    EXPECT_EQ(describe(search(tree, "caf")),
        QStringList({ s("latin1 caf\u00e9.md:1:latin1 caf\u00e9.md@7+3 name") }));
}

TEST(SearchEngine, UnicodeCaseFolding)
{
    test::TempTree tree;
    tree.write(s("u.md"), "CAF\u00c9 au lait\nthe \u212aelvin scale\nplain kelvin\n");
    EXPECT_EQ(
        describe(search(tree, "caf\u00e9")), QStringList({ s("u.md:1:CAF\u00c9 au lait@0+4") }));
    EXPECT_EQ(describe(search(tree, "kelvin")),
        QStringList({ s("u.md:2:the \u212aelvin scale@4+6"), s("u.md:3:plain kelvin@6+6") }));
    EXPECT_EQ(
        describe(search(tree, "\u00e9 AU")), QStringList({ s("u.md:1:CAF\u00c9 au lait@3+4") }));
}

TEST(SearchEngine, OddItemsNeitherHangNorLoop)
{
    test::TempTree tree;
    tree.write(s("real/doc.md"), "loop");
    ASSERT_TRUE(QFile::link(tree.path(), tree.filePath(s("real/loop back"))));
    ASSERT_TRUE(QFile::link(tree.filePath(s("missing")), tree.filePath(s("dangling.md"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.filePath(s("pipe loop.md"))).constData(), 0600), 0);
    const QStringList hits = describe(search(tree, "loop"));
    EXPECT_TRUE(hits.contains(s("real/doc.md:1:loop@0+4")));
    EXPECT_TRUE(hits.contains(s("real/loop back:1:loop back@0+4 name")));
    EXPECT_TRUE(hits.contains(s("pipe loop.md:1:pipe loop.md@5+4 name")));
    EXPECT_EQ(hits.size(), 3) << hits.join('|').toStdString();
    EXPECT_TRUE(SearchEngine::search(tree.filePath(s("nowhere")), s("loop"), markdown).isEmpty());
}

TEST(SearchEngine, SearchesOnSeveralThreadsAtOnceAgree)
{
    test::TempTree tree;
    for (int i = 0; i < 40; ++i)
        tree.write(QStringLiteral("d%1/n%2.md").arg(i % 4).arg(i), "alpha\nbeta alpha\ngamma\n");
    const QStringList expected = describe(search(tree, "alpha"));
    ASSERT_EQ(expected.size(), 80);
    QList<QFuture<QVector<SearchResult>>> runs;
    for (int i = 0; i < 8; ++i) {
        runs.append(QtConcurrent::run(
            [&tree] { return SearchEngine::search(tree.path(), s("alpha"), markdown); }));
    }
    for (auto& run : runs)
        EXPECT_EQ(describe(run.result()), expected);
}
