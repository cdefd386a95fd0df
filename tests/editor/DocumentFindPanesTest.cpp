// Find in a document shown in both panes, as the window keeps them: one set of matches over the
// Markdown, one count, and each pane marking and revealing the active match in its own text.
#include "ViewsHarness.h"

#include "editor/chrome/LocalSearchSteps.h"
#include "editor/document/EditorFindController.h"
#include "markdown/MarkdownTextViewSupport.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

struct Painted
{
    QList<QPair<int, int>> ranges;
    int active = -1; // the start of the match painted as the active one
};

Painted paintedIn(const QTextEdit& view)
{
    Painted painted;
    for (const auto& selection : view.extraSelections()) {
        painted.ranges.append(
            { selection.cursor.selectionStart(), selection.cursor.selectionEnd() });
        if (selection.format.background().color()
            == MarkdownTextViewSupport::searchColors(false).activeBackground)
            painted.active = selection.cursor.selectionStart();
    }
    return painted;
}

bool isShown(const QTextEdit& view, int position)
{
    QTextCursor cursor(view.document());
    cursor.setPosition(position);
    return view.viewport()->rect().intersects(view.cursorRect(cursor));
}

QString longDocument()
{
    QString text = QStringLiteral("A needle at the top.\n\n");
    for (int i = 0; i < 120; ++i)
        text += QStringLiteral("Filler line %1.\n\n").arg(i);
    text += QStringLiteral(
        "| Name | Note |\n|---|---|\n| pin | a needle here |\n| nail | none |\n\n");
    for (int i = 0; i < 120; ++i)
        text += QStringLiteral("More filler %1.\n\n").arg(i);
    text += QStringLiteral("The last needle.\n");
    return text;
}

} // namespace

TEST(FindInBothPanes, OneCountOverTheMarkdownAndEachPaneStepsThroughATableMatch)
{
    ViewsHarness h(longDocument(), true);
    QList<int> counts; // every count the find bar was told
    QObject::connect(h.workspace.get(), &WorkspaceState::totalLocalMatchCountChanged,
        h.window.get(), [&] { counts.append(h.workspace->totalLocalMatchCount()); });
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("Needle"));
    QApplication::processEvents();

    const QList<TextRange> expected
        = MarkdownTextViewSupport::findMatches(h.content(), QStringLiteral("needle"));
    ASSERT_EQ(expected.size(), 3);
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 3);
    EXPECT_EQ(counts, QList<int> { 3 });

    // The second match stands in the table: the source pane marks it in its text, the block
    // editor marks the table's character; each scrolls to it.
    const qsizetype tableAt = h.content().indexOf(QStringLiteral("| Name"));
    const int tableCharacter = int(h.editor()->projected().storageOffset(tableAt));
    ASSERT_EQ(h.editor()->projected().storage().text().at(tableCharacter),
        QChar(QChar::ObjectReplacementCharacter));
    QTextEdit& source = *h.source()->textView();
    QTextEdit& blocks = *h.view();
    LocalSearchSteps::stepNext(*h.workspace);
    QApplication::processEvents();
    EXPECT_EQ(paintedIn(source).active, int(expected.at(1).location));
    EXPECT_TRUE(paintedIn(source).ranges.contains(
        QPair<int, int>(int(expected.at(1).location), int(expected.at(1).end()))));
    EXPECT_TRUE(isShown(source, int(expected.at(1).location)));
    EXPECT_EQ(paintedIn(blocks).active, tableCharacter);
    EXPECT_TRUE(
        paintedIn(blocks).ranges.contains(QPair<int, int>(tableCharacter, tableCharacter + 1)));
    EXPECT_TRUE(isShown(blocks, tableCharacter));

    // On to the last match, past the table, and back to it.
    LocalSearchSteps::stepNext(*h.workspace);
    QApplication::processEvents();
    EXPECT_EQ(paintedIn(source).active, int(expected.at(2).location));
    const int lastInBlocks = int(h.editor()->projected().storageOffset(expected.at(2).location));
    EXPECT_EQ(paintedIn(blocks).active, lastInBlocks);
    EXPECT_TRUE(isShown(blocks, lastInBlocks));
    LocalSearchSteps::stepPrevious(*h.workspace);
    QApplication::processEvents();
    EXPECT_EQ(paintedIn(source).active, int(expected.at(1).location));
    EXPECT_EQ(paintedIn(blocks).active, tableCharacter);
    EXPECT_TRUE(isShown(blocks, tableCharacter));
    EXPECT_EQ(h.workspace->currentLocalMatchIndex(), 1);

    // Typing a match in the block editor: one new count, the same in both panes' marks.
    h.setCaret(0);
    h.type(QStringLiteral("needle "));
    QApplication::processEvents();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 4);
    EXPECT_EQ(counts, (QList<int> { 3, 4 }));
    EXPECT_TRUE(paintedIn(source).ranges.contains(
        QPair<int, int>(int(expected.at(1).location + 7), int(expected.at(1).end() + 7))));
    EXPECT_EQ(paintedIn(blocks).ranges.first(), (QPair<int, int>(0, 6)));
    EXPECT_EQ(h.onDisk(), h.content().toUtf8());
}

