#include "GitUiFixture.h"

#include "git/ui/GitConflictModalView.h"

#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <atomic>

using namespace quillon;
using test::gitOk;
using test::GitRemoteFixture;
using test::waitUntil;

namespace {

class GitConflictModalTest : public test::GitUiFixture
{
protected:
    // Alice's changes reach the remote first; Bob's sync then stops on conflicts.
    std::unique_ptr<WorkspaceState> conflictedBob(GitRemoteFixture& repos)
    {
        repos.write(repos.alice(), "Ärger.md", "alice\n");
        repos.write(repos.alice(), "notes/gone.md", "base\n");
        repos.commitAndPush(repos.alice(), "Alice adds");
        gitOk(repos.bob(), { "pull", "-q" });
        gitOk(repos.alice(), { "rm", "-q", "notes/gone.md" });
        repos.write(repos.alice(), "Ärger.md", "alice again\n");
        repos.commitAndPush(repos.alice(), "Alice edits and deletes");
        repos.write(repos.bob(), "Ärger.md", "bob\n");
        repos.write(repos.bob(), "notes/gone.md", "bob keeps this\n");
        auto state = open(repos.bob());
        gitOf(*state).syncNow();
        settle(*state);
        return state;
    }
    static QPushButton* button(QWidget& dialog, const QString& title)
    {
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            if (b->text() == title)
                return b;
        return nullptr;
    }
    static void clickRow(GitConflictModalView& dialog, int row)
    {
        auto* list = dialog.findChild<QListWidget*>("conflictingFiles");
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    static void waitForVersions(GitConflictModalView& dialog)
    {
        waitUntil([&] { return !dialog.isLoadingVersions(); }, 20000);
    }
};

TEST_F(GitConflictModalTest, KeepingASideOfEachFileCompletesTheMergeAndNothingIsLost)
{
    GitRemoteFixture repos;
    auto state = conflictedBob(repos);
    ASSERT_EQ(state->conflictingFilesList(), (QStringList { "notes/gone.md", "Ärger.md" }));

    GitConflictModalView dialog(*state, gitOf(*state), false);
    QSignalSpy checked(&dialog, &GitConflictModalView::unmergedPathsChecked);
    dialog.show();
    waitForVersions(dialog);
    EXPECT_EQ(dialog.selectedFile(), "notes/gone.md");
    EXPECT_EQ(dialog.oursText(), "bob keeps this\n");
    EXPECT_EQ(dialog.theirsText(), "(deleted on this side)");
    ASSERT_TRUE(checked.wait(10000) || checked.count() > 0);
    EXPECT_FALSE(button(dialog, "Complete Merge")->isEnabled());

    clickRow(dialog, 1);
    waitForVersions(dialog);
    EXPECT_EQ(dialog.selectedFile(), "Ärger.md");
    EXPECT_EQ(dialog.oursText(), "bob\n");
    EXPECT_EQ(dialog.theirsText(), "alice again\n");

    // Keeping the remote side of the first file moves on to the first unresolved one.
    QTest::mouseClick(button(dialog, "Keep Remote (Server)"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.resolvedFiles().contains("Ärger.md"); }, 20000));
    EXPECT_EQ(dialog.selectedFile(), "notes/gone.md");
    waitForVersions(dialog);
    checked.clear();
    QTest::mouseClick(button(dialog, "Keep Mine (Local)"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.resolvedFiles().size() == 2; }, 20000));
    ASSERT_TRUE(waitUntil([&] { return button(dialog, "Complete Merge")->isEnabled(); }, 20000));

    QTest::mouseClick(button(dialog, "Complete Merge"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.result() == QDialog::Accepted; }, 20000))
        << dialog.errorMessage().toStdString();
    EXPECT_FALSE(state->showingConflictGitModal());
    settle(*state);
    EXPECT_EQ(state->gitSyncState().kind, GitSyncState::Kind::Synced);

    gitOk(repos.alice(), { "pull", "-q" });
    EXPECT_EQ(repos.read(repos.alice(), "Ärger.md"), "alice again\n");
    EXPECT_EQ(repos.read(repos.alice(), "notes/gone.md"), "bob keeps this\n");
    EXPECT_EQ(repos.read(repos.bob(), "Ärger.md"), "alice again\n");
}

TEST_F(GitConflictModalTest, ClosingTheSheetWhileTheMergeIsCommittedStillPushesTheMerge)
{
    GitRemoteFixture repos;
    auto state = conflictedBob(repos);
    ASSERT_TRUE(state->showingConflictGitModal());
    // Presented as the window presents it: closing deletes the sheet.
    QPointer<GitConflictModalView> dialog = new GitConflictModalView(*state, gitOf(*state), false);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    for (int i = 0; i < 2; ++i) {
        waitForVersions(*dialog);
        QTest::mouseClick(button(*dialog, "Keep Mine (Local)"), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return dialog->resolvedFiles().size() == i + 1; }, 20000));
    }
    ASSERT_TRUE(waitUntil([&] { return button(*dialog, "Complete Merge")->isEnabled(); }, 20000));

    // The folder's queue is held, so the merge commit is still to come when the sheet closes.
    std::atomic<bool> release { false };
    GitService::shared().enqueue(repos.bob(), [&release] {
        while (!release.load())
            QThread::msleep(5);
    });
    QTest::mouseClick(button(*dialog, "Complete Merge"), Qt::LeftButton);
    QToolButton* close = nullptr;
    for (QToolButton* b : dialog->findChildren<QToolButton*>())
        if (b->toolTip() == "Close")
            close = b;
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.isNull(); }));
    release = true;
    settle(*state);

    EXPECT_FALSE(state->showingConflictGitModal());
    EXPECT_EQ(state->gitSyncState().kind, GitSyncState::Kind::Synced);
    gitOk(repos.alice(), { "pull", "-q" });
    EXPECT_EQ(repos.read(repos.alice(), "Ärger.md"), "bob\n");
    EXPECT_EQ(repos.read(repos.alice(), "notes/gone.md"), "bob keeps this\n");
}

TEST_F(GitConflictModalTest, FailuresAreShownInTheSheet)
{
    GitRemoteFixture repos;
    auto state = conflictedBob(repos);
    GitConflictModalView dialog(*state, gitOf(*state), true);
    dialog.show();
    waitForVersions(dialog);
    // Git refuses the commit while paths are unmerged: the reason appears in the sheet.
    dialog.completeMerge();
    ASSERT_TRUE(waitUntil([&] { return !dialog.errorMessage().isEmpty(); }, 20000));
    EXPECT_TRUE(dialog.errorMessage().startsWith("Could not complete the merge"));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(GitConflictModalTest, AnEmptyListShowsThePlaceholder)
{
    GitRemoteFixture repos;
    auto state = open(repos.bob());
    GitConflictModalView dialog(*state, gitOf(*state), false);
    EXPECT_FALSE(dialog.selectedFile().has_value());
    auto* list = dialog.findChild<QListWidget*>("conflictingFiles");
    EXPECT_EQ(list->count(), 0);
    // Git has nothing unmerged: the merge may be completed (git itself then decides).
    EXPECT_TRUE(waitUntil([&] { return button(dialog, "Complete Merge")->isEnabled(); }, 20000));
}

} // namespace
