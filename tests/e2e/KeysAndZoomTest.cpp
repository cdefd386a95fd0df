// Where the keys go when documents are opened and shown, and what zooming does to the editors of
// the shown and of the hidden tabs, in the real window driven by keys and clicks.
#include "E2EHarness.h"

#include "app/TopBar.h"
#include "editor/source/SourceTextEdit.h"
#include "sidebar/SearchField.h"
#include "sidebar/SearchResultsView.h"
#include "ui/TabButton.h"

#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QTextBlock>
#include <QWheelEvent>

using namespace quillon;
using namespace quillon::test;

namespace {

class KeysAndZoom : public EndToEndTest
{
protected:
    void openFolder()
    {
        prompts->queueOpenPanelAnswer(tree.path());
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        settle(300);
    }
    // Types where the keys go, as a user's typing does.
    void typeToFocus(const QString& text)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << "nothing has the keys";
        type(focus, text);
    }
    void keyToFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << "nothing has the keys";
        QTest::keyClick(focus, key, modifiers);
        settle(20);
    }
    void clickTab(const QString& path)
    {
        TabButton* tab = window->topBar()->tab(path);
        ASSERT_NE(tab, nullptr);
        QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(30, tab->height() / 2));
        settle();
    }
    bool isTyping(const QString& path, const QString& text) const
    {
        ws().flushPendingWrites();
        return ws().document(path) && ws().document(path)->text().toString().contains(text)
            && readFile(path).contains(text.toUtf8());
    }
};

// The paragraph at the top of a text view.
int topParagraph(QTextEdit* view)
{
    return view->cursorForPosition(QPoint(view->viewport()->width() / 2, 2)).blockNumber();
}

// The font size the block editor shows its last paragraph in.
int shownSize(UnifiedBlockEditor* editor)
{
    const QTextBlock block = editor->textView()->document()->lastBlock();
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    return formats.isEmpty() ? block.charFormat().font().pixelSize()
                             : formats.first().format.font().pixelSize();
}

} // namespace

TEST_F(KeysAndZoom, TheShownDocumentsEditorTakesTheKeysWhenOpenedClickedOrFoundBySearch)
{
    const QString first = tree.write("first.md", "# First\n\nalpha\n");
    const QString second = tree.write("second.md", "# Second\n\nthe zebra crossing\n");
    start();
    openFolder();

    // Opened from the tree: the block editor has the keys.
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(first); }, 5000));
    typeToFocus(QStringLiteral("A"));
    EXPECT_TRUE(blocks()->textView()->hasFocus());
    EXPECT_TRUE(isTyping(first, QStringLiteral("A")));

    // The source pane had them last for this document: it has them again when it comes back.
    QTest::mouseClick(source()->textView()->viewport(), Qt::LeftButton, {}, QPoint(40, 30));
    typeToFocus(QStringLiteral("S"));
    EXPECT_TRUE(isTyping(first, QStringLiteral("S")));
    ASSERT_TRUE(clickTreeRow(second));
    EXPECT_EQ(ws().activeTabURL(), second);
    typeToFocus(QStringLiteral("B"));
    EXPECT_TRUE(isTyping(second, QStringLiteral("B")));
    clickTab(first);
    EXPECT_EQ(ws().activeTabURL(), first);
    EXPECT_TRUE(source()->textView()->hasFocus());
    typeToFocus(QStringLiteral("T"));
    EXPECT_TRUE(isTyping(first, QStringLiteral("ST")));

    // A click on the tree row of the document shown leaves the keys with it.
    ASSERT_TRUE(clickTreeRow(first));
    typeToFocus(QStringLiteral("W"));
    EXPECT_TRUE(isTyping(first, QStringLiteral("STW")));

    // A click on the tab already shown, with the keys in the project search.
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QLineEdit* field = sidebar()->searchField()->lineEdit();
    ASSERT_TRUE(field->hasFocus());
    clickTab(first);
    typeToFocus(QStringLiteral("U"));
    EXPECT_TRUE(isTyping(first, QStringLiteral("STWU")));
    EXPECT_TRUE(field->text().isEmpty());

    // A project-search hit: the keys leave the search field for the hit's document.
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClicks(field, QStringLiteral("zebra"));
    QListView* results = sidebar()->searchResults()->list();
    ASSERT_TRUE(
        waitUntil([&] { return results->model()->rowCount() > 0 && results->isVisible(); }));
    QModelIndex hit;
    for (int row = 0; row < results->model()->rowCount() && !hit.isValid(); ++row)
        if (results->model()->index(row, 0).flags() & Qt::ItemIsSelectable)
            hit = results->model()->index(row, 0);
    ASSERT_TRUE(hit.isValid());
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, results->visualRect(hit).center());
    ASSERT_TRUE(waitUntil([&] { return ws().activeTabURL() == second; }));
    keyToFocus(Qt::Key_Right); // off the hit's selected line, onto the next
    typeToFocus(QStringLiteral("Z"));
    EXPECT_EQ(field->text(), QStringLiteral("zebra"));
    EXPECT_TRUE(isTyping(second, QStringLiteral("Z")));

    quit();
    EXPECT_TRUE(readFile(first).contains("STWU"));
    EXPECT_TRUE(readFile(second).contains("Z"));
}

