// A line of many thousand characters in a long text: each pane holds it in parts cut between
// words, and what the file holds stays exactly what was typed, whichever part a key lands in.

#include "EditorHarness.h"
#include "SourceHarness.h"

#include "editor/layout/TextWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTextBlock>

using namespace quillon;
using namespace quillon::test;

namespace {

struct LongLineParts
{
    LongLineParts()
    {
        TextWindow::setTargetLength(2000);
        TextWindow::setTargetLength(2000, TextWindow::Pane::Block);
        TextWindow::setSoftLengthForTesting(120);
    }
    ~LongLineParts()
    {
        TextWindow::setTargetLength(0);
        TextWindow::setTargetLength(0, TextWindow::Pane::Block);
        TextWindow::setSoftLengthForTesting(0);
    }
    LongLineParts(const LongLineParts&) = delete;
    LongLineParts& operator=(const LongLineParts&) = delete;
};

// A heading, one line of numbered words with spans in it, and a last line.
QString textWithALongLine()
{
    QString text = QStringLiteral("# Title\n\n");
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("w%1 has **bold** and `code` ").arg(i);
    return text + QStringLiteral("end\n\nLast line.\n");
}

// Where the view's paragraph `block` begins in `text`, and that it begins after a space.
qsizetype partStart(const QTextDocument& document, int block, const QString& text)
{
    const QString part = document.findBlockByNumber(block).text();
    const qsizetype at = text.indexOf(part.left(30));
    EXPECT_GT(at, 0);
    EXPECT_EQ(text[at - 1], u' ');
    return at;
}

// Types `key` in the source pane before the first `before` of `expected`, and expects it there
// in the file and in what the pane gives back.
void typeBefore(const SourceHarness& h, QString& expected, const QString& before, QChar key)
{
    const qsizetype at = expected.indexOf(before);
    h.source->selectInDocument(at, at);
    h.type(QString(key));
    expected.insert(at, key);
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_EQ(h.source->text(), expected);
}

} // namespace

TEST(LongLineWindow, TheSourcePaneShowsALongLineInPartsAndGivesItsSpacesBack)
{
    const LongLineParts parts;
    QString expected = textWithALongLine();
    SourceHarness h(expected);
    const QTextDocument& document = *h.view()->document();
    // The window holds some parts of the line, each a paragraph of the view.
    ASSERT_GT(document.blockCount(), 6);
    ASSERT_LT(document.characterCount(), expected.size() / 2);
    EXPECT_EQ(h.source->text(), expected);

    const qsizetype at = partStart(document, 4, expected);
    // Copied across a part's start: the space, not a line break.
    h.source->selectInDocument(at - 10, at + 10);
    h.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), expected.mid(at - 10, 20));

    // Typed at the part's start, and Backspace over the space that begins it.
    h.source->selectInDocument(at, at);
    h.type(QStringLiteral("X"));
    h.key(Qt::Key_Left);
    h.key(Qt::Key_Backspace);
    expected.replace(at - 1, 1, QStringLiteral("X"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    // Return there makes a line of the file.
    h.key(Qt::Key_Return);
    expected.insert(at - 1, u'\n');
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    EXPECT_EQ(h.source->text(), expected);

    // Far along the line, past several windows: the parts there are held, and keys land.
    typeBefore(h, expected, QStringLiteral("w390 "), u'Y');
}

TEST(LongLineWindow, TheBlockViewShowsALongLineInPartsAndKeysLandInTheFile)
{
    const LongLineParts parts;
    QString expected = textWithALongLine();
    EditorHarness h(expected);
    h.settle();
    const QTextDocument& document = *h.view()->document();
    ASSERT_GT(document.blockCount(), 6);
    ASSERT_LT(document.characterCount(), expected.size() / 2);

    // A part is styled like the rest of its line: its spans' markers are hidden.
    const qsizetype at = partStart(document, 4, expected);
    const QTextBlock part = document.findBlockByNumber(4);
    const QString shown = part.text();
    const int bold = int(shown.indexOf(QStringLiteral("**bold**")));
    ASSERT_GE(bold, 0);
    const qsizetype storage = h.editor->projected().windowStart() + part.position() + bold;
    for (qsizetype i : { storage, storage + 1, storage + 6, storage + 7 }) {
        const bool* collapsed
            = h.editor->projected().storage().attribute<TextAttribute::Collapsed>(i);
        EXPECT_TRUE(collapsed && *collapsed) << i;
    }

    // Typed at the part's start, then Backspace over the space before it.
    QTextCursor cursor(h.view()->document());
    cursor.setPosition(part.position());
    h.view()->setTextCursor(cursor);
    h.type(QStringLiteral("X"));
    h.key(Qt::Key_Left);
    h.key(Qt::Key_Backspace);
    expected.replace(at - 1, 1, QStringLiteral("X"));
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
    // Undo gives the space back.
    h.key(Qt::Key_Z, Qt::ControlModifier);
    expected.replace(at - 1, 1, QStringLiteral(" "));
    expected.insert(at, u'X');
    EXPECT_EQ(h.onDisk(), expected.toUtf8());
}

TEST(LongLineWindow, AShortTextWithALineOfTensOfThousandsOfCharactersIsHeldInPartsToo)
{
    QString expected = QStringLiteral("# Title\n\n");
    for (int i = 0; expected.size() < 40000; ++i)
        expected += QStringLiteral("w%1 has *some* words ").arg(i);
    expected += QStringLiteral("\n\nLast line.\n");
    ASSERT_TRUE(TextWindow::fits(expected.size()));
    SourceHarness source(expected);
    EXPECT_GT(source.view()->document()->blockCount(), 8);
    EditorHarness blocks(expected);
    blocks.settle();
    EXPECT_GT(blocks.view()->document()->blockCount(), 8);
    // A paragraph of a few thousand characters is held whole.
    const QString shorter = QStringLiteral("# Title\n\n") + expected.mid(9, 9000) + u'\n';
    SourceHarness whole(shorter);
    EXPECT_EQ(whole.view()->document()->blockCount(), 4); // the empty line after the last too

    typeBefore(source, expected, QStringLiteral("w900 "), u'Z');
}
