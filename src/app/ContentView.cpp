#include "app/ContentView.h"

#include "app/EditorArea.h"
#include "app/FontZoom.h"
#include "app/MainWindowFrame.h"
#include "app/OverlayTransition.h"
#include "app/StartPage.h"
#include "app/Theme.h"
#include "app/TopBar.h"
#include "app/WindowSettings.h"
#include "editor/document/DocumentViews.h"
#include "git/WorkspaceGit.h"
#include "platform/UserDefaults.h"
#include "platform/UserPrompts.h"
#include "ui/AppColors.h"
#include "ui/Divider.h"
#include "ui/IdleDrawingHandoff.h"
#include "ui/SidePanelLayout.h"
#include "workspace/DocumentAnalyzer.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {

QWidget* makeSlot(QWidget* parent, const char* name)
{
    auto* slot = new QWidget(parent);
    slot->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(slot);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return slot;
}
} // namespace

ContentView::ContentView(UserPrompts& prompts, const AttachServices& attach, QWidget* parent)
    : QMainWindow(parent)
    , m_prompts(prompts)
    , m_workspace(std::make_unique<WorkspaceState>())
{
    if (attach)
        m_services = attach(*m_workspace);
    setWindowTitle(MainWindowFrame::title(m_workspace->activeTabURL()));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    MainWindowFrame::fitToScreen(this, QSize(1280, 820));
    m_themeMode = UserDefaults::standard()
                      .stringValue(WindowSettings::themeMode.key())
                      .value_or(WindowSettings::themeMode.defaultValue);
    m_sheets = new SheetPresenter(*m_workspace, this);
    m_analyzer = new DocumentAnalyzer(*m_workspace, this);

    buildLayout();
    connectWorkspace();
    connectSessionEnd();

    installEditorArea();
    installSidebar();
    installGitViews();
    installAssistant();
    installSettings();

    updateDarkMode();
    updateDetail();
    updateAssistant();
    m_analyzer->schedule(m_workspace->currentFileContent());
    IdleDrawingHandoff::install(*this);
}

ContentView::~ContentView()
{
    // Views hold references to the workspace: they go first.
    delete takeCentralWidget();
}

