#pragma once

#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QScrollArea;
class QToolButton;
class QVariantAnimation;

namespace quillon {

class PillToggleButton;
class TabButton;
class ThemeToggleButton;
class WorkspaceState;

// The window's top bar: the sidebar switch in the leading inset, one tab per open document,
// then the view-mode toggle's slot, the assistant toggle and the theme toggle.
//
// Reads: WorkspaceState openTabs, activeTabURL, isAgentChatOpen. Writes nothing itself: clicks
// come out as signals for the window to act on.
class TopBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 40;
    // Room before the first tab: the sidebar switch and its margins.
    static constexpr int kLeadingTabInset = 48;

    explicit TopBar(WorkspaceState& workspace, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    // The container the view-mode toggle goes into; shown only while documents are open.
    QWidget* viewModeSlot() const { return m_viewModeSlot; }
    QList<TabButton*> tabs() const;
    TabButton* tab(const QString& path) const;
    QScrollArea* tabStrip() const { return m_strip; }
    PillToggleButton* assistantToggle() const { return m_assistant; }
    ThemeToggleButton* themeToggle() const { return m_theme; }
    QToolButton* sidebarToggle() const { return m_sidebarToggle; }

Q_SIGNALS:
    void tabSelectRequested(const QString& path);
    void tabCloseRequested(const QString& path);
    void assistantToggleRequested();
    void themeToggleRequested();
    void sidebarToggleRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildTabs();
    void updateActive();
    void scrollToActive();
    void updateSidebarIcon();

    WorkspaceState& m_workspace;
    bool m_isDarkMode = false;
    QToolButton* m_sidebarToggle = nullptr;
    QScrollArea* m_strip = nullptr;
    QWidget* m_tabRow = nullptr;
    QHBoxLayout* m_tabLayout = nullptr;
    QWidget* m_viewModeSlot = nullptr;
    PillToggleButton* m_assistant = nullptr;
    ThemeToggleButton* m_theme = nullptr;
    QVariantAnimation* m_scroll = nullptr;
    QString m_lastActive;
};

} // namespace quillon
