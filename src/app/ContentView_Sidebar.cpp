// The sidebar column (and the sidebar's footer slot).
#include "app/ContentView.h"

#include "editor/document/DocumentViews.h"
#include "sidebar/SidebarView.h"

namespace quillon {

void ContentView::installSidebar()
{
    auto* sidebar = new SidebarView(workspace(), m_prompts);
    // The git sync widget goes into this slot; the sidebar shows it above its settings button.
    QWidget* footer = slot(Slot::SidebarFooter);
    sidebar->setFooterWidget(footer);
    footer->show();
    sidebar->setDarkMode(isDarkMode());
    connect(this, &ContentView::darkModeChanged, sidebar, &SidebarView::setDarkMode);
    connect(sidebar, &SidebarView::searchHitChosen, m_documentViews, &DocumentViews::show);
    // Also the document already shown: a second click of a double click gave the tree the keys.
    connect(sidebar, &SidebarView::documentOpened, m_documentViews, &DocumentViews::focusEditor);
    setSlotContent(Slot::Sidebar, sidebar);
    m_sidebar = sidebar;
}

void ContentView::focusProjectSearch()
{
    if (!m_sidebar)
        return;
    if (!isSidebarVisible())
        setSidebarVisible(true);
    m_sidebar->focusSearchField();
}

} // namespace quillon
