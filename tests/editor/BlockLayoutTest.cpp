// The block editor's own document layout: paragraphs placed as the text engine would place
// them, laid out only as they are needed, and the view's place kept while heights settle.
#include "EditorHarness.h"
#include "ScreenPixels.h"

#include "editor/block/BlockDocumentLayout.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

using namespace quillon;
using namespace quillon::test;

namespace {

// Paragraphs of every shape the presenter makes: margins, hanging indents, the three kinds of
// line height, a line of one-pixel hidden markers, wrapped and right-to-left text.
void fill(QTextDocument& doc)
{
    QFont font;
    font.setPixelSize(15);
    doc.setDefaultFont(font);
    doc.setDocumentMargin(0);
    QTextFrameFormat frame = doc.rootFrame()->frameFormat();
    frame.setLeftMargin(90.5);
    frame.setRightMargin(70.5);
    frame.setTopMargin(40.25);
    frame.setBottomMargin(40);
    doc.rootFrame()->setFrameFormat(frame);
    QTextCursor cursor(&doc);
    auto paragraph = [&](const QString& text, const QTextBlockFormat& format,
                         const QTextCharFormat& chars = {}) {
        if (!doc.isEmpty())
            cursor.insertBlock();
        cursor.setBlockFormat(format);
        cursor.insertText(text, chars);
    };
    const QString longText = QStringLiteral("words that wrap over several lines ").repeated(12);
    QTextBlockFormat heading;
    heading.setTopMargin(24);
    heading.setBottomMargin(12);
    QTextCharFormat big;
    QFont headingFont = font;
    headingFont.setPixelSize(26);
    big.setFont(headingFont);
    paragraph(QStringLiteral("A heading"), heading, big);
    paragraph(longText, QTextBlockFormat());
    QTextBlockFormat hanging;
    hanging.setLeftMargin(30);
    hanging.setTextIndent(-14);
    hanging.setBottomMargin(6);
    paragraph(QStringLiteral("- ") + longText, hanging);
    QTextBlockFormat spaced;
    spaced.setLineHeight(6, QTextBlockFormat::LineDistanceHeight);
    paragraph(longText, spaced);
    QTextBlockFormat proportional;
    proportional.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
    paragraph(longText.left(120), proportional);
    QTextBlockFormat fixed;
    fixed.setLineHeight(21, QTextBlockFormat::FixedHeight);
    QTextCharFormat tiny;
    QFont tinyFont = font;
    tinyFont.setPixelSize(1);
    tiny.setFont(tinyFont);
    paragraph(QStringLiteral("**"), fixed, tiny);
    paragraph(QString(), QTextBlockFormat());
    QTextBlockFormat rtl;
    rtl.setLayoutDirection(Qt::RightToLeft);
    paragraph(QStringLiteral("שלום עולם ") + longText.left(80), rtl);
    paragraph(QStringLiteral("tab\tseparated\ttext"), heading);
}

void expectSameGeometry(QTextDocument& ours, QTextDocument& stock)
{
    QAbstractTextDocumentLayout* a = ours.documentLayout();
    QAbstractTextDocumentLayout* b = stock.documentLayout();
    ASSERT_EQ(ours.blockCount(), stock.blockCount());
    for (int i = 0; i < ours.blockCount(); ++i) {
        const QRectF r = a->blockBoundingRect(ours.findBlockByNumber(i));
        const QRectF s = b->blockBoundingRect(stock.findBlockByNumber(i));
        EXPECT_NEAR(r.top(), s.top(), 0.02) << "paragraph " << i;
        EXPECT_NEAR(r.left(), s.left(), 0.02) << "paragraph " << i;
        EXPECT_NEAR(r.height(), s.height(), 0.02) << "paragraph " << i;
        EXPECT_EQ(ours.findBlockByNumber(i).layout()->lineCount(),
            stock.findBlockByNumber(i).layout()->lineCount())
            << "paragraph " << i;
    }
    EXPECT_NEAR(a->documentSize().height(), b->documentSize().height(), 0.02);
    EXPECT_NEAR(a->documentSize().width(), b->documentSize().width(), 0.02);
    int differing = 0;
    for (qreal y = 0; y < b->documentSize().height() + 30; y += 5)
        for (qreal x = 0; x < 720; x += 23)
            for (auto accuracy : { Qt::FuzzyHit, Qt::ExactHit })
                differing += a->hitTest({ x, y }, accuracy) != b->hitTest({ x, y }, accuracy);
    EXPECT_EQ(differing, 0);
}

int topLineStart(const EditorHarness& h)
{
    QTextCursor cursor = h.view()->cursorForPosition(QPoint(h.viewport()->width() / 2, 0));
    cursor.movePosition(QTextCursor::StartOfLine);
    return cursor.position();
}

int lineTopInView(const EditorHarness& h, int position)
{
    QTextCursor cursor(h.view()->document());
    cursor.setPosition(position);
    return h.view()->cursorRect(cursor).top();
}

QString longDocument(int paragraphs)
{
    QString doc;
    for (int i = 0; i < paragraphs; ++i) {
        if (i % 10 == 0)
            doc += QStringLiteral("## Section %1\n\n").arg(i);
        doc += QStringLiteral(
            "Paragraph %1 has enough words in it to wrap onto a second line "
            "of the text column, and sometimes a third one when it is narrow.\n\n")
                   .arg(i);
    }
    return doc;
}

void waitUntilSettled(const EditorHarness& h)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return !h.view()->blockLayout().hasEstimates(); }, 20000));
    QApplication::processEvents();
}

} // namespace

