// A long document is styled whole in slices between events: the part the view shows first, as
// styling the whole text at once would style it, the rest after the first paint, and edits made
// meanwhile end up styled as the whole text styles them.
#include "EditorHarness.h"
#include "SourceHarness.h"
#include "ViewsHarness.h"

#include "editor/block/BlockDecorations.h"
#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/BlockStylePresenter.h"
#include "editor/source/SourceDocumentLayout.h"
#include "editor/source/SourceTextEdit.h"
#include "markdown/MarkdownTextViewSupport.h"
#include "workspace/Document.h"

#include <gtest/gtest.h>

#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

// Longer than the editor styles at once, with what reaches over lines near the top: a fenced
// block that runs past the first screen, underscores and a link over several paragraphs, a
// group of pipe lines over a blank line.
QString longDocument()
{
    QString doc
        = QStringLiteral("# Long\n\nA _start of italics\n\nthat go on_ here.\n\n"
                         "| a | b |\n\n| c | d |\n\nSee [a link\nover lines](http://x.org).\n\n");
    for (int i = 0; i < 60; ++i)
        doc += QStringLiteral("Paragraph %1 with **bold** and `code`.\n\n- [ ] task %1\n\n").arg(i);
    doc += QStringLiteral("```cpp\n");
    for (int i = 0; i < 200; ++i)
        doc += QStringLiteral("int line%1 = %1; // comment\n").arg(i);
    doc += QStringLiteral("```\n\n");
    while (doc.size() < 400 * 1024)
        doc += QStringLiteral("## Part\n\nSome *italic*, a [link](http://x.org) and `x`.\n\n"
                              "> quoted\n\n1. one\n2. two\n\n");
    return doc;
}

// The storage styled whole at once, as the view's caret reveals it.
AttributedText styledWhole(const UnifiedBlockEditor& editor)
{
    AttributedText whole = editor.projected().storage();
    const MarkdownTextView& view = *editor.textView();
    MarkdownTextViewSupport::reHighlight(whole, false, editor.fontSize(), true, false,
        editor.projected().toStorage(view.textCursor().position()), view.hasFocus());
    return whole;
}

qsizetype firstDifference(const UnifiedBlockEditor& editor, qsizetype from, qsizetype to)
{
    const AttributedText whole = styledWhole(editor);
    const AttributedText& shown = editor.projected().storage();
    for (qsizetype i = from; i < qMin(to, shown.length()); ++i)
        if (!(whole.attributes(i) == shown.attributes(i)))
            return i;
    return -1;
}

qsizetype firstDifference(const EditorHarness& h, qsizetype from, qsizetype to)
{
    return firstDifference(*h.editor, from, to);
}

bool styledAsAWhole(const UnifiedBlockEditor& editor)
{
    return firstDifference(editor, 0, editor.projected().storage().length()) < 0;
}

bool styledAsAWhole(const EditorHarness& h)
{
    return styledAsAWhole(*h.editor);
}

// Every paragraph the view holds shows what a presenter of its own makes of the storage.
int paragraphsPresentedApart(const UnifiedBlockEditor& editor)
{
    const ProjectedDocument& projected = editor.projected();
    QTextDocument document;
    document.setPlainText(ProjectedDocument::toDocumentText(projected.storage().text()));
    BlockStylePresenter presenter;
    presenter.present(projected.storage(), document, editor.fontSize());
    int differing = 0;
    const QTextDocument* shown = editor.textView()->document();
    for (QTextBlock a = shown->begin(), b = document.findBlock(int(projected.windowStart()));
         a.isValid(); a = a.next(), b = b.next()) {
        if (!BlockStylePresenter::isPresented(a)
            || !BlockDecorations::of(a).sameStyling(BlockDecorations::of(b))
            || a.blockFormat() != b.blockFormat())
            ++differing;
    }
    return differing;
}

int paragraphsPresentedApart(const EditorHarness& h)
{
    return paragraphsPresentedApart(*h.editor);
}

