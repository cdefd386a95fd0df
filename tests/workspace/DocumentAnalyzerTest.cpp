#include "workspace/DocumentAnalyzer.h"

#include "WorkspaceTestSupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QThread>

#include <atomic>

namespace quillon::test {
namespace {

using Result = YAMLValidator::ValidationResult;

TEST(DocumentCountsTest, WordsAreRunsBetweenWhitespace)
{
    EXPECT_EQ(DocumentAnalyzer::wordCount(u""), 0);
    EXPECT_EQ(DocumentAnalyzer::wordCount(u"  a \n\n b\t"), 2);
    EXPECT_EQ(DocumentAnalyzer::wordCount(u"one\u00a0two\u2003three"), 3); // Unicode spaces
    EXPECT_EQ(DocumentAnalyzer::wordCount(u"\u2028"), 0);
}

TEST(DocumentCountsTest, CharactersArePerceivedCharacters)
{
    EXPECT_EQ(DocumentAnalyzer::characterCount(QString()), 0);
    // A family emoji: several code points joined, one character.
    EXPECT_EQ(DocumentAnalyzer::characterCount(
                  QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467")),
        1);
    EXPECT_EQ(DocumentAnalyzer::characterCount(QStringLiteral("e\u0301a")), 2);
    EXPECT_EQ(DocumentAnalyzer::characterCount(QStringLiteral("\r\n")), 1);
}

TEST(DocumentCountsTest, QuickCountAgreesWithTheFullRulesOnMixedText)
{
    // Pieces where the quick pass and the full rules could disagree: line ends, combining marks,
    // joiners, emoji, flags, prepended marks, Hangul syllables, soft hyphens.
    const QStringList pieces
        = { QStringLiteral("a"), QStringLiteral(" "), QStringLiteral("\r"), QStringLiteral("\n"),
              QStringLiteral("\u0301"), QStringLiteral("\u200D"), QStringLiteral("\U0001F468"),
              QStringLiteral("\U0001F1E6"), QStringLiteral("\u0600"), QStringLiteral("\u1100"),
              QStringLiteral("\u1161"), QStringLiteral("\u00AD"), QStringLiteral("\u2014"),
              QStringLiteral("\uFE0F"), QStringLiteral("\u00E9"), QStringLiteral("\t") };
    QRandomGenerator random(7);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = int(random.bounded(24));
        for (int i = 0; i < length; ++i)
            text += pieces.at(int(random.bounded(pieces.size())));
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        int expected = 0;
        while (finder.toNextBoundary() != -1)
            ++expected;
        ASSERT_EQ(DocumentAnalyzer::characterCount(text), expected)
            << text.toUtf8().toHex(' ').toStdString();
    }
}

// A long text is counted a stretch of lines at a time and validated from its start: the figures
// are those of the whole, with CR LF, marks, emoji and long runs of CJK among its lines, however
// far the front matter goes.
TEST(DocumentCountsTest, ALongTextIsCountedAndValidatedAsTheWholeWouldBe)
{
    const QStringList pieces = { QStringLiteral("word"), QStringLiteral(" "),
        QStringLiteral("\r\n"), QStringLiteral("e\u0301"),
        QStringLiteral("\U0001F468\u200D\U0001F469"), QStringLiteral("\U0001F1E6\U0001F1E8"),
        QStringLiteral("\u6F22\u5B57"), QStringLiteral("x") };
    QRandomGenerator random(3);
    QString text;
    while (text.size() < 3 * (1 << 20)) {
        const int piece = int(random.bounded(pieces.size()));
        // Now and then a long run with no place to cut (every character of it is high).
        text += random.bounded(2000) == 0 ? QString(6000, QChar(0x6F22)) : pieces.at(piece);
    }
    EXPECT_EQ(DocumentAnalyzer::countsOf(ChunkedText(text)), DocumentAnalyzer::countsOf(text));

    const QString body = text.left(200 * 1024);
    const QString longYaml = QStringLiteral("key: value\n").repeated(20000);
    for (const QString& whole : { body, QStringLiteral("---\ntitle: x\n---\n") + body,
             QStringLiteral("---\n") + longYaml + QStringLiteral("---\n") + body,
             QStringLiteral("---\n") + longYaml + QStringLiteral("bad: [\n---\n") + body,
             QStringLiteral("---\ntitle: x\n") + body }) {
        const QString stretch = DocumentAnalyzer::frontMatterStretch(ChunkedText(whole));
        EXPECT_TRUE(whole.startsWith(stretch));
        EXPECT_EQ(YAMLValidator::validate(stretch), YAMLValidator::validate(whole));
    }
    EXPECT_LT(DocumentAnalyzer::frontMatterStretch(ChunkedText(body)).size(), body.size());
}

class DocumentAnalyzerTest : public WorkspaceTest
{
};

TEST_F(DocumentAnalyzerTest, BurstOfChangesRunsEachAnalysisOnceForTheLastText)
{
    WorkspaceState ws;
    ws.openFile(tree.write("doc.md", ""));
    DocumentAnalyzer analyzer(ws);
    std::atomic<int> estimates = 0, validations = 0;
    analyzer.setAnalysesForTesting(
        [&](const ChunkedText& text) {
            ++estimates;
            return int(text.size());
        },
        [&](const QString& text) {
            ++validations;
            return YAMLValidator::validate(text);
        });
    QString text;
    QElapsedTimer clock;
    for (int i = 0; i < 10; ++i) {
        text += u'x';
        ws.setCurrentFileContent(text);
        QCoreApplication::processEvents(); // each edit on its own turn of the event loop
        clock.start();
    }
    ASSERT_TRUE(waitUntil([&] { return analyzer.tokenCount() == 10 && validations == 1; }));
    EXPECT_GE(clock.elapsed(), DocumentAnalyzer::kTokenDelayMs - 5);
    QTest::qWait(DocumentAnalyzer::kValidationDelayMs + 50);
    EXPECT_EQ(estimates, 1);
    EXPECT_EQ(validations, 1);
}

TEST_F(DocumentAnalyzerTest, AResultForAnOlderTextNeverOverwritesANewerOne)
{
    WorkspaceState ws;
    ws.openFile(tree.write("doc.md", ""));
    DocumentAnalyzer analyzer(ws);
    // The first text's analyses are slow, the second's fast: the first finishes last.
    analyzer.setAnalysesForTesting(
        [](const ChunkedText& text) {
            if (text == QStringLiteral("old"))
                QThread::msleep(600);
            return text == QStringLiteral("old") ? 111 : 222;
        },
        [](const QString& text) {
            if (text == QStringLiteral("old")) {
                QThread::msleep(600);
                return Result::invalid(QStringLiteral("old"), 1, 1);
            }
            return Result::valid();
        });
    ws.setCurrentFileContent(QStringLiteral("old"));
    QTest::qWait(DocumentAnalyzer::kValidationDelayMs + 50); // both old runs under way
    ws.setCurrentFileContent(QStringLiteral("new"));
    ASSERT_TRUE(waitUntil([&] { return analyzer.tokenCount() == 222; }));
    QTest::qWait(900); // the old runs end
    EXPECT_EQ(analyzer.tokenCount(), 222);
    EXPECT_EQ(ws.yamlValidationResult(), Result::valid());
}

TEST_F(DocumentAnalyzerTest, CountsFollowTypingOnceItPausesAndAreMadeOffTheMainThread)
{
    WorkspaceState ws;
    ws.openFile(tree.write("doc.md", "one two"));
    QCoreApplication::processEvents(); // the document is shown
    DocumentAnalyzer analyzer(ws);
    std::atomic<int> runs = 0;
    std::atomic<bool> onMainThread = false;
    analyzer.setCounterForTesting([&](const ChunkedText& text) {
        ++runs;
        onMainThread = onMainThread || QThread::currentThread() == qApp->thread();
        return DocumentAnalyzer::countsOf(text);
    });
    QSignalSpy published(&analyzer, &DocumentAnalyzer::countsChanged);
    QString text = QStringLiteral("one two");
    for (int i = 0; i < 5; ++i) {
        text += QStringLiteral(" w");
        ws.setCurrentFileContent(text);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(waitUntil([&] { return analyzer.counts().words == 7; }));
    EXPECT_EQ(analyzer.counts().characters, text.size());
    QTest::qWait(DocumentAnalyzer::kCountDelayMs + 50);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(onMainThread);
    ASSERT_EQ(published.size(), 1);
    EXPECT_EQ(published.at(0).at(0).toInt(), 7);
}

TEST_F(DocumentAnalyzerTest, AShortDocumentShownIsCountedAtOnceALongOneInTheBackground)
{
    WorkspaceState ws;
    const QString shortDoc = tree.write("short.md", "a b c");
    const QString longDoc = tree.write(
        "long.md", QByteArray("word ").repeated(DocumentAnalyzer::kCountAtOnceLength / 5 + 1));
    ws.openFile(longDoc);
    ws.openFile(shortDoc);
    DocumentAnalyzer analyzer(ws);
    std::atomic<bool> longCountedOnMainThread = false;
    analyzer.setCounterForTesting([&](const ChunkedText& text) {
        if (text.size() > DocumentAnalyzer::kCountAtOnceLength) {
            longCountedOnMainThread = QThread::currentThread() == qApp->thread();
            QThread::msleep(300); // still under way when the short one is shown again
        }
        return DocumentAnalyzer::countsOf(text);
    });
    ws.selectTab(longDoc);
    EXPECT_EQ(analyzer.counts().words, 0); // not yet: it is counted in the background
    ws.selectTab(shortDoc);
    EXPECT_EQ(analyzer.counts(), (DocumentAnalyzer::Counts { 3, 5 }));
    QTest::qWait(500); // the long document's run ends, and is of no use any more
    EXPECT_EQ(analyzer.counts(), (DocumentAnalyzer::Counts { 3, 5 }));
    EXPECT_FALSE(longCountedOnMainThread);

    ws.selectTab(longDoc);
    const int words = int(DocumentAnalyzer::kCountAtOnceLength / 5 + 1);
    ASSERT_TRUE(waitUntil([&] { return analyzer.counts().words == words; }));
    EXPECT_EQ(analyzer.counts().characters, words * 5);
}

TEST_F(DocumentAnalyzerTest, NothingIsPublishedOnceTheWorkspaceIsGone)
{
    auto ws = std::make_unique<WorkspaceState>();
    DocumentAnalyzer analyzer(*ws);
    analyzer.setAnalysesForTesting([](const ChunkedText&) { return 1; },
        [](const QString&) {
            QThread::msleep(200);
            return Result::valid();
        });
    analyzer.schedule(QStringLiteral("---\na: 1\n---\n"));
    QTest::qWait(DocumentAnalyzer::kValidationDelayMs + 50);
    ws.reset();
    QTest::qWait(300); // must not touch the deleted workspace
    EXPECT_EQ(analyzer.tokenCount(), 1);
}

} // namespace
} // namespace quillon::test
