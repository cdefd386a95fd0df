#include "markdown/HighlighterTestSupport.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

using namespace quillon;
using namespace quillon::test;
using A = TextAttribute;

namespace {

const QFont* fontAt(const AttributedText& s, qsizetype i)
{
    return s.attribute<A::Font>(i);
}

QColor foregroundAt(const AttributedText& s, qsizetype i)
{
    const QColor* c = s.attribute<A::ForegroundColor>(i);
    return c ? *c : QColor();
}

class TestAttachment : public TextAttachment
{
};

} // namespace

TEST(MarkdownHighlighter, EmptyTextIsLeftUntouched)
{
    AttributedText storage;
    MarkdownHighlighter::highlight(storage, HighlightOptions {});
    EXPECT_TRUE(storage.isEmpty());
    EXPECT_TRUE(storage.runs().empty());
}

TEST(MarkdownHighlighter, BoldMarkersFollowTheRevealRule)
{
    // "**a**": opening marker 0..1, closing marker 3..4. Half-open at the opening marker,
    // closed at the closing one.
    const QString text = QStringLiteral("**a** tail");
    struct Case
    {
        qsizetype caret;
        bool focused;
        bool revealed;
    };
    const Case cases[] = { { 0, true, true }, { 1, true, true }, { 2, true, false },
        { 3, true, true }, { 4, true, true }, { 5, true, true }, { 6, true, false },
        { 0, false, false }, { -1, true, false } };
    for (const Case& k : cases) {
        const AttributedText s = highlighted(text, readingWithCaret(k.caret, k.focused));
        const QString expected
            = k.revealed ? QStringLiteral("0000000000") : QStringLiteral("1101100000");
        EXPECT_EQ(collapseMap(s), expected) << "caret " << k.caret << " focused " << k.focused;
        ASSERT_TRUE(fontAt(s, 2));
        EXPECT_EQ(fontAt(s, 2)->weight(), QFont::Bold);
        EXPECT_NE(fontAt(s, 6)->weight(), QFont::Bold);
    }
}

TEST(MarkdownHighlighter, BoldInsideAHeadingKeepsTheHeadingSize)
{
    const AttributedText s = highlighted(QStringLiteral("# Title **big** end\nbody"));
    const qsizetype boldIndex = s.text().indexOf(u"big");
    ASSERT_TRUE(fontAt(s, boldIndex));
    EXPECT_EQ(fontAt(s, boldIndex)->pixelSize(), 15 + 14);
    EXPECT_EQ(fontAt(s, boldIndex)->weight(), QFont::Bold);
    EXPECT_EQ(foregroundAt(s, boldIndex), grey(0.05));
    EXPECT_EQ(fontAt(s, s.text().indexOf(u"body"))->pixelSize(), 15);

    const AttributedText h3 = highlighted(QStringLiteral("### Small *it*"));
    const QFont* italic = fontAt(h3, h3.text().indexOf(u"it"));
    EXPECT_EQ(italic->pixelSize(), 15 + 4);
    EXPECT_TRUE(italic->italic());
    EXPECT_EQ(italic->weight(), QFont::DemiBold);
}

TEST(MarkdownHighlighter, HeadingLevelsAndNonHeadings)
{
    const AttributedText s
        = highlighted(QStringLiteral("# One\n## Two\n### Three\n#### Four\n#NoSpace"));
    EXPECT_EQ(fontAt(s, 2)->pixelSize(), 29);
    const ParagraphStyle* h1 = s.attribute<A::ParagraphStyle>(0);
    EXPECT_EQ(h1->paragraphSpacingBefore, 14);
    EXPECT_EQ(h1->paragraphSpacing, 6);
    // The heading's paragraph style covers its line break.
    EXPECT_EQ(s.attribute<A::ParagraphStyle>(5)->paragraphSpacingBefore, 14);
    EXPECT_EQ(fontAt(s, s.text().indexOf(u"Two"))->pixelSize(), 23);
    EXPECT_EQ(fontAt(s, s.text().indexOf(u"Three"))->pixelSize(), 19);
    EXPECT_EQ(fontAt(s, s.text().indexOf(u"Four"))->pixelSize(), 15);
    EXPECT_EQ(fontAt(s, s.text().indexOf(u"NoSpace"))->pixelSize(), 15);
    // Caret away: "# " hidden; four "#" and "#NoSpace" never hide anything.
    const qsizetype four = s.text().indexOf(u"####");
    EXPECT_EQ(collapseMap(s, 0, 2), QStringLiteral("11"));
    EXPECT_EQ(collapseMap(s, four, s.length()), QString(s.length() - four, u'0'));
}

