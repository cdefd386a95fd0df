// The source pane as a user meets it: typing, colouring, outside replacements, undo across
// documents, both panes side by side, find and scroll-to-line.
#include "ScreenPixels.h"
#include "SourceHarness.h"
#include "ViewsHarness.h"

#include "editor/chrome/LocalSearchSteps.h"
#include "editor/document/DocumentFind.h"
#include "editor/source/SourceColouring.h"
#include "editor/source/SourceDocumentLayout.h"
#include "markdown/CodeSyntaxHighlighter.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "platform/AttributedText.h"
#include "platform/ChunkedText.h"
#include "platform/TextLines.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QScrollBar>
#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

struct ColourRun
{
    int start;
    int length;
    QRgb color;
    bool operator==(const ColourRun&) const = default;
};

// The colours the highlighter gives each paragraph of `text`, besides the plain text colour.
QList<QList<ColourRun>> expectedColours(const QString& text, bool dark)
{
    AttributedText coloured(text);
    CodeSyntaxHighlighter::highlight(coloured, dark, 15);
    const QColor base = CodeSyntaxHighlighter::textColor(dark);
    QList<QList<ColourRun>> blocks;
    qsizetype start = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QList<ColourRun> runs;
        coloured.enumerateAttribute<TextAttribute::ForegroundColor>(
            { start, line.size() }, [&](TextSpan span, const QColor* color) {
                if (color && *color != base)
                    runs.append({ int(span.location - start), int(span.length), color->rgba() });
            });
        blocks.append(runs);
        start += line.size() + 1;
    }
    return blocks;
}

// The colours the pane holds for each paragraph: its layout keeps them until the paragraph is
// laid out, and a laid-out paragraph's text layout carries them.
QList<QList<ColourRun>> shownColours(const SourceTextEdit& view)
{
    const SourceDocumentLayout& layout = view.sourceLayout();
    QList<QList<ColourRun>> blocks;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        const QList<QTextLayout::FormatRange> formats = layout.formats(block);
        if (block.layout()->lineCount() > 0) {
            EXPECT_EQ(block.layout()->formats(), formats) << "block " << block.blockNumber();
        }
        QList<ColourRun> runs;
        for (const QTextLayout::FormatRange& range : formats)
            runs.append({ range.start, range.length, range.format.foreground().color().rgba() });
        blocks.append(runs);
    }
    return blocks;
}

QString numberedLines(int count, const QString& word = QStringLiteral("line"))
{
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("%1 %2\n").arg(word).arg(i);
    return text;
}

} // namespace

TEST(SourcePane, TypingWritesTheWholeTextOnceAndShowsTheHighlightersColours)
{
    SourceHarness h(QStringLiteral("Intro with **bold**\n\nplain\n"));
    EXPECT_TRUE(h.written.isEmpty()); // loading writes nothing
    EXPECT_EQ(shownColours(*h.view()), expectedColours(h.content(), false));

    h.setCaret(21);
    h.type(QStringLiteral("# "));
    EXPECT_EQ(h.content(), QStringLiteral("Intro with **bold**\n\n# plain\n"));
    EXPECT_EQ(h.written.size(), 2);
    EXPECT_EQ(h.onDisk(), h.content().toUtf8());
    EXPECT_EQ(shownColours(*h.view()), expectedColours(h.content(), false));
    EXPECT_EQ(h.source->text(), h.content());
}

TEST(SourcePane, EveryCharacterSurvivesLoadingEditingAndSaving)
{
    const QString text = QStringLiteral("nbsp\u00A0here\u2028line sep\rlone cr\u2029para 😀 ")
        + QChar(char16_t(0xFDD0)) + QStringLiteral("mark\t\u200Dzwj\n");
    SourceHarness h(text);
    EXPECT_EQ(h.source->text(), text);
    EXPECT_FALSE(h.view()->isReadOnly());
    h.setCaret(int(text.size()));
    h.type(QStringLiteral("!"));
    EXPECT_EQ(h.content(), text + QStringLiteral("!"));
    EXPECT_EQ(h.onDisk(), (text + QStringLiteral("!")).toUtf8());

    // Every code unit of the basic plane the pane can hold comes back from its document.
    QString all;
    for (char16_t u = 1; u < 0xD800; ++u)
        all.append(QChar(u));
    for (char16_t u = 0xE000; u != 0; ++u) {
        if (u < 0xFDEC || u > 0xFDEF)
            all.append(QChar(u));
    }
    h.workspace->setCurrentFileContent(all);
    EXPECT_EQ(h.source->text(), all);
    h.setCaret(0);
    h.type(QStringLiteral("x"));
    EXPECT_EQ(h.content(), QStringLiteral("x") + all);
}

