// The editor column as the window composes it: both panes by default and the mode toggle in the
// top bar, typing in either pane reaching the other and the file, the status bar's figures and
// problems, and the find bar over the panes.
#include "WindowHarness.h"

#include "app/AppMenus.h"
#include "app/EditorArea.h"
#include "app/OverlayTransition.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "editor/chrome/LocalSearchView.h"
#include "editor/chrome/StatusBarView.h"
#include "editor/chrome/ViewModeToggle.h"
#include "editor/document/DocumentViews.h"
#include "editor/source/CodeEditorView.h"

#include <QAbstractAnimation>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>

using namespace quillon;
using namespace quillon::test;

namespace {

// Moves the program's animations only when the test says so, by as much as it says.
class AnimationClock : public QAnimationDriver
{
public:
    AnimationClock() { install(); }
    ~AnimationClock() override { uninstall(); }
    qint64 elapsed() const override { return m_now; }
    void advanceBy(int ms)
    {
        // An animation started since joins the clock a few event-loop turns later.
        for (int turn = 0; turn < 3; ++turn)
            QApplication::processEvents();
        m_now += ms;
        advance();
        QApplication::processEvents();
    }

protected:
    void start() override
    {
        m_now = 0; // the animation timer counts from the driver's start
        QAnimationDriver::start();
    }

private:
    qint64 m_now = 0;
};

class EditorColumnTest : public WindowTest
{
protected:
    // The active document's views.
    CodeEditorView* source() const { return window->documentViews().sourceEditor(); }
    UnifiedBlockEditor* blocks() const { return window->documentViews().blockEditor(); }
    template <typename View> View* inSlot(ContentView::Slot slot) const
    {
        return window->slot(slot)->findChild<View*>();
    }
    StatusBarView* status() const { return inSlot<StatusBarView>(ContentView::Slot::StatusBar); }
    // The other pane follows on the next turn of the event loop, which this lets happen.
    void typeInto(QWidget* target, const QString& text) const
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
        }
        QApplication::processEvents();
    }
};

} // namespace

TEST_F(EditorColumnTest, BothPanesFollowEachOtherAndTheToggleChoosesWhichAreShown)
{
    open();
    const QString path = writeDoc(QStringLiteral("a.md"), "# Title\n\nBody\n");
    ws().openFile(path);
    QApplication::processEvents();
    ASSERT_NE(source(), nullptr);
    ASSERT_NE(blocks(), nullptr);
    EXPECT_EQ(window->editorArea()->mode(), EditorMode::BlocksSplit);
    EXPECT_TRUE(source()->isVisible());
    EXPECT_TRUE(blocks()->isVisible());

    QTextCursor caret = source()->textView()->textCursor();
    caret.setPosition(9);
    source()->textView()->setTextCursor(caret);
    source()->textView()->setFocus();
    typeInto(source()->textView(), QStringLiteral("New "));
    EXPECT_EQ(blocks()->markdown(), QStringLiteral("# Title\n\nNew Body\n"));
    ws().flushPendingWrites();
    EXPECT_EQ(tree.read(QStringLiteral("a.md")), QByteArray("# Title\n\nNew Body\n"));

    auto* toggle = inSlot<ViewModeToggle>(ContentView::Slot::ViewModeToggle);
    ASSERT_NE(toggle, nullptr);
    QTest::mouseClick(toggle->sourceButton(), Qt::LeftButton);
    EXPECT_EQ(window->editorArea()->mode(), EditorMode::Blocks);
    EXPECT_FALSE(source()->isVisible());
    QTest::mouseClick(toggle->editorButton(), Qt::LeftButton); // the last pane stays
    EXPECT_TRUE(blocks()->isVisible());
    QTest::mouseClick(toggle->sourceButton(), Qt::LeftButton);
    QTest::mouseClick(toggle->editorButton(), Qt::LeftButton);
    EXPECT_EQ(window->editorArea()->mode(), EditorMode::SourceOnly);
    EXPECT_TRUE(source()->isVisible());
    EXPECT_FALSE(blocks()->isVisible());
    // Switching the mode changes neither the text nor the file.
    EXPECT_EQ(ws().currentFileContent(), QStringLiteral("# Title\n\nNew Body\n"));
}

