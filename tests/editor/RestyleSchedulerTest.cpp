#include "editor/block/RestyleScheduler.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <QTest>

using namespace quillon;

namespace {

// An editor as the scheduler sees it: a document of `blocks` paragraphs, and what was asked.
struct FakeEditor
{
    int blocks = 2000;
    bool loading = false;
    bool pending = false;
    int pauses = 0;
    int finished = 0;
    QList<QPair<int, int>> presented;

    RestyleScheduler::Hooks hooks()
    {
        RestyleScheduler::Hooks h;
        h.paused = [this] { ++pauses; };
        h.isLoading = [this] { return loading; };
        h.mustWait = [this] { return pending; };
        h.presentChunk = [this](int first, int last) { presented.append({ first, last }); };
        h.blockCount = [this] { return blocks; };
        h.finished = [this] { ++finished; };
        return h;
    }
};

void turns(int count = 10)
{
    for (int i = 0; i < count; ++i)
        QCoreApplication::processEvents();
}

constexpr int kChunk = RestyleScheduler::kChunk;

} // namespace

TEST(RestyleSchedulerTest, PresentsTheDocumentInChunksAfterPendingWorkAndTheWholeText)
{
    FakeEditor editor;
    RestyleScheduler scheduler(editor.hooks());
    editor.loading = true;
    scheduler.startPass(false);
    turns();
    EXPECT_TRUE(editor.presented.isEmpty()); // waits for the whole text
    EXPECT_TRUE(scheduler.isPassRunning());
    editor.loading = false;
    editor.pending = true;
    scheduler.textLoaded();
    turns();
    EXPECT_TRUE(editor.presented.isEmpty()); // and for the pending work
    editor.pending = false;
    QTRY_COMPARE(editor.finished, 1);
    const QList<QPair<int, int>> chunks { { 0, kChunk - 1 }, { kChunk, 2 * kChunk - 1 },
        { 2 * kChunk, 3 * kChunk - 1 } };
    EXPECT_EQ(editor.presented, chunks);
    EXPECT_FALSE(scheduler.isPassRunning());

    // Cancelled midway, it presents nothing more.
    editor.presented.clear();
    scheduler.startPass(false);
    scheduler.cancelPass();
    turns();
    EXPECT_TRUE(editor.presented.isEmpty());
    EXPECT_EQ(editor.finished, 1);
}

TEST(RestyleSchedulerTest, APassAfterPaintWaitsForThePaintOrAQuarterSecond)
{
    FakeEditor editor;
    editor.blocks = 10;
    RestyleScheduler scheduler(editor.hooks());
    scheduler.startPass(true);
    turns();
    EXPECT_TRUE(editor.presented.isEmpty());
    scheduler.painted();
    turns();
    EXPECT_EQ(editor.presented.size(), 1);
    EXPECT_EQ(editor.finished, 1);

    // Without a paint it goes on by itself.
    QElapsedTimer clock;
    clock.start();
    scheduler.startPass(true);
    QTRY_COMPARE(editor.finished, 2);
    EXPECT_GE(clock.elapsed(), 200);
}

TEST(RestyleSchedulerTest, APauseComesOnceTypingStops)
{
    FakeEditor editor;
    RestyleScheduler scheduler(editor.hooks());
    // Each keystroke puts the pause off: typed on for longer than a pause, well within one each.
    for (int i = 0; i < 4; ++i) {
        scheduler.waitForPause();
        QTest::qWait(200);
    }
    EXPECT_EQ(editor.pauses, 0);
    QTRY_COMPARE(editor.pauses, 1);
    QTest::qWait(700);
    EXPECT_EQ(editor.pauses, 1);
}