TEST(SourcePane, PastedLineBreaksBecomeLineFeedsAndStandInsNeverComeIn)
{
    SourceHarness h(QStringLiteral("ab\n"));
    h.setCaret(1);
    QApplication::clipboard()->setText(QStringLiteral("1\r\n2") + QChar(char16_t(0xFDEF)) + u'3');
    h.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringLiteral("a1\n23b\n"));
    EXPECT_EQ(h.onDisk(), QByteArray("a1\n23b\n"));
}

TEST(SourcePane, ATextItCannotGiveBackOrAnUnreadableFileIsShownButNeverEdited)
{
    SourceHarness h(QStringLiteral("a") + QChar(char16_t(0xFDEF)) + QStringLiteral("b"));
    EXPECT_TRUE(h.view()->isReadOnly());
    h.type(QStringLiteral("x"));
    EXPECT_TRUE(h.written.isEmpty());

    const QString broken = h.tree.write(QStringLiteral("broken.md"), QByteArray("ab\xff\xfe cd"));
    h.workspace->openFile(broken);
    QApplication::processEvents();
    ASSERT_FALSE(h.workspace->documentError().isEmpty());
    EXPECT_TRUE(h.view()->isReadOnly());
    h.type(QStringLiteral("x"));
    EXPECT_EQ(h.onDisk(QStringLiteral("broken.md")), QByteArray("ab\xff\xfe cd"));
}

TEST(SourcePane, AnOutsideEditThatBringsOrTakesAStandInTurnsEditingOffOrOn)
{
    const QString text = numberedLines(50);
    SourceHarness h(text);
    ASSERT_FALSE(h.view()->isReadOnly());
    QString withStandIn = text;
    withStandIn.insert(40, QChar(char16_t(0xFDEC)));
    h.workspace->setCurrentFileContent(withStandIn);
    EXPECT_TRUE(h.view()->isReadOnly());
    QString other = withStandIn;
    other.insert(5, QStringLiteral("more"));
    h.workspace->setCurrentFileContent(other);
    EXPECT_TRUE(h.view()->isReadOnly());
    h.workspace->setCurrentFileContent(text);
    EXPECT_FALSE(h.view()->isReadOnly());
    h.type(QStringLiteral("x"));
    EXPECT_FALSE(h.view()->isReadOnly());
}

TEST(SourcePane, AnOutsideReplacementKeepsSelectionAndScrollAndClearsTheHistory)
{
    const QString text = numberedLines(300);
    SourceHarness h(text);
    h.type(QStringLiteral("x"));
    ASSERT_TRUE(h.source->document().canUndo());
    h.setCaret(120, 100);
    h.view()->verticalScrollBar()->setValue(40);
    const int scroll = h.view()->verticalScrollBar()->value();

    // An edit far away, as the block editor or a reload would make it.
    QString changed = h.content();
    changed.replace(QStringLiteral("line 250"), QStringLiteral("LINE 250 changed"));
    h.workspace->setCurrentFileContent(changed);
    EXPECT_EQ(h.source->text(), changed);
    EXPECT_EQ(h.view()->textCursor().anchor(), 100);
    EXPECT_EQ(h.view()->textCursor().position(), 120);
    EXPECT_EQ(h.view()->verticalScrollBar()->value(), scroll);
    EXPECT_FALSE(h.source->document().canUndo());
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), changed);

    // A shorter text: the selection is limited to its end.
    h.workspace->setCurrentFileContent(QStringLiteral("short"));
    EXPECT_EQ(h.view()->textCursor().anchor(), 5);
    EXPECT_EQ(h.view()->textCursor().position(), 5);
    EXPECT_EQ(shownColours(*h.view()), expectedColours(QStringLiteral("short"), false));
}

