#include "git/GitIntegration.h"
#include "git/GitService.h"
#include "git/GitTestRepos.h"
#include "git/KeychainManager.h"
#include "git/WorkspaceGitFixture.h"
#include "support/ScriptedUserPrompts.h"
#include "support/SecretStoreMemory.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtGlobal>

#include <map>

#include <csignal>
#include <sys/types.h>

using namespace quillon;
using test::gitOk;
using test::GitRemoteFixture;
using test::TempTree;
using test::waitUntil;

namespace {

using Kind = GitSyncState::Kind;

class WorkspaceGitTest : public test::WorkspaceGitFixture
{
protected:
    void SetUp() override
    {
        test::resetSharedState();
        WorkspaceGitFixture::SetUp();
    }
};

} // namespace

TEST_F(WorkspaceGitTest, WithoutAFolderNothingRuns)
{
    auto state = open({});
    WorkspaceGit& git = gitOf(*state);
    git.checkStatus();
    EXPECT_EQ(state->gitSyncState().kind, Kind::NoRepository);
    git.syncNow();
    git.activate();
    git.autoCommitTick();
    EXPECT_EQ(state->gitSyncState().kind, Kind::NoRepository);
}

TEST_F(WorkspaceGitTest, ActivationTurnsAPlainFolderIntoALocalRepository)
{
    TempTree folder;
    folder.write("note.md", "# Note\n");
    auto state = open(folder.path());
    EXPECT_EQ(state->gitSyncState().kind, Kind::NoRepository);
    gitOf(*state).activate();
    settle(*state);
    EXPECT_EQ(state->gitSyncState().kind, Kind::LocalRepository);
}

TEST_F(WorkspaceGitTest, ACommitGitRefusesIsASyncErrorNotAnAuthenticationFailure)
{
    TempTree folder;
    folder.write("note.md", "# Note\n");
    auto state = open(folder.path());
    gitOf(*state).activate();
    settle(*state);
    folder.write(
        ".git/hooks/pre-commit", "#!/bin/sh\necho 'Author identity unknown' >&2\nexit 1\n");
    QFile::setPermissions(folder.filePath(".git/hooks/pre-commit"),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.write("note.md", "# Changed\n");
    gitOf(*state).syncNow();
    settle(*state);
    ASSERT_EQ(state->gitSyncState().kind, Kind::Error);
    EXPECT_FALSE(state->gitSyncState().message.contains(QStringLiteral("Auth")));
    EXPECT_FALSE(state->showingConnectGitModal());
}

TEST_F(WorkspaceGitTest, SyncedOnlyWhenCleanAndNothingToExchange)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    EXPECT_EQ(state->gitSyncState().kind, Kind::Synced);

    repos.write(repos.bob(), "a b.md", "x");
    state->checkGitStatus();
    settle(*state);
    EXPECT_EQ(state->gitSyncState(), GitSyncState::pendingSync(1));

    // Committed but not pushed: still pending.
    gitOk(repos.bob(), { "add", "-A" });
    gitOk(repos.bob(), { "commit", "-q", "-m", "local" });
    state->checkGitStatus();
    settle(*state);
    EXPECT_EQ(state->gitSyncState(), GitSyncState::pendingSync(1));

    // A branch the remote has never seen is pending as well.
    gitOk(repos.bob(), { "checkout", "-q", "-b", "draft" });
    state->checkGitStatus();
    settle(*state);
    EXPECT_EQ(state->gitSyncState().kind, Kind::PendingSync);

    gitOf(*state).syncNow();
    EXPECT_EQ(state->gitSyncState().kind, Kind::Syncing);
    settle(*state);
    EXPECT_EQ(state->gitSyncState().kind, Kind::Synced);
}

TEST_F(WorkspaceGitTest, SyncReloadsOpenDocumentsThatTheMergeChanged)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "shared.md", "old\n");
    repos.commitAndPush(repos.alice(), "Add");
    gitOk(repos.bob(), { "pull", "-q" });
    auto state = open(repos.bob());
    state->openFile(repos.bob() + "/shared.md");
    ASSERT_EQ(state->currentFileContent(), "old\n");

    repos.write(repos.alice(), "shared.md", "new from alice\n");
    repos.commitAndPush(repos.alice(), "Edit");
    gitOf(*state).syncNow();
    settle(*state);
    EXPECT_EQ(state->gitSyncState().kind, Kind::Synced);
    EXPECT_EQ(state->currentFileContent(), "new from alice\n");
    // Saving the reloaded text writes nothing older over the merge.
    state->activeDocument()->saveEdits();
    EXPECT_EQ(repos.read(repos.bob(), "shared.md"), "new from alice\n");
}

