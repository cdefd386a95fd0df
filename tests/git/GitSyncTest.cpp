#include "git/GitService.h"
#include "git/GitTestRepos.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

using namespace quillon;
using test::gitOk;
using test::GitRemoteFixture;
using test::TempTree;

namespace {

GitService& git()
{
    return GitService::shared();
}

// Alice and Bob change the same file; Alice's change reaches the remote first.
void makeContentConflict(const GitRemoteFixture& repos, const QString& file)
{
    repos.write(repos.alice(), file, "alice\n");
    ASSERT_TRUE(git().performFullSync(repos.alice(), std::nullopt).ok());
    repos.write(repos.bob(), file, "bob\n");
}

// Runs git through the fake script, failing the given subcommand with the given message.
class FakeGitFailure
{
public:
    FakeGitFailure(const char* subcommand, const QByteArray& stderrText)
    {
        qputenv("FAKE_GIT_FAIL_ON", subcommand);
        qputenv("FAKE_GIT_STDERR", stderrText);
        qputenv("FAKE_GIT_LOG", m_log.filePath("git.log").toUtf8());
        git().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    }
    ~FakeGitFailure()
    {
        git().setGitExecutable({});
        qunsetenv("FAKE_GIT_FAIL_ON");
        qunsetenv("FAKE_GIT_STDERR");
        qunsetenv("FAKE_GIT_LOG");
    }
    QByteArray log() const { return m_log.read("git.log"); }

private:
    TempTree m_log;
};

} // namespace

TEST(GitFullSync, WithoutOriginOnlyCommitsLocally)
{
    test::ensureGitIdentity();
    TempTree folder;
    ASSERT_TRUE(git().initRepository(folder.path()).ok());
    EXPECT_TRUE(git().performFullSync(folder.path(), std::nullopt).ok());
    folder.write("n.md", "n");
    EXPECT_TRUE(git().performFullSync(folder.path(), std::nullopt).ok());
    EXPECT_EQ(gitOk(folder.path(), { "log", "-1", "--format=%s" }), "Update documents\n");
}

TEST(GitFullSync, BringsBothClonesInStep)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "from alice.md", "a");
    repos.write(repos.bob(), "von Bob – Ü.md", "b");
    ASSERT_TRUE(git().performFullSync(repos.alice(), std::nullopt).ok());
    const auto bob = git().performFullSync(repos.bob(), std::nullopt);
    ASSERT_TRUE(bob.ok()) << bob.error().description().toStdString();
    ASSERT_TRUE(git().performFullSync(repos.alice(), std::nullopt).ok());
    EXPECT_EQ(repos.read(repos.alice(), "von Bob – Ü.md"), "b");
    EXPECT_EQ(repos.read(repos.bob(), "from alice.md"), "a");
    const auto status = git().getStatus(repos.alice()).value();
    EXPECT_TRUE(status.isClean);
    EXPECT_EQ(status.ahead + status.behind, 0);
}

TEST(GitFullSync, ABranchThatTheRemoteDoesNotHaveIsPushedWithUpstream)
{
    GitRemoteFixture repos;
    gitOk(repos.bob(), { "checkout", "-q", "-b", "draft/ideas" });
    repos.write(repos.bob(), "idea.md", "i");
    const auto r = git().performFullSync(repos.bob(), std::nullopt);
    ASSERT_TRUE(r.ok()) << r.error().description().toStdString();
    EXPECT_EQ(
        gitOk(repos.remote(), { "log", "-1", "--format=%s", "draft/ideas" }), "Update documents\n");
    EXPECT_EQ(git().getStatus(repos.bob()).value().upstream, "origin/draft/ideas");
}

TEST(GitFullSync, ContentConflictIsReportedResolvedAndPushed)
{
    GitRemoteFixture repos;
    const QString file = "Über uns/notes 1.md";
    makeContentConflict(repos, file);

    const auto r = git().performFullSync(repos.bob(), std::nullopt);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), GitError::Kind::MergeConflict);
    EXPECT_EQ(r.error().files(), QStringList { file });
    // A second sync on the conflicted tree commits nothing and reports the same conflict.
    const auto again = git().performFullSync(repos.bob(), std::nullopt);
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error().files(), QStringList { file });

    const auto versions = git().getConflictDiff(repos.bob(), file);
    ASSERT_TRUE(versions.ok()) << versions.error().description().toStdString();
    EXPECT_EQ(versions.value().ours, "bob\n");
    EXPECT_EQ(versions.value().theirs, "alice\n");

    ASSERT_TRUE(git().resolveConflict(repos.bob(), file, ConflictChoice::keepTheirs).ok());
    EXPECT_EQ(repos.read(repos.bob(), file), "alice\n");
    ASSERT_TRUE(git().completeMerge(repos.bob(), "Merge resolved via Quillon").ok());
    ASSERT_TRUE(git().performFullSync(repos.bob(), std::nullopt).ok());
    EXPECT_EQ(gitOk(repos.remote(), { "log", "-1", "--format=%s", "main" }),
        "Merge resolved via Quillon\n");
}

