// The block view over a text longer than the window of paragraphs it holds: every key lands at
// its place in the file, wherever the window stands.

#include "EditorHarness.h"

#include "editor/layout/TextWindow.h"

#include <gtest/gtest.h>

#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

struct BlockWindowLength
{
    explicit BlockWindowLength(qsizetype length)
    {
        TextWindow::setTargetLength(length, TextWindow::Pane::Block);
    }
    ~BlockWindowLength() { TextWindow::setTargetLength(0, TextWindow::Pane::Block); }
};

// 300 paragraphs of about 20 units: many windows of 400 units.
QString numberedParagraphs(int count = 300)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1 of the text\n").arg(i, 3, 10, QLatin1Char('0'));
    return text;
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

    h.key(Qt::Key_End, Qt::ControlModifier);
    h.type(QStringLiteral("tail"));
    expected += QStringLiteral("tail");
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_LT(h.view()->document()->characterCount(), expected.size() / 2);

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
