#include "WindowHarness.h"

#include "agent/AgentIntegration.h"
#include "agent/ui/AgentChatView.h"
#include "agent/ui/PromptField.h"
#include "settings/SettingsView.h"

#include "app/EditorArea.h"
#include "app/StartPage.h"
#include "app/StartPageButtons.h"
#include "app/TopBar.h"
#include "ui/Divider.h"
#include "ui/TabButton.h"

#include <QSplitter>
#include <QToolButton>

namespace quillon::test {
namespace {

class AssistantAndSettingsTest : public WindowTest
{
protected:
    ContentView& openWithAgent()
    {
        window = std::make_unique<ContentView>(*prompts, [](WorkspaceState& workspace) {
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
    // Drags the assistant's divider `dx` pixels with the mouse.
    void dragDivider(int dx) const
    {
        QWidget* grip = window->assistantDivider()->grip();
        const QPoint start(Divider::kGripMargin, 50);
        QTest::mousePress(grip, Qt::LeftButton, {}, start);
        QTest::mouseMove(grip, start + QPoint(dx, 0));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, start + QPoint(dx, 0));
        QApplication::processEvents();
    }
    void resizeWindow(int width) const
    {
        window->resize(width, 600);
        QApplication::processEvents();
    }
    // The horizontal span of `w` in the window's coordinates.
    std::pair<int, int> span(const QWidget* w) const
    {
        const int left = w->mapTo(window.get(), QPoint(0, 0)).x();
        return { left, left + w->width() };
    }
    // Sidebar, editors, divider and panel lie side by side within the window, each at least as
    // wide as it must be, and the panel's own content is not cut.
    void expectColumnsFit() const
    {
        SCOPED_TRACE(testing::Message() << "window width " << window->width());
        QWidget* sidebar = window->slot(ContentView::Slot::Sidebar);
        QWidget* editors = window->editorArea();
        QWidget* divider = window->assistantDivider();
        AgentChatView* chat = panel();
        ASSERT_NE(chat, nullptr);
        EXPECT_GE(sidebar->width(), ContentView::kSidebarMinWidth);
        EXPECT_LE(span(sidebar).second, span(editors).first);
        EXPECT_GE(editors->width(), editors->minimumSizeHint().width());
        EXPECT_LE(span(editors).second, span(divider).first);
        EXPECT_LE(span(divider).second, span(chat).first);
        EXPECT_GE(chat->width(), ContentView::kAssistantMinWidth);
        EXPECT_LE(span(chat).second, window->width());
        EXPECT_LE(span(chat->promptField()).second, window->width());
        EXPECT_GE(chat->width(), chat->minimumSizeHint().width());
        if (window->isShowingStartPage()) {
            StartPage* page = window->startPage();
            EXPECT_LE(span(page).second, span(divider).first);
            EXPECT_LE(page->widget()->width(), page->viewport()->width());
            for (QWidget* button : page->actionButtons())
                EXPECT_LE(span(button).second, span(page->viewport()).second);
        }
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
    window->openSettings();
    ASSERT_TRUE(
        waitUntil([&] { return window->sheets().dialog(SheetPresenter::Sheet::Settings); }));
    auto* sheet
        = qobject_cast<SettingsView*>(window->sheets().dialog(SheetPresenter::Sheet::Settings));
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->darkMode());
    sheet->session().selectTab(SettingsSession::Tab::agent);
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !ws().showingSettingsModal(); }));

    window->openSettings();
    ASSERT_TRUE(
        waitUntil([&] { return window->sheets().dialog(SheetPresenter::Sheet::Settings); }));
    sheet = qobject_cast<SettingsView*>(window->sheets().dialog(SheetPresenter::Sheet::Settings));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->session().selectedTab(), SettingsSession::Tab::general);
}

TEST_F(AssistantAndSettingsTest, TheOpenAssistantFitsBesideTheEditorsAtEveryWindowWidth)
{
    openWithAgent();
    ws().openFile(writeDoc(QStringLiteral("notes.md"), "# Notes\n\nSome text.\n"));
    QApplication::processEvents();
    QTest::mouseClick(window->topBar()->assistantToggle(), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_TRUE(ws().isAgentChatOpen());
    dragDivider(-2000);
    ASSERT_EQ(ws().agentChatWidth(), ContentView::kAssistantMaxWidth);
    EXPECT_EQ(panel()->width(), int(ContentView::kAssistantMaxWidth));

    for (const int width : { 1100, 950, ContentView::kMinimumWidth }) {
        resizeWindow(width);
        expectColumnsFit();
    }
    // Only what is shown was narrowed: a wide window gives the panel its width back.
    EXPECT_EQ(ws().agentChatWidth(), ContentView::kAssistantMaxWidth);
    // A drag in a narrowed window starts from the width the panel shows.
    resizeWindow(950);
    const int narrowed = panel()->width();
    ASSERT_LT(narrowed, int(ContentView::kAssistantMaxWidth));
    dragDivider(20);
    EXPECT_EQ(ws().agentChatWidth(), narrowed - 20);
    EXPECT_EQ(panel()->width(), narrowed - 20);
    dragDivider(-2000);
    expectColumnsFit();
    resizeWindow(1400);
    EXPECT_EQ(panel()->width(), int(ContentView::kAssistantMaxWidth));

    // Other editor modes, the start page and a sidebar dragged to its widest fit as well.
    resizeWindow(ContentView::kMinimumWidth);
    for (const EditorMode mode : { EditorMode::Blocks, EditorMode::SourceOnly }) {
        window->editorArea()->setMode(mode);
        QApplication::processEvents();
        expectColumnsFit();
    }
    window->closeActiveTab();
    QApplication::processEvents();
    ASSERT_TRUE(window->isShowingStartPage());
    expectColumnsFit();

    resizeWindow(1400);
    auto* columns = qobject_cast<QSplitter*>(
        window->slot(ContentView::Slot::Sidebar)->parentWidget()->parentWidget());
    ASSERT_NE(columns, nullptr);
    QWidget* handle = columns->handle(1);
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(0, 100));
    QTest::mouseMove(handle, QPoint(400, 100));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(400, 100));
    QApplication::processEvents();
    ASSERT_EQ(window->slot(ContentView::Slot::Sidebar)->width(), ContentView::kSidebarMaxWidth);
    resizeWindow(ContentView::kMinimumWidth);
    expectColumnsFit();
}

} // namespace
} // namespace quillon::test
