#include "agent/AgentIntegration.h"

#include "agent/AgentProcessBridge.h"
#include "workspace/WorkspaceServices.h"
#include "workspace/WorkspaceState.h"

namespace quillon {

void installAgentIntegration()
{
    WorkspaceServices services = WorkspaceServices::installed();
    services.makeAgentBridge = [](WorkspaceState& workspace) -> QObject* {
        return new AgentProcessBridge(&workspace, &workspace);
    };
    WorkspaceServices::install(std::move(services));
}

} // namespace quillon
