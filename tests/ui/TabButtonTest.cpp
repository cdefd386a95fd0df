#include "ui/TabButton.h"
#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace quillon {
namespace {

// The share of a pixmap's pixels that are not transparent.
double inkShare(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qAlpha(image.pixel(x, y)) > 0;
    return double(ink) / (image.width() * image.height());
}

TEST(TabButtonTest, ALongNameStaysOnOneLineAtTheMaximumWidth)
{
    TabButton tab(QString(80, u'n') + QStringLiteral(".md"), QStringLiteral("doc.text"));
    EXPECT_EQ(tab.sizeHint().width(), TabButton::kMaxWidth);
    tab.resize(tab.sizeHint());
    EXPECT_TRUE(tab.shownTitle().endsWith(QChar(0x2026)));
    TabButton shortTab(QStringLiteral("a.md"), QStringLiteral("doc.text"));
    EXPECT_EQ(shortTab.sizeHint().width(), TabButton::kMinWidth);
    shortTab.resize(shortTab.sizeHint());
    EXPECT_EQ(shortTab.shownTitle(), QStringLiteral("a.md"));
}

TEST(TabButtonTest, HoveringTheCloseMarkOfAnInactiveTabMarksBoth)
{
    TabButton tab(QStringLiteral("notes.md"), QStringLiteral("doc.text"));
    tab.resize(tab.sizeHint());
    tab.show();
    QApplication::processEvents();
    QEvent leave(QEvent::Leave); // wherever the pointer was left
    QApplication::sendEvent(&tab, &leave);
    const QImage before = tab.grab().toImage();
    ASSERT_FALSE(tab.isActive());
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&tab, &enter);
    QTest::mouseMove(&tab, tab.closeRect().center());
    EXPECT_TRUE(tab.isHovering());
    EXPECT_TRUE(tab.isCloseHovering());
    const QImage after = tab.grab().toImage();
    // The tab's hover background and the red mark both show.
    EXPECT_NE(before.pixel(3, tab.height() / 2), after.pixel(3, tab.height() / 2))
        << "hover background";
    const QRect mark = tab.closeRect();
    bool red = false;
    for (int y = mark.top(); y <= mark.bottom(); ++y)
        for (int x = mark.left(); x <= mark.right(); ++x) {
            const QColor c = after.pixelColor(x, y);
            red |= c.red() > 150 && c.green() < 100 && c.blue() < 100;
        }
    EXPECT_TRUE(red);
    QTest::mouseMove(&tab, QPoint(15, tab.height() / 2));
    EXPECT_FALSE(tab.isCloseHovering());
}

TEST(ThemeToggleButtonTest, ShowsTheModeItSwitchesTo)
{
    ThemeToggleButton toggle;
    EXPECT_EQ(toggle.symbol(), QStringLiteral("moon"));
    toggle.setDarkMode(true);
    EXPECT_EQ(toggle.symbol(), QStringLiteral("sun.max"));
    EXPECT_EQ(toggle.sizeHint(), QSize(28, 28));
}

TEST(PillToggleButtonTest, FillAndForegroundFollowTheState)
{
    PillToggleButton pill(QStringLiteral("sparkles"), QStringLiteral("Assistant"));
    pill.setDarkMode(false);
    EXPECT_EQ(pill.foregroundColor(), AppColors::blackAt(1));
    pill.setOn(true);
    EXPECT_EQ(pill.foregroundColor(), AppColors::accentIn(false));
    EXPECT_NEAR(pill.fillColor().alphaF(), 0.18, 0.01);
    pill.setDarkMode(true);
    EXPECT_EQ(pill.foregroundColor(), AppColors::accentIn(true));
}

TEST(SymbolIconsTest, EverySymbolDrawsSomethingInTheColourAsked)
{
    for (const char* name : { "doc", "doc.text", "folder.fill", "sun.max", "moon", "sparkles",
             "xmark", "arrow.triangle.branch", "curlybraces", "no.such.symbol" }) {
        const QPixmap p = SymbolIcons::pixmap(QString::fromLatin1(name), 16, Qt::red);
        ASSERT_FALSE(p.isNull()) << name;
        EXPECT_GT(inkShare(p), 0.02) << name;
        const QImage image = p.toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() > 200) {
                    ASSERT_TRUE(c.red() > 200 && c.green() < 60) << name;
                }
            }
    }
    EXPECT_EQ(SymbolIcons::pixmap(QStringLiteral("doc"), 16, Qt::black, 2).width(), 32);
}

TEST(SymbolIconsTest, TheSendAndStopSymbolsAreDiscsWithTheirMarkCutOut)
{
    for (const char* name : { "arrow.up.circle.fill", "stop.circle.fill" }) {
        const QImage image = SymbolIcons::pixmap(QString::fromLatin1(name), 32, Qt::red).toImage();
        EXPECT_GT(image.pixelColor(4, 16).alpha(), 200) << name;
        EXPECT_GT(image.pixelColor(27, 16).alpha(), 200) << name;
        EXPECT_GT(image.pixelColor(16, 27).alpha(), 200) << name;
        EXPECT_LT(image.pixelColor(16, 16).alpha(), 60) << name;
    }
}

// The error pill's mark: a ring with an x across its middle, not a bar across a disc.
TEST(SymbolIconsTest, TheCircledXMarkIsARingWithAnXInside)
{
    const QImage image = SymbolIcons::pixmap(QStringLiteral("xmark.circle"), 32, Qt::red).toImage();
    const auto inked = [&](int x, int y) { return image.pixelColor(x, y).alpha() > 150; };
    EXPECT_TRUE(inked(16, 16));
    EXPECT_TRUE(inked(12, 12));
    EXPECT_TRUE(inked(20, 12));
    EXPECT_TRUE(inked(12, 20));
    EXPECT_TRUE(inked(16, 3));
    EXPECT_TRUE(inked(3, 16));
    EXPECT_FALSE(inked(16, 8));
    EXPECT_FALSE(inked(8, 16));
    EXPECT_FALSE(inked(10, 16));
    EXPECT_FALSE(inked(1, 1));
}

} // namespace
} // namespace quillon
