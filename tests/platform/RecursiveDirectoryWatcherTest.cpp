#include "platform/RecursiveDirectoryWatcher.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>

using namespace quillon;

namespace {

// Runs a shell command line in another process, as git or another editor would change files.
void runShell(const QString& folder, const QString& script)
{
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), script });
    ASSERT_TRUE(shell.waitForFinished(30000));
    ASSERT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().constData();
}

void pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    test::waitUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

// Waits for a new notice, then long enough for another one to show up if it were coming.
int noticesAfterSettling(QSignalSpy& spy, int quietMs = 600)
{
    const qsizetype before = spy.count();
    test::waitUntil([&] { return spy.count() > before; }, 5000);
    pause(quietMs);
    return int(spy.count());
}

// For changes that must not be noticed.
int noticesAfterPause(QSignalSpy& spy, int ms = 500)
{
    pause(ms);
    return int(spy.count());
}

} // namespace

TEST(RecursiveDirectoryWatcher, SeesAChangeMadeByAnotherProcessAtAnyDepth)
{
    test::TempTree tree;
    tree.write(QStringLiteral("a/b/c/deep.md"), "x");
    RecursiveDirectoryWatcher watcher;
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    ASSERT_TRUE(watcher.start(tree.path()));
    EXPECT_EQ(watcher.watchedFolderCount(), 4);

    runShell(tree.path(), QStringLiteral("echo changed > a/b/c/deep.md"));
    EXPECT_EQ(noticesAfterSettling(changed), 1);
}

TEST(RecursiveDirectoryWatcher, ABurstOfAThousandFilesIsOneNotice)
{
    test::TempTree tree;
    tree.mkdir(QStringLiteral("docs"));
    RecursiveDirectoryWatcher watcher;
    // Well above the usual quiet time, so a busy test machine pausing the writer cannot split the
    // burst.
    watcher.setCoalescingInterval(1000);
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    ASSERT_TRUE(watcher.start(tree.path()));

    // The events are read while the burst goes on, as they would be in the program.
    QElapsedTimer burst;
    burst.start();
    QProcess shell;
    shell.setWorkingDirectory(tree.path());
    shell.start(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"),
            QStringLiteral("i=0; while [ $i -lt 1000 ]; do echo $i > docs/f$i.md; i=$((i+1)); "
                           "done; mkdir -p docs/new/sub && echo y > docs/new/sub/z.md") });
    ASSERT_TRUE(test::waitUntil([&] { return shell.state() == QProcess::NotRunning; }, 30000));
    // A burst longer than the two-second cap (a loaded machine) is reported once per cap.
    const int allowed = 1 + int(burst.elapsed() / 2000);
    const int notices = noticesAfterSettling(changed);
    EXPECT_GE(notices, 1);
    EXPECT_LE(notices, allowed) << "burst took " << burst.elapsed() << " ms";
}

TEST(RecursiveDirectoryWatcher, WatchesFoldersCreatedOrMovedInLater)
{
    test::TempTree tree;
    QDir outside(tree.mkdir(QStringLiteral("outside")));
    const QString watched = tree.mkdir(QStringLiteral("w"));
    RecursiveDirectoryWatcher watcher;
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    ASSERT_TRUE(watcher.start(watched));

    tree.mkdir(QStringLiteral("w/new/inner"));
    ASSERT_EQ(noticesAfterSettling(changed, 300), 1);
    EXPECT_EQ(watcher.watchedFolderCount(), 3);
    tree.write(QStringLiteral("w/new/inner/file.md"), "x");
    EXPECT_EQ(noticesAfterSettling(changed, 300), 2);

    // A folder renamed inside the tree keeps being watched under its new name.
    ASSERT_TRUE(QDir().rename(
        tree.filePath(QStringLiteral("w/new")), tree.filePath(QStringLiteral("w/renamed"))));
    ASSERT_EQ(noticesAfterSettling(changed, 300), 3);
    tree.write(QStringLiteral("w/renamed/inner/other.md"), "x");
    EXPECT_EQ(noticesAfterSettling(changed, 300), 4);

    // A folder moved in from outside is watched; one moved out is no longer.
    tree.write(QStringLiteral("outside/in/x.md"), "x");
    ASSERT_TRUE(QDir().rename(
        outside.filePath(QStringLiteral("in")), tree.filePath(QStringLiteral("w/in"))));
    ASSERT_EQ(noticesAfterSettling(changed, 300), 5);
    tree.write(QStringLiteral("w/in/y.md"), "y");
    EXPECT_EQ(noticesAfterSettling(changed, 300), 6);
    ASSERT_TRUE(QDir().rename(
        tree.filePath(QStringLiteral("w/in")), outside.filePath(QStringLiteral("gone"))));
    ASSERT_EQ(noticesAfterSettling(changed, 300), 7);
    tree.write(QStringLiteral("outside/gone/z.md"), "z");
    EXPECT_EQ(noticesAfterPause(changed), 7);
    EXPECT_EQ(watcher.watchedFolderCount(), 3);
}

