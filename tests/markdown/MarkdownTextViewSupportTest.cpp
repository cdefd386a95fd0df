#include "markdown/MarkdownTextViewSupport.h"
#include "markdown/MarkdownTableProjection.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace quillon;
using S = MarkdownTextViewSupport;

namespace {

const QString kTable = QStringLiteral("| a | b |\n| --- | --- |\n| 1 | 2 |\n| 3 | 4 |");

} // namespace

TEST(MarkdownTextViewSupport, NeedsHighlightUnlessAllFourInputsMatch)
{
    const QString text = QStringLiteral("text");
    EXPECT_TRUE(S::needsHighlight(text, false, 15, true, S::HighlightState {}));
    const S::HighlightState same { text, false, 15.0, true };
    EXPECT_FALSE(S::needsHighlight(text, false, 15, true, same));
    EXPECT_TRUE(S::needsHighlight(text, false, 15.5, true, same));
    EXPECT_TRUE(S::needsHighlight(text, true, 15, true, same));
    EXPECT_TRUE(S::needsHighlight(text, false, 15, false, same));
    EXPECT_TRUE(S::needsHighlight(QStringLiteral("other"), false, 15, true, same));
    S::HighlightState partial = same;
    partial.isReadingMode.reset();
    EXPECT_TRUE(S::needsHighlight(text, false, 15, true, partial));
}

TEST(MarkdownTextViewSupport, FindMatchesIsTrimmedCaseInsensitiveAndNonOverlapping)
{
    EXPECT_TRUE(S::findMatches(QStringLiteral("abc"), QStringLiteral(" \n ")).isEmpty());
    EXPECT_TRUE(S::findMatches(QString(), QStringLiteral("a")).isEmpty());
    EXPECT_EQ(S::findMatches(QStringLiteral("aaaa"), QStringLiteral("aa")),
        (QList<TextRange> { { 0, 2 }, { 2, 2 } }));
    EXPECT_EQ(S::findMatches(QStringLiteral("Foo foo FOO"), QStringLiteral(" foo ")),
        (QList<TextRange> { { 0, 3 }, { 4, 3 }, { 8, 3 } }));
}

TEST(MarkdownTextViewSupport, MatchesAfterAnEditAreThoseASearchOfTheWholeTextFinds)
{
    // Overlapping candidates ("aa" in runs of a), letters of either case, and edits that make,
    // break, hide and uncover matches, with the old matches far from the edit and near it.
    QRandomGenerator random(424242);
    const QStringList pieces { QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"),
        QStringLiteral("ab"), QStringLiteral(" "), QStringLiteral("aab") };
    auto randomText = [&](int maxPieces) {
        QString text;
        const int count = int(random.bounded(maxPieces + 1));
        for (int i = 0; i < count; ++i)
            text += pieces.at(random.bounded(pieces.size()));
        return text;
    };
    for (const QString& query : { QStringLiteral("a"), QStringLiteral(" aa "), QStringLiteral("aB"),
             QStringLiteral("aba") }) {
        SCOPED_TRACE(query.toStdString());
        QString text = randomText(60);
        QList<TextRange> matches = S::findMatches(text, query);
        for (int round = 0; round < 2000; ++round) {
            const qsizetype position = random.bounded(int(text.size()) + 1);
            const qsizetype removed
                = random.bounded(int(qMin<qsizetype>(text.size() - position, 6)) + 1);
            const QString inserted = randomText(3);
            const QString before = text;
            text.replace(position, removed, inserted);
            matches = S::matchesAfterEdit(text, query, matches, position, removed, inserted.size());
            ASSERT_EQ(matches, S::findMatches(text, query))
                << before.toStdString() << " -> " << text.toStdString();
            if (text.size() > 200) {
                text = randomText(60);
                matches = S::findMatches(text, query);
            }
        }
    }
}

