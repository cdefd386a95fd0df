#include "git/GitService.h"
#include "git/GitTestRepos.h"
#include "platform/FileUtil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace quillon;
using test::gitOk;
using test::GitRemoteFixture;
using test::TempTree;

namespace {

GitService& git()
{
    return GitService::shared();
}

QString lastCommitMessage(const QString& folder)
{
    return QString::fromUtf8(gitOk(folder, { "log", "-1", "--format=%s" })).trimmed();
}

QByteArray stagedNames(const QString& folder)
{
    return gitOk(folder, { "diff", "--cached", "--name-status", "-z" });
}

} // namespace

TEST(GitOperations, StatusReadsPathsWithSpacesAndNonAsciiCharacters)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "docs/new file.md", "x");
    repos.write(repos.alice(), "Notizen/Übersicht 2.md", "y");
    gitOk(repos.alice(), { "add", "-A" });
    const auto status = git().getStatus(repos.alice());
    ASSERT_TRUE(status.ok());
    EXPECT_EQ(status.value().changedFiles,
        (QStringList { "Notizen/Übersicht 2.md", "docs/new file.md" }));
    EXPECT_EQ(status.value().upstream, "origin/main");

    ASSERT_TRUE(git().commitLocal(repos.alice(), {}).ok());
    EXPECT_EQ(lastCommitMessage(repos.alice()), "Update documents");
    EXPECT_TRUE(git().getStatus(repos.alice()).value().isClean);
    EXPECT_EQ(git().getStatus(repos.alice()).value().ahead, 1);
}

TEST(GitOperations, QueriesNeverFailOutsideARepository)
{
    TempTree plain;
    EXPECT_FALSE(git().isGitRepository(plain.path()));
    EXPECT_FALSE(git().hasRemote(plain.path()));
    EXPECT_EQ(git().getCurrentBranch(plain.path()), "main");
    EXPECT_FALSE(git().getStatus(plain.path()).ok());
}

TEST(GitOperations, InitRepositoryMakesTheFirstCommit)
{
    test::ensureGitIdentity();
    TempTree folder;
    folder.write("a note.md", "# A\n");
    ASSERT_TRUE(git().initRepository(folder.path()).ok());
    EXPECT_TRUE(git().isGitRepository(folder.path()));
    EXPECT_EQ(lastCommitMessage(folder.path()), "Initial commit");
    EXPECT_TRUE(git().getStatus(folder.path()).value().isClean);
}

TEST(GitOperations, CommitAndPushWithoutOriginCommitsOnly)
{
    test::ensureGitIdentity();
    TempTree folder;
    ASSERT_TRUE(git().initRepository(folder.path()).ok());
    folder.write("b.md", "b");
    ASSERT_TRUE(git().commitAndPush(folder.path(), "Saved", std::nullopt).ok());
    EXPECT_EQ(lastCommitMessage(folder.path()), "Saved");
}

TEST(GitOperations, ACommitRefusedByGitIsAFailureButNothingToCommitIsNot)
{
    test::ensureGitIdentity();
    TempTree folder;
    folder.write("a.md", "a");
    ASSERT_TRUE(git().initRepository(folder.path()).ok());
    EXPECT_TRUE(git().commitLocal(folder.path(), "Nothing new").ok());
    folder.write(".git/hooks/pre-commit", "#!/bin/sh\necho refused by hook >&2\nexit 1\n");
    QFile::setPermissions(folder.filePath(".git/hooks/pre-commit"),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.write("b.md", "b");
    const auto committed = git().commitLocal(folder.path(), "Saved");
    ASSERT_FALSE(committed.ok());
    EXPECT_TRUE(committed.error().description().contains("refused by hook"))
        << committed.error().description().toStdString();
    EXPECT_EQ(lastCommitMessage(folder.path()), "Initial commit");
    EXPECT_FALSE(git().performFullSync(folder.path(), std::nullopt).ok());
}

TEST(GitOperations, StageDeletionStagesTheRemovalOfItemsWithSpaces)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "old notes/a b.md", "x");
    repos.write(repos.alice(), "keep.md", "k");
    repos.commitAndPush(repos.alice(), "Add");
    ASSERT_TRUE(QDir(repos.alice() + "/old notes").removeRecursively());

    git().stageDeletion(repos.alice(), repos.alice() + "/old notes/");
    const QByteArray staged = stagedNames(repos.alice());
    EXPECT_TRUE(staged.contains(QByteArray("D") + '\0' + "old notes/a b.md"))
        << staged.toStdString();

    // The folder itself and items outside it leave the index alone.
    git().stageDeletion(repos.alice(), repos.alice());
    git().stageDeletion(repos.alice(), repos.root() + "/elsewhere.md");
    EXPECT_TRUE(QFileInfo::exists(repos.alice() + "/keep.md"));
    EXPECT_EQ(stagedNames(repos.alice()), staged);
}