// 400 KB of notes with a three-line fenced block after every `every` of them.
QString notesWithFencedBlocks(int every)
{
    QString doc;
    for (int i = 0; doc.size() < 400 * 1024; ++i) {
        doc += QStringLiteral("## Part %1\n\nSome *italic*, a [link](http://x.org) and `x`.\n\n"
                              "- item\n- another\n\n")
                   .arg(i);
        if (i % every == every - 1)
            doc += QStringLiteral("```\ncode %1\n```\n\n").arg(i);
    }
    return doc;
}

// Past the pause after which the pass starts, then until it is done.
bool settled(const EditorHarness& h)
{
    waitUntil([] { return false; }, 900);
    return waitUntil([&] { return !h.editor->isRestylingWhole() && styledAsAWhole(h); }, 20000);
}

} // namespace

TEST(LongDocumentStyling, ThePartInViewIsStyledFirstAsTheWholeTextStylesIt)
{
    const QString markdown = longDocument();
    EditorHarness h(markdown);
    const AttributedText& storage = h.editor->projected().storage();
    // What the view shows is styled, and as styling the whole text styles it, before the rest.
    const int lastShown
        = h.view()->cursorForPosition(QPoint(0, h.viewport()->height())).blockNumber();
    const QTextBlock last = h.view()->document()->findBlockByNumber(lastShown);
    EXPECT_EQ(firstDifference(h, 0, last.position() + last.length()), -1);
    for (QTextBlock b = h.view()->document()->begin(); b.blockNumber() <= lastShown; b = b.next())
        EXPECT_TRUE(BlockStylePresenter::isPresented(b)) << b.blockNumber();
    EXPECT_EQ(storage.attribute<TextAttribute::Font>(storage.length() - 2), nullptr)
        << "the end of the text was styled before the first paint";

    ASSERT_TRUE(waitUntil([&] { return styledAsAWhole(h); }, 20000));
    EXPECT_TRUE(waitUntil([&] { return paragraphsPresentedApart(h) == 0; }, 20000));
    // Styled and presented, the paragraphs out of sight were never laid out for it.
    EXPECT_LT(h.view()->blockLayout().formattedCount(), 300);
}

TEST(LongDocumentStyling, EditsWhileThePassRunsEndStyledAsTheWholeText)
{
    EditorHarness h(longDocument());
    // At the top, before the pass comes by, and far down once it has passed the top.
    h.setCaret(h.content().indexOf(QStringLiteral("Paragraph 3 ")));
    h.type(QStringLiteral("new words "));
    h.key(Qt::Key_Return);
    h.type(QStringLiteral("a _mark"));
    ASSERT_TRUE(waitUntil(
        [&] { return h.editor->projected().storage().attribute<TextAttribute::Font>(200 * 1024); },
        20000));
    h.setCaret(h.content().indexOf(QStringLiteral("## Part"), 300 * 1024));
    h.type(QStringLiteral("x"));
    h.key(Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return styledAsAWhole(h); }, 20000));
    EXPECT_TRUE(waitUntil([&] { return paragraphsPresentedApart(h) == 0; }, 20000));
}

