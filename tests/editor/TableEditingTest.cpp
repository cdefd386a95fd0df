#include "EditorHarness.h"

#include "editor/table/TableAttachmentCell.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

using namespace quillon;
using namespace quillon::test;

namespace {

const QString kDoc
    = QStringLiteral("Intro\n\n| A | B |\n|---|---|\n| 1 | 2 |\n| 3 | 4 |\n\nOutro\n");

// The viewport point at the centre of a cell of the first table.
QPoint cellCenter(const EditorHarness& h, int row, int column)
{
    const QString& text = h.editor->projected().storage().text();
    const int index = int(text.indexOf(QChar::ObjectReplacementCharacter));
    const auto origin = h.editor->tableEditor().originOf(index);
    const auto* table = MarkdownTableProjection::tableAt(h.editor->projected().storage(), index);
    if (!origin || !table)
        return {};
    return (table->layout().cellRect(row, column).center() + *origin).toPoint();
}

// kDoc with its table as the editor writes a committed cell back: every column padded to its
// widest cell.
QString docWithTable(const char* rows)
{
    return QStringLiteral("Intro\n\n") + QString::fromUtf8(rows) + QStringLiteral("\nOutro\n");
}

QLineEdit* field(const EditorHarness& h)
{
    return h.editor->tableEditor().field();
}

void typeInField(const EditorHarness& h, const QString& text)
{
    QTest::keyClicks(field(h), text);
}

} // namespace

TEST(TableEditing, ClickingACellOpensItWithoutMovingTheCaretAndTypingCommitsOneStep)
{
    EditorHarness h(kDoc);
    const int caretBefore = h.view()->textCursor().position();
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 1));
    ASSERT_NE(field(h), nullptr);
    EXPECT_EQ(field(h)->text(), QStringLiteral("2"));
    EXPECT_EQ(h.view()->textCursor().position(), caretBefore);
    EXPECT_TRUE(h.written.isEmpty());

    typeInField(h, QStringLiteral("two"));
    QTest::keyClick(field(h), Qt::Key_Return);
    EXPECT_EQ(field(h), nullptr);
    const QString edited
        = docWithTable("| A   | B   |\n| --- | --- |\n| 1   | two |\n| 3   | 4   |\n");
    EXPECT_EQ(h.content(), edited);
    EXPECT_EQ(h.onDisk(), edited.toUtf8());
    // The caret stands right after the table's character.
    const int table = int(h.editor->projected().storage().text().indexOf(QChar(0xFFFC)));
    EXPECT_EQ(h.view()->textCursor().position(), table + 1);

    h.editor->undo();
    EXPECT_EQ(h.content(), kDoc);
    h.editor->redo();
    EXPECT_EQ(h.content(), edited);
}

TEST(TableEditing, TabAndShiftTabWalkTheCellsAcrossRows)
{
    EditorHarness h(kDoc);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 1));
    ASSERT_NE(field(h), nullptr);
    typeInField(h, QStringLiteral("b1"));
    QTest::keyClick(field(h), Qt::Key_Tab); // wraps to the next row
    ASSERT_NE(field(h), nullptr);
    EXPECT_EQ(h.editor->tableEditor().activeCell(), (TableLayout::CellIndex { 1, 0 }));
    const QString first
        = docWithTable("| A   | B   |\n| --- | --- |\n| 1   | b1  |\n| 3   | 4   |\n");
    EXPECT_EQ(h.content(), first);

    typeInField(h, QStringLiteral("a2"));
    QTest::keyClick(field(h), Qt::Key_Backtab); // back up to the previous row's last cell
    EXPECT_EQ(h.editor->tableEditor().activeCell(), (TableLayout::CellIndex { 0, 1 }));
    const QString second
        = docWithTable("| A   | B   |\n| --- | --- |\n| 1   | b1  |\n| a2  | 4   |\n");
    EXPECT_EQ(h.content(), second);

    // Nothing typed: moving on changes nothing.
    QTest::keyClick(field(h), Qt::Key_Tab);
    QTest::keyClick(field(h), Qt::Key_Tab);
    EXPECT_EQ(h.editor->tableEditor().activeCell(), (TableLayout::CellIndex { 1, 1 }));
    EXPECT_EQ(h.content(), second);
    // Tab in the last cell commits and closes.
    typeInField(h, QStringLiteral("end"));
    QTest::keyClick(field(h), Qt::Key_Tab);
    EXPECT_EQ(field(h), nullptr);
    const QString third
        = docWithTable("| A   | B   |\n| --- | --- |\n| 1   | b1  |\n| a2  | end |\n");
    EXPECT_EQ(h.content(), third);

    // The header takes part: Shift-Tab from the first body cell reaches the header's last cell.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 0));
    QTest::keyClick(field(h), Qt::Key_Backtab);
    EXPECT_EQ(h.editor->tableEditor().activeCell(), (TableLayout::CellIndex { -1, 1 }));
    QTest::keyClick(field(h), Qt::Key_Escape);
    EXPECT_EQ(field(h), nullptr);

    for (const QString& state : { second, first, kDoc }) {
        h.editor->undo();
        EXPECT_EQ(h.content(), state);
    }
    for (const QString& state : { first, second, third }) {
        h.editor->redo();
        EXPECT_EQ(h.content(), state);
    }
}