TEST(SourcePane, UndoAfterSwitchingTabsNeverTouchesTheOtherDocument)
{
    ViewsHarness h(QStringLiteral("first document\n"), true);
    const QString other = h.tree.write(QStringLiteral("other.md"), "same\n");
    h.source()->textView()->setFocus();
    h.source()->textView()->moveCursor(QTextCursor::Start);
    h.type(QStringLiteral("X"));
    ASSERT_EQ(h.onDisk(), QByteArray("Xfirst document\n"));

    // Another document: its own pane, with no history of its own yet.
    h.open(other);
    ASSERT_EQ(h.source()->text(), QStringLiteral("same\n"));
    EXPECT_TRUE(h.source()->textView()->hasFocus());
    h.key(Qt::Key_Z, Qt::ControlModifier);
    h.key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringLiteral("same\n"));
    EXPECT_EQ(h.onDisk(QStringLiteral("other.md")), QByteArray("same\n"));

    // Back on the first document, its history is its own: undo takes the X away there only.
    h.select(h.path);
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.onDisk(), QByteArray("first document\n"));
    EXPECT_EQ(h.onDisk(QStringLiteral("other.md")), QByteArray("same\n"));
    EXPECT_EQ(h.editor()->markdown(), QStringLiteral("first document\n"));

    // A text replaced from outside ends the history.
    h.type(QStringLiteral("Y"));
    h.workspace->setCurrentFileContent(QStringLiteral("Xfirst document\n"));
    EXPECT_FALSE(h.source()->document().canUndo());
}

TEST(SourcePane, WithBothPanesAnEditInEitherReachesTheOtherAndIsWrittenOnce)
{
    SourceHarness h(QStringLiteral("# Title\n\nSome text.\n"), true);
    h.setCaret(9);
    h.type(QStringLiteral("Z"));
    EXPECT_EQ(h.blocks->markdown(), QStringLiteral("# Title\n\nZSome text.\n"));
    EXPECT_EQ(h.written.size(), 1);

    QTextCursor cursor = h.blocks->textView()->textCursor();
    cursor.movePosition(QTextCursor::End);
    h.blocks->textView()->setTextCursor(cursor);
    h.blocks->textView()->setFocus();
    h.type(QStringLiteral("Y"), h.blocks->textView());
    EXPECT_EQ(h.source->text(), QStringLiteral("# Title\n\nZSome text.\nY"));
    EXPECT_EQ(h.written.size(), 2);
    EXPECT_EQ(h.onDisk(), QByteArray("# Title\n\nZSome text.\nY"));

    // One history for the document: the source pane undoes the block editor's "Y", then its
    // own "Z", and redoes them in order.
    h.view()->setFocus();
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringLiteral("# Title\n\nZSome text.\n"));
    EXPECT_EQ(h.blocks->markdown(), h.content());
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringLiteral("# Title\n\nSome text.\n"));
    h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(h.content(), QStringLiteral("# Title\n\nZSome text.\nY"));
    EXPECT_EQ(h.blocks->markdown(), h.content());
    EXPECT_EQ(h.source->text(), h.content());
    EXPECT_EQ(h.onDisk(), QByteArray("# Title\n\nZSome text.\nY"));
}

TEST(SourcePane, ParagraphsPastedIntoTheBlockEditorAreColouredInTheSourcePaneAtOnce)
{
    // A short text is coloured whole after an edit, a long one around it.
    const SteadyCaretScope steady;
    for (const int repeats : { 1, 3000 }) {
        ViewsHarness h(QStringLiteral("Intro line.\n\n").repeated(repeats)
                + QStringLiteral("Before the paste.\n\nAfter it.\n"),
            true);
        const qsizetype at = h.content().indexOf(QStringLiteral("the paste.")) + 10;
        h.source()->textView()->verticalScrollBar()->setValue(
            h.source()->textView()->verticalScrollBar()->maximum());
        h.setCaret(at);
        QApplication::clipboard()->setText(QStringLiteral(
            "\n\nPasted text.\n\n- first\n- second\n  - nested\n\n1. one\n2. two\n\n* star\n"));
        h.key(Qt::Key_V, Qt::ControlModifier);
        ASSERT_TRUE(h.content().contains(QStringLiteral("- first\n- second")));
        ASSERT_EQ(h.source()->text(), h.content());
        EXPECT_EQ(shownColours(*h.source()->textView()), expectedColours(h.content(), false));
        EXPECT_TRUE(stalePixels(h.source()->textView()->viewport()).isEmpty());
    }
}

