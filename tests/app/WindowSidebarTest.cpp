#include "app/WindowHarness.h"

#include "sidebar/FileTreeView.h"
#include "sidebar/SearchField.h"
#include "sidebar/SidebarButton.h"
#include "sidebar/SidebarView.h"

#include <QLineEdit>

namespace quillon::test {
namespace {

SidebarView* sidebarOf(ContentView& window)
{
    return window.slot(ContentView::Slot::Sidebar)->findChild<SidebarView*>();
}

TEST_F(WindowTest, TheSidebarFillsItsColumnAndHostsTheFooterSlot)
{
    open();
    SidebarView* sidebar = sidebarOf(*window);
    ASSERT_NE(sidebar, nullptr);
    QWidget* footer = window->slot(ContentView::Slot::SidebarFooter);
    EXPECT_TRUE(sidebar->isAncestorOf(footer));
    EXPECT_TRUE(footer->isVisible());
    EXPECT_LE(footer->mapTo(sidebar, QPoint(0, footer->height())).y(),
        sidebar->settingsButton()->geometry().top());

    QTest::mouseClick(sidebar->settingsButton(), Qt::LeftButton);
    EXPECT_TRUE(ws().showingSettingsModal());
}

TEST_F(WindowTest, FindInProjectFocusesTheSearchFieldAlsoWhenTheSidebarWasHidden)
{
    open();
    SidebarView* sidebar = sidebarOf(*window);
    ASSERT_NE(sidebar, nullptr);
    window->setSidebarVisible(false);
    window->focusProjectSearch();
    EXPECT_TRUE(window->isSidebarVisible());
    EXPECT_TRUE(sidebar->searchField()->lineEdit()->hasFocus());
}

TEST_F(WindowTest, TheSidebarFollowsTheWindowsAppearance)
{
    open();
    SidebarView* sidebar = sidebarOf(*window);
    ASSERT_NE(sidebar, nullptr);
    window->setThemeMode(QStringLiteral("dark"));
    EXPECT_TRUE(sidebar->isDarkMode());
    window->setThemeMode(QStringLiteral("light"));
    EXPECT_FALSE(sidebar->isDarkMode());
}

} // namespace
} // namespace quillon::test