TEST(TableEditing, CommittingACellKeepsTheViewWhereItWas)
{
    // A table much taller than the window: its bottom, where the caret goes, is off screen.
    QString doc = QStringLiteral("Intro\n\n| A | B |\n|---|---|\n");
    for (int i = 0; i < 60; ++i)
        doc += QStringLiteral("| %1 | x |\n").arg(i);
    doc += QStringLiteral("\nOutro\n");
    EditorHarness h(doc, QSize(700, 480));
    QScrollBar* bar = h.view()->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 1, 1));
    ASSERT_NE(field(h), nullptr);
    const QRect opened = field(h)->geometry();
    typeInField(h, QStringLiteral("typed"));
    QTest::keyClick(field(h), Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
    ASSERT_NE(field(h), nullptr);
    EXPECT_EQ(h.editor->tableEditor().activeCell(), (TableLayout::CellIndex { 2, 0 }));
    // The next cell opens on screen, one row below the one just left, and typing shows there.
    EXPECT_TRUE(h.viewport()->rect().contains(field(h)->geometry()));
    EXPECT_GT(field(h)->geometry().top(), opened.top());
    EXPECT_LT(field(h)->geometry().top(), opened.bottom() + opened.height());
    typeInField(h, QStringLiteral("more"));
    QTest::keyClick(field(h), Qt::Key_Return);
    EXPECT_EQ(bar->value(), 0);
    const QString content = h.content();
    EXPECT_TRUE(content.contains(QStringLiteral("| 1    | typed |\n| more | x     |\n")));
    EXPECT_TRUE(content.endsWith(QStringLiteral("| 59   | x     |\n\nOutro\n")));
}

TEST(TableEditing, EscapeCancelsAndAPipeIsStoredEscaped)
{
    EditorHarness h(kDoc);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, -1, 0));
    typeInField(h, QStringLiteral("zzz"));
    QTest::keyClick(field(h), Qt::Key_Escape);
    EXPECT_EQ(h.content(), kDoc);
    EXPECT_FALSE(h.editor->canUndo());

    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, -1, 0));
    typeInField(h, QStringLiteral("a|b"));
    QTest::keyClick(field(h), Qt::Key_Return);
    EXPECT_TRUE(h.content().contains(QStringLiteral("a\\|b")));
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, -1, 0));
    EXPECT_EQ(field(h)->text(), QStringLiteral("a|b"));
}

TEST(TableEditing, KeysOfTheOpenCellStayInItAndNeverMoveTheCaretAround)
{
    EditorHarness h(kDoc);
    const int caretBefore = h.view()->textCursor().position();
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 1, 0));
    ASSERT_NE(field(h), nullptr);
    // Keys a one-line field has no use for, then the ends of the document, which are its own.
    for (const Qt::Key key : { Qt::Key_PageDown, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_Up })
        QTest::keyClick(field(h), key);
    QTest::keyClick(field(h), Qt::Key_End, Qt::ControlModifier);
    typeInField(h, QStringLiteral("x"));
    QTest::keyClick(field(h), Qt::Key_Home, Qt::ControlModifier);
    typeInField(h, QStringLiteral("y"));
    EXPECT_EQ(h.view()->textCursor().position(), caretBefore);
    ASSERT_NE(field(h), nullptr);
    QTest::keyClick(field(h), Qt::Key_Return);
    EXPECT_EQ(
        h.content(), docWithTable("| A   | B   |\n| --- | --- |\n| 1   | 2   |\n| y3x | 4   |\n"));
}

TEST(TableEditing, ClickingTheTextOutsideCommitsTheOpenCell)
{
    EditorHarness h(kDoc);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 1, 0));
    typeInField(h, QStringLiteral("q"));
    const QRect first = h.view()->cursorRect(QTextCursor(h.view()->document()));
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(field(h), nullptr);
    EXPECT_EQ(
        h.content(), docWithTable("| A   | B   |\n| --- | --- |\n| 1   | 2   |\n| q   | 4   |\n"));
}

