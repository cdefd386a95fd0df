// The presenter's view of the engine's styling: what a paragraph shows and where the decorations
// that stand in for hidden markers are drawn.
#include "EditorHarness.h"

#include "editor/block/BlockDecorations.h"
#include "editor/block/DecorationPainter.h"
#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownTextViewSupport.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

// A paragraph with nothing to draw keeps no decorations of its own: it shows empty ones.
const BlockDecorations* decorations(const EditorHarness& h, int blockNumber)
{
    return &BlockDecorations::of(h.view()->document()->findBlockByNumber(blockNumber));
}

// From the top of a paragraph's lines to the top of the next paragraph: its line height and the
// space after it.
qreal paragraphHeight(const EditorHarness& h, int blockNumber)
{
    auto* layout = h.view()->document()->documentLayout();
    const QTextBlock block = h.view()->document()->findBlockByNumber(blockNumber);
    return layout->blockBoundingRect(block.next()).top() - layout->blockBoundingRect(block).top();
}

} // namespace

TEST(BlockPresenter, AParagraphOfHiddenMarkersAloneKeepsTheHeightOfALine)
{
    // The empty task's whole text is its hidden marker; the heading line's too.
    EditorHarness h(QStringLiteral("caret here\n\n- [ ] \n- [ ] task\n\n# \n\n# T"));
    h.setCaret(0);
    ASSERT_NE(decorations(h, 2), nullptr);
    ASSERT_EQ(decorations(h, 2)->markers.size(), 1);
    EXPECT_TRUE(decorations(h, 2)->markers.first().isCheckbox);
    EXPECT_DOUBLE_EQ(paragraphHeight(h, 2), paragraphHeight(h, 3));
    const qreal textLine = QFontMetricsF(MarkdownHighlighter::systemFont(15)).height();
    const QTextBlockFormat heading = h.view()->document()->findBlockByNumber(5).blockFormat();
    EXPECT_GE(paragraphHeight(h, 5) - heading.bottomMargin(), textLine - 1);
}

TEST(BlockPresenter, DecorationsFollowTheStyling)
{
    EditorHarness h(
        QStringLiteral("text\n\n- bullet\n- [x] done\n> quote\n\n```\ncode\n```\n\nuse `x` here"));
    h.setCaret(0);
    const auto* bullet = decorations(h, 2);
    ASSERT_EQ(bullet->markers.size(), 1);
    EXPECT_FALSE(bullet->markers.first().isCheckbox);
    EXPECT_EQ(bullet->markers.first().centerX, 11);
    const auto* task = decorations(h, 3);
    ASSERT_EQ(task->markers.size(), 1);
    EXPECT_TRUE(task->markers.first().checked);
    EXPECT_TRUE(decorations(h, 4)->quoteBar.has_value());
    for (int line : { 6, 7, 8 })
        EXPECT_TRUE(decorations(h, line)->codeBlock.has_value()) << line;
    EXPECT_FALSE(decorations(h, 10)->codeBlock.has_value());
    ASSERT_EQ(decorations(h, 10)->inlineCode.size(), 1);
    EXPECT_EQ(decorations(h, 10)->inlineCode.first().start, 5);
    EXPECT_EQ(decorations(h, 10)->inlineCode.first().length, 1);

    // The dot sits beside the item's text: on its first line, above the baseline.
    const QTextBlock item = h.view()->document()->findBlockByNumber(2);
    const qreal y = DecorationPainter::markerCenterY(*h.view()->document(), 2, 0, 2, 15);
    const QTextLine line = item.layout()->lineAt(0);
    const qreal top = item.layout()->position().y() + line.y();
    EXPECT_GT(y, top + line.ascent() / 4);
    EXPECT_LT(y, top + line.ascent());
}