TEST(BlockLayout, PlacesParagraphsAsTheStockLayoutDoesBeforeAndAfterEdits)
{
    QTextDocument ours;
    QTextDocument stock;
    ours.setDocumentLayout(new BlockDocumentLayout(&ours));
    fill(ours);
    fill(stock);
    ours.setPageSize(QSizeF(760, -1));
    stock.setPageSize(QSizeF(760, -1));
    expectSameGeometry(ours, stock);

    // A paragraph that grows by a line, one that is split, and a narrower page.
    for (QTextDocument* doc : { &ours, &stock }) {
        QTextCursor cursor(doc->findBlockByNumber(1));
        cursor.insertText(QStringLiteral("more words at the start of it "));
        cursor.setPosition(doc->findBlockByNumber(3).position() + 40);
        cursor.insertBlock();
    }
    expectSameGeometry(ours, stock);
    ours.setPageSize(QSizeF(430, -1));
    stock.setPageSize(QSizeF(430, -1));
    expectSameGeometry(ours, stock);
}

TEST(BlockLayout, AClickFarDownPutsTheCaretOnTheCharacterUnderIt)
{
    const QString before = longDocument(300);
    const QString target = QStringLiteral("Target: ")
        + QStringLiteral("a long paragraph that wraps over many lines of the column ").repeated(8);
    EditorHarness h(before + QStringLiteral("# Heading\n\n") + target + QStringLiteral("\n\n")
            + longDocument(50),
        QSize(760, 500));
    const QString content = h.content();
    h.editor->scrollToLine(
        int(content.left(content.indexOf(QStringLiteral("Target:"))).count(u'\n')) + 1);
    QApplication::processEvents();
    // Most of what lies above has not been laid out: the click must still land where it points.
    EXPECT_TRUE(h.view()->blockLayout().hasEstimates());

    const QTextBlock block
        = h.view()->document()->findBlock(h.view()->textCursor().selectionStart());
    ASSERT_TRUE(block.text().startsWith(QStringLiteral("Target")));
    for (int offset : { 5, 130, 333 }) {
        h.view()->document()->documentLayout()->blockBoundingRect(block);
        const QTextLayout* layout = block.layout();
        const QTextLine textLine = layout->lineForTextPosition(offset);
        const QPointF inDocument(layout->position().x() + textLine.cursorToX(offset) + 1,
            layout->position().y() + textLine.y() + textLine.height() / 2);
        const QPoint inView
            = (inDocument - QPointF(0, h.view()->verticalScrollBar()->value())).toPoint();
        ASSERT_TRUE(h.viewport()->rect().contains(inView))
            << offset << " " << inView.x() << "," << inView.y() << " " << layout->position().y()
            << " " << h.view()->verticalScrollBar()->value();
        QTest::mouseClick(h.viewport(), Qt::LeftButton, {}, inView);
        EXPECT_EQ(h.view()->textCursor().position() - block.position(), offset);
    }
}

