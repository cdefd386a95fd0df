#pragma once

#include "app/SheetPresenter.h"
#include "editor/document/EditorMode.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QSplitter;
class QStackedWidget;

namespace quillon {

class AgentProcessBridge;
class DocumentAnalyzer;
class DocumentViews;
class EditorArea;
class OverlayTransition;
class SidePanelLayout;
class StartPage;
class TopBar;
class UserPrompts;
class WidthResizableDivider;
class WorkspaceGit;
class WorkspaceState;

// The main window: it creates and owns the window's one WorkspaceState and composes the views
// around it. Top bar (tabs, view-mode toggle, assistant and theme toggles); a collapsible sidebar
// column; the detail column with the start page or the editor area, its status bar and find-bar
// overlay; the assistant panel with its width divider. It derives the dark flag from "themeMode",
// handles the menu commands and runs the open panels.
//
// Plugging a view in. Each neighbouring view is installed by one member function in its own file,
// called from the constructor in this order: installEditorArea() (ContentView_Editor.cpp),
// installSidebar() (ContentView_Sidebar.cpp), installGitViews() (ContentView_Git.cpp),
// installAssistant() (ContentView_Assistant.cpp), installSettings() (ContentView_Settings.cpp).
// An installer may use:
//   workspace()            the window's WorkspaceState, to hand to the view's constructor
//   documentViews()        the views of the open documents; show(path, line) opens a document at
//                          a line
//   sheets()               SheetPresenter: setFactory(Sheet::Settings | ConnectGit | ConflictGit,
//   ...) editorArea()           setSourcePane / setBlocksPane, mode(), setMode(), splitPosition()
//   slot(Slot::...)        empty containers (QWidget with a zero-margin QVBoxLayout) to put a view
//                          into with setSlotContent(): ViewModeToggle (top bar), Sidebar (the
//                          sidebar column), SidebarFooter (a container the sidebar places in its
//                          footer; the git sync widget goes in it), StatusBar (under the editor
//                          area), FindBar (the overlay at the editors' top right, shown only while
//                          isLocalSearchVisible and a tab is active), Assistant (the panel, shown
//                          while isAgentChatOpen, as wide as agentChatWidth where the window has
//                          room beside the editors' minimum width, never narrower than 260)
//   isDarkMode(), darkModeChanged(bool)   the window's appearance; also applied as the palette
//   fontSize(), fontSizeChanged(double)   the editors' font size (WorkspaceState::editorFontSize)
//   analyzer()             DocumentAnalyzer: tokenCount(), tokenCountChanged, counts(),
//                          countsChanged for the status bar
// Members an installer needs of its own go in its section at the end of this class.
class ContentView : public QMainWindow
{
    Q_OBJECT
public:
    enum class Slot { ViewModeToggle, Sidebar, SidebarFooter, StatusBar, FindBar, Assistant };

    static constexpr int kMinimumWidth = 800;
    static constexpr int kMinimumHeight = 500;
    static constexpr int kSidebarMinWidth = 210;
    static constexpr int kSidebarIdealWidth = 240;
    static constexpr int kSidebarMaxWidth = 400;
    static constexpr double kAssistantMinWidth = 260;
    static constexpr double kAssistantMaxWidth = 600;
    static constexpr qreal kEditorContentWidth = 720;

    // The services attached to the window's workspace, handed to the views that need them.
    struct Services
    {
        WorkspaceGit* git = nullptr;
        AgentProcessBridge* agent = nullptr;
    };
    // Gives a new workspace its services (git orchestration, assistant bridge) before any view
    // sees it and returns them; tests may attach none.
    using AttachServices = std::function<Services(WorkspaceState&)>;

    explicit ContentView(
        UserPrompts& prompts, const AttachServices& attach = {}, QWidget* parent = nullptr);
    ~ContentView() override;

    WorkspaceState& workspace() const { return *m_workspace; }
    DocumentViews& documentViews() const { return *m_documentViews; }
    SheetPresenter& sheets() const { return *m_sheets; }
    // The attached services; null when none was attached (views that need them are left out).
    WorkspaceGit* git() const { return m_services.git; }
    AgentProcessBridge* agentBridge() const { return m_services.agent; }
    // The token estimate (tokenCount, tokenCountChanged) and the word and character counts.
    DocumentAnalyzer& analyzer() const { return *m_analyzer; }
    EditorArea* editorArea() const { return m_editorArea; }
    QWidget* slot(Slot which) const;
    // Puts `view` into the slot (the slot's previous content is deleted).
    void setSlotContent(Slot which, QWidget* view);