TEST(GitOperations, WhatACrashedSaveLeftIsNeverStagedNorCountedAsAChange)
{
    const QString leftover = ".a.md.quillon-save-4242-abc123";
    GitRemoteFixture repos;
    repos.write(repos.alice(), leftover, "x");
    // A new folder that holds nothing else.
    repos.write(repos.alice(), "new folder/" + leftover, "x");
    auto status = git().getStatus(repos.alice());
    ASSERT_TRUE(status.ok());
    EXPECT_TRUE(status.value().isClean) << status.value().changedFiles.join(", ").toStdString();

    repos.write(repos.alice(), "a.md", "a");
    repos.write(repos.alice(), "notes/" + leftover, "x");
    EXPECT_EQ(git().getStatus(repos.alice()).value().changedFiles, QStringList { "a.md" });
    git().stageDeletion(repos.alice(), repos.alice() + "/gone.md");
    EXPECT_FALSE(stagedNames(repos.alice()).contains("quillon-save"));
    ASSERT_TRUE(git().performFullSync(repos.alice(), std::nullopt).ok());
    repos.write(repos.alice(), "b.md", "b");
    ASSERT_TRUE(git().commitAndPush(repos.alice(), "Saved", std::nullopt).ok());
    const QByteArray committed = gitOk(repos.alice(), { "ls-files" });
    EXPECT_EQ(committed, "README.md\na.md\nb.md\n");
    EXPECT_TRUE(git().getStatus(repos.alice()).value().isClean);

    TempTree folder;
    folder.write("n.md", "n");
    folder.write(leftover, "x");
    ASSERT_TRUE(git().initRepository(folder.path()).ok());
    EXPECT_EQ(gitOk(folder.path(), { "ls-files" }), "n.md\n");
}

TEST(GitOperations, AUsersFileNamedLikeASaveTemporaryIsCommittedAndPushed)
{
    GitRemoteFixture repos;
    const QStringList users = { ".draft.quillon-save-2", ".draft.quillon-save-",
        ".a.quillon-save-12-abc", ".a.quillon-save-12-abcdefg", ".a.quillon-save-x2-abcdef",
        ".a.quillon-save-12-abc_ef", ".a.quillon-save-1234567890-abcdef",
        ".a.quillon-save-12-abcdef.md", ".quillon-save-7-ZZZZZZ" };
    const QStringList ours = { ".a.md.quillon-save-4242-abc123", "..quillon-save-7-ZZZZZZ",
        ".b.quillon-save-123456789-a1B2c3" };
    for (const QString& name : users + ours) {
        repos.write(repos.alice(), name, "x");
        repos.write(repos.alice(), "sub/" + name, "x");
    }
    for (const QString& name : users)
        ASSERT_FALSE(FileUtil::isSaveTemporaryName(name)) << name.toStdString();
    for (const QString& name : ours)
        ASSERT_TRUE(FileUtil::isSaveTemporaryName(name)) << name.toStdString();

    auto status = git().getStatus(repos.alice());
    ASSERT_TRUE(status.ok());
    EXPECT_FALSE(status.value().isClean);
    ASSERT_TRUE(git().performFullSync(repos.alice(), std::nullopt).ok());
    EXPECT_TRUE(git().getStatus(repos.alice()).value().isClean);

    const QStringList pushed
        = QString::fromUtf8(gitOk(repos.remote(), { "ls-tree", "-r", "--name-only", "main" }))
              .split(u'\n', Qt::SkipEmptyParts);
    for (const QString& name : users) {
        EXPECT_TRUE(pushed.contains(name)) << name.toStdString();
        EXPECT_TRUE(pushed.contains("sub/" + name)) << name.toStdString();
    }
    for (const QString& name : ours) {
        EXPECT_FALSE(pushed.contains(name)) << name.toStdString();
        EXPECT_FALSE(pushed.contains("sub/" + name)) << name.toStdString();
    }
}

