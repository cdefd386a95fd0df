// A paragraph too long to lay out at once gets lines only as far as the view, the pointer or the
// caret reaches; what the user meets is what a whole layout gives.
#include "EditorHarness.h"
#include "SourceHarness.h"

#include "editor/block/BlockDocumentLayout.h"
#include "editor/layout/LazyTextLayout.h"
#include "editor/source/SourceDocumentLayout.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <vector>

using namespace quillon;
using namespace quillon::test;

namespace {

// Long paragraphs from `length` characters on, for as long as it lives.
struct LongFrom
{
    explicit LongFrom(int length) { LazyTextLayout::setLongParagraphForTesting(length); }
    ~LongFrom() { LazyTextLayout::setLongParagraphForTesting(0); }
    LongFrom(const LongFrom&) = delete;
    LongFrom& operator=(const LongFrom&) = delete;
};

constexpr int kLowThreshold = 3000;

// About 30 000 characters of words of several lengths: hundreds of lines, far more than a few
// screens, yet short enough for the default threshold to lay it out whole.
QString longParagraph()
{
    QString text;
    for (int i = 0; text.size() < 30000; ++i)
        text += QStringLiteral("w%1 lorem%2 ipsum ").arg(i).arg(QString(i % 7, u'x'));
    return text + QStringLiteral("THE END");
}

QString documentText()
{
    return QStringLiteral("# Title\n\nA short paragraph above.\n\n") + longParagraph()
        + QStringLiteral("\n\nA short paragraph below.\n");
}

// The caret after each key: where in the text, and where on its paragraph's lines (paragraphs
// above may still stand with estimated heights, which differ).
struct Step
{
    int position = 0;
    QRect rect;
    bool operator==(const Step&) const = default;
};

void PrintTo(const Step& step, std::ostream* out)
{
    *out << step.position << " @" << step.rect.x() << "," << step.rect.y();
}

template <typename View> Step stepOf(View* view)
{
    const QTextLayout* layout = view->textCursor().block().layout();
    const int top = qRound(layout->position().y()) - view->verticalScrollBar()->value();
    return { view->textCursor().position(), view->cursorRect().translated(0, -top) };
}

struct Press
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// Down through the first screens, pages on, to the end of a line and of the document, back to
// its start, and up from the paragraph below into the long one's last lines.
const std::vector<Press> kWalk { { Qt::Key_Down }, { Qt::Key_Down }, { Qt::Key_Down },
    { Qt::Key_Down }, { Qt::Key_PageDown }, { Qt::Key_PageDown }, { Qt::Key_PageDown },
    { Qt::Key_End }, { Qt::Key_Down }, { Qt::Key_PageDown }, { Qt::Key_PageDown },
    { Qt::Key_PageDown }, { Qt::Key_PageDown }, { Qt::Key_Home }, { Qt::Key_PageUp },
    { Qt::Key_End, Qt::ControlModifier }, { Qt::Key_Up }, { Qt::Key_Up }, { Qt::Key_Up },
    { Qt::Key_Home, Qt::ControlModifier }, { Qt::Key_Down } };

// From the end of the document up: into a long paragraph ending it, and into one above many short
// ones a page at a time.
const std::vector<Press> kWalkUp { { Qt::Key_End, Qt::ControlModifier }, { Qt::Key_Up },
    { Qt::Key_Home }, { Qt::Key_PageUp }, { Qt::Key_End, Qt::ControlModifier }, { Qt::Key_PageUp },
    { Qt::Key_PageUp }, { Qt::Key_PageUp }, { Qt::Key_Up }, { Qt::Key_End } };

QString endingInIt()
{
    return QStringLiteral("# Title\n\n") + longParagraph() + QStringLiteral("\n");
}

QString manyShortBelow()
{
    QString text = QStringLiteral("# Title\n\n") + longParagraph() + QStringLiteral("\n\n");
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("Line %1\n\n").arg(i);
    return text;
}

std::vector<Step> walkBlocks(
    int threshold, const QString& text = documentText(), const std::vector<Press>& walk = kWalk)
{
    const LongFrom longFrom(threshold);
    EditorHarness h(text, QSize(760, 500));
    h.setCaret(0);
    std::vector<Step> steps;
    for (const Press& press : walk) {
        h.key(press.key, press.modifiers);
        QApplication::processEvents(); // what the key queued: the caret kept in view
        steps.push_back(stepOf(h.view()));
        // Ctrl+End over paragraphs still estimated may leave the caret short of the view for a
        // moment, long paragraphs or not.
        if (press.modifiers == Qt::NoModifier) {
            EXPECT_TRUE(h.viewport()->rect().contains(h.view()->cursorRect()))
                << "key " << steps.size() << " threshold " << threshold;
        }
    }
    return steps;
}

std::vector<Step> walkSource(
    int threshold, const QString& text = documentText(), const std::vector<Press>& walk = kWalk)
{
    const LongFrom longFrom(threshold);
    SourceHarness h(text);
    h.setCaret(0);
    std::vector<Step> steps;
    for (const Press& press : walk) {
        h.key(press.key, press.modifiers);
        steps.push_back(stepOf(h.view()));
        EXPECT_TRUE(h.view()->viewport()->rect().contains(h.view()->cursorRect()))
            << "key " << steps.size() << " threshold " << threshold;
    }
    return steps;
}

QTextBlock longBlock(const QTextDocument* document)
{
    return document->find(QStringLiteral("w0 ")).block();
}

} // namespace

