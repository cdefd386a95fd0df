// Generated Markdown-like documents (fixed seed) through styling, projection and offset mapping:
// nothing crashes, the document text always comes back unchanged, offsets agree both ways.
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownTableProjection.h"
#include "markdown/MarkdownTextViewSupport.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace quillon;
using P = MarkdownTableProjection;

namespace {

QString randomDocument(QRandomGenerator& random)
{
    static const QStringList pieces = {
        QStringLiteral("| a | b |\n"),
        QStringLiteral("| h | i |\n| - | - |\n"),
        QStringLiteral("|---|:-:|\n"),
        QStringLiteral("  | x \\| y | z |\n"),
        QStringLiteral("| c | d | e |\r\n"),
        QStringLiteral("```\n"),
        QStringLiteral("~~~py\n"),
        QStringLiteral("# Head **b**\n"),
        QStringLiteral("- [x] task\n"),
        QStringLiteral("1. one\n"),
        QStringLiteral("> quote `c`\n"),
        QStringLiteral("[l](http://x) *i* _u_ ~~s~~\n"),
        QStringLiteral("\n"),
        QStringLiteral("\r\n"),
        QStringLiteral("plain text "),
        QStringLiteral("\uFFFC"),
        QStringLiteral("**"),
        QStringLiteral("`"),
        QStringLiteral("|"),
        QString(QChar(0xD83D)), // half of a surrogate pair
        QStringLiteral("\u2028"),
    };
    QString doc;
    const int count = random.bounded(1, 40);
    for (int i = 0; i < count; ++i)
        doc += pieces[random.bounded(pieces.size())];
    return doc;
}

} // namespace

TEST(MarkdownEngineRandom, StylingAndProjectionNeverLoseText)
{
    QRandomGenerator random(20261206);
    int tables = 0;
    for (int round = 0; round < 400; ++round) {
        const QString doc = randomDocument(random);
        AttributedText storage(doc);
        HighlightOptions options;
        options.isFocused = random.bounded(2) == 1;
        options.cursorLocation = random.bounded(-1, int(doc.size()) + 2);
        options.isDarkMode = random.bounded(2) == 1;
        MarkdownHighlighter::highlight(storage, options);
        const QList<TextRange> installed = P::installTables(storage, false, 15);
        tables += int(installed.size());
        ASSERT_EQ(P::markdown(storage), doc) << round;
        ASSERT_EQ(P::tableCount(storage), installed.size()) << round;
        ASSERT_EQ(P::findTables(doc).size(), installed.size()) << round;

        MarkdownHighlighter::highlight(storage, options);
        ASSERT_EQ(P::markdown(storage), doc) << round;
        const AttributedText once = storage;
        MarkdownHighlighter::highlight(storage, options);
        ASSERT_EQ(storage, once) << round;

        for (qsizetype s = 0; s <= storage.length(); ++s) {
            const qsizetype m = P::markdownOffset(s, storage);
            ASSERT_EQ(P::storageOffset(m, storage), s) << round << " at " << s;
        }
        const qsizetype after
            = MarkdownTextViewSupport::reHighlight(storage, true, 15, true, true, 0, true);
        ASSERT_EQ(after, 0);
        ASSERT_EQ(P::markdown(storage), doc) << round;
        for (int line = 1; line < 50; ++line) {
            const auto range = MarkdownTextViewSupport::storageLineRange(storage, line);
            if (!range)
                break;
            ASSERT_LE(range->end(), storage.length());
        }
    }
    EXPECT_GT(tables, 100); // the generator does produce tables
}