TEST(TableEditing, ACommitWhoseTableMovedIsDroppedNotWrittenElsewhere)
{
    EditorHarness h(kDoc);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 0));
    ASSERT_NE(field(h), nullptr);
    field(h)->setText(QStringLiteral("lost"));
    // The text before the table changes while the cell is open (as an undo or a rule could).
    MarkdownLineEditing::Edit edit;
    edit.range = { 0, 0 };
    edit.replacement = QStringLiteral("New ");
    edit.selection = { 4, 0 };
    ASSERT_TRUE(h.editor->applyEdit(edit));
    const QString moved = QStringLiteral("New ") + kDoc;
    EXPECT_EQ(h.content(), moved);
    EXPECT_FALSE(h.editor->tableEditor().commit());
    EXPECT_EQ(h.content(), moved);
    EXPECT_EQ(h.editor->projected().storage().text().count(QChar(0xFFFC)), 1);
}

TEST(TableEditing, ReplacingTheTextFromOutsideClosesTheCellWithoutCommitting)
{
    EditorHarness h(kDoc);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 0));
    typeInField(h, QStringLiteral("stale"));
    const QString other = QStringLiteral("| X |\n|---|\n| y |\n");
    h.workspace->setCurrentFileContent(other);
    EXPECT_EQ(field(h), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(h.content(), other);
}

TEST(TableDrawing, TheEditedCellIsLeftOutOfTheGrid)
{
    EditorHarness h(kDoc);
    const QPoint cell = cellCenter(h, 1, 1);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cell);
    ASSERT_NE(field(h), nullptr);
    field(h)->hide(); // look at the grid under the field
    const QImage image = h.viewport()->grab().toImage();
    const auto* table = MarkdownTableProjection::tableAt(h.editor->projected().storage(),
        h.editor->projected().storage().text().indexOf(QChar(0xFFFC)));
    const QRect rect = table->layout()
                           .cellRect(1, 1)
                           .translated(*h.editor->tableEditor().originOf(
                               int(h.editor->projected().storage().text().indexOf(QChar(0xFFFC)))))
                           .adjusted(3, 3, -3, -3)
                           .toRect();
    const QColor background = image.pixelColor(rect.topLeft());
    bool onlyBackground = true;
    for (int y = rect.top(); y < rect.bottom(); ++y)
        for (int x = rect.left(); x < rect.right(); ++x)
            onlyBackground = onlyBackground && image.pixelColor(x, y) == background;
    EXPECT_TRUE(onlyBackground);
}

TEST(TableEditing, DeletingTheTableCharacterRemovesTheTableAndUndoBringsItBack)
{
    EditorHarness h(kDoc);
    const int table = int(h.editor->projected().storage().text().indexOf(QChar(0xFFFC)));
    QTextCursor cursor = h.view()->textCursor();
    cursor.setPosition(table + 1);
    h.view()->setTextCursor(cursor);
    h.key(Qt::Key_Backspace);
    EXPECT_EQ(h.content(), QStringLiteral("Intro\n\n\n\nOutro\n"));
    EXPECT_EQ(MarkdownTableProjection::tableCount(h.editor->projected().storage()), 0);
    h.editor->undo();
    EXPECT_EQ(h.content(), kDoc);
    EXPECT_EQ(MarkdownTableProjection::tableCount(h.editor->projected().storage()), 1);
}

TEST(TableEditing, ACommittedCellKeepsTheEditorsAppearance)
{
    EditorHarness h(kDoc);
    h.editor->setDarkMode(true);
    h.editor->setFontSize(20);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 0));
    ASSERT_NE(field(h), nullptr);
    EXPECT_LT(field(h)->palette().color(QPalette::Base).lightness(), 128);
    typeInField(h, QStringLiteral("dark"));
    QTest::keyClick(field(h), Qt::Key_Return);
    ASSERT_EQ(field(h), nullptr);
    ASSERT_EQ(h.content(),
        docWithTable("| A    | B   |\n| ---- | --- |\n| dark | 2   |\n| 3    | 4   |\n"));
    const auto& storage = h.editor->projected().storage();
    const auto* table
        = MarkdownTableProjection::tableAt(storage, storage.text().indexOf(QChar(0xFFFC)));
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->isDarkMode());
    EXPECT_EQ(table->fontSize(), 20);
}

