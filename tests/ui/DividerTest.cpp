#include "ui/Divider.h"
#include "ui/AppColors.h"
#include "ui/DividerMath.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QTest>

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(DividerMathTest, SplitFractionIsClampedAndIgnoresAZeroWidth)
{
    EXPECT_DOUBLE_EQ(DividerMath::splitFraction(0.5, 100, 1000), 0.6);
    EXPECT_DOUBLE_EQ(DividerMath::splitFraction(0.5, 1000, 1000), 0.8);
    EXPECT_DOUBLE_EQ(DividerMath::splitFraction(0.5, -1000, 1000), 0.2);
    EXPECT_DOUBLE_EQ(DividerMath::splitFraction(0.5, 100, 0), 0.5);
}

TEST(DividerMathTest, PanelWidthGrowsTowardsTheDragOnTheLeftEdge)
{
    EXPECT_EQ(DividerMath::panelWidth(340, -60, 260, 600, true), 400);
    EXPECT_EQ(DividerMath::panelWidth(340, 60, 260, 600, true), 280);
    EXPECT_EQ(DividerMath::panelWidth(340, 60, 260, 600, false), 400);
    EXPECT_EQ(DividerMath::panelWidth(340, -1000, 260, 600, true), 600);
    EXPECT_EQ(DividerMath::panelWidth(340, 1000, 260, 600, true), 260);
}

// A panel on the right of a row with the divider on its left edge, as the window lays it out.
struct PanelRow
{
    QWidget row;
    QWidget* content = new QWidget;
    WidthResizableDivider* divider = new WidthResizableDivider(260, 600, true);
    QWidget* panel = new QWidget;
    PanelRow()
    {
        auto* layout = new QHBoxLayout(&row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(content, 1);
        layout->addWidget(divider);
        layout->addWidget(panel);
        setWidth(340);
        QObject::connect(divider, &WidthResizableDivider::widthRequested, &row,
            [this](double w) { setWidth(w); });
        row.resize(1200, 300);
        row.show();
        QApplication::processEvents();
    }
    void setWidth(double w)
    {
        divider->setPanelWidth(w);
        panel->setFixedWidth(int(w));
    }
    void drag(int dx)
    {
        QApplication::processEvents();
        QWidget* grip = divider->grip();
        const QPoint start(Divider::kGripMargin, 100);
        QTest::mousePress(grip, Qt::LeftButton, {}, start);
        QTest::mouseMove(grip, start + QPoint(dx, 0));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, start + QPoint(dx, 0));
        QApplication::processEvents();
    }
};

TEST(WidthDividerTest, DraggingLeftWidensThePanelWithinItsLimits)
{
    PanelRow r;
    r.drag(-60);
    EXPECT_EQ(r.panel->width(), 400);
    r.drag(30);
    EXPECT_EQ(r.panel->width(), 370);
    r.drag(-1000);
    EXPECT_EQ(r.panel->width(), 600);
    r.drag(1000);
    EXPECT_EQ(r.panel->width(), 260);
}

TEST(WidthDividerTest, GripCoversTheLineAndItsMarginsAndShowsHover)
{
    PanelRow r;
    QWidget* grip = r.divider->grip();
    EXPECT_EQ(grip->geometry(),
        r.divider->geometry().adjusted(-Divider::kGripMargin, 0, Divider::kGripMargin, 0));
    EXPECT_EQ(grip->cursor().shape(), Qt::SplitHCursor);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(grip, &enter);
    EXPECT_TRUE(r.divider->isHovering());
    const QRgb hovered = r.divider->grab().toImage().pixel(0, 10);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(grip, &leave);
    EXPECT_FALSE(r.divider->isHovering());
    EXPECT_NE(r.divider->grab().toImage().pixel(0, 10), hovered);
    r.row.hide();
    EXPECT_FALSE(grip->isVisible());
}

// A line hidden before its window is first shown (a closed side panel's) leaves no grip behind
// to take the clicks at the window's top left; shown later, its grip comes with it.
TEST(WidthDividerTest, ALineHiddenBeforeItsWindowIsShownLeavesNoGrip)
{
    QWidget row;
    auto* content = new QWidget(&row);
    content->setGeometry(0, 0, 600, 300);
    auto* divider = new WidthResizableDivider(260, 600, true, &row);
    divider->setVisible(false);
    row.resize(600, 300);
    row.show();
    QApplication::processEvents();
    EXPECT_FALSE(divider->grip()->isVisible());
    EXPECT_EQ(row.childAt(20, 10), content);

    divider->setGeometry(300, 0, 1, 300);
    divider->show();
    QApplication::processEvents();
    EXPECT_TRUE(divider->grip()->isVisible());
    EXPECT_EQ(divider->grip()->geometry(),
        divider->geometry().adjusted(-Divider::kGripMargin, 0, Divider::kGripMargin, 0));
}

// The layout moves the line away from a pointer at rest, and back under it.
TEST(WidthDividerTest, HoverFollowsTheLineWhenTheLayoutMovesIt)
{
    PanelRow r;
    QWidget* grip = r.divider->grip();
    const QPoint over = grip->mapToGlobal(grip->rect().center());
    QCursor::setPos(over);
    QEnterEvent enter(
        grip->mapFromGlobal(QPointF(over)), grip->mapFromGlobal(QPointF(over)), QPointF(over));
    QApplication::sendEvent(grip, &enter);
    ASSERT_TRUE(r.divider->isHovering());
    const QRgb hovered = r.divider->grab().toImage().pixel(0, 10);

    r.setWidth(400);
    QApplication::processEvents();
    ASSERT_FALSE(grip->geometry().contains(grip->parentWidget()->mapFromGlobal(over)));
    EXPECT_FALSE(r.divider->isHovering());
    EXPECT_NE(r.divider->grab().toImage().pixel(0, 10), hovered);

    r.setWidth(340);
    QApplication::processEvents();
    EXPECT_TRUE(r.divider->isHovering());
    EXPECT_EQ(r.divider->grab().toImage().pixel(0, 10), hovered);
}

TEST(AppColorsTest, FixedColoursPerModeAndFlags)
{
    EXPECT_EQ(AppColors::chevronIcon(true), AppColors::chevronIcon(false));
    EXPECT_EQ(AppColors::sidebarText(true, true), QColor::fromRgbF(1, 1, 1, 1));
    EXPECT_EQ(AppColors::sidebarText(false, false), QColor::fromRgbF(0, 0, 0, 0.8f));
    EXPECT_EQ(AppColors::gitPending(), QColor::fromRgbF(0.95f, 0.6f, 0.2f));
    // The accent follows the palette that draws it, not the system.
    EXPECT_EQ(AppColors::accent(AppColors::palette(true)), AppColors::grey(0.96));
    EXPECT_EQ(AppColors::accent(AppColors::palette(false)), AppColors::grey(0.1));
    EXPECT_TRUE(AppColors::isDark(AppColors::palette(true)));
    EXPECT_FALSE(AppColors::isDark(AppColors::palette(false)));
}

} // namespace
} // namespace quillon
