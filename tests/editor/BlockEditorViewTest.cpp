// What the block editor shows around the text: find-in-document matches, the centred column,
// scrolling to a line, and restyling only what changed.
#include "EditorHarness.h"

#include "markdown/MarkdownTextViewSupport.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLayout>

using namespace quillon;
using namespace quillon::test;

namespace {

QList<QPair<int, int>> paintedMatches(const EditorHarness& h)
{
    QList<QPair<int, int>> result;
    for (const auto& selection : h.view()->extraSelections())
        result.append({ selection.cursor.selectionStart(), selection.cursor.selectionEnd() });
    return result;
}

bool isActive(const QTextEdit::ExtraSelection& selection)
{
    return selection.format.hasProperty(QTextFormat::ForegroundBrush);
}

} // namespace

TEST(BlockEditorFind, PaintsMatchesAndClearsThemWhenTheQueryIndexOrBarChanges)
{
    EditorHarness h(QStringLiteral("Alpha beta ALPHA gamma alpha"));
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral(" alpha "));
    QApplication::processEvents();
    EXPECT_EQ(paintedMatches(h), (QList<QPair<int, int>> { { 0, 5 }, { 11, 16 }, { 23, 28 } }));
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 3);
    EXPECT_TRUE(isActive(h.view()->extraSelections().at(0)));

    // A new active match: the old one is no longer painted as active.
    h.workspace->setCurrentLocalMatchIndex(2);
    const auto selections = h.view()->extraSelections();
    ASSERT_EQ(selections.size(), 3);
    EXPECT_FALSE(isActive(selections.at(0)));
    EXPECT_TRUE(isActive(selections.at(2)));

    // A new query: nothing of the old one stays.
    h.workspace->setLocalSearchQuery(QStringLiteral("beta"));
    QApplication::processEvents();
    EXPECT_EQ(paintedMatches(h), (QList<QPair<int, int>> { { 6, 10 } }));
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 1);

    // A query matching nothing, then a closed bar: no highlights at all.
    h.workspace->setLocalSearchQuery(QStringLiteral("zeta"));
    QApplication::processEvents();
    EXPECT_TRUE(paintedMatches(h).isEmpty());
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 0);
    h.workspace->setLocalSearchQuery(QStringLiteral("gamma"));
    h.workspace->setIsLocalSearchVisible(false);
    EXPECT_TRUE(paintedMatches(h).isEmpty());

    // Typing while the bar is open keeps the matches in step with the text.
    h.workspace->setIsLocalSearchVisible(true);
    h.setCaret(0);
    h.type(QStringLiteral("gamma "));
    EXPECT_EQ(paintedMatches(h), (QList<QPair<int, int>> { { 0, 5 }, { 23, 28 } }));
}

TEST(BlockEditorFind, EditsKeepTheMatchesThoseOfASearchOfTheWholeText)
{
    // Matches made, broken and moved by typing, line breaks, undo and a text replaced from
    // outside, with a table (one character in the view, marked for the match inside it) before
    // them. The matches are those of the Markdown.
    EditorHarness h(QStringLiteral("| a |\n|---|\n| needle |\n\nneedle one\nneed le two\n"
                                   "needleneedle three\n"));
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("Needle"));
    QApplication::processEvents();
    auto expectFound = [&](const char* step) {
        SCOPED_TRACE(step);
        QApplication::processEvents(); // the count is published on the next turn
        const QList<TextRange> found
            = MarkdownTextViewSupport::findMatches(h.content(), QStringLiteral("needle"));
        EXPECT_EQ(h.workspace->totalLocalMatchCount(), found.size());
        QList<QPair<int, int>> expected;
        for (const TextRange& match : found) {
            const int start = int(h.editor->projected().storageOffset(match.location));
            const int end = int(h.editor->projected().storageOffset(match.end()));
            expected.append({ start, end > start ? end : start + 1 });
        }
        EXPECT_EQ(paintedMatches(h), expected);
    };
    expectFound("opened");
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 4);
    const qsizetype gap = h.content().indexOf(QStringLiteral("d le")) + 1;
    h.setCaret(gap + 1);
    h.key(Qt::Key_Backspace); // "need le" becomes a match
    expectFound("joined");
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 5);
    h.setCaret(h.content().indexOf(QStringLiteral("needleneedle")) + 3);
    h.type(QStringLiteral("x")); // breaks the first of two matches side by side
    expectFound("broken");
    h.type(QStringLiteral("\n"));
    expectFound("line break");
    h.editor->undo();
    h.editor->undo();
    expectFound("undone");
    // A letter typed over another: the text keeps its length.
    const int letter = int(h.editor->projected().storageOffset(h.content().indexOf(u"one") - 5));
    QTextCursor cursor = h.view()->textCursor();
    cursor.setPosition(letter);
    cursor.setPosition(letter + 1, QTextCursor::KeepAnchor);
    h.view()->setTextCursor(cursor);
    h.type(QStringLiteral("o"));
    expectFound("overtyped");
    h.workspace->setCurrentFileContent(QStringLiteral("needle"));
    QApplication::processEvents();
    expectFound("replaced");
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 1);
}