TEST(LongDocumentStyling, ALongTextGoesIntoTheViewInPartsAndWhatNeedsItWholeHasTheRestFirst)
{
    const BlockViewHoldsWhole whole;
    // A table far down, so that it goes in with a later part.
    const QString markdown
        = longDocument() + QStringLiteral("| h | i |\n|---|---|\n| 1 | 2 |\n\nThe end.\n");
    TempTree tree;
    WorkspaceState workspace;
    workspace.openFile(tree.write(QStringLiteral("long.md"), markdown.toUtf8()));
    Document& document = *workspace.activeDocument();
    auto make = [&] {
        auto editor = std::make_unique<UnifiedBlockEditor>(document, workspace);
        editor->resize(900, 700);
        editor->show();
        return editor;
    };

    auto first = make();
    ASSERT_TRUE(first->isLoading());
    const AttributedText& storage = first->projected().storage();
    const QTextDocument& shown = *first->textView()->document();
    EXPECT_LT(shown.characterCount() - 1, storage.length());
    // Another view's edit meanwhile, at the end; the rest goes in by itself.
    QObject other;
    document.applyEdit(markdown.size(), 0, QStringLiteral("More.\n"), &other);
    ASSERT_TRUE(waitUntil([&] { return !first->isLoading(); }, 20000));
    first->flushPendingWork();
    EXPECT_EQ(first->markdown(), markdown + QStringLiteral("More.\n"));
    EXPECT_EQ(shown.characterCount() - 1, storage.length());
    EXPECT_EQ(first->projected().tableCount(), 1);
    EXPECT_TRUE(shown.toRawText().contains(QChar::ObjectReplacementCharacter));

    // A key while the text goes in: the rest first, then the key where the caret is (the top).
    auto second = make();
    ASSERT_TRUE(second->isLoading());
    QTest::keyClick(second->textView(), Qt::Key_X);
    EXPECT_FALSE(second->isLoading());
    EXPECT_EQ(
        document.text().toString(), QStringLiteral("x") + markdown + QStringLiteral("More.\n"));
    QApplication::processEvents();
    first->flushPendingWork();
    EXPECT_EQ(first->markdown(), document.text().toString());

    // Text put into the view by a call rather than an event, while the rest goes in, stays where
    // it was put and the rest follows it.
    auto third = make();
    ASSERT_TRUE(third->isLoading());
    third->textView()->insertPlainText(QStringLiteral("pasted "));
    ASSERT_TRUE(waitUntil([&] { return !third->isLoading(); }, 20000));
    third->flushPendingWork();
    EXPECT_EQ(third->markdown(), QStringLiteral("pasted x") + markdown + QStringLiteral("More.\n"));
    EXPECT_EQ(
        third->textView()->document()->characterCount() - 1, third->projected().storage().length());
}

TEST(LongDocumentStyling, CtrlEndRightAfterOpeningKeepsTheCaretInViewOnceHeightsSettle)
{
    const BlockViewHoldsWhole whole;
    QString markdown = longDocument();
    while (markdown.size() < 1024 * 1024)
        markdown += QStringLiteral("## Part\n\nA paragraph long enough to wrap onto a second "
                                   "line of the column in both panes, *styled* here and there, "
                                   "with `code` and a [link](http://x.org).\n\n> quoted\n\n");
    ViewsHarness h(markdown, true);
    QTextEdit* blocks = h.view();
    QTextEdit* source = h.source()->textView();
    for (QTextEdit* view : { blocks, source })
        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    const QTextBlock last = blocks->document()->lastBlock();
    ASSERT_TRUE(waitUntil(
        [&] {
            return BlockStylePresenter::isPresented(last) && !h.editor()->isLoading()
                && !h.view()->blockLayout().hasEstimates()
                && !h.source()->textView()->sourceLayout().hasEstimates();
        },
        60000));
    QTest::qWait(50);
    for (QTextEdit* view : { blocks, source }) {
        const QRect caret = view->cursorRect();
        EXPECT_GE(caret.top(), 0) << view->objectName().toStdString();
        EXPECT_LE(caret.bottom(), view->viewport()->height()) << view->objectName().toStdString();
        EXPECT_EQ(view->textCursor().position(), view->document()->characterCount() - 1);
    }
}