TEST_F(EditorColumnTest, StatusBarShowsTheDocumentsFiguresAndFrontMatter)
{
    open();
    const QString first = writeDoc(QStringLiteral("a.md"), "a  b\n\nc");
    ws().openFile(first);
    ASSERT_TRUE(waitUntil([&] { return status()->wordLabel()->text() == u"3 words"; }));
    EXPECT_EQ(status()->charLabel()->text(), QStringLiteral("7 chars"));
    EXPECT_EQ(status()->yamlLabel()->text(), QStringLiteral("No YAML frontmatter"));

    // One emoji of several code points is one character.
    ws().openFile(writeDoc(QStringLiteral("b.md"), "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB"));
    ASSERT_TRUE(waitUntil([&] { return status()->charLabel()->text() == u"1 chars"; }));
    EXPECT_EQ(status()->wordLabel()->text(), QStringLiteral("1 words"));
    // Another tab's figures come with its text, without waiting as for a pause in typing.
    ws().selectTab(first);
    EXPECT_EQ(status()->wordLabel()->text(), QStringLiteral("3 words"));
    EXPECT_EQ(status()->charLabel()->text(), QStringLiteral("7 chars"));

    ws().openFile(writeDoc(QStringLiteral("c.md"), "---\ntitle: [x\n---\nText\n"));
    ASSERT_TRUE(waitUntil([&] { return status()->yamlStateLabel()->text() == u"error"; }));
    EXPECT_TRUE(status()->yamlStateLabel()->toolTip().startsWith(QStringLiteral("YAML Error: ")));
    ASSERT_TRUE(waitUntil([&] { return status()->tokenLabel()->text() != u"0"; }));
}

TEST_F(EditorColumnTest, ADocumentThatCannotBeReadIsNamedInTheStatusBarAndNeverEdited)
{
    open();
    const QString path = writeDoc(QStringLiteral("bin.md"), QByteArray("ab\xff\xfe"));
    ws().openFile(path);
    QApplication::processEvents();
    EXPECT_TRUE(status()->problemLabel()->isVisibleTo(status()));
    EXPECT_EQ(status()->problemLabel()->toolTip(), ws().documentError());
    typeInto(source()->textView(), QStringLiteral("x"));
    EXPECT_EQ(tree.read(QStringLiteral("bin.md")), QByteArray("ab\xff\xfe"));
}

TEST_F(EditorColumnTest, FindCommandOpensTheBarWhoseFieldFindsInThePanes)
{
    open();
    ws().openFile(writeDoc(QStringLiteral("a.md"), "cat dog cat\n"));
    QApplication::processEvents();
    blocks()->textView()->setFocus();
    window->toggleFindInDocument();
    QApplication::processEvents();
    auto* bar = inSlot<LocalSearchView>(ContentView::Slot::FindBar);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->field()->hasFocus());
    QTest::keyClicks(bar->field(), QStringLiteral("cat"));
    QApplication::processEvents();
    EXPECT_EQ(ws().totalLocalMatchCount(), 2);
    EXPECT_EQ(bar->countLabel()->text(), QStringLiteral("1 of 2"));
    QTest::keyClick(bar->field(), Qt::Key_Return);
    EXPECT_EQ(bar->countLabel()->text(), QStringLiteral("2 of 2"));
    QTest::keyClick(bar->field(), Qt::Key_Escape);
    EXPECT_FALSE(ws().isLocalSearchVisible());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(ws().localSearchQuery(), QStringLiteral("cat"));
    // The keys go back to the editor, not to the next field of the window.
    EXPECT_TRUE(blocks()->textView()->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    EXPECT_TRUE(ws().globalSearchQuery().isEmpty());
}

