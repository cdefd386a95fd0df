#include "git/GitIntegration.h"

#include "git/WorkspaceGit.h"
#include "workspace/WorkspaceState.h"

#include <memory>

namespace quillon {

WorkspaceGit& attachWorkspaceGit(WorkspaceState& workspace)
{
    auto git = std::make_unique<WorkspaceGit>(workspace);
    WorkspaceGit& result = *git;
    workspace.attachGit(std::move(git));
    return result;
}

} // namespace quillon
