#pragma once

namespace quillon {

class WorkspaceGit;
class WorkspaceState;

// Gives the workspace its git orchestration, owned by the workspace from now on, and returns it
// for the window to hand to the menu and the git views. Call once per workspace, right after
// creating it and before opening a folder.
WorkspaceGit& attachWorkspaceGit(WorkspaceState& workspace);

} // namespace quillon