TEST(TableEditing, TextBesideATableGetsItsOwnLineInTheMarkdown)
{
    const qsizetype tableEnd = kDoc.indexOf(QStringLiteral("| 3 | 4 |")) + 9;
    auto tableIndex = [](const EditorHarness& h) {
        return int(h.editor->projected().storage().text().indexOf(QChar(0xFFFC)));
    };
    auto expectShown = [](const EditorHarness& h, const QString& storage) {
        EXPECT_EQ(h.editor->projected().storage().text(), storage);
        EXPECT_EQ(h.editor->projected().markdown(), h.content());
        EXPECT_EQ(MarkdownTableProjection::tableCount(h.editor->projected().storage()), 1);
        EXPECT_EQ(h.onDisk(), h.content().toUtf8());
    };
    {
        SCOPED_TRACE("typing right after the table");
        EditorHarness h(kDoc);
        QTextCursor cursor = h.view()->textCursor();
        cursor.setPosition(tableIndex(h) + 1);
        h.view()->setTextCursor(cursor);
        h.type(QStringLiteral("n"));
        const QString typed = QString(kDoc).insert(tableEnd, QStringLiteral("\nn"));
        EXPECT_EQ(h.content(), typed);
        // The line break belongs to the typed character's step.
        h.editor->undo();
        EXPECT_EQ(h.content(), kDoc);
        expectShown(h, QStringLiteral("Intro\n\n\uFFFC\n\nOutro\n"));
        h.editor->redo();
        EXPECT_EQ(h.content(), typed);
        h.type(QStringLiteral("ote"));
        EXPECT_EQ(h.content(), QString(kDoc).insert(tableEnd, QStringLiteral("\nnote")));
        expectShown(h, QStringLiteral("Intro\n\n\uFFFC\nnote\n\nOutro\n"));
        EXPECT_EQ(h.editor->caretMarkdownOffset(), tableEnd + 5);
    }
    {
        SCOPED_TRACE("typing right before the table");
        EditorHarness h(kDoc);
        QTextCursor cursor = h.view()->textCursor();
        cursor.setPosition(tableIndex(h));
        h.view()->setTextCursor(cursor);
        h.type(QStringLiteral("ab"));
        EXPECT_EQ(h.content(), QString(kDoc).insert(7, QStringLiteral("ab\n")));
        expectShown(h, QStringLiteral("Intro\n\nab\n\uFFFC\n\nOutro\n"));
        EXPECT_EQ(h.editor->caretMarkdownOffset(), 9);
    }
    {
        SCOPED_TRACE("Backspace under the table");
        EditorHarness h(kDoc);
        h.setCaret(kDoc.indexOf(QStringLiteral("Outro")));
        h.key(Qt::Key_Backspace);
        const QString joined = QString(kDoc).remove(tableEnd, 1);
        EXPECT_EQ(h.content(), joined);
        const int writes = int(h.written.size());
        h.key(Qt::Key_Backspace); // would put the text on the table's last row
        EXPECT_EQ(h.content(), joined);
        EXPECT_EQ(int(h.written.size()), writes);
        expectShown(h, QStringLiteral("Intro\n\n\uFFFC\nOutro\n"));
        EXPECT_EQ(h.editor->caretMarkdownOffset(), tableEnd + 1);
        h.type(QStringLiteral("x"));
        EXPECT_EQ(h.content(), QString(joined).insert(tableEnd + 1, u'x'));
    }
    {
        SCOPED_TRACE("typing into a last row that still has room");
        const QString open = QStringLiteral("| A | B |\n|---|---|\n| 1 |");
        EditorHarness h(open);
        h.setCaret(open.size());
        h.type(QStringLiteral(" 2"));
        EXPECT_EQ(h.content(), open + QStringLiteral(" 2"));
        expectShown(h, QStringLiteral("\uFFFC"));
        const auto* table = MarkdownTableProjection::tableAt(h.editor->projected().storage(), 0);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->table().rows.value(0), (QStringList { "1", "2" }));
    }
}

TEST(TableEditing, TheSameAppearanceAgainLeavesAnOpenCellAlone)
{
    EditorHarness h(kDoc);
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 1, 0));
    ASSERT_NE(field(h), nullptr);
    typeInField(h, QStringLiteral("pending"));
    int presentations = 0;
    QObject::connect(h.editor.get(), &UnifiedBlockEditor::presented, [&] { ++presentations; });
    h.editor->setDarkMode(h.editor->isDarkMode());
    h.editor->setFontSize(h.editor->fontSize());
    QApplication::processEvents();
    ASSERT_NE(field(h), nullptr);
    EXPECT_EQ(field(h)->text(), QStringLiteral("pending"));
    EXPECT_EQ(h.content(), kDoc);
    EXPECT_EQ(presentations, 0);

    h.editor->setDarkMode(!h.editor->isDarkMode()); // a real change commits first
    EXPECT_EQ(field(h), nullptr);
    EXPECT_EQ(h.content(),
        docWithTable(
            "| A       | B   |\n| ------- | --- |\n| 1       | 2   |\n| pending | 4   |\n"));
}