void ContentView::buildLayout()
{
    auto* root = new QWidget(this);
    auto* rootLayout = new QVBoxLayout(root);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(0);

    m_topBar = new TopBar(*m_workspace, root);
    rootLayout->addWidget(m_topBar);
    m_slots.insert(Slot::ViewModeToggle, m_topBar->viewModeSlot());

    m_columns = new QSplitter(Qt::Horizontal, root);
    m_columns->setHandleWidth(1);
    m_columns->setChildrenCollapsible(false);
    rootLayout->addWidget(m_columns, 1);

    m_sidebarColumn = new QWidget(m_columns);
    m_sidebarColumn->setMinimumWidth(kSidebarMinWidth);
    m_sidebarColumn->setMaximumWidth(kSidebarMaxWidth);
    auto* sidebarLayout = new QVBoxLayout(m_sidebarColumn);
    sidebarLayout->setContentsMargins(0, 0, 0, 0);
    sidebarLayout->setSpacing(0);
    QWidget* sidebar = makeSlot(m_sidebarColumn, "sidebarSlot");
    sidebarLayout->addWidget(sidebar);
    m_slots.insert(Slot::Sidebar, sidebar);
    // Not laid out here: the sidebar puts it into its footer.
    QWidget* footer = makeSlot(m_sidebarColumn, "sidebarFooterSlot");
    footer->hide();
    m_slots.insert(Slot::SidebarFooter, footer);

    auto* detail = new QWidget(m_columns);
    m_editorColumn = new QStackedWidget(detail);
    m_editorColumn->setAutoFillBackground(true);

    m_editorPage = new QWidget(m_editorColumn);
    auto* pageLayout = new QVBoxLayout(m_editorPage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    m_editorArea = new EditorArea(m_editorPage);
    pageLayout->addWidget(m_editorArea, 1);
    QWidget* status = makeSlot(m_editorPage, "statusBarSlot");
    pageLayout->addWidget(status);
    m_slots.insert(Slot::StatusBar, status);
    QWidget* find = makeSlot(m_editorPage, "findBarSlot");
    m_slots.insert(Slot::FindBar, find);
    find->installEventFilter(this);
    m_findTransition = new OverlayTransition(find);
    m_editorPage->installEventFilter(this);
    m_editorColumn->addWidget(m_editorPage);

    m_assistantDivider
        = new WidthResizableDivider(kAssistantMinWidth, kAssistantMaxWidth, true, detail);
    QWidget* assistant = makeSlot(detail, "assistantSlot");
    assistant->setMinimumWidth(int(kAssistantMinWidth));
    m_slots.insert(Slot::Assistant, assistant);
    // In a narrow window the panel gives up width before the editors do; a drag starts from the
    // width the panel shows.
    m_detailLayout = new SidePanelLayout(m_editorColumn, m_assistantDivider, assistant, detail);
    connect(
        m_detailLayout, &SidePanelLayout::panelWidthChanged, m_assistantDivider, [this](int width) {
            if (width > 0)
                m_assistantDivider->setPanelWidth(width);
        });
    connect(m_assistantDivider, &WidthResizableDivider::widthRequested, this,
        [this](double width) { m_workspace->setAgentChatWidth(width); });

    m_columns->addWidget(m_sidebarColumn);
    m_columns->addWidget(detail);
    m_columns->setStretchFactor(0, 0);
    m_columns->setStretchFactor(1, 1);
    m_columns->setSizes({ kSidebarIdealWidth, width() - kSidebarIdealWidth });
    setCentralWidget(root);

    connect(m_topBar, &TopBar::tabSelectRequested, this, [this](const QString& path) {
        m_workspace->selectTab(path);
        // Also for the tab already active.
        if (m_documentViews)
            m_documentViews->focusEditor();
    });
    connect(m_topBar, &TopBar::tabCloseRequested, this, &ContentView::closeTab);
    connect(m_topBar, &TopBar::assistantToggleRequested, this,
        [this] { m_workspace->setIsAgentChatOpen(!m_workspace->isAgentChatOpen()); });
    connect(m_topBar, &TopBar::themeToggleRequested, this,
        [this] { setThemeMode(Theme::toggled(m_isDarkMode)); });
    connect(m_topBar, &TopBar::sidebarToggleRequested, this,
        [this] { setSidebarVisible(!isSidebarVisible()); });
}

void ContentView::connectWorkspace()
{
    WorkspaceState& ws = *m_workspace;
    connect(&ws, &WorkspaceState::activeTabURLChanged, this, &ContentView::updateDetail);
    connect(&ws, &WorkspaceState::activeTabURLChanged, this,
        [this] { setWindowTitle(MainWindowFrame::title(m_workspace->activeTabURL())); });
    connect(&ws, &WorkspaceState::isLocalSearchVisibleChanged, this, &ContentView::updateDetail);
    connect(&ws, &WorkspaceState::isAgentChatOpenChanged, this, &ContentView::updateAssistant);
    connect(&ws, &WorkspaceState::agentChatWidthChanged, this, &ContentView::updateAssistant);
    connect(&ws, &WorkspaceState::editorFontSizeChanged, this,
        [this] { Q_EMIT fontSizeChanged(fontSize()); });
    connect(&ws, &WorkspaceState::recentEntitiesChanged, this, [this] {
        if (m_startPage)
            m_startPage->setRecents(m_workspace->recentEntities());
    });
}

QWidget* ContentView::slot(Slot which) const
{
    return m_slots.value(which);
}

void ContentView::setSlotContent(Slot which, QWidget* view)
{
    QWidget* container = slot(which);
    QLayout* layout = container->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (view)
        layout->addWidget(view);
    if (which == Slot::FindBar)
        placeFindBar();
}

double ContentView::fontSize() const
{
    return m_workspace->editorFontSize();
}

void ContentView::setThemeMode(const QString& mode)
{
    if (mode == m_themeMode)
        return;
    m_themeMode = mode;
    UserDefaults::standard().setString(WindowSettings::themeMode.key(), mode);
    updateDarkMode();
}

void ContentView::updateDarkMode()
{
    const bool dark = Theme::isDarkMode(m_themeMode, AppColors::isDark(QApplication::palette()));
    const bool changed = dark != m_isDarkMode;
    m_isDarkMode = dark;
    applyPalette();
    if (changed)
        Q_EMIT darkModeChanged(dark);
}

void ContentView::applyPalette()
{
    m_applyingPalette = true;
    // "system" leaves the widgets on the application's palette.
    setPalette(m_themeMode == Theme::kSystem ? QPalette() : AppColors::palette(m_isDarkMode));
    QPalette column = m_editorColumn->palette();
    column.setColor(QPalette::Window, AppColors::windowBackground(m_isDarkMode));
    m_editorColumn->setPalette(column);
    m_applyingPalette = false;
    m_topBar->setDarkMode(m_isDarkMode);
    if (m_startPage)
        m_startPage->setDarkMode(m_isDarkMode);
    m_editorArea->setDarkMode(m_isDarkMode);
    m_assistantDivider->setDarkMode(m_isDarkMode);
}

bool ContentView::event(QEvent* event)
{
    // The system appearance as Qt 6.4 shows it: the application palette changed.
    if (event->type() == QEvent::ApplicationPaletteChange && !m_applyingPalette)
        updateDarkMode();
    return QMainWindow::event(event);
}

StartPage* ContentView::startPage()
{
    // Built when first needed: a window opened on a document starts without it, sooner.
    if (m_startPage)
        return m_startPage;
    m_startPage = new StartPage(m_editorColumn);
    m_editorColumn->insertWidget(0, m_startPage);
    connect(m_startPage, &StartPage::openFolderRequested, this, &ContentView::openFolder);
    connect(m_startPage, &StartPage::openFileRequested, this, &ContentView::openFile);
    connect(m_startPage, &StartPage::connectGitRequested, this,
        [this] { m_workspace->setShowingConnectGitModal(true); });
    connect(m_startPage, &StartPage::recentFolderRequested, this,
        [this](const QString& path) { m_workspace->setFolderURL(path); });
    m_startPage->setRecents(m_workspace->recentEntities());
    m_startPage->setDarkMode(m_isDarkMode);
    return m_startPage;
}

bool ContentView::isShowingStartPage() const
{
    return m_startPage && m_editorColumn->currentWidget() == m_startPage;
}

void ContentView::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    updateDetail();
}

