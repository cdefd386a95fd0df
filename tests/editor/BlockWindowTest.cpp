// The block view over a text longer than the window of paragraphs it holds: every key lands at
// its place in the file, wherever the window stands.

#include "EditorHarness.h"
#include "SourceHarness.h"

#include "editor/block/BlockDocumentLayout.h"
#include "editor/layout/TextWindow.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextFrame>

#include <ostream>

using namespace quillon;
using namespace quillon::test;

namespace {

// 300 paragraphs of about 20 units: many windows of 400 units.
QString numberedParagraphs(int count = 300)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1 of the text\n").arg(i, 3, 10, QLatin1Char('0'));
    return text;
}

// A paragraph on screen: its text and the top of its first line in the viewport.
struct ShownLine
{
    QString text;
    int top = 0;
    bool operator==(const ShownLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ShownLine& line)
{
    return out << '"' << line.text.toStdString() << "\" at " << line.top;
}

// The paragraph at height `y` of the view's viewport.
ShownLine lineAt(QTextEdit* view, int y)
{
    const QTextBlock block
        = view->cursorForPosition(QPoint(view->viewport()->width() / 2, y)).block();
    return { block.text(), view->cursorRect(QTextCursor(block)).top() };
}

// Puts the caret at a position of the view's document, as a click would.
void placeInView(const EditorHarness& h, int position)
{
    QTextCursor cursor(h.view()->document());
    cursor.setPosition(position);
    h.view()->setTextCursor(cursor);
    h.editor->flushPendingWork();
}

} // namespace