TEST_F(WorkspaceGitTest, TypingWhileASyncMergesAChangeToTheOpenFileLetsItSucceed)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "shared.md", "# Shared\n\nAlice\n\nBob\n");
    repos.commitAndPush(repos.alice(), "Add");
    gitOk(repos.bob(), { "pull", "-q" });
    auto state = open(repos.bob());
    state->openFile(repos.bob() + "/shared.md");
    Document* doc = state->activeDocument();
    QString bob = QStringLiteral("Bob");
    // Whether a write lands between the sync's commit and its merge is a matter of timing: a few
    // rounds make it all but certain.
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        const QString alice = QStringLiteral("Alice %1").arg(round);
        gitOk(repos.alice(), { "pull", "-q" });
        const QString theirs = QString::fromUtf8(repos.read(repos.alice(), "shared.md"));
        repos.write(repos.alice(), "shared.md",
            QString(theirs).replace(QRegularExpression("Alice.*\n"), alice + "\n").toUtf8());
        repos.commitAndPush(repos.alice(), "Edit");
        bob += QStringLiteral(" %1").arg(round);
        doc->applyUserText(
            doc->text().toString().replace(QRegularExpression("Bob.*\n"), bob + "\n"));
        state->flushPendingWrites();

        // The user types on, a key every few milliseconds, for as long as the sync runs.
        gitOf(*state).syncNow();
        int keys = 0;
        while (state->gitSyncState().kind == Kind::Syncing && keys < 5000) {
            doc->applyEdit(doc->text().size() - 1, 0, QStringLiteral("x"), nullptr);
            ++keys;
            waitUntil([] { return false; }, 2);
        }
        settle(*state);
        ASSERT_EQ(state->gitSyncState().kind, Kind::Synced)
            << state->gitSyncState().message.toStdString();
        const QByteArray merged = ("# Shared\n\n" + alice + "\n\n" + bob + "\n").toUtf8();
        EXPECT_EQ(repos.read(repos.bob(), "shared.md"), merged);
        EXPECT_EQ(gitOk(repos.bob(), { "show", "origin/main:shared.md" }), merged);

        // The merged file meets the keys typed meanwhile as any change from outside does.
        const QString typed = doc->text().toString();
        EXPECT_TRUE(typed.endsWith(bob + QString(keys, u'x') + "\n")) << typed.toStdString();
        ASSERT_EQ(doc->diskQuestion().has_value(), keys > 0);
        if (keys > 0) {
            const bool last = round == 4;
            doc->answerDiskQuestion(
                last ? Document::DiskChoice::KeepMine : Document::DiskChoice::LoadDisk);
            state->flushPendingWrites();
            EXPECT_FALSE(doc->diskQuestion().has_value());
            EXPECT_EQ(repos.read(repos.bob(), "shared.md"), last ? typed.toUtf8() : merged);
        }
    }
}

TEST_F(WorkspaceGitTest, ASyncThatStopsOnConflictsRaisesTheConflictDialog)
{
    GitRemoteFixture repos;
    repos.write(repos.alice(), "Ärger.md", "alice\n");
    repos.commitAndPush(repos.alice(), "Alice");
    repos.write(repos.bob(), "Ärger.md", "bob\n");
    auto state = open(repos.bob());
    state->openFile(repos.bob() + "/Ärger.md");
    gitOf(*state).syncNow();
    settle(*state);
    EXPECT_EQ(state->gitSyncState(), GitSyncState::conflict({ "Ärger.md" }));
    // The open document shows what the merge left on disk, markers and all.
    EXPECT_TRUE(state->currentFileContent().startsWith("<<<<<<<"))
        << state->currentFileContent().toStdString();
    EXPECT_EQ(state->conflictingFilesList(), QStringList { "Ärger.md" });
    EXPECT_TRUE(state->showingConflictGitModal());

    // Every status check that finds them raises the dialog again.
    state->setShowingConflictGitModal(false);
    state->checkGitStatus();
    settle(*state);
    EXPECT_TRUE(state->showingConflictGitModal());

    bool resolved = false;
    QObject dialog;
    gitOf(*state).resolveConflict("Ärger.md", ConflictChoice::keepOurs, &dialog,
        [&](const GitResult<void>& r) { resolved = r.ok(); });
    settle(*state);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(state->currentFileContent(), "bob\n");
    bool merged = false;
    gitOf(*state).completeMerge(&dialog, [&](const GitResult<void>& r) { merged = r.ok(); });
    settle(*state);
    ASSERT_TRUE(merged);
    gitOf(*state).syncNow();
    settle(*state);
    EXPECT_EQ(state->gitSyncState().kind, Kind::Synced);
    EXPECT_EQ(gitOk(repos.remote(), { "show", "main:Ärger.md" }), "bob\n");
}

