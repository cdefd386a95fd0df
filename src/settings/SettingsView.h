#pragma once

#include "settings/SettingsSession.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

#include <functional>

class QScrollArea;
class QToolButton;

namespace quillon {

class AgentProcessBridge;
class AgentTab;
class AnalyticsManager;
class FileTypesTab;
class GeneralTab;
class GitTab;
class SettingsTabButton;
class TokenEditSheet;
class WorkspaceState;

// The settings sheet: a row of four tab buttons and a close button over the selected tab. Made
// fresh for each presentation (its session starts on General with empty fields) and holds no
// setting of its own: every control writes through to its owner at once.
//
// Writes: WorkspaceState settings, the agent bridge's engine and custom path, the analytics
// opt-out, the keyring's tokens (through the session). Reports each tab tap through `track`.
class SettingsView : public QDialog
{
    Q_OBJECT
public:
    using Tracker = SettingsSession::Tracker;

    SettingsView(WorkspaceState& workspace, AgentProcessBridge& agentBridge,
        AnalyticsManager& analytics, Tracker track, QWidget* parent = nullptr);
    ~SettingsView() override;

    void setDarkMode(bool dark);
    bool darkMode() const { return m_dark; }

    SettingsSession& session() { return m_session; }
    SettingsTabButton* tabButton(SettingsSession::Tab tab) const { return m_tabButtons.value(tab); }
    QToolButton* closeButton() const { return m_close; }
    GeneralTab* generalTab() const { return m_general; }
    FileTypesTab* fileTypesTab() const { return m_fileTypes; }
    GitTab* gitTab() const { return m_git; }
    AgentTab* agentTab() const { return m_agent; }
    // The token sheet while it is open, else null.
    TokenEditSheet* tokenSheet() const;
    QWidget* tabPage(SettingsSession::Tab tab) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showSelectedTab();
    void followTokenSheet();
    void applyColours();

    SettingsSession m_session;
    bool m_dark = false;
    QHash<SettingsSession::Tab, SettingsTabButton*> m_tabButtons;
    QToolButton* m_close = nullptr;
    QScrollArea* m_scroll = nullptr;
    GeneralTab* m_general = nullptr;
    FileTypesTab* m_fileTypes = nullptr;
    GitTab* m_git = nullptr;
    AgentTab* m_agent = nullptr;
    // Guarded: the sheet may go first (closed), or with this view as one of its children, after
    // this view's own members are gone.
    QPointer<TokenEditSheet> m_tokenSheet;
};

} // namespace quillon