TEST(GitFullSync, ConflictsAreResolvedFromAWorkspaceSubfolder)
{
    GitRemoteFixture repos;
    makeContentConflict(repos, "notes/a.md");
    ASSERT_FALSE(git().performFullSync(repos.bob(), std::nullopt).ok());
    const QString workspace = repos.bob() + "/notes";
    ASSERT_TRUE(git().resolveConflict(workspace, "notes/a.md", ConflictChoice::keepOurs).ok());
    EXPECT_EQ(repos.read(repos.bob(), "notes/a.md"), "bob\n");
    EXPECT_FALSE(git().getStatus(repos.bob()).value().hasConflicts);
    // A merge whose conflicts are resolved but not yet committed is concluded by the next sync,
    // also from the subfolder.
    const auto synced = git().performFullSync(workspace, std::nullopt);
    ASSERT_TRUE(synced.ok()) << synced.error().description().toStdString();
    EXPECT_EQ(gitOk(repos.remote(), { "show", "main:notes/a.md" }), "bob\n");
    EXPECT_EQ(gitOk(repos.bob(), { "status", "--porcelain" }), "");
}

TEST(GitFullSync, DeletionConflictsCanBeResolvedEitherWay)
{
    struct Case
    {
        const char* name;
        bool bobDeletes; // deleted by us (Bob) or by them (Alice)
        ConflictChoice choice;
        bool fileRemains;
    };
    const Case cases[] = {
        { "deleted by them, keep ours", false, ConflictChoice::keepOurs, true },
        { "deleted by them, keep theirs", false, ConflictChoice::keepTheirs, false },
        { "deleted by us, keep ours", true, ConflictChoice::keepOurs, false },
        { "deleted by us, keep theirs", true, ConflictChoice::keepTheirs, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GitRemoteFixture repos;
        const QString file = "shared note.md";
        repos.write(repos.alice(), file, "v1\n");
        repos.commitAndPush(repos.alice(), "Add");
        gitOk(repos.bob(), { "pull", "-q" });
        const QString deleter = c.bobDeletes ? repos.bob() : repos.alice();
        const QString editor = c.bobDeletes ? repos.alice() : repos.bob();
        QFile::remove(deleter + "/" + file);
        repos.write(editor, file, "v2\n");
        // Whoever is Alice pushes first; Bob's sync meets the conflict.
        ASSERT_TRUE(git().performFullSync(repos.alice(), std::nullopt).ok());
        const auto r = git().performFullSync(repos.bob(), std::nullopt);
        ASSERT_FALSE(r.ok());
        ASSERT_EQ(r.error().files(), QStringList { file }) << r.error().description().toStdString();

        const auto versions = git().getConflictDiff(repos.bob(), file);
        ASSERT_TRUE(versions.ok()) << versions.error().description().toStdString();
        EXPECT_EQ(versions.value().oursDeleted, c.bobDeletes);
        EXPECT_EQ(versions.value().theirsDeleted, !c.bobDeletes);
        EXPECT_EQ(c.bobDeletes ? versions.value().theirs : versions.value().ours, "v2\n");

        const auto resolved = git().resolveConflict(repos.bob(), file, c.choice);
        ASSERT_TRUE(resolved.ok()) << resolved.error().description().toStdString();
        EXPECT_EQ(QFileInfo::exists(repos.bob() + "/" + file), c.fileRemains);
        EXPECT_FALSE(git().getStatus(repos.bob()).value().hasConflicts);
        ASSERT_TRUE(git().completeMerge(repos.bob(), "Merge resolved via Quillon").ok());
    }
}

TEST(GitFullSync, RejectedCredentialsBecomeAnAuthenticationFailure)
{
    GitRemoteFixture repos;
    repos.write(repos.bob(), "b.md", "b");
    FakeGitFailure fake("fetch", "fatal: Authentication failed for 'https://h/r.git/'");
    const auto r = git().performFullSync(repos.bob(), std::nullopt);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), GitError::Kind::AuthenticationFailed);
    EXPECT_EQ(r.error().description(), "Git Auth Failed: Invalid credentials or token expired.");
    EXPECT_FALSE(fake.log().contains("\nmerge\n"));
    EXPECT_FALSE(fake.log().contains("\npush\n"));
}

TEST(GitFullSync, OtherNetworkFailuresKeepGitsMessage)
{
    GitRemoteFixture repos;
    const QByteArray message
        = "fatal: unable to access 'https://h/401-notes.git/': Could not resolve host: h";
    FakeGitFailure fake("fetch", message);
    const auto r = git().performFullSync(repos.bob(), std::nullopt);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), GitError::Kind::ProcessFailed);
    EXPECT_EQ(r.error().description(), QString::fromUtf8(message + "\n"));
}

