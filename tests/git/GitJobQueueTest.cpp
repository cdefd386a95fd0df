#include "git/GitService.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>

using namespace quillon;

TEST(GitJobs, JobsOfOneFolderNeverOverlapAndKeepTheirOrder)
{
    GitService& git = GitService::shared();
    const QString folder = "/tmp/quillon-queue-order";
    std::atomic<int> running { 0 };
    std::atomic<int> maxRunning { 0 };
    QObject receiver;
    QList<int> finished;
    for (int i = 0; i < 8; ++i) {
        git.submit<int>(
            folder, &receiver,
            [&, i] {
                const int now = ++running;
                maxRunning = std::max(maxRunning.load(), now);
                QThread::msleep(5);
                --running;
                return i;
            },
            [&](int i) { finished.append(i); });
    }
    ASSERT_TRUE(test::waitUntil([&] { return finished.size() == 8; }));
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_EQ(finished, (QList<int> { 0, 1, 2, 3, 4, 5, 6, 7 }));
}

TEST(GitJobs, ABurstOfCoalescedJobsRunsOneNowAndOneAfter)
{
    GitService& git = GitService::shared();
    const QString folder = "/tmp/quillon-queue-coalesce";
    std::atomic<bool> release { false };
    std::atomic<int> runs { 0 };
    QObject receiver;
    QList<int> delivered;
    const auto job = [&](int i) {
        return std::function<int()>([&, i] {
            ++runs;
            while (!release)
                QThread::msleep(1);
            return i;
        });
    };
    git.submit<int>(
        folder, &receiver, job(0), [&](int i) { delivered.append(i); }, "status");
    ASSERT_TRUE(test::waitUntil([&] { return runs == 1; }));
    for (int i = 1; i <= 50; ++i)
        git.submit<int>(
            folder, &receiver, job(i), [&](int i) { delivered.append(i); }, "status");
    EXPECT_EQ(git.pendingJobCount(folder), 2);
    release = true;
    ASSERT_TRUE(test::waitUntil([&] { return delivered.size() == 2; }));
    EXPECT_EQ(delivered, (QList<int> { 0, 50 }));
    EXPECT_EQ(runs.load(), 2);
}

TEST(GitJobs, AResultForAReceiverThatIsGoneIsDropped)
{
    GitService& git = GitService::shared();
    const QString folder = "/tmp/quillon-queue-gone";
    std::atomic<bool> release { false };
    bool delivered = false;
    auto* receiver = new QObject;
    git.submit<int>(
        folder, receiver,
        [&] {
            while (!release)
                QThread::msleep(1);
            return 1;
        },
        [&](int) { delivered = true; });
    delete receiver;
    release = true;
    test::waitUntil([&] { return git.pendingJobCount(folder) == 0; });
    test::waitUntil([] { return false; }, 50);
    EXPECT_FALSE(delivered);
}