TEST_F(WorkspaceGitTest, RejectedCredentialsAskForANewToken)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    qputenv("FAKE_GIT_FAIL_ON", "fetch");
    qputenv("FAKE_GIT_STDERR",
        "fatal: could not read Username for 'https://h': terminal prompts disabled");
    GitService::shared().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    gitOf(*state).syncNow();
    settle(*state);
    GitService::shared().setGitExecutable({});
    qunsetenv("FAKE_GIT_FAIL_ON");
    qunsetenv("FAKE_GIT_STDERR");
    EXPECT_EQ(state->gitSyncState(), GitSyncState::error("Auth Failed: Update Token"));
    EXPECT_TRUE(state->showingConnectGitModal());
}

TEST_F(WorkspaceGitTest, AutoCommitWithoutAutoPushCommitsLocallyOnly)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    state->setAutoPushAfterCommit(false);
    repos.write(repos.bob(), "draft.md", "d");
    QSignalSpy ticks(&gitOf(*state), &WorkspaceGit::autoCommitFinished);
    gitOf(*state).autoCommitTick();
    ASSERT_TRUE(waitUntil([&] { return ticks.count() == 1; }, 20000));
    EXPECT_TRUE(ticks.at(0).at(0).toBool());
    settle(*state);
    EXPECT_TRUE(QString::fromUtf8(gitOk(repos.bob(), { "log", "-1", "--format=%s" }))
                    .startsWith("Auto-save by Quillon ("));
    EXPECT_EQ(gitOk(repos.remote(), { "log", "-1", "--format=%s", "main" }), "First\n");
    EXPECT_EQ(state->gitSyncState(), GitSyncState::pendingSync(1));

    // A clean tree: nothing committed, nothing published.
    state->setGitSyncState(GitSyncState::syncing());
    gitOf(*state).autoCommitTick();
    ASSERT_TRUE(waitUntil([&] { return ticks.count() == 2; }, 20000));
    EXPECT_FALSE(ticks.at(1).at(0).toBool());
    EXPECT_EQ(state->gitSyncState().kind, Kind::Syncing);
}

TEST_F(WorkspaceGitTest, AutoCommitWithAutoPushPushesTheCommit)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    repos.write(repos.bob(), "draft.md", "d");
    gitOf(*state).autoCommitTick();
    settle(*state);
    EXPECT_TRUE(QString::fromUtf8(gitOk(repos.remote(), { "log", "-1", "--format=%s", "main" }))
                    .startsWith("Auto-save by Quillon ("));
    EXPECT_EQ(state->gitSyncState().kind, Kind::Synced);
}

TEST_F(WorkspaceGitTest, StatusChecksCoalesceHoweverFastTheUserTypes)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    // A check the folder watcher started after the opening (late on a busy machine) would be
    // counted with those asked for below.
    QSignalSpy late(&gitOf(*state), &WorkspaceGit::statusCheckFinished);
    for (int round = 0; round < 5 && (round == 0 || !late.isEmpty()); ++round) {
        late.clear();
        settle(*state);
        waitUntil([] { return false; }, 300);
    }
    QSignalSpy checks(&gitOf(*state), &WorkspaceGit::statusCheckFinished);
    for (int i = 0; i < 200; ++i)
        state->checkGitStatus();
    EXPECT_LE(GitService::shared().pendingJobCount(repos.bob()), 2);
    settle(*state);
    EXPECT_GE(checks.count(), 1);
    EXPECT_LE(checks.count(), 2);
}