TEST(BlockWindow, KeysAtTheWindowsEdgesAndEndsLandAtTheirPlaceInTheFile)
{
    const BlockWindowLength window(400);
    QString expected = numberedParagraphs();
    EditorHarness h(expected);
    h.settle();
    EXPECT_LT(h.view()->document()->characterCount(), expected.size() / 2);
    const QTextFrameFormat column = h.view()->document()->rootFrame()->frameFormat();

    h.key(Qt::Key_End, Qt::ControlModifier);
    h.type(QStringLiteral("tail"));
    expected += QStringLiteral("tail");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_LT(h.view()->document()->characterCount(), expected.size() / 2);
    // The text stays in its column when the window holds other paragraphs.
    EXPECT_EQ(h.view()->document()->rootFrame()->frameFormat().leftMargin(), column.leftMargin());
    EXPECT_EQ(h.view()->document()->rootFrame()->frameFormat().topMargin(), column.topMargin());

    // The first paragraph the window holds, far from the text's start.
    const qsizetype start = h.editor->projected().windowStart();
    ASSERT_GT(start, 0);
    placeInView(h, 0);
    h.type(QStringLiteral("A"));
    expected.insert(start, QStringLiteral("A"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());

    // Its last paragraph.
    const int held = h.view()->document()->characterCount() - 1;
    const qsizetype end = h.editor->projected().windowEnd();
    placeInView(h, held - h.view()->document()->lastBlock().length() + 1);
    const qsizetype lastStart = h.editor->projected().toStorage(h.view()->textCursor().position());
    h.type(QStringLiteral("B"));
    expected.insert(lastStart, QStringLiteral("B"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_GT(end, lastStart);

    h.key(Qt::Key_Home, Qt::ControlModifier);
    h.type(QStringLiteral("head "));
    expected.prepend(QStringLiteral("head "));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_EQ(h.editor->markdown(), expected);
}

TEST(BlockWindow, BackspaceReturnAndDeleteAtTheWindowsEdgesJoinAndSplitParagraphsInTheFile)
{
    const BlockWindowLength window(400);
    QString expected = numberedParagraphs();
    EditorHarness h(expected);
    h.settle();
    h.key(Qt::Key_End, Qt::ControlModifier);
    h.editor->flushPendingWork();

    // The window's first paragraph joins the one above it, outside the window.
    qsizetype start = h.editor->projected().windowStart();
    ASSERT_GT(start, 0);
    placeInView(h, 0);
    h.key(Qt::Key_Backspace);
    expected.remove(start - 1, 1);
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    h.key(Qt::Key_Return);
    expected.insert(start - 1, QStringLiteral("\n"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());

    // The window's last paragraph takes the one below it.
    h.key(Qt::Key_Home, Qt::ControlModifier);
    h.editor->flushPendingWork();
    const qsizetype end = h.editor->projected().windowEnd();
    ASSERT_LT(end, expected.size());
    placeInView(h, int(end - h.editor->projected().windowStart()));
    h.key(Qt::Key_Delete);
    expected.remove(end, 1);
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    h.key(Qt::Key_Return);
    expected.insert(end, QStringLiteral("\n"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_EQ(h.editor->markdown(), expected);
}

TEST(BlockWindow, ScrollToLineAndTableCellsFarFromTheWindowReachTheirPlaceInTheFile)
{
    const BlockWindowLength window(400);
    const QString table = QStringLiteral("| A | B |\n|---|---|\n| 1 | 2 |\n| 3 | 4 |\n");
    QString text = numberedParagraphs(150) + QStringLiteral("\n") + table + QStringLiteral("\n")
        + numberedParagraphs(150);
    EditorHarness h(text, QSize(800, 300));
    h.settle();
    ASSERT_FALSE(h.editor->projected().holdsAll());

    // A line far below the window, counted in the Markdown text: selected and on screen.
    const int tableLine = 152;
    h.editor->scrollToLine(tableLine + 50);
    QApplication::processEvents();
    const QTextCursor cursor = h.view()->textCursor();
    EXPECT_EQ(cursor.selectedText(),
        QStringLiteral("line 045 of the text") + QChar(QChar::ParagraphSeparator));
    EXPECT_FALSE(h.editor->projected().holdsAll());
    EXPECT_GE(h.view()->cursorRect().top(), 0);
    EXPECT_LE(h.view()->cursorRect().bottom(), h.view()->viewport()->height());

    // The table just above, edited cell by cell.
    h.editor->scrollToLine(tableLine);
    QApplication::processEvents();
    const qsizetype at = h.editor->projected().storage().text().indexOf(QChar(0xFFFC));
    ASSERT_TRUE(h.editor->projected().inWindow(at));
    ASSERT_GT(h.editor->projected().windowStart(), 0);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(*h.editor, at, 0, 1));
    QLineEdit* field = h.editor->tableEditor().field();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), QStringLiteral("2"));
    QTest::keyClicks(field, QStringLiteral("two"));
    QTest::keyClick(field, Qt::Key_Tab);
    ASSERT_NE(h.editor->tableEditor().field(), nullptr);
    QTest::keyClicks(h.editor->tableEditor().field(), QStringLiteral("three"));
    QTest::keyClick(h.editor->tableEditor().field(), Qt::Key_Return);
    text.replace(table,
        QStringLiteral("| A     | B   |\n| ----- | --- |\n| 1     | two |\n| three | 4   |\n"));
    EXPECT_EQ(h.onDisk(), text.toUtf8());
    EXPECT_FALSE(h.editor->projected().holdsAll());

    // Typing after the table goes right after it.
    h.type(QStringLiteral("X"));
    // Typed right after a table, the text starts a paragraph of its own.
    text.insert(text.indexOf(QStringLiteral("| three | 4   |\n")) + 16, QStringLiteral("X\n"));
    EXPECT_EQ(h.onDisk(), text.toUtf8());
}

TEST(BlockWindow, AnotherViewsEditAboveTheWindowKeepsTheCaretAndTheTopLine)
{
    const BlockWindowLength window(400);
    QString expected = numberedParagraphs();
    SourceHarness h(expected, true);
    QTextEdit* blocks = h.blocks->textView();
    blocks->setFocus();
    h.key(Qt::Key_End, Qt::ControlModifier, blocks);
    h.blocks->flushPendingWork();
    QApplication::processEvents();
    ASSERT_GT(h.blocks->projected().windowStart(), 0);
    const auto topLine = [&] { return lineAt(blocks, 50); };
    const ShownLine shown = topLine();
    const int scroll = blocks->verticalScrollBar()->value();

    // The source pane adds paragraphs at the very top, far above the block view's window.
    h.view()->setFocus();
    QTextCursor top(h.view()->document());
    h.view()->setTextCursor(top);
    h.type(QStringLiteral("Above\n\nand more above\n\n"));
    expected.prepend(QStringLiteral("Above\n\nand more above\n\n"));
    ASSERT_EQ(h.content(), expected);
    QApplication::processEvents();
    EXPECT_EQ(h.blocks->markdown(), expected);
    // The screen moved down with the text: the line on top is the one shown before, where it was.
    EXPECT_GT(blocks->verticalScrollBar()->value(), scroll);
    EXPECT_EQ(topLine(), shown);

    // The block view's caret stayed at the end: keys land there.
    blocks->setFocus();
    h.type(QStringLiteral("tail"), blocks);
    expected += QStringLiteral("tail");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
}

TEST(BlockWindow, FindRevealsMatchesFarFromTheWindowAndPaintsThoseInIt)
{
    const BlockWindowLength window(400);
    QString text = numberedParagraphs();
    text.replace(QStringLiteral("line 005 of"), QStringLiteral("line 005 needle of"));
    text.replace(QStringLiteral("line 280 of"), QStringLiteral("line 280 needle of"));
    EditorHarness h(text);
    h.settle();
    ASSERT_FALSE(h.editor->projected().holdsAll());
    const int held = h.view()->document()->characterCount();

    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("needle"));
    QApplication::processEvents();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 2);
    EXPECT_LT(h.view()->document()->characterCount(), text.size() / 2);

    // Far below: the window moves to it, the match is painted on its own words and shown.
    auto expectShown = [&](const QString& paragraph) {
        QApplication::processEvents();
        EXPECT_LT(h.view()->document()->characterCount(), text.size() / 2);
        bool painted = false;
        for (const QTextEdit::ExtraSelection& selection : h.view()->extraSelections()) {
            if (selection.cursor.selectedText() == QStringLiteral("needle")
                && selection.cursor.block().text().startsWith(paragraph))
                painted = true;
        }
        EXPECT_TRUE(painted) << paragraph.toStdString();
        const QTextBlock block
            = h.view()->document()->findBlock(h.view()->extraSelections().isEmpty()
                    ? 0
                    : h.view()->extraSelections().constFirst().cursor.position());
        const QRect shown = h.view()->cursorRect(QTextCursor(block));
        EXPECT_GE(shown.top(), 0);
        EXPECT_LT(shown.bottom(), h.view()->viewport()->height());
    };
    h.workspace->setCurrentLocalMatchIndex(1);
    expectShown(QStringLiteral("line 280"));
    // And back far above.
    h.workspace->setCurrentLocalMatchIndex(0);
    expectShown(QStringLiteral("line 005"));
    EXPECT_LT(held, text.size() / 2);

    // Typing after the find lands in the file where the caret is.
    h.key(Qt::Key_End, Qt::ControlModifier);
    h.type(QStringLiteral("x"));
    EXPECT_EQ(h.onDisk(), (text + QStringLiteral("x")).toUtf8());
}

TEST(BlockWindow, ATextReplacedFromOutsideGoesInAsAWindowKeepingTheCaretAndTheTopLine)
{
    const BlockWindowLength window(400);
    QString expected = numberedParagraphs();
    EditorHarness h(expected);
    h.settle();
    h.key(Qt::Key_End, Qt::ControlModifier);
    h.editor->flushPendingWork();
    QApplication::processEvents();
    QTextEdit* view = h.view();
    const ShownLine shown = lineAt(view, 5);
    ASSERT_TRUE(shown.text.startsWith(QStringLiteral("line 2"))) << shown.text.toStdString();

    // Another program added text above: a little (applied as an edit), then more than the whole
    // text was (put in again): what the caret and the screen were on is further down.
    for (const int added : { 200, 2000 }) {
        QString above;
        for (int i = 0; i < added; ++i)
            above += QStringLiteral("new %1\n\n").arg(i);
        expected = above + expected;
        h.workspace->activeDocument()->replaceText(expected);
        QApplication::processEvents();
        h.editor->flushPendingWork();
        QApplication::processEvents();
        EXPECT_FALSE(h.editor->projected().holdsAll());
        EXPECT_LT(view->document()->characterCount(), expected.size() / 2);
        EXPECT_EQ(h.editor->markdown(), expected);
        // The paragraph on top is the one on top before, where it was.
        EXPECT_EQ(lineAt(view, 5), shown) << added;
    }

    h.type(QStringLiteral("tail"));
    expected += QStringLiteral("tail");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
}

TEST(BlockWindow, ACellClickedAfterTheScrollBarWasDraggedTakesTheKeysTypedNext)
{
    const BlockWindowLength window(400);
    const QString table = QStringLiteral("| A | B |\n|---|---|\n| 1 | 2 |\n| 3 | 4 |\n");
    QString text = numberedParagraphs(150) + QStringLiteral("\n") + table + QStringLiteral("\n")
        + numberedParagraphs(150);
    EditorHarness h(text, QSize(800, 300));
    h.settle();
    QApplication::setActiveWindow(h.view()->window());
    h.view()->setFocus();
    const qsizetype at = h.editor->projected().storage().text().indexOf(QChar(0xFFFC));
    // The scroll bar dragged down to the table, step by step, the caret left at the top.
    QScrollBar* bar = h.view()->verticalScrollBar();
    for (int step = 0; step < 200 && !h.editor->projected().inWindow(at); ++step) {
        bar->setValue(bar->value() + 40);
        QApplication::processEvents();
    }
    for (int step = 0; step < 200; ++step) {
        const auto origin = h.editor->tableEditor().originOf(h.editor->projected().toDocument(at));
        if (origin && origin->y() > 20)
            break;
        bar->setValue(bar->value() + 10);
        QApplication::processEvents();
    }
    h.settle();
    const QPoint cell = cellCenter(*h.editor, at, 0, 1);
    ASSERT_FALSE(cell.isNull());
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cell);
    QApplication::processEvents();
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_End);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("X7"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    text.replace(
        table, QStringLiteral("| A   | B   |\n| --- | --- |\n| 1   | 2X7 |\n| 3   | 4   |\n"));
    EXPECT_EQ(h.onDisk(), text.toUtf8());
}