TEST(LongDocumentStyling, AZoomPutsTheTextBackInPartsWithTheCaretAndTheTextInViewKept)
{
    const BlockViewHoldsWhole whole;
    const QString markdown = longDocument();
    EditorHarness h(markdown);
    ASSERT_TRUE(waitUntil([&] { return !h.editor->isLoading(); }, 20000));
    const auto topBlock = [&] { return h.view()->cursorForPosition(QPoint(0, 0)).blockNumber(); };
    // Caret and view far past the text's first part.
    const qsizetype caret = markdown.indexOf(QStringLiteral("## Part"), 300 * 1024) + 3;
    h.setCaret(caret);
    h.view()->ensureCursorVisible();
    const int top = topBlock();
    ASSERT_GT(top, 1000);

    // The paragraph at the top of each paint of the view.
    struct Paints : QObject
    {
        std::function<int()> top;
        QList<int> tops;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                tops.append(top());
            return false;
        }
    } paints;
    paints.top = topBlock;
    h.viewport()->installEventFilter(&paints);
    h.editor->setFontSize(h.editor->fontSize() + 2);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), caret);
    // What the zoom left to do on the next turn leaves the rest of the text to its parts; a
    // second zoom meanwhile keeps the same place.
    QApplication::processEvents();
    EXPECT_TRUE(h.editor->isLoading());
    h.editor->setFontSize(h.editor->fontSize() + 1);
    EXPECT_TRUE(h.editor->isLoading());
    ASSERT_TRUE(waitUntil([&] { return !h.editor->isLoading(); }, 20000));
    QTest::qWait(20);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), caret);
    EXPECT_EQ(topBlock(), top);
    // Painted, and never with the text's beginning on the way.
    EXPECT_FALSE(paints.tops.isEmpty());
    EXPECT_EQ(paints.tops.count(top), paints.tops.size());
    h.type(QStringLiteral("Z"));

    // A key while the text goes in lands at the kept caret.
    h.editor->setFontSize(h.editor->fontSize() - 3);
    ASSERT_TRUE(h.editor->isLoading());
    h.type(QStringLiteral("Y"));
    EXPECT_FALSE(h.editor->isLoading());
    EXPECT_EQ(QString::fromUtf8(h.onDisk()), QString(markdown).insert(caret, QStringLiteral("ZY")));

    // Another view's edit while the text is out of the view is in it once it is back.
    h.editor->setFontSize(h.editor->fontSize() + 2);
    QObject other;
    h.workspace->activeDocument()->applyEdit(0, 0, QStringLiteral("Top. "), &other);
    ASSERT_TRUE(waitUntil([&] { return !h.editor->isLoading(); }, 20000));
    h.editor->flushPendingWork();
    EXPECT_EQ(h.editor->markdown(), h.workspace->activeDocument()->text().toString());
    EXPECT_EQ(h.editor->caretMarkdownOffset(), caret + 7);
}

