#pragma once

namespace quillon {

// Installs the git orchestration (WorkspaceGit) as the git hooks of every WorkspaceState created
// afterwards, keeping any agent-bridge factory already installed. Call once at start.
void installGitIntegration();

} // namespace quillon
