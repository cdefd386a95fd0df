#pragma once

#include "git/GitService.h"
#include "git/WorkspaceGitFixture.h"
#include "support/ScriptedUserPrompts.h"

namespace quillon::test {

// A workspace with the real git orchestration, scripted prompts and a keyring in memory.
class GitUiFixture : public WorkspaceGitFixture
{
protected:
    void SetUp() override
    {
        m_prompts = &resetSharedState();
        WorkspaceGitFixture::SetUp();
    }
    void TearDown() override
    {
        GitService::shared().setGitExecutable({});
        WorkspaceGitFixture::TearDown();
    }

    ScriptedUserPrompts& prompts() { return *m_prompts; }

private:
    ScriptedUserPrompts* m_prompts = nullptr;
};

} // namespace quillon::test