TEST(SourcePane, TheContextMenusUndoAndRedoWalkTheDocumentsSharedHistory)
{
    SourceHarness h(QStringLiteral("first\n"), true);
    EXPECT_EQ(h.contextMenu(QStringLiteral("Undo"), false), false);
    h.setCaret(5);
    h.type(QStringLiteral(" line"));
    EXPECT_EQ(h.contextMenu(QStringLiteral("Redo"), false), false);

    EXPECT_EQ(h.contextMenu(QStringLiteral("Undo"), true), true);
    EXPECT_EQ(h.onDisk(), QByteArray("first\n"));
    EXPECT_EQ(h.source->text(), QStringLiteral("first\n"));
    EXPECT_EQ(h.blocks->markdown(), QStringLiteral("first\n"));
    EXPECT_EQ(h.contextMenu(QStringLiteral("Redo"), true), true);
    EXPECT_EQ(h.onDisk(), QByteArray("first line\n"));

    // An edit made in the block editor is a step of the same history.
    QTextCursor cursor = h.blocks->textView()->textCursor();
    cursor.movePosition(QTextCursor::End);
    h.blocks->textView()->setTextCursor(cursor);
    h.blocks->textView()->setFocus();
    h.type(QStringLiteral("more"), h.blocks->textView());
    EXPECT_EQ(h.onDisk(), QByteArray("first line\nmore"));
    h.view()->setFocus();
    EXPECT_EQ(h.contextMenu(QStringLiteral("Undo"), true), true);
    EXPECT_EQ(h.onDisk(), QByteArray("first line\n"));
    EXPECT_EQ(h.blocks->markdown(), QStringLiteral("first line\n"));
    // And the block editor's menu offers the step back.
    EXPECT_EQ(h.contextMenu(QStringLiteral("Redo"), true, h.blocks->textView()), true);
    EXPECT_EQ(h.onDisk(), QByteArray("first line\nmore"));
    EXPECT_EQ(h.source->text(), QStringLiteral("first line\nmore"));
}

TEST(SourcePane, ParagraphsPastedAboveTheShownLinesLeaveNothingPaintedStaleOnceMeasured)
{
    // Pasted paragraphs too many to lay out at once stand with estimated heights until they are
    // measured while the user pauses; the pane then keeps the lines on screen still.
    const SteadyCaretScope steady;
    QString intro;
    for (int i = 1; i <= 40; ++i)
        intro
            += QStringLiteral("Paragraph %1 of the document, long enough to wrap onto a second "
                              "line of the pane: https://example.com/a/rather/long/address/%1\n\n")
                   .arg(i);
    ViewsHarness h(intro, true);
    SourceTextEdit* pane = h.source()->textView();
    pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
    const qsizetype at = h.content().indexOf(QStringLiteral("Paragraph 4 "));
    h.setCaret(at);
    QTextCursor selection = h.view()->textCursor();
    selection.setPosition(
        int(h.editor()->projected().storageOffset(at + 300)), QTextCursor::KeepAnchor);
    h.view()->setTextCursor(selection);
    QString pasted;
    for (int i = 1; i <= 60; ++i)
        pasted
            += QStringLiteral("* \\[[`%1`](https://example.com/project/commit/%1)] - **src**: "
                              "fix item %1 (A. Contributor) [#%1](https://example.com/pull/%1)\n")
                   .arg(46000 + i);
    QApplication::clipboard()->setText(pasted + QStringLiteral("\n"));
    h.key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(h.content().contains(pasted));
    const int scroll = pane->verticalScrollBar()->value();
    QTest::qWait(800);
    ASSERT_NE(pane->verticalScrollBar()->value(), scroll) << "nothing was measured above";
    EXPECT_TRUE(stalePixels(pane->viewport()).isEmpty());
}

