// The git views: the sync pill in the sidebar's footer and the connect and conflict sheets.
#include "app/ContentView.h"

#include "git/ui/ConnectGitModalView.h"
#include "git/ui/GitConflictModalView.h"
#include "git/ui/GitSyncWidgetView.h"

namespace quillon {

void ContentView::installGitViews()
{
    WorkspaceGit* git = m_services.git;
    if (!git)
        return;
    m_gitSyncWidget = new GitSyncWidgetView(*m_workspace, *git, m_prompts);
    m_gitSyncWidget->setDarkMode(m_isDarkMode);
    connect(this, &ContentView::darkModeChanged, m_gitSyncWidget, &GitSyncWidgetView::setDarkMode);
    setSlotContent(Slot::SidebarFooter, m_gitSyncWidget);

    m_sheets->setFactory(SheetPresenter::Sheet::ConnectGit, [this, git](QWidget* parent) {
        return new ConnectGitModalView(*m_workspace, *git, m_prompts, parent);
    });
    m_sheets->setFactory(SheetPresenter::Sheet::ConflictGit, [this, git](QWidget* parent) {
        return new GitConflictModalView(*m_workspace, *git, m_isDarkMode, parent);
    });
}

} // namespace quillon