TEST(FindInBothPanes, ATableWithAMatchIsTintedInTheBlockEditorActiveOrNot)
{
    ViewsHarness h(
        QStringLiteral("Find the pin.\n\n| Tool | Note |\n|---|---|\n| awl | no pin |\n\n"
                       "Plain words.\n"),
        true);
    const QTextBlock table = h.view()->document()->findBlock(
        int(h.editor()->projected().storageOffset(h.content().indexOf(u"| Tool"))));
    QRectF box = h.view()->document()->documentLayout()->blockBoundingRect(table);
    box.translate(0, -h.view()->verticalScrollBar()->value());
    // A cell's background, left of the text in the body row.
    const QPoint inCell(int(box.left()) + 4, int(box.bottom()) - 6);
    auto cellColour = [&] {
        QApplication::processEvents();
        return h.view()->viewport()->grab().toImage().pixelColor(inCell);
    };
    const QColor plain = cellColour();
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setLocalSearchQuery(QStringLiteral("pin"));
    const QColor other = cellColour();
    h.workspace->setCurrentLocalMatchIndex(1);
    const QColor active = cellColour();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 2);
    EXPECT_NE(other, plain);
    EXPECT_NE(active, plain);
    EXPECT_NE(active, other);
    EXPECT_LT(other.blue(), plain.blue() - 40) << "tinted yellow";
}

TEST(FindInBothPanes, AMatchOnAHighLineShowsItFromItsTopAndWholeWhereItFits)
{
    // A table in the block editor is one line as high as its grid; a match in any of its cells
    // reveals that line. Here a line of large letters stands in for it.
    QTextEdit view;
    view.resize(400, 300);
    view.show();
    const int height = view.viewport()->height();
    QString filler;
    for (int i = 0; i < 60; ++i)
        filler += QStringLiteral("line %1\n").arg(i);
    view.setPlainText(filler + QStringLiteral("X\n") + filler);
    const int at = int(filler.size());
    const auto makeHigh = [&](int pixels) {
        QTextCursor cursor(view.document());
        cursor.setPosition(at);
        cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        QFont font = view.font();
        font.setPixelSize(pixels);
        format.setFont(font);
        cursor.mergeCharFormat(format);
    };
    const auto shown = [&] {
        const QTextBlock block = view.document()->findBlock(at);
        return view.document()->documentLayout()->blockBoundingRect(block).translated(
            0, -view.verticalScrollBar()->value());
    };
    QScrollBar* bar = view.verticalScrollBar();

    makeHigh(height * 3 / 4);
    ASSERT_GT(shown().height(), height * 2 / 3);
    ASSERT_LT(shown().height(), height);
    for (const bool fromAbove : { true, false }) {
        bar->setValue(fromAbove ? 0 : bar->maximum());
        EditorFindController::scrollIntoView(view, { at, 1 });
        EXPECT_GE(shown().top(), 0) << fromAbove;
        EXPECT_LE(shown().bottom(), height) << fromAbove;
    }

    // Higher than the view: its top stands at the view's top, whichever side it came from.
    makeHigh(height);
    ASSERT_GT(shown().height(), height);
    for (const bool fromAbove : { true, false }) {
        bar->setValue(fromAbove ? 0 : bar->maximum());
        EditorFindController::scrollIntoView(view, { at, 1 });
        EXPECT_NEAR(shown().top(), 0, 1) << fromAbove;
    }
}
