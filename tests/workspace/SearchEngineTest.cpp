#include "workspace/SearchEngine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDirIterator>
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

namespace {

// The order the hits must come in, computed the plain way: one folder at a time as the file
// system lists it, depth first, every document read in turn.
void expectedHits(
    const QString& folder, const QString& relative, const QString& query, QStringList& out)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.startsWith(u'.') || name == u"node_modules")
            continue;
        const QString rel = relative.isEmpty() ? name : relative + u'/' + name;
        const qsizetype at = name.indexOf(query, 0, Qt::CaseInsensitive);
        if (it.fileInfo().isDir()) {
            if (at >= 0)
                out.append(
                    QStringLiteral("%1:1:%2@%3+%4 name").arg(rel, name).arg(at).arg(query.size()));
            expectedHits(it.filePath(), rel, query, out);
            continue;
        }
        if (!name.endsWith(QStringLiteral(".md")))
            continue;
        if (at >= 0)
            out.append(
                QStringLiteral("%1:1:%2@%3+%4 name").arg(rel, name).arg(at).arg(query.size()));
        QFile file(it.filePath());
        file.open(QIODevice::ReadOnly);
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        for (int i = 0; i < lines.size(); ++i) {
            const qsizetype col = lines[i].indexOf(query, 0, Qt::CaseInsensitive);
            if (col >= 0)
                out.append(QStringLiteral("%1:%2:%3@%4+%5")
                               .arg(rel)
                               .arg(i + 1)
                               .arg(lines[i].trimmed())
                               .arg(col)
                               .arg(query.size()));
        }
    }
}

} // namespace

TEST(SearchEngine, HitsKeepTheWalkOrderAndTheLimitWhateverThreadReadsWhat)
{
    test::TempTree tree;
    // Hits are spread unevenly, so threads finish documents out of order; a few folders match by
    // name, and some documents hold nothing at all.
    for (int i = 0; i < 400; ++i) {
        const QString folder = i % 50 == 7 ? QStringLiteral("needle box %1").arg(i / 40)
                                           : QStringLiteral("box %1").arg(i / 40);
        QByteArray text;
        for (int line = 0; line < (i * 37) % 23; ++line)
            text += line % 3 == 0 ? "some Needle here\n" : "hay\n";
        tree.write(
            QStringLiteral("%1/doc %2%3.md").arg(folder).arg(i).arg(i % 9 == 0 ? " needle" : ""),
            text);
    }
    QStringList all;
    expectedHits(tree.path(), QString(), s("needle"), all);
    ASSERT_GT(all.size(), 600);
    for (int max : { 300, 37, 1, 100000 }) {
        const QStringList got = describe(search(tree, "needle", markdown, max));
        EXPECT_EQ(got, all.mid(0, max)) << "limit " << max;
    }
}

TEST(SearchEngine, NonAsciiQueriesFindEveryCaseSpellingAndNothingElse)
{
    test::TempTree tree;
    QByteArray decoys;
    for (int i = 0; i < 2000; ++i)
        decoys += "na\u00efve \u00cfo caf\u00e9 ";
    tree.write(s("decoys.md"), decoys + "\n");
    tree.write(s("greek.md"), "\u03a9mega\nohm \u2126MEGA\nno\n\u03c9mega last\n");
    tree.write(s("mixed.md"), decoys + "\nthe NA\u00cfV\u00c9 end\n");
    EXPECT_TRUE(search(tree, "\u00ef\u00f6").isEmpty());
    EXPECT_EQ(describe(search(tree, "\u03c9mega")),
        QStringList({ s("greek.md:1:\u03a9mega@0+5"), s("greek.md:2:ohm \u2126MEGA@4+5"),
            s("greek.md:4:\u03c9mega last@0+5") }));
    EXPECT_EQ(describe(search(tree, "na\u00efv\u00e9")),
        QStringList({ s("mixed.md:2:the NA\u00cfV\u00c9 end@4+5") }));
}