TEST(MarkdownHighlighter, HeadingMarkerIsShownWhileTheCaretTouchesIt)
{
    const QString text = QStringLiteral("# Title\nnext");
    EXPECT_EQ(collapseMap(highlighted(text, readingWithCaret(0)), 0, 2), QStringLiteral("00"));
    EXPECT_EQ(collapseMap(highlighted(text, readingWithCaret(2)), 0, 2), QStringLiteral("00"));
    EXPECT_EQ(collapseMap(highlighted(text, readingWithCaret(3)), 0, 2), QStringLiteral("11"));
    EXPECT_EQ(collapseMap(highlighted(text, readingWithCaret(9)), 0, 2), QStringLiteral("11"));
}

TEST(MarkdownHighlighter, FencedBlocksExcludeEveryProsePass)
{
    const QString text = QStringLiteral(
        "```\n# not a heading **x** `y` [l](u)\n| a | b |\n- item\n```\nafter **b**");
    const AttributedText s = highlighted(text, readingWithCaret(-1));
    const qsizetype blockEnd = text.indexOf(u"after");
    const QFont code = MarkdownHighlighter::monospacedFont(14);
    for (qsizetype i = 0; i < blockEnd; ++i) {
        EXPECT_FALSE(isCollapsed(s, i)) << i;
        EXPECT_EQ(*fontAt(s, i), code) << i;
        EXPECT_FALSE(s.hasAttribute(A::BackgroundColor, i)) << i;
        EXPECT_FALSE(s.hasAttribute(A::Link, i)) << i;
        EXPECT_FALSE(s.hasAttribute(A::InlineCode, i)) << i;
        EXPECT_FALSE(s.hasAttribute(A::Bullet, i)) << i;
        ASSERT_TRUE(s.hasAttribute(A::CodeBlock, i)) << i;
    }
    EXPECT_FALSE(s.hasAttribute(A::CodeBlock, blockEnd));
    // Prose after the block is styled as usual.
    EXPECT_EQ(fontAt(s, text.indexOf(u"b", blockEnd + 6))->weight(), QFont::Bold);

    // A document that is one block gets the block styling only.
    const AttributedText only = highlighted(QStringLiteral("```\n**x**\n```"));
    EXPECT_EQ(collapseMap(only), QString(13, u'0'));
}

TEST(MarkdownHighlighter, CodeBlockBoxInsetsAndTokenColours)
{
    const QString text = QStringLiteral("```python\nif x: # note\n```\n\n~~~\nif y\n~~~");
    const AttributedText dark = highlighted(text, { true, 15, true, -1, false });
    const CodeBlockDecoration* box = dark.attribute<A::CodeBlock>(0);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->fill, grey(0.145));
    EXPECT_EQ(box->border, grey(1.0, 0.1));
    EXPECT_EQ(foregroundAt(dark, 0), grey(0.45)); // fence line
    const qsizetype ifAt = text.indexOf(u"if");
    EXPECT_EQ(foregroundAt(dark, ifAt), QColor::fromRgbF(1.0, 0.42, 0.23));
    EXPECT_EQ(foregroundAt(dark, text.indexOf(u"x:")), grey(0.8));
    EXPECT_EQ(foregroundAt(dark, text.indexOf(u"# note")), grey(0.48));
    // No language: code-text colour only.
    EXPECT_EQ(foregroundAt(dark, text.indexOf(u"if y")), grey(0.8));

    const ParagraphStyle* first = dark.attribute<A::ParagraphStyle>(0);
    EXPECT_EQ(first->paragraphSpacingBefore, 10);
    EXPECT_EQ(first->headIndent, 16);
    EXPECT_EQ(first->tailIndent, -16);
    EXPECT_EQ(first->paragraphSpacing, 0);
    const ParagraphStyle* last = dark.attribute<A::ParagraphStyle>(text.indexOf(u"```\n\n"));
    EXPECT_EQ(last->paragraphSpacing, 10);

    const AttributedText light = highlighted(text, { false, 15, true, -1, false });
    EXPECT_EQ(light.attribute<A::CodeBlock>(0)->fill, grey(1.0));
    EXPECT_EQ(foregroundAt(light, ifAt), QColor::fromRgbF(0.784, 0.22, 0.039));
}

