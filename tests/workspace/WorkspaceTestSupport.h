#pragma once

#include "platform/UserDefaults.h"
#include "platform/UserPrompts.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace quillon::test {

// Records what the workspace asks of the git integration.
class RecordingGitHooks : public WorkspaceGitHooks
{
public:
    explicit RecordingGitHooks(QStringList* calls)
        : m_calls(calls)
    {
    }
    void checkStatus() override { m_calls->append(QStringLiteral("checkStatus")); }
    void autoCommitTick() override { m_calls->append(QStringLiteral("autoCommitTick")); }
    void fetchTick() override { m_calls->append(QStringLiteral("fetchTick")); }
    void stageDeletion(const QString& folder, const QString& path) override
    {
        m_calls->append(QStringLiteral("stageDeletion ") + folder + u' ' + path);
    }
    // Folder-watcher notices come at the file system's pace; the git tests follow them end to end.
    void treeTouched() override { }

private:
    QStringList* m_calls;
};

// Every test starts from empty settings, scripted prompts and no git or agent services.
class WorkspaceTest : public ::testing::Test
{
protected:
    void SetUp() override { prompts = &resetSharedState(); }

    static void clearDefaults() { clearSettings(); }

    // Every state made afterwards records the git calls in gitCalls.
    void installRecordingGitHooks() { m_recordGitCalls = true; }

    // A workspace state whose deferred session restore has already run.
    std::unique_ptr<WorkspaceState> makeState()
    {
        auto state = std::make_unique<WorkspaceState>();
        if (m_recordGitCalls)
            state->attachGit(std::make_unique<RecordingGitHooks>(&gitCalls));
        settle();
        return state;
    }

    // Lets queued work (session restore, deletion follow-ups, deferred deletes) run.
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    static ino_t inodeOf(const QString& path)
    {
        struct stat st
        {
        };
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
    }

    TempTree tree;
    ScriptedUserPrompts* prompts = nullptr;
    QStringList gitCalls;

private:
    bool m_recordGitCalls = false;
};

} // namespace quillon::test