TEST_F(WorkspaceGitTest, ConnectClonesStoresTheTokenAndOpensTheFolder)
{
    GitRemoteFixture repos;
    auto state = open({});
    const QString url = "file://" + repos.remote();
    const QString target = repos.root() + "/connected";
    std::optional<std::optional<GitError>> outcome;
    QObject dialog;
    gitOf(*state).connectRepository("  " + url + "\t", " tok ", target, &dialog,
        [&](std::optional<GitError> e) { outcome = e; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }, 20000));
    EXPECT_FALSE(outcome->has_value());
    EXPECT_EQ(state->folderURL(), target);
    EXPECT_EQ(KeychainManager::getToken(KeychainManager::extractHost(url)), QString("tok"));
    EXPECT_EQ(repos.read(target, "README.md"), "# Notes\n");

    // A failing clone leaves the workspace where it was and reports git's message.
    outcome.reset();
    gitOf(*state).connectRepository(repos.root() + "/missing.git", {}, repos.root() + "/other",
        &dialog, [&](std::optional<GitError> e) { outcome = e; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }, 20000));
    ASSERT_TRUE(outcome->has_value());
    EXPECT_FALSE((*outcome)->description().isEmpty());
    EXPECT_EQ(state->folderURL(), target);
}

TEST_F(WorkspaceGitTest, AFailedFetchIsStillFollowedByAStatusCheck)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    state->setGitSyncState(GitSyncState::syncing());
    qputenv("FAKE_GIT_FAIL_ON", "fetch");
    qputenv("FAKE_GIT_STDERR", "fatal: unable to access 'https://h/': Could not resolve host: h");
    GitService::shared().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    gitOf(*state).fetchTick();
    settle(*state);
    GitService::shared().setGitExecutable({});
    qunsetenv("FAKE_GIT_FAIL_ON");
    qunsetenv("FAKE_GIT_STDERR");
    EXPECT_EQ(state->gitSyncState().kind, Kind::Synced);
}

TEST_F(WorkspaceGitTest, ADeletedItemIsStagedAndTheStatusChecked)
{
    GitRemoteFixture repos;
    repos.write(repos.bob(), "old/gone note.md", "x");
    repos.commitAndPush(repos.bob(), "Add");
    auto state = open(repos.bob());
    ASSERT_TRUE(QFile::remove(repos.bob() + "/old/gone note.md"));
    gitOf(*state).stageDeletion(state->folderURL(), repos.bob() + "/old");
    settle(*state);
    EXPECT_EQ(state->gitSyncState(), GitSyncState::pendingSync(1));
    EXPECT_EQ(gitOk(repos.bob(), { "status", "--porcelain" }), "D  \"old/gone note.md\"\n");
}

TEST_F(WorkspaceGitTest, AResultForAFolderNoLongerOpenIsDropped)
{
    GitRemoteFixture repos;
    TempTree plain;
    auto state = open(repos.bob());
    repos.write(repos.bob(), "x.md", "x");
    state->checkGitStatus();
    state->setFolderURL(plain.path());
    settle(*state);
    waitUntil([&] { return GitService::shared().pendingJobCount(repos.bob()) == 0; }, 20000);
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(state->gitSyncState().kind, Kind::NoRepository);
}

TEST_F(WorkspaceGitTest, AMissingGitToolIsAStateNotAnError)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    GitService::shared().setGitExecutable("/nonexistent/git");
    QSignalSpy states(state.get(), &WorkspaceState::gitSyncStateChanged);
    gitOf(*state).syncNow();
    EXPECT_EQ(state->gitSyncState().kind, Kind::GitNotInstalled);
    EXPECT_EQ(states.count(), 1);
    state->setGitSyncState(GitSyncState::syncing());
    state->checkGitStatus();
    settle(*state);
    GitService::shared().setGitExecutable({});
    EXPECT_EQ(state->gitSyncState().kind, Kind::GitNotInstalled);
}

