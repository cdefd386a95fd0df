#include "app/WindowHarness.h"

#include "app/AppMenus.h"
#include "app/EditorArea.h"
#include "app/FontZoom.h"
#include "app/MainWindowFrame.h"
#include "app/StartPage.h"
#include "app/StartPageButtons.h"
#include "app/Theme.h"
#include "app/TopBar.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "ui/AppColors.h"
#include "ui/Divider.h"
#include "ui/TabButton.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QToolButton>
#include <QWindow>

namespace quillon::test {
namespace {

TEST(ThemeTest, DarkModeFollowsTheSystemOnlyInSystemMode)
{
    EXPECT_TRUE(Theme::isDarkMode(Theme::kSystem, true));
    EXPECT_FALSE(Theme::isDarkMode(Theme::kSystem, false));
    EXPECT_TRUE(Theme::isDarkMode(Theme::kDark, false));
    EXPECT_FALSE(Theme::isDarkMode(Theme::kLight, true));
    // An unknown stored value is treated as light, never as "follow the system".
    EXPECT_FALSE(Theme::isDarkMode(QStringLiteral("Dark"), true));
    EXPECT_EQ(Theme::toggled(true), Theme::kLight);
    EXPECT_EQ(Theme::toggled(false), Theme::kDark);
}

TEST(FontZoomTest, StepsStayWithinBoundsAndKeepFractions)
{
    EXPECT_EQ(FontZoom::zoomedIn(36), 36);
    EXPECT_EQ(FontZoom::zoomedIn(35.5), 36);
    EXPECT_EQ(FontZoom::zoomedIn(34.5), 35.5);
    EXPECT_EQ(FontZoom::zoomedOut(10.5), 10);
    EXPECT_EQ(FontZoom::zoomedOut(10), 10);
    EXPECT_EQ(FontZoom::zoomedOut(12.5), 11.5);
}

TEST_F(WindowTest, ThemeToggleStoresTheOppositeOfWhatIsShown)
{
    open();
    EXPECT_EQ(window->themeMode(), Theme::kSystem);
    const bool systemDark = window->isDarkMode();
    QSignalSpy changes(window.get(), &ContentView::darkModeChanged);
    QWidget* toggle = window->topBar()->themeToggle();
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(3, 3)); // a corner, not the glyph
    EXPECT_EQ(window->themeMode(), Theme::toggled(systemDark));
    EXPECT_EQ(window->isDarkMode(), !systemDark);
    EXPECT_EQ(UserDefaults::standard().stringValue(QStringLiteral("themeMode")),
        Theme::toggled(systemDark));
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_EQ(window->isDarkMode(), systemDark);
    EXPECT_EQ(changes.count(), 2);
    // A dark window hands a dark palette to the views that read theirs.
    window->setThemeMode(Theme::kDark);
    EXPECT_LT(window->palette().color(QPalette::Window).lightnessF(), 0.5);
}

TEST_F(WindowTest, StoredThemeIsReadAtStart)
{
    UserDefaults::standard().setString(QStringLiteral("themeMode"), Theme::kDark);
    open();
    EXPECT_TRUE(window->isDarkMode());
}

TEST_F(WindowTest, ZoomCommandsClampAndPersist)
{
    open();
    for (int i = 0; i < 30; ++i)
        window->zoomIn();
    EXPECT_EQ(ws().editorFontSize(), FontZoom::kMaxSize);
    for (int i = 0; i < 30; ++i)
        window->zoomOut();
    EXPECT_EQ(ws().editorFontSize(), FontZoom::kMinSize);
    ws().setEditorFontSize(10.5);
    window->zoomOut();
    EXPECT_EQ(ws().editorFontSize(), 10);
    window->zoomReset();
    EXPECT_EQ(ws().editorFontSize(), 15);
    EXPECT_EQ(UserDefaults::standard().doubleValue(QStringLiteral("editorFontSize")), 15);
}

TEST_F(WindowTest, CommandsFlipTheWorkspaceFlags)
{
    open();
    window->toggleAssistant();
    EXPECT_TRUE(ws().isAgentChatOpen());
    EXPECT_TRUE(window->slot(ContentView::Slot::Assistant)->isVisible());
    // The top bar's button flips the same flag and shows it.
    auto* pill = window->topBar()->assistantToggle();
    QTest::mouseClick(pill, Qt::LeftButton);
    EXPECT_FALSE(ws().isAgentChatOpen());
    EXPECT_FALSE(window->slot(ContentView::Slot::Assistant)->isVisible());

    // With no tab the find command still toggles the flag, but no bar is shown.
    window->toggleFindInDocument();
    EXPECT_TRUE(ws().isLocalSearchVisible());
    EXPECT_FALSE(window->slot(ContentView::Slot::FindBar)->isVisible());
    ws().openFile(writeDoc(QStringLiteral("a.md"), "# A\n"));
    EXPECT_TRUE(window->slot(ContentView::Slot::FindBar)->isVisible());
    window->toggleFindInDocument();
    EXPECT_FALSE(window->slot(ContentView::Slot::FindBar)->isVisible());

    window->openGitRepository();
    EXPECT_TRUE(ws().showingConnectGitModal());
    window->openSettings();
    EXPECT_TRUE(ws().showingSettingsModal());
}

TEST_F(WindowTest, OpenPanelsOpenTheChosenFileOrFolderAndCancelChangesNothing)
{
    open();
    const QString doc = writeDoc(QStringLiteral("notes/a.md"), "hello\n");
    prompts->queueOpenPanelAnswer(std::nullopt);
    window->openFile();
    EXPECT_TRUE(ws().openTabs().isEmpty());
    prompts->queueOpenPanelAnswer(doc);
    window->openFile();
    EXPECT_EQ(ws().activeTabURL(), doc);
    EXPECT_FALSE(window->isShowingStartPage());

    prompts->queueOpenPanelAnswer(tree.path() + QStringLiteral("/notes"));
    window->openFolder();
    EXPECT_EQ(ws().folderURL(), tree.path() + QStringLiteral("/notes"));
    ASSERT_EQ(prompts->openPanels().size(), 3);
    EXPECT_EQ(prompts->openPanels().at(1).title, QStringLiteral("Open File"));
    EXPECT_TRUE(prompts->openPanels().at(2).chooseDirectories);
    EXPECT_FALSE(prompts->openPanels().at(2).chooseFiles);
}

TEST_F(WindowTest, ClosingTheLastTabShowsTheStartPageAndHidesTheTabStrip)
{
    open();
    EXPECT_TRUE(window->isShowingStartPage());
    EXPECT_FALSE(window->topBar()->tabStrip()->isVisible());
    EXPECT_FALSE(window->slot(ContentView::Slot::ViewModeToggle)->isVisible());
    ws().openFile(writeDoc(QStringLiteral("a.md"), "# A\n"));
    EXPECT_TRUE(window->topBar()->tabStrip()->isVisible());
    EXPECT_TRUE(window->slot(ContentView::Slot::ViewModeToggle)->isVisible());
    window->closeActiveTab();
    EXPECT_TRUE(ws().openTabs().isEmpty());
    EXPECT_TRUE(window->isShowingStartPage());
    EXPECT_FALSE(window->topBar()->tabStrip()->isVisible());
}

TEST_F(WindowTest, CloseMarkClosesItsOwnTabNotTheActiveOne)
{
    open();
    const QString a = writeDoc(QStringLiteral("a.md"), "a\n");
    const QString b = writeDoc(QStringLiteral("b.md"), "b\n");
    ws().openFile(a);
    ws().openFile(b);
    ASSERT_EQ(ws().activeTabURL(), b);
    TabButton* tabA = window->topBar()->tab(a);
    ASSERT_NE(tabA, nullptr);
    QTest::mouseClick(tabA, Qt::LeftButton, {}, tabA->closeRect().center());
    EXPECT_EQ(ws().openTabs(), QStringList { b });
    EXPECT_EQ(ws().activeTabURL(), b);

    // A click on the title selects.
    ws().openFile(a);
    TabButton* tabB = window->topBar()->tab(b);
    QTest::mouseClick(tabB, Qt::LeftButton, {}, QPoint(20, tabB->height() / 2));
    EXPECT_EQ(ws().activeTabURL(), b);
    EXPECT_TRUE(tabB->isActive());
    EXPECT_FALSE(window->topBar()->tab(a)->isActive());
}

TEST_F(WindowTest, SheetsAreFreshWindowModalDialogsBoundToTheirFlags)
{
    open();
    int built = 0;
    window->sheets().setFactory(SheetPresenter::Sheet::Settings, [&built](QWidget* parent) {
        ++built;
        return new QDialog(parent);
    });
    ws().setShowingSettingsModal(true);
    EXPECT_EQ(window->sheets().dialog(SheetPresenter::Sheet::Settings), nullptr); // queued
    ASSERT_TRUE(
        waitUntil([&] { return window->sheets().dialog(SheetPresenter::Sheet::Settings); }));
    QPointer<QDialog> first = window->sheets().dialog(SheetPresenter::Sheet::Settings);
    EXPECT_EQ(first->windowModality(), Qt::WindowModal);
    EXPECT_EQ(first->parentWidget(), window.get());
    EXPECT_TRUE(first->isVisible());

    first->reject(); // the user closes it
    EXPECT_FALSE(ws().showingSettingsModal());
    ASSERT_TRUE(waitUntil([&] { return first.isNull(); }));

    ws().setShowingSettingsModal(true);
    ASSERT_TRUE(
        waitUntil([&] { return window->sheets().dialog(SheetPresenter::Sheet::Settings); }));
    EXPECT_EQ(built, 2);
    // The flag going back closes the open dialog (a sheet that finished its work).
    QPointer<QDialog> second = window->sheets().dialog(SheetPresenter::Sheet::Settings);
    ws().setShowingSettingsModal(false);
    EXPECT_TRUE(waitUntil([&] { return second.isNull() || !second->isVisible(); }));
    EXPECT_EQ(window->sheets().dialog(SheetPresenter::Sheet::Settings), nullptr);

    // A flag without a sheet does not stay up.
    ws().setShowingConflictGitModal(true);
    EXPECT_TRUE(waitUntil([&] { return !ws().showingConflictGitModal(); }));
}

TEST_F(WindowTest, StartPageListsTheTenMostRecentFolders)
{
    QList<RecentEntity> recents;
    for (int i = 0; i < 15; ++i) {
        const bool isFile = i == 1 || i == 5 || i == 9;
        const QString path = isFile ? tree.write(QStringLiteral("f%1.md").arg(i), "x")
                                    : tree.mkdir(QStringLiteral("dir%1").arg(i));
        recents.append(RecentEntity::make(path, !isFile));
    }
    open();
    ws().setRecentEntities(recents);
    StartPage* page = window->startPage();
    ASSERT_EQ(page->recentRows().size(), 10);
    QStringList shown;
    for (QWidget* row : page->recentRows())
        shown.append(QFileInfo(row->property("path").toString()).fileName());
    EXPECT_EQ(shown,
        QStringList({ QStringLiteral("dir0"), QStringLiteral("dir2"), QStringLiteral("dir3"),
            QStringLiteral("dir4"), QStringLiteral("dir6"), QStringLiteral("dir7"),
            QStringLiteral("dir8"), QStringLiteral("dir10"), QStringLiteral("dir11"),
            QStringLiteral("dir12") }));
    // A click on a row opens that folder as the workspace.
    QWidget* row = page->recentRows().at(2);
    const QString clicked = row->property("path").toString();
    page->ensureWidgetVisible(row);
    QTest::mouseClick(row, Qt::LeftButton);
    EXPECT_EQ(ws().folderURL(), clicked);
    EXPECT_EQ(QFileInfo(page->recentRows().at(0)->property("path").toString()).fileName(),
        QStringLiteral("dir3")); // the opened folder moved to the front

    // Only files: no working folders section.
    ws().setRecentEntities({ recents.at(1), recents.at(5) });
    EXPECT_FALSE(page->showsWorkingFolders());
}

TEST_F(WindowTest, StartPageActionsReachTheWindow)
{
    open();
    StartPage* page = window->startPage();
    ASSERT_EQ(page->actionButtons().size(), 3);
    QTest::mouseClick(page->actionButtons().at(2), Qt::LeftButton);
    EXPECT_TRUE(ws().showingConnectGitModal());
    QTest::mouseClick(page->actionButtons().at(0), Qt::LeftButton);
    ASSERT_EQ(prompts->openPanels().size(), 1);
    EXPECT_EQ(prompts->openPanels().at(0).title, QStringLiteral("Open Workspace Folder"));
    EXPECT_TRUE(page->showsMascotImage());
}

// Cards scrolled away from a pointer at rest lose their hover look; the card scrolled under it
// takes it, before the pointer moves again.
TEST(StartPageTest, HoverFollowsCardsScrolledUnderARestingPointer)
{
    QList<RecentEntity> recents;
    for (int i = 0; i < 10; ++i)
        recents.append(RecentEntity::make(QStringLiteral("/w/dir%1").arg(i), true));
    StartPage page;
    page.setRecents(recents);
    page.resize(700, 400);
    page.show();
    QApplication::processEvents();
    const auto pointAt = [](QWidget* widget) {
        const QPoint over = widget->mapToGlobal(widget->rect().center());
        QCursor::setPos(over);
        QEnterEvent enter(widget->mapFromGlobal(QPointF(over)),
            widget->mapFromGlobal(QPointF(over)), QPointF(over));
        QApplication::sendEvent(widget, &enter);
    };

    StartPageActionButton* action = page.actionButtons().at(0);
    page.ensureWidgetVisible(action);
    pointAt(action);
    ASSERT_TRUE(action->isHovered());
    page.verticalScrollBar()->setValue(page.verticalScrollBar()->value() + 80);
    EXPECT_FALSE(action->isHovered());

    auto* first = static_cast<StartPageRecentRow*>(page.recentRows().at(0));
    auto* second = static_cast<StartPageRecentRow*>(page.recentRows().at(1));
    page.ensureWidgetVisible(first, 0, 100);
    pointAt(first);
    ASSERT_TRUE(first->isHovering());
    page.verticalScrollBar()->setValue(page.verticalScrollBar()->value() + 49);
    EXPECT_FALSE(first->isHovering());
    EXPECT_TRUE(second->isHovering());
}

TEST(StartPageTest, MascotFallsBackToThePlainGhostAndToNothing)
{
    EXPECT_FALSE(StartPage::loadMascot(QStringLiteral("ghost-2"), true, 64).isNull());
    // An unknown name still finds the generic ghost, in both appearances.
    EXPECT_FALSE(StartPage::loadMascot(QStringLiteral("nobody"), false, 64).isNull());
    EXPECT_FALSE(StartPage::loadMascot(QStringLiteral("nobody"), true, 64).isNull());
    EXPECT_EQ(StartPage::loadMascot(QStringLiteral("ghost-1"), false, 300).width(), 300);
}

} // namespace
} // namespace quillon::test

