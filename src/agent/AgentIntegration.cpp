#include "agent/AgentIntegration.h"

#include "agent/AgentProcessBridge.h"
#include "workspace/WorkspaceState.h"

#include <memory>

namespace quillon {

AgentProcessBridge& attachAgentBridge(WorkspaceState& workspace)
{
    auto bridge = std::make_unique<AgentProcessBridge>(&workspace);
    AgentProcessBridge& result = *bridge;
    workspace.attachAgentBridge(std::move(bridge));
    return result;
}

} // namespace quillon
