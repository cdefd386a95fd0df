// The settings sheet.
#include "agent/AgentProcessBridge.h"
#include "analytics/AnalyticsManager.h"
#include "app/ContentView.h"
#include "settings/SettingsView.h"
#include "workspace/WorkspaceState.h"

namespace quillon {

void ContentView::installSettings()
{
    AgentProcessBridge* bridge = agentBridge();
    if (!bridge)
        return;
    sheets().setFactory(SheetPresenter::Sheet::Settings, [this, bridge](QWidget* parent) {
        auto* sheet = new SettingsView(
            workspace(), *bridge, AnalyticsManager::shared(),
            [](const AnalyticsEvent& event) { AnalyticsManager::shared().track(event); }, parent);
        sheet->setDarkMode(isDarkMode());
        connect(this, &ContentView::darkModeChanged, sheet, &SettingsView::setDarkMode);
        return static_cast<QDialog*>(sheet);
    });
}

} // namespace quillon