TEST(MarkdownHighlighter, UnclosedFenceRunsToTheEnd)
{
    const QString text = QStringLiteral("intro\n```js\nlet a = 1\n**not bold**");
    const AttributedText s = highlighted(text);
    EXPECT_TRUE(s.hasAttribute(A::CodeBlock, text.size() - 1));
    EXPECT_EQ(collapseMap(s), QString(text.size(), u'0'));
    EXPECT_EQ(foregroundAt(s, text.indexOf(u"```")), grey(0.62));
    EXPECT_EQ(foregroundAt(s, text.indexOf(u"**")), grey(0.3));
}

TEST(MarkdownHighlighter, LinkSyntaxHidesAndReveals)
{
    const QString text = QStringLiteral("See [docs](https://example.org/a) now");
    const qsizetype open = text.indexOf(u'[');
    const qsizetype closeBracket = text.indexOf(u']');
    const qsizetype closeParen = text.indexOf(u')');
    const QString hiddenSyntax = QStringLiteral("0000") + u'1' + QStringLiteral("0000")
        + QString(closeParen - closeBracket + 1, u'1') + QStringLiteral("0000");

    const AttributedText away = highlighted(text, readingWithCaret(0));
    EXPECT_EQ(collapseMap(away), hiddenSyntax);
    const QUrl* url = away.attribute<A::Link>(open + 1);
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, QUrl(QStringLiteral("https://example.org/a")));
    EXPECT_EQ(*away.attribute<A::UnderlineStyle>(open + 1), 1);
    EXPECT_EQ(foregroundAt(away, open + 1), QColor::fromRgbF(0.0, 0.48, 1.0));
    EXPECT_FALSE(away.hasAttribute(A::Link, open));

    // Caret inside the label: only the label shows.
    EXPECT_EQ(collapseMap(highlighted(text, readingWithCaret(open + 2))), hiddenSyntax);
    // Caret on "]" or up to just after ")": everything shows, in the marker colour.
    for (qsizetype caret : { closeBracket, closeParen, closeParen + 1, open }) {
        const AttributedText s = highlighted(text, readingWithCaret(caret));
        EXPECT_EQ(collapseMap(s), QString(text.size(), u'0')) << caret;
        EXPECT_EQ(foregroundAt(s, closeParen), grey(0.35));
        EXPECT_EQ(foregroundAt(s, closeBracket + 3), grey(0.35));
    }
    EXPECT_EQ(collapseMap(highlighted(text, readingWithCaret(closeParen + 2))), hiddenSyntax);
}

TEST(MarkdownHighlighter, ReadingModeOffHidesNothing)
{
    HighlightOptions options;
    options.isReadingMode = false;
    const QString text
        = QStringLiteral("# H\n- item\n- [x] done\n> quote\n**b** *i* ~~s~~ `c` [l](http://x)\n");
    const AttributedText s = highlighted(text, options);
    for (qsizetype i = 0; i < s.length(); ++i) {
        EXPECT_FALSE(s.hasAttribute(A::Collapsed, i)) << i;
        EXPECT_FALSE(s.hasAttribute(A::Bullet, i)) << i;
        EXPECT_FALSE(s.hasAttribute(A::Checkbox, i)) << i;
    }
    EXPECT_EQ(foregroundAt(s, text.indexOf(u"](")), grey(0.35));
}