TEST_F(EditorColumnTest, TheFindBarSlidesInAndOutWhileTheKeysGoStraightWhereTheyBelong)
{
    open(QSize(1200, 800), [this](ContentView& w) { AppMenus::install(w, nullptr); });
    ws().openFile(writeDoc(QStringLiteral("a.md"), "cat dog cat\n"));
    QApplication::processEvents();
    QWidget* slot = window->slot(ContentView::Slot::FindBar);
    auto* bar = inSlot<LocalSearchView>(ContentView::Slot::FindBar);
    auto* transition = slot->findChild<OverlayTransition*>();
    ASSERT_NE(transition, nullptr);
    QWidget* page = slot->parentWidget();
    auto pictures = [&] { return page->findChildren<QWidget*>(QStringLiteral("leavingOverlay")); };
    auto atRest = [&] {
        return slot->isVisible() && !slot->graphicsEffect() && pictures().isEmpty()
            && slot->y() == 10 && slot->geometry().right() == page->width() - 21;
    };
    auto gone = [&] { return !slot->isVisible() && pictures().isEmpty(); };
    const int half = OverlayTransition::kDurationMs / 2;
    AnimationClock clock;
    QWidget* editor = blocks()->textView();
    editor->setFocus();

    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    // Half-way in, the bar is partly above its place and faint, and already takes the keys.
    clock.advanceBy(half);
    EXPECT_LT(slot->y(), 10);
    EXPECT_GT(slot->geometry().bottom(), 0);
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(slot->graphicsEffect());
    ASSERT_NE(fade, nullptr);
    EXPECT_GT(fade->opacity(), 0);
    EXPECT_LT(fade->opacity(), 1);
    EXPECT_TRUE(bar->field()->hasFocus());
    QTest::keyClicks(bar->field(), QStringLiteral("cat"));
    EXPECT_EQ(ws().localSearchQuery(), QStringLiteral("cat"));
    // The window narrowed meanwhile: the bar comes to rest at the new right edge.
    window->resize(1000, 700);
    clock.advanceBy(OverlayTransition::kDurationMs);
    EXPECT_TRUE(atRest());
    EXPECT_EQ(bar->countLabel()->text(), QStringLiteral("1 of 2"));

    QTest::keyClick(bar->field(), Qt::Key_Escape);
    // The bar is gone and the keys are back in the editor at once; a picture of it leaves,
    // taking no clicks.
    EXPECT_FALSE(slot->isVisible());
    EXPECT_TRUE(editor->hasFocus());
    QWidget* picture = transition->leavingPicture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), slot->geometry());
    EXPECT_TRUE(picture->testAttribute(Qt::WA_TransparentForMouseEvents));
    clock.advanceBy(half);
    ASSERT_EQ(pictures().size(), 1);
    const int pictureTop = picture->y();
    EXPECT_LT(pictureTop, 10);
    EXPECT_GT(picture->geometry().bottom(), 0);
    // Called back half-way out, the bar comes back from where its picture is.
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(pictures().isEmpty());
    EXPECT_EQ(slot->y(), pictureTop);
    EXPECT_TRUE(bar->field()->hasFocus());
    clock.advanceBy(OverlayTransition::kDurationMs);
    EXPECT_TRUE(atRest());

    // Pressed in quick succession, it ends shown or gone, never half-way.
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        clock.advanceBy(30);
    }
    clock.advanceBy(OverlayTransition::kDurationMs);
    EXPECT_FALSE(ws().isLocalSearchVisible());
    EXPECT_TRUE(gone());

    // The document closed while the bar slides in; the next one shows it at rest.
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    clock.advanceBy(half);
    window->closeActiveTab();
    ASSERT_TRUE(window->isShowingStartPage());
    EXPECT_TRUE(gone());
    ws().openFile(writeDoc(QStringLiteral("b.md"), "cat\n"));
    clock.advanceBy(OverlayTransition::kDurationMs);
    EXPECT_TRUE(atRest());
}

