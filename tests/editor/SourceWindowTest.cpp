// The source pane over a text longer than the window it holds: every key lands at its place in
// the document, the caret and find reach the whole text, and what is on screen stays put.

#include "SourceHarness.h"

#include "editor/chrome/LocalSearchSteps.h"
#include "editor/layout/TextWindow.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QScrollBar>
#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

// 300 numbered lines of about 20 units: 15 windows of 400 units.
QString numberedLines(int count = 300)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1 of the text\n").arg(i, 3, 10, QLatin1Char('0'));
    return text;
}

qsizetype caret(const SourceHarness& h)
{
    return h.source->documentSelection().second;
}

// The pane holds only part of the text, and what it holds is the document's.
void expectWindowed(const SourceHarness& h)
{
    EXPECT_LT(h.view()->document()->characterCount(), h.content().size() / 2);
    EXPECT_EQ(h.source->text(), h.content());
}

// The first line on screen, as the pane shows it.
QString topLine(const SourceHarness& h)
{
    return h.view()->cursorForPosition(QPoint(4, 4)).block().text();
}

} // namespace

TEST(SourceWindow, KeysTypedAtTheWindowsEdgesLandAtTheirPlaceInTheFile)
{
    const PaneWindowLength window(400);
    QString expected = numberedLines();
    SourceHarness h(expected);
    expectWindowed(h);

    // At the end of the text, far past the first window.
    h.key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(caret(h), expected.size());
    h.type(QStringLiteral("tail"));
    expected += QStringLiteral("tail");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());

    // Up to the first line the window holds and beyond, typing on each line on the way: the
    // window moves before the caret reaches its edge.
    for (int i = 0; i < 40; ++i)
        h.key(Qt::Key_Up);
    h.key(Qt::Key_Home);
    const qsizetype at = expected.lastIndexOf(QStringLiteral("line 260"));
    EXPECT_EQ(caret(h), at);
    h.type(QStringLiteral(">"));
    expected.insert(at, QStringLiteral(">"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());

    // Backspace at a line's start joins it to the line above; Return splits it again.
    h.key(Qt::Key_Home);
    h.key(Qt::Key_Backspace);
    expected.remove(at - 1, 1);
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    h.key(Qt::Key_Return);
    expected.insert(at - 1, QStringLiteral("\n"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    // Delete at a line's end takes its line break.
    h.key(Qt::Key_Up);
    h.key(Qt::Key_End);
    const qsizetype end = caret(h);
    h.key(Qt::Key_Delete);
    expected.remove(end, 1);
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_EQ(h.source->text(), expected);

    // Back at the top.
    h.key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(caret(h), 0);
    h.type(QStringLiteral("top "));
    expected.prepend(QStringLiteral("top "));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_EQ(h.source->text(), expected);
}

TEST(SourceWindow, PagingAndTheScrollBarReachTheWholeTextAndKeepTheScreenStill)
{
    const PaneWindowLength window(400);
    const QString text = numberedLines();
    SourceHarness h(text);
    QScrollBar* bar = h.view()->verticalScrollBar();
    const int lineHeight = h.view()->cursorRect().height();
    // The scroll range spans every line, not only the window's.
    EXPECT_GT(bar->maximum() + h.view()->viewport()->height(), 290 * lineHeight);

    // Paging down the whole text: the caret goes down the lines, and ends at the last.
    qsizetype before = caret(h);
    for (int i = 0; i < 40 && caret(h) < text.size(); ++i) {
        h.key(Qt::Key_PageDown);
        ASSERT_GT(caret(h), before);
        before = caret(h);
        EXPECT_EQ(h.view()->textCursor().block().text(),
            text.mid(text.lastIndexOf(QLatin1Char('\n'), caret(h) - 1) + 1, 20));
    }
    EXPECT_GE(caret(h), text.lastIndexOf(QStringLiteral("line 299")));
    EXPECT_EQ(h.source->text(), text);

    // The scroll bar dragged to the middle shows the lines there; stepping it by a line moves
    // the text by a line, across the window's edges.
    bar->setValue(bar->maximum() / 2);
    QApplication::processEvents();
    const QString middle = topLine(h);
    ASSERT_TRUE(middle.startsWith(QStringLiteral("line ")));
    const int number = middle.mid(5, 3).toInt();
    EXPECT_GT(number, 100);
    EXPECT_LT(number, 200);
    for (int i = 1; i <= 30; ++i) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QApplication::processEvents();
        ASSERT_EQ(topLine(h).mid(5, 3).toInt(), number + i);
    }
    // Typing goes to the caret, which the scroll left where it was.
    h.type(QStringLiteral("!"));
    EXPECT_EQ(h.content(), text + QStringLiteral("!"));
}

TEST(SourceWindow, OtherViewsEditsOutsideTheWindowMoveItsTextAndKeysStillLandRight)
{
    const PaneWindowLength window(400);
    QString expected = numberedLines();
    SourceHarness h(expected, true);
    h.key(Qt::Key_End, Qt::ControlModifier);
    const QString shown = topLine(h);

    // The block editor types at the top, far above the window the source pane holds.
    QTextCursor top(h.blocks->textView()->document());
    h.blocks->textView()->setTextCursor(top);
    h.type(QStringLiteral("Above\n"), h.blocks->textView());
    expected.prepend(QStringLiteral("Above\n"));
    ASSERT_EQ(h.content(), expected);
    EXPECT_EQ(h.source->text(), expected);
    EXPECT_EQ(topLine(h), shown);
    EXPECT_EQ(caret(h), expected.size());

    // Keys in the source pane land where its caret is, in the document as it now is.
    h.view()->setFocus();
    h.type(QStringLiteral("X"));
    expected += QStringLiteral("X");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());

    // Undone and redone from the source pane after the window moved away and back.
    h.key(Qt::Key_Home, Qt::ControlModifier);
    h.key(Qt::Key_Z, Qt::ControlModifier);
    expected.chop(1);
    EXPECT_EQ(h.content(), expected);
    EXPECT_EQ(caret(h), expected.size());
    h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    expected += QStringLiteral("X");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_EQ(h.source->text(), expected);
    h.type(QStringLiteral("Y"));
    expected += QStringLiteral("Y");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
}