TEST(MarkdownHighlighter, ListGutterMetrics)
{
    const QString text
        = QStringLiteral("- one\n  - two\n- [x] done\n\t- [ ]\n12. twelve\n   * three");
    const AttributedText s = highlighted(text, readingWithCaret(-1));

    EXPECT_EQ(collapseMap(s, 0, 2), QStringLiteral("11"));
    EXPECT_EQ(*s.attribute<A::Bullet>(0), 11);
    const qsizetype two = text.indexOf(u"- two");
    EXPECT_EQ(*s.attribute<A::Bullet>(two), 35);
    const ParagraphStyle* nested = s.attribute<A::ParagraphStyle>(two);
    EXPECT_EQ(nested->headIndent, 48);
    EXPECT_EQ(nested->firstLineHeadIndent, 48);
    const QFontMetricsF metrics(MarkdownHighlighter::systemFont(15));
    EXPECT_EQ(nested->minimumLineHeight, std::ceil(metrics.ascent() + metrics.descent()));
    EXPECT_EQ(nested->maximumLineHeight, nested->minimumLineHeight);

    const qsizetype done = text.indexOf(u"- [x]");
    EXPECT_EQ(collapseMap(s, done, done + 7), QStringLiteral("1111110"));
    EXPECT_EQ(*s.attribute<A::Checkbox>(done), (CheckboxDecoration { true, 11 }));
    const qsizetype empty = text.indexOf(u"- [ ]");
    EXPECT_EQ(*s.attribute<A::Checkbox>(empty), (CheckboxDecoration { false, 35 }));
    EXPECT_EQ(collapseMap(s, empty, empty + 5), QStringLiteral("11111"));

    const qsizetype ordered = text.indexOf(u"12.");
    EXPECT_EQ(collapseMap(s, ordered, ordered + 4), QStringLiteral("0000"));
    EXPECT_EQ(s.attribute<A::ParagraphStyle>(ordered)->headIndent, 32);
    EXPECT_EQ(s.attribute<A::ParagraphStyle>(ordered)->firstLineHeadIndent, 0);
    EXPECT_EQ(foregroundAt(s, ordered), grey(0.35));

    const qsizetype three = text.indexOf(u"* three");
    EXPECT_EQ(*s.attribute<A::Bullet>(three), 35); // three spaces are level 1
}

TEST(MarkdownHighlighter, RevealedListMarkerHangsInTheGutter)
{
    const QString text = QStringLiteral("- item\n");
    for (qsizetype caret : { 0, 1, 2 }) {
        const AttributedText s = highlighted(text, readingWithCaret(caret));
        EXPECT_EQ(collapseMap(s, 0, 2), QStringLiteral("00"));
        EXPECT_FALSE(s.hasAttribute(A::Bullet, 0));
        const ParagraphStyle* style = s.attribute<A::ParagraphStyle>(0);
        const qreal width
            = QFontMetricsF(MarkdownHighlighter::systemFont(15)).horizontalAdvance(u"- "_qs);
        // The text after the marker starts where it starts with the marker hidden.
        EXPECT_DOUBLE_EQ(style->firstLineHeadIndent, qMax(24 - width, 0.0));
        EXPECT_EQ(style->headIndent, 24);
        // The paragraph style covers the line break.
        EXPECT_EQ(*s.attribute<A::ParagraphStyle>(6), *style);
    }
    EXPECT_EQ(collapseMap(highlighted(text, readingWithCaret(3)), 0, 2), QStringLiteral("11"));
}

TEST(MarkdownHighlighter, QuotesBlanksAndRules)
{
    const QString text = QStringLiteral("> quoted\n   \n---\n***\n * * *\n >x");
    const AttributedText s = highlighted(text, readingWithCaret(-1));
    EXPECT_TRUE(s.hasAttribute(A::BlockquoteBorder, 0));
    EXPECT_FALSE(s.hasAttribute(A::BlockquoteBorder, 8)); // its line break
    EXPECT_EQ(s.attribute<A::ParagraphStyle>(8)->headIndent, 24);
    EXPECT_EQ(collapseMap(s, 0, 3), QStringLiteral("110"));
    const ParagraphStyle* blank = s.attribute<A::ParagraphStyle>(10);
    EXPECT_EQ(blank->lineSpacing, 1);
    EXPECT_EQ(blank->paragraphSpacing, 0);
    EXPECT_EQ(foregroundAt(s, text.indexOf(u"---")), grey(0.35));
    EXPECT_EQ(foregroundAt(s, text.indexOf(u"***")), grey(0.35));
    // Spaced asterisks are a bullet, not a rule; " >x" is neither quote nor anything else.
    EXPECT_TRUE(s.hasAttribute(A::Bullet, text.indexOf(u"* * *")));
    EXPECT_FALSE(s.hasAttribute(A::BlockquoteBorder, text.indexOf(u">x")));
}

