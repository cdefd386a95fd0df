// The source pane's own document layout: paragraphs broken into lines and stacked as a plain text
// layout breaks and stacks them, laid out only as they are shown and measured without keeping a
// layout each; and the pane over it, which scrolls by whole lines, moves the caret over wrapped
// lines, and takes clicks, drops and input methods where they land.
#include "SourceHarness.h"

#include "editor/source/SourceDocumentLayout.h"
#include "editor/source/SourceDocumentText.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <cmath>

using namespace quillon;
using namespace quillon::test;

namespace {

// Lines of every shape a source text has: short ASCII ones, empty ones, long ones that wrap at
// spaces or inside a long word, tabs, wide and combining characters, a line separator, emoji,
// and plain lines of every length around the width of the pane.
QString mixedText(int repeats)
{
    const QStringList lines {
        QStringLiteral("# A heading"),
        QString(),
        QStringLiteral("A short line."),
        QStringLiteral("A paragraph long enough to wrap in the pane, with **bold** and a "
                       "[link](https://example.org/a/long/address/that/goes/on) and more words."),
        QStringLiteral("averyveryverylongwordwithoutanyspaceinitthatmustbebrokenanywherebecause"
                       "nothingelsewouldfitinthewidthofthepaneatall"),
        QStringLiteral("\tindented\twith\ttabs\tthat\treach\tthe\tstops\tof\tthe\tpane\tand\t"
                       "then\twrap\tover\tthe\tedge"),
        QStringLiteral("wide \u6F22\u5B57 and combining e\u0301 letters ")
            + QString(QStringLiteral("\u6F22\u5B57")).repeated(30),
        QStringLiteral("a line\u2028with a line separator in it"),
        QStringLiteral("emoji \U0001F642 and more \U0001F642\U0001F642"),
        QStringLiteral("    "),
    };
    QString text;
    for (int i = 0; i < repeats; ++i) {
        text += lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        const int length = 30 + i % 90;
        text += QString(length, QLatin1Char('x')) + QLatin1Char('\n');
        text += QStringLiteral("ab ").repeated(length / 3) + QLatin1Char('\n');
    }
    return text;
}

QString numberedLines(int count)
{
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    return text;
}

struct ParagraphLines
{
    QList<std::pair<int, int>> lines; // start and length of each
    qreal height = 0;
    bool operator==(const ParagraphLines&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ParagraphLines& p)
{
    out << "height " << p.height << ", lines";
    for (const auto& [start, length] : p.lines)
        out << " " << start << "+" << length;
    return out;
}

ParagraphLines linesOf(const QTextLayout& text)
{
    ParagraphLines p;
    for (int i = 0; i < text.lineCount(); ++i) {
        const QTextLine line = text.lineAt(i);
        p.lines.append({ line.textStart(), line.textLength() });
    }
    return p;
}

// Each paragraph of the pane's text as a plain text view of the pane's width lays it out.
QList<ParagraphLines> plainLayoutOf(const SourceTextEdit& view)
{
    const QTextDocument& shown = *view.document();
    QPlainTextEdit plain;
    plain.setFrameShape(QFrame::NoFrame);
    plain.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    plain.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    plain.setFont(view.font());
    QTextDocument& doc = *plain.document();
    doc.setDefaultTextOption(shown.defaultTextOption());
    doc.setDocumentMargin(shown.documentMargin());
    QTextCursor(&doc).insertText(shown.toRawText());
    plain.resize(int(shown.pageSize().width()), 300);
    plain.show();
    QApplication::processEvents();
    EXPECT_EQ(plain.viewport()->width(), shown.pageSize().width());
    QList<ParagraphLines> paragraphs;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        doc.documentLayout()->blockBoundingRect(block);
        ParagraphLines p = linesOf(*block.layout());
        // Where the plain layout would put a next line: the paragraph's height.
        const QTextLine last = block.layout()->lineAt(block.layout()->lineCount() - 1);
        p.height = last.y() + last.height() + (last.leading() < 0 ? std::ceil(last.leading()) : 0);
        paragraphs.append(p);
    }
    return paragraphs;
}

qreal heightOf(const SourceDocumentLayout& layout, int block)
{
    return layout.blockBottom(block) - layout.blockTop(block);
}

void settle(SourceDocumentLayout& layout)
{
    while (layout.settle(1000)) { }
    layout.reportNow();
}

// Whether a line's top is at the top of the view (or the text's top margin is).
::testing::AssertionResult wholeLineAtTop(const SourceTextEdit& view)
{
    const int value = view.verticalScrollBar()->value();
    if (value == 0)
        return ::testing::AssertionSuccess();
    const QRect line = view.cursorRect(view.cursorForPosition(QPoint(30, 0)));
    if (line.top() == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << "the line at the top starts at " << line.top() << " (scrolled to " << value << ")";
}

} // namespace

// A text holding a stand-in of its own cannot be read back: found wherever it stands, and its
// neighbours in the code chart are not taken for one.
TEST(SourceLayout, AStandInIsFoundWhereverItStands)
{
    const QString plain
        = QStringLiteral("abc\u00E9\uFDEB\uFDF0\u4E2D\r\nxyz\uFFFC 123\u2028 \uFDEA");
    EXPECT_TRUE(SourceDocumentText::isRepresentable(plain));
    for (const QChar standIn : { SourceDocumentText::kFrameEnd, SourceDocumentText::kFrameStart,
             SourceDocumentText::kParagraphSeparator, SourceDocumentText::kCarriageReturn }) {
        for (qsizetype at = 0; at <= plain.size(); ++at) {
            QString text = plain;
            text.insert(at, standIn);
            EXPECT_FALSE(SourceDocumentText::isRepresentable(text)) << at;
        }
    }
}

TEST(SourceLayout, LinesBreakAndStackAsInAPlainTextLayout)
{
    SourceHarness h(mixedText(3));
    SourceDocumentLayout& layout = h.view()->sourceLayout();
    const QList<ParagraphLines> expected = plainLayoutOf(*h.view());
    const QTextDocument& doc = *h.view()->document();
    ASSERT_EQ(expected.size(), doc.blockCount());
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        ParagraphLines shown = linesOf(*layout.placedLayout(block));
        shown.height = heightOf(layout, block.blockNumber());
        EXPECT_EQ(shown, expected.at(block.blockNumber())) << "paragraph " << block.blockNumber();
        // Placed where the view draws and hits it.
        EXPECT_EQ(block.layout()->position().y(), layout.blockTop(block.blockNumber()));
        EXPECT_EQ(block.layout()->lineAt(0).x(), doc.documentMargin());
    }
    EXPECT_EQ(layout.blockTop(0), doc.documentMargin());
    EXPECT_EQ(layout.documentSize().height(),
        layout.blockBottom(doc.blockCount() - 1) + doc.documentMargin());
}

