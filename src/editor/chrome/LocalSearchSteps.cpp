#include "editor/chrome/LocalSearchSteps.h"

#include "workspace/WorkspaceState.h"

namespace quillon::LocalSearchSteps {

void stepNext(WorkspaceState& workspace)
{
    if (const auto index
        = next(workspace.currentLocalMatchIndex(), workspace.totalLocalMatchCount()))
        workspace.setCurrentLocalMatchIndex(*index);
}

void stepPrevious(WorkspaceState& workspace)
{
    if (const auto index
        = previous(workspace.currentLocalMatchIndex(), workspace.totalLocalMatchCount()))
        workspace.setCurrentLocalMatchIndex(*index);
}

void close(WorkspaceState& workspace)
{
    workspace.setIsLocalSearchVisible(false);
}

} // namespace quillon::LocalSearchSteps