TEST(MarkdownHighlighter, InlineCodeAndWhatItShields)
{
    const QString text = QStringLiteral("a `x**y**` b **s `k` e** c ``");
    const AttributedText s = highlighted(text, readingWithCaret(-1));
    const qsizetype tick = text.indexOf(u'`');
    EXPECT_EQ(foregroundAt(s, tick), QColor::fromRgbF(0.85, 0.1, 0.3));
    EXPECT_EQ(*fontAt(s, tick), MarkdownHighlighter::monospacedFont(14));
    EXPECT_FALSE(s.hasAttribute(A::InlineCode, tick));
    EXPECT_EQ(*s.attribute<A::InlineCode>(tick + 1), grey(0.95));
    EXPECT_TRUE(isCollapsed(s, tick));
    // No bold inside the code.
    EXPECT_FALSE(isCollapsed(s, tick + 2));
    EXPECT_NE(fontAt(s, tick + 4)->weight(), QFont::Bold);
    // Two backticks with nothing between them are no code.
    const qsizetype pair = text.indexOf(u"``");
    EXPECT_FALSE(isCollapsed(s, pair));
    // A bold span that starts before inline code is styled, with the font at its start.
    const qsizetype sAt = text.indexOf(u"s `");
    EXPECT_EQ(fontAt(s, sAt)->weight(), QFont::Bold);
    EXPECT_EQ(fontAt(s, sAt)->family(), MarkdownHighlighter::systemFont(15).family());
}

TEST(MarkdownHighlighter, ItalicUnderscoresAndAsterisks)
{
    const QString text = QStringLiteral("snake_case_name and *one* and **two**");
    const AttributedText s = highlighted(text, readingWithCaret(-1));
    const qsizetype u1 = text.indexOf(u'_');
    EXPECT_TRUE(isCollapsed(s, u1));
    EXPECT_TRUE(isCollapsed(s, text.indexOf(u'_', u1 + 1)));
    EXPECT_TRUE(fontAt(s, u1 + 1)->italic());
    EXPECT_TRUE(fontAt(s, text.indexOf(u"one"))->italic());
    const QFont* two = fontAt(s, text.indexOf(u"two"));
    EXPECT_FALSE(two->italic());
    EXPECT_EQ(two->weight(), QFont::Bold);
}

TEST(MarkdownHighlighter, StrikethroughUsesTheMarkerColour)
{
    const AttributedText s = highlighted(QStringLiteral("~~gone~~"), { true, 15, true, -1, false });
    EXPECT_EQ(*s.attribute<A::StrikethroughStyle>(2), 1);
    EXPECT_EQ(foregroundAt(s, 2), grey(0.75));
    EXPECT_EQ(collapseMap(s), QStringLiteral("11000011"));
}

TEST(MarkdownHighlighter, LightAndDarkPalettes)
{
    const QString text = QStringLiteral("# Head\nbody");
    const AttributedText light = highlighted(text, { false, 15, true, -1, false });
    EXPECT_EQ(foregroundAt(light, 7), grey(0.1));
    EXPECT_EQ(foregroundAt(light, 3), grey(0.05));
    const AttributedText dark = highlighted(text, { true, 15, true, -1, false });
    EXPECT_EQ(foregroundAt(dark, 7), grey(0.98));
    EXPECT_EQ(foregroundAt(dark, 3), grey(1.0));
    EXPECT_EQ(*fontAt(dark, 7), MarkdownHighlighter::systemFont(15));
    const ParagraphStyle* body = dark.attribute<A::ParagraphStyle>(8);
    EXPECT_EQ(body->lineSpacing, 4);
    EXPECT_EQ(body->paragraphSpacing, 2);
}

