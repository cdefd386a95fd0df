// The assistant panel beside the editor column.
#include "agent/AgentProcessBridge.h"
#include "agent/ui/AgentChatView.h"
#include "analytics/AnalyticsManager.h"
#include "app/ContentView.h"
#include "workspace/WorkspaceState.h"

namespace quillon {

void ContentView::installAssistant()
{
    AgentProcessBridge* bridge = agentBridge();
    if (!bridge)
        return;
    // The panel exists while it is open: closing it drops the typed prompt and the attachment,
    // and opening it again attaches the active document afresh.
    auto follow = [this, bridge] {
        const bool open = workspace().isAgentChatOpen();
        auto* shown = slot(Slot::Assistant)->findChild<AgentChatView*>();
        if (open && !shown) {
            auto* panel = new AgentChatView(*bridge, workspace(),
                [](const AnalyticsEvent& event) { AnalyticsManager::shared().track(event); });
            panel->setDarkMode(isDarkMode());
            connect(this, &ContentView::darkModeChanged, panel, &AgentChatView::setDarkMode);
            setSlotContent(Slot::Assistant, panel);
        } else if (!open && shown) {
            setSlotContent(Slot::Assistant, nullptr);
        }
    };
    connect(&workspace(), &WorkspaceState::isAgentChatOpenChanged, this, follow);
    follow();
}

} // namespace quillon