    // "system", "dark" or "light", stored under "themeMode".
    QString themeMode() const { return m_themeMode; }
    void setThemeMode(const QString& mode);
    bool isDarkMode() const { return m_isDarkMode; }
    double fontSize() const;

    // The window's command handlers, which the menus' actions call.
    void openFile();
    void openFolder();
    void saveFile();
    void saveFileAs();
    void openGitRepository();
    void syncGit();
    void openSettings();
    void toggleAssistant();
    void toggleFindInDocument();
    void focusProjectSearch();
    void zoomIn();
    void zoomOut();
    void zoomReset();
    // Closes the tab once the workspace's unsaved-changes question allows it.
    void closeTab(const QString& path);
    void closeActiveTab();
    bool isSidebarVisible() const;
    void setSidebarVisible(bool visible);

    // What the end of the desktop session lets the window do: QSessionManager's calls, or a
    // test's stand-ins.
    struct SessionEnd
    {
        std::function<bool()> allowsInteraction; // asks for leave to ask the user; may wait
        std::function<void()> release; // the questions are over
        std::function<void()> cancel; // the session, and the program, go on
    };
    // The desktop session is ending (QGuiApplication::commitDataRequest): text that is not on
    // disk is asked about as Quit asks, when the session manager lets the program ask; the
    // session's end is cancelled when the user keeps the program running.
    void commitSessionData(const SessionEnd& session);

    TopBar* topBar() const { return m_topBar; }
    StartPage* startPage();
    // True while the detail column shows the start page rather than the editors.
    bool isShowingStartPage() const;
    WidthResizableDivider* assistantDivider() const { return m_assistantDivider; }

Q_SIGNALS:
    void darkModeChanged(bool dark);
    void fontSizeChanged(double size);

protected:
    bool event(QEvent* event) override;
    // Quit, the window's close button and the session's end close the window, and with it the
    // program: text that is not on disk is asked about first (WorkspaceState::confirmQuit), and
    // the window stays open unless the program may end.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void connectWorkspace();
    void updateDarkMode();
    void applyPalette();
    void updateDetail();
    void updateAssistant();
    void placeFindBar();

    void installEditorArea();
    void installSidebar();
    void installGitViews();
    void installAssistant();
    void installSettings();
    void connectSessionEnd(); // ContentView_Quit.cpp

    UserPrompts& m_prompts;
    std::unique_ptr<WorkspaceState> m_workspace;
    Services m_services;
    SheetPresenter* m_sheets = nullptr;
    DocumentAnalyzer* m_analyzer = nullptr;
    QString m_themeMode;
    bool m_isDarkMode = false;
    bool m_applyingPalette = false;

    TopBar* m_topBar = nullptr;
    QSplitter* m_columns = nullptr;
    QWidget* m_sidebarColumn = nullptr;
    QStackedWidget* m_editorColumn = nullptr;
    StartPage* m_startPage = nullptr;
    QWidget* m_editorPage = nullptr;
    EditorArea* m_editorArea = nullptr;
    WidthResizableDivider* m_assistantDivider = nullptr;
    SidePanelLayout* m_detailLayout = nullptr;
    QHash<Slot, QWidget*> m_slots;
    QPointer<QWidget> m_focusBeforeFind; // where the keys go back to when the find bar closes
    OverlayTransition* m_findTransition = nullptr; // slides the find bar in and out

    // ---- installEditorArea (ContentView_Editor.cpp) ----
    DocumentViews* m_documentViews = nullptr;
    void showPanesOfMode();
    class DiskQuestionBar* m_diskQuestionBar = nullptr;
    QMetaObject::Connection m_diskQuestionFollowed;
    // Shows the active document's question about another program's change, or hides the bar.
    void followDiskQuestion();
    // ---- installSidebar (ContentView_Sidebar.cpp) ----
    QPointer<class SidebarView> m_sidebar;
    // ---- installGitViews (ContentView_Git.cpp) ----
    class GitSyncWidgetView* m_gitSyncWidget = nullptr;
    // ---- installAssistant (ContentView_Assistant.cpp) ----
    // ---- installSettings (ContentView_Settings.cpp) ----
};

} // namespace quillon
