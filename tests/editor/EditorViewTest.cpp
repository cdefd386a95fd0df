// The standalone editor view: its centred column at a few widths, edits reported to the
// embedder, and texts set from outside.
#include "editor/block/EditorView.h"
#include "editor/block/MarkdownTextView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextFrame>

using namespace quillon;

namespace {

struct ShownEditorView
{
    EditorView view;
    QStringList edits;
    ShownEditorView()
    {
        QObject::connect(&view, &EditorView::textEdited, &view,
            [this](const QString& text) { edits.append(text); });
        view.resize(900, 500);
        view.show();
        QApplication::setActiveWindow(&view);
        view.textView()->setFocus();
        QApplication::processEvents();
    }
    QTextFrameFormat frame() const
    {
        return view.textView()->document()->rootFrame()->frameFormat();
    }
};

} // namespace

TEST(EditorView, CentresItsColumnInWideViewsAndKeepsFiftyInNarrowOnes)
{
    EXPECT_EQ(EditorView::horizontalInset(1000), 140);
    EXPECT_EQ(EditorView::horizontalInset(820), 50);
    EXPECT_EQ(EditorView::horizontalInset(821), 50.5);
    EXPECT_EQ(EditorView::horizontalInset(300), 50);
    ShownEditorView e;
    for (int width : { 1000, 820, 821, 400 }) {
        e.view.resize(width, 500);
        QApplication::processEvents();
        EXPECT_EQ(e.frame().leftMargin(), EditorView::horizontalInset(width)) << width;
        EXPECT_EQ(e.frame().rightMargin(), EditorView::horizontalInset(width)) << width;
        EXPECT_EQ(e.frame().topMargin(), 60);
    }
}

TEST(EditorView, TypingReportsTheWholeTextAndOutsideTextsAreNoUndoStep)
{
    ShownEditorView e;
    QString text;
    for (int i = 0; i < 120; ++i)
        text += QStringLiteral("Line **%1** of the text\n").arg(i);
    e.view.setText(text);
    EXPECT_TRUE(e.edits.isEmpty());
    EXPECT_FALSE(e.view.textView()->document()->isUndoAvailable());

    QTest::keyClick(e.view.textView(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(e.view.textView(), QStringLiteral("end"));
    ASSERT_EQ(e.edits.size(), 3);
    EXPECT_EQ(e.edits.last(), text + QStringLiteral("end"));
    EXPECT_EQ(e.view.text(), text + QStringLiteral("end"));

    // A shorter text from outside: the caret goes to its end, the scroll position stays.
    e.view.textView()->verticalScrollBar()->setValue(200);
    const int scroll = e.view.textView()->verticalScrollBar()->value();
    e.view.setText(QStringLiteral("short\n") + text.left(2000));
    EXPECT_EQ(e.view.textView()->textCursor().position(), 2006);
    EXPECT_EQ(e.view.textView()->verticalScrollBar()->value(), scroll);
    EXPECT_EQ(e.edits.size(), 3);

    // Appearance alone restyles in place: the text and the caret stay.
    e.view.setDarkMode(true);
    e.view.setFontSize(18);
    EXPECT_EQ(e.view.text(), QStringLiteral("short\n") + text.left(2000));
    EXPECT_EQ(e.view.textView()->textCursor().position(), 2006);
    EXPECT_EQ(e.edits.size(), 3);
}

TEST(EditorView, UndoAndRedoKeysStepThroughTheUsersEditsButNotPastAnOutsideText)
{
    ShownEditorView e;
    QWidget* text = e.view.textView();
    const auto undo = [&] { QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier); };
    const auto redo
        = [&] { QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); };
    const auto caret = [&] { return e.view.textView()->textCursor().position(); };
    e.view.setText(QStringLiteral("Title"));
    QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(text, QStringLiteral(" **x**"));
    QTest::keyClick(text, Qt::Key_Return);
    QTest::keyClicks(text, QStringLiteral("more"));
    QTest::keyClick(text, Qt::Key_Home);
    QTest::keyClicks(text, QStringLiteral("- "));
    ASSERT_EQ(e.view.text(), QStringLiteral("Title **x**\n- more"));

    // Each run of typing is one step; the caret goes back to where the step was made.
    undo();
    EXPECT_EQ(e.view.text(), QStringLiteral("Title **x**\nmore"));
    EXPECT_EQ(caret(), 12);
    undo();
    EXPECT_EQ(e.view.text(), QStringLiteral("Title **x**\n"));
    undo();
    undo();
    EXPECT_EQ(e.view.text(), QStringLiteral("Title"));
    EXPECT_EQ(e.edits.last(), QStringLiteral("Title"));
    EXPECT_EQ(caret(), 5);
    undo(); // the text set from outside stays
    EXPECT_EQ(e.view.text(), QStringLiteral("Title"));

    redo();
    EXPECT_EQ(e.view.text(), QStringLiteral("Title **x**"));
    EXPECT_EQ(caret(), 11);
    for (int i = 0; i < 5; ++i)
        redo();
    EXPECT_EQ(e.view.text(), QStringLiteral("Title **x**\n- more"));
    EXPECT_EQ(e.edits.last(), e.view.text());

    // A new edit after an undo drops what redo had.
    undo();
    QTest::keyClicks(text, QStringLiteral("!"));
    redo();
    EXPECT_EQ(e.view.text(), QStringLiteral("Title **x**\n!more"));
}
