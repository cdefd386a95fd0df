#include "agent/ui/AgentChatPalette.h"
#include "agent/ui/AgentContext.h"
#include "agent/ui/WrappedTextLayout.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

namespace quillon {
namespace {

TEST(AgentContext, CountsUserPerceivedCharactersForTheSnippetLimit)
{
    const QString flag = QStringLiteral("\U0001F1E9\U0001F1EA"); // two code points, one character
    EXPECT_EQ(AgentContext::snippet(flag.repeated(3), 3), flag.repeated(3));
    EXPECT_EQ(
        AgentContext::snippet(flag.repeated(4), 3), flag.repeated(3) + QStringLiteral("\n..."));
    EXPECT_EQ(AgentContext::snippet(QStringLiteral("abcd"), 3), QStringLiteral("abc\n..."));
    // A CRLF line end is one character.
    EXPECT_EQ(AgentContext::snippet(QStringLiteral("a\r\nb"), 3), QStringLiteral("a\r\nb"));
    EXPECT_EQ(AgentContext::snippet(QString(), 3), QString());
}

TEST(AgentContext, NoActiveTabMeansNoContext)
{
    EXPECT_FALSE(AgentContext::fromActiveTab(QString(), QStringLiteral("text")).has_value());
    const auto pill = AgentContext::fromActiveTab(QStringLiteral("/w/notes/a b.md"), QString());
    ASSERT_TRUE(pill.has_value());
    EXPECT_EQ(pill->title, QStringLiteral("a b.md"));
    EXPECT_EQ(pill->snippet, QString());
    EXPECT_FALSE(pill->isSelection);
    EXPECT_NE(pill->id, AgentContext::fromActiveTab(QStringLiteral("/w/a.md"), QString())->id);
}

TEST(AgentContext, OnlySpacesAndTabsAreBlank)
{
    EXPECT_TRUE(AgentContext::isBlankPrompt(QString()));
    EXPECT_TRUE(AgentContext::isBlankPrompt(QStringLiteral(" \t\u00A0\u3000")));
    EXPECT_FALSE(AgentContext::isBlankPrompt(QStringLiteral("\n")));
    EXPECT_FALSE(AgentContext::isBlankPrompt(QStringLiteral(" \r ")));
    EXPECT_FALSE(AgentContext::isBlankPrompt(QStringLiteral("  x ")));
}

// Growing a text chunk by chunk must give the geometry of laying it out in one go.
TEST(WrappedTextLayout, AppendingInChunksMatchesOneLayout)
{
    QString text;
    QRandomGenerator random(7);
    for (int i = 0; i < 400; ++i) {
        const int words = int(random.bounded(30));
        for (int w = 0; w < words; ++w)
            text += QStringLiteral("word%1 ").arg(random.bounded(1000));
        text += (i % 50 == 0) ? QString(5000, QLatin1Char('x')) : QString();
        text += QLatin1Char('\n');
    }
    WrappedTextLayout whole;
    whole.setFont(AgentChatPalette::font(12.5));
    whole.setWidth(280);
    whole.update(text, false);

    WrappedTextLayout grown;
    grown.setFont(AgentChatPalette::font(12.5));
    grown.setWidth(280);
    for (qsizetype end = 0; end < text.size(); end += 1 + random.bounded(700))
        grown.update(text.left(end), true);
    grown.update(text, true);

    EXPECT_EQ(grown.height(), whole.height());
    EXPECT_EQ(grown.pieceCount(), whole.pieceCount());
    EXPECT_EQ(grown.naturalWidth(), whole.naturalWidth());
    EXPECT_LE(whole.naturalWidth(), 280);

    // A replaced text is laid out anew, not appended to.
    grown.update(QStringLiteral("short"), false);
    EXPECT_EQ(grown.pieceCount(), 1);
    EXPECT_LT(grown.height(), whole.height());
}

TEST(WrappedTextLayout, LinesAndWidthFollowTheText)
{
    WrappedTextLayout layout;
    layout.setFont(AgentChatPalette::font(12.5));
    layout.setWidth(1000);
    layout.update(QStringLiteral("one"), false);
    const qreal line = layout.height();
    EXPECT_GT(line, 0);
    layout.update(QStringLiteral("one\n"), true);
    EXPECT_EQ(layout.height(), line); // the output's final line break adds no empty line
    layout.update(QStringLiteral("one\ntwo\n\nfour"), true);
    EXPECT_EQ(layout.height(), 4 * line);
    const qreal wide = layout.naturalWidth();
    layout.setWidth(10); // narrow: words break anywhere, every line fits
    layout.update(QStringLiteral("one\ntwo\n\nfour"), true);
    EXPECT_GT(layout.height(), 4 * line);
    EXPECT_LE(layout.naturalWidth(), 10);
    EXPECT_GT(wide, 10);
}

} // namespace
} // namespace quillon
