#pragma once

namespace quillon {

// What the process does once at start, before the first WorkspaceState exists: the real prompts
// and the analytics client with the launch event. Each workspace then gets its git orchestration
// and its assistant bridge from attachWorkspaceGit() and attachAgentBridge().
void setUpApplication();

} // namespace quillon
