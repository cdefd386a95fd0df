// The find bar driven through its field and buttons, wired to the workspace as the window wires
// it, over a source pane that counts the matches.
#include "SourceHarness.h"

#include "editor/chrome/ChromeColors.h"
#include "editor/chrome/LocalSearchSteps.h"
#include "editor/chrome/LocalSearchView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>

using namespace quillon;
using namespace quillon::test;

namespace {

struct FindBarHarness : SourceHarness
{
    LocalSearchView* bar = nullptr;

    explicit FindBarHarness(const QString& text)
        : SourceHarness(text)
    {
        bar = new LocalSearchView(*workspace, window.get());
        WorkspaceState& ws = *workspace;
        QObject::connect(
            bar, &LocalSearchView::nextRequested, bar, [&ws] { LocalSearchSteps::stepNext(ws); });
        QObject::connect(bar, &LocalSearchView::previousRequested, bar,
            [&ws] { LocalSearchSteps::stepPrevious(ws); });
        QObject::connect(
            bar, &LocalSearchView::closeRequested, bar, [&ws] { LocalSearchSteps::close(ws); });
        QObject::connect(&ws, &WorkspaceState::isLocalSearchVisibleChanged, bar,
            [this, &ws] { bar->setVisible(ws.isLocalSearchVisible()); });
        bar->hide();
        workspace->setIsLocalSearchVisible(true);
        QApplication::processEvents();
    }
    void typeInField(const QString& text) const
    {
        QTest::keyClicks(bar->field(), text);
        QApplication::processEvents(); // the editors publish their count on the next turn
    }
    void fieldKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(bar->field(), key, modifiers);
        QApplication::processEvents();
    }
    QString countText() const
    {
        return bar->countLabel()->isVisibleTo(bar) ? bar->countLabel()->text() : QString();
    }
};

} // namespace

TEST(FindBar, TypingSearchesAndEnterShiftEnterStepWithWrapAround)
{
    FindBarHarness h(QStringLiteral("cat dog cat bird cat\n"));
    EXPECT_TRUE(h.bar->field()->hasFocus());
    EXPECT_EQ(h.countText(), QString()); // no query, no count
    EXPECT_FALSE(h.bar->nextButton()->isEnabled());

    h.typeInField(QStringLiteral("cat"));
    EXPECT_EQ(h.workspace->localSearchQuery(), QStringLiteral("cat"));
    EXPECT_EQ(h.countText(), QStringLiteral("1 of 3"));
    EXPECT_TRUE(h.bar->nextButton()->isEnabled());

    h.fieldKey(Qt::Key_Return);
    EXPECT_EQ(h.countText(), QStringLiteral("2 of 3"));
    h.fieldKey(Qt::Key_Enter);
    h.fieldKey(Qt::Key_Return);
    EXPECT_EQ(h.countText(), QStringLiteral("1 of 3")); // past the last: the first
    h.fieldKey(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(h.countText(), QStringLiteral("3 of 3")); // before the first: the last
    QTest::mouseClick(h.bar->previousButton(), Qt::LeftButton);
    EXPECT_EQ(h.workspace->currentLocalMatchIndex(), 1);
    QTest::mouseClick(h.bar->nextButton(), Qt::LeftButton);
    EXPECT_EQ(h.workspace->currentLocalMatchIndex(), 2);
    // Nothing was typed into the document.
    EXPECT_TRUE(h.written.isEmpty());
    EXPECT_EQ(h.bar->field()->text(), QStringLiteral("cat"));
}

TEST(FindBar, NoMatchesIsRedAndLeavesTheIndexAlone)
{
    FindBarHarness h(QStringLiteral("alpha beta\n"));
    h.typeInField(QStringLiteral("zeta"));
    EXPECT_EQ(h.countText(), QStringLiteral("No matches"));
    EXPECT_EQ(h.bar->countLabel()->palette().color(QPalette::WindowText), ChromeColors::red(false));
    EXPECT_FALSE(h.bar->previousButton()->isEnabled());
    EXPECT_FALSE(h.bar->nextButton()->isEnabled());
    EXPECT_NE(h.bar->nextButton()->color(), h.bar->field()->palette().color(QPalette::Text));
    h.fieldKey(Qt::Key_Return);
    h.fieldKey(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(h.workspace->currentLocalMatchIndex(), 0);

    // A blank is a query too: the count shows.
    h.bar->field()->clear();
    h.workspace->setLocalSearchQuery({});
    h.typeInField(QStringLiteral(" "));
    EXPECT_EQ(h.countText(), QStringLiteral("No matches"));
}

TEST(FindBar, AnIndexLeftFromAnEarlierQueryIsShownUntilTheNextStep)
{
    FindBarHarness h(QStringLiteral("a b a b a b a b a b\nxyz xyz xyz\n"));
    h.typeInField(QStringLiteral("a"));
    h.workspace->setCurrentLocalMatchIndex(4);
    h.bar->field()->selectAll();
    h.typeInField(QStringLiteral("xyz"));
    EXPECT_EQ(h.countText(), QStringLiteral("5 of 3"));
    h.fieldKey(Qt::Key_Return);
    EXPECT_EQ(h.countText(), QStringLiteral("3 of 3"));
}

TEST(FindBar, EscapeAndTheCloseButtonHideItAndReopeningKeepsTheQuerySelectedAndFocus)
{
    FindBarHarness h(QStringLiteral("one two one\n"));
    h.typeInField(QStringLiteral("one"));
    h.fieldKey(Qt::Key_Escape);
    EXPECT_FALSE(h.workspace->isLocalSearchVisible());
    EXPECT_FALSE(h.bar->isVisible());
    EXPECT_EQ(h.workspace->localSearchQuery(), QStringLiteral("one"));
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 2);

    h.view()->setFocus();
    h.workspace->setIsLocalSearchVisible(true);
    QApplication::processEvents();
    EXPECT_TRUE(h.bar->field()->hasFocus());
    EXPECT_EQ(h.bar->field()->text(), QStringLiteral("one"));
    EXPECT_EQ(h.countText(), QStringLiteral("1 of 2"));
    // Typing replaces the query kept.
    h.typeInField(QStringLiteral("two"));
    EXPECT_EQ(h.workspace->localSearchQuery(), QStringLiteral("two"));
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 1);

    QTest::mouseClick(h.bar->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(h.workspace->isLocalSearchVisible());
}

TEST(FindBar, AQueryChangedElsewhereShowsInTheFieldAndTypingKeepsTheCaret)
{
    FindBarHarness h(QStringLiteral("abc abd\n"));
    h.workspace->setLocalSearchQuery(QStringLiteral("abd"));
    EXPECT_EQ(h.bar->field()->text(), QStringLiteral("abd"));
    h.bar->field()->setCursorPosition(2);
    h.typeInField(QStringLiteral("x"));
    EXPECT_EQ(h.workspace->localSearchQuery(), QStringLiteral("abxd"));
    EXPECT_EQ(h.bar->field()->cursorPosition(), 3);
}
