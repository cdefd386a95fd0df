// The caret as the user sees it: painted at the height of its line whatever hidden marker stands
// beside it, and revealing markers by one rule that does not depend on when restyling runs.
#include "EditorHarness.h"
#include "SourceHarness.h"

#include "editor/block/HiddenMarkerFormat.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

// The caret never blinks during these tests: shown while the view has the focus.
struct SteadyCaret
{
    int flashTime = QApplication::cursorFlashTime();
    SteadyCaret() { QApplication::setCursorFlashTime(0); }
    ~SteadyCaret() { QApplication::setCursorFlashTime(flashTime); }
};

// The bounding box of the pixels the caret paints: the viewport with the caret minus the same
// viewport without it (a read-only view shows none).
QRect paintedCaret(const EditorHarness& h)
{
    QApplication::processEvents();
    const QImage on = h.viewport()->grab().toImage();
    h.view()->setReadOnly(true);
    const QImage off = h.viewport()->grab().toImage();
    h.view()->setReadOnly(false);
    QRect box;
    for (int y = 0; y < on.height(); ++y)
        for (int x = 0; x < on.width(); ++x)
            if (on.pixel(x, y) != off.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

void clickAt(const EditorHarness& h, int storagePosition, int dx = 0)
{
    QTextCursor cursor(h.view()->document());
    cursor.setPosition(storagePosition);
    const QRect rect = h.view()->cursorRect(cursor);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, rect.center() + QPoint(dx, 0));
    QApplication::processEvents();
}

bool isCollapsed(const EditorHarness& h, qsizetype storageIndex)
{
    const bool* value
        = h.editor->projected().storage().attribute<TextAttribute::Collapsed>(storageIndex);
    return value && *value;
}

// True when the view draws the character at `position` of its paragraph as nothing.
bool drawnHidden(const EditorHarness& h, int blockNumber, int position)
{
    const QTextBlock block = h.view()->document()->findBlockByNumber(blockNumber);
    for (const auto& range : block.layout()->formats())
        if (range.start <= position && position < range.start + range.length
            && HiddenMarkerFormat::isHidden(range.format))
            return true;
    return false;
}

} // namespace

TEST(BlockEditorCaret, IsPaintedAsTallAsItsLineBeforeAHiddenMarker)
{
    SteadyCaret steady;
    EditorHarness h(QStringLiteral("Some **bold**\n\n- [ ] task\n"));
    clickAt(h, 2);
    // After, between and before the hidden closing marker.
    for (int position : { 13, 12, 11 }) {
        h.key(position == 13 ? Qt::Key_End : Qt::Key_Left);
        ASSERT_EQ(h.view()->textCursor().position(), position);
        ASSERT_TRUE(drawnHidden(h, 0, 11)) << "the marker stays hidden within the line";
        const QRect expected = h.view()->cursorRect();
        const QRect caret = paintedCaret(h);
        EXPECT_GE(caret.height(), expected.height() - 2)
            << "at " << position << " painted " << caret.height() << " of " << expected.height();
        EXPECT_LE(caret.width(), 3);
        EXPECT_NEAR(caret.left(), expected.left(), 2);
    }

    // Before a hidden task marker at the start of a line, too.
    clickAt(h, 17, 40);
    h.key(Qt::Key_Home);
    ASSERT_TRUE(drawnHidden(h, 2, 0));
    EXPECT_GE(paintedCaret(h).height(), h.view()->cursorRect().height() - 2);
}

TEST(BlockEditorCaret, TheFirstClickOnTheFirstLineRevealsItsMarker)
{
    SteadyCaret steady;
    EditorHarness h(QStringLiteral("# Title\n\nBody text\n"));
    h.view()->clearFocus(); // the click brings the focus back
    QApplication::processEvents();
    ASSERT_TRUE(isCollapsed(h, 0)) << "the heading's marker is hidden without the focus";
    clickAt(h, 0, -2);
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 0);
    EXPECT_FALSE(isCollapsed(h, 0));
    EXPECT_FALSE(drawnHidden(h, 0, 0));
    EXPECT_GE(paintedCaret(h).height(), h.view()->cursorRect().height() - 2);
}