TEST(SourceWindow, FindScrollToLineAndALongSelectionReachPastTheWindow)
{
    const PaneWindowLength window(400);
    QString text = numberedLines();
    text.replace(QStringLiteral("line 250 of"), QStringLiteral("line 250 needle of"));
    SourceHarness h(text);

    // Find next reveals a match far below the window it started in, and paints it.
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("needle"));
    QApplication::processEvents();
    LocalSearchSteps::stepNext(*h.workspace);
    QApplication::processEvents();
    EXPECT_TRUE(h.source->text() == text);
    bool painted = false;
    for (const QTextEdit::ExtraSelection& selection : h.view()->extraSelections())
        painted = painted || selection.cursor.selectedText() == QStringLiteral("needle");
    EXPECT_TRUE(painted);
    const QTextBlock found
        = h.view()->cursorForPosition(h.view()->viewport()->rect().center()).block();
    EXPECT_LT(qAbs(found.text().mid(5, 3).toInt() - 250), 20);

    // A line asked for is selected wherever it is.
    h.source->scrollToLine(120);
    const auto [anchor, position] = h.source->documentSelection();
    EXPECT_EQ(text.mid(anchor, position - anchor), QStringLiteral("line 119 of the text\n"));
    EXPECT_TRUE(
        h.view()->textCursor().selectedText().startsWith(QStringLiteral("line 119 of the text")));

    // From there to the end of the text, many windows long: copied whole.
    h.key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    h.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), text.mid(anchor));
    // And cut whole.
    h.key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(h.onDisk(), text.left(anchor).toUtf8());
}

TEST(SourceWindow, AnOutsideChangeAboveTheWindowKeepsTheCaretAndTheScreenOnTheirText)
{
    const PaneWindowLength window(400);
    const QString text = numberedLines();
    SourceHarness h(text);
    h.key(Qt::Key_End, Qt::ControlModifier);
    for (int i = 0; i < 5; ++i)
        h.key(Qt::Key_Up);
    const qsizetype before = caret(h);
    const QString shown = topLine(h);

    // Three lines more near the top, as another program or a reload would make them.
    QString changed = text;
    changed.insert(text.indexOf(QStringLiteral("line 010")), QStringLiteral("a\nb\nc\n"));
    h.workspace->setCurrentFileContent(changed);
    QApplication::processEvents();
    EXPECT_EQ(h.source->text(), changed);
    EXPECT_EQ(caret(h), before + 6);
    EXPECT_EQ(topLine(h), shown);
    h.type(QStringLiteral("Z"));
    changed.insert(before + 6, QStringLiteral("Z"));
    EXPECT_EQ(h.onDisk(), changed.toUtf8());

    // Replaced by a short text: held whole, the caret at its end.
    h.workspace->setCurrentFileContent(QStringLiteral("short"));
    QApplication::processEvents();
    EXPECT_EQ(h.source->text(), QStringLiteral("short"));
    EXPECT_EQ(caret(h), 5);
}
