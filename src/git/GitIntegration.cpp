#include "git/GitIntegration.h"

#include "git/WorkspaceGit.h"
#include "workspace/WorkspaceServices.h"

namespace quillon {

void installGitIntegration()
{
    WorkspaceServices services = WorkspaceServices::installed();
    services.makeGitHooks = [](WorkspaceState& state) -> std::unique_ptr<WorkspaceGitHooks> {
        return std::make_unique<WorkspaceGit>(state);
    };
    WorkspaceServices::install(std::move(services));
}

} // namespace quillon