TEST(GitFullSync, AGitThatCannotBeStartedIsToldByTheWordsOfItsLaunchError)
{
    // git goes away between the status check and the fetch.
    struct Case
    {
        const char* how;
        GitError::Kind kind;
    };
    for (const Case& c : { Case { "unexecutable", GitError::Kind::AuthenticationFailed },
             Case { "removed", GitError::Kind::LaunchFailed } }) {
        SCOPED_TRACE(c.how);
        GitRemoteFixture repos;
        const QString copy = repos.root() + QStringLiteral("/fake-git.sh");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"), copy));
        qputenv("FAKE_GIT_BREAK_AFTER", "config");
        qputenv("FAKE_GIT_BREAK_HOW", c.how);
        git().setGitExecutable(copy);
        const auto r = git().performFullSync(repos.bob(), std::nullopt);
        git().setGitExecutable({});
        qunsetenv("FAKE_GIT_BREAK_AFTER");
        qunsetenv("FAKE_GIT_BREAK_HOW");
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().kind(), c.kind) << r.error().description().toStdString();
        if (c.kind == GitError::Kind::AuthenticationFailed)
            EXPECT_EQ(
                r.error().description(), "Git Auth Failed: Invalid credentials or token expired.");
        else
            EXPECT_FALSE(r.error().description().isEmpty());
    }
}

TEST(GitFullSync, AFailedPushAfterAMergeKeepsTheMergeLocal)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "a.md", "a");
    ASSERT_TRUE(git().performFullSync(repos.alice(), std::nullopt).ok());
    repos.write(repos.bob(), "b.md", "b");
    FakeGitFailure fake("push", "error: failed to push some refs to 'h'");
    const auto r = git().performFullSync(repos.bob(), std::nullopt);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), GitError::Kind::ProcessFailed);
    EXPECT_EQ(repos.read(repos.bob(), "a.md"), "a");
    EXPECT_GE(git().getStatus(repos.bob()).value().ahead, 1);
}

TEST(GitFullSync, StagingADeletionNeverMarksConflictsResolved)
{
    GitRemoteFixture repos;
    repos.write(repos.bob(), "other.md", "o");
    repos.commitAndPush(repos.bob(), "Other");
    makeContentConflict(repos, "c.md");
    ASSERT_FALSE(git().performFullSync(repos.bob(), std::nullopt).ok());
    QFile::remove(repos.bob() + "/other.md");
    git().stageDeletion(repos.bob(), repos.bob() + "/other.md");
    const auto status = git().getStatus(repos.bob());
    ASSERT_TRUE(status.ok());
    EXPECT_EQ(status.value().conflictingFiles, QStringList { "c.md" });
}

namespace {

bool processGone(qint64 pid)
{
    // A killed child whose parent died may linger as a zombie until something reaps it.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype paren = text.lastIndexOf(')');
    return paren < 0 || text.mid(paren + 2, 1) == "Z";
}

} // namespace

TEST(GitFullSync, ARemoteThatStopsAnsweringIsGivenUpAfterTheTimeLimit)
{
    GitRemoteFixture repos;
    repos.write(repos.bob(), "b.md", "b");
    TempTree scratch;
    const QString pidFile = scratch.filePath("helper.pid");
    qputenv("FAKE_GIT_HANG_ON", "fetch");
    qputenv("FAKE_GIT_HANG_PIDFILE", pidFile.toUtf8());
    git().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    const int limit = git().networkTimeoutMs();
    git().setNetworkTimeoutMs(1000);

    const auto synced = git().performFullSync(repos.bob(), std::nullopt);
    const auto fetched = git().fetch(repos.bob(), std::nullopt);

    git().setNetworkTimeoutMs(limit);
    git().setGitExecutable({});
    qunsetenv("FAKE_GIT_HANG_ON");
    qunsetenv("FAKE_GIT_HANG_PIDFILE");

    ASSERT_FALSE(synced.ok());
    EXPECT_EQ(synced.error().kind(), GitError::Kind::ProcessFailed);
    EXPECT_EQ(synced.error().description(),
        "git fetch did not finish within 1 second and was stopped. Check the network connection "
        "and try again.\n");
    ASSERT_FALSE(fetched.ok());
    EXPECT_TRUE(fetched.error().description().startsWith("git fetch did not finish"));
    // The local commit was made before the network step; the helper git started is gone too.
    EXPECT_TRUE(git().getStatus(repos.bob()).value().isClean);
    const qint64 helper = scratch.read("helper.pid").trimmed().toLongLong();
    ASSERT_GT(helper, 0);
    EXPECT_TRUE(test::waitUntil([&] { return processGone(helper); }, 5000));
}
