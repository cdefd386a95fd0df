#pragma once

namespace quillon {

// What the workspace holds of its assistant. The agent library implements it and the window
// attaches one to each WorkspaceState (WorkspaceState::attachAgentBridge); the workspace owns it
// for its whole life. Destroying it stops a run still going.
class WorkspaceAgentBridge
{
public:
    virtual ~WorkspaceAgentBridge() = default;
    virtual bool isProcessing() const = 0;
    // Stops the current run and everything it started.
    virtual void cancelTask() = 0;
};

} // namespace quillon