TEST(BlockWindow, ScrollingAfterEditsAboveTheWindowMovesTheTextByWhatWasScrolled)
{
    const BlockWindowLength window(400);
    QString expected = numberedParagraphs();
    SourceHarness h(expected, true);
    QTextEdit* blocks = h.blocks->textView();
    QScrollBar* bar = blocks->verticalScrollBar();
    // Scrolled by `by` pixels: the paragraph that was that far below the top is on top, at the
    // same height, however often the window moved under it.
    const auto scrollBy = [&](int by, int times) {
        const qsizetype start = h.blocks->projected().windowStart();
        for (int i = 0; i < times; ++i) {
            ShownLine coming = lineAt(blocks, 5 + by);
            coming.top -= by;
            bar->setValue(bar->value() + by);
            QApplication::processEvents();
            ASSERT_EQ(lineAt(blocks, 5), coming) << i << " by " << by;
        }
        EXPECT_NE(h.blocks->projected().windowStart(), start);
    };
    // Dragged down a little at a time, the window following.
    for (int i = 0; i < 40; ++i) {
        bar->setValue(bar->value() + 40);
        QApplication::processEvents();
    }
    scrollBy(blocks->viewport()->height() * 3 / 4, 6);

    // The source pane adds paragraphs far above the block view's window, some taller than others.
    const ShownLine shown = lineAt(blocks, 5);
    h.view()->setFocus();
    h.view()->setTextCursor(QTextCursor(h.view()->document()));
    h.type(QStringLiteral("# Above\n\nand more above\n\n"));
    expected.prepend(QStringLiteral("# Above\n\nand more above\n\n"));
    ASSERT_EQ(h.content(), expected);
    EXPECT_EQ(lineAt(blocks, 5), shown);
    scrollBy(blocks->viewport()->height() * 3 / 4, 4);
    // Up, a few lines at a time, so that what comes into view was held before.
    scrollBy(-100, 12);

    // Another program adds a line above the window.
    const ShownLine before = lineAt(blocks, 5);
    expected.prepend(QStringLiteral("## Outside\n\n"));
    h.workspace->activeDocument()->replaceText(expected);
    QApplication::processEvents();
    h.blocks->flushPendingWork();
    QApplication::processEvents();
    ASSERT_EQ(h.blocks->markdown(), expected);
    EXPECT_EQ(lineAt(blocks, 5), before);
    scrollBy(blocks->viewport()->height() * 3 / 4, 4);

    // The block view's caret, left far above at the start of the old text, stayed on it.
    blocks->setFocus();
    h.type(QStringLiteral("Z"), blocks);
    expected.insert(expected.indexOf(QStringLiteral("line 000")), u'Z');
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
}

