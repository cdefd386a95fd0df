// Character formats only where the block view lays paragraphs out: the heights of the others
// are measured and dropped, and paragraphs far from the view give their formats back.
#include "EditorHarness.h"

#include "editor/block/BlockDocumentLayout.h"
#include "editor/block/BlockStylePresenter.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

// Paragraphs of every shape the presenter gives formats to: headings, hidden markers, tasks,
// quotes, code, tables, right-to-left text and paragraphs that wrap.
QString mixedDocument(int sections)
{
    QString doc;
    for (int i = 0; i < sections; ++i)
        doc += QStringLiteral(
            "## Section %1\n\nA paragraph with **bold**, *italic*, `code` and a "
            "[link](https://example.org) that runs on long enough to wrap in the column.\n\n"
            "- item\n- [x] done\n\n> a quote\n\n```cpp\nint x = %1; // note\n```\n\n"
            "| a | b |\n|---|---|\n| %1 | y |\n\n\u05E9\u05DC\u05D5\u05DD and more\n\n")
                   .arg(i);
    return doc;
}

void waitUntilStyledAndSettled(const EditorHarness& h)
{
    const QTextBlock last = h.view()->document()->lastBlock();
    ASSERT_TRUE(waitUntil([&] { return BlockStylePresenter::isPresented(last); }, 20000));
    ASSERT_TRUE(waitUntil([&] { return !h.view()->blockLayout().hasEstimates(); }, 20000));
    QApplication::processEvents();
}

} // namespace

TEST(BlockFormats, ParagraphsOutOfSightHoldNoneAndSettleToTheHeightsTheyAreShownWith)
{
    EditorHarness h(mixedDocument(150), QSize(820, 500));
    waitUntilStyledAndSettled(h);
    BlockDocumentLayout& layout = h.view()->blockLayout();
    QTextDocument* document = h.view()->document();
    ASSERT_GT(document->blockCount(), 2000);
    // The screen in view and the paragraphs laid out around the caret, not the document.
    EXPECT_GT(layout.formattedCount(), 0);
    EXPECT_LT(layout.formattedCount(), 200);

    // Laid out for real, every paragraph keeps the place its measured height gave it.
    const qreal settledHeight = layout.documentSize().height();
    QList<qreal> settledTops;
    for (int i = 0; i < document->blockCount(); i += 37)
        settledTops.append(layout.blockTop(i));
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        layout.blockBoundingRect(block);
    EXPECT_NEAR(layout.documentSize().height(), settledHeight, 0.01);
    for (int i = 0, k = 0; i < document->blockCount(); i += 37, ++k)
        EXPECT_NEAR(layout.blockTop(i), settledTops[k], 0.01) << "paragraph " << i;
}

TEST(BlockFormats, ALaidOutParagraphShowsTheStylingOfTheStorage)
{
    EditorHarness h(mixedDocument(3));
    h.setCaret(h.content().indexOf(QStringLiteral("A paragraph")));
    QTextDocument* document = h.view()->document();
    BlockStylePresenter presenter;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        document->documentLayout()->blockBoundingRect(block);
        EXPECT_EQ(
            block.layout()->formats(), presenter.formats(h.editor->projected().storage(), block))
            << block.blockNumber() << ": " << block.text().toStdString();
    }
    // A restyled paragraph takes its new formats as it is laid out again: the heading the
    // caret stands on shows its marker, and its formats say so.
    const QTextBlock heading = document->findBlockByNumber(0);
    const auto before = heading.layout()->formats();
    h.setCaret(1);
    document->documentLayout()->blockBoundingRect(heading);
    EXPECT_NE(heading.layout()->formats(), before);
    EXPECT_EQ(
        heading.layout()->formats(), presenter.formats(h.editor->projected().storage(), heading));
}

TEST(BlockFormats, ScrollingThroughALongDocumentLeavesFewParagraphsHoldingFormats)
{
    QString doc;
    for (int i = 0; i < 6000; ++i)
        doc += QStringLiteral("Line %1 with **bold** words\n").arg(i);
    EditorHarness h(doc, QSize(800, 600));
    QScrollBar* bar = h.view()->verticalScrollBar();
    for (int value = 0; value < bar->maximum(); value += h.viewport()->height()) {
        bar->setValue(value);
        h.viewport()->repaint();
    }
    bar->setValue(bar->maximum());
    h.viewport()->repaint();
    BlockDocumentLayout& layout = h.view()->blockLayout();
    EXPECT_LT(layout.formattedCount(), 3500);

    // Back at the top, what was given back is laid out and formatted again.
    bar->setValue(0);
    h.viewport()->repaint();
    const QTextBlock first = h.view()->document()->firstBlock();
    EXPECT_FALSE(first.layout()->formats().isEmpty());
    EXPECT_GT(first.layout()->lineCount(), 0);
}

TEST(BlockFormats, FormatsPutOnParagraphsAreNoPartOfTheNextEdit)
{
    // The text engine counts new formats as a change of the paragraph; were that passed on with
    // the next key, the key's change would reach over every paragraph laid out since.
    QString doc;
    for (int i = 0; i < 3000; ++i)
        doc += QStringLiteral("Line %1 with **bold** words\n").arg(i);
    EditorHarness h(doc, QSize(800, 600));
    QScrollBar* bar = h.view()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    h.viewport()->repaint();
    ASSERT_TRUE(waitUntil([&] { return !h.view()->blockLayout().hasEstimates(); }, 20000));
    bar->setValue(0);
    h.viewport()->repaint();
    h.setCaret(3);
    QList<QPair<int, int>> changes; // position, characters removed
    QObject::connect(h.view()->document(), &QTextDocument::contentsChange, h.editor.get(),
        [&](int position, int removed, int) {
            changes.append({ position, removed });
        });
    h.type(QStringLiteral("x"));
    ASSERT_FALSE(changes.isEmpty());
    EXPECT_EQ(changes.first(), qMakePair(3, 0));
    EXPECT_EQ(h.content(), QStringLiteral("Linxe 0") + doc.mid(6));
}