namespace quillon::test {
namespace {

TEST_F(WindowTest, AssistantDividerDragResizesThePanelWithinItsLimits)
{
    open();
    ws().setIsAgentChatOpen(true);
    QApplication::processEvents();
    QWidget* panel = window->slot(ContentView::Slot::Assistant);
    EXPECT_EQ(panel->width(), 340);
    QWidget* grip = window->assistantDivider()->grip();
    ASSERT_TRUE(grip->isVisible());
    const auto drag = [&](int dx) {
        const QPoint start = grip->mapToGlobal(QPoint(Divider::kGripMargin, 50));
        QTest::mousePress(grip, Qt::LeftButton, {}, grip->mapFromGlobal(start));
        QTest::mouseMove(grip, grip->mapFromGlobal(start + QPoint(dx, 0)));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->mapFromGlobal(start + QPoint(dx, 0)));
        QApplication::processEvents();
    };
    drag(-60); // towards the editors: wider
    EXPECT_EQ(ws().agentChatWidth(), 400);
    EXPECT_EQ(panel->width(), 400);
    drag(500);
    EXPECT_EQ(ws().agentChatWidth(), ContentView::kAssistantMinWidth);
    drag(-2000);
    EXPECT_EQ(ws().agentChatWidth(), ContentView::kAssistantMaxWidth);
}

TEST_F(WindowTest, SystemModeFollowsTheApplicationPalette)
{
    const QPalette original = QApplication::palette();
    open();
    ASSERT_EQ(window->themeMode(), Theme::kSystem);
    QApplication::setPalette(AppColors::palette(true));
    QApplication::processEvents();
    EXPECT_TRUE(window->isDarkMode());
    QApplication::setPalette(AppColors::palette(false));
    QApplication::processEvents();
    EXPECT_FALSE(window->isDarkMode());
    // An explicit mode ignores the system.
    window->setThemeMode(Theme::kDark);
    QApplication::setPalette(AppColors::palette(false));
    QApplication::processEvents();
    EXPECT_TRUE(window->isDarkMode());
    QApplication::setPalette(original);
}

TEST_F(WindowTest, SidebarSwitchHidesAndShowsTheColumn)
{
    open();
    ASSERT_TRUE(window->isSidebarVisible());
    QWidget* sidebar = window->slot(ContentView::Slot::Sidebar);
    const int width = sidebar->width();
    EXPECT_GE(width, ContentView::kSidebarMinWidth);
    EXPECT_LE(width, ContentView::kSidebarMaxWidth);
    QTest::mouseClick(static_cast<QWidget*>(window->topBar()->sidebarToggle()), Qt::LeftButton);
    EXPECT_FALSE(window->isSidebarVisible());
    EXPECT_FALSE(sidebar->isVisible());
    QTest::mouseClick(static_cast<QWidget*>(window->topBar()->sidebarToggle()), Qt::LeftButton);
    EXPECT_TRUE(sidebar->isVisible());
    EXPECT_EQ(
        window->minimumSize(), QSize(ContentView::kMinimumWidth, ContentView::kMinimumHeight));
}

TEST_F(WindowTest, TheNewTabIsScrolledIntoTheMiddleOfTheStrip)
{
    open(QSize(900, 600));
    QStringList docs;
    for (int i = 0; i < 12; ++i)
        docs << writeDoc(QStringLiteral("document-number-%1.md").arg(i), "x\n");
    for (const QString& doc : docs)
        ws().openFile(doc);
    QScrollArea* strip = window->topBar()->tabStrip();
    QScrollBar* bar = strip->horizontalScrollBar();
    QApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    ws().selectTab(docs.at(5));
    TabButton* tab = window->topBar()->tab(docs.at(5));
    ASSERT_TRUE(waitUntil([&] {
        const int centre = tab->geometry().center().x() - bar->value();
        return qAbs(centre - strip->viewport()->width() / 2) <= 2;
    }));
}

TEST(MainWindowFrameTest, TheFrameFitsTheScreensAvailableAreaAndKeepsTheMinimum)
{
    using MainWindowFrame::fittedFrame;
    const QSize wanted(1280, 820);
    const QSize minimum(ContentView::kMinimumWidth, ContentView::kMinimumHeight);
    const QMargins titleBar(1, 20, 1, 5);
    // Room enough: the size wanted, where the window manager put it.
    EXPECT_EQ(
        fittedFrame(QRect(100, 50, 1282, 845), titleBar, wanted, minimum, QRect(0, 0, 1920, 1050)),
        QRect(100, 50, 1282, 845));
    // An 800 pixel high screen: the whole frame, its bottom edge included.
    EXPECT_EQ(
        fittedFrame(QRect(0, 0, 1282, 845), titleBar, wanted, minimum, QRect(0, 0, 1280, 800)),
        QRect(0, 0, 1280, 800));
    // Below a panel on a second screen, placed too far down and right: moved in.
    EXPECT_EQ(fittedFrame(QRect(1700, 300, 1282, 845), titleBar, wanted, minimum,
                  QRect(1280, 28, 1024, 740)),
        QRect(1280, 28, 1024, 740));
    // Before the frame is known the contents alone fit.
    EXPECT_EQ(fittedFrame(QRect(0, 0, 1280, 820), {}, wanted, minimum, QRect(0, 0, 1024, 768)),
        QRect(0, 0, 1024, 768));
    // A screen smaller than the minimum: the minimum, with its title bar on the screen.
    EXPECT_EQ(
        fittedFrame(QRect(40, 60, 1282, 845), titleBar, wanted, minimum, QRect(0, 0, 640, 480)),
        QRect(0, 0, 802, 525));
}

TEST_F(WindowTest, TheFirstWindowFitsItsScreen)
{
    ContentView first(*prompts);
    first.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    const QRect available = first.screen()->availableGeometry();
    ASSERT_LT(available.height(), 820);
    // Once the frame is around it, all of it is on the screen from its title bar to its bottom
    // edge; only the minimum width may reach past a screen that narrow.
    EXPECT_TRUE(waitUntil([&] {
        const QRect frame = first.frameGeometry();
        return frame.top() >= available.top() && frame.bottom() <= available.bottom()
            && frame.left() >= available.left()
            && (frame.right() <= available.right() || first.width() == ContentView::kMinimumWidth);
    })) << first.frameGeometry().width()
        << "x" << first.frameGeometry().height();
    EXPECT_GE(first.width(), ContentView::kMinimumWidth);
    EXPECT_GE(first.height(), ContentView::kMinimumHeight);
}

TEST_F(WindowTest, TheTitleNamesTheActiveDocumentForTheWindowList)
{
    open();
    const QWindow* shown = window->windowHandle();
    EXPECT_EQ(shown->title(), QStringLiteral("Quillon"));
    const QString readme = writeDoc(QStringLiteral("README.md"), "# Read me\n");
    const QString draft = writeDoc(QStringLiteral("notes/draft[*].md"), "x\n");
    ws().openFile(readme);
    EXPECT_EQ(shown->title(), QStringLiteral("README.md — Quillon"));
    ws().openFile(draft);
    // What Qt takes for the place of an unsaved mark is shown as the file is named.
    EXPECT_EQ(shown->title(), QStringLiteral("draft[*].md — Quillon"));

    TabButton* readmeTab = window->topBar()->tab(readme);
    QTest::mouseClick(readmeTab, Qt::LeftButton, {}, QPoint(20, readmeTab->height() / 2));
    EXPECT_EQ(shown->title(), QStringLiteral("README.md — Quillon"));
    QTest::mouseClick(readmeTab, Qt::LeftButton, {}, readmeTab->closeRect().center());
    EXPECT_EQ(shown->title(), QStringLiteral("draft[*].md — Quillon"));
    TabButton* draftTab = window->topBar()->tab(draft);
    QTest::mouseClick(draftTab, Qt::LeftButton, {}, draftTab->closeRect().center());
    EXPECT_EQ(shown->title(), QStringLiteral("Quillon"));
}

} // namespace
} // namespace quillon::test