TEST(GitOperations, CloneRefusesAddressesThatLookLikeOptions)
{
    TempTree dest;
    const QString target = dest.filePath("clone");
    for (const QString& url : { QString(), QStringLiteral("--upload-pack=touch /tmp/pwned"),
             QStringLiteral("-c"), QStringLiteral("https://h/r.git\nx") }) {
        const auto r = git().clone(url, std::nullopt, target);
        ASSERT_FALSE(r.ok()) << url.toStdString();
        EXPECT_EQ(r.error().kind(), GitError::Kind::InvalidURL);
    }
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST(GitOperations, CloneIntoAFolderWithSpacesAndNonAsciiName)
{
    GitRemoteFixture repos;
    const QString target = repos.root() + "/Mes notes à moi";
    const auto r = git().clone(repos.remote(), std::nullopt, target);
    ASSERT_TRUE(r.ok()) << r.error().description().toStdString();
    EXPECT_EQ(repos.read(target, "README.md"), "# Notes\n");
    EXPECT_EQ(git().getRemoteURL(target), repos.remote());
    EXPECT_TRUE(GitService::shared().hasRemote(target));
}

TEST(GitOperations, AWorkspaceInsideALargerRepositoryCommitsOnlyItsOwnFolder)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "notes/a.md", "1");
    repos.write(repos.alice(), "code/main.c", "1");
    repos.write(repos.alice(), "code/staged.c", "1");
    repos.commitAndPush(repos.alice(), "Layout");
    repos.write(repos.alice(), "notes/a.md", "2");
    repos.write(repos.alice(), "notes/new.md", "n");
    repos.write(repos.alice(), "code/main.c", "2");
    repos.write(repos.alice(), "code/staged.c", "2");
    gitOk(repos.alice(), { "add", "code/staged.c" });

    const QString workspace = repos.alice() + "/notes";
    const auto status = git().getStatus(workspace);
    ASSERT_TRUE(status.ok());
    EXPECT_EQ(status.value().changedFiles, (QStringList { "notes/a.md", "notes/new.md" }));

    ASSERT_TRUE(git().commitLocal(workspace, "Notes only").ok());
    const QByteArray committed
        = gitOk(repos.alice(), { "show", "--name-only", "--format=", "HEAD" });
    EXPECT_EQ(committed, "notes/a.md\nnotes/new.md\n");
    const QByteArray left = gitOk(repos.alice(), { "status", "--porcelain" });
    EXPECT_EQ(left, " M code/main.c\nM  code/staged.c\n");
}

TEST(GitOperations, AFileNameThatIsNotUtf8KeepsTheTreeFromLookingClean)
{
    test::ensureGitIdentity();
    TempTree folder;
    ASSERT_TRUE(git().initRepository(folder.path()).ok());
    const QByteArray name = QFile::encodeName(folder.path()) + "/caf\xe9.md";
    FILE* f = std::fopen(name.constData(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const auto status = git().getStatus(folder.path());
    ASSERT_TRUE(status.ok());
    EXPECT_FALSE(status.value().isClean);
    EXPECT_EQ(status.value().changedFileCount, 1);
}

TEST(GitOperations, VersionsOfAFileWithoutConflictFailWithGitsMessage)
{
    GitRemoteFixture repos;
    const auto r = git().getConflictDiff(repos.alice(), "README.md");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), GitError::Kind::ProcessFailed);
    EXPECT_TRUE(r.error().description().contains("README.md"))
        << r.error().description().toStdString();
}

TEST(GitOperations, ACloneThatStallsIsStoppedAndLeavesNoHalfMadeFolder)
{
    GitRemoteFixture repos;
    const QString target = repos.root() + "/stalled";
    // The remote end of the transfer never answers.
    qputenv("GIT_SSH_COMMAND", "sleep 3600; :");
    qputenv("GIT_SSH_VARIANT", "simple");
    const int limit = git().networkTimeoutMs();
    git().setNetworkTimeoutMs(500);
    const auto r = git().clone("ssh://git.example.invalid/notes.git", std::nullopt, target);
    git().setNetworkTimeoutMs(limit);
    qunsetenv("GIT_SSH_COMMAND");
    qunsetenv("GIT_SSH_VARIANT");

    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().description(),
        "git clone did not finish within 2 seconds and was stopped. Check the network connection "
        "and try again.\n");
    EXPECT_FALSE(QFileInfo::exists(target));
}
