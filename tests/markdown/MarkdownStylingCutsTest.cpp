// Cutting a text for styling: every part styled on its own comes out as styling the whole text
// makes it, and nothing the engine styles as one is cut.
#include "markdown/MarkdownStylingCuts.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownTableProjection.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace quillon;

namespace {

// Every cut the finder gives when asked for one at or after each multiple of `step`.
QList<qsizetype> cutsOf(const QString& text, qsizetype step)
{
    MarkdownStylingCuts cuts(text);
    QList<qsizetype> found;
    for (qsizetype at = step; at < text.size(); at += step) {
        const qsizetype cut = cuts.next(at);
        if (cut >= text.size())
            break;
        if (found.isEmpty() || found.last() != cut)
            found.append(cut);
    }
    return found;
}

// The first position whose attributes differ between the whole text styled at once and styled
// part by part between `cuts`; -1 when none does.
qsizetype firstDifference(
    const AttributedText& unstyled, const QList<qsizetype>& cuts, const HighlightOptions& options)
{
    AttributedText whole = unstyled;
    MarkdownHighlighter::highlight(whole, options);
    qsizetype start = 0;
    QList<qsizetype> ends = cuts;
    ends.append(unstyled.length());
    for (const qsizetype end : std::as_const(ends)) {
        AttributedText part = unstyled.subText({ start, end - start });
        HighlightOptions partOptions = options;
        partOptions.cursorLocation
            = options.cursorLocation >= start && options.cursorLocation <= end
            ? options.cursorLocation - start
            : -1;
        MarkdownHighlighter::highlight(part, partOptions);
        for (qsizetype i = 0; i < part.length(); ++i)
            if (!(part.attributes(i) == whole.attributes(start + i)))
                return start + i;
        start = end;
    }
    return -1;
}

HighlightOptions reading(qsizetype caret = -1)
{
    HighlightOptions options;
    options.isReadingMode = true;
    options.cursorLocation = caret;
    options.isFocused = caret >= 0;
    return options;
}

// Long lines cut into parts `length` long while it lives.
struct LinePart
{
    explicit LinePart(qsizetype length) { MarkdownStylingCuts::setLinePartForTesting(length); }
    ~LinePart() { MarkdownStylingCuts::setLinePartForTesting(0); }
};

} // namespace

TEST(MarkdownStylingCuts, CutsOnlyBetweenParagraphsThatStyleAlone)
{
    const QString text = QStringLiteral("# Title\n\nplain **bold** text\n\n- item\n\nmore\n");
    MarkdownStylingCuts cuts(text);
    EXPECT_EQ(cuts.next(0), 0);
    // The start of the paragraph after the one asked into.
    EXPECT_EQ(cuts.next(1), text.indexOf(u'\n') + 1);
    EXPECT_EQ(cuts.next(10), text.indexOf(QStringLiteral("\n- item")));
    EXPECT_EQ(cuts.next(text.size() - 1), text.size());
    // Asked for an earlier place, it keeps to where it got.
    EXPECT_EQ(cuts.next(0), text.size());
}

