// Both panes shown: the block editor following what is typed in the source pane, edit by edit,
// with tables, fenced blocks and unusual line breaks, and undo in each pane afterwards.
#include "SourceHarness.h"

#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>

#include <tuple>

using namespace quillon;
using namespace quillon::test;

namespace {

const QString kDocument = QStringLiteral("# Title\r\n\r\nSome text\u2028more\rline\n\n"
                                         "| a | b |\n|---|---|\n| 1 | 2 |\n\n"
                                         "after table\n\n"
                                         "```\ncode | not table\n```\n\nend\n");

// The block editor shows exactly the source pane's text: its Markdown, its storage written back
// byte for byte, its document character for character, and its tables where a fresh load puts
// them.
::testing::AssertionResult followsSource(const SourceHarness& h)
{
    const QString content = h.content();
    if (h.source->text() != content)
        return ::testing::AssertionFailure() << "source pane differs";
    if (h.blocks->markdown() != content)
        return ::testing::AssertionFailure()
            << "block Markdown differs: " << h.blocks->markdown().toStdString();
    const ProjectedDocument& projected = h.blocks->projected();
    if (projected.markdown() != content)
        return ::testing::AssertionFailure()
            << "storage gives back " << projected.markdown().toStdString();
    AttributedText fresh(content);
    MarkdownTableProjection::installTables(fresh, false, 15);
    if (projected.storage().text() != fresh.text())
        return ::testing::AssertionFailure()
            << "tables projected differently: " << projected.storage().text().toStdString();
    QStringList paragraphs;
    for (QTextBlock b = projected.document().begin(); b.isValid(); b = b.next())
        paragraphs.append(b.text());
    // A long text's view holds the paragraphs of its window.
    const QString held = ProjectedDocument::toDocumentText(projected.storage().text().mid(
        projected.windowStart(), projected.windowEnd() - projected.windowStart()));
    if (paragraphs.join(QLatin1Char('\n')) != held)
        return ::testing::AssertionFailure() << "document differs from storage";
    return ::testing::AssertionSuccess();
}

// Copies of the notes up to 20,000 characters, each told from the others by its title, as
// another program's change tells the lines it kept.
QString numberedNotes()
{
    QString text;
    for (int i = 0; text.size() < 20'000; ++i)
        text += QString(kDocument).replace(
            QStringLiteral("Title"), QStringLiteral("Title %1").arg(i));
    return text;
}

void typeAt(SourceHarness& h, const QString& after, const QString& text, int skip = 0)
{
    const qsizetype at = h.content().indexOf(after);
    ASSERT_GE(at, 0) << after.toStdString() << " in " << h.content().toStdString();
    h.setCaret(int(at + after.size() + skip));
    h.type(text);
}

} // namespace

TEST(BothPanes, TypingInTheSourcePaneIsFollowedInPlaceAroundTablesFencesAndLineBreaks)
{
    SourceHarness h(kDocument, true);
    ASSERT_TRUE(followsSource(h));
    // The block editor's caret after the edits: it rides along instead of being put back at
    // its old Markdown offset, as a reload would.
    QTextCursor caret(h.blocks->textView()->document());
    caret.setPosition(int(h.blocks->projected().storageOffset(h.content().indexOf(u"end"))));
    h.blocks->textView()->setTextCursor(caret);

    typeAt(h, QStringLiteral("Some"), QStringLiteral("X"));
    EXPECT_TRUE(followsSource(h));
    typeAt(h, QStringLiteral("text"), QStringLiteral("Y")); // right before the U+2028
    EXPECT_TRUE(followsSource(h));
    typeAt(h, QStringLiteral("Title"), QStringLiteral("!")); // before a CR LF of the file
    EXPECT_TRUE(followsSource(h));
    typeAt(h, QStringLiteral("more"), QStringLiteral("\n")); // before a lone CR
    EXPECT_TRUE(followsSource(h));
    h.key(Qt::Key_Backspace);
    EXPECT_TRUE(followsSource(h));
    typeAt(h, QStringLiteral("| 1"), QStringLiteral("0")); // inside a cell
    EXPECT_TRUE(followsSource(h));
    typeAt(h, QStringLiteral("| 2 |"), QStringLiteral("\n| 3 | 4 |")); // a new row
    EXPECT_TRUE(followsSource(h));
    EXPECT_TRUE(h.content().contains(QStringLiteral("| 2 |\n| 3 | 4 |\n\nafter")));
    typeAt(h, QStringLiteral("code |"), QStringLiteral("|")); // a pipe inside a fence
    EXPECT_TRUE(followsSource(h));
    typeAt(h, QStringLiteral("after table"), QStringLiteral("\n| x |\n|---|\n| y |"));
    EXPECT_TRUE(followsSource(h)); // a table made by typing
    EXPECT_EQ(h.blocks->projected().tableCount(), 2);

    // The line break between the table and the text after it, deleted and typed again.
    h.setCaret(int(h.content().indexOf(QStringLiteral("\n\nafter"))) + 1);
    h.key(Qt::Key_Delete);
    EXPECT_TRUE(followsSource(h));
    h.type(QStringLiteral("\n"));
    EXPECT_TRUE(followsSource(h));

    const qsizetype end = h.content().indexOf(QStringLiteral("end"));
    EXPECT_EQ(h.blocks->caretMarkdownOffset(), end);

    // A fence opened before the table turns everything below into code, and closed again.
    typeAt(h, QStringLiteral("line\n"), QStringLiteral("```\n"));
    EXPECT_TRUE(followsSource(h));
    EXPECT_EQ(h.blocks->projected().tableCount(), 0);
    h.key(Qt::Key_Backspace); // the header row becomes the fence's info string
    EXPECT_TRUE(followsSource(h));
    EXPECT_EQ(h.blocks->projected().tableCount(), 0);
    h.key(Qt::Key_Backspace);
    h.key(Qt::Key_Backspace);
    h.key(Qt::Key_Backspace);
    h.key(Qt::Key_Backspace);
    EXPECT_TRUE(followsSource(h));
    EXPECT_EQ(h.blocks->projected().tableCount(), 2);

    // A selection from the prose into the middle of the table, replaced.
    const qsizetype from = h.content().indexOf(QStringLiteral("more"));
    const qsizetype to = h.content().indexOf(QStringLiteral("|---|---|"));
    h.setCaret(int(to + 3), int(from));
    h.type(QStringLiteral("Q"));
    EXPECT_TRUE(followsSource(h));
}

TEST(BothPanes, LineBreaksAmongPipeLinesInTheSourcePaneMakeTablesOutsideFencesOnly)
{
    // The same pipe lines inside a fence and outside it, split into a table and joined again.
    const QString lines = QStringLiteral("| c | d ||---|---|\n");
    SourceHarness h(
        QStringLiteral("Text\n\n```\n") + lines + QStringLiteral("```\n\n") + lines, true);
    ASSERT_TRUE(followsSource(h));
    for (int expected : { 0, 1 }) {
        const qsizetype split = expected == 0 ? h.content().indexOf(QStringLiteral("|---"))
                                              : h.content().lastIndexOf(QStringLiteral("|---"));
        h.setCaret(int(split));
        h.type(QStringLiteral("\n"));
        EXPECT_TRUE(followsSource(h));
        EXPECT_EQ(h.blocks->projected().tableCount(), expected);
        h.key(Qt::Key_Backspace);
        EXPECT_TRUE(followsSource(h));
        EXPECT_EQ(h.blocks->projected().tableCount(), 0);
        h.type(QStringLiteral("\n"));
    }
    EXPECT_EQ(h.blocks->projected().tableCount(), 1);
    EXPECT_TRUE(followsSource(h));
}

TEST(BothPanes, UndoInEachPaneAfterEditsInTheOther)
{
    SourceHarness h(kDocument, true);
    const QString original = h.content();
    typeAt(h, QStringLiteral("| 1"), QStringLiteral("00"));
    typeAt(h, QStringLiteral("Some"), QStringLiteral(" more"));
    ASSERT_TRUE(followsSource(h));

    // The source pane's undo is an edit like any other: the block editor follows each step.
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(followsSource(h));
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(followsSource(h));
    EXPECT_EQ(h.content(), original);
    h.key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(followsSource(h));

    // One history for both panes: Ctrl+Z in the block editor undoes the source pane's last
    // edit, then its own, and the source pane redoes them.
    QTextEdit* blocks = h.blocks->textView();
    blocks->setFocus();
    QTextCursor cursor(blocks->document());
    cursor.setPosition(int(h.blocks->projected().storageOffset(h.content().indexOf(u"after"))));
    blocks->setTextCursor(cursor);
    const QString beforeW = h.content();
    h.type(QStringLiteral("W"), blocks);
    ASSERT_TRUE(followsSource(h));
    const QString withW = h.content();
    h.view()->setFocus();
    typeAt(h, QStringLiteral("end"), QStringLiteral("!"));
    const QString edited = h.content();
    blocks->setFocus();
    h.key(Qt::Key_Z, Qt::ControlModifier, blocks);
    EXPECT_EQ(h.content(), withW);
    EXPECT_TRUE(followsSource(h));
    h.key(Qt::Key_Z, Qt::ControlModifier, blocks);
    EXPECT_EQ(h.content(), beforeW);
    EXPECT_TRUE(followsSource(h));
    h.view()->setFocus();
    h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(h.content(), edited);
    EXPECT_TRUE(followsSource(h));

    // Undo in the block editor of its own edit, followed by the source pane.
    h.type(QStringLiteral("V"), blocks);
    h.key(Qt::Key_Z, Qt::ControlModifier, blocks);
    EXPECT_EQ(h.content(), edited);
    EXPECT_TRUE(followsSource(h));
    EXPECT_TRUE(h.onDisk().startsWith("# Title\r\n\r\nSome text"));
    EXPECT_TRUE(h.onDisk().contains("| 100 | 2 |\n\nWafter table"));
}

TEST(BothPanes, RandomKeysInTheSourcePaneAreFollowedExactly)
{
    SourceHarness h(kDocument + kDocument, true);
    QRandomGenerator random(1613);
    const QStringList keys { QStringLiteral("a"), QStringLiteral("|"), QStringLiteral("\n"),
        QStringLiteral("`"), QStringLiteral("-"), QStringLiteral(" "), QString() };
    for (int i = 0; i < 400; ++i) {
        const int length = int(h.content().size());
        const int at = int(random.bounded(length + 1));
        const int span
            = random.bounded(4) == 0 ? int(random.bounded(qMin(40, length - at) + 1)) : 0;
        h.setCaret(at + span, at);
        const QString& key = keys.at(random.bounded(keys.size()));
        if (key.isEmpty())
            h.key(random.bounded(2) ? Qt::Key_Backspace : Qt::Key_Delete);
        else
            h.type(key);
        ASSERT_TRUE(followsSource(h)) << "step " << i;
    }
}

TEST(BothPanes, TheBlockEditorKeepsItsScrollAndCaretWhileTheSourcePaneEditsElsewhere)
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("Paragraph %1 with some words.\n\n").arg(i);
    SourceHarness h(text, true);
    QTextEdit* blocks = h.blocks->textView();
    QTextCursor caret(blocks->document());
    caret.setPosition(int(text.indexOf(QStringLiteral("Paragraph 150 "))));
    blocks->setTextCursor(caret);
    blocks->verticalScrollBar()->setValue(blocks->verticalScrollBar()->maximum() / 2);
    const int scroll = blocks->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    typeAt(h, QStringLiteral("Paragraph 290"), QStringLiteral(" more"));
    typeAt(h, QStringLiteral("Paragraph 280 with"), QStringLiteral("\n\n| a |\n|---|\n| b |\n"));
    ASSERT_TRUE(followsSource(h));
    EXPECT_EQ(blocks->verticalScrollBar()->value(), scroll);
    EXPECT_EQ(h.blocks->caretMarkdownOffset(), h.content().indexOf(u"Paragraph 150 "));
}