TEST(BlockEditorCaret, AMoveWithinALineRevealsTheSameWhetherOrNotRestylingHasCaughtUp)
{
    EditorHarness h(QStringLiteral("Intro line\n\n- [ ] task with words\n\nOutro\n"));
    clickAt(h, 25); // inside the task's words: the marker is hidden
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 2);
    ASSERT_TRUE(drawnHidden(h, 2, 0));
    // Within its line the caret restyles nothing: the marker stays as the last styling left it.
    h.key(Qt::Key_Home);
    ASSERT_EQ(h.view()->textCursor().position(), 12);
    EXPECT_TRUE(drawnHidden(h, 2, 0));
    EXPECT_TRUE(isCollapsed(h, 12));
    QTest::qWait(1500); // long enough for every deferred pass to have run
    EXPECT_TRUE(drawnHidden(h, 2, 0));
    EXPECT_TRUE(isCollapsed(h, 12));

    // Reaching the marker from another line reveals it, at once and for good.
    h.key(Qt::Key_Up);
    h.key(Qt::Key_Down);
    ASSERT_EQ(h.view()->textCursor().position(), 12);
    EXPECT_FALSE(isCollapsed(h, 12));
    QTest::qWait(1500);
    EXPECT_FALSE(isCollapsed(h, 12));
}

TEST(BlockEditorCaret, OnATableTheCaretRevealsNothingAndTheLineItLeftHidesItsMarkers)
{
    // The line right above a table, its bold markers revealed by the caret; then the caret on
    // the table (a paragraph of one character) and back.
    EditorHarness h(
        QStringLiteral("Some **bold** words\n| a | b |\n|---|---|\n| 1 | 2 |\n\nEnd\n"));
    clickAt(h, 7); // beside the opening marker
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 0);
    ASSERT_EQ(h.editor->projected().tableCount(), 1);
    EXPECT_FALSE(isCollapsed(h, 5));
    h.key(Qt::Key_Down);
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 1);
    EXPECT_TRUE(isCollapsed(h, 5));
    EXPECT_TRUE(drawnHidden(h, 0, 5));
    h.key(Qt::Key_Down);
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 2);
    h.key(Qt::Key_Up);
    h.key(Qt::Key_Up);
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 0);
    EXPECT_FALSE(isCollapsed(h, 5));
    EXPECT_FALSE(drawnHidden(h, 0, 5));
    EXPECT_EQ(h.content(),
        QStringLiteral("Some **bold** words\n| a | b |\n|---|---|\n| 1 | 2 |\n\nEnd\n"));
}

TEST(BlockEditorCaret, AJumpFarAwayHidesTheMarkersLeftAndRevealsThoseReached)
{
    QString doc = QStringLiteral("Top **bold** line\n\n");
    for (int i = 0; i < 400; ++i)
        doc += QStringLiteral("Filler paragraph %1\n\n").arg(i);
    doc += QStringLiteral("Last *italic*");
    EditorHarness h(doc);
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        h.key(key, modifiers);
        h.editor->flushPendingWork();
    };
    clickAt(h, 4); // beside the opening marker of "bold"
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 0);
    EXPECT_FALSE(isCollapsed(h, 4));
    const int italic = int(doc.lastIndexOf(u'*'));
    EXPECT_TRUE(isCollapsed(h, italic));

    press(Qt::Key_End, Qt::ControlModifier); // right after the closing marker of "italic"
    EXPECT_TRUE(isCollapsed(h, 4));
    EXPECT_TRUE(drawnHidden(h, 0, 4));
    EXPECT_FALSE(isCollapsed(h, italic));
    press(Qt::Key_Home, Qt::ControlModifier); // before "Top": nothing revealed
    EXPECT_TRUE(isCollapsed(h, italic));
    EXPECT_TRUE(isCollapsed(h, 4));
}