TEST(MarkdownStylingCuts, NeverCutsWhatTheEngineStylesAsOne)
{
    struct Case
    {
        const char* name;
        QString before; // the text the cut is asked for after
        QString across; // reaches from `before` over the place asked for
        QString after;
    };
    const QList<Case> cases {
        { "an open fence", QStringLiteral("text\n\n```cpp\nint x;\n"),
            QStringLiteral("\nint y;\n```\n"), QStringLiteral("\nafter\n") },
        { "a fence never closed", QStringLiteral("text\n\n~~~\ncode\n"),
            QStringLiteral("\nstill code\n\nand more\n"), QString() },
        { "an underscore pairing with one paragraphs later", QStringLiteral("one_sided word\n\n"),
            QStringLiteral("a line\n\nother_one\n"), QStringLiteral("\nplain\n") },
        { "a link over lines", QStringLiteral("see [the\n"),
            QStringLiteral("label](http://x.org)\n"), QStringLiteral("\nplain\n") },
        { "table lines over blank lines", QStringLiteral("| a | b |\n\n"),
            QStringLiteral("\n| c | d |\n| --- | --- |\n"), QStringLiteral("\nplain\n") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = c.before + c.across + c.after;
        MarkdownStylingCuts cuts(text);
        const qsizetype cut = cuts.next(c.before.size());
        EXPECT_GE(cut, c.before.size() + c.across.size());
        EXPECT_TRUE(cut == text.size() || text[cut - 1] == u'\n');
        EXPECT_EQ(firstDifference(AttributedText(text), { cut }, reading()), -1);
    }
}

TEST(MarkdownStylingCuts, ATextWithABrokenSurrogateIsStyledWhole)
{
    const QString text = QStringLiteral("a _b\n\nc\n\n") + QChar(0xD83D) + QStringLiteral("\nd_\n");
    MarkdownStylingCuts cuts(text);
    EXPECT_FALSE(cuts.canCut());
    EXPECT_EQ(cuts.next(1), text.size());
}

TEST(MarkdownStylingCuts, RandomTextsStyledPartByPartMatchStylingThemWhole)
{
    static const QStringList pieces = {
        QStringLiteral("| a | b |\n"),
        QStringLiteral("| h | i |\n| - | - |\n"),
        QStringLiteral("```\n"),
        QStringLiteral("~~~py\n"),
        QStringLiteral("# Head **b**\n"),
        QStringLiteral("- [x] task\n"),
        QStringLiteral("1. one\n"),
        QStringLiteral("> quote `c`\n"),
        QStringLiteral("[l](http://x) *i* _u_ ~~s~~\n"),
        QStringLiteral("[open "),
        QStringLiteral("](http://y.org) "),
        QStringLiteral("_"),
        QStringLiteral("*"),
        QStringLiteral("\n"),
        QStringLiteral("\n\n"),
        QStringLiteral("\r\n"),
        QStringLiteral("plain text "),
        QStringLiteral("\uFFFC"),
        QStringLiteral("`"),
        QStringLiteral("|"),
        QStringLiteral("\u2028"),
    };
    QRandomGenerator random(20260407);
    int cutsTried = 0;
    for (int round = 0; round < 300; ++round) {
        QString doc;
        const int count = random.bounded(1, 80);
        for (int i = 0; i < count; ++i)
            doc += pieces[random.bounded(pieces.size())];
        AttributedText storage(doc);
        // Tables are projected before styling in the block view: their characters are plain.
        if (random.bounded(2) == 1)
            MarkdownTableProjection::installTables(storage, false, 15);
        const QList<qsizetype> cuts = cutsOf(storage.text(), random.bounded(1, 12));
        cutsTried += int(cuts.size());
        const qsizetype caret = random.bounded(-1, int(storage.length()) + 1);
        ASSERT_EQ(firstDifference(storage, cuts, reading(caret)), -1)
            << round << ": " << doc.toStdString();
    }
    EXPECT_GT(cutsTried, 1000); // the texts do get cut
}

TEST(MarkdownStylingCuts, ALineOfManyThousandCharactersIsCutBetweenWords)
{
    const LinePart part(500);
    QString line;
    for (int i = 0; line.size() < 6000; ++i) {
        line += QStringLiteral("Word%1 with **bold**, *italic*, `code` and a "
                               "[link](https://example.org/%1) and _under_ - 3. ")
                    .arg(i);
        if (i == 20)
            line += QStringLiteral("[a link text of many words](https://example.org/long) ");
    }
    const QString text = QStringLiteral("# Title\n\n") + line + QStringLiteral("\n\nAfter.\n");
    // Asked for a cut inside a link's text, it gives one after the link.
    const qsizetype link = text.indexOf(QStringLiteral("text of many"));
    EXPECT_GT(MarkdownStylingCuts(text).next(link), text.indexOf(QStringLiteral("/long)")));
    const QList<qsizetype> cuts = cutsOf(text, 700);
    ASSERT_GT(cuts.size(), 5);
    for (const qsizetype cut : cuts) {
        if (text[cut - 1] == u'\n')
            continue;
        // Between words, the part starting with a letter.
        EXPECT_EQ(text[cut - 1], u' ') << cut;
        EXPECT_TRUE(text[cut].isLetter()) << cut;
    }
    // Here no span runs over a cut: the parts styled alone are styled as the whole line is.
    EXPECT_EQ(firstDifference(AttributedText(text), cuts, reading()), -1);
    EXPECT_EQ(firstDifference(AttributedText(text), cuts, reading(text.indexOf(u'_'))), -1);
}

TEST(MarkdownStylingCuts, ALongLineIsCutUnlessItIsATableLine)
{
    const LinePart part(300);
    QString prose;
    QString row = QStringLiteral("| a |");
    for (int i = 0; prose.size() < 3000; ++i) {
        prose += QStringLiteral("Word%1 with **bold** and `code`. ").arg(i);
        row += QStringLiteral(" cell %1 |").arg(i);
    }
    // Long lines after a table's rows, then a row of thousands of characters, then prose again.
    const QString text = QStringLiteral("| h | i |\n|---|---|\n") + prose + u'\n' + prose + u'\n'
        + row + u'\n' + prose + u'\n';
    const qsizetype rowStart = text.indexOf(QStringLiteral("| a |"));
    const qsizetype rowEnd = rowStart + row.size();
    const QList<qsizetype> cuts = cutsOf(text, 100);
    int inProse = 0;
    for (const qsizetype cut : cuts) {
        EXPECT_FALSE(cut > rowStart && cut <= rowEnd) << cut;
        inProse += text[cut - 1] != u'\n';
    }
    EXPECT_GT(inProse, 15);
    EXPECT_EQ(firstDifference(AttributedText(text), cuts, reading()), -1);
}
