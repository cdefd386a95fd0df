#pragma once

namespace quillon {

// Makes every WorkspaceState created from now on own an AgentProcessBridge. Keeps whatever git
// hooks are already installed. Call once at start (the application, and tests that want a bridge).
void installAgentIntegration();

} // namespace quillon
