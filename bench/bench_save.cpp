// What saving costs per keystroke on large documents: the part paid on the main thread (the
// edit reported to the document session, which hands the write to the background writer) and
// the time from the key to the new bytes being on disk (written, synced and renamed into place).
// The documents live in a folder on the build's disk (QUILLON_BENCH_DIR, else the temp folder),
// so the syncs are real. Each case reports its 95th percentile and maximum in milliseconds.
#include "BenchReport.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <memory>
#include <vector>

using namespace quillon;

namespace {

QString makeDocument(qsizetype bytes)
{
    QString doc;
    doc.reserve(bytes + 256);
    for (int i = 0; doc.size() < bytes; ++i)
        doc += QStringLiteral("Line %1 of a long document with *some* styling and `code`.\n")
                   .arg(i);
    return doc;
}

struct Fixture
{
    QTemporaryDir folder { (qEnvironmentVariableIsEmpty("QUILLON_BENCH_DIR")
                                   ? QDir::tempPath()
                                   : qEnvironmentVariable("QUILLON_BENCH_DIR"))
        + QStringLiteral("/quillon-bench-XXXXXX") };
    std::unique_ptr<WorkspaceState> workspace;
    QString path;

    explicit Fixture(qsizetype bytes)
    {
        qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
        qputenv("XDG_DATA_HOME", folder.path().toUtf8());
        workspace = std::make_unique<WorkspaceState>();
        QApplication::processEvents();
        path = folder.filePath(QStringLiteral("doc.md"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(makeDocument(bytes).toUtf8());
        file.close();
        workspace->openFile(path);
        QApplication::processEvents();
    }
    Document& document() const { return *workspace->activeDocument(); }
    qsizetype middle() const { return document().text().size() / 2; }
};

// A key every 30 ms, as a fast typist: the main thread's share of saving it.
void BM_SaveKeyOnMainThread(benchmark::State& state)
{
    Fixture fixture(state.range(0));
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        fixture.document().applyEdit(fixture.middle(), 0, QStringLiteral("x"), nullptr);
        QApplication::processEvents(); // what the writer reported so far is handled here too
        const double ms = timer.nsecsElapsed() / 1e6;
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000);
        QThread::msleep(30);
        QApplication::processEvents();
    }
    fixture.workspace->flushPendingWrites();
    bench::reportPercentiles(state, samples);
}

// From the key to its bytes on disk, durably.
void BM_SaveKeyToBytesOnDisk(benchmark::State& state)
{
    Fixture fixture(state.range(0));
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        fixture.document().applyEdit(fixture.middle(), 0, QStringLiteral("x"), nullptr);
        fixture.workspace->flushPendingWrites();
        const double ms = timer.nsecsElapsed() / 1e6;
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000);
        QApplication::processEvents();
    }
    bench::reportPercentiles(state, samples);
}

} // namespace

BENCHMARK(BM_SaveKeyOnMainThread)
    ->Arg(1 << 20)
    ->Arg(10 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60);
BENCHMARK(BM_SaveKeyToBytesOnDisk)
    ->Arg(1 << 20)
    ->Arg(10 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);