TEST(LongDocumentStyling, EditsAfterAPassAreStyledAgainUpToWhereTheTextIsCutAsBefore)
{
    // Prose with what reaches over lines, and a fenced block every few kilobytes.
    QString doc = longDocument().first(100 * 1024);
    for (int i = 0; doc.size() < 400 * 1024; ++i) {
        doc += QStringLiteral(
            "## Part %1\n\nSome _italic\n\nover paragraphs_, a [link](http://x.org), "
            "`x` and *more*.\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n")
                   .arg(i);
        if (i % 40 == 39)
            doc += QStringLiteral("```\ncode %1\n```\n\n").arg(i);
    }
    const BlockViewHoldsWhole whole; // the caret is put by document positions
    EditorHarness h(doc);
    const auto settled = [&] {
        // Past the pause after which the pass starts, then until it is done.
        waitUntil([] { return false; }, 900);
        return waitUntil([&] { return !h.editor->isRestylingWhole() && styledAsAWhole(h); }, 20000);
    };
    ASSERT_TRUE(settled());
    h.editor->takeStyledLength();
    // Words typed far down are gone through with their stretch of prose, not the whole text.
    h.setCaret(h.content().indexOf(QStringLiteral("## Part"), 300 * 1024) + 4);
    h.type(QStringLiteral("word "));
    ASSERT_TRUE(settled());
    EXPECT_LT(h.editor->takeStyledLength(), 32 * 1024);
    // So are keys inside a fenced block, which are never styled line by line.
    h.setCaret(h.content().indexOf(QStringLiteral("code "), 300 * 1024) + 5);
    h.type(QStringLiteral("42"));
    ASSERT_TRUE(settled());
    EXPECT_LT(h.editor->takeStyledLength(), 32 * 1024);
    // An underscore pairs the ones after it otherwise up to the next fenced block; a fence
    // turns the rest into code and the later fences' pairs around; typed while the pass over
    // the fence goes on, words far down wait for it.
    h.type(QStringLiteral("_"));
    ASSERT_TRUE(settled());
    EXPECT_LT(h.editor->takeStyledLength(), 32 * 1024);
    // An italic's closing underscore taken away just before a fenced block: its opening one, a
    // paragraph up, is left without a partner.
    const qsizetype fence = h.content().indexOf(QStringLiteral("```\ncode"), 250 * 1024);
    h.setCaret(h.content().lastIndexOf(QStringLiteral("over paragraphs_"), fence) + 16);
    h.key(Qt::Key_Backspace);
    ASSERT_TRUE(settled());
    h.setCaret(h.content().indexOf(QStringLiteral("## Part"), 150 * 1024));
    h.type(QStringLiteral("```"));
    h.key(Qt::Key_Return);
    waitUntil([&] { return h.editor->isRestylingWhole(); }, 2000);
    h.setCaret(h.content().indexOf(QStringLiteral("## Part"), 350 * 1024) + 4);
    h.type(QStringLiteral("more "));
    ASSERT_TRUE(settled());
    EXPECT_EQ(paragraphsPresentedApart(h), 0);
    h.setCaret(h.content().indexOf(QStringLiteral("```\n## Part"), 150 * 1024) + 4);
    for (int i = 0; i < 4; ++i)
        h.key(Qt::Key_Backspace);
    ASSERT_TRUE(settled());
    EXPECT_EQ(paragraphsPresentedApart(h), 0);
}

TEST(LongDocumentStyling, ACaretMovedAfterThePassIsRevealedAsTheWholeTextWouldWithoutAnotherPass)
{
    const QString markdown = longDocument();
    EditorHarness h(markdown);
    ASSERT_TRUE(
        waitUntil([&] { return !h.editor->isRestylingWhole() && styledAsAWhole(h); }, 20000));
    // Into italics and a link that run over lines (what they reveal reaches beyond the
    // caret's paragraph), far down, and back to the top: once typing has paused, each place is
    // styled as the whole text styles it, and the text is not gone through again.
    const QList<qsizetype> places { markdown.indexOf(u"_start") + 3,
        markdown.indexOf(u"over lines"), markdown.indexOf(u"## Part", 350 * 1024) + 4, 2 };
    for (const qsizetype place : places) {
        h.setCaret(place);
        // Past the pause after which everything is compared, looking between events.
        bool restyledWhole = false;
        waitUntil(
            [&] {
                restyledWhole = restyledWhole || h.editor->isRestylingWhole();
                return false;
            },
            900);
        EXPECT_FALSE(restyledWhole) << place;
        EXPECT_EQ(firstDifference(h, 0, markdown.size()), -1) << place;
        EXPECT_EQ(paragraphsPresentedApart(h), 0) << place;
    }
}

TEST(LongDocumentStyling, PassesOverEditsFarDownBeginAfterTheLastFencedBlockEachTime)
{
    const BlockViewHoldsWhole whole;
    EditorHarness h(notesWithFencedBlocks(600)); // a block every 50 KB
    ASSERT_TRUE(settled(h));
    // Each pause after typing 10 KB past a block goes through the prose from that block again,
    // however many pauses came before.
    const qsizetype block = h.content().indexOf(QStringLiteral("```\ncode"), 200 * 1024);
    for (int pause = 0; pause < 3; ++pause) {
        h.editor->takeStyledLength();
        h.setCaret(h.content().indexOf(QStringLiteral("## Part"), block + 10 * 1024) + 4);
        h.type(QStringLiteral("w "));
        ASSERT_TRUE(settled(h));
        // Up to the first place after the words where the last pass cut the text (about
        // 16 KB apart), not from a block further up, 50 KB more.
        EXPECT_LT(h.editor->takeStyledLength(), 45 * 1024) << pause;
    }
    // Emptying the last line styles nothing beyond it: there is nothing left on it to style.
    h.setCaret(h.content().size());
    h.key(Qt::Key_Return);
    h.type(QStringLiteral("a"));
    ASSERT_TRUE(settled(h));
    h.editor->takeStyledLength();
    h.key(Qt::Key_Backspace);
    EXPECT_EQ(h.editor->takeStyledLength(), 0);
    EXPECT_TRUE(settled(h));
}