TEST(BlockEditorFind, ThousandsOfMatchesArePaintedOnlyWhereSeenAndAStepReachesAFarOne)
{
    QString text;
    for (int i = 0; i < 3000; ++i)
        text += QStringLiteral("Paragraph %1 holds a needle.\n\n").arg(i);
    EditorHarness h(text);
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("needle"));
    QApplication::processEvents();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 3000);
    const int painted = int(h.view()->extraSelections().size());
    EXPECT_GT(painted, 0);
    EXPECT_LT(painted, 300);

    // A step far down scrolls there and paints the match there as the active one.
    h.workspace->setCurrentLocalMatchIndex(2500);
    const QString shown = h.view()->document()->toRawText();
    int activeAt = -1;
    for (const auto& selection : h.view()->extraSelections()) {
        if (isActive(selection))
            activeAt = selection.cursor.selectionStart();
    }
    ASSERT_GE(activeAt, 0);
    EXPECT_TRUE(shown.left(activeAt).endsWith(QStringLiteral("Paragraph 2500 holds a ")));
    EXPECT_LT(h.view()->extraSelections().size(), 300);
}

TEST(BlockEditorFind, OnlyTheFindBarScrollsToTheActiveMatchNotACaretMove)
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    text += QStringLiteral("needle\n");
    EditorHarness h(text);
    QScrollBar* bar = h.view()->verticalScrollBar();
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("needle"));
    QApplication::processEvents();
    EXPECT_GT(bar->value(), bar->maximum() / 2); // revealed at the end

    h.setCaret(0);
    h.view()->ensureCursorVisible();
    ASSERT_LT(bar->value(), h.viewport()->height());
    h.key(Qt::Key_Down);
    h.editor->flushPendingWork();
    QApplication::processEvents();
    EXPECT_EQ(h.view()->textCursor().blockNumber(), 1);
    EXPECT_LT(bar->value(), h.viewport()->height());
    EXPECT_TRUE(h.viewport()->rect().contains(h.view()->cursorRect().center()));
}

TEST(BlockEditorLayout, TheTextColumnIsCentredWithAFortyPointFloor)
{
    EditorHarness h(QStringLiteral("text"), QSize(1200, 600));
    const auto margins = [&] {
        const QTextFrameFormat f = h.view()->document()->rootFrame()->frameFormat();
        return QPair<qreal, qreal>(f.leftMargin(), f.topMargin());
    };
    const qreal width = h.viewport()->width();
    EXPECT_EQ(margins(), (QPair<qreal, qreal>((width - 720) / 2, 40)));
    h.editor->resize(700, 600);
    QApplication::processEvents();
    EXPECT_EQ(margins(), (QPair<qreal, qreal>(40, 40)));
}