TEST(BlockPresenter, RevealingAndHidingMarkersFollowsTheCaretLine)
{
    EditorHarness h(QStringLiteral("- item\n\nother"));
    h.setCaret(8);
    EXPECT_EQ(decorations(h, 0)->collapsed.size(), 1);
    h.setCaret(1); // on the marker: shown, hung in the gutter
    EXPECT_TRUE(decorations(h, 0)->collapsed.isEmpty());
    EXPECT_TRUE(decorations(h, 0)->markers.isEmpty());
    h.setCaret(8);
    EXPECT_EQ(decorations(h, 0)->collapsed.size(), 1);
}

TEST(BlockPresenter, StylingThatSpansLinesIsRestoredOnceTypingPauses)
{
    // The link's text runs over three lines: the middle line is part of the link.
    EditorHarness h(QStringLiteral("[start\nmiddle\nend](https://x.org)\n\ncode:\n```\nx\n```"));
    auto linkAt = [&](qsizetype index) {
        const int* underline
            = h.editor->projected().storage().attribute<TextAttribute::UnderlineStyle>(index);
        return underline && *underline == 1;
    };
    h.setCaret(9);
    ASSERT_TRUE(linkAt(8));
    h.type(QStringLiteral("q"));
    EXPECT_EQ(
        h.content(), QStringLiteral("[start\nmiqddle\nend](https://x.org)\n\ncode:\n```\nx\n```"));
    EXPECT_TRUE(waitUntil([&] { return linkAt(8) && linkAt(10); }, 3000));
    const auto* middle = decorations(h, 1);
    ASSERT_NE(middle, nullptr);
    const QList<QTextLayout::FormatRange> formats
        = h.view()->document()->findBlockByNumber(1).layout()->formats();
    ASSERT_FALSE(formats.isEmpty());
    EXPECT_TRUE(formats.first().format.fontUnderline());

    // Inside a fenced block the line keeps its code styling.
    const qsizetype code = h.content().indexOf(QStringLiteral("x\n```"));
    h.setCaret(code + 1);
    h.type(QStringLiteral("y"));
    EXPECT_TRUE(decorations(h, 6)->codeBlock.has_value());
}

TEST(BlockPresenter, ParagraphsRunInTheDirectionOfTheirFirstStrongCharacter)
{
    const QStringList lines {
        QStringLiteral("plain text"),
        QString::fromUtf8("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D world"),
        QString::fromUtf8("hello \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"),
        QString::fromUtf8("123 \xD8\xB3\xD9\x84\xD8\xA7\xD9\x85"),
        QString::fromUtf8("\xF0\x9F\x98\x80 \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"),
        QString::fromUtf8("**\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D** bold"),
        QStringLiteral("- item"),
        QString(),
    };
    EditorHarness h(lines.join(QLatin1Char('\n')));
    h.editor->flushPendingWork();
    for (int i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines.at(i).toStdString());
        QTextDocument plain;
        plain.setPlainText(h.view()->document()->findBlockByNumber(i).text());
        EXPECT_EQ(h.view()->document()->findBlockByNumber(i).textDirection(),
            plain.firstBlock().textDirection());
    }
    // Replacing the first letter by one of the other direction turns the paragraph round.
    QTextCursor cursor = h.view()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(1, QTextCursor::KeepAnchor);
    h.view()->setTextCursor(cursor);
    h.type(QString::fromUtf8("\xD7\xA9"));
    h.editor->flushPendingWork();
    EXPECT_EQ(h.view()->document()->firstBlock().textDirection(), Qt::RightToLeft);
    h.editor->undo();
    h.editor->flushPendingWork();
    EXPECT_EQ(h.view()->document()->firstBlock().textDirection(), Qt::LeftToRight);
}

