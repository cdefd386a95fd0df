#include "WorkspaceTestSupport.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

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

// A fresh account: a home without ~/.local/share, and a program started from a folder of its own.
class TrashOfAFreshHomeTest : public WorkspaceStateDeleteTest
{
protected:
    void SetUp() override
    {
        WorkspaceStateDeleteTest::SetUp();
        savedHome = qgetenv("HOME");
        savedDataHome = qgetenv("XDG_DATA_HOME");
        savedCwd = QDir::currentPath();
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_DATA_HOME");
        QDir::setCurrent(startedIn.path());
        state->setConfirmFileDeletion(false);
    }
    void TearDown() override
    {
        QDir::setCurrent(savedCwd);
        qputenv("HOME", savedHome);
        qputenv("XDG_DATA_HOME", savedDataHome);
        WorkspaceStateDeleteTest::TearDown();
    }

    static int mode(const QString& path)
    {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }

    TempTree home;
    TempTree startedIn;
    QByteArray savedHome, savedDataHome;
    QString savedCwd;
};

TEST_F(TrashOfAFreshHomeTest, TheTrashIsMadeInTheHomeAndNothingLandsInTheStartingFolder)
{
    state->deleteFile(path("ab.md"));
    settle();
    EXPECT_TRUE(prompts->alerts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("ab.md")));
    const QString trash = home.filePath(".local/share/Trash");
    EXPECT_EQ(home.read(".local/share/Trash/files/ab.md"), "ab\n");
    EXPECT_TRUE(QFileInfo::exists(trash + "/info/ab.md.trashinfo"));
    for (const QString& made : { home.filePath(".local"), home.filePath(".local/share"), trash,
             trash + "/files", trash + "/info" })
        EXPECT_EQ(mode(made), 0700) << made.toStdString();
    EXPECT_TRUE(QDir(startedIn.path()).isEmpty())
        << QDir(startedIn.path())
               .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
               .join(' ')
               .toStdString();
    EXPECT_EQ(state->openTabs(), (QStringList { path("a/x.md"), path("a/b/c.md") }));
}

TEST_F(TrashOfAFreshHomeTest, ATrashThatCannotBeMadeSaysWhyAndLeavesNothingBehind)
{
    home.write(".local", "a file where the folder should be");
    prompts->queueAlertAnswer(QStringLiteral("Cancel"));
    state->deleteFile(path("ab.md"));
    settle();
    ASSERT_EQ(prompts->alerts().size(), 1);
    const UserPrompts::Alert& asked = prompts->alerts()[0];
    EXPECT_EQ(asked.buttons, (QStringList { "Delete Permanently", "Cancel" }));
    EXPECT_TRUE(asked.informativeText.contains(home.filePath(".local") + "\" is not a folder"))
        << asked.informativeText.toStdString();
    EXPECT_EQ(tree.read("ab.md"), "ab\n");
    EXPECT_TRUE(QDir(startedIn.path()).isEmpty());
    EXPECT_EQ(QDir(tree.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        (QStringList { "a", "ab.md" }));
    EXPECT_EQ(state->openTabs().size(), 3);
    EXPECT_TRUE(gitCalls.isEmpty());
}

} // namespace
} // namespace quillon::test
