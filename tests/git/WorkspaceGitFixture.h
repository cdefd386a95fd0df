#pragma once

#include "git/GitIntegration.h"
#include "git/GitService.h"
#include "git/GitTestRepos.h"
#include "git/KeychainManager.h"
#include "git/WorkspaceGit.h"
#include "support/SecretStoreMemory.h"
#include "workspace/WorkspaceState.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <map>
#include <memory>

namespace quillon::test {

// Workspaces with the real git orchestration attached and a keyring in memory.
class WorkspaceGitFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KeychainManager::setStore(keyring);
        ensureGitIdentity();
    }
    void TearDown() override { KeychainManager::setStore(nullptr); }

    std::unique_ptr<WorkspaceState> open(const QString& folder)
    {
        auto state = std::make_unique<WorkspaceState>();
        m_gits[state.get()] = &attachWorkspaceGit(*state);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        if (!folder.isEmpty()) {
            state->setFolderURL(folder);
            settle(*state);
        }
        return state;
    }

    // Waits until the folder's git queue is empty and its results were delivered.
    static void settle(const WorkspaceState& state, const QString& folder = {})
    {
        const QString f = folder.isEmpty() ? state.folderURL() : folder;
        for (int round = 0; round < 3; ++round) {
            waitUntil([&] { return GitService::shared().pendingJobCount(f) == 0; }, 20000);
            waitUntil([] { return false; }, 30);
        }
    }

    WorkspaceGit& gitOf(const WorkspaceState& state) const { return *m_gits.at(&state); }

    std::shared_ptr<SecretStoreMemory> keyring = std::make_shared<SecretStoreMemory>();

private:
    std::map<const WorkspaceState*, WorkspaceGit*> m_gits;
};

} // namespace quillon::test
