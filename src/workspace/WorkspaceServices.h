#pragma once

#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace quillon {

class WorkspaceState;

// What the workspace calls of the git integration. The git library implements it; the workspace
// holds one per WorkspaceState. Every call is made on the main thread and returns at once.
class WorkspaceGitHooks
{
public:
    virtual ~WorkspaceGitHooks() = default;
    // Runs the status check and publishes WorkspaceState::gitSyncState when done.
    virtual void checkStatus() = 0;
    // The auto-commit timer fired.
    virtual void autoCommitTick() = 0;
    // The 300-second background fetch timer fired.
    virtual void fetchTick() = 0;
    // An item below the workspace folder was deleted: stage the deletion, then check the status.
    virtual void stageDeletion(const QString& repositoryFolder, const QString& deletedPath) = 0;
};

// Factories the application installs once at start, before the first WorkspaceState is created.
// Without them a WorkspaceState runs with no git hooks (status stays "no repository") and no agent
// bridge: that is how tests about the workspace alone run.
struct WorkspaceServices
{
    std::function<std::unique_ptr<WorkspaceGitHooks>(WorkspaceState&)> makeGitHooks;
    // Returns the AgentProcessBridge as a QObject parented to the workspace state.
    std::function<QObject*(WorkspaceState&)> makeAgentBridge;

    static void install(WorkspaceServices services);
    static const WorkspaceServices& installed();
};

} // namespace quillon