TEST(MarkdownHighlighter, TableLineGroupsAndFills)
{
    const QString text
        = QStringLiteral("| h |\n| --- |\n| a |\n| b |\n\npara\n| x |\n\n| y |\n| z |");
    const AttributedText s = highlighted(text, { false, 15, true, -1, false });
    auto bg = [&](const char16_t* needle) {
        const QColor* c = s.attribute<A::BackgroundColor>(text.indexOf(needle));
        return c ? *c : QColor();
    };
    EXPECT_EQ(bg(u"| h"), grey(0.94));
    EXPECT_EQ(bg(u"| ---"), grey(0.94));
    EXPECT_EQ(bg(u"| a"), grey(0.98));
    EXPECT_EQ(bg(u"| b"), grey(0.96));
    EXPECT_EQ(fontAt(s, 0)->weight(), QFont::DemiBold);
    EXPECT_EQ(foregroundAt(s, text.indexOf(u"---")), grey(0.35));
    // Second group without a separator: header, then fill A, fill B; the blank line between
    // its lines takes no row.
    EXPECT_EQ(bg(u"| x"), grey(0.94));
    EXPECT_EQ(bg(u"| y"), grey(0.98));
    EXPECT_EQ(bg(u"| z"), grey(0.96));
    EXPECT_FALSE(s.hasAttribute(A::BackgroundColor, text.indexOf(u"para")));
    EXPECT_FALSE(s.hasAttribute(A::BackgroundColor, text.indexOf(u"| h |") + 5));
}

TEST(MarkdownHighlighter, AttachmentsSurviveAndRepeatedCallsAgree)
{
    const QString text = QStringLiteral("# T\n\uFFFC\n- **a** [l](x) `c`\n```\ncode\n```\n");
    AttributedText storage(text);
    auto attachment = std::make_shared<TestAttachment>();
    storage.addAttribute<A::Attachment>({ 4, 1 }, attachment);
    const HighlightOptions options = readingWithCaret(7);
    MarkdownHighlighter::highlight(storage, options);
    EXPECT_EQ(storage.attribute<A::Attachment>(4)->get(), attachment.get());
    EXPECT_FALSE(storage.hasAttribute(A::Attachment, 3));
    EXPECT_FALSE(storage.hasAttribute(A::Attachment, 5));

    const AttributedText once = storage;
    MarkdownHighlighter::highlight(storage, options);
    EXPECT_EQ(storage, once);
    // A different caret and back again gives the first result.
    MarkdownHighlighter::highlight(storage, readingWithCaret(0));
    EXPECT_FALSE(storage == once);
    MarkdownHighlighter::highlight(storage, options);
    EXPECT_EQ(storage, once);
}

TEST(MarkdownHighlighter, ListItemRecognition)
{
    using Kind = MarkdownHighlighter::ListItem::Kind;
    struct Case
    {
        const char16_t* line;
        std::optional<MarkdownHighlighter::ListItem> expected;
    };
    const Case cases[] = {
        { u"   - x", MarkdownHighlighter::ListItem { Kind::bullet, 1, 3, 2 } },
        { u"\t\t- [x] y", MarkdownHighlighter::ListItem { Kind::checkedTask, 2, 2, 6 } },
        { u"- [ ]", MarkdownHighlighter::ListItem { Kind::uncheckedTask, 0, 0, 5 } },
        { u"+ [X] z", MarkdownHighlighter::ListItem { Kind::checkedTask, 0, 0, 6 } },
        { u"42. x", MarkdownHighlighter::ListItem { Kind::ordered, 0, 0, 4 } },
        { u"b) x", MarkdownHighlighter::ListItem { Kind::ordered, 0, 0, 3 } },
        { u"1234567890. x", std::nullopt },
        { u"abcde. x", std::nullopt },
        { u"-x", std::nullopt },
        { u"1.x", std::nullopt },
        { u"", std::nullopt },
    };
    for (const Case& k : cases)
        EXPECT_EQ(MarkdownHighlighter::listItem(QStringView(k.line)), k.expected)
            << QString::fromUtf16(k.line).toStdString();
}

TEST(MarkdownHighlighter, BrokenSurrogatesDoNotBreakStyling)
{
    QString text = QStringLiteral("# T\n**b** x");
    text.insert(5, QChar(0xD800)); // an unpaired high surrogate inside the bold line
    const AttributedText s = highlighted(text, readingWithCaret(-1));
    EXPECT_EQ(fontAt(s, 2)->pixelSize(), 29); // line styling does not need the engine
}

