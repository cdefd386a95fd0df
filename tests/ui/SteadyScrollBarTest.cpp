#include "ui/SteadyScrollBar.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace quillon {
namespace {

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST(SteadyScrollBarTest, PaintsAgainOnlyWhenItsHandleOrEndsChange)
{
    SteadyScrollBar bar(Qt::Vertical);
    bar.resize(16, 300);
    bar.setRange(0, 1'000'000);
    bar.setPageStep(300);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QApplication::processEvents();
    PaintCounter counter;
    bar.installEventFilter(&counter);
    const auto paintsAfter = [&](const std::function<void()>& change) {
        counter.paints = 0;
        change();
        QApplication::processEvents();
        QApplication::processEvents();
        return counter.paints;
    };
    // A range grown by a line at the top leaves the handle where it was, at its least length.
    EXPECT_EQ(paintsAfter([&] { bar.setMaximum(1'000'020); }), 0);
    EXPECT_EQ(paintsAfter([&] { bar.setMaximum(999'980); }), 0);
    // Leaving the top shows on the arrows even when the handle has not moved a pixel.
    EXPECT_GT(paintsAfter([&] { bar.setValue(20); }), 0);
    EXPECT_EQ(paintsAfter([&] { bar.setValue(40); }), 0);
    EXPECT_GT(paintsAfter([&] { bar.setValue(500'000); }), 0);
    // A short range makes the handle long.
    EXPECT_GT(paintsAfter([&] { bar.setRange(0, 600); }), 0);
}

} // namespace
} // namespace quillon