TEST(LongDocumentStyling, KeysFarDownKnowWhetherTheyAreInAFencedBlock)
{
    const BlockViewHoldsWhole whole;
    const QString doc = notesWithFencedBlocks(600); // a block every 50 KB
    EditorHarness h(doc);
    ASSERT_TRUE(settled(h));
    const auto lineAt = [&](qsizetype at) {
        const qsizetype start = h.content().lastIndexOf(u'\n', at - 1) + 1;
        return h.content().mid(start, h.content().indexOf(u'\n', at) - start);
    };
    // In a block far down, Tab indents the code line; in the prose after it, it is no code.
    const qsizetype code = h.content().indexOf(QStringLiteral("code "), 300 * 1024);
    h.setCaret(code);
    h.key(Qt::Key_Tab);
    EXPECT_TRUE(lineAt(code).startsWith(QStringLiteral("  code ")));
    const qsizetype prose = h.content().indexOf(QStringLiteral("- item"), code);
    h.setCaret(prose);
    h.key(Qt::Key_Tab);
    EXPECT_FALSE(lineAt(prose).startsWith(QStringLiteral("  - item")));
    // A fence typed far up opens a block down to the next fence: a line 30 KB down is in it.
    const qsizetype opened = h.content().indexOf(QStringLiteral("## Part"), 110 * 1024);
    h.setCaret(opened);
    h.type(QStringLiteral("~~~\n"));
    const qsizetype below = h.content().indexOf(QStringLiteral("## Part"), opened + 30 * 1024);
    h.setCaret(below);
    h.key(Qt::Key_Tab);
    EXPECT_TRUE(lineAt(below + 2).startsWith(QStringLiteral("  ## Part")))
        << lineAt(below + 2).toStdString();
}

