#include "agent/ui/AgentChatPalette.h"
#include "agent/ui/AgentContext.h"
#include "agent/ui/WrappedTextLayout.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextLayout>

#include <cmath>

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

// One line of thousands of characters, as an agent may print: words, emoji (each a surrogate
// pair) and a run too long for a line.
QString longAgentLine()
{
    const QString emoji = QStringLiteral("\U0001F600");
    QString line;
    for (int i = 0; line.size() < 2047; ++i)
        line += QStringLiteral("word%1 ").arg(i % 97);
    line.truncate(2047);
    line += emoji; // straddles the first 2,048 units
    for (int i = 0; line.size() < 3500; ++i)
        line += QStringLiteral("w%1%2 ").arg(i).arg(i % 5 == 0 ? emoji : QString());
    line += QString(2500, QLatin1Char('x'));
    for (int i = 0; line.size() < 9000; ++i)
        line += QStringLiteral("%1 ").arg(emoji.repeated(i % 4 + 1));
    return line;
}

// The whole text in one layout, as the bubble's text should look; returns its height.
qreal layOutOnce(QTextLayout& layout, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

QImage painted(const WrappedTextLayout& layout, const QString& text, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    layout.paint(painter, QPointF(0, 0), QRectF(QPointF(0, 0), size), text, Qt::black);
    return image;
}

// However a long line is split up to keep its layout cheap, it wraps as one line would: no line
// ends early mid-word, and no character is cut in half, whether it arrived at once or in chunks.
TEST(WrappedTextLayout, ALongLineWrapsAsOneLine)
{
    const QString text = longAgentLine();
    const QFont font = AgentChatPalette::font(12.5);
    const qreal width = 280;
    WrappedTextLayout whole;
    whole.setFont(font);
    whole.setWidth(width);
    whole.update(text, false);
    QTextLayout once(text, font);
    EXPECT_EQ(whole.height(), layOutOnce(once, width));
    const QSize size(int(width), int(std::ceil(whole.height())) + 20);
    QImage expected(size, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        painter.setPen(Qt::black);
        once.draw(&painter, QPointF(0, 0));
    }
    EXPECT_TRUE(painted(whole, text, size) == expected);
    EXPECT_GT(whole.pieceCount(), 2) << "a long line is still laid out in pieces";

    WrappedTextLayout grown;
    grown.setFont(font);
    grown.setWidth(width);
    QRandomGenerator random(11);
    for (qsizetype end = 0; end < text.size(); end += 1 + random.bounded(900))
        grown.update(text.left(end), true);
    grown.update(text, true);
    EXPECT_EQ(grown.height(), whole.height());
    EXPECT_TRUE(painted(grown, text, size) == expected);
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