TEST(RecursiveDirectoryWatcher, IgnoresGitInternals)
{
    test::TempTree tree;
    tree.write(QStringLiteral(".git/objects/ab/cdef"), "blob");
    tree.write(QStringLiteral("sub/.git/HEAD"), "ref");
    RecursiveDirectoryWatcher watcher;
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    ASSERT_TRUE(watcher.start(tree.path()));
    EXPECT_EQ(watcher.watchedFolderCount(), 2);

    runShell(tree.path(),
        QStringLiteral("echo x > .git/index.lock && mv .git/index.lock .git/index && "
                       "echo y > sub/.git/HEAD && echo z > .git/objects/ab/new"));
    EXPECT_EQ(noticesAfterPause(changed), 0);
    tree.write(QStringLiteral(".gitignore"), "*.tmp");
    EXPECT_EQ(noticesAfterSettling(changed, 300), 1);
}

TEST(RecursiveDirectoryWatcher, AContinuousStreamOfChangesStillGetsReported)
{
    test::TempTree tree;
    RecursiveDirectoryWatcher watcher;
    watcher.setMaximumDelay(500);
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    ASSERT_TRUE(watcher.start(tree.path()));
    QElapsedTimer clock;
    clock.start();
    int n = 0;
    while (clock.elapsed() < 1300) {
        tree.write(QStringLiteral("log.md"), QByteArray::number(n++));
        pause(50);
    }
    EXPECT_GE(changed.count(), 2);
}

TEST(RecursiveDirectoryWatcher, StopAndFailures)
{
    test::TempTree tree;
    RecursiveDirectoryWatcher watcher;
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    QSignalSpy failed(&watcher, &RecursiveDirectoryWatcher::watchFailed);

    EXPECT_FALSE(watcher.start(tree.filePath(QStringLiteral("missing"))));
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("missing")));
    EXPECT_FALSE(watcher.isWatching());

    ASSERT_TRUE(watcher.start(tree.path()));
    ASSERT_TRUE(watcher.start(tree.path())); // restarting replaces the watch
    EXPECT_EQ(watcher.watchedFolderCount(), 1);
    watcher.stop();
    watcher.stop();
    tree.write(QStringLiteral("after-stop.md"), "x");
    EXPECT_EQ(noticesAfterPause(changed), 0);
    EXPECT_EQ(failed.count(), 1);
}

TEST(RecursiveDirectoryWatcher, ReachingTheWatchLimitIsReportedOnce)
{
    test::TempTree tree;
    for (const char* folder : { "a/1", "a/2", "b/1", "b/2" })
        tree.mkdir(QString::fromLatin1(folder));
    RecursiveDirectoryWatcher watcher;
    watcher.setWatchLimit(3);
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    QSignalSpy failed(&watcher, &RecursiveDirectoryWatcher::watchFailed);
    ASSERT_TRUE(watcher.start(tree.path()));
    EXPECT_EQ(watcher.watchedFolderCount(), 3);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("max_user_watches")));

    tree.mkdir(QStringLiteral("c"));
    EXPECT_EQ(noticesAfterSettling(changed, 300), 1); // the root is still watched
    EXPECT_EQ(failed.count(), 1);
}

TEST(RecursiveDirectoryWatcher, AfterLostEventsNewFoldersAreStillWatched)
{
    test::TempTree tree;
    tree.mkdir(QStringLiteral("bulk"));
    RecursiveDirectoryWatcher watcher;
    QSignalSpy changed(&watcher, &RecursiveDirectoryWatcher::changed);
    ASSERT_TRUE(watcher.start(tree.path()));

    // Nothing is read while the shell runs, so the kernel's event queue overflows before the
    // folder "late" is made, and its creation is never reported.
    QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    ASSERT_TRUE(limitFile.open(QIODevice::ReadOnly));
    const int files = limitFile.readAll().trimmed().toInt() + 100;
    runShell(tree.path(),
        QStringLiteral("cd bulk && i=0; while [ $i -lt %1 ]; do : > f$i; "
                       "i=$((i+1)); done; mkdir ../late")
            .arg(files));
    ASSERT_EQ(noticesAfterSettling(changed, 300), 1);
    tree.write(QStringLiteral("late/x.md"), "x");
    EXPECT_EQ(noticesAfterSettling(changed, 300), 2);
}