TEST(SourcePane, FindPaintsCountsAndRevealsTheActiveMatchWithoutMovingTheCaret)
{
    QString text = numberedLines(200);
    text.replace(QStringLiteral("line 3\n"), QStringLiteral("line 3 Needle\n"));
    text.replace(QStringLiteral("line 180\n"), QStringLiteral("line 180 needle\n"));
    SourceHarness h(text);
    h.setCaret(0);
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("needle "));
    QApplication::processEvents();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 2);
    // Only what is on screen is painted: the first match, not the one at line 180.
    ASSERT_EQ(h.view()->extraSelections().size(), 1);
    EXPECT_EQ(h.view()->extraSelections().at(0).cursor.selectedText(), QStringLiteral("Needle"));

    h.workspace->setCurrentLocalMatchIndex(1);
    ASSERT_EQ(h.view()->extraSelections().size(), 1);
    EXPECT_EQ(h.view()->extraSelections().at(0).cursor.selectedText(), QStringLiteral("needle"));
    EXPECT_TRUE(h.view()->extraSelections().at(0).format.hasProperty(QTextFormat::ForegroundBrush));
    const QTextBlock target = h.view()->document()->findBlockByNumber(179);
    const QRect shown = h.view()->cursorRect(QTextCursor(target));
    EXPECT_GE(shown.top(), 0);
    EXPECT_LT(shown.bottom(), h.view()->viewport()->height());
    EXPECT_EQ(h.view()->textCursor().position(), 0);

    // An index past the end reveals the last match; a closed bar paints nothing and keeps the
    // count.
    h.workspace->setCurrentLocalMatchIndex(0);
    h.workspace->setCurrentLocalMatchIndex(7);
    EXPECT_TRUE(h.view()->cursorRect(QTextCursor(target)).intersects(h.view()->viewport()->rect()));
    h.workspace->setIsLocalSearchVisible(false);
    QApplication::processEvents();
    EXPECT_TRUE(h.view()->extraSelections().isEmpty());
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 2);
}

TEST(SourcePane, FindNextAfterEditsWrapsAndLandsOnTheRightMatch)
{
    QString text = numberedLines(300);
    for (int line : { 10, 150, 290 })
        text.replace(QStringLiteral("line %1\n").arg(line), QStringLiteral("cat %1\n").arg(line));
    SourceHarness h(text);
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("cat"));
    QApplication::processEvents();
    // The active match: painted in its own colours, on screen.
    auto active = [&h]() -> int {
        for (const QTextEdit::ExtraSelection& selection : h.view()->extraSelections()) {
            if (selection.format.hasProperty(QTextFormat::ForegroundBrush))
                return selection.cursor.selectionStart();
        }
        return -1;
    };
    auto matchesOf = [&h] {
        QList<int> starts;
        for (qsizetype i = h.content().indexOf(QStringLiteral("cat")); i >= 0;
             i = h.content().indexOf(QStringLiteral("cat"), i + 1))
            starts.append(int(i));
        return starts;
    };

    // A match typed in the middle and one typed away: every step lands on the next match in
    // the text as it is now, and the step past the last wraps to the first.
    h.setCaret(int(text.indexOf(QStringLiteral("line 100\n"))));
    h.type(QStringLiteral("cat "));
    const int renamed = int(h.content().indexOf(QStringLiteral("cat 150")));
    h.setCaret(renamed + 3, renamed);
    h.type(QStringLiteral("dog"));
    QApplication::processEvents();
    const QList<int> matches = matchesOf();
    ASSERT_EQ(matches.size(), 3);
    ASSERT_EQ(h.workspace->totalLocalMatchCount(), 3);
    for (int step = 1; step <= 4; ++step) {
        LocalSearchSteps::stepNext(*h.workspace);
        EXPECT_EQ(active(), matches.at(step % 3)) << "step " << step;
        const QTextBlock shown = h.view()->document()->findBlock(matches.at(step % 3));
        EXPECT_TRUE(
            h.view()->cursorRect(QTextCursor(shown)).intersects(h.view()->viewport()->rect()));
    }
    EXPECT_EQ(h.workspace->currentLocalMatchIndex(), 1);
    EXPECT_EQ(h.onDisk(), h.content().toUtf8());

    // A query whose matches could overlap: an edit shifts how every later run of them pairs
    // up, and the matches stay those of a search of the whole text.
    h.workspace->setLocalSearchQuery(QStringLiteral("aa"));
    const QList<int> places = { 5, 700, 40, 1200, 41, 1201, 1200, 5 };
    for (int i = 0; i < places.size(); ++i) {
        h.setCaret(places.at(i));
        h.type(i == 3 ? QStringLiteral("AAAAAAA") : QStringLiteral("a"));
        if (i == 7)
            h.key(Qt::Key_Backspace);
        ASSERT_EQ(h.source->find().matches(),
            MarkdownTextViewSupport::findMatches(h.content(), QStringLiteral("aa")))
            << "after edit " << i;
    }
}

