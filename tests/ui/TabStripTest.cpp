#include "ui/TabStrip.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace quillon {
namespace {

QList<TabStrip::Tab> tabs(int count, const QString& title = QStringLiteral("notes.md"))
{
    QList<TabStrip::Tab> out;
    for (int i = 0; i < count; ++i)
        out.append(
            { QStringLiteral("/d/%1-%2").arg(i).arg(title), title, QStringLiteral("doc.text") });
    return out;
}

void wheel(QWidget* target, int dy)
{
    QWheelEvent event(QPointF(10, 10), target->mapToGlobal(QPointF(10, 10)), QPoint(),
        QPoint(0, dy), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

TEST(TabStripTest, TabWidthFollowsTheTitleWithinLimits)
{
    TabStrip strip;
    strip.setTabs({ { QStringLiteral("/a"), QString(), QStringLiteral("doc") },
                      { QStringLiteral("/b"), QString(300, u'W'), QStringLiteral("doc") } },
        QStringLiteral("/a"));
    ASSERT_EQ(strip.items().size(), 2);
    EXPECT_EQ(strip.items().at(0)->sizeHint(), QSize(TabItem::kMinWidth, TabStrip::kHeight));
    EXPECT_EQ(strip.items().at(1)->sizeHint().width(), TabItem::kMaxWidth);
}

TEST(TabStripTest, OnlyTheActiveTabHasABackgroundAndNotInAToolbar)
{
    TabStrip strip;
    strip.setTabs(tabs(2), QStringLiteral("/d/1-notes.md"));
    EXPECT_EQ(strip.items().at(0)->backgroundColor().alpha(), 0);
    EXPECT_EQ(strip.items().at(1)->backgroundColor(), QColor(Qt::white));
    strip.setEmbeddedInToolbar(true);
    EXPECT_EQ(strip.items().at(1)->backgroundColor().alpha(), 0);
}

TEST(TabStripTest, PressOnTheCloseMarkClosesElsewhereSelects)
{
    TabStrip strip;
    strip.resize(800, TabStrip::kHeight);
    strip.setTabs(tabs(3), QString());
    strip.show();
    QApplication::processEvents();
    QStringList events;
    QObject::connect(
        &strip, &TabStrip::selectRequested, [&](const QString& p) { events << u'S' + p; });
    QObject::connect(
        &strip, &TabStrip::closeRequested, [&](const QString& p) { events << u'C' + p; });
    TabItem* second = strip.items().at(1);
    QTest::mousePress(second, Qt::LeftButton, {}, second->closeRect().center());
    QTest::mousePress(second, Qt::LeftButton, {}, second->titleRect().center());
    EXPECT_EQ(events,
        QStringList({ QStringLiteral("C/d/1-notes.md"), QStringLiteral("S/d/1-notes.md") }));
    // The title sits between the icon and the close mark.
    EXPECT_EQ(second->titleRect().left(), second->iconRect().right() + 1 + 6);
    EXPECT_EQ(second->closeRect().right() + 1, second->width() - 8);
}

TEST(TabStripTest, VerticalWheelScrollsSidewaysAndStopsAtBothEnds)
{
    TabStrip strip;
    strip.resize(300, TabStrip::kHeight);
    strip.setTabs(tabs(8), QString());
    strip.show();
    QApplication::processEvents();
    QScrollBar* bar = strip.horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    wheel(strip.viewport(), -120); // down: towards the end
    EXPECT_EQ(bar->value(), 15);
    wheel(strip.viewport(), -100000);
    EXPECT_EQ(bar->value(), bar->maximum());
    wheel(strip.viewport(), 100000);
    EXPECT_EQ(bar->value(), 0);

    // A strip wider than its tabs does not scroll.
    strip.resize(3000, TabStrip::kHeight);
    QApplication::processEvents();
    wheel(strip.viewport(), -120);
    EXPECT_EQ(bar->value(), 0);
}

} // namespace
} // namespace quillon
