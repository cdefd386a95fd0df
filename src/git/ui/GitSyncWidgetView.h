#pragma once

#include "git/ui/GitSyncPresentation.h"

#include <QTimer>
#include <QWidget>

#include <optional>

namespace quillon {

class UserPrompts;
class WorkspaceGit;
class WorkspaceState;

// The sync pill of the sidebar's footer. Reads `gitSyncState`; a click syncs, activates git,
// raises `showingConnectGitModal` or `showingConflictGitModal`, or explains how to install git,
// as the state says. It owns no git logic.
class GitSyncWidgetView : public QWidget
{
    Q_OBJECT
public:
    GitSyncWidgetView(WorkspaceState& workspace, WorkspaceGit& git, UserPrompts& prompts,
        QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    GitSyncPresentation presentation() const;
    // What a click does, by the state at the moment of the click.
    void handleTap();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void stateChanged();
    void showInstallHelp();

    WorkspaceState& m_workspace;
    WorkspaceGit& m_git;
    UserPrompts& m_prompts;
    bool m_dark = false;
    bool m_hovering = false;
    int m_spinnerAngle = 0;
    QTimer m_spinnerTimer;
    // What the pill showed when last painted.
    std::optional<GitSyncPresentation> m_shown;
};

} // namespace quillon