TEST(BlockWindow, TheEndStaysInViewOnceItsParagraphsAreMeasuredAfterCtrlEndAndALongPaste)
{
    // Sections of headings, lists, quotes and fenced code: paragraphs whose heights, estimated
    // until they are styled and measured, differ from what they measure.
    QString text;
    for (int i = 0; text.size() < 600 * 1024; ++i) {
        text += QStringLiteral("## Section %1\n\n```cpp\nint f(int x) {\n    return x;\n}\n```\n\n"
                               "A paragraph with **bold**, *italic*, `code` and a "
                               "[link](https://example.org/page) that runs on for a while so "
                               "that it wraps in the editor's column.\n\n- first item\n"
                               "- [ ] open task\n- [x] done task\n\n> A quoted line.\n\n")
                    .arg(i);
    }
    EditorHarness h(text);
    const auto settled = [&] {
        return waitUntil(
            [&] {
                return !h.editor->isRestylingWhole() && !h.view()->blockLayout().hasEstimates();
            },
            20000);
    };
    ASSERT_TRUE(settled());
    ASSERT_FALSE(h.editor->projected().holdsAll());
    h.key(Qt::Key_End, Qt::ControlModifier);
    ASSERT_TRUE(settled());
    const QRect caret = h.view()->cursorRect();
    EXPECT_GE(caret.top(), 0);
    EXPECT_LE(caret.bottom(), h.view()->viewport()->height());
    EXPECT_EQ(h.editor->projected().toStorage(h.view()->textCursor().position()),
        h.editor->projected().storage().length());

    // And back: the top of the text, the column's margin above it included.
    h.key(Qt::Key_Home, Qt::ControlModifier);
    ASSERT_TRUE(settled());
    EXPECT_EQ(h.view()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(h.editor->projected().toStorage(h.view()->textCursor().position()), 0);

    // A long paste with tables at the end is shown whole again: the caret after it stays in view.
    QString pasted;
    for (int i = 0; i < 300; ++i)
        pasted += QStringLiteral("## Pasted %1\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n- item\n\n")
                      .arg(i);
    QApplication::clipboard()->setText(pasted);
    h.key(Qt::Key_End, Qt::ControlModifier);
    h.key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(settled());
    ASSERT_TRUE(h.content().endsWith(pasted));
    const QRect afterPaste = h.view()->cursorRect();
    EXPECT_GE(afterPaste.top(), 0);
    EXPECT_LE(afterPaste.bottom(), h.view()->viewport()->height());
}

// Control, Shift or Alt pressed alone, as before a shortcut, with the caret far above the screen:
// neither pane goes to the caret, and a zoom then keeps the paragraph that was on top.
TEST(BlockWindow, AModifierPressedAloneLeavesEachPaneWhereItWas)
{
    const PaneWindowLength sourceWindow(400);
    const BlockWindowLength blockWindow(400);
    SourceHarness h(numberedParagraphs(), true);
    // The first paragraph a pane holds.
    const auto held
        = [](QTextEdit* view) { return view->document()->firstBlock().text().toStdString(); };
    for (QTextEdit* view : std::initializer_list<QTextEdit*> { h.blocks->textView(), h.view() }) {
        view->setFocus();
        view->setTextCursor(QTextCursor(view->document()));
        for (int i = 0; i < 60; ++i) {
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() + 40);
            QApplication::processEvents();
        }
        const std::string first = held(view);
        ASSERT_NE(first, "line 000 of the text");
        const ShownLine top = lineAt(view, 5);
        for (const Qt::Key key : { Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt }) {
            QTest::keyPress(view, key);
            QTest::keyRelease(view, key);
        }
        QApplication::processEvents();
        EXPECT_EQ(held(view), first) << view->objectName().toStdString();
        EXPECT_EQ(lineAt(view, 5), top) << view->objectName().toStdString();
    }
    QTextEdit* blocks = h.blocks->textView();
    const std::string top = lineAt(blocks, 5).text.toStdString();
    h.blocks->setFontSize(h.blocks->fontSize() + 2);
    ASSERT_TRUE(waitUntil([&] { return !h.blocks->isLoading(); }, 20000));
    QApplication::processEvents();
    EXPECT_EQ(lineAt(blocks, 5).text.toStdString(), top);
}
