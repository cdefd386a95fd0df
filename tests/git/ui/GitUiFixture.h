#pragma once

#include "git/GitService.h"
#include "git/WorkspaceGitFixture.h"
#include "platform/UserDefaults.h"
#include "platform/UserPrompts.h"

namespace quillon::test {

// A workspace with the real git orchestration, scripted prompts and a keyring in memory.
class GitUiFixture : public WorkspaceGitFixture
{
protected:
    void SetUp() override
    {
        UserDefaults& defaults = UserDefaults::standard();
        for (const QString& key : defaults.keys())
            defaults.remove(key);
        defaults.setBool(QStringLiteral("telemetryOptOut"), true);
        m_prompts = &ScriptedUserPrompts::installNew();
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