TEST(MarkdownTextViewSupport, SearchHighlightsPaintTheActiveMatchApart)
{
    const auto highlights
        = S::searchHighlights(QStringLiteral("x y x y x"), QStringLiteral("x"), 1, true);
    ASSERT_EQ(highlights.size(), 3);
    const S::SearchColors colors = S::searchColors(true);
    EXPECT_EQ(highlights[1].range, (TextRange { 4, 1 }));
    EXPECT_EQ(highlights[1].background, colors.activeBackground);
    EXPECT_EQ(highlights[1].foreground, QColor(Qt::black));
    EXPECT_EQ(highlights[0].background, colors.otherBackground);
    EXPECT_FALSE(highlights[0].foreground.has_value());

    // An active index past the matches marks none as active.
    const auto none = S::searchHighlights(QStringLiteral("x"), QStringLiteral("x"), 5, false);
    ASSERT_EQ(none.size(), 1);
    EXPECT_EQ(none[0].background, S::searchColors(false).otherBackground);
}

TEST(MarkdownTextViewSupport, LineRangesCountLinesLikeProjectSearch)
{
    const QString text = QStringLiteral("one\r\ntwo\nthree");
    EXPECT_EQ(S::lineRange(text, 1), (TextRange { 0, 5 }));
    EXPECT_EQ(S::lineRange(text, 2), (TextRange { 5, 4 }));
    EXPECT_EQ(S::lineRange(text, 3), (TextRange { 9, 5 })); // no final break
    EXPECT_EQ(S::lineRange(text, 4), std::nullopt);
    EXPECT_EQ(S::lineRange(text, 0), std::nullopt);
    EXPECT_EQ(S::lineRange(QStringLiteral("a\n"), 2), std::nullopt);
    // Every line terminator ends a line, as in project search.
    const QString mixed = QStringLiteral("a\rb\u2028c\fd\u0085e");
    EXPECT_EQ(S::lineRange(mixed, 2), (TextRange { 2, 2 }));
    EXPECT_EQ(S::lineRange(mixed, 4), (TextRange { 6, 2 }));
    EXPECT_EQ(S::lineRange(mixed, 5), (TextRange { 8, 1 }));
}

TEST(MarkdownTextViewSupport, ScrollToLineCountsMarkdownLinesThroughTables)
{
    // Line 7 of the Markdown is "after": past a four-line table that is one storage character.
    const QString markdown = QStringLiteral("title\n\n") + kTable + QStringLiteral("\nafter\nend");
    AttributedText storage(markdown);
    MarkdownTableProjection::installTables(storage, false, 15);
    ASSERT_EQ(storage.text(), QStringLiteral("title\n\n\uFFFC\nafter\nend"));

    const auto after = S::storageLineRange(storage, 7);
    ASSERT_TRUE(after);
    EXPECT_EQ(storage.text().mid(after->location, after->length), QStringLiteral("after\n"));
    // A line inside the table selects the table's character.
    for (int line : { 3, 4, 5 }) {
        const auto inside = S::storageLineRange(storage, line);
        ASSERT_TRUE(inside);
        EXPECT_EQ(*inside, (TextRange { 7, 1 })) << line;
    }
    EXPECT_EQ(S::storageLineRange(storage, 9), std::nullopt);
    EXPECT_EQ(S::storageLineRange(AttributedText(), 1), std::nullopt);
}

TEST(MarkdownTextViewSupport, ReHighlightKeepsTheCaretInMarkdownTerms)
{
    const QString markdown = kTable + QStringLiteral("\n**tail**");
    AttributedText storage(markdown);
    MarkdownTableProjection::installTables(storage, false, 15);
    // Caret after "**" in the storage (index 2 + 2 past the table's character and line break).
    const qsizetype caret = 4;
    const qsizetype after = S::reHighlight(storage, true, 16, true, true, caret, false);
    EXPECT_EQ(after, caret);
    EXPECT_EQ(MarkdownTableProjection::markdown(storage), markdown);
    const TableAttachment* table = MarkdownTableProjection::tableAt(storage, 0);
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->isDarkMode());
    EXPECT_EQ(table->fontSize(), 16);
    // Not focused: no caret reaches the highlighter, so both markers are hidden.
    EXPECT_TRUE(storage.hasAttribute(TextAttribute::Collapsed, 2));

    const qsizetype same = S::reHighlight(storage, true, 16, true, false, 3, true);
    EXPECT_EQ(same, 3);
    EXPECT_FALSE(storage.hasAttribute(TextAttribute::Collapsed, 2));
}