TEST(BlockEditorLayout, ScrollToLineSelectsTheMarkdownLineEvenAfterATable)
{
    QString doc = QStringLiteral("| a |\n|---|\n| 1 |\n");
    for (int i = 4; i <= 200; ++i)
        doc += QStringLiteral("line %1\n").arg(i);
    EditorHarness h(doc, QSize(800, 300));
    h.editor->scrollToLine(150);
    QApplication::processEvents();
    const QTextCursor cursor = h.view()->textCursor();
    EXPECT_EQ(cursor.selectedText(), QStringLiteral("line 150") + QChar(QChar::ParagraphSeparator));
    EXPECT_GT(h.view()->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(h.written.isEmpty());
    // Out of range: nothing moves.
    h.editor->scrollToLine(5000);
    EXPECT_EQ(h.view()->textCursor().selectedText(), cursor.selectedText());
}

TEST(BlockEditorLayout, ScrollToLineCountsLineBreaksAsProjectSearchDoes)
{
    // A line separator inside a paragraph ends a line of its own for project search: the line
    // selected is that line, not the paragraph.
    EditorHarness h(QStringLiteral("first\u2028second\nthird\nfourth\n"), QSize(800, 300));
    const QString paragraphBreak = QChar(QChar::ParagraphSeparator);
    for (const auto& [line, text] : QList<QPair<int, QString>> { { 2, "second" + paragraphBreak },
             { 1, "first" + QString(QChar(QChar::LineSeparator)) },
             { 3, "third" + paragraphBreak } }) {
        h.editor->scrollToLine(line);
        QApplication::processEvents();
        EXPECT_EQ(h.view()->textCursor().selectedText(), text) << line;
    }
}

TEST(BlockEditorLayout, ScrollToLineBrieflyMarksTheFoundLine)
{
    QString doc;
    for (int i = 1; i <= 40; ++i)
        doc += QStringLiteral("line number %1\n").arg(i);
    EditorHarness h(doc, QSize(800, 400));
    // The found line's band across the viewport.
    auto foundLine = [&] {
        QTextCursor start(h.view()->document());
        start.setPosition(h.view()->textCursor().selectionStart());
        const QRect r = h.view()->cursorRect(start);
        return QRect(0, r.top(), h.viewport()->width(), r.height());
    };
    auto changedBox = [](const QImage& a, const QImage& b) {
        QRect box;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y))
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    // Line 3 is on screen already: nothing scrolls, yet the line is marked.
    h.view()->clearFocus(); // no caret in the pictures
    h.editor->scrollToLine(3);
    QApplication::processEvents();
    const QImage marked = h.viewport()->grab().toImage();
    QTest::qWait(2000);
    const QImage settled = h.viewport()->grab().toImage();
    const QRect lineRect = foundLine();
    const QRect box = changedBox(marked, settled);
    ASSERT_FALSE(box.isEmpty()) << "the mark must show, then fade";
    EXPECT_TRUE(box.intersects(lineRect));
    EXPECT_LT(box.height(), 3 * lineRect.height());

    // A line off screen is scrolled to and marked on screen.
    h.editor->scrollToLine(38);
    QApplication::processEvents();
    const QImage far = h.viewport()->grab().toImage();
    QTest::qWait(2000);
    const QRect farBox = changedBox(far, h.viewport()->grab().toImage());
    ASSERT_FALSE(farBox.isEmpty());
    EXPECT_GT(h.view()->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(farBox.intersects(foundLine()));
}

TEST(BlockEditorLayout, TheMarkOfAFoundLineStaysOnThatLine)
{
    // The line found is taken with its line break; the break marks nothing on the next line.
    const QString wrapped = QStringLiteral("a long line that wraps ").repeated(12);
    EditorHarness h(QStringLiteral("Intro\nThe hit is the last word\nNext line\n\n") + wrapped
            + QStringLiteral("end\nAfter\n"),
        QSize(600, 400));
    h.view()->clearFocus();
    auto lineBands = [&](int blockNumber) {
        const QTextBlock block = h.view()->document()->findBlockByNumber(blockNumber);
        h.view()->document()->documentLayout()->blockBoundingRect(block);
        QList<QRectF> bands;
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            bands.append(QRectF(0, block.layout()->position().y() + line.y(), 1e6, line.height()));
        }
        return bands;
    };
    // Line, paragraph, lines it has (an empty one is marked too).
    for (const auto& [line, block] : QList<QPair<int, int>> { { 2, 1 }, { 5, 4 }, { 4, 3 } }) {
        h.editor->scrollToLine(line);
        QApplication::processEvents();
        const QList<QRectF> bands = lineBands(block);
        const QList<QRectF> marks = h.view()->findIndicatorRects();
        ASSERT_EQ(marks.size(), bands.size()) << "line " << line;
        for (int i = 0; i < marks.size(); ++i) {
            EXPECT_NEAR(marks.at(i).center().y(), bands.at(i).center().y(), 2) << "line " << line;
            EXPECT_FALSE(marks.at(i).intersects(lineBands(block + 1).first().adjusted(0, 2, 0, 0)));
        }
    }
    EXPECT_GT(lineBands(4).size(), 1);
}

TEST(BlockEditorLayout, AnEditRestylesOnlyTheParagraphsItChanged)
{
    QString doc;
    for (int i = 0; i < 50; ++i)
        doc += QStringLiteral("Paragraph **%1** with `code`\n\n").arg(i);
    EditorHarness h(doc);
    h.setCaret(3);
    int restyled = -1;
    QObject::connect(
        h.editor.get(), &UnifiedBlockEditor::presented, [&](int count) { restyled = count; });
    h.type(QStringLiteral("x"));
    EXPECT_EQ(restyled, 1);
    // Moving to another line restyles the line left and the line reached.
    h.setCaret(doc.size() - 10);
    EXPECT_LE(restyled, 2);
}