TEST(MarkdownHighlighter, SpansAndLinesStopAtEveryLineBreak)
{
    // "." never crosses a line terminator; the underscore and link forms may span lines.
    const QString breaks[] = { QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n"),
        QStringLiteral("\u2028"), QStringLiteral("\u2029"), QStringLiteral("\u0085"),
        QStringLiteral("\v"), QStringLiteral("\f") };
    for (const QString& br : breaks) {
        const QString name = QString::number(br.at(0).unicode(), 16);
        const AttributedText bold = highlighted(u"**a"_qs + br + u"b**"_qs, readingWithCaret(-1));
        EXPECT_EQ(collapseMap(bold), QString(bold.length(), u'0')) << name.toStdString();
        EXPECT_NE(fontAt(bold, 2)->weight(), QFont::Bold) << name.toStdString();

        const AttributedText italic = highlighted(u"*a"_qs + br + u"b*"_qs);
        EXPECT_FALSE(fontAt(italic, 1)->italic()) << name.toStdString();
        const AttributedText strike = highlighted(u"~~a"_qs + br + u"b~~"_qs);
        EXPECT_FALSE(strike.hasAttribute(A::StrikethroughStyle, 2)) << name.toStdString();

        const AttributedText under = highlighted(u"_a"_qs + br + u"b_"_qs);
        EXPECT_TRUE(fontAt(under, 1)->italic()) << name.toStdString();
        EXPECT_TRUE(fontAt(under, 1 + br.size() + 1)->italic()) << name.toStdString();

        // Line styling covers its own line only.
        const QString heading = u"# A"_qs + br + u"B"_qs;
        const AttributedText h = highlighted(heading);
        EXPECT_EQ(fontAt(h, 2)->pixelSize(), 29) << name.toStdString();
        EXPECT_EQ(fontAt(h, heading.size() - 1)->pixelSize(), 15) << name.toStdString();

        // A table line ends at the break; the next line is a row of the same group.
        const QString table = u"| h |"_qs + br + u"| r |"_qs;
        const AttributedText t = highlighted(table, { false, 15, true, -1, false });
        EXPECT_FALSE(t.hasAttribute(A::BackgroundColor, 5)) << name.toStdString();
        EXPECT_EQ(*t.attribute<A::BackgroundColor>(table.size() - 1), grey(0.98))
            << name.toStdString();
    }
}

TEST(MarkdownHighlighter, LinkWithAnUnusableTargetStaysPlainText)
{
    // The target pattern may run over a line break; such a target is no URL either.
    for (const QString& text : { QStringLiteral("[a](my file.md) end"),
             QStringLiteral("[a](x\nnot y) end"), QStringLiteral("[a](50%) end") }) {
        const AttributedText s = highlighted(text, readingWithCaret(-1));
        EXPECT_EQ(collapseMap(s), QString(text.size(), u'0')) << text.toStdString();
        for (qsizetype i = 0; i < text.size(); ++i) {
            EXPECT_FALSE(s.hasAttribute(A::Link, i)) << i;
            EXPECT_EQ(foregroundAt(s, i), grey(0.1)) << i;
        }
    }
    // Relative references and fragments are links.
    for (const QString& target : { QStringLiteral("docs/page.md"), QStringLiteral("#top"),
             QStringLiteral("../x.md#sec"), QStringLiteral("mailto:a@b.c") }) {
        const AttributedText s = highlighted(u"[a]("_qs + target + u")"_qs);
        ASSERT_TRUE(s.attribute<A::Link>(1)) << target.toStdString();
        EXPECT_EQ(*s.attribute<A::Link>(1), QUrl(target)) << target.toStdString();
    }
}

TEST(MarkdownHighlighter, QuoteBeatsListAndOrderedNumbersStay)
{
    const QString text = QStringLiteral(">- quoted\n1) first\n");
    const AttributedText s = highlighted(text, readingWithCaret(-1));
    EXPECT_TRUE(s.hasAttribute(A::BlockquoteBorder, 1));
    EXPECT_FALSE(s.hasAttribute(A::Bullet, 1));
    EXPECT_EQ(collapseMap(s, 0, 3), QStringLiteral("100"));
    // Ordered: the number stays visible in the marker colour; the caret on it changes nothing.
    const qsizetype first = text.indexOf(u"1)");
    EXPECT_EQ(collapseMap(s, first, first + 3), QStringLiteral("000"));
    const AttributedText touched = highlighted(text, readingWithCaret(first + 1));
    EXPECT_EQ(*touched.attribute<A::ParagraphStyle>(first), *s.attribute<A::ParagraphStyle>(first));
}
