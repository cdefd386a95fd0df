#include "WindowHarness.h"

#include "agent/AgentIntegration.h"
#include "agent/ui/AgentChatView.h"
#include "agent/ui/PromptField.h"
#include "settings/SettingsView.h"

#include <QToolButton>

namespace quillon::test {
namespace {

class AssistantAndSettingsTest : public WindowTest
{
protected:
    ContentView& openWithAgent()
    {
        window = std::make_unique<ContentView>(bus, *prompts, [](WorkspaceState& workspace) {
            return ContentView::Services { nullptr, &attachAgentBridge(workspace) };
        });
        window->resize(1200, 800);
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();
        return *window;
    }
    AgentChatView* panel() const
    {
        return window->slot(ContentView::Slot::Assistant)->findChild<AgentChatView*>();
    }
};

TEST_F(AssistantAndSettingsTest, ThePanelLivesWhileItIsOpenAndFollowsTheTheme)
{
    openWithAgent();
    EXPECT_EQ(panel(), nullptr);
    ws().setIsAgentChatOpen(true);
    QApplication::processEvents();
    ASSERT_NE(panel(), nullptr);
    EXPECT_TRUE(panel()->isVisible());
    QTest::keyClicks(panel()->promptField(), QStringLiteral("half a question"));
    window->setThemeMode(QStringLiteral("dark"));
    EXPECT_TRUE(panel()->darkMode());

    ws().setIsAgentChatOpen(false);
    QApplication::processEvents();
    EXPECT_EQ(panel(), nullptr);
    ws().setIsAgentChatOpen(true);
    QApplication::processEvents();
    ASSERT_NE(panel(), nullptr);
    EXPECT_EQ(panel()->promptField()->text(), QString());
    EXPECT_TRUE(panel()->darkMode());
}

TEST_F(AssistantAndSettingsTest, TheSettingsCommandOpensAFreshSheetEachTime)
{
    openWithAgent();
    window->setThemeMode(QStringLiteral("dark"));
    Q_EMIT bus.openSettings();
    ASSERT_TRUE(
        waitUntil([&] { return window->sheets().dialog(SheetPresenter::Sheet::Settings); }));
    auto* sheet
        = qobject_cast<SettingsView*>(window->sheets().dialog(SheetPresenter::Sheet::Settings));
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->darkMode());
    sheet->session().selectTab(SettingsSession::Tab::agent);
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !ws().showingSettingsModal(); }));

    Q_EMIT bus.openSettings();
    ASSERT_TRUE(
        waitUntil([&] { return window->sheets().dialog(SheetPresenter::Sheet::Settings); }));
    sheet = qobject_cast<SettingsView*>(window->sheets().dialog(SheetPresenter::Sheet::Settings));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->session().selectedTab(), SettingsSession::Tab::general);
}

} // namespace
} // namespace quillon::test