TEST(TableEditing, AWidthChangeWithACellOpenWritesTheCell)
{
    EditorHarness h(kDoc, QSize(900, 700));
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 1, 1));
    ASSERT_NE(field(h), nullptr);
    typeInField(h, QStringLiteral("wide"));
    h.editor->resize(1200, 700); // the column moves under the field
    QApplication::processEvents();
    EXPECT_EQ(field(h), nullptr);
    const QString edited
        = docWithTable("| A   | B    |\n| --- | ---- |\n| 1   | 2    |\n| 3   | wide |\n");
    EXPECT_EQ(h.content(), edited);
    EXPECT_EQ(h.editor->projected().markdown(), edited);
    EXPECT_EQ(h.onDisk(), edited.toUtf8());
}

namespace {

// Prose, a table of ten columns of long cells (far wider than any column of text), prose.
QString wideDoc()
{
    QStringList header;
    QStringList separator;
    QStringList row;
    for (int c = 0; c < 10; ++c) {
        header << QStringLiteral("Column %1 heading").arg(c);
        separator << QStringLiteral("---");
        row << QStringLiteral("a fairly long cell text number %1").arg(c);
    }
    auto line = [](const QStringList& cells) {
        return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
    };
    return QStringLiteral("Prose above the table.\n\n") + line(header) + line(separator) + line(row)
        + line(row) + QStringLiteral("\nProse below the table.\n");
}

int tableIndex(const EditorHarness& h)
{
    return int(h.editor->projected().storage().text().indexOf(QChar::ObjectReplacementCharacter));
}

const TableLayout& tableLayout(const EditorHarness& h)
{
    return MarkdownTableProjection::tableAt(h.editor->projected().storage(), tableIndex(h))
        ->layout();
}

// The viewport point at the centre of what the box shows of a cell.
QPoint shownCellCenter(const EditorHarness& h, int row, int column)
{
    const QRectF box = *h.editor->tableEditor().boxOf(tableIndex(h));
    const qreal offset = h.editor->tableEditor().scrollOffset(tableIndex(h));
    QRectF cell
        = tableLayout(h).cellRect(row, column).translated(box.topLeft() - QPointF(offset, 0));
    cell.setLeft(qMax(cell.left(), box.left()));
    cell.setRight(qMin(cell.right(), box.right()));
    return cell.center().toPoint();
}

void wheel(const EditorHarness& h, QPoint at, QPoint angle, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(QPointF(at), QPointF(h.viewport()->mapToGlobal(at)), QPoint(), angle,
        Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(h.viewport(), &event);
}

} // namespace

TEST(TableScrolling, AWideTableScrollsInItsOwnBoxAndTheTextNeverSideways)
{
    EditorHarness h(wideDoc(), QSize(700, 500));
    TableEditingController& tables = h.editor->tableEditor();
    QScrollBar* sideways = h.view()->horizontalScrollBar();
    const QRectF box = *tables.boxOf(tableIndex(h));
    const QRect prose = h.view()->cursorRect(QTextCursor(h.view()->document()));
    // The table is cut to the text column, with its scroll bar under the grid.
    EXPECT_EQ(box.left(), prose.left());
    EXPECT_LE(box.right(), h.viewport()->width() - box.left() + 1);
    EXPECT_EQ(box.height(),
        tableLayout(h).size().height() + TableAttachmentCell::kScrollBarGap
            + TableAttachmentCell::kScrollBarHeight);
    EXPECT_EQ(sideways->maximum(), 0);

    // Tab through the first row: the open cell stays in the box, the text stays where it was.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, shownCellCenter(h, 0, 0));
    for (int column = 1; column < 10; ++column) {
        QTest::keyClick(field(h), Qt::Key_Tab);
        ASSERT_NE(field(h), nullptr);
        ASSERT_EQ(tables.activeCell(), (TableLayout::CellIndex { 0, column }));
        const QRect shown = field(h)->geometry();
        EXPECT_GE(shown.left(), int(box.left()));
        EXPECT_LE(shown.right(), int(box.right()));
        EXPECT_GT(shown.width(), 50);
        EXPECT_EQ(sideways->value(), 0);
        EXPECT_EQ(h.view()->cursorRect(QTextCursor(h.view()->document())), prose);
    }
    const qreal lastColumn = tables.scrollOffset(tableIndex(h));
    EXPECT_EQ(lastColumn, tableLayout(h).size().width() - box.width());
    typeInField(h, QStringLiteral("typed in the last column"));
    QTest::keyClick(field(h), Qt::Key_Return);
    EXPECT_TRUE(h.content().contains(QStringLiteral("number 8 | typed in the last column ")));
    // The new table shows the part the user was looking at.
    EXPECT_EQ(tables.scrollOffset(tableIndex(h)), lastColumn);
    EXPECT_EQ(sideways->value(), 0);

    // A jump to one of its lines (a project-search hit) does not scroll the text sideways.
    h.editor->scrollToLine(5);
    QApplication::processEvents();
    EXPECT_EQ(sideways->maximum(), 0);
    EXPECT_EQ(sideways->value(), 0);
}

TEST(TableScrolling, TheWheelAndTheScrollBarMoveTheGridAndClicksFindTheCellShown)
{
    EditorHarness h(wideDoc(), QSize(700, 500));
    TableEditingController& tables = h.editor->tableEditor();
    const int index = tableIndex(h);
    const QRectF box = *tables.boxOf(index);
    const qreal range = tableLayout(h).size().width() - box.width();
    const QRectF track = TableAttachmentCell::scrollBarTrack(tableLayout(h), box);
    ASSERT_FALSE(track.isEmpty());
    // The scroll bar is drawn under the grid.
    const QImage shown = h.viewport()->grab().toImage();
    const QRectF thumb = TableAttachmentCell::scrollBarThumb(tableLayout(h), box, 0);
    EXPECT_NE(shown.pixelColor(thumb.center().toPoint()),
        shown.pixelColor(track.topRight().toPoint() + QPoint(-4, 4)));

    // Shift with the wheel, or a sideways wheel, over the table; the plain wheel is left alone.
    const QPoint inGrid = shownCellCenter(h, 0, 1);
    wheel(h, inGrid, QPoint(0, -120), Qt::ShiftModifier);
    const qreal afterShift = tables.scrollOffset(index);
    EXPECT_GT(afterShift, 0);
    wheel(h, inGrid, QPoint(-120, 0), Qt::NoModifier);
    EXPECT_GT(tables.scrollOffset(index), afterShift);
    wheel(h, inGrid, QPoint(0, -120), Qt::NoModifier);
    wheel(h, QPoint(inGrid.x(), int(box.top()) - 30), QPoint(0, -120), Qt::ShiftModifier);
    EXPECT_GT(tables.scrollOffset(index), afterShift);
    wheel(h, inGrid, QPoint(0, 12000), Qt::ShiftModifier);
    EXPECT_EQ(tables.scrollOffset(index), 0);

    // The thumb dragged to the right end shows the last column.
    const QPoint from
        = TableAttachmentCell::scrollBarThumb(tableLayout(h), box, 0).center().toPoint();
    const int caret = h.view()->textCursor().position();
    QTest::mousePress(h.viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(h.viewport()->width(), from.y()),
        h.viewport()->mapToGlobal(QPointF(h.viewport()->width(), from.y())), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.viewport(), &move);
    QTest::mouseRelease(h.viewport(), Qt::LeftButton, {}, QPoint(h.viewport()->width(), from.y()));
    EXPECT_EQ(tables.scrollOffset(index), range);
    EXPECT_EQ(h.view()->textCursor().position(), caret);
    EXPECT_EQ(h.view()->horizontalScrollBar()->value(), 0);

    // A click on the grid opens the cell shown under the pointer.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, shownCellCenter(h, 1, 9));
    ASSERT_NE(field(h), nullptr);
    EXPECT_EQ(tables.activeCell(), (TableLayout::CellIndex { 1, 9 }));
    EXPECT_EQ(tables.scrollOffset(index), range);
    QTest::keyClick(field(h), Qt::Key_Escape);
    // A press on the track beside the thumb brings the thumb there.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, track.topLeft().toPoint() + QPoint(2, 3));
    EXPECT_EQ(tables.scrollOffset(index), 0);
}

TEST(TableScrolling, TheBoxFollowsTheColumnWidthAndAWideEnoughColumnShowsTheWholeTable)
{
    EditorHarness h(wideDoc(), QSize(700, 500));
    const qreal tableWidth = tableLayout(h).size().width();
    const qreal narrow = h.editor->tableEditor().boxOf(tableIndex(h))->width();
    ASSERT_LT(narrow, tableWidth);
    // Narrow windows keep the same margins: only the text width changes.
    h.editor->resize(760, 500);
    QApplication::processEvents();
    EXPECT_EQ(h.editor->tableEditor().boxOf(tableIndex(h))->width(), narrow + 60);

    h.editor->setContentWidth(tableWidth + 100);
    h.editor->resize(int(tableWidth) + 200, 500);
    QApplication::processEvents();
    const QRectF box = *h.editor->tableEditor().boxOf(tableIndex(h));
    EXPECT_EQ(box.size(), tableLayout(h).size());
    EXPECT_TRUE(TableAttachmentCell::scrollBarTrack(tableLayout(h), box).isEmpty());
    EXPECT_EQ(h.view()->horizontalScrollBar()->maximum(), 0);
}

TEST(TableCells, TextWiderThanAColumnMayBeIsCutAndTheRestIsDrawnWhole)
{
    // A column held to the widest a column may be cuts a longer text short with an ellipsis.
    const QString markdown = QStringLiteral("| Short | Long | End |\n|---|---|---|\n| a | ")
        + QStringLiteral("words ").repeated(80) + QStringLiteral("| z |\n");
    const auto parsed = MarkdownTable::parse(markdown, { 0, markdown.size() });
    ASSERT_TRUE(parsed);
    const TableAttachment table(*parsed, markdown, false, 15);
    const TableLayout& layout = table.layout();
    ASSERT_EQ(layout.columnWidths.at(1), TableLayout::Metrics::maxColumnWidth);
    QImage image(layout.size().toSize() + QSize(2, 2), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TableAttachmentCell::draw(painter, QRectF(QPointF(0, 0), layout.size()), table, {});
    }
    // Dark pixels (text) in a stretch of a cell of the first row, between heights `top` and
    // `bottom` of its line of text (from the cell's top).
    const auto inked = [&](int column, qreal from, qreal to, qreal top, qreal bottom) {
        const QRectF cell = layout.cellRect(0, column);
        int count = 0;
        for (int y = int(cell.top() + top); y < int(cell.top() + bottom); ++y)
            for (int x = int(cell.left() + from); x < int(cell.left() + to); ++x)
                count += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        return count;
    };
    const qreal pad = TableLayout::Metrics::cellPaddingX;
    const QFontMetricsF metrics(table.cellFont());
    const qreal baseline = TableLayout::Metrics::cellPaddingY + metrics.ascent();
    const qreal width = layout.columnWidths.at(1);
    // The long text ends in an ellipsis: its last few inked columns hold dots on the baseline,
    // where letters cut short would reach up to the height of an x.
    qreal last = 0;
    for (qreal x = pad; x < width - pad; ++x) {
        if (inked(1, x, x + 1, baseline - metrics.xHeight(), baseline + 1) > 0)
            last = x;
    }
    ASSERT_GT(last, width / 2);
    EXPECT_GT(inked(1, last - 5, last + 1, baseline - 3, baseline + 1), 0);
    EXPECT_EQ(inked(1, last - 5, last + 1, baseline - metrics.xHeight(),
                  baseline - metrics.xHeight() / 2),
        0);
}

TEST(TableEditing, WhatIsTypedInAnOpenCellIsKeptThroughAChangeFromOutside)
{
    EditorHarness h(kDoc);
    Document& document = *h.workspace->activeDocument();
    const auto changedFromOutside = [&](const QString& text) {
        document.replaceText(text);
        QApplication::processEvents();
        h.editor->flushPendingWork();
        QApplication::processEvents();
    };
    // Another program adds a line below the table, then one above it, each while a cell is
    // open with text typed in it: the text goes into the cell, the table where it now stands.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 1));
    typeInField(h, QStringLiteral("two"));
    changedFromOutside(kDoc + QStringLiteral("Added below\n"));
    QString expected = docWithTable("| A   | B   |\n| --- | --- |\n| 1   | two |\n| 3   | 4   |\n")
        + QStringLiteral("Added below\n");
    EXPECT_EQ(field(h), nullptr);
    EXPECT_EQ(h.content(), expected);
    EXPECT_EQ(h.editor->markdown(), expected);

    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 1, 0));
    typeInField(h, QStringLiteral("three"));
    changedFromOutside(QStringLiteral("Added above\n\n") + expected);
    expected = QStringLiteral("Added above\n\n")
        + docWithTable("| A     | B   |\n| ----- | --- |\n| 1     | two |\n| three | 4   |\n")
        + QStringLiteral("Added below\n");
    EXPECT_EQ(h.content(), expected);
    EXPECT_EQ(h.editor->markdown(), expected);
    EXPECT_EQ(h.onDisk(), expected.toUtf8());

    // A change to the table itself leaves it as the other program wrote it.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 0));
    typeInField(h, QStringLiteral("lost"));
    QString theirs = expected;
    theirs.replace(QStringLiteral("| two |"), QStringLiteral("| 2b  |"));
    changedFromOutside(theirs);
    EXPECT_EQ(h.content(), theirs);
    EXPECT_EQ(h.editor->markdown(), theirs);

    // So with a change too long to be applied where it lands: the text is shown whole again.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 1, 1));
    typeInField(h, QStringLiteral("four"));
    QString above;
    for (int i = 0; i < 400; ++i)
        above += QStringLiteral("Paragraph %1 put above by another program.\n\n").arg(i);
    changedFromOutside(above + theirs);
    expected = above + QStringLiteral("Added above\n\n")
        + docWithTable("| A     | B    |\n| ----- | ---- |\n| 1     | 2b   |\n| three | four |\n")
        + QStringLiteral("Added below\n");
    EXPECT_EQ(h.content(), expected);
    EXPECT_EQ(h.editor->markdown(), expected);

    // Another view edits the text before the cell's text goes back in: both are kept.
    QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, cellCenter(h, 0, 0));
    typeInField(h, QStringLiteral("one"));
    const QObject otherView;
    document.replaceText(expected + QStringLiteral("Last\n"));
    document.applyEdit(document.text().size(), 0, QStringLiteral("More\n"), &otherView);
    QApplication::processEvents();
    h.editor->flushPendingWork();
    QApplication::processEvents();
    expected.replace(QStringLiteral("| 1     | 2b   |"), QStringLiteral("| one   | 2b   |"));
    expected += QStringLiteral("Last\nMore\n");
    EXPECT_EQ(h.content(), expected);
    EXPECT_EQ(h.editor->markdown(), expected);
}