TEST(BlockEditorCaret, CtrlHomeAndCtrlEndOverAWindowedTextRevealTheLineReached)
{
    // The view holds a few paragraphs of the text: each jump moves its window and places the
    // caret itself rather than through a key the view takes.
    const BlockWindowLength window(400);
    QString doc = QStringLiteral("## Top heading\n\n");
    for (int i = 0; i < 400; ++i)
        doc += QStringLiteral("Filler **%1**\n\n").arg(i);
    doc += QStringLiteral("Last *italic*");
    EditorHarness h(doc);
    auto press = [&](Qt::Key key) {
        h.key(key, Qt::ControlModifier);
        h.editor->flushPendingWork();
    };
    ASSERT_FALSE(h.editor->projected().holdsAll());
    clickAt(h, 20); // a filler line: the heading hides its marker
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 2);
    ASSERT_TRUE(isCollapsed(h, 0));
    const int italic = int(doc.lastIndexOf(u'*'));
    for (int round = 0; round < 2; ++round) {
        press(Qt::Key_End);
        EXPECT_FALSE(isCollapsed(h, italic)) << round;
        const int last = h.view()->document()->blockCount() - 1;
        EXPECT_FALSE(drawnHidden(h, last, 12)) << round;
        EXPECT_TRUE(isCollapsed(h, 0)) << round;
        press(Qt::Key_Home);
        EXPECT_FALSE(isCollapsed(h, 0)) << round;
        EXPECT_FALSE(drawnHidden(h, 0, 0)) << round;
        EXPECT_TRUE(isCollapsed(h, italic)) << round;
    }

    // Scrolled away from the caret, the view holds other paragraphs; a new appearance reveals
    // none of them.
    QScrollBar* bar = h.view()->verticalScrollBar();
    for (int step = 0; step < 40 && h.editor->projected().windowStart() == 0; ++step) {
        bar->setValue(bar->value() + 200);
        QApplication::processEvents();
    }
    h.editor->flushPendingWork();
    ASSERT_GT(h.editor->projected().windowStart(), 0);
    h.editor->setDarkMode(true);
    QTest::qWait(300);
    h.editor->flushPendingWork();
    QTextBlock first = h.view()->document()->begin();
    while (first.isValid() && !first.text().startsWith(QStringLiteral("Filler")))
        first = first.next();
    ASSERT_TRUE(first.isValid());
    EXPECT_TRUE(drawnHidden(h, first.blockNumber(), 7)) << first.text().toStdString();
}

TEST(BlockEditorCaret, ACaretBetweenEmptyLinesAndTablesRestylesNothing)
{
    EditorHarness h(QStringLiteral("Intro\n\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n\nEnd\n"));
    clickAt(h, 2);
    h.key(Qt::Key_Down);
    ASSERT_EQ(h.view()->textCursor().blockNumber(), 1);
    int presented = 0;
    QObject::connect(h.editor.get(), &UnifiedBlockEditor::presented, [&](int) { ++presented; });
    for (Qt::Key key : { Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up }) {
        h.key(key);
        h.editor->flushPendingWork();
    }
    EXPECT_EQ(h.view()->textCursor().blockNumber(), 4);
    EXPECT_EQ(presented, 0);
    h.key(Qt::Key_Down);
    h.key(Qt::Key_Down); // "End": a line that reveals
    EXPECT_EQ(h.view()->textCursor().blockNumber(), 6);
    EXPECT_GT(presented, 0);
}

TEST(BlockEditorCaret, ANewAppearanceRevealsWhereTheCaretIsAndNowhereElse)
{
    // Short and long (styled in the background): both go in again at the caret's place.
    QString longer = QStringLiteral("# Title\n\nSome **bold** words\n\n");
    for (int i = 0; i < 3000; ++i)
        longer += QStringLiteral("Filler paragraph number %1 of many.\n\n").arg(i);
    for (const QString& doc : { QStringLiteral("# Title\n\nSome **bold** words\n"), longer }) {
        SCOPED_TRACE(doc.size());
        EditorHarness h(doc);
        clickAt(h, 16); // inside "bold"
        ASSERT_EQ(h.view()->textCursor().blockNumber(), 2);
        const int caret = h.view()->textCursor().position();
        ASSERT_TRUE(isCollapsed(h, 0));
        ASSERT_FALSE(isCollapsed(h, 14));
        for (const auto& change : { std::function<void()>([&] { h.editor->setDarkMode(true); }),
                 std::function<void()>([&] { h.editor->setFontSize(17); }) }) {
            change();
            QTest::qWait(300);
            h.editor->flushPendingWork();
            ASSERT_EQ(h.view()->textCursor().position(), caret);
            EXPECT_TRUE(isCollapsed(h, 0)) << "the heading's marker stays hidden";
            EXPECT_TRUE(drawnHidden(h, 0, 0));
            EXPECT_FALSE(isCollapsed(h, 14)) << "the caret's line keeps its markers shown";
            EXPECT_FALSE(drawnHidden(h, 2, 5));
        }
    }
}
