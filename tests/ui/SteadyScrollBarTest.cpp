#include "ui/SteadyScrollBar.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct CountingBar : SteadyScrollBar
{
    CountingBar()
        : SteadyScrollBar(Qt::Vertical)
    {
    }
    int paints = 0;
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        SteadyScrollBar::paintEvent(event);
    }
};

TEST(SteadyScrollBarTest, PaintsAgainOnlyWhenItsHandleOrEndsChange)
{
    CountingBar bar;
    bar.resize(16, 300);
    bar.setRange(0, 1'000'000);
    bar.setPageStep(300);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QApplication::processEvents();
    const auto paintsAfter = [&](const std::function<void()>& change) {
        bar.paints = 0;
        change();
        QApplication::processEvents();
        return bar.paints;
    };
    // A range grown by a line at the top leaves the handle where it was, at its least length.
    EXPECT_EQ(paintsAfter([&] { bar.setMaximum(1'000'020); }), 0);
    // Leaving the top shows on the arrows even when the handle has not moved a pixel.
    EXPECT_GT(paintsAfter([&] { bar.setValue(20); }), 0);
    EXPECT_EQ(paintsAfter([&] { bar.setValue(40); }), 0);
    EXPECT_GT(paintsAfter([&] { bar.setValue(500'000); }), 0);
    // A short range makes the handle long.
    EXPECT_GT(paintsAfter([&] { bar.setRange(0, 600); }), 0);
}

} // namespace
} // namespace quillon
