#include "WorkspaceTestSupport.h"

#include <QDir>

namespace quillon::test {
namespace {

class WorkspaceStateDeleteTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        installRecordingGitHooks();
        tree.write("a/x.md", "x\n");
        tree.write("a/b/c.md", "c\n");
        tree.write("ab.md", "ab\n");
        state = makeState();
        state->setFolderURL(tree.path());
        state->setExpanded(true, path("a"));
        state->setExpanded(true, path("a/b"));
        state->setExpanded(true, path("ab"));
        for (const char* file : { "a/x.md", "ab.md", "a/b/c.md" })
            state->openFile(path(QString::fromLatin1(file)));
        state->addRecent(path("a"), true);
        gitCalls.clear();
    }

    QString path(const QString& relative) const { return tree.filePath(relative); }

    std::unique_ptr<WorkspaceState> state;
};

TEST_F(WorkspaceStateDeleteTest, CancellingTheConfirmationChangesNothing)
{
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    state->deleteFile(path("ab.md"));
    settle();
    ASSERT_EQ(prompts->alerts().size(), 1);
    EXPECT_EQ(prompts->alerts()[0].message, "Delete 'ab.md'?");
    EXPECT_EQ(prompts->alerts()[0].informativeText,
        "Are you sure you want to move this item to the Trash?");
    EXPECT_EQ(prompts->alerts()[0].buttons, (QStringList { "Move to Trash", "Cancel" }));
    EXPECT_TRUE(QFileInfo::exists(path("ab.md")));
    EXPECT_EQ(state->openTabs().size(), 3);
}

TEST_F(WorkspaceStateDeleteTest, DeletingAFolderForgetsEverythingUnderItOnly)
{
    state->setConfirmFileDeletion(false);
    state->deleteFile(path("a"));
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("a")));
    settle();
    EXPECT_EQ(state->openTabs(), QStringList { path("ab.md") });
    EXPECT_EQ(state->activeTabURL(), path("ab.md"));
    EXPECT_EQ(state->currentFileContent(), "ab\n");
    EXPECT_FALSE(state->expandedPaths().contains(path("a")));
    EXPECT_FALSE(state->expandedPaths().contains(path("a/b")));
    EXPECT_TRUE(state->expandedPaths().contains(path("ab")));
    QStringList recents;
    for (const RecentEntity& e : state->recentEntities())
        recents.append(e.url);
    EXPECT_EQ(recents, (QStringList { path("ab.md"), tree.path() }));
    EXPECT_EQ(gitCalls, QStringList { "stageDeletion " + tree.path() + " " + path("a") });
}

TEST_F(WorkspaceStateDeleteTest, AnItemAlreadyGoneIsForgottenWithoutQuestions)
{
    state->setConfirmFileDeletion(false);
    QDir(path("a")).removeRecursively();
    state->deleteFile(path("a"));
    settle();
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_EQ(state->openTabs(), QStringList { path("ab.md") });
    EXPECT_FALSE(state->expandedPaths().contains(path("a/b")));
}

class TrashUnavailableTest : public WorkspaceStateDeleteTest
{
protected:
    void SetUp() override
    {
        WorkspaceStateDeleteTest::SetUp();
        // A Trash whose "files" is not a folder refuses every item.
        savedDataHome = qgetenv("XDG_DATA_HOME");
        dataHome.mkdir("Trash/info");
        dataHome.write("Trash/files", "not a folder");
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
        state->setConfirmFileDeletion(false);
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", savedDataHome);
        WorkspaceStateDeleteTest::TearDown();
    }

    TempTree dataHome;
    QByteArray savedDataHome;
};

TEST_F(TrashUnavailableTest, PermanentDeletionIsAskedForFirst)
{
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    state->deleteFile(path("a"));
    settle();
    ASSERT_EQ(prompts->alerts().size(), 1);
    EXPECT_EQ(prompts->alerts()[0].buttons, (QStringList { "Delete Permanently", "Cancel" }));
    EXPECT_TRUE(QFileInfo::exists(path("a/x.md")));
    EXPECT_EQ(state->openTabs().size(), 3);
    EXPECT_TRUE(gitCalls.isEmpty());
}

TEST_F(TrashUnavailableTest, AgreedPermanentDeletionRemovesAndFollowsUp)
{
    prompts->queueAlertAnswer(QStringLiteral("Delete Permanently"));
    state->deleteFile(path("a"));
    settle();
    EXPECT_FALSE(QFileInfo::exists(path("a")));
    EXPECT_EQ(state->openTabs(), QStringList { path("ab.md") });
    EXPECT_EQ(gitCalls.size(), 1);
}

} // namespace
} // namespace quillon::test