TEST_F(KeysAndZoom, AFileOpenedAtStartHasTheKeys)
{
    const QString doc = tree.write("start.md", "# Start\n");
    prompts->queueOpenPanelAnswer(doc);
    start();
    // From the start page's "Open File".
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    settle();
    ASSERT_EQ(ws().activeTabURL(), doc);
    typeToFocus(QStringLiteral("K"));
    EXPECT_TRUE(isTyping(doc, QStringLiteral("K")));

    // Restarted, the document comes back from the last session and has the keys again.
    restart();
    ASSERT_TRUE(waitUntil([&] { return ws().activeTabURL() == doc && blocks(); }));
    settle();
    typeToFocus(QStringLiteral("L"));
    EXPECT_TRUE(isTyping(doc, QStringLiteral("L")));
}

TEST_F(KeysAndZoom, ZoomKeepsEachPanesTopLineAndHiddenTabsRestyleWhenShown)
{
    QString text;
    for (int i = 1; i <= 1500; ++i) {
        text += QStringLiteral("Line %1 of the text").arg(i);
        // Every fifth paragraph wraps in either pane.
        if (i % 5 == 0)
            text += QStringLiteral(" that goes on").repeated(20);
        text += QStringLiteral("\n\n");
    }
    const QString other = tree.write("other.md", "# Other\n\nSome text.\n");
    const QString doc = tree.write("long.md", text.toUtf8());
    start(QSize(1300, 800));
    openFolder();
    ASSERT_TRUE(waitUntil([&] { return clickTreeRow(other); }, 5000));
    UnifiedBlockEditor* hiddenBlocks = blocks();
    CodeEditorView* hiddenSource = source();
    int hiddenPresentations = 0;
    // Counts only while the test runs: the view outlives it and still restyles when it ends.
    QObject counting;
    QObject::connect(hiddenBlocks, &UnifiedBlockEditor::presented, &counting,
        [&](int) { ++hiddenPresentations; });
    ASSERT_TRUE(clickTreeRow(doc));
    ASSERT_TRUE(waitUntil([&] { return !source()->isLoading() && !blocks()->isLoading(); }));
    settle(600);

    // The source pane turned down to paragraph ~730 (line ~366 of the file) by the wheel.
    SourceTextEdit* pane = source()->textView();
    while (topParagraph(pane) < 730) {
        const QPointF at(100, 100);
        QWheelEvent wheel(at, pane->viewport()->mapToGlobal(at), {}, { 0, -120 }, Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(pane->viewport(), &wheel);
        QApplication::processEvents();
    }
    settle();
    const int sourceTop = topParagraph(pane);
    MarkdownTextView* blockView = blocks()->textView();
    blockView->verticalScrollBar()->setValue(blockView->verticalScrollBar()->maximum() / 3);
    settle();
    const int blocksTop = topParagraph(blockView);
    ASSERT_GT(blocksTop, 100);

    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(60, 60));
    hiddenPresentations = 0;
    for (int step = 1; step <= 3; ++step) {
        SCOPED_TRACE(step);
        keyToFocus(Qt::Key_Equal, Qt::ControlModifier);
        settle(100);
        EXPECT_EQ(ws().editorFontSize(), 15 + step);
        EXPECT_NEAR(topParagraph(pane), sourceTop, 2); // a paragraph and the blank one after it
        EXPECT_NEAR(topParagraph(blockView), blocksTop, 2);
    }
    for (int step = 1; step <= 3; ++step) {
        keyToFocus(Qt::Key_Minus, Qt::ControlModifier);
        settle(100);
        EXPECT_NEAR(topParagraph(pane), sourceTop, 2);
    }
    keyToFocus(Qt::Key_Equal, Qt::ControlModifier);
    settle(600); // measuring what was estimated moves nothing on screen
    EXPECT_NEAR(topParagraph(pane), sourceTop, 2);
    EXPECT_NEAR(topParagraph(blockView), blocksTop, 2);

    // The other tab's views were left alone meanwhile; shown, they have the new size.
    EXPECT_EQ(hiddenPresentations, 0);
    EXPECT_NE(hiddenSource->textView()->font(), pane->font());
    clickTab(other);
    ASSERT_EQ(blocks(), hiddenBlocks);
    EXPECT_GE(hiddenPresentations, 1);
    EXPECT_EQ(hiddenSource->textView()->font(), pane->font());
    EXPECT_EQ(shownSize(hiddenBlocks), 16);
    typeToFocus(QStringLiteral("x"));
    EXPECT_TRUE(isTyping(other, QStringLiteral("x")));
}
