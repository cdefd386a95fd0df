#pragma once

namespace quillon {

class AgentProcessBridge;
class WorkspaceState;

// Gives the workspace its assistant bridge, owned by the workspace from now on, and returns it
// for the window to hand to the views that show or configure the assistant. Call once per
// workspace, right after creating it.
AgentProcessBridge& attachAgentBridge(WorkspaceState& workspace);

} // namespace quillon