TEST(BothPanes, EditsCrossingBetweenThePanesOfALongDocumentKeepTheTextsAndTheDiskEqual)
{
    QString text;
    for (int i = 0; text.size() < 60'000; ++i)
        text += QStringLiteral("Paragraph %1 with *some* words.\n\n").arg(i);
    SourceHarness h(text, true);
    QTextEdit* blocks = h.blocks->textView();
    for (int round = 0; round < 4; ++round) {
        h.view()->setFocus();
        h.setCaret(int(h.content().indexOf(QStringLiteral("words"), 20'000 * round)));
        h.type(QStringLiteral("typed "));
        ASSERT_TRUE(followsSource(h)) << "after source round " << round;

        // An edit in the block editor (before the source pane's caret from the second round
        // on): the pane shows it where it landed, its caret staying after what it typed.
        QTextCursor cursor(blocks->document()->findBlockByNumber(1 + 40 * round));
        cursor.movePosition(QTextCursor::EndOfBlock);
        blocks->setTextCursor(cursor);
        blocks->setFocus();
        h.type(QStringLiteral(" more"), blocks);
        if (round < 3) {
            h.key(Qt::Key_Backspace, Qt::NoModifier, blocks);
        }
        ASSERT_TRUE(followsSource(h)) << "after block round " << round;
        const int caret = h.view()->textCursor().position();
        EXPECT_EQ(h.source->text().mid(caret - 6, 11), QStringLiteral("typed words"));
    }
    EXPECT_EQ(h.onDisk(), h.content().toUtf8());
}

namespace {

// Inserts `text` at `at` (over `removed` characters) in `view` with no input event first: a
// change a pane makes of its own, or one another widget sets off in it.
void changeWithoutInput(QTextEdit* view, int at, int removed, const QString& text)
{
    QTextCursor cursor(view->document());
    cursor.setPosition(at);
    cursor.setPosition(at + removed, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

// A key pressed in `view`, its change made and handed to the other pane's binding, which
// has not shown it yet.
void keyNotFollowed(QWidget* view, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(view, &press);
}

// One of the panes, chosen at random and focused, its caret placed at random (with `select`,
// over a random selection).
QTextEdit* randomPane(const SourceHarness& h, QRandomGenerator& random, bool select)
{
    QTextEdit* pane = random.bounded(2) == 0 ? static_cast<QTextEdit*>(h.blocks->textView())
                                             : static_cast<QTextEdit*>(h.view());
    pane->setFocus();
    const int length = pane->document()->characterCount() - 1;
    QTextCursor cursor(pane->document());
    cursor.setPosition(int(random.bounded(length + 1)));
    if (select)
        cursor.setPosition(int(random.bounded(length + 1)), QTextCursor::KeepAnchor);
    pane->setTextCursor(cursor);
    return pane;
}

// Clicks a cell of a table the block editor shows, types into it and leaves it by Tab or
// Escape, or leaves it open.
void clickACell(const SourceHarness& h, QRandomGenerator& random)
{
    const ProjectedDocument& projected = h.blocks->projected();
    const QString& stored = projected.storage().text();
    QList<qsizetype> tables;
    for (qsizetype at = stored.indexOf(QChar::ObjectReplacementCharacter, projected.windowStart());
         at >= 0 && at < projected.windowEnd();
         at = stored.indexOf(QChar::ObjectReplacementCharacter, at + 1)) {
        if (MarkdownTableProjection::tableAt(projected.storage(), at))
            tables.append(at);
    }
    if (tables.isEmpty())
        return;
    const qsizetype at = tables.at(random.bounded(int(tables.size())));
    const TableLayout& layout = MarkdownTableProjection::tableAt(projected.storage(), at)->layout();
    QTextEdit* blocks = h.blocks->textView();
    blocks->setFocus();
    QTextCursor near(blocks->document());
    near.setPosition(projected.toDocument(at));
    blocks->setTextCursor(near);
    blocks->ensureCursorVisible();
    QApplication::processEvents();
    const int row = int(random.bounded(layout.rowCount + 1)) - 1; // the header too
    const int column = int(random.bounded(int(layout.columnWidths.size())));
    const QPoint point = cellCenter(*h.blocks, at, row, column);
    if (point.isNull() || !blocks->viewport()->rect().contains(point))
        return;
    QTest::mouseClick(blocks->viewport(), Qt::LeftButton, {}, point);
    QLineEdit* field = h.blocks->tableEditor().field();
    if (!field || !field->isVisible())
        return;
    QTest::keyClicks(field, QStringLiteral("q"));
    const int leave = int(random.bounded(3));
    if (leave == 0)
        QTest::keyClick(field, Qt::Key_Tab);
    else if (leave == 1)
        QTest::keyClick(field, Qt::Key_Escape);
    QApplication::processEvents();
}

} // namespace

TEST(BothPanes, AChangeMadeBeforeAPaneShowsTheOtherPanesEditsKeepsBoth)
{
    // The source pane changes its own text while it is behind a key typed in the block
    // editor: before the key's place, after it, and over it. The block editor does the same
    // behind a key typed in the source pane.
    const struct
    {
        const char* name;
        bool inSource;
        QString at; // the change starts here, in the text the pane shows
        int removed;
        QString typed;
        QString expected; // in the text with the key's "X" after "after "
    } cases[] = {
        { "source, before", true, QStringLiteral("Title"), 0, QStringLiteral("Y"),
            QStringLiteral("# YTitle") },
        { "source, after", true, QStringLiteral("end"), 0, QStringLiteral("Y"),
            QStringLiteral("```\n\nYend") },
        { "source, over", true, QStringLiteral("after table"), 11, QStringLiteral("Z"),
            QStringLiteral("\n\nZafter Xtable\n\n") },
        { "blocks, after", false, QStringLiteral("end"), 0, QStringLiteral("Y"),
            QStringLiteral("```\n\nYend") },
        { "blocks, before", false, QStringLiteral("Title"), 0, QStringLiteral("Y"),
            QStringLiteral("# YTitle") },
    };
    // Each pane holding the text whole, then a long text the source pane holds a window of.
    QString filler;
    for (int i = 0; i < 400; ++i)
        filler += QStringLiteral("Paragraph %1 with some words.\n\n").arg(i);
    for (const auto& c : cases)
        for (const bool windowed : { false, true }) {
            std::optional<PaneWindowLength> window;
            if (windowed)
                window.emplace(2000);
            SourceHarness h(windowed ? kDocument + filler : kDocument, true);
            ASSERT_EQ(h.view()->document()->characterCount() < h.content().size() / 2, windowed);
            QTextEdit* blocks = h.blocks->textView();
            const QString before = h.content();
            const int key = int(before.indexOf(u"after table") + 6);
            QTextEdit* changed = h.view();
            int at = int(before.indexOf(c.at));
            if (c.inSource) {
                QTextCursor caret(blocks->document());
                caret.setPosition(int(h.blocks->projected().storageOffset(key)));
                blocks->setTextCursor(caret);
                blocks->setFocus();
                keyNotFollowed(blocks, QStringLiteral("X"));
            } else {
                h.setCaret(key);
                keyNotFollowed(h.view(), QStringLiteral("X"));
                changed = blocks;
                at = int(h.blocks->projected().storageOffset(at));
            }
            ASSERT_EQ(h.content(), QString(before).insert(key, u'X')) << c.name;
            changeWithoutInput(changed, at, c.removed, c.typed);
            // Both in the document, and on disk: the pane's change where the key moved it.
            const QString content = h.content();
            EXPECT_TRUE(content.contains(c.expected)) << c.name << ": " << content.toStdString();
            EXPECT_EQ(content.size(), before.size() + 1 + c.typed.size()) << c.name;
            EXPECT_EQ(h.onDiskAsText(),
                content) << c.name; // the file keeps its line ends
            // Each pane shows the document's text after the turn.
            QApplication::processEvents();
            QApplication::processEvents();
            EXPECT_TRUE(followsSource(h)) << c.name;
        }
}

TEST(BothPanes, RandomKeysAndUndoInBothPanesInTurnKeepThePanesTheDocumentAndTheFileEqual)
{
    // Keys go to either pane, some of them before the other pane has shown the last one; undo
    // and redo in either; cells of the block editor's tables are typed into and left by Tab,
    // Escape or not at all; another program changes the text. Short texts are held whole, the
    // long one as a window in each pane.
    QString longer;
    for (int i = 0; longer.size() < 12'000; ++i)
        longer += kDocument;
    for (const auto& [text, window, seed] : { std::tuple(kDocument + kDocument, qsizetype(0), 4242),
             std::tuple(longer, qsizetype(1500), 4242), std::tuple(longer, qsizetype(1500), 17) }) {
        SCOPED_TRACE(testing::Message() << text.size() << " seed " << seed);
        const PaneWindowLength sourceWindow(window);
        const BlockWindowLength blockWindow(window);
        SourceHarness h(text, true);
        QTextEdit* blocks = h.blocks->textView();
        QRandomGenerator random(seed);
        const QStringList keys { QStringLiteral("a"), QStringLiteral("|"), QStringLiteral("\n"),
            QStringLiteral("`"), QStringLiteral("-"), QStringLiteral(" "), QString() };
        for (int i = 0; i < 300; ++i) {
            QTextEdit* pane = randomPane(h, random, false);
            const bool inBlocks = pane == blocks;
            const int what = int(random.bounded(24));
            if (what >= 22) {
                clickACell(h, random);
            } else if (what >= 20) {
                // Another program changed the file: a line put in or a stretch taken out.
                QString changed = h.content();
                const int at = int(random.bounded(changed.size() + 1));
                if (what == 20)
                    changed.insert(at, QStringLiteral("| x | y |\noutside\n"));
                else
                    changed.remove(at, int(random.bounded(60)));
                h.workspace->activeDocument()->replaceText(changed);
                QApplication::processEvents();
            } else if (what == 0) {
                h.key(Qt::Key_Z, Qt::ControlModifier, pane);
            } else if (what == 1) {
                h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, pane);
            } else if (what < 4) {
                // Typed without a turn of the event loop: the other pane is behind when the
                // next key reaches it.
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("b"));
                QApplication::sendEvent(pane, &press);
                QWidget* other = inBlocks ? static_cast<QWidget*>(h.view()) : blocks;
                other->setFocus();
                QKeyEvent next(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("c"));
                QApplication::sendEvent(other, &next);
                QApplication::processEvents();
            } else {
                const QString& key = keys.at(random.bounded(keys.size()));
                if (key.isEmpty())
                    h.key(random.bounded(2) ? Qt::Key_Backspace : Qt::Key_Delete, Qt::NoModifier,
                        pane);
                else
                    h.type(key, pane);
            }
            h.blocks->flushPendingWork();
            QApplication::processEvents();
            if (!followsSource(h)) {
                // A row typed into a line of text beside a table stays text in the block
                // editor until its caret leaves the line.
                blocks->setTextCursor(QTextCursor(blocks->document()));
                h.blocks->flushPendingWork();
                QApplication::processEvents();
            }
            ASSERT_TRUE(followsSource(h)) << "step " << i;
        }
        // A last key writes what the document holds (another program's change was not
        // written by it). The file writes the text's line feeds as CR LF where its lines had
        // them, and reads back as the text.
        h.view()->setFocus();
        h.type(QStringLiteral("z"));
        EXPECT_EQ(h.onDiskAsText(), h.content());
    }
}

TEST(BothPanes, WhatComesBeforeALongTextIsWholeInThePanesLandsWhereTheFirstScreenShowedIt)
{
    // A long text goes into the panes as its first screen first, the rest once that is painted;
    // meanwhile the user may place the caret, select, scroll and type, and another program may
    // change the file.
    const PaneWindowLength sourceWindow(3000);
    const BlockWindowLength blockWindow(3000);
    const FirstScreenLength firstScreen(8000, 600);
    const QString text = numberedNotes();

    {
        // A selection in the block view typed over, then a key in the source pane.
        SourceHarness h(text, true, false);
        ASSERT_TRUE(h.blocks->isLoading() && h.source->isLoading());
        ASSERT_LT(h.blocks->projected().storage().length(), 1000);
        ASSERT_LT(h.view()->document()->characterCount(), 1000);
        QString expected = h.content();
        const qsizetype second = expected.indexOf(QStringLiteral("# Title 3"));
        const qsizetype after = expected.indexOf(QStringLiteral("after table"), second);
        QTextEdit* blocks = h.blocks->textView();
        blocks->setFocus();
        QTextCursor cursor(blocks->document());
        const qsizetype at = h.blocks->projected().storageOffset(after);
        cursor.setPosition(int(at));
        cursor.setPosition(int(at + 5), QTextCursor::KeepAnchor);
        blocks->setTextCursor(cursor);
        h.type(QStringLiteral("X"), blocks);
        expected.replace(after, 5, QStringLiteral("X"));
        EXPECT_EQ(h.content(), expected);
        h.setCaret(int(second));
        h.view()->setFocus();
        h.type(QStringLiteral("Y"));
        expected.insert(second, QStringLiteral("Y"));
        EXPECT_EQ(h.content(), expected);
        h.untilWhole();
        EXPECT_TRUE(followsSource(h));
        EXPECT_EQ(h.blocks->caretMarkdownOffset(), after + 2);
        EXPECT_EQ(h.onDiskAsText(), expected);
    }
    {
        // Another program puts lines in above the caret and the selection of both panes and
        // changes the text's end (too much to take as an edit), and the block view was
        // scrolled: each keeps its caret on its text, the view on its lines, as the change
        // carries them.
        SourceHarness h(text, true, false);
        const ProjectedDocument& projected = h.blocks->projected();
        const qsizetype after = h.content().indexOf(QStringLiteral("after table"), 300);
        QTextEdit* blocks = h.blocks->textView();
        QTextCursor cursor(blocks->document());
        cursor.setPosition(int(projected.storageOffset(after)));
        blocks->setTextCursor(cursor);
        h.setCaret(int(after + 3), int(after));
        // Painted (its completion waits for the next turn), the first screen has a height.
        blocks->viewport()->repaint();
        blocks->verticalScrollBar()->setValue(230);
        ASSERT_EQ(blocks->verticalScrollBar()->value(), 230);
        auto topOfView = [&] {
            const QTextBlock top = blocks->cursorForPosition(QPoint(0, 0)).block();
            return projected.markdownOffset(projected.toStorage(top.position()));
        };
        const qsizetype top = topOfView();
        ASSERT_GT(top, 0);
        const QString content = h.content();
        h.workspace->activeDocument()->replaceText(QStringLiteral("put in\n\n")
            + content.left(content.size() - 100) + QStringLiteral("changed end\n"));
        const ReplacedStretch change = h.workspace->activeDocument()->lastReplacement();
        ASSERT_FALSE(change.isSmallNextTo(h.content().size()));
        h.untilWhole();
        EXPECT_TRUE(followsSource(h));
        EXPECT_EQ(h.blocks->caretMarkdownOffset(), change.map(after));
        EXPECT_EQ(h.view()->textCursor().selectedText(), h.content().mid(change.map(after), 3));
        EXPECT_EQ(topOfView(), change.map(top));
        h.type(QStringLiteral("Z"));
        EXPECT_EQ(h.onDiskAsText(), h.content());
    }
    {
        // Shown at its top, the source pane stays there (its margin too) once its window takes
        // the first screen's place.
        SourceHarness h(text, true, false);
        h.view()->viewport()->repaint();
        ASSERT_EQ(h.view()->verticalScrollBar()->value(), 0);
        h.untilWhole();
        EXPECT_EQ(h.view()->verticalScrollBar()->value(), 0);
    }
}

TEST(BothPanes, KeysTypedIntoTheFirstScreenAreShownAtOnceAndTheWholeTextTakesThem)
{
    // Keys typed into the block view while its whole text is still being made are its first
    // screen's, at once; the whole text takes them, and those of the other pane, when it is made.
    const PaneWindowLength sourceWindow(3000);
    const BlockWindowLength blockWindow(3000);
    const FirstScreenLength firstScreen(8000, 600);
    const QString text = numberedNotes();
    std::optional<HeldProjections> held;
    held.emplace();
    SourceHarness h(text, true, false);
    QTextEdit* blocks = h.blocks->textView();
    QString expected = h.content();
    const qsizetype after = expected.indexOf(QStringLiteral("after table"), 300);
    blocks->setFocus();
    QTextCursor cursor(blocks->document());
    cursor.setPosition(int(h.blocks->projected().storageOffset(after)));
    blocks->setTextCursor(cursor);
    h.type(QStringLiteral("ab\nc"), blocks);
    h.key(Qt::Key_Backspace, Qt::NoModifier, blocks);
    h.type(QStringLiteral("d"), blocks);
    expected.insert(after, QStringLiteral("ab\nd"));
    EXPECT_TRUE(h.blocks->isLoading());
    EXPECT_LT(blocks->document()->characterCount(), 1000);
    EXPECT_TRUE(blocks->document()->toPlainText().contains(QStringLiteral("ab\ndafter table")));
    EXPECT_TRUE(h.content() == expected);
    EXPECT_TRUE(h.onDiskAsText() == expected);
    // A key of the other pane, then one that would change a table: the view puts its whole
    // text in first, which takes every key so far.
    const qsizetype end = expected.indexOf(QStringLiteral("\nend\n"), after);
    h.setCaret(int(end));
    h.type(QStringLiteral("Y"));
    expected.insert(end, QStringLiteral("Y"));
    h.type(QStringLiteral("|"), blocks);
    expected.insert(after + 4, QStringLiteral("|"));
    EXPECT_TRUE(h.content() == expected);
    held.reset();
    h.untilWhole();
    EXPECT_TRUE(followsSource(h));
    EXPECT_EQ(h.blocks->caretMarkdownOffset(), after + 5);
    EXPECT_TRUE(h.onDiskAsText() == expected);
}

TEST(BothPanes, RandomInputBeforeALongTextIsWholeKeepsThePanesTheDocumentAndTheFileEqual)
{
    // A few random actions while the panes show a long text's first screen (keys in either
    // pane at a random place or over a selection, Select All, Ctrl+End, undo, a scroll, another
    // program's change), then a few more once the text is whole.
    const PaneWindowLength sourceWindow(3000);
    const BlockWindowLength blockWindow(3000);
    const FirstScreenLength firstScreen(8000, 600);
    const QString text = numberedNotes();
    for (int seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        QRandomGenerator random { quint32(seed) };
        // Every other seed acts while the block view's whole text is still being made.
        std::optional<HeldProjections> held;
        if (seed % 2)
            held.emplace();
        SourceHarness h(text, true, false);
        QTextEdit* blocks = h.blocks->textView();
        auto act = [&] {
            QTextEdit* pane = randomPane(h, random, true);
            switch (random.bounded(8)) {
            case 0:
                h.key(Qt::Key_A, Qt::ControlModifier, pane);
                h.type(QStringLiteral("all"), pane);
                break;
            case 1:
                h.key(Qt::Key_End, Qt::ControlModifier, pane);
                h.type(QStringLiteral("end"), pane);
                break;
            case 2:
                h.key(Qt::Key_Z, Qt::ControlModifier, pane);
                break;
            case 3:
                pane->verticalScrollBar()->setValue(int(random.bounded(400)));
                break;
            case 4: {
                QString changed = h.content();
                changed.insert(int(random.bounded(changed.size() + 1)), QStringLiteral("| x |\n"));
                h.workspace->activeDocument()->replaceText(changed);
                break;
            }
            case 5:
                h.key(Qt::Key_Backspace, Qt::NoModifier, pane);
                break;
            default:
                h.type(random.bounded(2) ? QStringLiteral("w\n") : QStringLiteral("|"), pane);
                break;
            }
        };
        for (int i = int(random.bounded(3)); i >= 0; --i)
            act();
        held.reset();
        h.untilWhole();
        for (int i = 0; i < 3; ++i) {
            act();
            h.blocks->flushPendingWork();
            QApplication::processEvents();
        }
        blocks->setTextCursor(QTextCursor(blocks->document()));
        h.blocks->flushPendingWork();
        QApplication::processEvents();
        ASSERT_TRUE(followsSource(h));
        h.view()->setFocus();
        h.type(QStringLiteral("z"));
        EXPECT_EQ(h.onDiskAsText(), h.content());
    }
}