void ContentView::updateDetail()
{
    const bool hasTab = !m_workspace->activeTabURL().isEmpty();
    // A hidden window waits for its first show before it builds the start page: its first
    // document may come before that.
    if (!hasTab && (m_startPage || isVisible())) {
        const bool built = m_startPage != nullptr;
        if (built && !isShowingStartPage())
            m_startPage->drawMascot();
        m_editorColumn->setCurrentWidget(startPage());
    } else {
        m_editorColumn->setCurrentWidget(m_editorPage);
    }
    QWidget* findBar = slot(Slot::FindBar);
    const bool showFind = hasTab && m_workspace->isLocalSearchVisible();
    if (showFind && findBar->isHidden())
        m_focusBeforeFind = QApplication::focusWidget();
    // Hiding the focused bar would hand the keys to the next field of the window (the project
    // search); they go back to where they were when the bar opened.
    const bool findHadFocus = !showFind && findBar->isAncestorOf(QApplication::focusWidget());
    m_findTransition->setShown(showFind);
    if (findHadFocus && m_focusBeforeFind && m_focusBeforeFind->isVisible())
        m_focusBeforeFind->setFocus(Qt::OtherFocusReason);
    placeFindBar();
}

void ContentView::updateAssistant()
{
    const bool open = m_workspace->isAgentChatOpen();
    m_detailLayout->setWantedPanelWidth(qRound(m_workspace->agentChatWidth()));
    m_assistantDivider->setVisible(open);
    slot(Slot::Assistant)->setVisible(open);
}

void ContentView::placeFindBar()
{
    QWidget* find = slot(Slot::FindBar);
    if (!find)
        return;
    const QSize size = find->sizeHint().expandedTo(QSize(0, 0));
    const int w = qMin(size.width(), qMax(0, m_editorPage->width() - 20));
    m_findTransition->setRestGeometry(QRect(m_editorPage->width() - 20 - w, 10, w, size.height()));
    find->raise();
}

void ContentView::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placeFindBar();
}

bool ContentView::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_editorPage && event->type() == QEvent::Resize)
        || (watched == slot(Slot::FindBar) && event->type() == QEvent::LayoutRequest))
        placeFindBar();
    return QMainWindow::eventFilter(watched, event);
}

void ContentView::openFile()
{
    UserPrompts::OpenPanel panel;
    panel.title = QStringLiteral("Open File");
    panel.chooseFiles = true;
    panel.chooseDirectories = false;
    if (const std::optional<QString> path = m_prompts.runOpenPanel(panel))
        m_workspace->openFile(*path);
}

void ContentView::openFolder()
{
    UserPrompts::OpenPanel panel;
    panel.title = QStringLiteral("Open Workspace Folder");
    panel.chooseFiles = false;
    panel.chooseDirectories = true;
    if (const std::optional<QString> path = m_prompts.runOpenPanel(panel))
        m_workspace->setFolderURL(*path);
}

void ContentView::saveFile()
{
    m_workspace->saveCurrentFile();
}

void ContentView::saveFileAs()
{
    m_workspace->saveAs();
}

void ContentView::openGitRepository()
{
    m_workspace->setShowingConnectGitModal(true);
}

void ContentView::syncGit()
{
    if (m_services.git)
        m_services.git->syncNow();
}

void ContentView::openSettings()
{
    m_workspace->setShowingSettingsModal(true);
}

void ContentView::toggleAssistant()
{
    m_workspace->setIsAgentChatOpen(!m_workspace->isAgentChatOpen());
}

void ContentView::toggleFindInDocument()
{
    m_workspace->setIsLocalSearchVisible(!m_workspace->isLocalSearchVisible());
}

void ContentView::zoomIn()
{
    m_workspace->setEditorFontSize(FontZoom::zoomedIn(fontSize()));
}

void ContentView::zoomOut()
{
    m_workspace->setEditorFontSize(FontZoom::zoomedOut(fontSize()));
}

void ContentView::zoomReset()
{
    m_workspace->setEditorFontSize(FontZoom::kDefaultSize);
}

void ContentView::closeTab(const QString& path)
{
    QPointer<WorkspaceState> ws = m_workspace.get();
    m_workspace->closeTabWithConfirmation(path, [ws, path](bool mayClose) {
        if (mayClose && ws)
            ws->closeTab(path);
    });
}

void ContentView::closeActiveTab()
{
    const QString active = m_workspace->activeTabURL();
    if (!active.isEmpty())
        closeTab(active);
}

bool ContentView::isSidebarVisible() const
{
    return !m_sidebarColumn->isHidden();
}

void ContentView::setSidebarVisible(bool visible)
{
    m_sidebarColumn->setVisible(visible);
}

} // namespace quillon