TEST(TableDrawing, AGridCopiedFromItsPictureIsTheGridDrawnAndOnlyTheRowsShownAreDrawn)
{
    QString markdown = QStringLiteral("| Name | Value | Notes |\n|:---|:---:|---:|\n");
    for (int row = 0; row < 40; ++row)
        markdown += QStringLiteral("| row %1 | %2 | some *note* |\n").arg(row).arg(row * 7);
    const auto parsed = MarkdownTable::parse(markdown, { 0, markdown.size() });
    ASSERT_TRUE(parsed);
    const auto render
        = [](const TableAttachment& table, QPointF at, TableAttachmentCell::GridPictures* pictures,
              const std::shared_ptr<const TableAttachment>& shared,
              const std::function<void(QPainter&)>& setUp = {}) {
              QImage image(QSize(500, 1200), QImage::Format_RGB32);
              image.fill(Qt::magenta);
              QPainter painter(&image);
              painter.translate(7, 3); // as a scrolled view does
              if (setUp)
                  setUp(painter);
              TableAttachmentCell::draw(
                  painter, QRectF(at, table.layout().size()), table, {}, 0, pictures, shared);
              return image;
          };
    for (const bool dark : { false, true }) {
        SCOPED_TRACE(dark);
        const auto table = std::make_shared<const TableAttachment>(*parsed, markdown, dark, 15);
        TableAttachmentCell::GridPictures pictures;
        // Wherever the table stands, between pixels or on one, the copy is what drawing gives.
        for (const QPointF at : { QPointF(10.3, 20.7), QPointF(4, 5), QPointF(0.5, 31.5) }) {
            EXPECT_EQ(render(*table, at, &pictures, table), render(*table, at, nullptr, {}))
                << at.x() << "," << at.y();
        }
        EXPECT_EQ(pictures.count(), 1);
        // A scaled painter draws the grid itself.
        const auto scaled = [](QPainter& painter) { painter.scale(1.5, 1.5); };
        EXPECT_EQ(render(*table, QPointF(2, 2), &pictures, table, scaled),
            render(*table, QPointF(2, 2), nullptr, {}, scaled));
        // Painting only a band of the view draws the rows in it as the whole grid has them.
        const QRect band(0, 400, 500, 90);
        const auto clipped
            = [&](QPainter& painter) { painter.setClipRect(band.translated(-7, -3)); };
        const QImage whole = render(*table, QPointF(10, 10), nullptr, {});
        const QImage part = render(*table, QPointF(10, 10), nullptr, {}, clipped);
        EXPECT_EQ(part.copy(band), whole.copy(band));
    }
    // A table that is gone leaves no picture behind once another is drawn.
    TableAttachmentCell::GridPictures pictures;
    auto first = std::make_shared<const TableAttachment>(*parsed, markdown, false, 15);
    render(*first, QPointF(0, 0), &pictures, first);
    first.reset();
    const auto second = std::make_shared<const TableAttachment>(*parsed, markdown, true, 15);
    render(*second, QPointF(0, 0), &pictures, second);
    EXPECT_EQ(pictures.count(), 1);
}