TEST(LongDocumentStyling, TypingInTheSourcePaneFarFromTheBlockViewsWindowPresentsNothingThere)
{
    ViewsHarness h(notesWithFencedBlocks(60), true); // a block every 5 KB
    UnifiedBlockEditor& blocks = *h.editor();
    ASSERT_FALSE(blocks.projected().holdsAll());
    const auto settled = [&] {
        waitUntil([] { return false; }, 900);
        return waitUntil(
            [&] { return !blocks.isRestylingWhole() && styledAsAWhole(blocks); }, 20000);
    };
    ASSERT_TRUE(settled());
    // Words typed at the end of the source pane, far below the block view's window: its
    // storage is styled again around them, and none of the paragraphs it shows is presented
    // again for it, each key or once typing pauses.
    QTextEdit* source = h.source()->textView();
    source->setFocus();
    QTest::keyClick(source, Qt::Key_End, Qt::ControlModifier);
    ASSERT_TRUE(settled());
    ASSERT_FALSE(blocks.projected().inWindow(blocks.projected().storage().length() - 1));
    blocks.takePresentedAfterPasses();
    h.type(QStringLiteral("more words"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(blocks.takePresentedAfterPasses(), 0);
    EXPECT_EQ(paragraphsPresentedApart(blocks), 0);
    EXPECT_TRUE(h.content().endsWith(QStringLiteral("more words")));

    // An underscore typed in the block view, which pairs with ones paragraphs further on,
    // then words at the end of the source pane again before the pass is done: what the pass
    // restyles in the window is presented there, and only that.
    h.view()->setFocus();
    h.setCaret(h.content().indexOf(QStringLiteral("Some *italic*"), 2000));
    h.type(QStringLiteral("an _opening "));
    source->setFocus();
    h.type(QStringLiteral(" and more"));
    ASSERT_TRUE(settled());
    EXPECT_LT(blocks.takePresentedAfterPasses(), h.view()->document()->blockCount() / 2);
    EXPECT_EQ(paragraphsPresentedApart(blocks), 0);

    // A fence typed at the top of the source pane turns the block view's paragraphs to code:
    // all of them are presented again.
    QTest::keyClick(source, Qt::Key_Home, Qt::ControlModifier);
    h.type(QStringLiteral("```"));
    h.key(Qt::Key_Return);
    ASSERT_TRUE(settled());
    EXPECT_GT(blocks.takePresentedAfterPasses(), 1000);
    EXPECT_EQ(paragraphsPresentedApart(blocks), 0);
}

// The view far down a long text that the pass has not reached (a zoom puts the text back and
// starts it again from the top) is styled at once, as the whole text styles it: inside a fenced
// block that opened a megabyte further up, and in prose a megabyte after the last block.
TEST(LongDocumentStyling, TheViewFarAheadOfThePassIsStyledAsTheWholeTextStylesIt)
{
    QString doc = QStringLiteral("# Notes\n\nSome *italic* and a [link](http://x.org).\n\n```\n");
    while (doc.size() < 1200 * 1024)
        doc += QStringLiteral("int a = 1; // *not italic*\n\nint b = [2];\n");
    doc += QStringLiteral("```\n\n");
    const qsizetype prose = doc.size();
    while (doc.size() < 2400 * 1024)
        doc += QStringLiteral("## Part\n\nSome *italic*, a [link](http://x.org) and `x`.\n\n");
    EditorHarness h(doc);
    ASSERT_TRUE(waitUntil([&] { return !h.editor->isLoading(); }, 20000));
    for (const qsizetype place : { qsizetype(1100 * 1024), prose + 1100 * 1024 }) {
        h.editor->scrollToLine(int(QStringView(doc).first(place).count(u'\n')) + 1);
        h.editor->takeStyledLength();
        h.editor->setFontSize(h.editor->fontSize() + 1);
        ASSERT_TRUE(waitUntil([&] { return !h.editor->isLoading(); }, 20000));
        // The pass is far from the place yet.
        ASSERT_LT(h.editor->takeStyledLength(), 512 * 1024) << place;
        // What the view shows.
        const ProjectedDocument& projected = h.editor->projected();
        const QRect shown = h.viewport()->rect();
        const qsizetype top
            = projected.toStorage(h.view()->cursorForPosition(shown.topLeft()).position());
        const qsizetype bottom
            = projected.toStorage(h.view()->cursorForPosition(shown.bottomRight()).position());
        ASSERT_LE(top, projected.storageOffset(place));
        ASSERT_GE(bottom, projected.storageOffset(place));
        EXPECT_EQ(firstDifference(h, top, bottom), -1) << place;
    }
}

// A zoom sets a long text up again on another thread: the window goes on answering until that is
// done, and a key typed meanwhile waits for it and lands where the caret was.
TEST(LongDocumentStyling, AZoomSetsTheTextUpOnAnotherThreadAndAKeyMeanwhileWaitsForIt)
{
    const QString markdown = longDocument();
    EditorHarness h(markdown);
    ASSERT_TRUE(waitUntil([&] { return !h.editor->isLoading(); }, 20000));
    {
        const HeldProjections held;
        h.editor->setFontSize(h.editor->fontSize() + 2);
        QTest::qWait(100);
        EXPECT_TRUE(h.editor->isLoading());
        h.type(QStringLiteral("Z"));
        EXPECT_FALSE(h.editor->isLoading());
    }
    EXPECT_EQ(QString::fromUtf8(h.onDisk()), QStringLiteral("Z") + markdown);
}
