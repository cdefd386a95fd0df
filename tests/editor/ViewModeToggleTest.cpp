// The view-mode toggle clicked as a user clicks it: every mode and button, the last pane never
// hidden, and hover shading only unlit buttons.
#include "editor/chrome/ViewModeToggle.h"
#include "editor/document/ViewModeTransitions.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

using namespace quillon;

namespace {

struct ShownToggle
{
    ViewModeToggle toggle;
    QList<EditorMode> chosen;
    ShownToggle()
    {
        QObject::connect(&toggle, &ViewModeToggle::modeChanged, &toggle,
            [this](EditorMode mode) { chosen.append(mode); });
        toggle.show();
        QApplication::processEvents();
    }
    void click(ToggleButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    std::pair<bool, bool> lit() const
    {
        return { toggle.sourceButton()->isLit(), toggle.editorButton()->isLit() };
    }
};

void hover(ToggleButton* button, bool inside)
{
    if (inside) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(button, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
    }
}

} // namespace

TEST(ViewModeToggle, ClicksMoveBetweenTheThreeModesAndNeverHideTheLastPane)
{
    ShownToggle t;
    EXPECT_EQ(t.toggle.mode(), EditorMode::BlocksSplit);
    EXPECT_EQ(t.lit(), std::make_pair(true, true));

    t.click(t.toggle.sourceButton()); // hides the source pane
    EXPECT_EQ(t.toggle.mode(), EditorMode::Blocks);
    EXPECT_EQ(t.lit(), std::make_pair(false, true));
    t.click(t.toggle.editorButton()); // the last pane stays
    EXPECT_EQ(t.toggle.mode(), EditorMode::Blocks);
    t.click(t.toggle.sourceButton()); // both again, never source alone
    EXPECT_EQ(t.toggle.mode(), EditorMode::BlocksSplit);

    t.click(t.toggle.editorButton());
    EXPECT_EQ(t.toggle.mode(), EditorMode::SourceOnly);
    EXPECT_EQ(t.lit(), std::make_pair(true, false));
    t.click(t.toggle.sourceButton());
    EXPECT_EQ(t.toggle.mode(), EditorMode::SourceOnly);
    t.click(t.toggle.editorButton()); // both again, never blocks alone
    EXPECT_EQ(t.toggle.mode(), EditorMode::BlocksSplit);

    // Only clicks that changed the mode were reported.
    EXPECT_EQ(t.chosen,
        (QList<EditorMode> { EditorMode::Blocks, EditorMode::BlocksSplit, EditorMode::SourceOnly,
            EditorMode::BlocksSplit }));
    // A mode set by the window is shown and reported to no one.
    t.toggle.setMode(EditorMode::Blocks);
    EXPECT_EQ(t.lit(), std::make_pair(false, true));
    EXPECT_EQ(t.chosen.size(), 4);
}

TEST(ViewModeToggle, HoverShadesOnlyAnUnlitButton)
{
    ShownToggle t;
    t.toggle.setMode(EditorMode::Blocks);
    ToggleButton* unlit = t.toggle.sourceButton();
    ToggleButton* lit = t.toggle.editorButton();
    for (bool dark : { false, true }) {
        t.toggle.setDarkMode(dark);
        hover(unlit, false); // wherever the pointer started
        hover(lit, false);
        const QColor unlitFill = unlit->fillColor();
        const QColor litFill = lit->fillColor();
        hover(unlit, true);
        hover(lit, true);
        EXPECT_GT(unlit->fillColor().alphaF(), unlitFill.alphaF());
        EXPECT_EQ(lit->fillColor(), litFill);
        EXPECT_EQ(unlit->textColor(), dark ? QColor(Qt::white) : QColor(Qt::black));
        EXPECT_NE(lit->textColor(), unlit->textColor());
        hover(unlit, false);
        hover(lit, false);
        EXPECT_EQ(unlit->fillColor(), unlitFill);
    }
}