TEST_F(EditorColumnTest, EachTabKeepsItsSourcePaneWhileAnotherIsShown)
{
    open();
    const QString first = writeDoc(QStringLiteral("a.md"), "# First\n\nalpha\n");
    const QString second = writeDoc(QStringLiteral("b.md"), "# Second\n\nbeta\n");
    ws().openFile(first);
    QApplication::processEvents();
    CodeEditorView* firstPane = source();
    QTextCursor caret = firstPane->textView()->textCursor();
    caret.setPosition(9);
    firstPane->textView()->setTextCursor(caret);
    firstPane->textView()->setFocus();
    typeInto(firstPane->textView(), QStringLiteral("X"));
    QApplication::processEvents();

    ws().openFile(second);
    QApplication::processEvents();
    ASSERT_NE(source(), firstPane);
    EXPECT_FALSE(firstPane->isVisible());
    EXPECT_TRUE(source()->textView()->hasFocus());
    EXPECT_EQ(source()->text(), QStringLiteral("# Second\n\nbeta\n"));
    typeInto(source()->textView(), QStringLiteral("Y"));
    QApplication::processEvents();
    EXPECT_EQ(ws().currentFileContent(), QStringLiteral("Y# Second\n\nbeta\n"));
    // A jump to a line moves the shown pane's caret only.
    window->documentViews().show(ws().activeTabURL(), 3);
    EXPECT_TRUE(source()->textView()->textCursor().selectedText().startsWith(u"beta"));

    // Back to the first tab: its own pane, text and caret, and typing goes on there.
    ws().selectTab(first);
    QApplication::processEvents();
    ASSERT_EQ(source(), firstPane);
    EXPECT_TRUE(firstPane->isVisible());
    EXPECT_EQ(firstPane->text(), QStringLiteral("# First\n\nXalpha\n"));
    EXPECT_EQ(firstPane->textView()->textCursor().position(), 10);
    typeInto(firstPane->textView(), QStringLiteral("Z"));
    QApplication::processEvents();
    EXPECT_EQ(ws().currentFileContent(), QStringLiteral("# First\n\nXZalpha\n"));
    EXPECT_EQ(blocks()->markdown(), QStringLiteral("# First\n\nXZalpha\n"));

    // With the source pane off screen a tab switch makes no pane: the one there catches up when
    // it is shown.
    window->editorArea()->setMode(EditorMode::Blocks);
    ws().selectTab(second);
    QApplication::processEvents();
    CodeEditorView* hidden = source();
    const QPointer<CodeEditorView> kept = firstPane;
    ws().closeTab(first);
    QApplication::processEvents();
    window->editorArea()->setMode(EditorMode::BlocksSplit);
    QApplication::processEvents();
    EXPECT_EQ(source(), hidden);
    EXPECT_EQ(source()->text(), QStringLiteral("Y# Second\n\nbeta\n"));
    EXPECT_EQ(kept, nullptr);
}

TEST_F(EditorColumnTest, ADocumentOpenedBeforeTheWindowShowsHasTheKeysOnceItIsShown)
{
    // As from the command line: the document opens, then the window is shown.
    const QString path = writeDoc(QStringLiteral("a.md"), "# Title\n");
    open(QSize(1200, 800), [&](ContentView& w) {
        w.workspace().openFile(path);
        QApplication::processEvents();
    });
    QApplication::processEvents();
    ASSERT_NE(blocks(), nullptr);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus, blocks()->textView());
    typeInto(focus, QStringLiteral("K"));
    ws().flushPendingWrites();
    EXPECT_EQ(tree.read(QStringLiteral("a.md")), QByteArray("K# Title\n"));
}

TEST_F(EditorColumnTest, HidingThePaneThatHasTheKeysGivesThemToThePaneLeftShown)
{
    open(QSize(1200, 800));
    const QString path = writeDoc(QStringLiteral("a.md"), "# Title\n");
    ws().openFile(path);
    QApplication::processEvents();
    auto* toggle = inSlot<ViewModeToggle>(ContentView::Slot::ViewModeToggle);
    ASSERT_NE(toggle, nullptr);

    // Typing in the source pane, the user hides it: the next keys go into the block view.
    source()->textView()->setFocus();
    QTest::keyClick(source()->textView(), Qt::Key_End, Qt::ControlModifier);
    QTest::mouseClick(toggle->sourceButton(), Qt::LeftButton);
    ASSERT_FALSE(source()->isVisible());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), blocks()->textView());
    typeInto(QApplication::focusWidget(), QStringLiteral("K"));
    ws().flushPendingWrites();
    EXPECT_TRUE(tree.read(QStringLiteral("a.md")).contains('K'));

    // And back: typing in the block view, the user shows only the source pane.
    QTest::mouseClick(toggle->sourceButton(), Qt::LeftButton);
    QTest::mouseClick(toggle->editorButton(), Qt::LeftButton);
    ASSERT_FALSE(blocks()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), source()->textView());
}