TEST(SourceLayout, OnlyShownParagraphsAreLaidOutAndMeasuredHeightsAreExact)
{
    // What is looked at here is the pane holding the whole long text.
    const PaneWindowLength whole(-1);
    SourceHarness h(mixedText(1500));
    SourceDocumentLayout& layout = h.view()->sourceLayout();
    const int paragraphs = h.view()->document()->blockCount();
    ASSERT_GT(paragraphs, 10'000);
    EXPECT_LT(layout.laidOutCount(), 200);

    // Measured while the user pauses: every height as the plain layout gives it, and still no
    // more paragraphs laid out than the screen holds.
    auto expectExactHeights = [&] {
        settle(layout);
        EXPECT_FALSE(layout.hasEstimates());
        const QList<ParagraphLines> expected = plainLayoutOf(*h.view());
        int wrong = 0;
        for (int i = 0; i < paragraphs; ++i) {
            if (heightOf(layout, i) != expected.at(i).height && ++wrong < 5)
                ADD_FAILURE() << "paragraph " << i << ": " << heightOf(layout, i) << " for "
                              << expected.at(i);
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_LT(layout.laidOutCount(), 200);
    };
    expectExactHeights();

    // A new width: the lines on screen are laid out again and the rest measured anew.
    h.window->resize(560, 600);
    QApplication::processEvents();
    h.view()->viewport()->repaint();
    EXPECT_LT(layout.laidOutCount(), 200);
    expectExactHeights();

    // The end of the text shown: what is on screen there is laid out, nothing in between.
    h.key(Qt::Key_End, Qt::ControlModifier);
    h.view()->viewport()->repaint();
    EXPECT_LT(layout.laidOutCount(), 400);
    EXPECT_TRUE(h.view()->viewport()->rect().contains(h.view()->cursorRect()));
}

TEST(SourceLayout, ColouredParagraphsShownNeverWidenTheEditsThePaneReports)
{
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("- item with **bold** and `code` %1\n").arg(i);
    SourceHarness h(text);
    SourceDocumentLayout& layout = h.view()->sourceLayout();
    QList<TextEdit> edits;
    QObject::connect(&h.source->document(), &Document::edited, h.window.get(),
        [&edits](const TextEdit& edit, const QObject*) { edits.append(edit); });

    // Scrolled: the paragraphs that come into view get their colours as they are laid out.
    QScrollBar* bar = h.view()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    h.view()->viewport()->repaint();
    const QTextCursor middle = h.view()->cursorForPosition(QPoint(40, 100));
    h.setCaret(middle.block().position() + 2);
    h.type(QStringLiteral("xy"));
    ASSERT_EQ(edits.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(edits.at(i).position, middle.block().position() + 2 + i);
        EXPECT_EQ(edits.at(i).removedLength, 0);
        EXPECT_EQ(edits.at(i).inserted.size(), 1);
    }
    // Typed as one run: one step undoes both keys.
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), text);

    // A paragraph far from the screen keeps its colours without being laid out.
    const QTextBlock last = h.view()->document()->lastBlock().previous();
    EXPECT_FALSE(layout.formats(last).isEmpty());
    EXPECT_EQ(last.layout()->lineCount(), 0);
    EXPECT_LT(layout.laidOutCount(), 100);
}

