#pragma once

#include <QString>

namespace quillon {

// What the workspace calls of its git orchestration. The git library implements it and the window
// attaches one to each WorkspaceState (WorkspaceState::attachGit). Every call is made on the main
// thread and returns at once.
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
    // Something under the workspace folder changed on disk (the folder watcher saw it).
    virtual void treeTouched() = 0;
};

} // namespace quillon
