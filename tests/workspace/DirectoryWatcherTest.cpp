#include "workspace/DirectoryWatcher.h"
#include "support/TestSupport.h"
#include "workspace/OpenFileWatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>

#include <memory>

using namespace quillon;

namespace {

void pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    test::waitUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

struct Counter
{
    int calls = 0;
    bool offMainThread = false;
    std::function<void()> handler()
    {
        return [this] {
            ++calls;
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                offMainThread = true;
        };
    }
};

} // namespace

TEST(DirectoryWatcher, CallsTheHandlerOnTheMainThreadOncePerBurst)
{
    test::TempTree tree;
    tree.mkdir(QStringLiteral("a/b"));
    DirectoryWatcher watcher;
    Counter counter;
    watcher.start(tree.path(), counter.handler());
    EXPECT_TRUE(watcher.isWatching());
    pause(200); // the watch is set up on the watcher's own thread

    QProcess::execute(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"),
            QStringLiteral("cd '%1' && for i in 1 2 3 4 5; do echo $i > a/b/f$i.md; done")
                .arg(tree.path()) });
    ASSERT_TRUE(test::waitUntil([&] { return counter.calls > 0; }));
    pause(500);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_FALSE(counter.offMainThread);
}

TEST(DirectoryWatcher, RestartingOnTheSameFolderLeavesOneWatch)
{
    test::TempTree tree;
    DirectoryWatcher watcher;
    Counter first;
    Counter second;
    watcher.start(tree.path(), first.handler());
    watcher.start(tree.path(), second.handler());
    pause(200);
    tree.write(QStringLiteral("x.md"), "x");
    ASSERT_TRUE(test::waitUntil([&] { return second.calls > 0; }));
    pause(500);
    EXPECT_EQ(first.calls, 0);
    EXPECT_EQ(second.calls, 1);
}

TEST(DirectoryWatcher, NoCallAfterStopOrDestruction)
{
    test::TempTree tree;
    Counter counter;
    auto watcher = std::make_unique<DirectoryWatcher>();
    watcher->stop(); // idle: nothing happens
    watcher->start(tree.path(), counter.handler());
    pause(200);
    tree.write(QStringLiteral("x.md"), "x");
    watcher->stop(); // a notice already on its way is dropped too
    EXPECT_FALSE(watcher->isWatching());
    pause(500);
    EXPECT_EQ(counter.calls, 0);

    watcher->start(tree.path(), counter.handler());
    pause(200);
    tree.write(QStringLiteral("y.md"), "y");
    watcher.reset();
    pause(500);
    EXPECT_EQ(counter.calls, 0);
}

TEST(DirectoryWatcher, ReportsAFolderThatCannotBeWatched)
{
    test::TempTree tree;
    DirectoryWatcher watcher;
    QSignalSpy failed(&watcher, &DirectoryWatcher::watchFailed);
    Counter counter;
    watcher.start(tree.filePath(QStringLiteral("not-there")), counter.handler());
    ASSERT_TRUE(test::waitUntil([&] { return failed.count() == 1; }));
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("not-there")));

    watcher.start(QString(), counter.handler());
    EXPECT_FALSE(watcher.isWatching());

    watcher.start(tree.path(), nullptr); // changes are seen and dropped
    pause(200);
    tree.write(QStringLiteral("x.md"), "x");
    pause(400);
    EXPECT_TRUE(watcher.isWatching());
}

TEST(DirectoryWatcher, RestartsAndTeardownsLeakNoDescriptors)
{
    test::TempTree tree;
    const auto openDescriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
            .size();
    };
    const qsizetype before = openDescriptors();
    for (int i = 0; i < 10; ++i) {
        DirectoryWatcher watcher;
        watcher.start(tree.path(), [] {});
        pause(5);
        watcher.start(tree.path(), [] {});
        pause(5);
    }
    // Twenty watches were made; a little slack for other threads of the test program.
    EXPECT_LE(openDescriptors(), before + 2);
}

TEST(OpenFileWatcher, TellsOncePerBurstAndOnlyOfTheFilesItIsGiven)
{
    test::TempTree tree;
    const QString a = tree.write(QStringLiteral("a.md"), "a");
    const QString b = tree.mkdir(QStringLiteral("other")) + QStringLiteral("/b.md");
    tree.write(QStringLiteral("other/b.md"), "b");
    OpenFileWatcher watcher;
    QSignalSpy changed(&watcher, &OpenFileWatcher::changed);
    watcher.setFiles({ a, b });
    // Written in place three times, then replaced by a rename: one notice for each burst.
    for (int i = 0; i < 3; ++i)
        tree.write(QStringLiteral("a.md"), QByteArray::number(i));
    ASSERT_TRUE(test::waitUntil([&] { return changed.count() > 0; }));
    pause(400);
    EXPECT_EQ(changed.count(), 1);
    tree.write(QStringLiteral("other/b.new"), "b2");
    ASSERT_TRUE(QFile::remove(b) && QFile::rename(tree.path() + QStringLiteral("/other/b.new"), b));
    ASSERT_TRUE(test::waitUntil([&] { return changed.count() > 1; }));
    // b is watched again under its new inode; a no longer once it is dropped.
    pause(400);
    watcher.setFiles({ b });
    tree.write(QStringLiteral("a.md"), "gone");
    pause(400);
    EXPECT_EQ(changed.count(), 2);
    tree.write(QStringLiteral("other/b.md"), "b3");
    EXPECT_TRUE(test::waitUntil([&] { return changed.count() > 2; }));
}
