// Find in a document shown in both panes, as the window keeps them: one set of matches over the
// Markdown, one count, and each pane marking and revealing the active match in its own text.
#include "ViewsHarness.h"

#include "editor/chrome/LocalSearchSteps.h"
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