TEST(SourceLayout, TheViewScrollsByWholeLines)
{
    SourceHarness h(numberedLines(400));
    SourceTextEdit* view = h.view();
    QScrollBar* bar = view->verticalScrollBar();
    const int margin = int(view->document()->documentMargin());
    const int line = qRound(view->sourceLayout().lineHeight());
    ASSERT_GT(line, 0);

    // A notch of the wheel: its lines, the margin going with the first of them.
    const int lines = QApplication::wheelScrollLines();
    QWheelEvent wheel(QPointF(100, 100), view->viewport()->mapToGlobal(QPointF(100, 100)), QPoint(),
        QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(bar->value(), margin + lines * line);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(bar->value(), margin + 2 * lines * line);

    // The caret taken down past the bottom: the text follows it a whole line at a time.
    bar->setValue(0);
    h.setCaret(0);
    for (int i = 0; i < 60; ++i) {
        h.key(Qt::Key_Down);
        ASSERT_TRUE(wholeLineAtTop(*view)) << "after Down " << i;
        ASSERT_TRUE(view->viewport()->rect().contains(view->cursorRect()));
    }
    EXPECT_GT(bar->value(), 0);

    // A page down brings the line cut at the bottom to the top.
    const QTextCursor cut = view->cursorForPosition(QPoint(30, view->viewport()->height() - 1));
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_TRUE(wholeLineAtTop(*view));
    EXPECT_EQ(view->cursorForPosition(QPoint(30, 1)).blockNumber(), cut.blockNumber());

    // The scroll bar's arrows and a drag anywhere.
    const int before = bar->value();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), before + line);
    for (int value : { 7, 1234, bar->maximum() / 3 + 5, 1 }) {
        bar->setValue(value);
        EXPECT_TRUE(wholeLineAtTop(*view)) << "dragged to " << value;
    }
    bar->setValue(bar->maximum());
    EXPECT_TRUE(view->viewport()->rect().contains(
        view->cursorRect(QTextCursor(view->document()->lastBlock()))));
}

TEST(SourceLayout, TheCaretMovesOverWrappedLinesAndAPageAtATime)
{
    const QString paragraph = QStringLiteral("word ").repeated(300);
    SourceHarness h(
        QStringLiteral("first\n") + paragraph + QStringLiteral("\n") + numberedLines(300));
    SourceTextEdit* view = h.view();
    const QTextBlock block = view->document()->findBlockByNumber(1);
    const QTextLayout* text = view->sourceLayout().placedLayout(block);
    ASSERT_GT(text->lineCount(), 5);
    auto lineOfCaret = [&] {
        return text->lineForTextPosition(view->textCursor().position() - block.position())
            .lineNumber();
    };

    h.setCaret(block.position());
    h.key(Qt::Key_Down);
    EXPECT_EQ(view->textCursor().position(), block.position() + text->lineAt(1).textStart());
    h.key(Qt::Key_End);
    EXPECT_EQ(lineOfCaret(), 1);
    EXPECT_GT(view->textCursor().position(), block.position() + text->lineAt(1).textStart() + 10);
    h.key(Qt::Key_Down);
    EXPECT_EQ(lineOfCaret(), 2);
    h.key(Qt::Key_Home);
    EXPECT_EQ(view->textCursor().position(), block.position() + text->lineAt(2).textStart());
    h.key(Qt::Key_Up);
    h.key(Qt::Key_Up);
    h.key(Qt::Key_Up);
    EXPECT_EQ(view->textCursor().blockNumber(), 0);

    // A page down moves the caret about a screen's height further, shown, and so does the text.
    const int top = view->cursorRect().top() + view->verticalScrollBar()->value();
    h.key(Qt::Key_PageDown);
    const int moved = view->cursorRect().top() + view->verticalScrollBar()->value() - top;
    EXPECT_GT(moved, view->viewport()->height() / 2);
    EXPECT_LT(moved, view->viewport()->height() * 3 / 2);
    EXPECT_TRUE(view->viewport()->rect().contains(view->cursorRect()));
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
    h.key(Qt::Key_PageUp);
    EXPECT_TRUE(view->viewport()->rect().contains(view->cursorRect()));

    h.key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->textCursor().position(), view->document()->characterCount() - 1);
    EXPECT_TRUE(view->viewport()->rect().contains(view->cursorRect()));
}