TEST(BlockPresenter, StylingALineInsideAFenceOrAParagraphWithPipesMatchesStylingTheWholeText)
{
    QString doc = QStringLiteral("# Title\n\nIntro with `code` and a_b words\n\n");
    for (int i = 0; i < 30; ++i)
        doc += QStringLiteral("```cpp\nint x%1 = 1; // note\n```\n\nname | value %1\nmore "
                              "| text\n\n- item with [link](https://x.org)\n\n")
                   .arg(i);
    EditorHarness h(doc);
    auto expectAsWhole = [&](const char* step) {
        SCOPED_TRACE(step);
        h.editor->flushPendingWork();
        AttributedText whole = h.editor->projected().storage();
        MarkdownTextViewSupport::reHighlight(whole, false, h.editor->fontSize(), true, false,
            h.view()->textCursor().position(), true);
        const AttributedText& shownText = h.editor->projected().storage();
        qsizetype differs = -1;
        for (qsizetype i = 0; i < whole.length() && differs < 0; ++i)
            if (!(whole.attributes(i) == shownText.attributes(i)))
                differs = i;
        EXPECT_EQ(differs, -1) << "styled apart at: "
                               << shownText.text().mid(differs, 20).toStdString();
        // And the view shows what the storage holds: the decorations of the lines typed on.
        const int block = h.view()->textCursor().blockNumber();
        const auto* shown = decorations(h, block);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->codeBlock.has_value(),
            h.editor->projected().storage().attribute<TextAttribute::CodeBlock>(
                h.view()->textCursor().block().position())
                != nullptr);
    };
    const qsizetype code = doc.indexOf(QStringLiteral("int x15"));
    h.setCaret(code + 3);
    h.type(QStringLiteral(" y"));
    expectAsWhole("typing inside a fenced block");
    h.key(Qt::Key_Return);
    h.type(QStringLiteral("z = 2;"));
    expectAsWhole("a new line inside a fenced block");
    const qsizetype pipes = h.content().indexOf(QStringLiteral("value 20"));
    h.setCaret(pipes + 5);
    h.type(QStringLiteral("s | t"));
    expectAsWhole("typing pipes into a paragraph of pipes");
    h.setCaret(h.content().indexOf(QStringLiteral("a_b")) + 1);
    h.type(QStringLiteral("_c`d`"));
    expectAsWhole("underscores and inline code");
    h.key(Qt::Key_Down);
    h.key(Qt::Key_Down);
    expectAsWhole("the caret onto other lines");
    // Code typed at the end of the text, in a block not closed yet: each new line is code.
    h.setCaret(h.content().size());
    h.type(QStringLiteral("```\nint a = 1;"));
    expectAsWhole("the first line of a block left open");
    h.type(QStringLiteral("\nint b = 2;"));
    expectAsWhole("the next line of a block left open");
}

TEST(BlockPresenter, ALongDocumentStyledInViewFirstEndsStyledAsIfStyledAtOnce)
{
    QString markdown;
    for (int i = 0; i < 260; ++i)
        markdown += QStringLiteral("## Part %1\n\nSome **bold** and `code` with a [link](x).\n\n"
                                   "- [ ] task\n> quote\n\n```\ncode %1\n```\n")
                        .arg(i);
    EditorHarness h(markdown);
    QTextDocument* shown = h.view()->document();
    ASSERT_GT(shown->blockCount(), 2000);
    const QTextBlock last = shown->lastBlock();
    ASSERT_TRUE(waitUntil([&] { return BlockStylePresenter::isPresented(last); }));

    // The same text styled whole by a presenter of its own, the caret's line revealed alike.
    QTextDocument document;
    document.setDocumentMargin(0);
    ProjectedDocument projected(document);
    projected.load(markdown, false, h.editor->fontSize());
    projected.styleStorage([&](AttributedText& storage) {
        MarkdownTextViewSupport::reHighlight(storage, false, h.editor->fontSize(), true, false,
            h.view()->textCursor().position(), h.view()->hasFocus());
    });
    BlockStylePresenter presenter;
    presenter.present(projected.storage(), document, h.editor->fontSize());

    ASSERT_EQ(document.blockCount(), shown->blockCount());
    // Character formats are put on a paragraph as it is laid out, from its storage: the two
    // storages give each paragraph the same.
    BlockStylePresenter shownFormats;
    int differing = 0;
    for (QTextBlock a = shown->begin(), b = document.begin(); a.isValid();
         a = a.next(), b = b.next()) {
        if (!BlockStylePresenter::isPresented(a) || !BlockStylePresenter::isPresented(b)
            || !BlockDecorations::of(a).sameStyling(BlockDecorations::of(b))
            || a.blockFormat() != b.blockFormat()
            || shownFormats.formats(h.editor->projected().storage(), a)
                != presenter.formats(projected.storage(), b))
            ++differing;
    }
    EXPECT_EQ(differing, 0);
}