TEST(BlockEditorLayout, ReplacingTheTextLaysOutTheScreenFirstAndKeepsTheCaret)
{
    EditorHarness h(QStringLiteral("short text\n"), QSize(800, 300));
    QString doc = QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 |\n\n");
    for (int i = 0; i < 3000; ++i)
        doc += QStringLiteral("Paragraph %1 with **bold** text.\n\n").arg(i);
    doc += QStringLiteral("| c |\n|---|\n| 3 |\n");
    h.workspace->setCurrentFileContent(doc);
    // What lies past the screen waits for the background layout.
    EXPECT_EQ(h.view()->document()->findBlockByNumber(3000).layout()->lineCount(), 0);
    EXPECT_EQ(h.view()->document()->lastBlock().layout()->lineCount(), 0);
    const qsizetype caret = doc.indexOf(QStringLiteral("Paragraph 1500")) + 4;
    h.setCaret(caret);
    h.editor->setFontSize(h.editor->fontSize() + 2);
    EXPECT_EQ(h.editor->caretMarkdownOffset(), caret);
    EXPECT_EQ(h.view()->textCursor().position(), h.editor->projected().storageOffset(caret));
    EXPECT_EQ(h.editor->markdown(), doc);
}

namespace {

// Collects the regions the viewport paints.
struct PaintRecorder : QObject
{
    QRegion painted;
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
            ++paints;
        }
        return false;
    }
};

} // namespace

TEST(BlockEditorLayout, TypingAndRestylingRepaintOnlyTheLinesTheyChange)
{
    QString doc;
    for (int i = 0; i < 3000; ++i)
        doc += QStringLiteral("Paragraph **%1** with `code` and [a link](https://x.org)\n\n")
                   .arg(i);
    EditorHarness h(doc, QSize(900, 700));
    h.setCaret(doc.indexOf(QStringLiteral("Paragraph **5**")) + 3);
    QTest::qWait(200); // the first paint and the background pass
    // Laid out to the end, as it is once the view has caught up in the background.
    h.view()->document()->documentLayout()->blockBoundingRect(h.view()->document()->lastBlock());
    QApplication::processEvents();
    PaintRecorder recorder;
    h.viewport()->installEventFilter(&recorder);
    const int small = h.viewport()->height() / 4;

    h.type(QStringLiteral("x"));
    QApplication::processEvents();
    EXPECT_GT(recorder.paints, 0);
    EXPECT_LE(recorder.painted.boundingRect().height(), small)
        << "painted " << recorder.painted.boundingRect().height() << " for one typed character";

    // Moving to another line repaints the lines whose markers show or hide, not the window.
    recorder.painted = QRegion();
    h.key(Qt::Key_Down);
    h.key(Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_LE(recorder.painted.boundingRect().height(), small);

    // Once typing pauses the document is settled without repainting what did not change.
    recorder.painted = QRegion();
    QTest::qWait(1500);
    EXPECT_LE(recorder.painted.boundingRect().height(), small);
    h.viewport()->removeEventFilter(&recorder);
}

// Blocks far from the screen are styled in the background after a load or a change of theme;
// their new heights must not carry the text in view away.
TEST(BlockEditorLayout, TheTextInViewStaysThereWhileTheRestIsStyled)
{
    QString doc;
    for (int i = 0; i < 600; ++i)
        doc += QStringLiteral("## Heading %1\n\n```\ncode %1\n```\n").arg(i);
    doc += QStringLiteral("target line\n");
    EditorHarness h(doc, QSize(800, 400));
    const int line = int(doc.count(QLatin1Char('\n')));
    h.editor->setFontSize(16); // styled again from the start, as a newly opened document
    h.editor->scrollToLine(line);
    QTest::qWait(200); // the background pass over the whole document
    ASSERT_EQ(h.view()->textCursor().selectedText(),
        QStringLiteral("target line") + QChar(QChar::ParagraphSeparator));
    EXPECT_TRUE(h.viewport()->rect().intersects(h.view()->cursorRect()))
        << h.view()->cursorRect().y();

    h.editor->scrollToLine(5 * 300 + 1);
    QTest::qWait(200);
    auto topBlock = [&h] { return h.view()->cursorForPosition(QPoint(0, 0)).blockNumber(); };
    const int before = topBlock();
    ASSERT_GT(before, 100);
    h.editor->setDarkMode(true);
    QTest::qWait(200);
    EXPECT_EQ(topBlock(), before);
}
