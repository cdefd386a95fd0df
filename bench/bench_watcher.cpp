// The directory watcher under bursts of changes made by another process, as a `git checkout`
// would make them: how many notices one burst gives (it should be one) and how long after the
// burst ends the notice arrives.
#include "platform/RecursiveDirectoryWatcher.h"
#include "workspace/DirectoryWatcher.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

using namespace quillon;

namespace {

void spin(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void runShell(const QString& folder, const QString& script)
{
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), script });
    shell.waitForFinished(-1);
}

void burstBenchmark(benchmark::State& state, const QString& scriptTemplate, bool prepare)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillon-bench-watch-XXXXXX"));
    int calls = 0;
    qint64 calledAt = 0;
    QElapsedTimer clock;
    clock.start();
    DirectoryWatcher watcher;
    watcher.start(dir.path(), [&] {
        if (calls++ == 0)
            calledAt = clock.nsecsElapsed();
    });
    spin([] { return false; }, 300);

    int round = 0;
    double totalCalls = 0;
    double totalLatencyMs = 0;
    for (auto _ : state) {
        const QString script = scriptTemplate.arg(round++);
        if (prepare) {
            state.PauseTiming();
            runShell(dir.path(), script); // the files exist before the measured burst
            spin([] { return false; }, 500);
            state.ResumeTiming();
        }
        calls = 0;
        runShell(dir.path(), script);
        const qint64 burstEnded = clock.nsecsElapsed();
        spin([&] { return calls > 0; }, 5000);
        totalLatencyMs += (calledAt - burstEnded) / 1e6;
        spin([] { return false; }, 600); // a second notice would arrive in this time
        totalCalls += calls;
    }
    state.counters["callbacks_per_burst"] = totalCalls / double(state.iterations());
    state.counters["latency_ms"] = totalLatencyMs / double(state.iterations());
}

void BM_Create1000FilesInOneBurst(benchmark::State& state)
{
    burstBenchmark(state,
        QStringLiteral("mkdir round%1 && cd round%1 && i=0; while [ $i -lt 1000 ]; do "
                       "echo $i > f$i.md; i=$((i+1)); done"),
        false);
}

void BM_Rewrite1000FilesInOneBurst(benchmark::State& state)
{
    burstBenchmark(state,
        QStringLiteral("mkdir -p again%1/a again%1/b && cd again%1 && i=0; while [ $i -lt 1000 ]; "
                       "do echo changed$i > a/f$i.md; mv a/f$i.md b/; i=$((i+1)); done"),
        true);
}

// Switching between two branches that differ in 1,000 files.
void BM_GitCheckoutOf1000Files(benchmark::State& state)
{
    burstBenchmark(state,
        QStringLiteral(
            "[ -d .git ] || { git init -q -b one . && mkdir docs && i=0; "
            "while [ $i -lt 1000 ]; do echo $i > docs/f$i.md; i=$((i+1)); done; "
            "git add -A && git -c user.name=b -c user.email=b@example.com commit -qm one "
            "&& git checkout -qb two && i=0; while [ $i -lt 1000 ]; do "
            "echo two$i > docs/f$i.md; i=$((i+1)); done; git add -A && "
            "git -c user.name=b -c user.email=b@example.com commit -qm two; }; "
            "git checkout -q one && git checkout -q two # %1"),
        true);
}

void BM_StartWatching2000Folders(benchmark::State& state)
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillon-bench-watch-XXXXXX"));
    for (int i = 0; i < 2000; ++i)
        QDir().mkpath(QStringLiteral("%1/s%2/f%3").arg(dir.path()).arg(i / 40).arg(i));
    int folders = 0;
    for (auto _ : state) {
        RecursiveDirectoryWatcher watcher;
        watcher.start(dir.path());
        folders = watcher.watchedFolderCount();
    }
    state.counters["folders"] = folders;
}

} // namespace

BENCHMARK(BM_Create1000FilesInOneBurst)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_Rewrite1000FilesInOneBurst)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_GitCheckoutOf1000Files)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_StartWatching2000Folders)->Unit(benchmark::kMillisecond);