TEST(SourceLayout, ClicksAndDragsSelectTheCharactersUnderThePointer)
{
    SourceHarness h(mixedText(40));
    SourceTextEdit* view = h.view();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    // A place on the second line of a wrapped paragraph on screen, and one further down.
    const QTextCursor onScreen = view->cursorForPosition(QPoint(30, 40));
    QTextBlock block = onScreen.block();
    while (view->sourceLayout().placedLayout(block)->lineCount() < 2)
        block = block.next();
    const QTextLayout* text = block.layout();
    const int from = block.position() + text->lineAt(1).textStart() + 3;
    const int to = block.next().next().position() + 2;
    auto pointAt = [&](int position) {
        QTextCursor cursor(view->document());
        cursor.setPosition(position);
        const QRect rect = view->cursorRect(cursor);
        return QPoint(rect.left(), rect.center().y());
    };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, pointAt(to));
    EXPECT_EQ(view->textCursor().position(), to);

    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, pointAt(from));
    QMouseEvent drag(QEvent::MouseMove, pointAt(to), view->viewport()->mapToGlobal(pointAt(to)),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drag);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, pointAt(to));
    EXPECT_EQ(view->textCursor().selectionStart(), from);
    EXPECT_EQ(view->textCursor().selectionEnd(), to);
}

TEST(SourceLayout, ANewWidthKeepsTheLineAtTheTop)
{
    SourceHarness h(mixedText(200));
    SourceTextEdit* view = h.view();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    const int atTop = view->cursorForPosition(QPoint(30, 1)).position();
    for (int width : { 500, 900, 650 }) {
        h.window->resize(width, 600);
        QApplication::processEvents();
        const QTextCursor now = view->cursorForPosition(QPoint(30, 1));
        const QTextLine line
            = now.block().layout()->lineForTextPosition(atTop - now.block().position());
        EXPECT_EQ(now.block(), view->document()->findBlock(atTop)) << "at width " << width;
        EXPECT_EQ(view->cursorRect(now).top(), 0);
        EXPECT_TRUE(line.isValid());
    }
}

TEST(SourceLayout, DropsAndInputMethodsPutTheirTextWhereThePointerOrCaretIs)
{
    const QString text = numberedLines(50);
    SourceHarness h(text);
    SourceTextEdit* view = h.view();
    QString expected = text;

    // Text dropped from another program goes where it falls, its line breaks as line feeds and
    // without the stand-ins the pane uses.
    const int at = int(text.indexOf(QStringLiteral("line 7"))) + 4;
    QTextCursor place(view->document());
    place.setPosition(at);
    const QRect rect = view->cursorRect(place);
    const QPoint point(rect.left(), rect.center().y());
    QMimeData data;
    data.setText(QStringLiteral("A\r\nB") + SourceDocumentText::kCarriageReturn);
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    QApplication::processEvents();
    expected.insert(at, QStringLiteral("A\nB"));
    EXPECT_EQ(h.content(), expected);

    // What an input method composes shows in the line, not in the text; what it commits goes in.
    h.setCaret(5);
    QInputMethodEvent compose(QStringLiteral("ka"), {});
    QApplication::sendEvent(view, &compose);
    const QTextBlock block = view->textCursor().block();
    EXPECT_EQ(block.layout()->preeditAreaText(), QStringLiteral("ka"));
    EXPECT_GT(view->sourceLayout().placedLayout(block)->lineAt(0).naturalTextWidth(),
        view->fontMetrics().horizontalAdvance(block.text()));
    EXPECT_EQ(h.source->text(), expected);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u304B") + SourceDocumentText::kParagraphSeparator);
    QApplication::sendEvent(view, &commit);
    QApplication::processEvents();
    expected.insert(5, QStringLiteral("\u304B"));
    EXPECT_EQ(h.content(), expected);
    EXPECT_TRUE(view->textCursor().block().layout()->preeditAreaText().isEmpty());
}
