#include "app/ApplicationSetup.h"

#include "analytics/AnalyticsEvent.h"
#include "analytics/AnalyticsManager.h"
#include "app/WidgetUserPrompts.h"

#include <memory>

namespace quillon {

void setUpApplication()
{
    UserPrompts::install(std::make_unique<WidgetUserPrompts>());
    AnalyticsManager::shared().configure();
    AnalyticsManager::shared().track(AnalyticsEvent::appLaunched());
}

} // namespace quillon
