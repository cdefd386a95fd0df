#include "git/GitService.h"
#include "git/GitTestRepos.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>
#include <QtGlobal>

#include <memory>

using namespace quillon;
using quillon::test::TempTree;

namespace {

GitRunResult runGit(const QString& folder, const QStringList& args,
    const QList<QPair<QString, QString>>& config = {})
{
    GitInvocation invocation;
    invocation.arguments = args;
    invocation.workingDirectory = folder;
    invocation.config = config;
    return GitService::shared().run(invocation);
}

} // namespace

TEST(GitRunner, FailureCarriesExitCodeAndStandardErrorUntrimmed)
{
    TempTree dir;
    const GitRunResult r = runGit(dir.path(), { "rev-parse", "--verify", "no-such-ref" });
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 128);
    const GitError e = r.error();
    EXPECT_EQ(e.kind(), GitError::Kind::ProcessFailed);
    EXPECT_EQ(e.exitCode(), 128);
    EXPECT_TRUE(e.description().startsWith("fatal: not a git repository"))
        << e.description().toStdString();
    EXPECT_TRUE(e.description().endsWith('\n'));
}

TEST(GitRunner, LargeOutputIsReadWhole)
{
    test::ensureGitIdentity();
    TempTree dir;
    test::gitOk(dir.path(), { "init", "-q" });
    QByteArray big;
    for (int i = 0; i < 120000; ++i)
        big.append("line " + QByteArray::number(i) + " of a rather large committed file\n");
    dir.write("big.md", big);
    test::gitOk(dir.path(), { "add", "-A" });
    test::gitOk(dir.path(), { "commit", "-q", "-m", "big" });
    const GitRunResult r = runGit(dir.path(), { "show", "HEAD:big.md" });
    ASSERT_TRUE(r.succeeded());
    EXPECT_EQ(r.standardOutput.size(), big.size());
}

TEST(GitRunner, EnvironmentIsFixedWhateverTheProgramInherited)
{
    TempTree dir;
    const QString log = dir.filePath("git.log");
    qputenv("FAKE_GIT_LOG", log.toUtf8());
    qputenv("GIT_TERMINAL_PROMPT", "1");
    qputenv("LC_ALL", "de_DE.UTF-8");
    GitService::shared().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    GitInvocation status;
    status.arguments = { "status" };
    status.workingDirectory = dir.path();
    status.noOptionalLocks = true;
    GitService::shared().run(status);
    const GitRunResult editor = runGit(dir.path(), { "var", "GIT_EDITOR" });
    GitService::shared().setGitExecutable({});
    qunsetenv("GIT_TERMINAL_PROMPT");
    qunsetenv("LC_ALL");
    qunsetenv("FAKE_GIT_LOG");

    const QByteArray text = dir.read("git.log");
    const qsizetype second = text.indexOf("ARGS\n", 1);
    const QByteArray first = text.left(second);
    for (const char* line : { "GIT_TERMINAL_PROMPT=0\n", "LC_ALL=C\n", "GIT_LITERAL_PATHSPECS=1\n",
             "GIT_OPTIONAL_LOCKS=0\n" })
        EXPECT_TRUE(first.contains(line)) << line;
    // Optional locks stay on for runs that are not read-only status checks.
    EXPECT_FALSE(text.mid(second).contains("GIT_OPTIONAL_LOCKS"));
    // Nothing may ever wait for an editor.
    EXPECT_EQ(editor.standardOutput.trimmed(), ":");
}

TEST(GitRunner, MissingProgramIsALaunchFailure)
{
    GitService& git = GitService::shared();
    git.setGitExecutable("/nonexistent/git");
    EXPECT_FALSE(git.isGitAvailable());
    const GitRunResult r = runGit(QDir::tempPath(), { "status" });
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.error().kind(), GitError::Kind::LaunchFailed);
    git.setGitExecutable({});
    EXPECT_TRUE(git.isGitAvailable());
}

TEST(GitTokenConfig, OnlyForHttpsRemotesAndScopedToTheirHost)
{
    EXPECT_TRUE(GitService::tokenConfig("", "https://h/r.git").isEmpty());
    EXPECT_TRUE(GitService::tokenConfig("t", "http://h/r.git").isEmpty());
    EXPECT_TRUE(GitService::tokenConfig("t", "git@h:me/r.git").isEmpty());
    EXPECT_TRUE(GitService::tokenConfig("t", "ssh://git@h/r.git").isEmpty());
    EXPECT_TRUE(GitService::tokenConfig("t", "/srv/r.git").isEmpty());

    const auto config
        = GitService::tokenConfig("s3cr3t", "https://me@git.example.com:8443/team/r.git");
    ASSERT_EQ(config.size(), 1);
    EXPECT_EQ(config[0].first, "http.https://git.example.com:8443/.extraHeader");
    EXPECT_EQ(
        config[0].second, "Authorization: Basic " + QByteArray("x-access-token:s3cr3t").toBase64());
}