TEST(BlockLayout, UpAndDownWalkLinesOfEveryHeightAndComeBack)
{
    EditorHarness h(QStringLiteral("A plain paragraph long enough to wrap onto a second line in a "
                                   "narrow column of text for sure.\n\n# A heading line\n\n## A "
                                   "second heading\n\n- a list item\n- another item\n\nlast"),
        QSize(420, 600));
    h.setCaret(9);
    const int start = h.view()->textCursor().position();
    QList<int> tops { h.view()->cursorRect().top() };
    for (int i = 0; i < 8; ++i) {
        h.key(Qt::Key_Down);
        tops.append(h.view()->cursorRect().top());
        EXPECT_GT(tops.last(), tops[tops.size() - 2]) << "down " << i;
    }
    for (int i = 0; i < 8; ++i) {
        h.key(Qt::Key_Up);
        EXPECT_LT(h.view()->cursorRect().top(), tops[8 - i]) << "up " << i;
    }
    EXPECT_EQ(h.view()->textCursor().position(), start);
}

TEST(BlockLayout, OnceSettledTheScrollRangeIsTheLaidOutText)
{
    EditorHarness h(longDocument(600), QSize(800, 500));
    waitUntilSettled(h);
    QTextDocument* doc = h.view()->document();
    const qreal bottom = doc->documentLayout()->blockBoundingRect(doc->lastBlock()).bottom() + 40;
    QScrollBar* bar = h.view()->verticalScrollBar();
    EXPECT_NEAR(bar->maximum() + h.viewport()->height(), bottom, 1.0);

    h.key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_LE(h.view()->cursorRect().bottom(), h.viewport()->height());
    EXPECT_GE(h.view()->cursorRect().top(), 0);
}

TEST(BlockLayout, TypingMovesOnlyWhatFollowsAGrowingParagraph)
{
    EditorHarness h(longDocument(400), QSize(800, 500));
    QTextDocument* doc = h.view()->document();
    const QTextCursor found = doc->find(QStringLiteral("Paragraph 200 "));
    const int edited = found.blockNumber();
    h.editor->scrollToLine(
        int(h.content().left(h.content().indexOf(QStringLiteral("Paragraph 200 "))).count(u'\n'))
        + 1);
    QApplication::processEvents();
    auto* layout = doc->documentLayout();
    auto rects = [&] {
        QList<QRectF> result;
        for (int i = edited - 6; i <= edited + 6; ++i)
            result.append(layout->blockBoundingRect(doc->findBlockByNumber(i)));
        result.append(layout->blockBoundingRect(doc->findBlockByNumber(edited + 300)));
        return result;
    };
    QTextCursor cursor = h.view()->textCursor();
    cursor.setPosition(found.block().position());
    h.view()->setTextCursor(cursor);
    waitUntilSettled(h);
    const QList<QRectF> before = rects();
    // Only the paragraph typed in is painted again, not the one after it.
    QRectF repainted;
    const QMetaObject::Connection watching = QObject::connect(
        layout, &QAbstractTextDocumentLayout::update, [&](const QRectF& r) { repainted |= r; });
    h.type(QStringLiteral("x"));
    QObject::disconnect(watching);
    const QList<QRectF> typed = rects();
    EXPECT_EQ(typed, before);
    EXPECT_LE(repainted.top(), before[6].top());
    EXPECT_GE(repainted.bottom(), before[6].bottom());
    EXPECT_LT(repainted.bottom(), before[7].bottom());

    // Enough to need another line: the paragraph grows and what follows moves by as much.
    h.type(QStringLiteral(" more words").repeated(10));
    const QList<QRectF> grown = rects();
    const qreal growth = grown[6].height() - before[6].height();
    EXPECT_GT(growth, 10);
    for (int i = 0; i < grown.size(); ++i) {
        if (i < 6) {
            EXPECT_EQ(grown[i], before[i]) << i;
        } else if (i > 6) {
            EXPECT_NEAR(grown[i].top() - before[i].top(), growth, 0.02) << i;
        }
    }
}