TEST_F(WorkspaceGitTest, FailuresShowGitsMessageInTheSyncState)
{
    struct Case
    {
        const char* failingCommand;
        const char* stderrText;
        bool repository;
        GitSyncState expected;
    };
    const Case cases[] = {
        { "init", "fatal: cannot mkdir .git: Read-only file system", false,
            GitSyncState::error("Failed to activate Git: fatal: cannot mkdir .git: Read-only "
                                "file system\n") },
        { "fetch", "fatal: unable to access 'https://h/': Could not resolve host: h", true,
            GitSyncState::error(
                "fatal: unable to access 'https://h/': Could not resolve host: h\n") },
        // A remote that says 401 in its address is not an authentication failure.
        { "push", "error: src refspec main does not match any (remote h/401-notes)", true,
            GitSyncState::error(
                "error: src refspec main does not match any (remote h/401-notes)\n") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failingCommand);
        GitRemoteFixture repos;
        TempTree plain;
        if (c.repository)
            repos.write(repos.bob(), "new.md", "n");
        auto state = open(c.repository ? repos.bob() : plain.path());
        qputenv("FAKE_GIT_FAIL_ON", c.failingCommand);
        qputenv("FAKE_GIT_STDERR", c.stderrText);
        GitService::shared().setGitExecutable(
            QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
        if (c.repository)
            gitOf(*state).syncNow();
        else
            gitOf(*state).activate();
        settle(*state);
        GitService::shared().setGitExecutable({});
        qunsetenv("FAKE_GIT_FAIL_ON");
        qunsetenv("FAKE_GIT_STDERR");
        EXPECT_EQ(state->gitSyncState(), c.expected);
        EXPECT_FALSE(state->showingConnectGitModal());
        EXPECT_FALSE(state->showingConflictGitModal());
    }
}

TEST(WorkspaceGitMessage, AutoSaveMessageHasDateAndTimeWithSeconds)
{
    const QDateTime moment(QDate(2026, 3, 4), QTime(17, 5, 9));
    EXPECT_EQ(WorkspaceGit::autoSaveMessage(moment, QLocale(QLocale::German, QLocale::Germany)),
        "Auto-save by Quillon (04.03.26, 17:05:09)");
}

TEST_F(WorkspaceGitTest, ATouchedTreeGetsItsIndexRefreshedUnlessTheIndexIsLocked)
{
    GitRemoteFixture repos;
    for (int i = 0; i < 20; ++i)
        repos.write(repos.bob(), QStringLiteral("n%1.md").arg(i), "same\n");
    repos.commitAndPush(repos.bob(), "Add");
    auto state = open(repos.bob());
    QSignalSpy refreshes(&gitOf(*state), &WorkspaceGit::indexRefreshFinished);
    // New times, same bytes, as a formatter or a copy tool leaves them. In the past, so that git
    // does not have to treat the entries as racily clean.
    const auto touchAll = [&](int secondsAgo) {
        const QDateTime when = QDateTime::currentDateTime().addSecs(-secondsAgo);
        for (int i = 0; i < 20; ++i) {
            QFile file(repos.bob() + QStringLiteral("/n%1.md").arg(i));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
        }
    };
    // Entries whose recorded times no longer match the files; reading them takes no lock.
    const auto staleEntries = [&] { return gitOk(repos.bob(), { "diff-files", "--name-only" }); };
    const auto touchAndWait = [&](int secondsAgo) {
        const qsizetype before = refreshes.count();
        touchAll(secondsAgo);
        return waitUntil([&] { return refreshes.count() > before; }, 10000);
    };
    // The watch is set up on its own thread: touch until it reports.
    ASSERT_TRUE(waitUntil([&] { return touchAndWait(300); }, 20000));
    settle(*state);
    EXPECT_EQ(staleEntries(), QByteArray());
    const GitSyncState synced = state->gitSyncState();

    // Someone else's git holds the index lock: nothing is refreshed, nothing reported, and the
    // lock stays theirs.
    const QString lock = repos.bob() + QStringLiteral("/.git/index.lock");
    QFile(lock).open(QIODevice::WriteOnly);
    ASSERT_TRUE(touchAndWait(200));
    settle(*state);
    EXPECT_FALSE(staleEntries().isEmpty());
    EXPECT_TRUE(QFile::exists(lock));
    EXPECT_EQ(state->gitSyncState(), synced);

    ASSERT_TRUE(QFile::remove(lock));
    ASSERT_TRUE(touchAndWait(100));
    settle(*state);
    EXPECT_EQ(staleEntries(), QByteArray());
    state->checkGitStatus();
    settle(*state);
    EXPECT_EQ(state->gitSyncState().kind, synced.kind);
}

namespace {

// Collects the log lines of one category while it lives.
class LogCapture
{
public:
    struct Line
    {
        QtMsgType type;
        QString text;
    };
    explicit LogCapture(const char* category)
    {
        s_category = category;
        s_lines.clear();
        m_previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (context.category && s_category == context.category)
                    s_lines.append({ type, text });
            });
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QList<Line> lines() const { return s_lines; }

private:
    static inline QByteArray s_category;
    static inline QList<Line> s_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

TEST_F(WorkspaceGitTest, ASyncFailureLogsGitsOwnWords)
{
    GitRemoteFixture repos;
    // A fresh account: no identity anywhere, and git may not make one up.
    const QByteArray globalConfig = qgetenv("GIT_CONFIG_GLOBAL");
    qputenv("GIT_CONFIG_GLOBAL", "/dev/null");
    gitOk(repos.bob(), { "config", "user.useConfigOnly", "true" });
    repos.write(repos.bob(), "new.md", "n");
    auto state = open(repos.bob());
    {
        LogCapture log("quillon.git");
        gitOf(*state).syncNow();
        settle(*state);
        const QList<LogCapture::Line> lines = log.lines();
        ASSERT_EQ(lines.size(), 1);
        // An error line, printed like the program's other ones.
        EXPECT_TRUE(lines[0].type == QtWarningMsg || lines[0].type == QtCriticalMsg);
        EXPECT_TRUE(lines[0].text.contains("Author identity unknown"))
            << lines[0].text.toStdString();
        EXPECT_TRUE(lines[0].text.contains(repos.bob())) << lines[0].text.toStdString();
    }
    if (globalConfig.isEmpty())
        qunsetenv("GIT_CONFIG_GLOBAL");
    else
        qputenv("GIT_CONFIG_GLOBAL", globalConfig);
    // The sync state keeps its own text, which the widget turns into "Sync Error".
    EXPECT_EQ(state->gitSyncState().kind, Kind::Error);
    // The lines are on by default.
    EXPECT_TRUE(QLoggingCategory("quillon.git").isWarningEnabled());
}

TEST_F(WorkspaceGitTest, APushTheServerRefusesLogsGitsOwnWordsBesideTheAuthenticationFailure)
{
    GitRemoteFixture repos;
    repos.write(repos.bob(), "new.md", "n");
    auto state = open(repos.bob());
    const QByteArray refusal = "remote: Permission to team/notes.git denied to bob.\n"
                               "fatal: unable to access 'https://h/team/notes.git/': The requested "
                               "URL returned error: 403";
    qputenv("FAKE_GIT_FAIL_ON", "push");
    qputenv("FAKE_GIT_STDERR", refusal);
    GitService::shared().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    QList<LogCapture::Line> lines;
    {
        LogCapture log("quillon.git");
        gitOf(*state).syncNow();
        settle(*state);
        lines = log.lines();
    }
    GitService::shared().setGitExecutable({});
    qunsetenv("FAKE_GIT_FAIL_ON");
    qunsetenv("FAKE_GIT_STDERR");
    EXPECT_EQ(state->gitSyncState(), GitSyncState::error("Auth Failed: Update Token"));
    ASSERT_EQ(lines.size(), 1);
    const QString line = lines[0].text;
    EXPECT_TRUE(line.contains("Git Auth Failed")) << line.toStdString();
    EXPECT_TRUE(line.contains("remote: Permission to team/notes.git denied to bob."))
        << line.toStdString();
    EXPECT_TRUE(line.contains("The requested URL returned error: 403")) << line.toStdString();
    EXPECT_TRUE(line.contains(repos.bob())) << line.toStdString();
}

TEST_F(WorkspaceGitTest, ClosingTheWorkspaceEndsAHangingSyncAndItsHelpers)
{
    // A server that takes the connection and never answers: git waits for it indefinitely.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    GitRemoteFixture repos;
    gitOk(repos.bob(),
        { "remote", "set-url", "origin",
            QStringLiteral("http://127.0.0.1:%1/notes.git").arg(silent.serverPort()) });
    auto state = open(repos.bob());
    gitOf(*state).syncNow();
    qint64 group = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const qint64 g : test::childGroupsRunning("git")) {
                if (test::liveCommandsOfGroup(g).contains("git-remote-http"))
                    group = g;
            }
            return group > 0;
        },
        20000));

    state.reset();
    const QStringList left = test::liveCommandsOfGroup(group);
    if (!left.isEmpty())
        ::kill(-pid_t(group), SIGKILL);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}