TEST(GitTokenConfig, GitSeesTheHeaderThroughTheEnvironmentForThatHostOnly)
{
    TempTree dir;
    const auto config = GitService::tokenConfig("s3cr3t", "https://git.example.com/team/r.git");
    const auto ask = [&](const char* url) {
        return runGit(dir.path(), { "config", "--get-urlmatch", "http.extraheader", url }, config);
    };
    const GitRunResult same = ask("https://git.example.com/other/repo.git");
    ASSERT_TRUE(same.succeeded()) << same.standardError.toStdString();
    EXPECT_EQ(same.standardOutput.trimmed(), config[0].second.toUtf8());
    EXPECT_FALSE(ask("https://elsewhere.example.org/team/r.git").succeeded());
}

TEST(GitTokenConfig, TokenNeverOnTheCommandLine)
{
    test::GitRemoteFixture repos;
    // A remote that looks like https to the token logic but is a local path for git: set the
    // URL git uses with insteadOf so the fetch really runs.
    test::gitOk(
        repos.bob(), { "remote", "set-url", "origin", "https://git.example.com/team/r.git" });
    test::gitOk(repos.bob(),
        { "config", "url." + repos.remote() + ".insteadOf", "https://git.example.com/team/r.git" });
    TempTree logDir;
    const QString log = logDir.filePath("git.log");
    qputenv("FAKE_GIT_LOG", log.toUtf8());
    GitService::shared().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));

    EXPECT_TRUE(GitService::shared().fetch(repos.bob(), QStringLiteral("s3cr3t")).ok());
    const auto synced = GitService::shared().performFullSync(repos.bob(), QStringLiteral("s3cr3t"));
    EXPECT_TRUE(synced.ok()) << synced.error().description().toStdString();
    // A clone has no repository configuration yet: the rewrite comes from the environment, and
    // the token's settings are added to what the program inherited.
    qputenv("GIT_CONFIG_COUNT", "1");
    qputenv("GIT_CONFIG_KEY_0", "url." + repos.remote().toUtf8() + ".insteadOf");
    qputenv("GIT_CONFIG_VALUE_0", "https://git.example.com/team/r.git");
    const auto cloned = GitService::shared().clone(
        "https://git.example.com/team/r.git", QStringLiteral("s3cr3t"), logDir.filePath("clone"));
    qunsetenv("GIT_CONFIG_COUNT");
    qunsetenv("GIT_CONFIG_KEY_0");
    qunsetenv("GIT_CONFIG_VALUE_0");
    EXPECT_TRUE(cloned.ok()) << cloned.error().description().toStdString();
    EXPECT_TRUE(QFile::exists(logDir.filePath("clone/README.md")));

    GitService::shared().setGitExecutable({});
    qunsetenv("FAKE_GIT_LOG");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const QByteArray encoded = QByteArray("x-access-token:s3cr3t").toBase64();
    int networkRuns = 0;
    qsizetype pos = 0;
    while ((pos = text.indexOf("ARGS\n", pos)) >= 0) {
        const qsizetype env = text.indexOf("ENV\n", pos);
        const qsizetype end = text.indexOf("END\n", env);
        const QByteArray args = text.mid(pos, env - pos);
        const QByteArray environment = text.mid(env, end - env);
        EXPECT_FALSE(args.contains("s3cr3t"));
        EXPECT_FALSE(args.contains(encoded));
        if (args.contains("\nfetch\n") || args.contains("\npush\n") || args.contains("\nclone\n")) {
            ++networkRuns;
            EXPECT_TRUE(environment.contains(encoded)) << args.toStdString();
        } else {
            EXPECT_FALSE(environment.contains(encoded)) << args.toStdString();
        }
        pos = end;
    }
    EXPECT_GE(networkRuns, 4);
}

TEST(GitRunner, AStoppedOwnerEndsItsRunsWithTheirHelpersAndStartsNoMore)
{
    TempTree dir;
    const QString pidFile = dir.filePath("helper.pid");
    qputenv("FAKE_GIT_HANG_ON", "fetch");
    qputenv("FAKE_GIT_HANG_PIDFILE", pidFile.toUtf8());
    GitService::shared().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    auto owner = std::make_shared<GitRunOwner>();
    GitRunResult hanging;
    GitRunResult after;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        GitRunOwner::Scope scope(owner.get());
        hanging = runGit(dir.path(), { "fetch", "origin" });
        after = runGit(dir.path(), { "status" });
    }));
    worker->start();
    ASSERT_TRUE(test::waitUntil(
        [&] { return !owner->runningGroups().isEmpty() && !dir.read("helper.pid").isEmpty(); },
        10000));
    const qint64 group = owner->runningGroups().constFirst();
    const qint64 helper = dir.read("helper.pid").trimmed().toLongLong();

    owner->stopAll(500);
    // Gone by the time stopAll returns: the git and the helper it started.
    EXPECT_FALSE(GitRunOwner::groupAlive(group));
    EXPECT_TRUE(test::liveCommandsOfGroup(group).isEmpty());
    for (const test::ProcessInfo& process : test::liveProcesses())
        EXPECT_NE(process.pid, helper) << "the helper git started is still running";
    ASSERT_TRUE(worker->wait(10000));
    GitService::shared().setGitExecutable({});
    qunsetenv("FAKE_GIT_HANG_ON");
    qunsetenv("FAKE_GIT_HANG_PIDFILE");

    EXPECT_TRUE(hanging.started);
    EXPECT_FALSE(hanging.succeeded());
    EXPECT_TRUE(hanging.cancelled);
    EXPECT_FALSE(after.started);
    EXPECT_TRUE(owner->runningGroups().isEmpty());
}