TEST(BlockLayout, ANewWidthKeepsTheTopLineOfTheViewInPlace)
{
    EditorHarness h(longDocument(500), QSize(900, 500));
    QScrollBar* bar = h.view()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QApplication::processEvents();
    // The view's top may fall in the gap above a paragraph: it is brought to that paragraph's
    // first line.
    if (const int below = lineTopInView(h, topLineStart(h)); below > 0) {
        bar->setValue(bar->value() + below);
        QApplication::processEvents();
    }
    const int anchor = topLineStart(h);
    const int top = lineTopInView(h, anchor);
    ASSERT_LE(top, 0);

    // The assistant panel opening narrows the editor; closing it widens it again.
    for (int width : { 560, 900, 700 }) {
        h.editor->resize(width, 500);
        QApplication::processEvents();
        EXPECT_NEAR(lineTopInView(h, anchor), top, 1) << width;
    }
    // The paragraphs above settle to their real heights without moving the text in view.
    waitUntilSettled(h);
    EXPECT_NEAR(lineTopInView(h, anchor), top, 1);
}

TEST(BlockLayout, UndoOfAnEditThatRestylesAParagraphRepaintsWhateverMoved)
{
    // Typing before a task's marker makes it plain text (another paragraph spacing), undo makes
    // it a task again: the lines below move, and nothing is left painted where they were.
    const QString text = QStringLiteral("Intro\n\n- [ ] task\n> quote\n> more quote\n\nAfter\n");
    EditorHarness h(text, QSize(700, 400));
    EditorHarness fresh(text, QSize(700, 400));
    fresh.view()->clearFocus();
    const SteadyCaretScope steady;
    for (const QString& typed : { QStringLiteral("x"), QStringLiteral("> ") }) {
        h.view()->setFocus();
        h.setCaret(text.indexOf(u'-'));
        h.type(typed);
        const QRect typing = stalePixels(h.viewport());
        EXPECT_TRUE(typing.isEmpty())
            << typed.toStdString() << " left " << typing.top() << "-" << typing.bottom();
        h.key(Qt::Key_Z, Qt::ControlModifier);
        ASSERT_EQ(h.content(), text);
        const QRect undoing = stalePixels(h.viewport());
        EXPECT_TRUE(undoing.isEmpty())
            << "its undo left " << undoing.top() << "-" << undoing.bottom();

        // And where a view made fresh from the text puts them.
        QTextDocument* doc = h.view()->document();
        QTextDocument* freshDoc = fresh.view()->document();
        for (int i = 0; i < doc->blockCount(); ++i) {
            EXPECT_EQ(doc->documentLayout()->blockBoundingRect(doc->findBlockByNumber(i)),
                freshDoc->documentLayout()->blockBoundingRect(freshDoc->findBlockByNumber(i)))
                << i;
        }
    }
}

TEST(BlockLayout, InlineCodeMovedByALineBreakAboveIsPaintedWithItsText)
{
    // A paragraph moved down, not restyled, keeps what was found of its inline code: the
    // background goes with the text, as a view made fresh from the text shows it.
    const QString text = QStringLiteral("Intro\n\nSome words `code` and `more code` after\n\nEnd");
    EditorHarness h(text, QSize(420, 300));
    const SteadyCaretScope steady;
    QApplication::processEvents();
    h.setCaret(QStringLiteral("Intro").size());
    h.key(Qt::Key_Return);
    h.key(Qt::Key_Return);
    h.setCaret(h.content().size());
    h.view()->clearFocus();
    EditorHarness fresh(h.content(), QSize(420, 300));
    fresh.setCaret(fresh.content().size());
    fresh.view()->clearFocus();
    QApplication::processEvents();
    EXPECT_TRUE(h.viewport()->grab().toImage() == fresh.viewport()->grab().toImage());
}