TEST(SourcePane, ScrollToLineSelectsTheLineAndIgnoresLinesBeyondTheText)
{
    SourceHarness h(QStringLiteral("one\r\ntwo\nthree"));
    h.source->scrollToLine(2);
    EXPECT_EQ(h.view()->textCursor().selectedText(), QStringLiteral("two\u2029"));
    h.source->scrollToLine(3);
    EXPECT_EQ(h.view()->textCursor().selectedText(), QStringLiteral("three"));
    h.source->scrollToLine(9);
    EXPECT_EQ(h.view()->textCursor().selectedText(), QStringLiteral("three"));
    EXPECT_TRUE(h.written.isEmpty());
}

// The blocks on screen (with a screen's margin below) show the colours of a full colouring.
::testing::AssertionResult screenIsColoured(const SourceHarness& h)
{
    const SourceTextEdit& view = *h.view();
    const int first = view.cursorForPosition(QPoint(0, 0)).blockNumber();
    const int last
        = view.cursorForPosition(QPoint(view.viewport()->width(), 2 * view.viewport()->height()))
              .blockNumber();
    const QList<QList<ColourRun>> shown = shownColours(view);
    const QList<QList<ColourRun>> expected = expectedColours(h.source->text(), false);
    for (int block = first; block <= last; ++block) {
        if (shown.at(block) != expected.at(block))
            return ::testing::AssertionFailure() << "block " << block << " differs";
    }
    return ::testing::AssertionSuccess();
}

