#include "GitUiFixture.h"

#include "git/ui/GitSyncWidgetView.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QTest>

using namespace quillon;

namespace {

using Kind = GitSyncState::Kind;
using Action = GitSyncPresentation::Action;

TEST(GitSyncPresentation, RelativeTimeRoundsDownAndNeverRollsIntoDays)
{
    const QDateTime now = QDateTime::currentDateTime();
    const auto ago
        = [&](qint64 s) { return GitSyncPresentation::timeAgoString(now.addSecs(-s), now); };
    EXPECT_EQ(ago(59), "Just now");
    EXPECT_EQ(ago(60), "1m ago");
    EXPECT_EQ(ago(3599), "59m ago");
    EXPECT_EQ(ago(3600), "1h ago");
    EXPECT_EQ(ago(72 * 3600), "72h ago");
    EXPECT_EQ(ago(-30), "Just now");
}

TEST(GitSyncPresentation, EachStateHasItsTextsColourAndAction)
{
    struct Case
    {
        GitSyncState state;
        QString title, detail;
        Action action;
    };
    const QList<Case> cases {
        { GitSyncState::pendingSync(3), "Pending sync (3)", "Click to sync", Action::Sync },
        { GitSyncState::conflict({ "a.md", "b.md" }), "Conflict (2)", "Resolve",
            Action::OpenConflictDialog },
        { GitSyncState::error("Auth Failed: Update Token"), "Auth Failed", "Token",
            Action::OpenConnectDialog },
        // Only the capitalised word marks a rejected token.
        { GitSyncState::error("remote: auth required"), "Sync Error", "Retry", Action::Sync },
        { GitSyncState::noRepository(), "Activate Git", "Init repo", Action::ActivateGit },
        { GitSyncState::localRepository(), "Local Git", "No Remote", Action::Sync },
        { GitSyncState::gitNotInstalled(), "Git Not Installed", "Install",
            Action::ShowInstallHelp },
        { GitSyncState::syncing(), "Syncing...", "", Action::None },
    };
    for (const Case& c : cases) {
        const auto p = GitSyncPresentation::of(c.state, true);
        EXPECT_EQ(p.title, c.title);
        EXPECT_EQ(p.detail, c.detail) << c.title.toStdString();
        EXPECT_EQ(p.action, c.action) << c.title.toStdString();
        EXPECT_EQ(p.spinner, c.state.kind == Kind::Syncing);
    }
    EXPECT_NE(GitSyncPresentation::of(GitSyncState::noRepository(), true).dotColor,
        GitSyncPresentation::of(GitSyncState::noRepository(), false).dotColor);
}

class GitSyncWidgetTest : public test::GitUiFixture
{
};

struct PaintCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST_F(GitSyncWidgetTest, ClicksRaiseTheDialogsOrDoNothingAsTheStateSays)
{
    test::TempTree folder;
    auto state = open(folder.path());
    GitSyncWidgetView pill(*state, gitOf(*state), prompts());
    pill.resize(200, 30);

    state->setGitSyncState(GitSyncState::conflict({ "a.md" }));
    QTest::mouseClick(&pill, Qt::LeftButton);
    EXPECT_TRUE(state->showingConflictGitModal());
    EXPECT_FALSE(state->showingConnectGitModal());

    state->setGitSyncState(GitSyncState::error("Auth Failed: Update Token"));
    QTest::mouseClick(&pill, Qt::LeftButton);
    EXPECT_TRUE(state->showingConnectGitModal());

    state->setGitSyncState(GitSyncState::syncing());
    QTest::mouseClick(&pill, Qt::LeftButton);
    EXPECT_EQ(GitService::shared().pendingJobCount(folder.path()), 0);
    EXPECT_EQ(state->gitSyncState().kind, Kind::Syncing);
}

TEST_F(GitSyncWidgetTest, TheSameStateAgainPaintsNothingAnotherOneRepaints)
{
    // Every write of a document assigns the state again: the pill must not repaint for it.
    test::TempTree folder;
    auto state = open(folder.path());
    GitSyncWidgetView pill(*state, gitOf(*state), prompts());
    pill.resize(200, 30);
    pill.show();
    PaintCounter paints;
    pill.installEventFilter(&paints);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pill));
    state->setGitSyncState(GitSyncState::localRepository());
    QTest::qWait(20);
    const int shown = paints.count;
    ASSERT_GT(shown, 0);
    for (int i = 0; i < 5; ++i)
        state->setGitSyncState(GitSyncState::localRepository());
    QTest::qWait(20);
    EXPECT_EQ(paints.count, shown);
    state->setGitSyncState(GitSyncState::pendingSync(2));
    QTest::qWait(20);
    EXPECT_GT(paints.count, shown);
    EXPECT_EQ(pill.presentation().title, QStringLiteral("Pending sync (2)"));
}

TEST_F(GitSyncWidgetTest, AClickOnActivateGitMakesARepository)
{
    test::TempTree folder;
    folder.write("note.md", "hello\n");
    auto state = open(folder.path());
    ASSERT_EQ(state->gitSyncState().kind, Kind::NoRepository);
    GitSyncWidgetView pill(*state, gitOf(*state), prompts());
    pill.resize(200, 30);
    QTest::mouseClick(&pill, Qt::LeftButton);
    settle(*state);
    EXPECT_TRUE(QDir(folder.filePath(".git")).exists());
    EXPECT_EQ(state->gitSyncState().kind, Kind::LocalRepository);
}

TEST_F(GitSyncWidgetTest, TheInstallHelpCopiesExactlyTheCommand)
{
    test::TempTree folder;
    auto state = open(folder.path());
    GitSyncWidgetView pill(*state, gitOf(*state), prompts());
    pill.resize(200, 30);
    state->setGitSyncState(GitSyncState::gitNotInstalled());
    QGuiApplication::clipboard()->setText("something else");

    prompts().queueAlertAnswer(QStringLiteral("OK"));
    QTest::mouseClick(&pill, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "something else");

    prompts().queueAlertAnswer(QStringLiteral("Copy 'sudo apt install git'"));
    QTest::mouseClick(&pill, Qt::LeftButton);
    ASSERT_EQ(prompts().alerts().size(), 2);
    EXPECT_EQ(prompts().alerts().last().message, "Git CLI is not installed");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "sudo apt install git");
}

} // namespace
