// The sidebar column (and the sidebar's footer slot).
#include "app/ContentView.h"

#include "platform/CommandBus.h"
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
    connect(&commandBus(), &CommandBus::focusGlobalSearch, sidebar, [this, sidebar] {
        if (!isSidebarVisible())
            setSidebarVisible(true);
        sidebar->focusSearchField();
    });
    setSlotContent(Slot::Sidebar, sidebar);
}

} // namespace quillon