TEST(SourcePane, ALongTextIsColouredAroundAnEditAtOnceAndWhollyOnceTypingPauses)
{
    // What is looked at here is the pane holding the whole long text.
    const PaneWindowLength whole(-1);
    QString text;
    while (text.size() <= 300'000) {
        text += QStringLiteral(
            "Some *prose* with a [link](x).\n\n```\ncode line\n\nmore code\n```\n\n");
    }
    text += QStringLiteral("A [link whose\ntext spans](lines)\n");
    SourceHarness h(text);
    // Loaded: the screen at once, the rest in slices.
    EXPECT_TRUE(screenIsColoured(h));
    h.source->flushPendingWork();
    EXPECT_EQ(shownColours(*h.view()), expectedColours(text, false));

    // Inside a fenced block, next to a blank line of it: the typed text is code at once.
    const int inFence = int(text.indexOf(QStringLiteral("more code"), 100'000));
    h.setCaret(inFence);
    h.type(QStringLiteral("# x "));
    const int block = h.view()->textCursor().blockNumber();
    EXPECT_EQ(shownColours(*h.view()).at(block), expectedColours(h.content(), false).at(block));

    // A fence line typed key by key pairs every later fence the other way: what is on screen
    // follows every key, the rest once typing pauses; closing the block pairs them back.
    h.setCaret(int(text.indexOf(QStringLiteral("Some"), 200'000)));
    h.view()->centerCursor();
    for (const QString& keys : { QStringLiteral("``"), QStringLiteral("`\n"),
             QStringLiteral("typed code\n"), QStringLiteral("``"), QStringLiteral("`\n") }) {
        for (QChar key : keys) {
            h.type(key);
            ASSERT_TRUE(screenIsColoured(h)) << "after typing " << keys.toStdString();
        }
    }
    h.type(QStringLiteral("```\n"));
    EXPECT_TRUE(screenIsColoured(h));
    EXPECT_TRUE(h.source->colouringIsPending());
    h.setCaret(10);
    h.type(QStringLiteral("**bold** "));
    h.source->flushPendingWork();
    EXPECT_FALSE(h.source->colouringIsPending());
    EXPECT_EQ(shownColours(*h.view()), expectedColours(h.content(), false));

    // A carriage return or a line separator starts a line too: one pasted before three
    // backquotes inside a paragraph makes a fence line of them.
    for (const QString& pasted : { QStringLiteral("x\r```"), QStringLiteral("y\u2028```") }) {
        h.setCaret(int(h.content().indexOf(QStringLiteral("prose"), 150'000)));
        h.view()->centerCursor();
        QApplication::clipboard()->setText(pasted);
        h.key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_TRUE(screenIsColoured(h));
        h.source->flushPendingWork();
        EXPECT_EQ(shownColours(*h.view()), expectedColours(h.content(), false));
    }
    EXPECT_EQ(h.source->text(), h.content());
    EXPECT_EQ(h.onDisk(), h.content().toUtf8());
}

TEST(SourcePane, AppearanceAndSizeChangeNeitherTheTextNorTheSelection)
{
    SourceHarness h(QStringLiteral("---\ntitle: \"x\"\n---\n# Heading\n"));
    h.setCaret(8, 4);
    h.source->setDarkMode(true);
    EXPECT_EQ(shownColours(*h.view()), expectedColours(h.content(), true));
    EXPECT_EQ(h.view()->palette().color(QPalette::Text), CodeSyntaxHighlighter::textColor(true));
    h.workspace->setEditorFontSize(20);
    EXPECT_EQ(h.view()->font().pixelSize(), 20);
    h.workspace->setEditorFontSize(15); // a stored setting: later tests start from the default
    EXPECT_EQ(h.view()->textCursor().anchor(), 4);
    EXPECT_EQ(h.view()->textCursor().position(), 8);
    EXPECT_TRUE(h.written.isEmpty());
}

TEST(SourcePane, AHiddenPaneFollowsTheDocumentWhenShownAndCountsNothingMeanwhile)
{
    SourceHarness h(QStringLiteral("first cat\n"), true);
    h.type(QStringLiteral("X"));
    ASSERT_TRUE(h.source->document().canUndo());
    h.source->hide();

    // Edits in the block editor and a query while the pane is hidden.
    QTextCursor cursor = h.blocks->textView()->textCursor();
    cursor.movePosition(QTextCursor::End);
    h.blocks->textView()->setTextCursor(cursor);
    h.type(QStringLiteral(" cat"), h.blocks->textView());
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("cat"));
    QApplication::processEvents();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 2);

    h.source->show();
    QApplication::processEvents();
    EXPECT_EQ(h.source->text(), h.content());
    EXPECT_EQ(h.view()->extraSelections().size(), 2);
    // The document's history: undo here takes back what the block editor typed meanwhile.
    h.view()->setFocus();
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.content(), QStringLiteral("Xfirst cat\n"));
    EXPECT_EQ(h.onDisk(), h.content().toUtf8());
    EXPECT_EQ(h.content(), h.blocks->markdown());
    EXPECT_EQ(h.source->text(), h.content());
}

TEST(SourcePane, ALongTextIsPutInSliceBySliceAndWhatNeedsItWholeHasTheRestPutInFirst)
{
    // What is looked at here is the pane holding the whole long text.
    const PaneWindowLength whole(-1);
    TempTree tree;
    QString text;
    for (int i = 0; i < 40000; ++i)
        text += QStringLiteral("line %1 of the long text\n").arg(i);
    WorkspaceState workspace;
    workspace.openFile(tree.write(QStringLiteral("long.md"), text.toUtf8()));
    Document& document = *workspace.activeDocument();
    auto make = [&] {
        auto pane = std::make_unique<CodeEditorView>(document, workspace);
        pane->resize(800, 600);
        pane->show();
        return pane;
    };

    // Shown at once: the top of the text. Edits of another view meanwhile, at both ends, are
    // shown once the rest is in, which the event loop finishes by itself.
    auto first = make();
    ASSERT_TRUE(first->isLoading());
    EXPECT_LT(first->text().size(), text.size());
    EXPECT_TRUE(text.startsWith(first->text()));
    QObject other;
    document.applyEdit(text.size(), 0, QStringLiteral("END"), &other);
    document.applyEdit(0, 0, QStringLiteral("START "), &other);
    const QString edited = QStringLiteral("START ") + text + QStringLiteral("END");
    while (first->isLoading())
        QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(first->text(), edited);

    // A key, or a line asked for, while the text goes in: the rest is put in first.
    auto second = make();
    ASSERT_TRUE(second->isLoading());
    QTest::keyClick(second->textView(), Qt::Key_X, Qt::NoModifier);
    EXPECT_FALSE(second->isLoading());
    EXPECT_EQ(document.text().toString(), QStringLiteral("x") + edited);
    auto third = make();
    ASSERT_TRUE(third->isLoading());
    third->scrollToLine(40000);
    const QTextCursor selected = third->textView()->textCursor();
    EXPECT_EQ(selected.document()->findBlock(selected.selectionStart()).text(),
        QStringLiteral("line 39999 of the long text"));
    QApplication::processEvents();
    for (const auto* pane : { first.get(), second.get(), third.get() })
        EXPECT_EQ(pane->text(), document.text().toString());

    // Text put into the pane by a call rather than an event, while the rest goes in: the rest
    // follows it and nothing of the document is lost.
    const QString before = document.text().toString();
    auto fourth = make();
    ASSERT_TRUE(fourth->isLoading());
    fourth->textView()->insertPlainText(QStringLiteral("pasted "));
    while (fourth->isLoading())
        QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(document.text().toString(), QStringLiteral("pasted ") + before);
    EXPECT_EQ(fourth->text(), document.text().toString());
}

TEST(SourcePane, FenceLinesAreFoundWhereverAPieceOfTheTextEnds)
{
    // A long text is held in pieces of a fixed length: fence lines and line breaks put across
    // and right after every place a piece ends, against a plain reading of the whole text.
    const auto reference = [](const QString& text, qsizetype from, qsizetype to) {
        std::vector<qsizetype> fences;
        for (qsizetype start = from; start < to;) {
            const textlines::LineBounds line = textlines::lineStartingAt(text.left(to), start);
            if (line.contents(text).startsWith(u"```"))
                fences.push_back(start);
            if (line.end <= start)
                break;
            start = line.end;
        }
        return fences;
    };
    const qsizetype cut = ChunkedText::kPiece;
    for (const QString& mark : { QStringLiteral("\n```"), QStringLiteral("\r\n```"),
             QStringLiteral("\r```"), QStringLiteral("\u2028```"), QStringLiteral("\n``x") }) {
        for (qsizetype before = -5; before <= 1; ++before) {
            QString text(3 * cut, QLatin1Char('a'));
            for (int piece = 1; piece <= 2; ++piece)
                text.replace(piece * cut + before, mark.size(), mark);
            const ChunkedText chunked(text);
            ASSERT_GT(chunked.pieces().size(), 2);
            for (const auto& [from, to] : { std::pair<qsizetype, qsizetype> { 0, text.size() },
                     { 0, cut + before + 3 }, { cut + before + 1, 2 * cut + 2 } }) {
                const qsizetype start = textlines::lineBounds(text, from).start;
                EXPECT_EQ(
                    SourceColouring::fenceLines(chunked, start, to), reference(text, start, to))
                    << mark.size() << " at " << before << " in [" << from << ", " << to << ")";
            }
        }
    }
    // Past two million units, stretches of pieces are searched side by side.
    QString many(140 * cut, QLatin1Char('a'));
    for (int piece = 1; piece < 140; ++piece)
        many.replace(piece * cut + piece % 7 - 5, 4,
            piece % 2 ? QStringLiteral("\n```") : QStringLiteral("\r```"));
    EXPECT_EQ(SourceColouring::fenceLines(ChunkedText(many), 0, many.size()),
        reference(many, 0, many.size()));
}
