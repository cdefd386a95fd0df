#include "app/EditorArea.h"
#include "ui/Divider.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct Area
{
    EditorArea area;
    QWidget* source = new QWidget;
    QWidget* blocks = new QWidget;
    Area(int width)
    {
        area.setSourcePane(source);
        area.setBlocksPane(blocks);
        area.resize(width, 400);
        area.show();
        QApplication::processEvents();
    }
    // Presses on the divider's grip `offset` pixels from its line, drags by dx, releases.
    void drag(int offset, int dx)
    {
        // The grip moves with the line: each event is placed where the pointer is on screen.
        QWidget* grip = area.divider()->grip();
        const QPoint start = grip->mapToGlobal(QPoint(Divider::kGripMargin + offset, 200));
        const auto at = [grip](QPoint global) { return grip->mapFromGlobal(global); };
        QTest::mousePress(grip, Qt::LeftButton, {}, at(start));
        QTest::mouseMove(grip, at(start + QPoint(dx / 2, 0)));
        QTest::mouseMove(grip, at(start + QPoint(dx, 0)));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, at(start + QPoint(dx, 0)));
    }
};

TEST(EditorAreaTest, ModesShowOneOrBothPanes)
{
    Area a(1001);
    a.area.setMode(EditorMode::BlocksSplit);
    EXPECT_EQ(a.source->width(), 501);
    EXPECT_EQ(a.area.divider()->x(), 501);
    EXPECT_EQ(a.blocks->x(), 502);
    EXPECT_EQ(a.blocks->width(), 499);
    EXPECT_TRUE(a.area.divider()->isVisible());
    a.area.setMode(EditorMode::Blocks);
    EXPECT_FALSE(a.source->isVisible());
    EXPECT_FALSE(a.area.divider()->isVisible());
    EXPECT_EQ(a.blocks->geometry(), QRect(0, 0, 1001, 400));
    a.area.setMode(EditorMode::SourceOnly);
    EXPECT_FALSE(a.blocks->isVisible());
    EXPECT_EQ(a.source->geometry(), QRect(0, 0, 1001, 400));
}

TEST(EditorAreaTest, DraggingTheDividerFollowsThePointerAndStopsAtTheLimits)
{
    Area a(1000);
    a.area.setMode(EditorMode::BlocksSplit);
    a.drag(0, 100);
    EXPECT_DOUBLE_EQ(a.area.splitPosition(), 0.6);
    EXPECT_EQ(a.source->width(), 600);
    a.drag(0, 2000);
    EXPECT_DOUBLE_EQ(a.area.splitPosition(), 0.8);
    a.drag(0, -5000);
    EXPECT_DOUBLE_EQ(a.area.splitPosition(), 0.2);
    // A press a few pixels beside the line still grabs it.
    a.drag(-Divider::kGripMargin, 100);
    EXPECT_DOUBLE_EQ(a.area.splitPosition(), 0.3);
    a.drag(Divider::kGripMargin, 100);
    EXPECT_DOUBLE_EQ(a.area.splitPosition(), 0.4);
    EXPECT_FALSE(a.area.divider()->isDragging());
}

TEST(EditorAreaTest, ChangingModeKeepsTheSplit)
{
    Area a(1000);
    a.area.setMode(EditorMode::BlocksSplit);
    a.drag(0, -100);
    a.area.setMode(EditorMode::Blocks);
    a.area.setMode(EditorMode::BlocksSplit);
    EXPECT_DOUBLE_EQ(a.area.splitPosition(), 0.4);
    EXPECT_EQ(a.source->width(), 400);
}

} // namespace
} // namespace quillon