TEST(BlockPresenter, InlineCodeInTheMiddleOfAParagraphOfManyLinesGetsItsBoxWhereItIsShown)
{
    QString text;
    for (int i = 0; i < 600; ++i)
        text += QStringLiteral("words and `code%1` more ").arg(i);
    EditorHarness h(text);
    h.setCaret(0);
    const QTextBlock block = h.view()->document()->firstBlock();
    auto* layout = h.view()->document()->documentLayout();
    layout->blockBoundingRect(block);
    const QTextLayout* lines = block.layout();
    ASSERT_GT(lines->lineCount(), 100);
    const auto& codes = decorations(h, 0)->inlineCode;
    ASSERT_EQ(codes.size(), 600);

    // An area that starts and ends inside lines far down the paragraph.
    const QTextLine top = lines->lineAt(lines->lineCount() / 2);
    const QRectF exposed(0, lines->position().y() + top.y() + top.height() / 4,
        h.viewport()->width(), 10 * top.height());
    QImage image(exposed.size().toSize(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.translate(-exposed.topLeft());
        DecorationPainter::paint(painter, *h.view()->document(), exposed, {});
    }
    // Every code span on a line inside the area has its box under its middle; none is drawn
    // where the area shows no code.
    int checked = 0;
    for (int i = 0; i < lines->lineCount(); ++i) {
        const QTextLine line = lines->lineAt(i);
        const qreal y = lines->position().y() + line.y() + line.height() / 2 - exposed.top();
        if (y < 1 || y >= image.height() - 1)
            continue;
        for (const auto& code : codes) {
            const int middle = code.start + code.length / 2;
            if (middle < line.textStart() || middle >= line.textStart() + line.textLength())
                continue;
            const qreal x = lines->position().x() + line.cursorToX(middle);
            EXPECT_EQ(image.pixelColor(QPointF(x, y).toPoint()).rgb(), code.color.rgb()) << i;
            ++checked;
        }
    }
    EXPECT_GE(checked, 5);
}

TEST(BlockPresenter, ACheckedTaskShowsItsMarkInBothAppearances)
{
    EditorHarness h(QStringLiteral("text\n\n- [x] done\n"));
    h.setCaret(0);
    const QTextBlock task = h.view()->document()->findBlockByNumber(2);
    ASSERT_EQ(decorations(h, 2)->markers.size(), 1);
    h.view()->document()->documentLayout()->blockBoundingRect(task);
    const qreal x = decorations(h, 2)->markers.first().centerX;
    const qreal y = DecorationPainter::markerCenterY(*h.view()->document(), 2, 0, 6, 15);
    const qreal side = MarkdownHighlighter::ListMetrics::checkboxSize;
    const QRectF box(x - side / 2, y - side / 2, side, side);
    for (bool dark : { false, true }) {
        QImage image(box.size().toSize() + QSize(2, 2), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.translate(-box.topLeft() + QPointF(1, 1));
            DecorationPainter::Options options;
            options.isDarkMode = dark;
            DecorationPainter::paint(painter, *h.view()->document(), box, options);
        }
        // The box is filled with one colour and the mark drawn in another that stands out.
        int lightest = 0, darkest = 255;
        for (int py = 0; py < image.height(); ++py)
            for (int px = 0; px < image.width(); ++px) {
                const QColor c = image.pixelColor(px, py);
                if (c.alpha() < 255)
                    continue;
                lightest = qMax(lightest, c.lightness());
                darkest = qMin(darkest, c.lightness());
            }
        EXPECT_GT(lightest - darkest, 128) << (dark ? "dark" : "light");
    }
}