TEST(LongParagraph, OpensWithLinesForItsFirstScreensOnlyShownAsAWholeLayoutShowsThem)
{
    std::vector<QString> lines[2];
    for (int pass = 0; pass < 2; ++pass) {
        const LongFrom longFrom(pass == 0 ? kLowThreshold : 0);
        EditorHarness h(documentText(), QSize(760, 500));
        const QTextBlock block = longBlock(h.view()->document());
        ASSERT_GT(block.length(), 30000);
        const QTextLayout* layout = block.layout();
        if (pass == 0) {
            // A few screens' worth: nowhere near the hundreds the paragraph takes.
            EXPECT_GT(layout->lineCount(), 20);
            EXPECT_LT(layout->lineCount(), 200);
        }
        for (int i = 0; i < 20; ++i) {
            const QTextLine line = layout->lineAt(i);
            lines[pass].push_back(block.text().mid(line.textStart(), line.textLength()));
        }
    }
    EXPECT_EQ(lines[0], lines[1]);
}

TEST(LongParagraph, TheCaretWalksTheBlockViewAsOverAWholeLayout)
{
    EXPECT_EQ(walkBlocks(kLowThreshold), walkBlocks(0));
    EXPECT_EQ(
        walkBlocks(kLowThreshold, endingInIt(), kWalkUp), walkBlocks(0, endingInIt(), kWalkUp));
    EXPECT_EQ(walkBlocks(kLowThreshold, manyShortBelow(), kWalkUp),
        walkBlocks(0, manyShortBelow(), kWalkUp));
}

TEST(LongParagraph, TheCaretWalksTheSourcePaneAsOverAWholeLayout)
{
    EXPECT_EQ(walkSource(kLowThreshold), walkSource(0));
    EXPECT_EQ(
        walkSource(kLowThreshold, endingInIt(), kWalkUp), walkSource(0, endingInIt(), kWalkUp));
    EXPECT_EQ(walkSource(kLowThreshold, manyShortBelow(), kWalkUp),
        walkSource(0, manyShortBelow(), kWalkUp));
}

TEST(LongParagraph, AClickFarDownTheParagraphLandsOnTheCharacterAWholeLayoutPutsThere)
{
    std::vector<int> hits[2];
    for (int pass = 0; pass < 2; ++pass) {
        const LongFrom longFrom(pass == 0 ? kLowThreshold : 0);
        EditorHarness h(documentText(), QSize(760, 500));
        QScrollBar* bar = h.view()->verticalScrollBar();
        // Scrolled, not walked, far past the lines the paragraph got when it was opened.
        const int top = int(h.view()
                                ->document()
                                ->documentLayout()
                                ->blockBoundingRect(longBlock(h.view()->document()))
                                .top());
        bar->setValue(top + 5000);
        QApplication::processEvents();
        ASSERT_EQ(bar->value(), top + 5000);
        for (const QPoint at : { QPoint(200, 40), QPoint(420, 260), QPoint(90, 470) }) {
            QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, at);
            hits[pass].push_back(h.view()->textCursor().position());
        }
    }
    EXPECT_EQ(hits[0], hits[1]);
    EXPECT_GT(hits[0].front(), 10000);
}

TEST(LongParagraph, TypingAtItsStartAndEndReachesTheFileInBothPanes)
{
    const LongFrom longFrom(kLowThreshold);
    const QString text = documentText();
    const qsizetype start = text.indexOf(QStringLiteral("w0 "));
    const qsizetype end = text.indexOf(QStringLiteral("THE END")) + 7;
    {
        EditorHarness h(text, QSize(760, 500));
        h.setCaret(start);
        h.type(QStringLiteral("Alpha "));
        h.setCaret(end + 6);
        h.type(QStringLiteral(" omega"));
        QString expected = text;
        expected.insert(end, QStringLiteral(" omega"));
        expected.insert(start, QStringLiteral("Alpha "));
        EXPECT_EQ(QString::fromUtf8(h.onDisk()), expected);
        EXPECT_TRUE(h.viewport()->rect().contains(h.view()->cursorRect()));
    }
    {
        SourceHarness h(text);
        h.setCaret(int(start));
        h.type(QStringLiteral("Alpha "));
        h.setCaret(int(end) + 6);
        h.type(QStringLiteral(" omega"));
        QString expected = text;
        expected.insert(end, QStringLiteral(" omega"));
        expected.insert(start, QStringLiteral("Alpha "));
        EXPECT_EQ(QString::fromUtf8(h.onDisk()), expected);
        EXPECT_TRUE(h.view()->viewport()->rect().contains(h.view()->cursorRect()));
    }
}

TEST(LongParagraph, PagingDownKeepsTheCaretInViewAndTheViewMovingOneWay)
{
    const LongFrom longFrom(kLowThreshold);
    EditorHarness h(documentText(), QSize(760, 500));
    h.setCaret(0);
    QScrollBar* bar = h.view()->verticalScrollBar();
    int value = bar->value();
    int caretTop = 0;
    const int end = h.view()->document()->characterCount() - 1;
    for (int i = 0; i < 25 && h.view()->textCursor().position() < end; ++i) {
        h.key(Qt::Key_PageDown);
        const QRect caret = h.view()->cursorRect();
        EXPECT_TRUE(h.viewport()->rect().contains(caret)) << "page " << i;
        EXPECT_GE(bar->value(), value) << "page " << i;
        // The caret moves down the text a page at a time, never back.
        EXPECT_GT(caret.top() + bar->value(), caretTop) << "page " << i;
        caretTop = caret.top() + bar->value();
        value = bar->value();
    }
    // Past the long paragraph, whose every line is made by now.
    const QTextBlock block = longBlock(h.view()->document());
    EXPECT_GT(h.view()->textCursor().position(), block.position() + block.length());
}
