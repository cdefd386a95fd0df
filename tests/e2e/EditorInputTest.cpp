// Keys in the editors of the real window, where the focus decides which pane the next keys edit.
#include "E2EHarness.h"

#include <QTextCursor>

using namespace quillon;
using namespace quillon::test;

namespace {

// Keys go where the focus is, as they do for a user.
void keyToFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QApplication::processEvents();
}

TEST_F(EndToEndTest, ShiftTabInTheBlockEditorKeepsTheFocusAndOnlyOutdentsCode)
{
    const QString original
        = QStringLiteral("---\ntitle: T\n---\n\nSome text\n\n- item\n\n```\n    code\n```\n");
    const QString doc = tree.write("notes.md", original.toUtf8());
    start();
    prompts->queueOpenPanelAnswer(tree.path());
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    settle(300);
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(doc); }, 5000));
    ASSERT_NE(blocks(), nullptr);
    MarkdownTextView* view = blocks()->textView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(40, 20));
    ASSERT_TRUE(view->hasFocus());
    auto caretBefore = [&](const QString& text) {
        QTextCursor cursor = view->textCursor();
        cursor.setPosition(
            int(blocks()->projected().storageOffset(blocks()->markdown().indexOf(text))));
        view->setTextCursor(cursor);
    };

    // In a paragraph and in a list item the key changes nothing, and typing goes on here.
    QString expected = original;
    for (const QString& at : { QStringLiteral("text"), QStringLiteral("item") }) {
        SCOPED_TRACE(at.toStdString());
        caretBefore(at);
        keyToFocus(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(ws().currentFileContent(), expected);
        EXPECT_TRUE(view->hasFocus());
        type(QApplication::focusWidget(), QStringLiteral("x"));
        expected.insert(expected.indexOf(at), u'x');
        EXPECT_EQ(ws().currentFileContent(), expected);
    }
    // In fenced code it takes one level of indent off the line.
    caretBefore(QStringLiteral("code"));
    keyToFocus(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(view->hasFocus());
    expected.replace(QStringLiteral("    code"), QStringLiteral("  code"));
    EXPECT_EQ(ws().currentFileContent(), expected);

    quit();
    EXPECT_EQ(readFile(doc), expected.toUtf8());
}

} // namespace
